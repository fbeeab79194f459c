// The service logger.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "ServiceTestUtil.h"
#include "service/Logger.h"
#include "support/TestSupport.h"

using namespace tqtest;

namespace {

// Logs one line through each operation.
void LogueTout(CLogger *pclLogger)
{
    pclLogger->AddLog(ePRIORITY_CRITIQUE, "plain %d%%", 5);
    pclLogger->AddLogEvent(ePRIORITY_ERREUR, 17, "event <%s>", "e");
    const char *tabDetails[] = {"first % detail", "second detail"};
    pclLogger->AddLogDetail(ePRIORITY_INFO, 3, tabDetails, 2);
    pclLogger->AddLogDetail(ePRIORITY_INFO, 3, tabDetails, 0); // count 0 reads nothing
    pclLogger->AddLogDetail(ePRIORITY_INFO, 3, nullptr, 1);
}

TEST(Logger, ModesDecideWhereLinesGo)
{
    CJournalEnregistre clJournal;
    CLogger clLogger;
    EXPECT_EQ(clLogger.eGetMode(), eMODE_SYSLOG);
    LogueTout(&clLogger);
    EXPECT_EQ(clJournal.tabLignes(), tabJOURNAL({{2, "plain 5%"}, {3, "event <e>"}, {6, "first % detail"}}));

    // Off: nothing at all.
    CJournalEnregistre::Vide();
    EXPECT_TRUE(clLogger.bSetMode(eMODE_AUCUN));
    LogueTout(&clLogger);
    clLogger.AddLogSystemError("quiet");
    EXPECT_TRUE(clJournal.tabLignes().empty());

    // File mode: the lines go to the file, one each; the system log sees nothing.
    CTempDir clRep;
    const std::string sFichier = clRep.sFichier("service.log");
    EXPECT_TRUE(clLogger.bSetMode(eMODE_FICHIER, sFichier.c_str()));
    EXPECT_STREQ(clLogger.pszGetFichier(), sFichier.c_str());
    // A second file mode replaces (and frees) the first name.
    EXPECT_TRUE(clLogger.bSetMode(static_cast<eMODE>(7), sFichier.c_str()));
    LogueTout(&clLogger);
    EXPECT_TRUE(clJournal.tabLignes().empty());
    EXPECT_EQ(sLitFichier(sFichier), "plain 5%\nevent <e>\nfirst % detail\n");
    EXPECT_TRUE(clLogger.bSetMode(eMODE_SYSLOG));
    EXPECT_EQ(clLogger.pszGetFichier(), nullptr);
}

TEST(Logger, ReadyTextIsNeverAFormat)
{
    CJournalEnregistre clJournal;
    CLogger clLogger;
    // What the launcher logs is passed as an argument of "%s".
    clLogger.AddLog(ePRIORITY_CRITIQUE, "%s", "100% %s %n done");
    ASSERT_EQ(clJournal.tabLignes().size(), 1u);
    EXPECT_EQ(clJournal.tabLignes()[0].second, "100% %s %n done");
}

TEST(Logger, SystemErrorNamesTheErrnoOfTheCall)
{
    CJournalEnregistre clJournal;
    CLogger clLogger;
    for (int nErreur : {ENOENT, EACCES, 0}) {
        CJournalEnregistre::Vide();
        const std::string sSysteme = strerror(nErreur);
        errno = nErreur;
        // The caller's arguments are formatted after errno was saved.
        clLogger.AddLogSystemError("open <%s> %d", "/run/x.pid", 42);
        EXPECT_EQ(errno, nErreur);
        EXPECT_EQ(clJournal.tabLignes(),
                  tabJOURNAL({{3, "open </run/x.pid> 42 , error " + std::to_string(nErreur) + ", " + sSysteme}}));
    }
}

TEST(Logger, JournalTextIsUtf8WithPlainLineEnds)
{
    const struct {
        const char *pszCas;
        std::string sTexte, sAttendu;
    } tabCas[] = {
        {"ascii", "plain 100%", "plain 100%"},
        {"empty", "", ""},
        {"accents", "Service d\xE9j\xE0 lanc\xE9", "Service d\xC3\xA9j\xC3\xA0 lanc\xC3\xA9"},
        {"crlf", "line one\r\nn\xE9" "cessaires\r\n", "line one\nn\xC3\xA9" "cessaires\n"},
        {"lone cr", "a\rb\n\rc", "a\nb\n\nc"},
        {"above latin-1", "\x80 \x9C \xFF", "\xE2\x82\xAC \xC5\x93 \xC3\xBF"},
        {"undefined byte", "x\x81y\xE9", "x?y\xC3\xA9"},
    };
    for (const auto &stCas : tabCas)
        EXPECT_EQ(Logger_sTexteJournal(stCas.sTexte.c_str()), stCas.sAttendu) << stCas.pszCas;
    EXPECT_EQ(Logger_sTexteJournal(nullptr), "");
}

} // namespace
