// The reference engine handed an application library that is no file, or an offset
// no file can reach: the launch fails with the engine's reason, at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "LauncherFixture.h"

using namespace tqtest;

TEST(EngineInput, ApplicationLibraryThatIsNoFileIsRefused)
{
    struct stCAS {
        const char *pszNom;
        std::function<bool(const std::string &)> pfnPose;
        const char *pszRaison;
    };
    const std::vector<stCAS> tabCas = {
        {"directory", [](const std::string &s) { return bCreeRepertoire(s); }, "a directory"},
        {"FIFO", [](const std::string &s) { return mkfifo(s.c_str(), 0644) == 0; }, "not a regular file"},
        {"/dev/zero", [](const std::string &s) { return symlink("/dev/zero", s.c_str()) == 0; }, "not a regular file"},
    };
    for (const stCAS &c : tabCas) {
        SCOPED_TRACE(c.pszNom);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseMoteur(""));
        ASSERT_TRUE(c.pfnPose(clAppli.sFichier("app.TQL")));
        stRESULTATPROCESSUS st = Execute({clAppli.sExe()}, {"LD_LIBRARY_PATH"}, clAppli.sRep(), 20000);
        EXPECT_EQ(st.nStatut, 255) << st.sErreur;
        EXPECT_NE(st.sErreur.find("tq150vm: " + clAppli.sFichier("app.TQL") + ": " + c.pszRaison), std::string::npos)
            << st.sErreur;
    }
}

TEST(EngineInput, OffsetsPastAnyFileAreRefusedWithoutOverflow)
{
    for (const char *pszOffset : {"9223372036854775807", "9223372036854775300", "4294967296"}) {
        SCOPED_TRACE(pszOffset);
        CAppli clAppli;
        ASSERT_TRUE(clAppli.bPoseMoteur(""));
        ASSERT_TRUE(clAppli.bPoseScript("print x\nexit 0\n"));
        const std::string sStampe = clAppli.sFichier("stamped");
        ASSERT_EQ(Execute({sBin("tqpack"), "stamp", clAppli.sExe(), sStampe, "--offset", pszOffset, "--tql", "app.TQL"})
                      .nStatut,
                  0);
        stRESULTATPROCESSUS st = Execute({sStampe}, {"LD_LIBRARY_PATH"}, clAppli.sRep(), 20000);
        EXPECT_EQ(st.nStatut, 255) << st.sErreur;
        EXPECT_NE(st.sErreur.find(std::string("offset ") + pszOffset + " outside the file"), std::string::npos)
            << st.sErreur;
    }
}
