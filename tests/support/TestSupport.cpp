// Shared helpers for the tests.
#include "support/TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace tqtest {

CTempDir::CTempDir()
{
    const char *pszBase = getenv("TMPDIR");
    std::string sModele = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/tqtest.XXXXXX";
    std::vector<char> tab(sModele.begin(), sModele.end());
    tab.push_back('\0');
    if (!mkdtemp(tab.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(strerror(errno)));
    // Resolved, so that paths built here compare equal to those a program finds for itself.
    char *pszReel = realpath(tab.data(), nullptr);
    m_sChemin = pszReel ? pszReel : tab.data();
    free(pszReel);
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_sChemin, ec);
}

static std::vector<std::string> tabEnvironnement(const std::vector<std::string> &tabChangements)
{
    std::vector<std::string> tabEnv;
    for (char **pp = environ; *pp; ++pp)
        tabEnv.push_back(*pp);
    for (const std::string &sChangement : tabChangements) {
        std::string sNom = sChangement.substr(0, sChangement.find('='));
        for (size_t i = 0; i < tabEnv.size();) {
            if (tabEnv[i].compare(0, sNom.size() + 1, sNom + "=") == 0)
                tabEnv.erase(tabEnv.begin() + static_cast<long>(i));
            else
                ++i;
        }
        if (sChangement.find('=') != std::string::npos)
            tabEnv.push_back(sChangement);
    }
    return tabEnv;
}

static std::vector<char *> tabPointeurs(std::vector<std::string> &tab)
{
    std::vector<char *> tabP;
    for (std::string &s : tab)
        tabP.push_back(&s[0]);
    tabP.push_back(nullptr);
    return tabP;
}

stRESULTATPROCESSUS Execute(const std::vector<std::string> &tabArgv, const std::vector<std::string> &tabEnv,
                            const std::string &sRepertoire, int nDelaiMs)
{
    stRESULTATPROCESSUS stResultat;
    if (tabArgv.empty())
        return stResultat;
    int tubeSortie[2], tubeErreur[2];
    if (pipe2(tubeSortie, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (pipe2(tubeErreur, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    posix_spawn_file_actions_t stActions;
    posix_spawn_file_actions_init(&stActions);
    posix_spawn_file_actions_addopen(&stActions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&stActions, tubeSortie[1], 1);
    posix_spawn_file_actions_adddup2(&stActions, tubeErreur[1], 2);
    if (!sRepertoire.empty())
        posix_spawn_file_actions_addchdir_np(&stActions, sRepertoire.c_str());
    std::vector<std::string> tabArgs = tabArgv;
    const std::string sProgramme = tabArgv[0];
    std::vector<std::string> tabEnvFinal = tabEnvironnement(tabEnv);
    std::vector<char *> tabPArgs = tabPointeurs(tabArgs);
    std::vector<char *> tabPEnv = tabPointeurs(tabEnvFinal);
    pid_t pid = 0;
    int nErreur = posix_spawn(&pid, sProgramme.c_str(), &stActions, nullptr, tabPArgs.data(), tabPEnv.data());
    posix_spawn_file_actions_destroy(&stActions);
    close(tubeSortie[1]);
    close(tubeErreur[1]);
    if (nErreur != 0) {
        close(tubeSortie[0]);
        close(tubeErreur[0]);
        throw std::runtime_error("cannot run " + sProgramme + ": " + strerror(nErreur));
    }

    // Both streams are drained together so that neither pipe can fill and block the child.
    struct pollfd tabPoll[2] = {{tubeSortie[0], POLLIN, 0}, {tubeErreur[0], POLLIN, 0}};
    std::string *tabCible[2] = {&stResultat.sSortie, &stResultat.sErreur};
    int nOuverts = 2;
    const auto tFin = std::chrono::steady_clock::now() + std::chrono::milliseconds(nDelaiMs);
    bool bTue = false;
    while (nOuverts > 0) {
        int nAttente = -1;
        if (nDelaiMs > 0 && !bTue) {
            auto nReste = std::chrono::duration_cast<std::chrono::milliseconds>(tFin - std::chrono::steady_clock::now());
            if (nReste.count() <= 0) {
                // Out of time: the child goes, and its pipes close with it.
                kill(pid, SIGKILL);
                bTue = true;
            } else {
                nAttente = static_cast<int>(nReste.count());
            }
        }
        int nPret = poll(tabPoll, 2, nAttente);
        if (nPret == 0)
            continue;
        if (nPret < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (tabPoll[i].fd < 0 || !(tabPoll[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char tabOctets[4096];
            ssize_t n = read(tabPoll[i].fd, tabOctets, sizeof(tabOctets));
            if (n > 0) {
                tabCible[i]->append(tabOctets, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(tabPoll[i].fd);
                tabPoll[i].fd = -1;
                --nOuverts;
            }
        }
    }
    int nStatut = 0;
    while (waitpid(pid, &nStatut, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(nStatut))
        stResultat.nStatut = WEXITSTATUS(nStatut);
    else if (WIFSIGNALED(nStatut))
        stResultat.nStatut = 128 + WTERMSIG(nStatut);
    return stResultat;
}

std::string sBin(const std::string &sNom)
{
    return std::string(TQ_BIN_DIR) + "/" + sNom;
}

std::string sSource(const std::string &sNom)
{
    return std::string(TQ_SOURCE_DIR) + "/" + sNom;
}

bool bCopieFichier(const std::string &sDe, const std::string &sVers)
{
    std::error_code ec;
    std::filesystem::copy_file(sDe, sVers, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    struct stat st;
    return stat(sDe.c_str(), &st) == 0 && chmod(sVers.c_str(), st.st_mode & 07777) == 0;
}

bool bEcritFichier(const std::string &sChemin, const std::string &sContenu, unsigned nMode)
{
    {
        std::ofstream clFichier(sChemin, std::ios::binary | std::ios::trunc);
        if (!clFichier)
            return false;
        clFichier.write(sContenu.data(), static_cast<std::streamsize>(sContenu.size()));
        if (!clFichier)
            return false;
    }
    return chmod(sChemin.c_str(), nMode) == 0;
}

std::string sLitFichier(const std::string &sChemin)
{
    std::ifstream clFichier(sChemin, std::ios::binary);
    std::ostringstream clFlux;
    clFlux << clFichier.rdbuf();
    return clFlux.str();
}

bool bExiste(const std::string &sChemin)
{
    struct stat st;
    return stat(sChemin.c_str(), &st) == 0;
}

bool bCreeRepertoire(const std::string &sChemin)
{
    std::error_code ec;
    std::filesystem::create_directories(sChemin, ec);
    return !ec && std::filesystem::is_directory(sChemin);
}

int nModeFichier(const std::string &sChemin)
{
    struct stat st;
    if (stat(sChemin.c_str(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

std::vector<std::string> tabLignes(const std::string &sTexte)
{
    std::vector<std::string> tab;
    std::istringstream clFlux(sTexte);
    std::string sLigne;
    while (std::getline(clFlux, sLigne))
        tab.push_back(sLigne);
    return tab;
}

} // namespace tqtest
