// Service mode of the reference engine. Variants (EngineVariante.h) may decline to
// start the service or take their time before starting it.
#include "EngineService.h"

#include <dirent.h>
#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "EngineRecord.h"
#include "EngineVariante.h"
#include "platform/WinApi.h"
#include "service/Logger.h"

namespace {

// How long the slow variant takes to start.
const int gnDelaiLentMs = 1500;

struct stSERVICE {
    std::mutex clVerrou;
    std::condition_variable clReveil;
    bool bArret = false;  // QS_Term_Service was called
    bool bThread = false; // a script thread exists and has not been joined
    pthread_t hThread = {};
    CScriptTQL clScript;
    stCONTEXTESCRIPT stContexte;
    PFN_STOPSERVICE pfnStop = nullptr;
    ILogger *piLogger = nullptr;
};

stSERVICE &gstService()
{
    static stSERVICE stService;
    return stService;
}

// Waits until the service is ended, at most nMillisecondes (negative: no limit).
void AttendArret(long long nMillisecondes)
{
    stSERVICE &s = gstService();
    std::unique_lock<std::mutex> clVerrou(s.clVerrou);
    if (nMillisecondes < 0) {
        // Outside service mode nothing would ever end the wait.
        if (!s.bThread || !pthread_equal(s.hThread, pthread_self()))
            return;
        s.clReveil.wait(clVerrou, [&s] { return s.bArret; });
        return;
    }
    s.clReveil.wait_for(clVerrou, std::chrono::milliseconds(nMillisecondes), [&s] { return s.bArret; });
}

void *ExecuteService(void *)
{
    stSERVICE &s = gstService();
    stRESULTATSCRIPT stResultat = s.clScript.Execute(s.stContexte, stdout);
    Enregistre("ServiceEnd(" + std::to_string(stResultat.nResultat) + ")");
    // The application is over: the launcher may end the service.
    bool bArret;
    {
        std::lock_guard<std::mutex> clVerrou(s.clVerrou);
        bArret = s.bArret;
    }
    if (!bArret && s.pfnStop)
        s.pfnStop(0);
    return nullptr;
}

bool bLitNombre(const std::string &sTexte, long long nMin, long long nMax, long long *pnValeur)
{
    if (sTexte.empty())
        return false;
    errno = 0;
    char *pszFin = nullptr;
    long long n = strtoll(sTexte.c_str(), &pszFin, 10);
    if (errno || *pszFin || n < nMin || n > nMax)
        return false;
    *pnValeur = n;
    return true;
}

bool bValideRien(const std::string &sArgument, std::string *psErreur)
{
    if (sArgument.empty())
        return true;
    *psErreur = "takes no argument";
    return false;
}

eSUITE ExecuteAttendArret(const std::string &, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    AttendArret(-1);
    return eSUITE_CONTINUE;
}

bool bValideSleep(const std::string &sArgument, std::string *psErreur)
{
    long long n;
    if (bLitNombre(sArgument, 0, INT_MAX, &n))
        return true;
    *psErreur = "sleep needs a number of milliseconds";
    return false;
}

eSUITE ExecuteSleep(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    long long n = 0;
    bLitNombre(sArgument, 0, INT_MAX, &n);
    AttendArret(n);
    return eSUITE_CONTINUE;
}

bool bValideStop(const std::string &sArgument, std::string *psErreur)
{
    long long n;
    if (sArgument.empty() || bLitNombre(sArgument, INT_MIN, INT_MAX, &n))
        return true;
    *psErreur = "stop takes an optional 32-bit integer";
    return false;
}

eSUITE ExecuteStop(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    long long n = 0;
    if (!sArgument.empty())
        bLitNombre(sArgument, INT_MIN, INT_MAX, &n);
    Enregistre("StopCallback(" + std::to_string(n) + ")");
    if (PFN_STOPSERVICE pfnStop = gstService().pfnStop)
        pfnStop(static_cast<int>(n));
    return eSUITE_CONTINUE;
}

bool bValideLog(const std::string &sArgument, std::string *psErreur)
{
    size_t nBlanc = sArgument.find(' ');
    long long n;
    if (nBlanc != std::string::npos && bLitNombre(sArgument.substr(0, nBlanc), 0, 7, &n))
        return true;
    *psErreur = "log needs a priority 0-7 and a text";
    return false;
}

eSUITE ExecuteLog(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    size_t nBlanc = sArgument.find(' ');
    long long n = 0;
    bLitNombre(sArgument.substr(0, nBlanc), 0, 7, &n);
    std::string sTexte = sArgument.substr(nBlanc + 1);
    Enregistre("Log(" + std::to_string(n) + ", " + sTexteEnregistre(sTexte.c_str()) + ")");
    if (ILogger *pi = gstService().piLogger)
        pi->AddLog(static_cast<ePRIORITY>(n), "%s", sTexte.c_str());
    return eSUITE_CONTINUE;
}

// One field of /proc/self/status ("Umask:", ...), trimmed.
std::string sChampStatus(const char *pszChamp)
{
    std::ifstream clFichier("/proc/self/status");
    std::string sLigne;
    const size_t nLongueur = strlen(pszChamp);
    while (std::getline(clFichier, sLigne))
        if (sLigne.compare(0, nLongueur, pszChamp) == 0) {
            size_t nDebut = sLigne.find_first_not_of(" \t", nLongueur);
            return nDebut == std::string::npos ? std::string() : sLigne.substr(nDebut);
        }
    return std::string();
}

std::string sDescripteurs()
{
    std::string sListe;
    DIR *pRep = opendir("/proc/self/fd");
    if (!pRep)
        return "?";
    const int nPropre = dirfd(pRep);
    std::vector<int> tabFd;
    while (struct dirent *pEntree = readdir(pRep)) {
        if (pEntree->d_name[0] == '.')
            continue;
        int nFd = atoi(pEntree->d_name);
        if (nFd != nPropre)
            tabFd.push_back(nFd);
    }
    closedir(pRep);
    std::sort(tabFd.begin(), tabFd.end());
    for (int nFd : tabFd) {
        char szCible[PATH_MAX] = "";
        std::string sLien = "/proc/self/fd/" + std::to_string(nFd);
        ssize_t n = readlink(sLien.c_str(), szCible, sizeof(szCible) - 1);
        szCible[n > 0 ? n : 0] = '\0';
        sListe += (sListe.empty() ? "" : ",") + std::to_string(nFd) + ":" + szCible;
    }
    return sListe;
}

eSUITE ExecuteEtat(const std::string &, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    std::string sGroupes;
    int nGroupes = getgroups(0, nullptr);
    std::vector<gid_t> tabGroupes(nGroupes > 0 ? static_cast<size_t>(nGroupes) : 0);
    if (nGroupes > 0 && getgroups(nGroupes, tabGroupes.data()) == nGroupes)
        for (gid_t nGid : tabGroupes)
            sGroupes += (sGroupes.empty() ? "" : ",") + std::to_string(nGid);
    char szRep[PATH_MAX] = "";
    if (!getcwd(szRep, sizeof(szRep)))
        szRep[0] = '\0';
    struct rlimit stCore;
    std::string sCore = "?";
    if (getrlimit(RLIMIT_CORE, &stCore) == 0)
        sCore = stCore.rlim_cur == RLIM_INFINITY ? "unlimited" : std::to_string(stCore.rlim_cur);
    Enregistre("State(pid=" + std::to_string(getpid()) + " ppid=" + std::to_string(getppid()) +
               " sid=" + std::to_string(getsid(0)) + " pgid=" + std::to_string(getpgid(0)) +
               " uid=" + std::to_string(getuid()) + "/" + std::to_string(geteuid()) +
               " gid=" + std::to_string(getgid()) + "/" + std::to_string(getegid()) + " groups=" + sGroupes +
               " cwd=" + szRep + " umask=" + sChampStatus("Umask:") + " core=" + sCore + " dumpable=" + std::to_string(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0)) +
               " fds=" + sDescripteurs() + ")");
    return eSUITE_CONTINUE;
}

