// The component library proxy and the image interface, in-process, on the
// recording component library tq150img.so and its bare and refusing variants.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "LauncherFixture.h"
#include "error/XError.h"
#include "launcher/Proxy.h"
#include "launcher/interfaceIMG.h"

using namespace tqtest;

namespace {

std::string sImg(const std::string &sVariante = std::string())
{
    return sVariante.empty() ? sBin("tq150img.so") : sBin("variants/" + sVariante + "/tq150img.so");
}

std::string sRepImg(const std::string &sVariante = std::string())
{
    std::string s = sImg(sVariante);
    return s.substr(0, s.rfind('/'));
}

bool bChargee(const std::string &sChemin)
{
    void *h = dlopen(sChemin.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

class Proxy : public ::testing::Test {
protected:
    void SetUp() override { setenv("TQE_RECORD_FILE", m_clRep.sFichier("record.log").c_str(), 1); }
    void TearDown() override
    {
        m_clProxy.Unload();
        IMG_bRelease();
        unsetenv("TQE_RECORD_FILE");
    }
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(m_clRep.sFichier("record.log"))); }
    void VideRecord() const { bEcritFichier(m_clRep.sFichier("record.log"), ""); }

    CTempDir m_clRep;
    CProxyDll m_clProxy;
};

} // namespace

TEST_F(Proxy, LoadFromADirectoryLinksAndUnloads)
{
    EXPECT_EQ(m_clProxy.m_pfnDeclareProxy, &DeclareProxy);
    CXError clErreur;
    char szChemin[TQDLL_TAILLE_CHEMIN] = "";
    ASSERT_TRUE(m_clProxy.bLoad("tq150img.so", &clErreur, (sRepImg() + "/").c_str(), szChemin));
    EXPECT_EQ(std::string(szChemin), sImg());
    EXPECT_EQ(clErreur.eGetErrorLevel(), CXError::EL_AUCUNE);
    EXPECT_NE(m_clProxy.m_pfnQueryProxy, nullptr);
    EXPECT_NE(m_clProxy.m_pfnQueryProxyEx, nullptr);
    EXPECT_NE(m_clProxy.m_pfnCommande, nullptr);
    int32_t n1 = -1, n2 = -1;
    int16_t w1 = -1, w2 = -1;
    m_clProxy.m_pfnDeclareProxy(&n1, &w1, &n2, &w2);
    EXPECT_EQ(std::vector<int>({n1, w1, n2, w2}), std::vector<int>({25, 1, 2, 3}));
    EXPECT_TRUE(m_clProxy.bInitDLLExecution());
    EXPECT_EQ(m_clProxy.TermDLLExecution(), 1);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"img.bInitLibrary(set)", "img.DeclareProxy()",
                                                     "img.Execution(3985, {16,0,4,0})", "img.Execution(4875, null)"}));
    VideRecord();
    EXPECT_EQ(m_clProxy.Unload(), 0);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"img.TermLibrary()"}));
    EXPECT_FALSE(bChargee(sImg()));
    EXPECT_EQ(m_clProxy.m_hLibrairie, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnQueryProxy, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnCommande, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnDeclareProxy, &DeclareProxy);
    // An empty proxy: nothing to unload, every entry absent, nothing looked up.
    VideRecord();
    EXPECT_EQ(m_clProxy.Unload(), 0);
    m_clProxy.Link();
    EXPECT_EQ(m_clProxy.m_pfnQueryProxy, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnDeclareProxy, &DeclareProxy);
    EXPECT_TRUE(m_clProxy.bInitDLLExecution());
    EXPECT_EQ(m_clProxy.TermDLLExecution(), 0);
    EXPECT_TRUE(tabRecord().empty());
}

