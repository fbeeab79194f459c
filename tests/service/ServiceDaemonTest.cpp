// The real launcher in service mode, as root, each run in its own mount namespace
// (a private /run, a /dev holding /dev/null and the test's log socket).
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <regex>

#include "DaemonFixture.h"
#include "launcher/TQExe.h"
#include "service/Logger.h"

using namespace tqtest;

namespace {

#define TQ_SAUTE_SI_IMPOSSIBLE()                                                                                       \
    do {                                                                                                               \
        const std::string sRaison = CDemon::sRaisonSaut();                                                             \
        if (!sRaison.empty())                                                                                          \
            GTEST_SKIP() << sRaison;                                                                                   \
    } while (0)

// The engine search's text as the parent shows it: one line.
const std::string gsVMIntrouvableUneLigne =
    "Impossible de trouver la librairie tq150vm.so. Verifiez que les librairies n\xE9" "cessaires au fonctionnement de "
    "l'ex\xE9" "cutable soient accessibles par le PATH. Unable to find tq150vm.so librairie. Check whether librairies "
    "used to operate the executable can be accessed by PATH.";

// The end of the record after a clean stop: the engine ends the service, then is
// told to terminate, then the library ends.
const std::vector<std::string> gtabFinPropre = {"QS_Term_Service(0)", "ServiceEnd(0)", "QS_SetParam(1012, 0)",
                                                "TermLibrary()"};

std::vector<std::string> tabDerniers(const std::vector<std::string> &tab, size_t n)
{
    return tab.size() < n ? tab : std::vector<std::string>(tab.end() - static_cast<long>(n), tab.end());
}

// A field "name=value" of a State(...) record line.
std::string sChampEtat(const std::string &sEtat, const std::string &sNom)
{
    std::smatch clTrouve;
    if (std::regex_search(sEtat, clTrouve, std::regex("[ (]" + sNom + "=([^ )]*)")))
        return clTrouve[1];
    return "<absent>";
}

// Starts the service from a shell-like parent and checks what the parent promises:
// exit status 0, the pid file already written.
pid_t nDemarreService(CDemon &clDemon, const std::string &sService, const std::string &sScript,
                      const std::string &sVariante = "record", const stOPTIONSDEMON &stOptions = stOPTIONSDEMON())
{
    EXPECT_TRUE(clDemon.bPoseMoteur(sVariante));
    EXPECT_TRUE(clDemon.bPoseScript(sScript));
    stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", sService}, stOptions);
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, "");
    EXPECT_EQ(st.sErreur, "");
    // The daemon is the test's child (subreaper), also when its script already ended it.
    const std::vector<pid_t> tabEnfants = CDemon::tabEnfants(getpid());
    EXPECT_EQ(tabEnfants.size(), 1u);
    const pid_t nFichier = clDemon.nPidDemon(sService);
    if (tabEnfants.size() != 1)
        return nFichier;
    if (nFichier > 0) {
        EXPECT_EQ(nFichier, tabEnfants[0]);
    }
    return tabEnfants[0];
}

