// tqpack, the packaging tool, run on this tree's launcher.
#include <gtest/gtest.h>
#include <dirent.h>

#include <algorithm>
#include <cstring>

#include "ElfSynthetique.h"
#include "LauncherFixture.h"
#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"

using namespace tqtest;

namespace {

stRESULTATPROCESSUS Tqpack(const std::vector<std::string> &tabArgs, const std::vector<std::string> &tabEnv = {})
{
    std::vector<std::string> tabArgv = {sBin("tqpack")};
    tabArgv.insert(tabArgv.end(), tabArgs.begin(), tabArgs.end());
    return Execute(tabArgv, tabEnv);
}

std::vector<std::string> tabEntrees(const std::string &sRep)
{
    std::vector<std::string> tab;
    DIR *pRep = opendir(sRep.c_str());
    while (struct dirent *p = pRep ? readdir(pRep) : nullptr)
        if (strcmp(p->d_name, ".") != 0 && strcmp(p->d_name, "..") != 0)
            tab.push_back(p->d_name);
    if (pRep)
        closedir(pRep);
    std::sort(tab.begin(), tab.end());
    return tab;
}

// The information block and data directory of a launcher file.
bool bLitBloc(const std::string &sChemin, _stINFOEXE *pst, std::string *psRep, _stLOCINFOEXE *pstLoc = nullptr)
{
    std::string sImage = sLitFichier(sChemin);
    _stLOCINFOEXE stLoc;
    if (!ElfInfoExe_bLocalise(reinterpret_cast<const uint8_t *>(sImage.data()), sImage.size(), &stLoc))
        return false;
    memcpy(pst, sImage.data() + stLoc.oInfoExe, sizeof(*pst));
    *psRep = std::string(sImage.data() + stLoc.oFilePath, strnlen(sImage.data() + stLoc.oFilePath, 261));
    if (pstLoc)
        *pstLoc = stLoc;
    return true;
}

bool bUneLigne(const std::string &s)
{
    return !s.empty() && s.find('\n') == s.size() - 1;
}

} // namespace

TEST(Tqpack, UsageAndHelp)
{
    EXPECT_EQ(Tqpack({}).nStatut, 2);
    EXPECT_EQ(Tqpack({"pack"}).nStatut, 2);
    stRESULTATPROCESSUS st = Tqpack({"--help"});
    EXPECT_EQ(st.nStatut, 0);
    EXPECT_NE(st.sSortie.find("stamp"), std::string::npos);
    EXPECT_NE(st.sSortie.find("inspect"), std::string::npos);
    for (const char *pszCommande : {"stamp", "inspect"}) {
        st = Tqpack({pszCommande, "--help"});
        EXPECT_EQ(st.nStatut, 0);
        EXPECT_EQ(st.sSortie.rfind(std::string("usage: tqpack ") + pszCommande, 0), 0u);
    }
    CTempDir clRep;
    std::string sOut = clRep.sFichier("out");
    EXPECT_EQ(Tqpack({"stamp", sBin("tqexe")}).nStatut, 2);
    EXPECT_EQ(Tqpack({"stamp", sBin("tqexe"), sOut, "extra"}).nStatut, 2);
    EXPECT_EQ(Tqpack({"stamp", sBin("tqexe"), sOut, "--colour", "red"}).nStatut, 2);
    EXPECT_EQ(Tqpack({"stamp", sBin("tqexe"), sOut, "--project"}).nStatut, 2);
    EXPECT_EQ(Tqpack({"inspect"}).nStatut, 2);
    EXPECT_EQ(Tqpack({"inspect", "a", "b"}).nStatut, 2);
    EXPECT_TRUE(tabEntrees(clRep.sChemin()).empty());
}