TEST_F(Proxy, FailedLoadsAreReportedWithTheirPaths)
{
    // An explicit directory is the only place looked at, even when the name is
    // beside the executable; the held library stays.
    ASSERT_TRUE(m_clProxy.bLoad("tq150img.so", nullptr, sRepImg().c_str(), nullptr));
    HINSTANCE hAvant = m_clProxy.m_hLibrairie;
    CXError clErreur;
    char szChemin[TQDLL_TAILLE_CHEMIN] = "unchanged";
    std::string sRep = m_clRep.sFichier("lib%s%n");
    EXPECT_FALSE(m_clProxy.bLoad("tq150img.so", &clErreur, sRep.c_str(), szChemin));
    EXPECT_STREQ(szChemin, "unchanged");
    EXPECT_EQ(m_clProxy.m_hLibrairie, hAvant);
    EXPECT_EQ(clErreur.nGetUserErrorCode(), 2u);
    EXPECT_NE(std::string(clErreur.pszGetSystemErrorMessage()).find(sRep + "/tq150img.so"), std::string::npos)
        << clErreur.pszGetSystemErrorMessage();
    EXPECT_NE(std::string(clErreur.pszGetDebugMessage()).find("DLL qui provoque le chargement : TQExe"),
              std::string::npos);
    EXPECT_EQ(clErreur.nGetNbSubError(), 0);
    // A second failure goes in as a sub-error; a null error object is accepted.
    EXPECT_FALSE(m_clProxy.bLoad("absent.so", &clErreur, sRep.c_str(), nullptr));
    ASSERT_EQ(clErreur.nGetNbSubError(), 1);
    EXPECT_NE(std::string(clErreur.pclGetSubError(0)->pszGetSystemErrorMessage()).find("absent.so"),
              std::string::npos);
    EXPECT_FALSE(m_clProxy.bLoad("absent.so", nullptr, sRep.c_str(), nullptr));
    // A directory too long for a path buffer is refused, not cut.
    std::string sLong(300, 'd');
    CXError clLong;
    EXPECT_FALSE(m_clProxy.bLoad("tq150img.so", &clLong, sLong.c_str(), szChemin));
    EXPECT_EQ(clLong.nGetUserErrorCode(), 2u);
    EXPECT_EQ(std::string(clLong.pszGetSystemErrorMessage()), sLong + "/tq150img.so: path too long");
    EXPECT_EQ(m_clProxy.m_hLibrairie, hAvant);
    // A new library replaces the held one only once it opened.
    EXPECT_TRUE(m_clProxy.bLoad("tq150img.so", nullptr, sRepImg("img_bare").c_str(), nullptr));
    EXPECT_FALSE(bChargee(sImg()));
    EXPECT_TRUE(bChargee(sImg("img_bare")));
}

TEST_F(Proxy, SearchFallsBackToTheCurrentDirectory)
{
    ASSERT_TRUE(bCopieFichier(sImg(), m_clRep.sFichier("tqtestimg.so")));
    char szAvant[4096];
    ASSERT_NE(getcwd(szAvant, sizeof(szAvant)), nullptr);
    ASSERT_EQ(chdir(m_clRep.sChemin().c_str()), 0);
    CXError clErreur;
    char szChemin[TQDLL_TAILLE_CHEMIN] = "";
    bool bCharge = m_clProxy.bLoad("tqtestimg.so", &clErreur, "", szChemin);
    bool bAbsent = m_clProxy.bLoad("nothere.so", nullptr, nullptr, nullptr); // a library is held: reinitialised
    ASSERT_EQ(chdir(szAvant), 0);
    EXPECT_TRUE(bCharge);
    EXPECT_TRUE(bAbsent);
    EXPECT_EQ(std::string(szChemin), m_clRep.sFichier("tqtestimg.so"));
    // The failure in the executable's directory stays in the error object.
    EXPECT_EQ(clErreur.nGetUserErrorCode(), 2u);
    EXPECT_NE(std::string(clErreur.pszGetSystemErrorMessage()).find(sBin("tqtestimg.so")), std::string::npos)
        << clErreur.pszGetSystemErrorMessage();
    std::vector<std::string> tab = tabRecord();
    EXPECT_EQ(std::count(tab.begin(), tab.end(), "img.bInitLibrary(set)"), 2);
    // Nowhere to be found: one entry per place tried.
    CProxyDll clVide;
    CXError clDeux;
    EXPECT_FALSE(clVide.bLoad("nothere.so", &clDeux, nullptr, nullptr));
    EXPECT_EQ(clDeux.nGetNbSubError(), 1);
}