TEST(ServiceDaemon, ShellRoadDetachesAndEndsCleanlyOnSIGTERM)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    const pid_t nDemon = nDemarreService(clDemon, "shell", "wait_stop\nstate\n");
    ASSERT_GT(nDemon, 0);
    EXPECT_EQ(kill(nDemon, 0), 0);
    ASSERT_TRUE(clDemon.bAttendRecord("ServiceStarted()"));
    EXPECT_EQ(clDemon.sLigneRecord("QS_Run_Service("),
              "QS_Run_Service(\"default.tqp\", \"--SERVICE shell \", set, 0)");
    // SIGHUP is ignored.
    EXPECT_EQ(kill(nDemon, SIGHUP), 0);
    usleep(100 * 1000);
    EXPECT_EQ(kill(nDemon, 0), 0);

    EXPECT_EQ(kill(nDemon, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
    EXPECT_FALSE(bExiste(clDemon.sPidFichier("shell")));
    // "state" ran after the stop, from the engine's thread, before the engine was released.
    const std::vector<std::string> tabRecord = clDemon.tabRecord();
    ASSERT_GE(tabRecord.size(), 5u);
    EXPECT_EQ(tabDerniers(tabRecord, 5),
              std::vector<std::string>({"QS_Term_Service(0)", tabRecord[tabRecord.size() - 4], "ServiceEnd(0)",
                                        "QS_SetParam(1012, 0)", "TermLibrary()"}));
    const std::string sEtat = clDemon.sLigneRecord("State(");
    EXPECT_EQ(sChampEtat(sEtat, "pid"), std::to_string(nDemon));
    // Two forks: a new session, of which the daemon is not the leader.
    EXPECT_NE(sChampEtat(sEtat, "sid"), std::to_string(getsid(0)));
    EXPECT_NE(sChampEtat(sEtat, "sid"), std::to_string(nDemon));
    EXPECT_EQ(sChampEtat(sEtat, "cwd"), "/tmp");
    EXPECT_EQ(sChampEtat(sEtat, "umask"), "0022");
    EXPECT_EQ(sChampEtat(sEtat, "uid"), "0/0");
    // Only the standard descriptors on /dev/null and the locked pid file.
    EXPECT_EQ(sChampEtat(sEtat, "fds"), "0:/dev/null,1:/dev/null,2:/dev/null,3:/run/shell.pid");
    EXPECT_TRUE(clDemon.tabJournal().empty());
}

TEST(ServiceDaemon, SecondInstanceIsRefusedAndLeavesTheFirstIntact)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    const pid_t nDemon = nDemarreService(clDemon, "single", "wait_stop\n");
    ASSERT_GT(nDemon, 0);
    const std::string sPid = sLitFichier(clDemon.sPidFichier("single"));

    for (int i = 0; i < 3; ++i) {
        stOPTIONSDEMON stOptions;
        stOptions.sRecord = clDemon.sFichier("second.log");
        stRESULTATPROCESSUS st = clDemon.Lance({"--service", "single"}, stOptions);
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sErreur, "Service d\xE9j\xE0 lanc\xE9 : le fichier de lock /var/run/single.pid est tenu par une "
                              "autre instance\n");
        // The second instance started nothing and kept its hands off the file.
        EXPECT_FALSE(bExiste(stOptions.sRecord));
        EXPECT_EQ(sLitFichier(clDemon.sPidFichier("single")), sPid);
    }
    EXPECT_TRUE(clDemon.bJournalContient(2, "Service d\xE9j\xE0 lanc\xE9"));
    EXPECT_EQ(kill(nDemon, 0), 0);
    EXPECT_EQ(kill(nDemon, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
    EXPECT_FALSE(bExiste(clDemon.sPidFichier("single")));
}

TEST(ServiceDaemon, StaleFileOfAKilledDaemonIsTakenOver)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    ASSERT_TRUE(bEcritFichier(clDemon.sPidFichier("stale"), "4194303999\n"));
    const pid_t nDemon = nDemarreService(clDemon, "stale", "wait_stop\n");
    ASSERT_GT(nDemon, 0);
    EXPECT_EQ(sLitFichier(clDemon.sPidFichier("stale")), std::to_string(nDemon) + "\n");
    // A killed daemon leaves its file, but not its lock: the next start succeeds.
    EXPECT_EQ(kill(nDemon, SIGKILL), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 128 + SIGKILL);
    const pid_t nSuivant = nDemarreService(clDemon, "stale", "wait_stop\n");
    ASSERT_GT(nSuivant, 0);
    EXPECT_NE(nSuivant, nDemon);
    EXPECT_EQ(kill(nSuivant, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nSuivant), 0);
}

TEST(ServiceDaemon, StopRequestsFromTheEngine)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    const struct {
        const char *pszCas;
        const char *pszScript;
        const char *pszAvantFin; // the record line just before the clean end
    } tabCas[] = {
        // The engine asks to stop; a non-zero reason before it changes nothing.
        {"stop", "stop 7\nsleep 200\nlog 5 still running 100%\nstop 0\nwait_stop\n", "StopCallback(0)"},
        // The application ends by itself: the engine asks to stop.
        {"end", "log 5 done\n", nullptr},
        // SIGTERM lands on an engine thread.
        {"signal", "signal TERM\nwait_stop\n", "Signal(TERM)"},
        // SIGHUP on an engine thread is ignored as well.
        {"hup", "signal HUP\nsleep 200\nstop\nwait_stop\n", "StopCallback(0)"},
    };
    for (const auto &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszCas);
        CDemon clDemon;
        const pid_t nDemon = nDemarreService(clDemon, stCas.pszCas, stCas.pszScript);
        ASSERT_GT(nDemon, 0);
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
        EXPECT_FALSE(bExiste(clDemon.sPidFichier(stCas.pszCas)));
        std::vector<std::string> tabRecord = clDemon.tabRecord();
        if (!stCas.pszAvantFin) {
            // The script ended before the launcher ended the service.
            EXPECT_EQ(tabDerniers(tabRecord, 4), std::vector<std::string>({"ServiceEnd(0)", "QS_Term_Service(0)",
                                                                           "QS_SetParam(1012, 0)", "TermLibrary()"}));
            continue;
        }
        std::vector<std::string> tabAttendu = {stCas.pszAvantFin};
        tabAttendu.insert(tabAttendu.end(), gtabFinPropre.begin(), gtabFinPropre.end());
        EXPECT_EQ(tabDerniers(tabRecord, 5), tabAttendu);
    }
    // The log line of the engine went through the launcher's logger, '%' and all.
    CDemon clDemon;
    const pid_t nDemon = nDemarreService(clDemon, "log", tabCas[0].pszScript);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
    EXPECT_TRUE(clDemon.bJournalContient(5, "still running 100%"));
}

