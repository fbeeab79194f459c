// The service road under root trusts what the launch road trusts: a runtime parameter
// file or an engine that another user can write is refused with a line in the log.
#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "DaemonFixture.h"

using namespace tqtest;

TEST(TrustService, ParameterFileOfAnotherUserIsReadAsAbsent)
{
    const std::string sRaison = CDemon::sRaisonSaut();
    if (!sRaison.empty())
        GTEST_SKIP() << sRaison;
    struct passwd *pstNobody = getpwnam("nobody");
    if (!pstNobody)
        GTEST_SKIP() << "no user nobody";
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    ASSERT_TRUE(clDemon.bPoseScript("state\nwait_stop\n"));
    // Owned by nobody, it would have the service run as nobody: it must not count.
    ASSERT_TRUE(clDemon.bPoseParametres("[SERVICE]\nUSER=nobody\n"));
    ASSERT_EQ(chown(clDemon.sFichier("app.TX").c_str(), pstNobody->pw_uid, 0), 0);
    stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", "trusttx"});
    ASSERT_EQ(st.nStatut, 0) << st.sErreur;
    ASSERT_TRUE(clDemon.bAttendRecord("State("));
    EXPECT_NE(clDemon.sLigneRecord("State(").find(" uid=0/0"), std::string::npos) << clDemon.sLigneRecord("State(");
    EXPECT_TRUE(clDemon.bJournalContient(LOG_ERR, clDemon.sFichier("app.TX") + ": refused: owned by uid"));
    const pid_t nDemon = clDemon.nPidDemon("trusttx");
    ASSERT_GT(nDemon, 0);
    EXPECT_EQ(kill(nDemon, SIGTERM), 0);
    EXPECT_EQ(clDemon.nAttendFin(nDemon), 0);
}

TEST(TrustService, EngineWritableByOthersIsNotLoaded)
{
    const std::string sRaison = CDemon::sRaisonSaut();
    if (!sRaison.empty())
        GTEST_SKIP() << sRaison;
    CDemon clDemon;
    ASSERT_TRUE(clDemon.bPoseMoteur("record"));
    ASSERT_TRUE(clDemon.bPoseScript("wait_stop\n"));
    ASSERT_EQ(chmod(clDemon.sFichier("tq150vm.so").c_str(), 0666), 0);
    stRESULTATPROCESSUS st = clDemon.Lance({"--SERVICE", "trustvm"});
    EXPECT_EQ(st.nStatut, 255) << st.sErreur;
    EXPECT_TRUE(clDemon.bJournalContient(LOG_ERR, clDemon.sFichier("tq150vm.so") +
                                                      ": refused: writable by others (mode 0666)"));
    // Nothing of the engine ran.
    EXPECT_TRUE(clDemon.tabRecord().empty());
}
