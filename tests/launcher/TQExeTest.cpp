// The launcher object in-process: command-line helpers, the error callback, and a
// whole launch sequence on copies of the engine variants.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include "LauncherFixture.h"
#include "error/XError.h"
#include "launcher/RechercheVM.h"
#include "launcher/TQExe.h"
#include "launcher/vmload.h"

using namespace tqtest;

TEST(TQExeLigneCommande, OptionsIgnoreCaseAndTheProgramName)
{
    const char *tab[] = {"--SERVICE", "a", "--service", "name", "--last", nullptr};
    char **argv = const_cast<char **>(tab);
    EXPECT_TRUE(bSetOnCmdLine(5, argv, "--SERVICE"));
    EXPECT_TRUE(bSetOnCmdLine(5, argv, "--Last"));
    EXPECT_FALSE(bSetOnCmdLine(5, argv, "a ")); // whole arguments only
    EXPECT_FALSE(bSetOnCmdLine(1, argv, "--SERVICE")); // argv[0] is the program
    EXPECT_FALSE(bSetOnCmdLine(0, argv, "--SERVICE"));

    CTString clValeur("keep");
    EXPECT_TRUE(bGetCmdLineValue(5, argv, "--Service", &clValeur));
    EXPECT_STREQ(clValeur.pszGet(), "name");
    EXPECT_TRUE(bGetCmdLineValue(5, argv, "--LAST", &clValeur));
    EXPECT_STREQ(clValeur.pszGet(), ""); // last argument: the terminating null entry
    clValeur = "keep";
    EXPECT_FALSE(bGetCmdLineValue(5, argv, "--absent", &clValeur));
    EXPECT_STREQ(clValeur.pszGet(), "keep");
}

TEST(TQExeLigneCommande, TermForgetsTheServiceObjects)
{
    // Nothing to destroy on the interactive road; both pointers end up null.
    gpclServiceImp = reinterpret_cast<CServiceImp *>(&gpclServiceImp);
    Term();
    EXPECT_EQ(gpclServerMain, nullptr);
    EXPECT_EQ(gpclServiceImp, nullptr);
}

TEST(TQExeCallBack, PrintsTheFullReportLiterally)
{
    CXError clErreur;
    clErreur.SetUserErrorMessage(1234, "disk 100% full %s %d");
    CTString clAttendu = clErreur.StringDump(0x80000FFF);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CTQExe::_CallBackErreurVM(&clErreur, 0, 0), 0);
    EXPECT_EQ(CTQExe::_CallBackErreurVM(nullptr, 0, 0), 0);
    std::string sSortie = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sSortie, std::string(clAttendu.pszGet()) + "\n");
    EXPECT_NE(sSortie.find("disk 100% full %s %d"), std::string::npos);
}

namespace {

// A launcher object whose executable directory is a temporary directory, run from
// that directory (where the engine finds the test program's script).
class TQExeSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(m_szRepAvant, sizeof(m_szRepAvant)), nullptr);
        ASSERT_EQ(chdir(m_clRep.sChemin().c_str()), 0);
        setenv("TQE_RECORD_FILE", m_clRep.sFichier("record.log").c_str(), 1);
        char szExe[4097] = "";
        ASSERT_GT(readlink("/proc/self/exe", szExe, sizeof(szExe) - 1), 0);
        m_sNomTQL = std::string(strrchr(szExe, '/') + 1) + ".TQL";
    }
    void TearDown() override
    {
        unsetenv("TQE_RECORD_FILE");
        EXPECT_EQ(chdir(m_szRepAvant), 0);
    }
    // Once the object is built: the engine is searched in the temporary directory.
    void Prepare() { pstRechercheFramework()->clRepExe = m_clRep.sChemin().c_str(); }
    bool bEngineCharge() const
    {
        void *h = dlopen(m_clRep.sFichier("tq150vm.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (h)
            dlclose(h);
        return h != nullptr;
    }
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(m_clRep.sFichier("record.log"))); }

    CTempDir m_clRep;
    std::string m_sNomTQL;
    char m_szRepAvant[4097];
};

} // namespace

