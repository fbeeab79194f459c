// The launcher run for real, in temporary application directories, on the
// reference engine and its variants.
#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"
#include "launcher/TQExe.h"

using namespace tqtest;

namespace {

// Written out here rather than taken from the launcher, so that a changed byte shows.
const std::string gsMessage1 =
    "Impossible de trouver la librairie tq150vm.so.\r\n"
    "Verifiez que les librairies n\xE9" "cessaires au fonctionnement de l'ex\xE9" "cutable soient accessibles "
    "par le PATH.\r\n"
    "Unable to find tq150vm.so librairie.\r\n"
    "Check whether librairies used to operate the executable can be accessed by PATH.\n";

// Full record of a launch that went through, for an application "app".
std::vector<std::string> tabAppelsComplets(const std::string &sTQL, long long oOffset, const std::string &sRep,
                                           int nVersion, const std::string &sProjet, const std::string &sLigne)
{
    return {"bInitLibrary(self)",
            "pQueryProxy(100)",
            "RegisterErrorCallback(set, 0, 0)",
            "QS_DonneTQL(\"" + sTQL + "\", " + std::to_string(oOffset) + ")",
            "QS_DonneREP(\"" + sRep + "\")",
            "QS_SetParam(1028, " + std::to_string(nVersion) + ")",
            "QS_Run_Res(5, \"" + sProjet + "\", \"" + sLigne + "\", set)",
            "QS_SetParam(1012, 0)",
            "TermLibrary()"};
}

std::string sStamp(const CAppli &clAppli, const std::vector<std::string> &tabOptions)
{
    std::string sSortie = clAppli.sExe() + ".stamped";
    std::vector<std::string> tabArgv = {sBin("tqpack"), "stamp", clAppli.sExe(), sSortie};
    tabArgv.insert(tabArgv.end(), tabOptions.begin(), tabOptions.end());
    stRESULTATPROCESSUS st = Execute(tabArgv);
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    return sSortie;
}

// Replaces the application's launcher by a stamped copy of itself.
void Stamp(const CAppli &clAppli, const std::vector<std::string> &tabOptions)
{
    std::string sSortie = sStamp(clAppli, tabOptions);
    ASSERT_EQ(rename(sSortie.c_str(), clAppli.sExe().c_str()), 0);
}

} // namespace

TEST(Launch, MissingOrRefusingEngineShowsMessageOneAndFails)
{
    for (const char *pszVariante : {"", "no_init", "init_false"}) {
        SCOPED_TRACE(pszVariante);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseScript("print should not run\n"));
        if (*pszVariante) {
            ASSERT_TRUE(clAppli.bPoseMoteur(pszVariante));
        }
        stRESULTATPROCESSUS st = clAppli.Lance({"x"});
        EXPECT_EQ(st.sErreur, gsMessage1);
        EXPECT_EQ(st.sSortie, "");
        EXPECT_EQ(st.nStatut, 255);
    }
    EXPECT_EQ(std::string(gszMessageVMIntrouvable) + "\n", gsMessage1);
    EXPECT_EQ(gsMessage1.size(), 274u);
}

TEST(Launch, RefusingEngineIsClosedWithoutBeingDriven)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur("init_false"));
    clAppli.Lance();
    EXPECT_EQ(clAppli.tabRecord(), std::vector<std::string>({"bInitLibrary(self)"}));
}

TEST(Launch, CallsTheEngineInOrderWithTheBuiltInValues)
{
    CAppli clAppli("billing");
    ASSERT_TRUE(clAppli.bPoseMoteur("record"));
    ASSERT_TRUE(clAppli.bPoseScript("print {project}|{tql}|{offset}|{datadir}|{version}|{mode}|{args}|\nexit 0\n"));
    stRESULTATPROCESSUS st = clAppli.Lance({"plain", "two words", "key=a b"});
    EXPECT_EQ(st.nStatut, 0);
    EXPECT_EQ(st.sErreur, "");
    const std::string sLigne = "plain \\\"two words\\\" key=\\\"a b\\\" ";
    EXPECT_EQ(clAppli.tabRecord(), tabAppelsComplets("billing.TQL", 0, ".", 0, "default.tqp", sLigne));
    EXPECT_EQ(st.sSortie, "default.tqp|billing.TQL|0|.|0|5|plain \"two words\" key=\"a b\" |\n");
}

