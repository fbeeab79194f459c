// The engine search run in-process against copies of the built engines, with the
// common directory's root moved into a temporary directory.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstring>

#include "LauncherFixture.h"
#include "launcher/RechercheVM.h"

using namespace tqtest;

namespace {

// A search record pointing at a test block and a temporary executable directory;
// restores the process's record and the common root afterwards.
class RechercheVM : public ::testing::Test {
protected:
    void SetUp() override
    {
        _stRECHERCHEFW *pst = pstRechercheFramework();
        m_pstInfoAvant = pst->pstInfoExe;
        m_clRepExeAvant = pst->clRepExe;
        memset(&m_stInfo, 0, sizeof(m_stInfo));
        strcpy(m_stInfo.szNomVM, "tq150vm.so");
        pst->pstInfoExe = &m_stInfo;
        pst->clRepExe = m_clRep.sFichier("exe").c_str();
        ASSERT_TRUE(bCreeRepertoire(m_clRep.sFichier("exe")));
        ASSERT_TRUE(bCreeRepertoire(m_clRep.sFichier("common")));
        RechercheVM_SetRacineCommune(m_clRep.sFichier("common/").c_str());
        m_sRacine = m_clRep.sFichier("common/");
    }
    void TearDown() override
    {
        RechercheVM_SetRacineCommune(nullptr);
        pstRechercheFramework()->pstInfoExe = m_pstInfoAvant;
        pstRechercheFramework()->clRepExe = m_clRepExeAvant;
        pstRechercheFramework()->clRepFramework.Vide();
    }
    bool bPose(const std::string &sVariante, const std::string &sRelatif)
    {
        std::string sChemin = m_clRep.sFichier(sRelatif);
        return bCreeRepertoire(sChemin.substr(0, sChemin.rfind('/'))) && bCopieFichier(sMoteur(sVariante), sChemin);
    }
    std::string sRepFramework() const { return pstRechercheFramework()->clRepFramework.pszGet(); }
    static bool bCharge(const std::string &sChemin)
    {
        void *h = dlopen(sChemin.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (h)
            dlclose(h);
        return h != nullptr;
    }

    CTempDir m_clRep;
    _stINFOEXE m_stInfo;
    std::string m_sRacine;

private:
    _stINFOEXE *m_pstInfoAvant = nullptr;
    CTString m_clRepExeAvant;
};

} // namespace

TEST(ComposantsStd, EveryRowInOrder)
{
    struct stLIGNE {
        const char *pszNom;
        int32_t nComposante;
        uint32_t dwFlags;
    };
    const stLIGNE tabStd[15] = {
        {"tq150com.so", 10, 0x1},  {"tq150cpl.so", 26, 0x0}, {"tq150img.so", 25, 0x1},
        {"tq150jav.so", 11, 0x1},  {"tq150mat.so", 3, 0x1},  {"tq150msql.so", 32, 0x0},
        {"tq150page.so", 31, 0x40000001}, {"tq150pdf.so", 37, 0x0}, {"tq150prn.so", 9, 0x1},
        {"tq150sql.so", 28, 0x0},  {"tq150std.so", 8, 0x1},  {"tq150trs.so", 14, 0x0},
        {"tq150vm.so", 0, 0x21},   {"tq150xml.so", 4, 0x1},  {"tq150zip.so", 42, 0x1},
    };
    for (size_t i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(gstTabStdCompo[i].pszNomDLL, tabStd[i].pszNom);
        EXPECT_EQ(gstTabStdCompo[i].nComposante, tabStd[i].nComposante);
        EXPECT_EQ(gstTabStdCompo[i].dwFlags, tabStd[i].dwFlags);
        EXPECT_EQ(pstGetStdDesc(tabStd[i].nComposante), &gstTabStdCompo[i]);
    }
    EXPECT_STREQ(gstTabDLLAS400_TORQEN[0].pszNomDLL, "vxa1500as.so");
    EXPECT_EQ(gstTabDLLAS400_TORQEN[0].dwFlags, 0x1u);
    EXPECT_STREQ(gstTabDLLAS400_TORQEN[1].pszNomDLL, "vxa1500as.so");
    EXPECT_EQ(gstTabDLLAS400_TORQEN[1].nComposante, 101);
    EXPECT_EQ(gstTabDLLAS400_TORQEN[1].dwFlags, 0x0u);
}

TEST(ComposantsStd, TableLookup)
{
    const _stSTDCOMPO *pst = pstGetStdDesc(0);
    ASSERT_NE(pst, nullptr);
    EXPECT_STREQ(pst->pszNomDLL, "tq150vm.so");
    EXPECT_EQ(pst->dwFlags, 0x21u);
    EXPECT_EQ(pstGetStdDesc(101), &gstTabDLLAS400_TORQEN[1]);
    EXPECT_EQ(pstGetStdDesc(100), &gstTabDLLAS400_TORQEN[0]);
    EXPECT_STREQ(pstGetStdDesc(100)->pszNomDLL, "vxa1500as.so");
    EXPECT_EQ(pstGetStdDesc(99), nullptr);
    EXPECT_EQ(pstGetStdDesc(-1), nullptr);
    EXPECT_EQ(pstGetStdDesc(31)->dwFlags, 0x40000001u);
    EXPECT_STREQ(pstGetStdDesc(42)->pszNomDLL, "tq150zip.so");
    EXPECT_STREQ(gstTabStdCompo[0].pszNomDLL, "tq150com.so");
    EXPECT_STREQ(gstTabStdCompo[14].pszNomDLL, "tq150zip.so");
}

TEST(ComposantsStd, CommonDirectoryPaths)
{
    char sz[260];
    ASSERT_TRUE(bConstruitCheminFrameworkCommun(sz, sizeof(sz), "tq150vm.so"));
    EXPECT_STREQ(sz, "/usr/local/ORMELAN/lib/15.0/");
    ASSERT_TRUE(bConstruitCheminFrameworkCommun(sz, sizeof(sz), "TQ150VM.SO"));
    EXPECT_STREQ(sz, "/usr/local/ORMELAN/lib/15.0/");
    EXPECT_FALSE(_bFrameworkRenomme("Tq150Vm.so"));
    EXPECT_TRUE(_bFrameworkRenomme("myvm.so"));
    // A buffer too small for the whole path gets nothing rather than another directory.
    char szPetit[10] = "x";
    _ConstruitCheminFrameworkCommunORM(szPetit, sizeof(szPetit));
    EXPECT_STREQ(szPetit, "");
    EXPECT_STREQ(czFichierConfFrameworkRenomme("myvm.so").pszGet(), "/usr/local/ORMELAN/lib/myvm.so.conf");
}

TEST_F(RechercheVM, RenamedEngineDirectoryComesFromItsProfile)
{
    char sz[260] = "junk";
    ASSERT_TRUE(bConstruitCheminFrameworkCommun(sz, sizeof(sz), "myvm.so"));
    EXPECT_STREQ(sz, ""); // no profile: nothing configured
    ASSERT_TRUE(bEcritFichier(m_sRacine + "myvm.so.conf", "[FRAMEWORK]\nCHEMIN=/opt/vm\n"));
    ASSERT_TRUE(bConstruitCheminFrameworkCommun(sz, sizeof(sz), "myvm.so"));
    EXPECT_STREQ(sz, "/opt/vm");
}

TEST_F(RechercheVM, ExecutableDirectoryFirst)
{
    ASSERT_TRUE(bPose("", "exe/tq150vm.so"));
    ASSERT_TRUE(bPose("", "common/15.0/tq150vm.so"));
    m_stInfo.nFrameworkCommun = 1;
    HINSTANCE h = hTrouveEtChargeVM("tq150vm.so", nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_nModeFramework, 0);
    EXPECT_EQ(sRepFramework(), m_clRep.sFichier("exe/"));
    EXPECT_TRUE(bCharge(m_clRep.sFichier("exe/tq150vm.so")));
    EXPECT_FALSE(bCharge(m_clRep.sFichier("common/15.0/tq150vm.so")));
    dlclose(h);
    EXPECT_FALSE(bCharge(m_clRep.sFichier("exe/tq150vm.so")));
}

TEST_F(RechercheVM, ExplicitPathWhenItIsAFile)
{
    ASSERT_TRUE(bPose("", "exe/tq150vm.so"));
    ASSERT_TRUE(bPose("", "explicit/tq150vm.so"));
    HINSTANCE h = hTrouveEtChargeVM("tq150vm.so", m_clRep.sFichier("explicit/tq150vm.so").c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_nModeFramework, 1);
    EXPECT_EQ(pstRechercheFramework()->bCheminExplicite, 1);
    EXPECT_EQ(sRepFramework(), m_clRep.sFichier("explicit/"));
    dlclose(h);

    for (const std::string &sIgnore : {m_clRep.sFichier("explicit"), m_clRep.sFichier("none.so"), std::string()}) {
        SCOPED_TRACE(sIgnore);
        h = hTrouveEtChargeVM("tq150vm.so", sIgnore.c_str());
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(g_nModeFramework, 0);
        EXPECT_EQ(pstRechercheFramework()->bCheminExplicite, 0);
        dlclose(h);
    }
}

TEST_F(RechercheVM, CommonDirectoryOnlyWithItsSwitch)
{
    ASSERT_TRUE(bPose("", "common/15.0/tq150vm.so"));
    EXPECT_EQ(hTrouveEtChargeVM("tq150vm.so", nullptr), nullptr);
    EXPECT_EQ(sRepFramework(), "");

    m_stInfo.nFrameworkCommun = 1;
    HINSTANCE h = hTrouveEtChargeVM("tq150vm.so", nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_nModeFramework, 2);
    EXPECT_EQ(sRepFramework(), m_sRacine + "15.0/");
    dlclose(h);

    // The direct-open switch skips it.
    m_stInfo.nOuvertureDirecte = 1;
    EXPECT_EQ(hTrouveEtChargeVM("tq150vm.so", nullptr), nullptr);
}

TEST_F(RechercheVM, RenamedEngineInItsConfiguredDirectory)
{
    ASSERT_TRUE(bPose("", "custom/myvm.so"));
    ASSERT_TRUE(bEcritFichier(m_sRacine + "myvm.so.conf", "[FRAMEWORK]\nCHEMIN=" + m_clRep.sFichier("custom") + "\n"));
    m_stInfo.nFrameworkCommun = 1;
    HINSTANCE h = hTrouveEtChargeVM("myvm.so", nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_nModeFramework, 2);
    EXPECT_EQ(sRepFramework(), m_clRep.sFichier("custom/"));
    dlclose(h);
}

TEST_F(RechercheVM, LoaderStageTakesTheDirectoryOfTheLibraryItLoaded)
{
    // A name with its directory stands in for what the loader finds on its path.
    ASSERT_TRUE(bPose("", "loader/tq150vm.so"));
    pstRechercheFramework()->clRepFramework = "/stale/";
    HINSTANCE h = _hTrouveEtChargeVM_4_DansLePath(m_clRep.sFichier("loader/tq150vm.so").c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_nModeFramework, 1);
    EXPECT_EQ(sRepFramework(), m_clRep.sFichier("loader/"));
    dlclose(h);
    EXPECT_FALSE(bCharge(m_clRep.sFichier("loader/tq150vm.so")));

    EXPECT_EQ(_hTrouveEtChargeVM_4_DansLePath("tq150vm_nowhere.so"), nullptr);
    // Stage 3 finds nothing; for the standard name it forgets the directory.
    EXPECT_FALSE(_bTrouveVM_3_FrameworkDev("myvm.so"));
    EXPECT_EQ(sRepFramework(), m_clRep.sFichier("loader/"));
    EXPECT_FALSE(_bTrouveVM_3_FrameworkDev("tq150vm.so"));
    EXPECT_EQ(sRepFramework(), "");
    EXPECT_STREQ(_czCheminCompletVM("tq150vm.so").pszGet(), "tq150vm.so");
}

TEST_F(RechercheVM, EngineRefusingInitialisationIsClosed)
{
    for (const char *pszVariante : {"no_init", "init_false"}) {
        SCOPED_TRACE(pszVariante);
        ASSERT_TRUE(bPose(pszVariante, "exe/tq150vm.so"));
        EXPECT_EQ(hTrouveEtChargeVM("tq150vm.so", nullptr), nullptr);
        EXPECT_EQ(sRepFramework(), "");
        EXPECT_FALSE(bCharge(m_clRep.sFichier("exe/tq150vm.so")));
        ASSERT_EQ(unlink(m_clRep.sFichier("exe/tq150vm.so").c_str()), 0);
    }
    EXPECT_EQ(hTrouveEtChargeVM("", nullptr), nullptr);
}