TEST_F(Proxy, UnknownCurrentDirectoryIsNotTheRoot)
{
    // A working directory too long for a path buffer: the search must not fall
    // back to "/" + name.
    std::string sProfond = m_clRep.sChemin();
    for (int i = 0; i < 5; ++i) {
        sProfond += "/" + std::string(60, static_cast<char>('a' + i));
        ASSERT_EQ(mkdir(sProfond.c_str(), 0700), 0);
    }
    char szAvant[4096];
    ASSERT_NE(getcwd(szAvant, sizeof(szAvant)), nullptr);
    ASSERT_EQ(chdir(sProfond.c_str()), 0);
    CXError clErreur;
    bool bCharge = m_clProxy.bLoad("tqtestnothere.so", &clErreur, nullptr, nullptr);
    ASSERT_EQ(chdir(szAvant), 0);
    EXPECT_FALSE(bCharge);
    ASSERT_EQ(clErreur.nGetNbSubError(), 1);
    std::string sSysteme = clErreur.pclGetSubError(0)->pszGetSystemErrorMessage();
    EXPECT_EQ(sSysteme.rfind("/tqtestnothere.so", 0), std::string::npos) << sSysteme;
    EXPECT_NE(sSysteme.find("current directory"), std::string::npos) << sSysteme;
}

TEST_F(Proxy, BareAndRefusingLibraries)
{
    ASSERT_TRUE(m_clProxy.bLoad("tq150img.so", nullptr, sRepImg("img_bare").c_str(), nullptr));
    EXPECT_EQ(m_clProxy.m_pfnQueryProxy, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnQueryProxyEx, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnCommande, nullptr);
    EXPECT_EQ(m_clProxy.m_pfnDeclareProxy, &DeclareProxy);
    int32_t n1 = 5, n2 = 5;
    int16_t w1 = 5, w2 = 5;
    m_clProxy.m_pfnDeclareProxy(&n1, &w1, &n2, &w2);
    EXPECT_EQ(n1 | n2 | w1 | w2, 0);
    EXPECT_TRUE(m_clProxy.bInitDLLExecution());
    EXPECT_EQ(m_clProxy.TermDLLExecution(), 0);
    EXPECT_FALSE(bInitDLLFromVM(m_clProxy.m_hLibrairie, nullptr));
    EXPECT_FALSE(bInitDLLFromVM(m_clProxy.m_hLibrairie, nullptr, 3));
    TermDLLFromVM(m_clProxy.m_hLibrairie, nullptr);
    EXPECT_EQ(m_clProxy.Unload(), 0);

    // A refusing bInitLibrary: false, not an error; the library is held until unloaded.
    CXError clErreur;
    VideRecord();
    EXPECT_FALSE(m_clProxy.bLoad("tq150img.so", &clErreur, sRepImg("img_refuse").c_str(), nullptr));
    EXPECT_EQ(clErreur.eGetErrorLevel(), CXError::EL_AUCUNE);
    EXPECT_NE(m_clProxy.m_hLibrairie, nullptr);
    EXPECT_FALSE(m_clProxy.bInitDLLExecution());
    EXPECT_EQ(m_clProxy.Unload(), 0);
    EXPECT_FALSE(bChargee(sImg("img_refuse")));
}

TEST_F(Proxy, InitialisationOnBehalfOfTheEngine)
{
    HINSTANCE h = dlopen(sImg().c_str(), RTLD_NOW);
    ASSERT_NE(h, nullptr);
    int nModule = 0;
    EXPECT_TRUE(bInitDLLFromVM(h, &nModule));
    EXPECT_TRUE(bInitDLLFromVM(h, &nModule, 0x21));
    TermDLLFromVM(h, &nModule);
    EXPECT_FALSE(bInitDLLFromVM(nullptr, &nModule));
    TermDLLFromVM(nullptr, &nModule);
    EXPECT_EQ(tabRecord(),
              std::vector<std::string>({"img.InitDLL(set)", "img.InitDLLEx(set, 33, 0)", "img.TermDLL(set)"}));
    dlclose(h);
    h = dlopen(sImg("img_refuse").c_str(), RTLD_NOW);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(bInitDLLFromVM(h, &nModule));
    EXPECT_FALSE(bInitDLLFromVM(h, &nModule, 1));
    dlclose(h);
}