TEST(ServiceDaemon, FailedStartsExitWith255AndSayWhy)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    const std::string s5689 = "Impossible de d\xE9marrer le service : l'application n'a pas pu \xEAtre lanc\xE9" "e.";
    const struct {
        const char *pszCas;
        const char *pszVariante; // null: no engine at all
        const char *pszParametres;
        bool bRunLectureSeule;
        std::string sMessage;     // last line logged at priority 2 and shown by the parent
        std::string sAutreLigne;  // another line logged at priority 2
        std::string sCause;       // the line of the cause shown by the parent after the message
    } tabCas[] = {
        {"no_engine", nullptr, "", false, s5689, gszMessageVMIntrouvable, gsVMIntrouvableUneLigne},
        {"run_false", "runsrv_false", "", false, s5689, "", ""},
        {"pid_dir", "record", "", true, "Echec de la cr\xE9" "ation du fichier de lock du demon", "",
         "/var/run/pid_dir.pid , error 30, Read-only file system"},
        {"user", "record", "[SERVICE]\nUSER=no-such-user-tq\n", false,
         "Utilisateur <no-such-user-tq> inconnu : le service ne peut pas prendre son identit\xE9.", "", ""},
    };
    for (const auto &stCas : tabCas)
    for (bool bPid1 : {false, true}) {
        SCOPED_TRACE(std::string(stCas.pszCas) + (bPid1 ? " under a process 1" : " forked"));
        CDemon clDemon;
        if (stCas.pszVariante) {
            ASSERT_TRUE(clDemon.bPoseMoteur(stCas.pszVariante));
        }
        ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
        ASSERT_TRUE(clDemon.bPoseParametres(stCas.pszParametres));
        stOPTIONSDEMON stOptions;
        stOptions.bRunLectureSeule = stCas.bRunLectureSeule;
        stOptions.bPid1 = bPid1;
        // Under a process 1 the launcher is the daemon: its status is noted by that process.
        stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", stCas.pszCas}, stOptions);
        if (bPid1)
            EXPECT_EQ(sLitFichier(clDemon.sFichier("pid1.status")), "255\n");
        else
            EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sErreur, stCas.sMessage + "\n" + (stCas.sCause.empty() ? "" : stCas.sCause + "\n"));
        EXPECT_TRUE(clDemon.bJournalContient(2, stCas.sMessage));
        if (!stCas.sAutreLigne.empty()) {
            EXPECT_TRUE(clDemon.bJournalContient(2, stCas.sAutreLigne));
        }
        EXPECT_FALSE(bExiste(clDemon.sPidFichier(stCas.pszCas)));
        // The daemon that failed has ended with the same status.
        for (pid_t nDemon : CDemon::tabEnfants(getpid()))
            EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
    }
}

TEST(ServiceDaemon, FailedStartUnderAJournalIsLoggedOnce)
{
    // Standard error is the service manager's journal: the reason goes to the
    // system log alone, not a second time (in the code page's bytes) on the stream.
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
    stOPTIONSDEMON stOptions;
    stOptions.bPid1 = true;
    stOptions.bErreurJournal = true;
    stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", "journal"}, stOptions);
    EXPECT_EQ(sLitFichier(clDemon.sFichier("pid1.status")), "255\n");
    EXPECT_EQ(st.sErreur, "");
    EXPECT_TRUE(clDemon.bJournalContient(2, gszMessageVMIntrouvable));
    for (pid_t nDemon : CDemon::tabEnfants(getpid()))
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
}

TEST(ServiceDaemon, FailingServiceEntryStillReleasesTheEngine)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseMoteur("runsrv_false"));
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
    EXPECT_EQ(clDemon.Lance({"--SERVICE", "x"}).nStatut, 255);
    EXPECT_EQ(tabDerniers(clDemon.tabRecord(), 5),
              std::vector<std::string>({"QS_SetParam(1031, set)", "QS_Run_Service(\"default.tqp\", \"--SERVICE x \", set, 0)",
                                        "QS_Term_Service(0)", "QS_SetParam(1012, 0)", "TermLibrary()"}));
}

TEST(ServiceDaemon, BadNamesAreRefusedBeforeAnything)
{
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
    for (const std::vector<std::string> &tabArgs : std::vector<std::vector<std::string>>{
             {"--SERVICE"}, {"--SERVICE", ""}, {"--SERVICE", "../etc/x"}, {"--SERVICE", std::string(300, 'n')}}) {
        // No namespace needed: nothing is started, nothing is written.
        stRESULTATPROCESSUS st = Execute(
            [&] {
                std::vector<std::string> tab = {clDemon.sExe()};
                tab.insert(tab.end(), tabArgs.begin(), tabArgs.end());
                return tab;
            }(),
            {"TQE_RECORD_FILE=" + clDemon.sRecord()});
        const std::string sNom = tabArgs.size() > 1 ? tabArgs[1] : "";
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sErreur, "Nom de service invalide : <" + sNom + "> (vide, avec '/' ou trop long).\r\n"
                              "Invalid service name: <" + sNom + "> (empty, holding '/' or too long).\n");
        EXPECT_TRUE(clDemon.tabRecord().empty());
    }
}