TEST(Tqpack, StampRefusesWhatDoesNotFit)
{
    CTempDir clRep;
    const std::string sIn = clRep.sFichier("in"), sOut = clRep.sFichier("out");
    ASSERT_TRUE(bCopieFichier(sBin("tqexe"), sIn));
    const std::string sAvant = sLitFichier(sIn);
    struct stCAS {
        std::vector<std::string> tabOptions;
        std::string sAttendu; // part of the message
    };
    const std::vector<stCAS> tabCas = {
        {{"--project", std::string(281, 'p')}, "--project value is 281 bytes; the project name field is 281 bytes and holds at most 280"},
        {{"--engine", std::string(522, 'e')}, "the engine library name field is 522 bytes and holds at most 521"},
        {{"--tql", std::string(261, 't')}, "the application library name field is 261 bytes"},
        {{"--data-dir", std::string(300, 'd')}, "--data-dir value is 300 bytes; the data directory field is 261 bytes"},
        {{"--engine", "lib/tq150vm.so"}, "without directory"},
        {{"--engine", ""}, "without directory"},
        {{"--direct-open", "2"}, "--direct-open takes 0 or 1"},
        {{"--search-common", "yes"}, "--search-common takes 0 or 1"},
        {{"--offset", "-1"}, "--offset"},
        {{"--offset", "12x"}, "--offset"},
        {{"--version", "2147483648"}, "--version"},
    };
    for (const stCAS &stCas : tabCas) {
        SCOPED_TRACE(stCas.sAttendu);
        std::vector<std::string> tabArgs = {"stamp", sIn, sOut};
        tabArgs.insert(tabArgs.end(), stCas.tabOptions.begin(), stCas.tabOptions.end());
        stRESULTATPROCESSUS st = Tqpack(tabArgs);
        EXPECT_EQ(st.nStatut, 1);
        EXPECT_TRUE(bUneLigne(st.sErreur)) << st.sErreur;
        EXPECT_EQ(st.sErreur.rfind("tqpack: ", 0), 0u);
        EXPECT_NE(st.sErreur.find(stCas.sAttendu), std::string::npos) << st.sErreur;
    }
    // Files that are not launchers, a missing input, OUT being IN.
    for (const std::string &sPasLanceur : {sMoteur(""), clRep.sFichier("missing"), clRep.sChemin()}) {
        stRESULTATPROCESSUS st = Tqpack({"stamp", sPasLanceur, sOut});
        EXPECT_EQ(st.nStatut, 1) << sPasLanceur;
        EXPECT_TRUE(bUneLigne(st.sErreur)) << st.sErreur;
    }
    EXPECT_NE(Tqpack({"stamp", sMoteur(""), sOut}).sErreur.find("not a launcher"), std::string::npos);
    EXPECT_EQ(Tqpack({"stamp", sIn, sIn, "--project", "x"}).nStatut, 1);
    EXPECT_EQ(sLitFichier(sIn), sAvant);
    EXPECT_EQ(tabEntrees(clRep.sChemin()), std::vector<std::string>({"in"}));
}

TEST(Tqpack, StampWritesOnlyTheFieldsAsked)
{
    CTempDir clRep;
    const std::string sIn = clRep.sFichier("in"), sOut = clRep.sFichier("out");
    ASSERT_TRUE(bCopieFichier(sBin("tqexe"), sIn));
    ASSERT_EQ(chmod(sIn.c_str(), 0751), 0);
    const std::string sAvant = sLitFichier(sIn);
    const std::string sProjet(280, 'p'); // the longest that fits
    stRESULTATPROCESSUS st = Tqpack({"stamp", sIn, sOut, "--engine", "vm2.so", "--tql", "lib.TQL", "--offset=4096",
                                     "--project", sProjet, "--direct-open", "1", "--search-common", "1", "--version",
                                     "-7", "--data-dir", "/srv/data"});
    ASSERT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, "");
    EXPECT_EQ(sLitFichier(sIn), sAvant);
    EXPECT_EQ(nModeFichier(sOut), 0751);
    EXPECT_EQ(tabEntrees(clRep.sChemin()), std::vector<std::string>({"in", "out"}));

    _stINFOEXE stAvant, stApres;
    std::string sRepAvant, sRepApres;
    _stLOCINFOEXE stLoc;
    ASSERT_TRUE(bLitBloc(sIn, &stAvant, &sRepAvant));
    ASSERT_TRUE(bLitBloc(sOut, &stApres, &sRepApres, &stLoc));
    EXPECT_STREQ(stApres.szNomVM, "vm2.so");
    EXPECT_STREQ(stApres.szNomTQL, "lib.TQL");
    EXPECT_EQ(+stApres.oOffsetTQL, 4096);
    EXPECT_EQ(std::string(stApres.szNomProjet), sProjet);
    EXPECT_EQ(+stApres.nOuvertureDirecte, 1);
    EXPECT_EQ(+stApres.nFrameworkCommun, 1);
    EXPECT_EQ(+stApres.nVersionActive, -7);
    EXPECT_EQ(sRepApres, "/srv/data");
    // Text fields are zero-padded; the bytes the launcher does not read are carried.
    EXPECT_EQ(stApres.szNomVM[7], '\0');
    EXPECT_EQ(memcmp(stApres.abReserve3, stAvant.abReserve3, sizeof(stAvant.abReserve3)), 0);
    EXPECT_EQ(+stApres.nReserve831, 1);
    EXPECT_EQ(+stApres.nReserve1116, -1);
    // Nothing outside the two fields changed.
    std::string sApres = sLitFichier(sOut);
    ASSERT_EQ(sApres.size(), sAvant.size());
    for (size_t i = 0; i < sApres.size(); ++i) {
        const bool bDansBloc = i >= stLoc.oInfoExe && i < stLoc.oInfoExe + sizeof(_stINFOEXE);
        const bool bDansRep = i >= stLoc.oFilePath && i < stLoc.oFilePath + 261;
        if (!bDansBloc && !bDansRep && sApres[i] != sAvant[i]) {
            ADD_FAILURE() << "byte " << i << " changed";
            break;
        }
    }
    // Restamping one field keeps the others.
    ASSERT_EQ(Tqpack({"stamp", sOut, clRep.sFichier("out2"), "--version", "3"}).nStatut, 0);
    ASSERT_TRUE(bLitBloc(clRep.sFichier("out2"), &stApres, &sRepApres));
    EXPECT_EQ(+stApres.nVersionActive, 3);
    EXPECT_STREQ(stApres.szNomVM, "vm2.so");
    EXPECT_EQ(sRepApres, "/srv/data");
}

