// Running the real launcher as a daemon in a private mount namespace.
#include "DaemonFixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "service/Logger.h"

extern char **environ;

namespace tqtest {

namespace {

// The child's failure codes before the launcher runs.
const int gnEchecEspace = 120;

long long nMaintenantMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int nStatut(int nBrut)
{
    if (WIFEXITED(nBrut))
        return WEXITSTATUS(nBrut);
    if (WIFSIGNALED(nBrut))
        return 128 + WTERMSIG(nBrut);
    return -1;
}

// Everything the child needs, prepared before the fork.
struct stLANCEMENT {
    std::vector<std::string> tabArgv, tabEnv;
    std::vector<char *> tabPArgv, tabPEnv;
    std::string sRun, sDev, sDevNull, sStatutPid1;
    bool bPid1 = false, bLectureSeule = false;
};

bool bMonte(const char *pszSource, const char *pszCible, unsigned long nDrapeaux)
{
    return mount(pszSource, pszCible, nullptr, nDrapeaux, nullptr) == 0;
}

// In the child: the private mounts. False on failure.
bool bPrepareEspace(const stLANCEMENT &st)
{
    if (unshare(CLONE_NEWNS | (st.bPid1 ? CLONE_NEWPID : 0)) != 0)
        return false;
    if (!bMonte(nullptr, "/", MS_REC | MS_PRIVATE) || !bMonte(st.sRun.c_str(), "/run", MS_BIND))
        return false;
    if (st.bLectureSeule && !bMonte(nullptr, "/run", MS_BIND | MS_REMOUNT | MS_RDONLY))
        return false;
    return bMonte("/dev/null", st.sDevNull.c_str(), MS_BIND) && bMonte(st.sDev.c_str(), "/dev", MS_BIND | MS_REC);
}

// The first process of the PID namespace: starts the launcher, notes its status,
// reaps until nothing is left.
[[noreturn]] void Premier(stLANCEMENT &st)
{
    pid_t nLanceur = fork();
    if (nLanceur == 0) {
        execve(st.tabPArgv[0], st.tabPArgv.data(), st.tabPEnv.data());
        _exit(127);
    }
    for (;;) {
        int nBrut = 0;
        pid_t n = waitpid(-1, &nBrut, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            _exit(0);
        if (n == nLanceur) {
            int nFd = open(st.sStatutPid1.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (nFd >= 0) {
                char sz[16];
                int nLong = snprintf(sz, sizeof(sz), "%d\n", nStatut(nBrut));
                if (write(nFd, sz, static_cast<size_t>(nLong)) < 0) {
                }
                close(nFd);
            }
        }
    }
}

} // namespace

CDemon::CDemon(const std::string &sNom) : m_sNom(sNom)
{
    // Orphaned daemons come back to the test, which can then wait for them and end them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    chmod(m_clRep.sChemin().c_str(), 0755);
    bCopieFichier(sBin("tqexe"), sExe());
    bCreeRepertoire(sFichier("run"));
    bCreeRepertoire(sFichier("dev"));
    bEcritFichier(sFichier("dev/null"), "");
    bEcritFichier(sRecord(), "", 0666);
    chmod(sRecord().c_str(), 0666);
    m_nJournal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    struct sockaddr_un stAdresse = {};
    stAdresse.sun_family = AF_UNIX;
    const std::string sLog = sFichier("dev/log");
    if (m_nJournal >= 0 && sLog.size() < sizeof(stAdresse.sun_path)) {
        memcpy(stAdresse.sun_path, sLog.c_str(), sLog.size() + 1);
        if (bind(m_nJournal, reinterpret_cast<struct sockaddr *>(&stAdresse), sizeof(stAdresse)) == 0)
            chmod(sLog.c_str(), 0666);
    }
}

CDemon::~CDemon()
{
    // Whatever a test left running ends here: every child of the test is killed
    // (a namespace's first process takes its namespace with it) and reaped.
    for (pid_t nPid : tabEnfants(getpid())) {
        kill(nPid, SIGKILL);
        nAttendFin(nPid, 5000);
    }
    if (m_nJournal >= 0)
        close(m_nJournal);
}

std::string CDemon::sRaisonSaut()
{
    if (geteuid() != 0)
        return "needs root (mount namespaces, pid files in /run, service users)";
    // Probe: a child that can make a private mount namespace.
    pid_t nPid = fork();
    if (nPid == 0)
        _exit(unshare(CLONE_NEWNS | CLONE_NEWPID) == 0 ? 0 : 1);
    int nBrut = 0;
    if (nPid < 0 || waitpid(nPid, &nBrut, 0) != nPid || nStatut(nBrut) != 0)
        return "cannot make mount and PID namespaces here";
    return std::string();
}

bool CDemon::bPoseMoteur(const std::string &sVariante) const
{
    return bCopieFichier(sVariante.empty() ? sBin("tq150vm.so") : sBin("variants/" + sVariante + "/tq150vm.so"),
                         sFichier("tq150vm.so"));
}

bool CDemon::bPoseScript(const std::string &sContenu) const
{
    return bEcritFichier(sFichier(m_sNom + ".TQL"), sContenu);
}

bool CDemon::bPoseParametres(const std::string &sContenu) const
{
    return bEcritFichier(sFichier(m_sNom + ".TX"), sContenu);
}

pid_t CDemon::Demarre(const std::vector<std::string> &tabArgs, const stOPTIONSDEMON &stOptions)
{
    stLANCEMENT st;
    st.tabArgv.push_back(sExe());
    st.tabArgv.insert(st.tabArgv.end(), tabArgs.begin(), tabArgs.end());
    for (char **pp = environ; *pp; ++pp)
        if (strncmp(*pp, "LD_LIBRARY_PATH=", 16) != 0 && strncmp(*pp, "TQE_RECORD_FILE=", 16) != 0 &&
            strncmp(*pp, "NOTIFY_SOCKET=", 14) != 0 && strncmp(*pp, "JOURNAL_STREAM=", 15) != 0)
            st.tabEnv.push_back(*pp);
    if (!stOptions.sNotification.empty())
        st.tabEnv.push_back("NOTIFY_SOCKET=" + stOptions.sNotification);
    struct stat stErreur;
    if (stOptions.bErreurJournal && fstat(STDERR_FILENO, &stErreur) == 0)
        st.tabEnv.push_back("JOURNAL_STREAM=" + std::to_string(stErreur.st_dev) + ":" + std::to_string(stErreur.st_ino));
    st.tabEnv.push_back("TQE_RECORD_FILE=" + (stOptions.sRecord.empty() ? sRecord() : stOptions.sRecord));
    for (std::string &s : st.tabArgv)
        st.tabPArgv.push_back(&s[0]);
    st.tabPArgv.push_back(nullptr);
    for (std::string &s : st.tabEnv)
        st.tabPEnv.push_back(&s[0]);
    st.tabPEnv.push_back(nullptr);
    st.sRun = sFichier("run");
    st.sDev = sFichier("dev");
    st.sDevNull = sFichier("dev/null");
    st.sStatutPid1 = sFichier("pid1.status");
    st.bPid1 = stOptions.bPid1;
    st.bLectureSeule = stOptions.bRunLectureSeule;

    int tabInfo[2];
    if (pipe2(tabInfo, O_CLOEXEC) != 0)
        return -1;
    fflush(nullptr);
    pid_t nEnfant = fork();
    if (nEnfant < 0) {
        close(tabInfo[0]);
        close(tabInfo[1]);
        return -1;
    }
    if (nEnfant == 0) {
        if (!bPrepareEspace(st))
            _exit(gnEchecEspace);
        if (!st.bPid1) {
            execve(st.tabPArgv[0], st.tabPArgv.data(), st.tabPEnv.data());
            _exit(127);
        }
        pid_t nPremier = fork();
        if (nPremier == 0)
            Premier(st);
        // The first process's pid as the test sees it.
        if (write(tabInfo[1], &nPremier, sizeof(nPremier)) < 0) {
        }
        _exit(nPremier > 0 ? 0 : gnEchecEspace);
    }
    close(tabInfo[1]);
    if (!stOptions.bPid1) {
        close(tabInfo[0]);
        return nEnfant;
    }
    pid_t nPremier = -1;
    if (read(tabInfo[0], &nPremier, sizeof(nPremier)) != static_cast<ssize_t>(sizeof(nPremier)))
        nPremier = -1;
    close(tabInfo[0]);
    nAttendFin(nEnfant);
    return nPremier;
}

stRESULTATPROCESSUS CDemon::Lance(const std::vector<std::string> &tabArgs, const stOPTIONSDEMON &stOptions)
{
    stRESULTATPROCESSUS stResultat;
    int tabSortie[2], tabErreur[2];
    if (pipe(tabSortie) != 0 || pipe(tabErreur) != 0)
        return stResultat;
    // The launcher's outputs become the pipes for the time of the fork.
    int nSortie = dup(STDOUT_FILENO), nErreur = dup(STDERR_FILENO);
    fflush(nullptr);
    dup2(tabSortie[1], STDOUT_FILENO);
    dup2(tabErreur[1], STDERR_FILENO);
    pid_t nPid = Demarre(tabArgs, stOptions);
    dup2(nSortie, STDOUT_FILENO);
    dup2(nErreur, STDERR_FILENO);
    close(nSortie);
    close(nErreur);
    close(tabSortie[1]);
    close(tabErreur[1]);
    // Until both pipes reach their end: the launching process and every process that
    // kept them (a daemon that did not close its descriptors) are done with them.
    struct pollfd tabAttente[2] = {{tabSortie[0], POLLIN, 0}, {tabErreur[0], POLLIN, 0}};
    std::string *tabTextes[2] = {&stResultat.sSortie, &stResultat.sErreur};
    const long long nFin = nMaintenantMs() + gnAttenteMaxMs;
    int nOuverts = 2;
    while (nOuverts > 0 && nMaintenantMs() < nFin) {
        if (poll(tabAttente, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (tabAttente[i].fd < 0 || !tabAttente[i].revents)
                continue;
            char szTampon[4096];
            ssize_t n = read(tabAttente[i].fd, szTampon, sizeof(szTampon));
            if (n > 0) {
                tabTextes[i]->append(szTampon, static_cast<size_t>(n));
            } else {
                close(tabAttente[i].fd);
                tabAttente[i].fd = -1;
                --nOuverts;
            }
        }
    }
    for (struct pollfd &st : tabAttente)
        if (st.fd >= 0)
            close(st.fd);
    stResultat.nStatut = nPid > 0 ? nAttendFin(nPid) : -1;
    return stResultat;
}

int CDemon::nAttendFin(pid_t nPid, int nMs)
{
    const long long nFin = nMaintenantMs() + nMs;
    for (;;) {
        int nBrut = 0;
        pid_t n = waitpid(nPid, &nBrut, WNOHANG);
        if (n == nPid)
            return nStatut(nBrut);
        if (n < 0 && errno != EINTR)
            return -1;
        if (nMaintenantMs() >= nFin)
            return -1;
        usleep(10 * 1000);
    }
}

std::string CDemon::sAttendLigne(const std::string &sChemin, int nMs) const
{
    const long long nFin = nMaintenantMs() + nMs;
    do {
        std::string s = sLitFichier(sChemin);
        if (!s.empty() && s.back() == '\n')
            return s;
        usleep(10 * 1000);
    } while (nMaintenantMs() < nFin);
    return std::string();
}

pid_t CDemon::nPidDemon(const std::string &sService) const
{
    std::string s = sLitFichier(sPidFichier(sService));
    if (s.empty() || s.back() != '\n')
        return -1;
    return static_cast<pid_t>(atoi(s.c_str()));
}

std::string CDemon::sLigneRecord(const std::string &sDebut) const
{
    for (const std::string &s : tabRecord())
        if (s.compare(0, sDebut.size(), sDebut) == 0)
            return s;
    return std::string();
}

bool CDemon::bAttendRecord(const std::string &sDebut, int nMs) const
{
    const long long nFin = nMaintenantMs() + nMs;
    do {
        if (!sLigneRecord(sDebut).empty())
            return true;
        usleep(10 * 1000);
    } while (nMaintenantMs() < nFin);
    return false;
}

const std::vector<std::pair<int, std::string>> &CDemon::tabJournal()
{
    char szTampon[8192];
    ssize_t n;
    while (m_nJournal >= 0 && (n = recv(m_nJournal, szTampon, sizeof(szTampon), 0)) > 0) {
        // "<PRI>Mmm dd hh:mm:ss tag: message"
        std::string s(szTampon, static_cast<size_t>(n));
        if (!s.empty() && s.back() == '\0')
            s.pop_back();
        size_t nFinPri = s.find('>');
        size_t nDeux = nFinPri == std::string::npos ? std::string::npos : s.find(": ", nFinPri + 16);
        if (nDeux == std::string::npos)
            continue;
        m_tabJournal.emplace_back(atoi(s.c_str() + 1) & 7, s.substr(nDeux + 2));
    }
    return m_tabJournal;
}

bool CDemon::bJournalContient(int nPriorite, const std::string &sTexte)
{
    // The system log receives UTF-8; the launcher's texts are in code page 1252.
    const std::string sJournal = Logger_sTexteJournal(sTexte.c_str());
    for (const auto &stLigne : tabJournal())
        if (stLigne.first == nPriorite && stLigne.second.find(sJournal) != std::string::npos)
            return true;
    return false;
}

CGestionnaire::CGestionnaire(const std::string &sNom) : m_sNom(sNom)
{
    struct sockaddr_un stAdresse = {};
    stAdresse.sun_family = AF_UNIX;
    if (sNom.size() < 2 || sNom.size() >= sizeof(stAdresse.sun_path))
        return;
    memcpy(stAdresse.sun_path, sNom.data(), sNom.size());
    const bool bAbstrait = sNom[0] == '@';
    if (bAbstrait)
        stAdresse.sun_path[0] = '\0';
    const socklen_t nLongueur = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + sNom.size());
    m_nSocket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_nSocket >= 0 && bind(m_nSocket, reinterpret_cast<struct sockaddr *>(&stAdresse), nLongueur) != 0) {
        close(m_nSocket);
        m_nSocket = -1;
    }
}

CGestionnaire::~CGestionnaire()
{
    if (m_nSocket < 0)
        return;
    close(m_nSocket);
    if (m_sNom[0] == '/')
        unlink(m_sNom.c_str());
}

std::vector<std::string> CGestionnaire::tabRecus(size_t n, int nMs)
{
    const long long nFin = nMaintenantMs() + nMs;
    for (;;) {
        char szTampon[4096];
        ssize_t nLu;
        while (m_nSocket >= 0 && (nLu = recv(m_nSocket, szTampon, sizeof(szTampon), 0)) >= 0)
            m_tabRecus.emplace_back(szTampon, static_cast<size_t>(nLu));
        if (m_tabRecus.size() >= n || nMaintenantMs() >= nFin)
            return m_tabRecus;
        usleep(10 * 1000);
    }
}

std::vector<pid_t> CDemon::tabEnfants(pid_t nParent)
{
    std::vector<pid_t> tab;
    DIR *pRep = opendir("/proc");
    if (!pRep)
        return tab;
    while (struct dirent *pEntree = readdir(pRep)) {
        char *pszFin = nullptr;
        long nPid = strtol(pEntree->d_name, &pszFin, 10);
        if (nPid <= 0 || *pszFin)
            continue;
        std::ifstream clStatut("/proc/" + std::string(pEntree->d_name) + "/status");
        std::string sLigne;
        while (std::getline(clStatut, sLigne))
            if (sLigne.compare(0, 5, "PPid:") == 0) {
                if (atol(sLigne.c_str() + 5) == nParent)
                    tab.push_back(static_cast<pid_t>(nPid));
                break;
            }
    }
    closedir(pRep);
    return tab;
}

} // namespace tqtest