TEST(ServiceDaemon, ServiceUserRunsTheApplicationWithoutRootIds)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    struct passwd *pstNobody = getpwnam("nobody");
    if (!pstNobody)
        GTEST_SKIP() << "no user nobody";
    const uid_t nUid = pstNobody->pw_uid;
    const gid_t nGid = pstNobody->pw_gid;
    CDemon clDemon;
    ASSERT_TRUE(bCreeRepertoire(clDemon.sFichier("data/sub")));
    ASSERT_TRUE(clDemon.bPoseParametres("[SERVICE]\nUSER=nobody\nCORE=1\nDIRECTORY=" + clDemon.sFichier("data") + "\n"));
    const pid_t nDemon = nDemarreService(clDemon, "user", "state\nwait_stop\n");
    ASSERT_GT(nDemon, 0);
    ASSERT_TRUE(clDemon.bAttendRecord("State("));
    const std::string sEtat = clDemon.sLigneRecord("State(");
    const std::string sUid = std::to_string(nUid), sGid = std::to_string(nGid);
    EXPECT_EQ(sChampEtat(sEtat, "uid"), sUid + "/" + sUid);
    EXPECT_EQ(sChampEtat(sEtat, "gid"), sGid + "/" + sGid);
    // Core dumps were asked for: the limit is lifted, and survives the change of user.
    EXPECT_EQ(sChampEtat(sEtat, "core"), "unlimited");
    EXPECT_EQ(sChampEtat(sEtat, "dumpable"), "1");
    // Only the user's own groups: none of root's.
    for (const std::string &sGroupe : tabLignes(std::regex_replace(sChampEtat(sEtat, "groups"), std::regex(","), "\n")))
        EXPECT_EQ(sGroupe, sGid);
    struct stat st;
    ASSERT_EQ(stat(clDemon.sPidFichier("user").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nUid);
    ASSERT_EQ(stat(clDemon.sFichier("data/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nUid);

    EXPECT_EQ(kill(nDemon, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
    // The user cannot remove a file from root's /run: the file is left empty instead.
    EXPECT_EQ(sLitFichier(clDemon.sPidFichier("user")), "");
    EXPECT_EQ(tabDerniers(clDemon.tabRecord(), 4), gtabFinPropre);
}

TEST(ServiceDaemon, ChildOfProcessOneRunsInPlace)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    // The state is taken once the launcher is ready: until then it still holds the
    // channel on which a failed start would be reported.
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\nstate\n"));
    CGestionnaire clGestionnaire(clDemon.sFichier("notify"));
    ASSERT_TRUE(clGestionnaire.bPret());
    stOPTIONSDEMON stOptions;
    stOptions.bPid1 = true;
    stOptions.sNotification = clGestionnaire.sNom();
    const pid_t nPremier = clDemon.Demarre({"--SERVICE", "init"}, stOptions);
    ASSERT_GT(nPremier, 0);
    // No fork: the launcher is the second process of its namespace.
    EXPECT_EQ(clDemon.sAttendLigne(clDemon.sPidFichier("init")), "2\n");
    EXPECT_EQ(clGestionnaire.tabRecus(1), std::vector<std::string>({"READY=1"}));
    const std::vector<pid_t> tabLanceur = CDemon::tabEnfants(nPremier);
    ASSERT_EQ(tabLanceur.size(), 1u);
    EXPECT_EQ(kill(tabLanceur[0], SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nPremier), 0);
    const std::string sEtat = clDemon.sLigneRecord("State(");
    EXPECT_EQ(sChampEtat(sEtat, "pid"), "2");
    EXPECT_EQ(sChampEtat(sEtat, "ppid"), "1");
    EXPECT_EQ(sChampEtat(sEtat, "cwd"), "/tmp");
    EXPECT_EQ(sChampEtat(sEtat, "umask"), "0022");
    EXPECT_EQ(sChampEtat(sEtat, "fds"), "0:/dev/null,1:/dev/null,2:/dev/null,3:/run/init.pid");
    EXPECT_EQ(sLitFichier(clDemon.sFichier("pid1.status")), "0\n");
    EXPECT_FALSE(bExiste(clDemon.sPidFichier("init")));
    std::vector<std::string> tabFin = tabDerniers(clDemon.tabRecord(), 5);
    if (tabFin.size() == 5)
        tabFin.erase(tabFin.begin() + 1); // the state, taken after the stop request
    EXPECT_EQ(tabFin, gtabFinPropre);
}

TEST(ServiceDaemon, SlowStartIsAwaitedByTheParent)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon;
    const auto tDebut = std::chrono::steady_clock::now();
    const pid_t nDemon = nDemarreService(clDemon, "slow", "wait_stop\n", "slow_service");
    const auto nDuree =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tDebut).count();
    ASSERT_GT(nDemon, 0);
    // The parent returned only once the application had started.
    EXPECT_GE(nDuree, 1400);
    EXPECT_NE(clDemon.sLigneRecord("ServiceStarted()"), "");
    EXPECT_EQ(kill(nDemon, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
}

} // namespace

namespace {

// An example unit, its ExecStart pointing into another directory (given with its '/').
std::string sUniteExemple(const std::string &sUnite, const std::string &sRepertoire)
{
    return std::regex_replace(sLitFichier(sSource("examples/service/" + sUnite)), std::regex("/opt/tqsample/"),
                              sRepertoire);
}

std::string sAnalyse()
{
    for (const char *psz : {"/usr/bin/systemd-analyze", "/bin/systemd-analyze"})
        if (bExiste(psz))
            return psz;
    return "";
}

// The exposure figure systemd-analyze gives a unit file without a running manager;
// negative when this systemd-analyze cannot rate a file (no --offline).
double nExposition(const std::string &sAnalyseur, const std::string &sFichier, std::string &sSortie)
{
    if (Execute({sAnalyseur, "--help"}).sSortie.find("--offline") == std::string::npos)
        return -1;
    stRESULTATPROCESSUS st = Execute({sAnalyseur, "security", "--offline=true", "--no-pager", sFichier});
    sSortie = st.sSortie + st.sErreur;
    std::smatch clFigure;
    if (st.nStatut != 0 || !std::regex_search(sSortie, clFigure, std::regex("Overall exposure level for [^:]*: ([0-9]+\\.[0-9]+)")))
        return 100;
    return std::stod(clFigure[1]);
}

struct stUNITE {
    const char *pszFichier;
    bool bUtilisateur; // User= in the unit, no capability
};

TEST(ServiceExample, UnitsAreValidNotifyingAndHardened)
{
    const std::string sAnalyseur = sAnalyse();
    CTempDir clRep;
    const std::string sExe = clRep.sFichier("tqsample");
    ASSERT_TRUE(bCopieFichier(sBin("tqexe"), sExe));
    for (const stUNITE &stCas : {stUNITE{"tqsample.service", false}, stUNITE{"tqsample-user.service", true}}) {
        SCOPED_TRACE(stCas.pszFichier);
        const std::string sUnite = sUniteExemple(stCas.pszFichier, clRep.sFichier(""));
        // Readiness comes from the launcher itself, failed starts are final.
        for (const char *psz : {"\nType=notify\n", "\nRestartSec=[1-9]", "\nTimeoutStartSec=[1-9]",
                                "\nRestart=on-failure\n", "\nRestartPreventExitStatus=255\n",
                                "\nNoNewPrivileges=yes\n", "\nProtectSystem=strict\n"})
            EXPECT_TRUE(std::regex_search(sUnite, std::regex(psz))) << psz;
        std::smatch clExec;
        ASSERT_TRUE(std::regex_search(sUnite, clExec, std::regex("\nExecStart=(\\S+) --SERVICE tqsample\n")));
        EXPECT_EQ(clExec[1].str(), sExe);
        std::smatch clCaps;
        ASSERT_TRUE(std::regex_search(sUnite, clCaps, std::regex("\nCapabilityBoundingSet=([^\n]*)\n")));
        if (stCas.bUtilisateur) {
            EXPECT_TRUE(std::regex_search(sUnite, std::regex("\nUser=tqsample\n")));
            EXPECT_EQ(clCaps[1].str(), "");
        } else {
            EXPECT_FALSE(std::regex_search(sUnite, std::regex("\nUser=")));
            EXPECT_EQ(clCaps[1].str(), "CAP_SETUID CAP_SETGID CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER");
        }
        const std::string sFichier = clRep.sFichier(stCas.pszFichier);
        ASSERT_TRUE(bEcritFichier(sFichier, sUnite));
        if (sAnalyseur.empty())
            continue;
        stRESULTATPROCESSUS st = Execute({sAnalyseur, "verify", sFichier});
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sErreur, "");
        std::string sSortie;
        const double nFigure = nExposition(sAnalyseur, sFichier, sSortie);
        if (nFigure < 0)
            std::cout << "[ SKIPPED  ] systemd-analyze cannot rate unit files: exposure not checked\n";
        else
            EXPECT_LE(nFigure, 5.0) << sSortie;
    }
    if (sAnalyseur.empty())
        std::cout << "[ SKIPPED  ] systemd-analyze is not installed: the units are not verified\n";
}

TEST(ServiceExample, UnitsCommandRunsAsAChildOfProcessOne)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    CDemon clDemon("tqsample");
    const std::string sUnite = sUniteExemple("tqsample.service", clDemon.sFichier(""));
    std::smatch clExec;
    ASSERT_TRUE(std::regex_search(sUnite, clExec, std::regex("\nExecStart=(\\S+) (--SERVICE) (\\S+)\n")));
    EXPECT_EQ(clExec[1].str(), clDemon.sExe());

    // What systemd does: the launcher as a child of process 1, stopped with SIGTERM.
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    ASSERT_TRUE(clDemon.bPoseScript(sLitFichier(sSource("examples/service/tqsample.TQL"))));
    stOPTIONSDEMON stOptions;
    stOptions.bPid1 = true;
    const pid_t nPremier = clDemon.Demarre({clExec[2].str(), clExec[3].str()}, stOptions);
    ASSERT_GT(nPremier, 0);
    EXPECT_EQ(clDemon.sAttendLigne(clDemon.sPidFichier("tqsample")), "2\n");
    ASSERT_TRUE(clDemon.bAttendRecord("ServiceStarted()"));
    const std::vector<pid_t> tabLanceur = CDemon::tabEnfants(nPremier);
    ASSERT_EQ(tabLanceur.size(), 1u);
    EXPECT_EQ(kill(tabLanceur[0], SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nPremier), 0);
    EXPECT_EQ(sLitFichier(clDemon.sFichier("pid1.status")), "0\n");
    EXPECT_TRUE(clDemon.bJournalContient(6, "tqsample: service started"));
    EXPECT_TRUE(clDemon.bJournalContient(6, "tqsample: service stopping"));
}

} // namespace

namespace {

TEST(ServiceDaemon, ScriptInTheDaemonsWorkingDirectoryIsNotTaken)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    // A file of that name in /tmp, where the daemon works, and none beside the launcher.
    const std::string sNom = "tqsvc_cwd_" + std::to_string(getpid());
    CDemon clDemon(sNom);
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    const std::string sEtranger = "/tmp/" + sNom + ".TQL";
    ASSERT_TRUE(bEcritFichier(sEtranger, "wait_stop\n"));
    stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", "cwd"});
    unlink(sEtranger.c_str());
    EXPECT_EQ(st.nStatut, 255);
    EXPECT_TRUE(clDemon.bJournalContient(2, sNom + ".TQL: not beside the executable"));
    EXPECT_EQ(clDemon.sLigneRecord("ServiceStarted()"), "");
    for (pid_t nDemon : CDemon::tabEnfants(getpid()))
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
}

} // namespace