bool bValideSignal(const std::string &sArgument, std::string *psErreur)
{
    if (sArgument == "TERM" || sArgument == "HUP")
        return true;
    *psErreur = "signal takes TERM or HUP";
    return false;
}

eSUITE ExecuteSignal(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *)
{
    Enregistre("Signal(" + sArgument + ")");
    pthread_kill(pthread_self(), sArgument == "TERM" ? SIGTERM : SIGHUP);
    return eSUITE_CONTINUE;
}

const stCOMMANDESCRIPT gtabCommandesService[] = {
    {"wait_stop", bValideRien, ExecuteAttendArret},
    {"sleep", bValideSleep, ExecuteSleep},
    {"stop", bValideStop, ExecuteStop},
    {"log", bValideLog, ExecuteLog},
    {"state", bValideRien, ExecuteEtat},
    {"signal", bValideSignal, ExecuteSignal},
};

} // namespace

const stCOMMANDESCRIPT *pstCommandeService(const std::string &sNom)
{
    for (const stCOMMANDESCRIPT &stCommande : gtabCommandesService)
        if (sNom == stCommande.pszNom)
            return &stCommande;
    return nullptr;
}

void ServiceDonneLogger(void *piLogger)
{
    gstService().piLogger = static_cast<ILogger *>(piLogger);
}