TEST_F(TQExeSequence, ConstructorFillsTheSearchRecord)
{
    char szExe[4097] = "";
    ASSERT_GT(readlink("/proc/self/exe", szExe, sizeof(szExe) - 1), 0);
    {
        CTQExe clExe(nullptr, nullptr, "a b ");
        EXPECT_STREQ(clExe.pszGetNomModule(), szExe);
        EXPECT_STREQ(clExe.pszGetLigneCommande(), "a b ");
        std::string sRep(szExe, strrchr(szExe, '/') + 1);
        EXPECT_EQ(std::string(pstRechercheFramework()->clRepExe.pszGet()), sRep);
        EXPECT_EQ(pstRechercheFramework()->pstInfoExe, &clExe.stGetInfoExe());
        EXPECT_EQ(clExe.stGetInfoExe().szNomVM[0], '\0'); // cleared until bInit
        EXPECT_EQ(clExe.hGetRuntime(), nullptr);
    }
    EXPECT_EQ(pstRechercheFramework()->pstInfoExe, nullptr);
}

TEST_F(TQExeSequence, WholeLaunchAndUnload)
{
    ASSERT_TRUE(bCopieFichier(sMoteur("record"), m_clRep.sFichier("tq150vm.so")));
    ASSERT_TRUE(bEcritFichier(m_clRep.sFichier(m_sNomTQL), "exit 12\n"));
    CTQExe clExe(nullptr, nullptr, "x y ");
    Prepare();
    int nExit = 0;
    ASSERT_TRUE(clExe.bInit(&nExit));
    EXPECT_EQ(nExit, 0);
    EXPECT_STREQ(clExe.stGetInfoExe().szNomTQL, m_sNomTQL.c_str());
    EXPECT_NE(clExe.hGetRuntime(), nullptr);
    EXPECT_EQ(clExe.nRun(), 12);
    EXPECT_FALSE(clExe.bTerm());
    EXPECT_EQ(clExe.hGetRuntime(), nullptr);
    EXPECT_FALSE(bEngineCharge());
    EXPECT_EQ(ghDLLVM, nullptr);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"bInitLibrary(self)", "pQueryProxy(100)",
                                                     "RegisterErrorCallback(set, 0, 0)",
                                                     "QS_DonneTQL(\"" + m_sNomTQL + "\", 0)", "QS_DonneREP(\".\")",
                                                     "QS_SetParam(1028, 0)", "QS_Run_Res(5, \"default.tqp\", \"x y \", set)",
                                                     "QS_SetParam(1012, 0)", "TermLibrary()"}));
    // A second termination finds nothing left to call.
    EXPECT_FALSE(clExe.bTerm());
    EXPECT_EQ(tabRecord().size(), 9u);
}

TEST_F(TQExeSequence, FailedStepsUnloadTheEngine)
{
    ASSERT_TRUE(bEcritFichier(m_clRep.sFichier(m_sNomTQL), "exit 0\n"));
    for (const char *pszVariante : {"no_proxy", "proxy_null", "tql_false", "only_setparam"}) {
        SCOPED_TRACE(pszVariante);
        ASSERT_TRUE(bCopieFichier(sMoteur(pszVariante), m_clRep.sFichier("tq150vm.so")));
        CTQExe clExe(nullptr, nullptr, "");
        Prepare();
        int nExit = 0;
        EXPECT_FALSE(clExe.bInit(&nExit));
        EXPECT_EQ(nExit, -1);
        EXPECT_EQ(clExe.hGetRuntime(), nullptr);
        EXPECT_FALSE(bEngineCharge());
        EXPECT_EQ(ghDLLVM, nullptr);
        EXPECT_EQ(tabRecord().back(), "TermLibrary()");
        ASSERT_EQ(unlink(m_clRep.sFichier("record.log").c_str()), 0);
    }
}

TEST_F(TQExeSequence, FailedRunAndMissingEngine)
{
    ASSERT_TRUE(bEcritFichier(m_clRep.sFichier(m_sNomTQL), "exit 0\n"));
    ASSERT_TRUE(bCopieFichier(sMoteur("run_false"), m_clRep.sFichier("tq150vm.so")));
    {
        CTQExe clExe(nullptr, nullptr, "");
        Prepare();
        int nExit = 0;
        ASSERT_TRUE(clExe.bInit(&nExit));
        testing::internal::CaptureStderr();
        EXPECT_EQ(clExe.nRun(), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "<default.tqp> execution failed, return code = 3\n");
        clExe.bTerm();
        EXPECT_FALSE(bEngineCharge());
    }
    ASSERT_EQ(unlink(m_clRep.sFichier("tq150vm.so").c_str()), 0);
    CTQExe clExe(nullptr, nullptr, "");
    Prepare();
    int nExit = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(clExe.bInit(&nExit));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(gszMessageVMIntrouvable) + "\n");
    EXPECT_EQ(nExit, -1);
}