namespace {

typedef std::vector<std::string> tabDATAGRAMMES;

TEST(ServiceNotification, ManagerIsToldReadyThenStopping)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    const struct {
        const char *pszCas;
        bool bPid1;     // run in place under a process 1: no MAINPID
        bool bAbstrait; // an abstract socket name
        const char *pszScript;
        bool bSigterm; // stopped by SIGTERM, else by the engine itself
    } tabCas[] = {
        {"term", false, false, "wait_stop\n", true},
        {"engine", false, true, "sleep 300\nstop\nwait_stop\n", false},
        {"init", true, false, "wait_stop\n", true},
    };
    for (const auto &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszCas);
        CDemon clDemon;
        CGestionnaire clGestionnaire(stCas.bAbstrait ? "@tqexe-test-" + std::to_string(getpid())
                                                     : clDemon.sFichier("notify"));
        ASSERT_TRUE(clGestionnaire.bPret());
        stOPTIONSDEMON stOptions;
        stOptions.sNotification = clGestionnaire.sNom();
        std::string sPret = "READY=1";
        pid_t nAttendu;
        if (stCas.bPid1) {
            ASSERT_TRUE(clDemon.bPoseMoteur("record"));
            ASSERT_TRUE(clDemon.bPoseScript(stCas.pszScript));
            stOptions.bPid1 = true;
            nAttendu = clDemon.Demarre({"--SERVICE", stCas.pszCas}, stOptions);
            ASSERT_GT(nAttendu, 0);
            EXPECT_EQ(clGestionnaire.tabRecus(1), tabDATAGRAMMES({sPret}));
            EXPECT_EQ(clDemon.sAttendLigne(clDemon.sPidFichier(stCas.pszCas)), "2\n");
            const std::vector<pid_t> tabLanceur = CDemon::tabEnfants(nAttendu);
            ASSERT_EQ(tabLanceur.size(), 1u);
            EXPECT_EQ(kill(tabLanceur[0], SIGTERM), 0);
        } else {
            nAttendu = nDemarreService(clDemon, stCas.pszCas, stCas.pszScript, "record", stOptions);
            ASSERT_GT(nAttendu, 0);
            // Told before the launching process returned, with the daemon's pid.
            sPret += "\nMAINPID=" + std::to_string(nAttendu);
            EXPECT_EQ(clGestionnaire.tabRecus(0, 0), tabDATAGRAMMES({sPret}));
            if (stCas.bSigterm) {
                EXPECT_EQ(kill(nAttendu, SIGTERM), 0);
            }
        }
        EXPECT_EQ(clDemon.nAttendFin(nAttendu), 0);
        EXPECT_EQ(clGestionnaire.tabRecus(3, 200), tabDATAGRAMMES({sPret, "STOPPING=1"}));
    }
}

