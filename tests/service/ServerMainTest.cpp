// The server main object, the service executor and the in-process parts of the
// daemon start-up.
#include <gtest/gtest.h>

#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "ServiceTestUtil.h"
#include "error/XError.h"
#include "launcher/TQExe.h"
#include "service/ServiceUnix.h"
#include "service/StartServer.h"
#include "service/TQExeService.h"
#include "support/TestSupport.h"

using namespace tqtest;

namespace {

struct stBOUCLE {
    CServerMain *pclServeur;
    CTQSem clFini{0, 1};
    int nResultat = -1;
};

void *ExecuteBoucle(void *p)
{
    stBOUCLE *pst = static_cast<stBOUCLE *>(p);
    pst->nResultat = pst->pclServeur->MainLoop();
    pst->clFini.Post();
    return nullptr;
}

TEST(ServerMain, OnlyAStopWakesTheMainLoop)
{
    // Without a server object the engine's request is harmless.
    ASSERT_EQ(gpclServerMain, nullptr);
    StopMyService(0);

    gpclServerMain = new CServerMain;
    gpclServiceImp = gpclServerMain;
    stBOUCLE stBoucle;
    stBoucle.pclServeur = gpclServerMain;
    pthread_t hThread;
    ASSERT_EQ(pthread_create(&hThread, nullptr, ExecuteBoucle, &stBoucle), 0);
    // A reason other than 0 leaves the service running.
    StopMyService(1);
    StopMyService(-3);
    EXPECT_EQ(stBoucle.clFini.WaitTimeout(200), CTQSem::eSEM_DELAI);
    StopMyService(0);
    EXPECT_EQ(stBoucle.clFini.WaitTimeout(10000), CTQSem::eSEM_OK);
    pthread_join(hThread, nullptr);
    EXPECT_EQ(stBoucle.nResultat, 0);

    // A stop with no executor (the start failed) still wakes the loop.
    EXPECT_EQ(gpclServerMain->pclGetExecuteur(), nullptr);
    EXPECT_EQ(gpclServerMain->Stop(), 0);
    EXPECT_EQ(gpclServerMain->MainLoop(), 0);
    Term();
    // After the end, a late request from the engine is harmless too.
    StopMyService(0);
}

TEST(ServerMain, FailedStartLeavesNoExecutor)
{
    // Beside the test program the engine finds no application library: the start fails.
    CServerMain clServeur;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(clServeur.bStart());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(clServeur.pclGetExecuteur(), nullptr);
    EXPECT_EQ(clServeur.Stop(), 0);
    EXPECT_EQ(clServeur.MainLoop(), 0);
}

class CExecuteurVisible : public CTQExeService {
public:
    using CTQExeService::CTQExeService;
    void Affiche(const char *pszTexte) const { _vAfficheErreur(pszTexte); }
};

TEST(ServerMain, ServiceErrorsGoToTheLogNotTheConsole)
{
    CJournalEnregistre clJournal;
    CXError clErreur;
    clErreur.SetUserErrorMessage(1234, "disk 100%% full");
    const std::string sRapport = clErreur.StringDump(0x80000FFF).pszGet();
    CLogger clLogger;
    testing::internal::CaptureStderr();
    {
        CExecuteurVisible clService(1, nullptr, nullptr, "", &clLogger);
        clService.Affiche("launcher says 100% %s");
        CTQExe::_CallBackErreurVM(&clErreur, 0, 0);
        // Outside service mode the console display stays.
        CExecuteurVisible clConsole(0, nullptr, nullptr, "", &clLogger);
        clConsole.Affiche("to the console");
    }
    // Once the executor is gone, engine errors are back on the console.
    CTQExe::_CallBackErreurVM(&clErreur, 0, 0);
    const std::string sConsole = testing::internal::GetCapturedStderr();
    EXPECT_EQ(clJournal.tabLignes(), tabJOURNAL({{2, "launcher says 100% %s"}, {2, sRapport}}));
    EXPECT_EQ(sConsole, "to the console\n" + sRapport + "\n");
}

TEST(ServiceStartUp, PidFilePathRefusesUnsafeNames)
{
    // "/var/run/" (9) + name + ".pid" (4) must stay within 260 characters.
    const std::string sLong(247, 'n');
    const struct {
        std::string sNom;
        std::string sChemin; // empty: refused
    } tabCas[] = {
        {"billing", "/var/run/billing.pid"},
        {"a.b-c_d", "/var/run/a.b-c_d.pid"},
        {"..", "/var/run/...pid"}, // an odd but plain file name
        {sLong, "/var/run/" + sLong + ".pid"},
        {sLong + "n", ""},
        {"", ""},
        {"a/b", ""},
        {"/abs", ""},
    };
    for (const auto &stCas : tabCas) {
        char szChemin[TQ_TAILLE_CHEMIN_PID] = "";
        EXPECT_EQ(bCheminFichierPid(stCas.sNom.c_str(), szChemin), !stCas.sChemin.empty()) << stCas.sNom;
        if (!stCas.sChemin.empty()) {
            EXPECT_EQ(std::string(szChemin), stCas.sChemin);
        }
    }
    EXPECT_FALSE(bCheminFichierPid(nullptr, nullptr));
}

TEST(ServiceStartUp, OwnDirectoryIsGivenWithoutFollowingLinks)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to change owners";
    struct passwd *pstNobody = getpwnam("nobody");
    if (!pstNobody)
        GTEST_SKIP() << "no user nobody";
    const uid_t nUid = pstNobody->pw_uid;
    const gid_t nGid = pstNobody->pw_gid;
    CTempDir clRep;
    const std::string sArbre = clRep.sFichier("tree"), sDehors = clRep.sFichier("outside");
    ASSERT_TRUE(bCreeRepertoire(sArbre + "/sub/deep"));
    ASSERT_TRUE(bCreeRepertoire(sDehors));
    ASSERT_TRUE(bEcritFichier(sArbre + "/sub/file", "x"));
    ASSERT_TRUE(bEcritFichier(sDehors + "/secret", "s"));
    ASSERT_EQ(symlink(sDehors.c_str(), (sArbre + "/link").c_str()), 0);
    ASSERT_EQ(chmod((sArbre + "/sub/deep").c_str(), 0500), 0);