TEST_F(Proxy, SetCheminLib)
{
    struct {
        std::string sEntree, sAttendu;
    } tabCas[] = {
        {"  /opt/lib\n", "/opt/lib/"}, {"/opt/lib/", "/opt/lib/"}, {"", ""},  {"   ", ""},
        {"\n", ""},                    {"rel", "rel/"},            {std::string(300, 'a'), std::string(258, 'a') + "/"},
    };
    for (const auto &st : tabCas) {
        CProxyDll::SetCheminLib(st.sEntree.c_str());
        EXPECT_EQ(std::string(CProxyDll::ms_szCheminLib), st.sAttendu) << st.sEntree;
    }
    CProxyDll::SetCheminLib(nullptr);
    EXPECT_STREQ(CProxyDll::ms_szCheminLib, "");
}

TEST_F(Proxy, ConstruitCheminDLL)
{
    ASSERT_TRUE(bEcritFichier(m_clRep.sFichier("lib.so"), "x"));
    std::string sRep = m_clRep.sChemin();
    std::string sRepSlash = sRep + "/";
    std::string sLong(300, 'p');
    struct {
        const char *pszNom;
        const char *pszRep;
        const char *pszPrefere;
        bool bAttendu;
        std::string sSortie;
    } tabCas[] = {
        {"lib.so", "/nowhere", sRep.c_str(), true, sRep + "/lib.so"},
        {"lib.so", sRepSlash.c_str(), "/nowhere", true, sRep + "/lib.so"},
        {"lib.so", "/nowhere", "", false, "/nowhere/lib.so"},
        {"lib.so", "", "", false, "lib.so"},
        {"lib.so", nullptr, nullptr, false, "lib.so"},
        {"lib.so", sLong.c_str(), sLong.c_str(), false, ""},
        {sLong.c_str(), nullptr, nullptr, false, ""},
    };
    for (const auto &st : tabCas) {
        // The output is a path buffer; the canary after it must survive.
        char szSortie[TQDLL_TAILLE_CHEMIN + 8];
        memset(szSortie, '#', sizeof(szSortie));
        EXPECT_EQ(CProxyDll::s_bConstruitCheminDLL(szSortie, st.pszNom, st.pszRep, st.pszPrefere), st.bAttendu);
        EXPECT_EQ(std::string(szSortie), st.sSortie);
        EXPECT_EQ(std::string(szSortie + TQDLL_TAILLE_CHEMIN, 8), "########");
    }
    EXPECT_TRUE(CProxyDll::bDLLDisponible(nullptr, nullptr, nullptr));
}

TEST_F(Proxy, ImageFactory)
{
    HINSTANCE h = dlopen(sImg().c_str(), RTLD_NOW);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(IMG_bInit(h));
    EXPECT_EQ(ghIMGInstance, h);
    EXPECT_NE(gpclIMGFactory, nullptr);
    // A second initialisation releases the first factory.
    ASSERT_TRUE(IMG_bInit(h));
    EXPECT_TRUE(IMG_bRelease());
    EXPECT_EQ(ghIMGInstance, nullptr);
    EXPECT_EQ(gpclIMGFactory, nullptr);
    EXPECT_FALSE(bChargee(sImg()));
    EXPECT_EQ(tabRecord(), std::vector<std::string>({"img.pclQueryIMGFactory()", "Factory.AddRef() -> 1",
                                                     "Factory.Release() -> 0", "img.pclQueryIMGFactory()",
                                                     "Factory.AddRef() -> 1", "Factory.Release() -> 0"}));
    EXPECT_TRUE(IMG_bRelease()); // nothing held
    // No factory (null, or no entry): the library is closed and the answer is false.
    for (const char *pszVariante : {"img_refuse", "img_bare"}) {
        h = dlopen(sImg(pszVariante).c_str(), RTLD_NOW);
        ASSERT_NE(h, nullptr);
        EXPECT_FALSE(IMG_bInit(h)) << pszVariante;
        EXPECT_EQ(ghIMGInstance, nullptr);
        EXPECT_FALSE(bChargee(sImg(pszVariante)));
    }
}