TEST(ServiceNotification, FailedStartSendsItsStatusOnly)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    const struct {
        const char *pszCas;
        const char *pszVariante; // null: no engine
        bool bRunLectureSeule;
        std::string sAttendu;
    } tabCas[] = {
        {"no_engine", nullptr, false,
         "STATUS=Impossible de d\xC3\xA9marrer le service : l'application n'a pas pu \xC3\xAAtre lanc\xC3\xA9" "e. " +
             Logger_sTexteJournal(gsVMIntrouvableUneLigne.c_str())},
        {"pid_dir", "record", true,
         "STATUS=Echec de la cr\xC3\xA9" "ation du fichier de lock du demon /var/run/pid_dir.pid , error 30, Read-only "
         "file system\nERRNO=" + std::to_string(EROFS)},
    };
    for (const auto &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszCas);
        CDemon clDemon;
        CGestionnaire clGestionnaire(clDemon.sFichier("notify"));
        ASSERT_TRUE(clGestionnaire.bPret());
        if (stCas.pszVariante) {
            ASSERT_TRUE(clDemon.bPoseMoteur(stCas.pszVariante));
        }
        ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
        stOPTIONSDEMON stOptions;
        stOptions.sNotification = clGestionnaire.sNom();
        stOptions.bRunLectureSeule = stCas.bRunLectureSeule;
        EXPECT_EQ(clDemon.Lance({"--SERVICE", stCas.pszCas}, stOptions).nStatut, 255);
        for (pid_t nDemon : CDemon::tabEnfants(getpid()))
            EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
        EXPECT_EQ(clGestionnaire.tabRecus(2, 200), tabDATAGRAMMES({stCas.sAttendu}));
    }
}