TEST(Launch, StampedValuesReachTheEngine)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur("record"));
    // The script starts 7 bytes into its file, as the stamped offset says.
    ASSERT_TRUE(clAppli.bPoseScript("garbageprint {tql} {offset}\nexit 4\n", "lib.TQL"));
    Stamp(clAppli, {"--tql", "/elsewhere/dir/lib.TQL", "--offset", "7", "--project", "billing.tqp", "--version",
                    "150", "--data-dir", "/var/data"});
    stRESULTATPROCESSUS st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 4);
    EXPECT_EQ(st.sSortie, "lib.TQL 7\n");
    EXPECT_EQ(clAppli.tabRecord(), tabAppelsComplets("lib.TQL", 7, "/var/data", 150, "billing.tqp", ""));
}

TEST(Launch, UnterminatedFieldsAreCutAtTheirEnd)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur("record"));
    ASSERT_TRUE(clAppli.bPoseScript("exit 0\n"));
    // A faulty tool filled the names and the data directory to their last byte.
    std::string sImage = sLitFichier(clAppli.sExe());
    _stLOCINFOEXE stLoc;
    ASSERT_TRUE(ElfInfoExe_bLocalise(reinterpret_cast<const uint8_t *>(sImage.data()), sImage.size(), &stLoc));
    // The name's last byte is lost: what remains names app.TQL in a long directory.
    sImage.replace(stLoc.oInfoExe + offsetof(_stINFOEXE, szNomTQL), 261, std::string(252, 'd') + "/app.TQLZ");
    sImage.replace(stLoc.oInfoExe + offsetof(_stINFOEXE, szNomProjet), 281, std::string(281, 'p'));
    sImage.replace(stLoc.oFilePath, 261, std::string(261, 'd'));
    ASSERT_TRUE(bEcritFichier(clAppli.sExe(), sImage, 0755));
    stRESULTATPROCESSUS st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    std::vector<std::string> tabRecord = clAppli.tabRecord();
    ASSERT_EQ(tabRecord.size(), 9u);
    EXPECT_EQ(tabRecord[3], "QS_DonneTQL(\"app.TQL\", 0)");
    EXPECT_EQ(tabRecord[4], "QS_DonneREP(\"" + std::string(260, 'd') + "\")");
    EXPECT_EQ(tabRecord[6], "QS_Run_Res(5, \"" + std::string(280, 'p') + "\", \"\", set)");
}

TEST(Launch, DefaultNameIsComparedWithItsCase)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur("record"));
    ASSERT_TRUE(clAppli.bPoseScript("exit 0\n", "DEFAULT.TQL"));
    Stamp(clAppli, {"--tql", "DEFAULT.TQL"});
    EXPECT_EQ(clAppli.Lance().nStatut, 0);
    ASSERT_GE(clAppli.tabRecord().size(), 4u);
    EXPECT_EQ(clAppli.tabRecord()[3], "QS_DonneTQL(\"DEFAULT.TQL\", 0)");

    // An empty name stands for the launcher's own name, as the built-in default does.
    CAppli clVide("prog.bin");
    ASSERT_TRUE(clVide.bPoseMoteur("record"));
    ASSERT_TRUE(clVide.bPoseScript("exit 0\n", "prog.TQL"));
    Stamp(clVide, {"--tql", ""});
    EXPECT_EQ(clVide.Lance().nStatut, 0);
    ASSERT_GE(clVide.tabRecord().size(), 4u);
    EXPECT_EQ(clVide.tabRecord()[3], "QS_DonneTQL(\"prog.TQL\", 0)");

    // A name stamped with back slashes loses its directory as well.
    CAppli clWin;
    ASSERT_TRUE(clWin.bPoseMoteur("record"));
    ASSERT_TRUE(clWin.bPoseScript("exit 0\n", "Lib.TQL"));
    Stamp(clWin, {"--tql", "C:\\apps\\Lib.TQL"});
    EXPECT_EQ(clWin.Lance().nStatut, 0);
    ASSERT_GE(clWin.tabRecord().size(), 4u);
    EXPECT_EQ(clWin.tabRecord()[3], "QS_DonneTQL(\"Lib.TQL\", 0)");
}