TEST(Tqpack, InspectShowsTheValuesAndTheSearch)
{
    CAppli clAppli("shop");
    stRESULTATPROCESSUS st = Tqpack({"inspect", clAppli.sExe()});
    ASSERT_EQ(st.nStatut, 0) << st.sErreur;
    const std::string sClasse = sizeof(void *) == 8 ? "ELF64 x86-64" : "ELF32 i386";
    for (const std::string &sLigne :
         {"launcher: " + clAppli.sExe() + " (" + sClasse + ")\n", std::string("engine library: \"tq150vm.so\"\n"),
          std::string("application library: \"default.tql\" (the engine is handed \"shop.TQL\")\n"),
          std::string("project: \"default.tqp\"\n"), std::string("data directory: \".\"\n"),
          std::string("version markers: "), "runtime parameter file: " + clAppli.sExe() + ".TX (absent)\n",
          "stage 1, executable directory: " + clAppli.sFichier("tq150vm.so") + ": missing\n",
          std::string("stage 2, common directory: not tried (switch 0)\n"),
          std::string("outcome: the system loader finds no loadable tq150vm.so")})
        EXPECT_NE(st.sSortie.find(sLigne), std::string::npos) << sLigne << "\n--- in ---\n" << st.sSortie;

    // Found beside the launcher.
    ASSERT_TRUE(clAppli.bPoseMoteur(""));
    st = Tqpack({"inspect", clAppli.sExe()});
    EXPECT_NE(st.sSortie.find(": exists, " + sClasse + ", matches the launcher\n"), std::string::npos) << st.sSortie;
    EXPECT_NE(st.sSortie.find("outcome: the launcher opens " + clAppli.sFichier("tq150vm.so")), std::string::npos);

    // A library of the other class is found by stage 1 but cannot be loaded.
    std::string sAutre(64, '\0');
    sAutre.replace(0, 4, "\x7F" "ELF");
    sAutre[4] = sizeof(void *) == 8 ? 1 : 2;
    sAutre[5] = 1;
    sAutre[18] = sizeof(void *) == 8 ? 3 : 62;
    ASSERT_TRUE(bEcritFichier(clAppli.sFichier("tq150vm.so"), sAutre));
    st = Tqpack({"inspect", clAppli.sExe()});
    EXPECT_NE(st.sSortie.find("but the launcher is " + sClasse + ": cannot be loaded"), std::string::npos)
        << st.sSortie;
    EXPECT_NE(st.sSortie.find("which fails"), std::string::npos);

    // The explicit path from the parameter file, ignored when it names a directory.
    ASSERT_TRUE(bEcritFichier(clAppli.sExe() + ".TX", "[FRAMEWORK]\nVMPATH=" + clAppli.sRep() + "\n"));
    st = Tqpack({"inspect", clAppli.sExe()});
    EXPECT_NE(st.sSortie.find("explicit path: " + clAppli.sRep() + ": a directory"), std::string::npos)
        << st.sSortie;
    EXPECT_NE(st.sSortie.find("runtime parameter file: " + clAppli.sExe() + ".TX (present)"), std::string::npos);

    // Switches: the common directory, then the direct open.
    ASSERT_EQ(unlink(clAppli.sFichier("tq150vm.so").c_str()), 0);
    ASSERT_EQ(Tqpack({"stamp", clAppli.sExe(), clAppli.sFichier("common"), "--search-common", "1"}).nStatut, 0);
    st = Tqpack({"inspect", clAppli.sFichier("common")});
    EXPECT_NE(st.sSortie.find("stage 2, common directory: /usr/local/ORMELAN/lib/15.0/tq150vm.so"),
              std::string::npos)
        << st.sSortie;
    ASSERT_EQ(Tqpack({"stamp", clAppli.sExe(), clAppli.sFichier("direct"), "--direct-open", "1"}).nStatut, 0);
    st = Tqpack({"inspect", clAppli.sFichier("direct")}, {"LD_LIBRARY_PATH=" + std::string(TQ_BIN_DIR)});
    EXPECT_NE(st.sSortie.find("stages 2 to 4 skipped"), std::string::npos) << st.sSortie;
    EXPECT_NE(st.sSortie.find("open through the system loader"), std::string::npos);
    EXPECT_NE(st.sSortie.find("outcome: the launcher opens " + sBin("tq150vm.so")), std::string::npos)
        << st.sSortie;

    st = Tqpack({"inspect", sMoteur("")});
    EXPECT_EQ(st.nStatut, 1);
    EXPECT_TRUE(bUneLigne(st.sErreur));
}