TEST(ServiceJournal, LinesReachTheSystemLogAsUtf8Text)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    // No engine: the search logs its multi-line text with accents.
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
    EXPECT_EQ(clDemon.Lance({"--SERVICE", "utf8"}).nStatut, 255);
    for (pid_t nDemon : CDemon::tabEnfants(getpid()))
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
    bool bTrouve = false;
    for (const auto &stLigne : clDemon.tabJournal()) {
        EXPECT_EQ(stLigne.second.find('\r'), std::string::npos) << stLigne.second;
        if (stLigne.first == 2 && stLigne.second.find("Impossible de trouver la librairie tq150vm.so.\nVerifiez que les "
                                                      "librairies n\xC3\xA9" "cessaires") == 0)
            bTrouve = true;
    }
    EXPECT_TRUE(bTrouve);
    EXPECT_TRUE(clDemon.bJournalContient(2, "Impossible de d\xE9marrer le service"));
}

TEST(ServiceNotification, UnreachableManagerChangesNothingButALogLine)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    for (const std::string &sNom : {std::string("/nonexistent/notify"), std::string("relative"), std::string("@")}) {
        SCOPED_TRACE(sNom);
        CDemon clDemon;
        stOPTIONSDEMON stOptions;
        stOptions.sNotification = sNom;
        const pid_t nDemon = nDemarreService(clDemon, "lost", "wait_stop\n", "record", stOptions);
        ASSERT_GT(nDemon, 0);
        EXPECT_EQ(kill(nDemon, SIGTERM), 0);
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
        EXPECT_FALSE(bExiste(clDemon.sPidFichier("lost")));
        if (sNom[0] == '/') {
            EXPECT_TRUE(clDemon.bJournalContient(4, "Message READY au gestionnaire de services non transmis"));
            EXPECT_TRUE(clDemon.bJournalContient(4, "Message STOPPING au gestionnaire de services non transmis"));
        } else {
            EXPECT_TRUE(clDemon.bJournalContient(4, "NOTIFY_SOCKET ne nomme pas une socket utilisable"));
        }
    }
}

} // namespace

namespace {

TEST(ServiceDaemon, PidFileThatIsNoPlainFileIsRefusedAndLeftAlone)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    const std::string sRefuse = "Fichier de lock /var/run/planted.pid refus\xE9 : ce n'est pas un fichier ordinaire "
                                "\xE0 un seul lien\n";
    const std::string sEchec = "Echec de la cr\xE9" "ation du fichier de lock du demon\n";
    const struct {
        const char *pszCas;
        int (*pfnPose)(const char *pszCible, const char *pszChemin);
        std::string sDebutErreur;
    } tabCas[] = {
        {"hard link", [](const char *c, const char *p) { return link(c, p); }, sRefuse},
        {"symbolic link", [](const char *c, const char *p) { return symlink(c, p); }, sEchec},
        {"fifo", [](const char *, const char *p) { return mkfifo(p, 0644); }, sRefuse},
        {"directory", [](const char *, const char *p) { return mkdir(p, 0755); }, sEchec},
    };
    for (const auto &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszCas);
        CDemon clDemon;
        ASSERT_TRUE(clDemon.bPoseMoteur("record"));
        ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
        const std::string sCible = clDemon.sFichier("precious"), sPid = clDemon.sPidFichier("planted");
        ASSERT_TRUE(bEcritFichier(sCible, "keep me\n"));
        ASSERT_EQ(stCas.pfnPose(sCible.c_str(), sPid.c_str()), 0);
        stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", "planted"});
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sErreur.compare(0, stCas.sDebutErreur.size(), stCas.sDebutErreur), 0) << st.sErreur;
        EXPECT_EQ(sLitFichier(sCible), "keep me\n");
        struct stat stEtat;
        EXPECT_EQ(lstat(sPid.c_str(), &stEtat), 0) << "what was planted is not removed";
        EXPECT_EQ(clDemon.sLigneRecord("QS_Run_Service("), "");
        for (pid_t nDemon : CDemon::tabEnfants(getpid()))
            EXPECT_EQ(clDemon.nAttendFin(nDemon), 255);
    }
}