TEST(Launch, ExitStatusIsTheEnginesResult)
{
    for (int nResultat : {0, 1, 7, 254, 255, 300, -2}) {
        SCOPED_TRACE(nResultat);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseMoteur(""));
        ASSERT_TRUE(clAppli.bPoseScript("print bye\nexit " + std::to_string(nResultat) + "\nprint not reached\n"));
        stRESULTATPROCESSUS st = clAppli.Lance();
        EXPECT_EQ(st.nStatut, nResultat & 0xFF);
        EXPECT_EQ(st.sSortie, "bye\n");
        EXPECT_EQ(st.sErreur, "");
    }
}

TEST(Launch, EachFailedStepEndsWithMinusOneAndTerminatesTheEngine)
{
    struct stCAS {
        const char *pszVariante;
        std::vector<std::string> tabAppels;
        std::string sErreur;
    };
    const std::vector<stCAS> tabCas = {
        {"no_proxy", {"bInitLibrary(self)", "QS_SetParam(1012, 0)", "TermLibrary()"}, ""},
        {"proxy_null", {"bInitLibrary(self)", "pQueryProxy(100)", "QS_SetParam(1012, 0)", "TermLibrary()"}, ""},
        {"tql_false",
         {"bInitLibrary(self)", "pQueryProxy(100)", "RegisterErrorCallback(set, 0, 0)", "QS_DonneTQL(\"app.TQL\", 0)",
          "QS_SetParam(1012, 0)", "TermLibrary()"},
         ""},
        // Without QS_DonneTQL the application library cannot be handed over.
        {"only_setparam",
         {"bInitLibrary(self)", "pQueryProxy(100)", "RegisterErrorCallback(set, 0, 0)", "QS_SetParam(1012, 0)",
          "TermLibrary()"},
         ""},
        {"run_false",
         {"bInitLibrary(self)", "pQueryProxy(100)", "RegisterErrorCallback(set, 0, 0)", "QS_DonneTQL(\"app.TQL\", 0)",
          "QS_DonneREP(\".\")", "QS_SetParam(1028, 0)", "QS_Run_Res(5, \"default.tqp\", \"\", set)",
          "QS_SetParam(1012, 0)", "TermLibrary()"},
         "<default.tqp> execution failed, return code = 3\n"},
    };
    for (const stCAS &stCas : tabCas) {
        SCOPED_TRACE(stCas.pszVariante);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseMoteur(stCas.pszVariante));
        ASSERT_TRUE(clAppli.bPoseScript("print ran\nexit 0\n"));
        stRESULTATPROCESSUS st = clAppli.Lance();
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sSortie, "");
        EXPECT_EQ(st.sErreur, stCas.sErreur);
        EXPECT_EQ(clAppli.tabRecord(), stCas.tabAppels);
    }
}

TEST(Launch, ScriptFailureAndMissingScript)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur(""));
    ASSERT_TRUE(clAppli.bPoseScript("print half\nfail 9\nprint not reached\n"));
    stRESULTATPROCESSUS st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 255);
    EXPECT_EQ(st.sSortie, "half\n");
    EXPECT_EQ(st.sErreur, "<default.tqp> execution failed, return code = 9\n");

    // Braces that do not name a field are printed as they are; a bad script is refused
    // when it is handed over, with the file and line.
    ASSERT_TRUE(clAppli.bPoseScript("print {} {Args} {x\nprint\nexit 0\n"));
    st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 0);
    EXPECT_EQ(st.sSortie, "{} {Args} {x\n\n");
    for (const char *sScript : {"print a\nbogus 1\n", "# c\n\nprint {nope}\n", "exit\n", "exit 9x\n",
                                      "fail 99999999999\n"}) {
        SCOPED_TRACE(sScript);
        ASSERT_TRUE(clAppli.bPoseScript(sScript));
        st = clAppli.Lance();
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sSortie, "");
        EXPECT_EQ(st.sErreur.rfind("tq150vm: " + clAppli.sFichier("app.TQL") + ":", 0), 0u) << st.sErreur;
    }
    EXPECT_NE(st.sErreur.find(":1: fail takes an optional 32-bit integer"), std::string::npos);
    ASSERT_TRUE(clAppli.bPoseScript("print a\nbogus 1\n"));
    EXPECT_EQ(clAppli.Lance().sErreur, "tq150vm: " + clAppli.sFichier("app.TQL") + ":2: unknown command \"bogus\"\n");

    // No application library: the engine refuses it and the launch fails.
    CAppli clSans;
    ASSERT_TRUE(clSans.bPoseMoteur(""));
    st = clSans.Lance();
    EXPECT_EQ(st.nStatut, 255);
    EXPECT_EQ(st.sSortie, "");
}