TEST(Tqpack, WorksOnLaunchersOfBothClasses)
{
    // Launchers of either class, whichever tree this tqpack was built in.
    for (int nClasse : {32, 64}) {
        SCOPED_TRACE(nClasse);
        CTempDir clRep;
        const std::string sIn = clRep.sFichier("app"), sOut = clRep.sFichier("app2");
        std::vector<uint8_t> tabImage = tabImageElf(nClasse, tabSectionsLanceur());
        ASSERT_TRUE(bEcritFichier(sIn, std::string(tabImage.begin(), tabImage.end()), 0700));
        stRESULTATPROCESSUS st = Tqpack({"stamp", sIn, sOut, "--tql", "sub/x.TQL", "--offset", "8589934592",
                                         "--project", "p.tqp", "--version", "12", "--data-dir", "/srv"});
        ASSERT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(nModeFichier(sOut), 0700);
        _stINFOEXE stInfo;
        std::string sRepDonnees;
        _stLOCINFOEXE stLoc;
        ASSERT_TRUE(bLitBloc(sOut, &stInfo, &sRepDonnees, &stLoc));
        EXPECT_EQ(stLoc.stEntete.nClasse, nClasse);
        EXPECT_STREQ(stInfo.szNomTQL, "sub/x.TQL");
        EXPECT_EQ(+stInfo.oOffsetTQL, 8589934592LL);
        EXPECT_STREQ(stInfo.szNomProjet, "p.tqp");
        EXPECT_EQ(+stInfo.nVersionActive, 12);
        EXPECT_EQ(sRepDonnees, "/srv");
        EXPECT_EQ(sLitFichier(sIn), std::string(tabImage.begin(), tabImage.end()));

        st = Tqpack({"inspect", sOut});
        ASSERT_EQ(st.nStatut, 0) << st.sErreur;
        const std::string sClasse = nClasse == 64 ? "ELF64 x86-64" : "ELF32 i386";
        for (const std::string &sLigne :
             {"launcher: " + sOut + " (" + sClasse + ")\n",
              std::string("application library: \"sub/x.TQL\" (the engine is handed \"x.TQL\")\n"),
              std::string("application library offset: 8589934592\n"), std::string("active version: 12\n"),
              std::string("data directory: \"/srv\"\n"),
              std::string("version markers: \"VersionPR: 15.00Ab\", \"VersionVI: 01F150063j\"\n")})
            EXPECT_NE(st.sSortie.find(sLigne), std::string::npos) << sLigne << "\n--- in ---\n" << st.sSortie;
    }
}
