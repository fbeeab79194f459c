// Temporary files beside their target, removed on the signals that end a tool.
#include "files/FichierTemporaire.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int gtabSignaux[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gtabAnciens[3];
// The name the handler removes: a fixed buffer, since the handler may only make
// async-signal-safe calls.
char gszNomCourant[PATH_MAX + 32];
volatile sig_atomic_t gbNomPose = 0;

void Gestionnaire(int nSignal)
{
    if (gbNomPose)
        unlink(gszNomCourant);
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

// With these signals blocked, the name and the handlers change together.
void Bloque(sigset_t *pAncien)
{
    sigset_t stMasque;
    sigemptyset(&stMasque);
    for (int n : gtabSignaux)
        sigaddset(&stMasque, n);
    sigprocmask(SIG_BLOCK, &stMasque, pAncien);
}

void Oublie()
{
    if (!gbNomPose)
        return;
    gbNomPose = 0;
    for (size_t i = 0; i < 3; ++i)
        sigaction(gtabSignaux[i], &gtabAnciens[i], nullptr);
}

} // namespace

CFichierTemporaire::~CFichierTemporaire()
{
    Abandonne();
}

void CFichierTemporaire::Abandonne()
{
    if (m_nFd >= 0)
        close(m_nFd);
    m_nFd = -1;
    if (m_sNom.empty())
        return;
    sigset_t stAncien;
    Bloque(&stAncien);
    unlink(m_sNom.c_str());
    Oublie();
    sigprocmask(SIG_SETMASK, &stAncien, nullptr);
    m_sNom.clear();
}

bool CFichierTemporaire::bCree(const std::string &sCible, const char *pszSuffixe, std::string *psErreur)
{
    Abandonne();
    std::string sModele = sCible + pszSuffixe + "XXXXXX";
    if (gbNomPose || sModele.size() >= sizeof(gszNomCourant)) {
        *psErreur = sCible + ": " + (gbNomPose ? "another temporary file is open" : strerror(ENAMETOOLONG));
        return false;
    }
    std::vector<char> tabNom(sModele.begin(), sModele.end());
    tabNom.push_back('\0');
    sigset_t stAncien;
    Bloque(&stAncien);
    m_nFd = mkostemp(tabNom.data(), O_CLOEXEC); // mode 0600
    const int nErreur = errno;
    if (m_nFd >= 0) {
        m_sNom = tabNom.data();
        m_sCible = sCible;
        memcpy(gszNomCourant, m_sNom.c_str(), m_sNom.size() + 1);
        gbNomPose = 1;
        struct sigaction stAction = {};
        stAction.sa_handler = Gestionnaire;
        sigemptyset(&stAction.sa_mask);
        for (size_t i = 0; i < 3; ++i)
            sigaction(gtabSignaux[i], &stAction, &gtabAnciens[i]);
    }
    sigprocmask(SIG_SETMASK, &stAncien, nullptr);
    if (m_nFd < 0) {
        *psErreur = sCible + ": cannot create a temporary file beside it: " + strerror(nErreur);
        return false;
    }
    return true;
}

bool CFichierTemporaire::bEcrit(const void *pDonnees, size_t nTaille, std::string *psErreur)
{
    const char *p = static_cast<const char *>(pDonnees);
    size_t nEcrit = 0;
    while (m_nFd >= 0 && nEcrit < nTaille) {
        ssize_t n = write(m_nFd, p + nEcrit, nTaille - nEcrit);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *psErreur = m_sCible + ": " + strerror(n < 0 ? errno : ENOSPC);
            Abandonne();
            return false;
        }
        nEcrit += static_cast<size_t>(n);
    }
    return m_nFd >= 0;
}

bool CFichierTemporaire::bRemplace(unsigned nMode, std::string *psErreur)
{
    if (m_nFd < 0)
        return false;
    bool bOk = fchmod(m_nFd, static_cast<mode_t>(nMode)) == 0 && fsync(m_nFd) == 0;
    int nErreur = errno;
    if (close(m_nFd) != 0 && bOk) {
        bOk = false;
        nErreur = errno;
    }
    m_nFd = -1;
    if (bOk && rename(m_sNom.c_str(), m_sCible.c_str()) != 0) {
        bOk = false;
        nErreur = errno;
    }
    if (!bOk) {
        *psErreur = m_sCible + ": " + strerror(nErreur);
        Abandonne();
        return false;
    }
    // Renamed: nothing left to remove.
    sigset_t stAncien;
    Bloque(&stAncien);
    Oublie();
    sigprocmask(SIG_SETMASK, &stAncien, nullptr);
    m_sNom.clear();
    return true;
}
