#include "files/AtomicOutput.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The temporary file a signal must remove; read by the handler only.
const char *volatile g_pszTemp = nullptr;
const int g_anSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnSignal(int nSignal)
{
    const int nErr = errno;
    if (const char *psz = g_pszTemp)
        unlink(psz);
    errno = nErr;
    // Die of the signal as the caller expects: it is raised again, pending
    // until the handler returns.
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

void InstallHandlers()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    for (int nSignal : g_anSignals) {
        struct sigaction old;
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (sigaction(nSignal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        for (int n : g_anSignals)
            sigaddset(&sa.sa_mask, n);
        sigaction(nSignal, &sa, nullptr);
    }
}

std::string Reason(const char *pszWhat, const std::string &sName, int nErr)
{
    return std::string(pszWhat) + " " + sName + ": " + strerror(nErr);
}

} // namespace

CExitSignalsHeld::CExitSignalsHeld()
{
    sigset_t set;
    sigemptyset(&set);
    for (int n : g_anSignals)
        sigaddset(&set, n);
    sigprocmask(SIG_BLOCK, &set, &m_old);
}

CExitSignalsHeld::~CExitSignalsHeld()
{
    sigprocmask(SIG_SETMASK, &m_old, nullptr);
}

mode_t CAtomicOutput::s_nDefaultMode()
{
    mode_t nMask = umask(0);
    umask(nMask);
    return 0666 & ~nMask;
}

bool CAtomicOutput::bOpen(const std::string &sTarget, std::string &sReason)
{
    Abandon();
    InstallHandlers();
    std::string sTemp = sTarget + ".XXXXXX";
    CExitSignalsHeld held;
    // mkstemp creates the file 0600, readable by nobody else while it fills.
    int fd = mkostemp(&sTemp[0], O_CLOEXEC);
    if (fd < 0) {
        sReason = Reason("cannot create", sTarget, errno);
        return false;
    }
    m_sTarget = sTarget;
    m_sTemp = sTemp;
    m_nFd = fd;
    g_pszTemp = m_sTemp.c_str();
    return true;
}

bool CAtomicOutput::bWrite(const void *pData, size_t nSize, std::string &sReason)
{
    const char *p = static_cast<const char *>(pData);
    while (nSize > 0) {
        ssize_t n = m_nFd >= 0 ? write(m_nFd, p, nSize) : (errno = EBADF, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write of 0 bytes on a regular file means no room left.
            sReason = Reason("cannot write", m_sTarget, n < 0 ? errno : ENOSPC);
            Abandon();
            return false;
        }
        p += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

bool CAtomicOutput::bCommit(mode_t nMode, std::string &sReason)
{
    if (m_nFd < 0) {
        sReason = Reason("cannot write", m_sTarget, EBADF);
        return false;
    }
    struct stat st;
    if (stat(m_sTarget.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        nMode &= st.st_mode;
    nMode &= 0777; // set-id and sticky bits are never passed on
    int nErr = 0;
    if (fchmod(m_nFd, nMode) != 0 || (fsync(m_nFd) != 0 && errno != EINVAL))
        nErr = errno;
    if (close(m_nFd) != 0 && !nErr)
        nErr = errno;
    m_nFd = -1;
    if (!nErr) {
        CExitSignalsHeld held;
        if (rename(m_sTemp.c_str(), m_sTarget.c_str()) == 0) {
            g_pszTemp = nullptr;
            m_sTemp.clear();
            return true;
        }
        nErr = errno;
    }
    Abandon();
    sReason = Reason("cannot write", m_sTarget, nErr);
    return false;
}

void CAtomicOutput::Abandon()
{
    if (m_nFd >= 0)
        close(m_nFd);
    m_nFd = -1;
    if (m_sTemp.empty())
        return;
    CExitSignalsHeld held;
    unlink(m_sTemp.c_str());
    g_pszTemp = nullptr;
    m_sTemp.clear();
}