// ---------------------------------------------------------------------------
// Where the engine is taken from
// ---------------------------------------------------------------------------

namespace {

const char gszScriptMoteur[] = "print {engine}\nexit 0\n";

} // namespace

TEST(Search, ExplicitPathComesFirstWhenItNamesAFile)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur(""));
    ASSERT_TRUE(clAppli.bPoseMoteur("", "explicit"));
    ASSERT_TRUE(clAppli.bPoseScript(gszScriptMoteur));
    ASSERT_TRUE(
        bEcritFichier(clAppli.sFichier("app.TX"), "[FRAMEWORK]\nVMPATH=" + clAppli.sFichier("explicit/tq150vm.so") + "\n"));
    stRESULTATPROCESSUS st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, clAppli.sFichier("explicit/tq150vm.so") + "\n");

    // A directory, a missing file or an empty value is ignored.
    for (const std::string &sValeur :
         {clAppli.sFichier("explicit"), clAppli.sFichier("missing/tq150vm.so"), std::string()}) {
        SCOPED_TRACE(sValeur);
        ASSERT_TRUE(bEcritFichier(clAppli.sFichier("app.TX"), "[FRAMEWORK]\nVMPATH=" + sValeur + "\n"));
        st = clAppli.Lance();
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sSortie, clAppli.sFichier("tq150vm.so") + "\n");
    }
}

TEST(Search, ExecutableDirectoryBeforeTheSystemLoader)
{
    CAppli clAppli;
    ASSERT_TRUE(clAppli.bPoseMoteur(""));
    ASSERT_TRUE(clAppli.bPoseMoteur("", "ldpath"));
    ASSERT_TRUE(clAppli.bPoseScript(gszScriptMoteur));
    stRESULTATPROCESSUS st = clAppli.Lance({}, {"LD_LIBRARY_PATH=" + clAppli.sFichier("ldpath")});
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, clAppli.sFichier("tq150vm.so") + "\n");
}

TEST(Search, BareNameThroughTheSystemLoader)
{
    for (const char *pszDirect : {"0", "1"}) {
        SCOPED_TRACE(pszDirect);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseMoteur("record", "ldpath"));
        ASSERT_TRUE(clAppli.bPoseScript(gszScriptMoteur));
        Stamp(clAppli, {"--direct-open", pszDirect});
        stRESULTATPROCESSUS st = clAppli.Lance({}, {"LD_LIBRARY_PATH=" + clAppli.sFichier("ldpath")});
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sSortie, clAppli.sFichier("ldpath/tq150vm.so") + "\n");
        // Loaded once, driven, terminated.
        EXPECT_EQ(clAppli.tabRecord().size(), 9u);

        st = clAppli.Lance();
        EXPECT_EQ(st.nStatut, 255);
        EXPECT_EQ(st.sErreur, gsMessage1);
    }
}

TEST(Search, RenamedEngineLibrary)
{
    CAppli clAppli;
    ASSERT_TRUE(bCopieFichier(sMoteur(""), clAppli.sFichier("myvm.so")));
    ASSERT_TRUE(clAppli.bPoseScript(gszScriptMoteur));
    Stamp(clAppli, {"--engine", "myvm.so"});
    stRESULTATPROCESSUS st = clAppli.Lance();
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, clAppli.sFichier("myvm.so") + "\n");
    // The message names the standard library whatever the block says.
    ASSERT_EQ(unlink(clAppli.sFichier("myvm.so").c_str()), 0);
    st = clAppli.Lance();
    EXPECT_EQ(st.sErreur, gsMessage1);
}