bool bServiceDemarre(const CScriptTQL &clScript, const stCONTEXTESCRIPT &stContexte, PFN_STOPSERVICE pfnStop)
{
    if (gstVariante.bRunServiceFaux)
        return false;
    if (gstVariante.bServiceLent)
        usleep(gnDelaiLentMs * 1000);
    stSERVICE &s = gstService();
    if (s.bThread)
        return false; // one service at a time
    // A daemon works in /tmp: an application found there is not this application.
    if (stContexte.sSource.empty() || stContexte.sSource[0] != '/') {
        std::string sTexte = "tq150vm: " + stContexte.sNomTQL +
                             ": not beside the executable; service mode reads no application from the "
                             "working directory";
        if (s.piLogger)
            s.piLogger->AddLog(ePRIORITY_CRITIQUE, "%s", sTexte.c_str());
        return false;
    }
    s.clScript = clScript;
    s.stContexte = stContexte;
    s.pfnStop = pfnStop;
    // Held while the thread starts, so that its first wait sees it registered.
    std::lock_guard<std::mutex> clVerrou(s.clVerrou);
    s.bArret = false;
    // Recorded before the thread exists, so that it comes before anything the script records.
    Enregistre("ServiceStarted()");
    pthread_t hThread;
    if (!_beginthreadex(nullptr, 0, ExecuteService, nullptr, 0, &hThread)) {
        Enregistre("ServiceStartFailed()");
        return false;
    }
    s.hThread = hThread;
    s.bThread = true;
    return true;
}

bool bServiceTermine()
{
    stSERVICE &s = gstService();
    pthread_t hThread;
    {
        std::lock_guard<std::mutex> clVerrou(s.clVerrou);
        s.bArret = true;
        if (!s.bThread)
            return true;
        hThread = s.hThread;
    }
    s.clReveil.notify_all();
    // Called from the script's own thread (a stop callback that ends the service
    // at once): that thread cannot join itself.
    if (pthread_equal(hThread, pthread_self()))
        return true;
    pthread_join(hThread, nullptr);
    std::lock_guard<std::mutex> clVerrou(s.clVerrou);
    s.bThread = false;
    s.pfnStop = nullptr;
    return true;
}
