// Binding and wrappers, in-process, on the recording engine variants.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>

#include "LauncherFixture.h"
#include "launcher/vmload.h"

using namespace tqtest;

namespace {

// Loads a variant with its call record in a temporary file; unbinds and closes at the end.
class Vmload : public ::testing::Test {
protected:
    void Charge(const std::string &sVariante)
    {
        setenv("TQE_RECORD_FILE", m_clRep.sFichier("record.log").c_str(), 1);
        m_h = dlopen(sMoteur(sVariante).c_str(), RTLD_NOW);
        ASSERT_NE(m_h, nullptr) << dlerror();
        EXPECT_TRUE(bInitVM(m_h));
        EXPECT_EQ(ghDLLVM, m_h);
    }
    void TearDown() override
    {
        DelieVM();
        if (m_h)
            dlclose(m_h);
        unsetenv("TQE_RECORD_FILE");
    }
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(m_clRep.sFichier("record.log"))); }

    CTempDir m_clRep;
    HINSTANCE m_h = nullptr;
};

} // namespace

TEST_F(Vmload, EngineWithOnlySetParam)
{
    Charge("only_setparam");
    EXPECT_NE(gpfnPARAM, nullptr);
    for (void *p : {(void *)gpfnRUN, (void *)gpfnRUNSRV, (void *)gpfnTERMSRV, (void *)gpfnDBG, (void *)gpfnDLL,
                    (void *)gpfnTQL, (void *)gpfnREP, (void *)gpfnMBR, (void *)gpfnFININT, (void *)gpfnGOQUERY,
                    (void *)gpfnLTQL})
        EXPECT_EQ(p, nullptr);
    int nResultat = 42;
    EXPECT_FALSE(bRunExec(eMODEVM_EXECUTION, "p", "c", &nResultat));
    EXPECT_EQ(nResultat, 42);
    EXPECT_FALSE(bDonneTQL("x.TQL", 0));
    EXPECT_FALSE(bRunService("p", "c", nullptr));
    EXPECT_FALSE(bTermService());
    EXPECT_EQ(piInitDLL("x"), nullptr);
    DonneRepRZ("/d");
    SetVersionActive(9);
    EXPECT_TRUE(bInitRegistre("HKEY_ROOT", "Soft"));
    EXPECT_EQ(TermVM(0), 1);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"QS_SetParam(1028, 9)", "QS_SetParam(1009, \"HKEY_ROOT\\\\Soft\")",
                                                     "QS_SetParam(1012, 0)"}));
    // Terminating leaves the library bound and loaded.
    EXPECT_EQ(ghDLLVM, m_h);
    EXPECT_NE(gpfnPARAM, nullptr);
}

