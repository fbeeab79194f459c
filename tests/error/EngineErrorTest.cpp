// An error raised by the engine reaches the user as its full report on standard
// error, through the real launcher and the callback it registered.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using namespace tqtest;

namespace {

// Runs a script as application "app" beside a copy of the launcher and the engine.
stRESULTATPROCESSUS LanceScript(const std::string &sScript)
{
    CTempDir clRep;
    EXPECT_TRUE(bCopieFichier(sBin("tqexe"), clRep.sFichier("app")));
    EXPECT_TRUE(bCopieFichier(sBin("tq150vm.so"), clRep.sFichier("tq150vm.so")));
    EXPECT_TRUE(bEcritFichier(clRep.sFichier("app.TQL"), sScript));
    return Execute({clRep.sFichier("app")}, {"LD_LIBRARY_PATH"}, clRep.sChemin());
}

} // namespace

TEST(EngineError, ReportOnStandardErrorThroughTheLauncher)
{
    stRESULTATPROCESSUS st = LanceScript("print avant\n"
                                         "error 42 Le fichier {tql} est perdu \xE0 100%s %n\n"
                                         "print apr\xE8s\n"
                                         "exit 3\n");
    EXPECT_EQ(st.nStatut, 3);
    EXPECT_EQ(st.sSortie, "avant\napr\xE8s\n");
    const std::string sMessage = "Le fichier app.TQL est perdu \xE0 100%s %n";
    EXPECT_EQ(st.sErreur,
              "Message d'erreur :\r\n" + sMessage + "\r\n"
              "\r\n"
              "Code d'erreur : 42\r\n"
              "Niveau : erreur\r\n"
              "\r\n"
              "Module : tq150vm.so, version 15.00Ab\r\n"
              "Message de d\xE9" "bogage :\r\n"
              "Erreur lev\xE9" "e par le script <app.TQL> : " + sMessage + "\r\n"
              "Informations :\r\n"
              "EIT_SRCFILE : <app.TQL>\r\n"
              "EIT_BASECODE : <42>\r\n"
              "\r\n----- Erreur imbriqu\xE9" "e n\xB0 1 -----\r\n\r\n"
              "Message d'erreur :\r\n"
              "Erreur d'ex\xE9" "cution de l'application.\r\n"
              "\r\n"
              "Code d'erreur : 0\r\n"
              "Niveau : erreur\r\n"
              "\r\n"
              "Module : tq150vm.so, version 15.00Ab\r\n"
              "\r\n"
              "\n");
}

TEST(EngineError, EveryErrorIsReportedAndAnEmptyTextGivesNoMessage)
{
    stRESULTATPROCESSUS st = LanceScript("error 1\nerror 4294967295 deux\n");
    EXPECT_EQ(st.nStatut, 0);
    const std::string &s = st.sErreur;
    size_t nPremier = s.find("Code d'erreur : 1\r\n");
    size_t nSecond = s.find("Code d'erreur : 4294967295\r\n");
    ASSERT_NE(nPremier, std::string::npos) << s;
    ASSERT_NE(nSecond, std::string::npos) << s;
    EXPECT_LT(nPremier, nSecond);
    EXPECT_EQ(s.substr(0, nPremier), ""); // no user message section for an empty text
    EXPECT_NE(s.find("Message d'erreur :\r\ndeux\r\n"), std::string::npos);
    EXPECT_EQ(s.back(), '\n');
}

TEST(EngineError, MalformedCommandIsRefusedWhenTheScriptLoads)
{
    for (const char *pszLigne : {"error\n", "error x message\n", "error 4294967296 trop grand\n", "error 1 {inconnu}\n"}) {
        stRESULTATPROCESSUS st = LanceScript(pszLigne);
        EXPECT_NE(st.nStatut, 0) << pszLigne;
        EXPECT_EQ(st.sErreur.find("Code d'erreur"), std::string::npos) << pszLigne;
    }
}