TEST(ServiceDaemon, InterruptedStartLeavesNoServiceBehind)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    // The slow engine takes 1.4 s to start: signals land before, during and after
    // the daemon's own start-up steps.
    for (int nSignal : {SIGINT, SIGTERM})
    for (int nDelaiMs : {0, 2, 20, 200, 900}) {
        SCOPED_TRACE(std::string(strsignal(nSignal)) + " after " + std::to_string(nDelaiMs) + " ms");
        CDemon clDemon;
        ASSERT_TRUE(clDemon.bPoseMoteur("slow_service"));
        ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
        const pid_t nLanceur = clDemon.Demarre({"--SERVICE", "cancel"});
        ASSERT_GT(nLanceur, 0);
        usleep(static_cast<useconds_t>(nDelaiMs) * 1000);
        EXPECT_EQ(kill(nLanceur, nSignal), 0);
        // Failed either way: told by the launcher, or killed before it could fork.
        const int nStatut = clDemon.nAttendFin(nLanceur);
        EXPECT_TRUE(nStatut == 255 || nStatut == 128 + nSignal) << nStatut;
        // Whatever was forked ends by itself, cleanly.
        for (pid_t nReste : CDemon::tabEnfants(getpid()))
            EXPECT_EQ(clDemon.nAttendFin(nReste), 0);
        EXPECT_TRUE(CDemon::tabEnfants(getpid()).empty());
        EXPECT_FALSE(bExiste(clDemon.sPidFichier("cancel")));
        if (!clDemon.sLigneRecord("QS_Run_Service(").empty()) {
            EXPECT_EQ(tabDerniers(clDemon.tabRecord(), 4), gtabFinPropre);
        }
    }
}

} // namespace

namespace {

TEST(ServiceDaemon, ServiceDirectoryNeverTakesTheLaunchersFiles)
{
    TQ_SAUTE_SI_IMPOSSIBLE();
    struct passwd *pstNobody = getpwnam("nobody");
    if (!pstNobody)
        GTEST_SKIP() << "no user nobody";
    const uid_t nUid = pstNobody->pw_uid;
    const struct {
        const char *pszCas;
        std::string sRepertoire; // relative to the application's directory, or absolute
        std::string sVMPath;     // [FRAMEWORK] VMPATH, relative to the application's directory
        bool bRefuse;
    } tabCas[] = {
        {"own directory through a link", "data/up", "", true},
        {"above the explicit engine", "eng", "eng/sub/tq150vm.so", true},
        {"the pid file directory", "/run", "", true},
        // Only directories of the test: a fault here must not hand over the system's.
        {"above a link on the engine's way", "eng", "eng/link/tq150vm.so", true},
        {"a tree holding a hard link to the launcher", "data", "", false},
    };
    for (const auto &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszCas);
        CDemon clDemon;
        ASSERT_TRUE(bCreeRepertoire(clDemon.sFichier("data/sub")));
        ASSERT_EQ(symlink("..", clDemon.sFichier("data/up").c_str()), 0);
        ASSERT_EQ(link(clDemon.sExe().c_str(), clDemon.sFichier("data/sub/hard").c_str()), 0);
        ASSERT_TRUE(bCreeRepertoire(clDemon.sFichier("eng/sub")));
        ASSERT_TRUE(bCreeRepertoire(clDemon.sFichier("elsewhere")));
        ASSERT_EQ(symlink("../elsewhere", clDemon.sFichier("eng/link").c_str()), 0);
        const std::string sRepertoire =
            stCas.sRepertoire[0] == '/' ? stCas.sRepertoire : clDemon.sFichier(stCas.sRepertoire);
        std::string sParametres = "[SERVICE]\nUSER=nobody\nDIRECTORY=" + sRepertoire + "\n";
        if (!stCas.sVMPath.empty()) {
            ASSERT_TRUE(bCopieFichier(sBin("variants/record/tq150vm.so"), clDemon.sFichier(stCas.sVMPath)));
            sParametres += "[FRAMEWORK]\nVMPATH=" + clDemon.sFichier(stCas.sVMPath) + "\n";
        }
        ASSERT_TRUE(clDemon.bPoseParametres(sParametres));
        // Refused or not, the service starts: only the hand-over is at stake.
        const pid_t nDemon = nDemarreService(clDemon, "dir", "wait_stop\n");
        ASSERT_GT(nDemon, 0);
        EXPECT_EQ(kill(nDemon, SIGTERM), 0);
        EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
        EXPECT_EQ(clDemon.bJournalContient(2, "R\xE9pertoire du service refus\xE9 : " + sRepertoire + " contient "),
                  stCas.bRefuse);
        std::vector<std::string> tabRoot = {clDemon.sExe(), clDemon.sExe() + ".TX", clDemon.sFichier("tq150vm.so"),
                                            clDemon.sFichier("")};
        if (!stCas.sVMPath.empty())
            tabRoot.push_back(clDemon.sFichier(stCas.sVMPath));
        for (const std::string &sChemin : tabRoot) {
            struct stat st;
            ASSERT_EQ(stat(sChemin.c_str(), &st), 0) << sChemin;
            EXPECT_EQ(st.st_uid, 0u) << sChemin;
        }
        struct stat st;
        ASSERT_EQ(stat(clDemon.sFichier("data/sub").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid == nUid, !stCas.bRefuse);
    }
}

} // namespace