TEST_F(Vmload, EveryWrapperReachesItsEntry)
{
    Charge("record");
    int nResultat = 0;
    // The mode travels as an unsigned 8-bit value.
    EXPECT_FALSE(bRunExec(static_cast<eMODEVM>(300), "proj", "a b", &nResultat));
    EXPECT_FALSE(bRunTest(eMODEVM_EXECUTION, "t"));
    EXPECT_FALSE(bRunService("proj", "cmd", [](int) {}));
    EXPECT_TRUE(bTermService());
    EXPECT_FALSE(bListeDLL(nullptr, "dll"));
    EXPECT_FALSE(bListeTQL(nullptr, "tql"));
    EXPECT_FALSE(bDonneTQL("", -1));
    DonneRepRZ("/data");
    DonneRepMBR("a", "b");
    // Non-null in one place only, so that swapped arguments would show.
    int nContexte = 0;
    DonneFinInit([](void *, unsigned int, unsigned long) {}, nullptr);
    DonneFinInit(nullptr, &nContexte);
    InitGoRequete(&nContexte);
    EXPECT_EQ(piInitDLL("x"), nullptr); // the engine lists no such component
    EXPECT_NE(piInitDLL("tq150vm.so"), nullptr);
    // The offset crosses as 64 bits, in the 32-bit tree as well.
    EXPECT_FALSE(bDonneTQL("big.TQL", 0x123456789LL));
    EXPECT_EQ(SetModeExecution(5), 0);
    EXPECT_EQ(SetModeExecution(6), 5);
    EXPECT_EQ(dwGetInformationVM(3), 0u);
    EXPECT_EQ(SetInfoLDAP("ldap"), 1);
    SetLogger(nullptr);
    EXPECT_EQ(DonneHistoConnexion(12), 12);
    EXPECT_TRUE(bInitRegistre("R", "K"));
    EXPECT_EQ(tabRecord(), std::vector<std::string>({
                               "QS_Run_Res(44, \"proj\", \"a b\", set)",
                               "QS_TestEx(5, \"t\", 0)",
                               "QS_Run_Service(\"proj\", \"cmd\", set, 0)",
                               "QS_Term_Service(0)",
                               "QS_ListeDLL(null, \"dll\")",
                               "QS_ListeTQL(null, \"tql\")",
                               "QS_DonneTQL(\"\", -1)",
                               "QS_DonneREP(\"/data\")",
                               "QS_DonneMBR(\"a\", \"b\")",
                               "QS_DonneFinInit(set, null)",
                               "QS_DonneFinInit(null, set)",
                               "QS_InitGoRequete(set)",
                               "QS_ListeDLL(null, \"x\")",
                               "QS_ListeDLL(null, \"tq150vm.so\")",
                               "QS_SetParam(1007, 0)",
                               "QS_DonneTQL(\"big.TQL\", 4886718345)",
                               "QS_SetParam(1021, 5)",
                               "QS_SetParam(1021, 6)",
                               "QS_SetParam(1014, 3)",
                               "QS_SetParam(1029, \"ldap\")",
                               "QS_SetParam(1031, null)",
                               "QS_SetParam(1030, 12)",
                               "QS_SetParam(1009, \"R\\\\K\")",
                           }));
}

TEST_F(Vmload, TermVMUnloadsOnlyWhenAsked)
{
    Charge("record");
    EXPECT_EQ(TermVM(1), 0); // dlclose's answer
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"QS_SetParam(1012, 0)"}));
    m_h = nullptr; // closed by TermVM
    DelieVM();
    // Unbound, every wrapper answers its failure value without calling anything.
    EXPECT_EQ(TermVM(0), 0);
    EXPECT_FALSE(bInitRegistre("R", "K"));
    int nResultat = 5;
    EXPECT_FALSE(bRunExec(eMODEVM_EXECUTION, "p", "c", &nResultat));
    EXPECT_EQ(SetModeExecution(1), 0);
    SetVersionActive(1);
    EXPECT_EQ(tabRecord().size(), 1u);
}

TEST_F(Vmload, ErrorCallbackIsTheSeventeenthOperationOfTheProxy)
{
    // Called through the raw table, as an engine built elsewhere lays it out.
    Charge("record");
    PFN_QUERYPROXY pfnProxy = reinterpret_cast<PFN_QUERYPROXY>(dlsym(m_h, TQVM_EXPORT_QUERYPROXY));
    ASSERT_NE(pfnProxy, nullptr);
    void *pObjet = pfnProxy(TQVM_PROXY_LANCEUR);
    ASSERT_NE(pObjet, nullptr);
    typedef void (*PFN_SLOT)(void *, PFN_CALLBACKERREURVM, unsigned long, unsigned int);
    void **ppTable = *static_cast<void ***>(pObjet);
    reinterpret_cast<PFN_SLOT>(ppTable[16])(pObjet, nullptr, 7, 9);
    EXPECT_EQ(pfnProxy(99), nullptr);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"pQueryProxy(100)", "RegisterErrorCallback(null, 7, 9)",
                                                     "pQueryProxy(99)"}));
}