    EXPECT_TRUE(bDonneRepertoire(sArbre.c_str(), nUid, nGid));
    for (const char *pszEntree : {"", "/sub", "/sub/deep", "/sub/file", "/link"}) {
        struct stat st;
        ASSERT_EQ(lstat((sArbre + pszEntree).c_str(), &st), 0) << pszEntree;
        EXPECT_EQ(st.st_uid, nUid) << pszEntree;
        EXPECT_EQ(st.st_gid, nGid) << pszEntree;
        if (S_ISDIR(st.st_mode)) {
            EXPECT_EQ(st.st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU)) << pszEntree;
        }
    }
    EXPECT_EQ(nModeFichier(sArbre + "/sub/deep") & 077, 0);
    // What the link points at stays as it was.
    for (const std::string &sHors : {sDehors, sDehors + "/secret"}) {
        struct stat st;
        ASSERT_EQ(stat(sHors.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u) << sHors;
    }
    // Refused: the root, relative paths, files, links to directories, nothing.
    for (const std::string &sRefuse : {std::string("/"), std::string("//"), std::string("tree"),
                                       sArbre + "/sub/file", sArbre + "/link", std::string()})
        EXPECT_FALSE(bDonneRepertoire(sRefuse.c_str(), nUid, nGid)) << sRefuse;
    EXPECT_FALSE(bDonneRepertoire(nullptr, nUid, nGid));
    // Give the tree back, so the temporary directory can be removed.
    EXPECT_TRUE(bDonneRepertoire(sArbre.c_str(), 0, 0));
}

} // namespace
