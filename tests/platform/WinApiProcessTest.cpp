#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "PlatformTestUtil.h"
#include "platform/WinApi.h"

using tqtest::CTempDir;
using tqplat::ReadFile;
using tqplat::WriteFile;

namespace {

// Runs a check in a child process, so that a check that blocks for good cannot hang the
// tests: the check's exit code, or -1 when it has not ended within the deadline.
int RunInChild(int (*pfnCheck)(), int nSeconds)
{
    pid_t nPid = fork();
    if (nPid < 0)
        return -2;
    if (nPid == 0)
        _exit(pfnCheck());
    for (int nTenths = 0; nTenths < nSeconds * 10; nTenths++) {
        int nStatus = 0;
        if (waitpid(nPid, &nStatus, WNOHANG) == nPid)
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -3;
        usleep(100000);
    }
    kill(nPid, SIGKILL);
    waitpid(nPid, nullptr, 0);
    return -1;
}

// A child that ends with 7 after a fifth of a second, waited for with SIGALRM blocked (as
// a caller running with its signals masked has it): the alarm cannot reach the waiter.
int WaitWithAlarmBlocked()
{
    sigset_t stAlarm;
    sigemptyset(&stAlarm);
    sigaddset(&stAlarm, SIGALRM);
    sigprocmask(SIG_BLOCK, &stAlarm, nullptr);
    pid_t nChild = fork();
    if (nChild == 0) {
        usleep(200000);
        _exit(7);
    }
    int nStatus = -1;
    if (WaitPid(nChild, 5000, &nStatus) != nChild)
        return 1;
    return nStatus == 7 ? 0 : 2;
}

volatile sig_atomic_t gnAlarms = 0;

void CountAlarm(int)
{
    gnAlarms = gnAlarms + 1;
}

// Reads an empty pipe until an alarm 0.1 s later interrupts it.
bool bReadInterruptedByAlarm()
{
    int aPipe[2];
    if (pipe(aPipe) != 0)
        return false;
    struct itimerval stTimer;
    memset(&stTimer, 0, sizeof stTimer);
    stTimer.it_value.tv_usec = 100000;
    setitimer(ITIMER_REAL, &stTimer, nullptr);
    char c;
    errno = 0;
    bool bInterrupted = read(aPipe[0], &c, 1) == -1 && errno == EINTR;
    close(aPipe[0]);
    close(aPipe[1]);
    return bInterrupted;
}

// The given handler runs and the blocking call returns EINTR; with no handler the empty
// one keeps the process alive.
int AlarmInterruptsBlockingCalls()
{
    InitAlarmHandler(CountAlarm);
    if (!bReadInterruptedByAlarm() || gnAlarms != 1)
        return 1;
    // The caller's handler also sees the alarm of each step of WaitPid.
    pid_t nChild = fork();
    if (nChild == 0) {
        sleep(5);
        _exit(0);
    }
    bool bStillRunning = WaitPid(nChild, 1000, nullptr) == 0;
    kill(nChild, SIGKILL);
    waitpid(nChild, nullptr, 0);
    if (!bStillRunning || gnAlarms != 2)
        return 2;
    InitAlarmHandler(nullptr);
    if (!bReadInterruptedByAlarm() || gnAlarms != 2)
        return 3;
    return 0;
}

}  // namespace

TEST(CommandLine, QuotesArgumentsWithBlanks)
{
    const char *apszArgs[] = {"plain", "two words", "KEY=a b", "a b=c", ""};
    SetCommandLine(5, apszArgs);
    EXPECT_STREQ(GetCommandLine(), "plain \"two words\" KEY=\"a b\" \"a b=c\"  ");

    // Rebuilding starts from an empty line.
    SetCommandLine(1, apszArgs);
    EXPECT_STREQ(GetCommandLine(), "plain ");
    SetCommandLine(0, nullptr);
    EXPECT_STREQ(GetCommandLine(), "");
}

TEST(CommandLine, CutAt1024Characters)
{
    std::string clLong(1000, 'x');
    std::string clBlank = "y " + std::string(100, 'z');
    const char *apszArgs[] = {clLong.c_str(), clBlank.c_str(), "tail"};
    SetCommandLine(3, apszArgs);
    std::string clLine = GetCommandLine();
    ASSERT_EQ(clLine.size(), 1024u);
    EXPECT_EQ(clLine, (clLong + " \"" + clBlank).substr(0, 1024));

    std::string clHuge(5000, 'w');
    const char *apszHuge[] = {clHuge.c_str()};
    SetCommandLine(1, apszHuge);
    EXPECT_EQ(strlen(GetCommandLine()), 1024u);
}

TEST(Process, MissingProgramFails)
{
    pid_t nPid = 0;
    int nRunning = 7, nExit = 7;
    EXPECT_FALSE(CreateProcess(nullptr, "/no/such/program arg", &nPid, &nRunning, &nExit));
    EXPECT_EQ(nRunning, 0);
    EXPECT_EQ(nExit, 255);
    EXPECT_GT(nPid, 0);
    // Every output is optional.
    EXPECT_FALSE(CreateProcess("/no/such/program", nullptr, nullptr, nullptr, nullptr));
}

TEST(Process, LongRunningProgramIsLeftRunning)
{
    pid_t nPid = 0;
    int nRunning = 0, nExit = 7;
    ASSERT_TRUE(CreateProcess(nullptr, "/bin/sleep 5", &nPid, &nRunning, &nExit));
    EXPECT_EQ(nRunning, 1);
    ASSERT_GT(nPid, 0);
    EXPECT_EQ(WaitPid(nPid, 0, nullptr), 0);
    EXPECT_TRUE(TerminateProcess(nPid, 0));
    int nStatus = 0;
    ASSERT_EQ(waitpid(nPid, &nStatus, 0), nPid);
    EXPECT_TRUE(WIFSIGNALED(nStatus));
    EXPECT_FALSE(TerminateProcess(0, 0));
    // Negative values would reach whole process groups.
    EXPECT_FALSE(TerminateProcess(-1, 0));
}

TEST(Process, WaitPidStatusAndBlockedAlarm)
{
    EXPECT_EQ(RunInChild(WaitWithAlarmBlocked, 10), 0);
    EXPECT_EQ(RunInChild(AlarmInterruptsBlockingCalls, 10), 0);

    // The exit code byte of a child that has ended; 0 while one still runs.
    pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0)
        _exit(42);
    int nStatus = -1;
    EXPECT_EQ(WaitPid(nChild, 3000, &nStatus), nChild);
    EXPECT_EQ(nStatus, 42);
    nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        sleep(30);
        _exit(0);
    }
    time_t nStart = time(nullptr);
    nStatus = -1;
    EXPECT_EQ(WaitPid(nChild, 1000, &nStatus), 0);
    EXPECT_EQ(nStatus, -1);
    EXPECT_LE(time(nullptr) - nStart, 3);
    kill(nChild, SIGKILL);
    waitpid(nChild, nullptr, 0);
}

TEST(Process, ExitCodesAndWordSplitting)
{
    CTempDir clDir;
    std::string clScript = clDir.sFichier("args.sh");
    std::string clOut = clDir.sFichier("out.txt");
    WriteFile(clScript, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$TQ_TEST_OUT\"\nexit 3\n");
    chmod(clScript.c_str(), 0755);
    setenv("TQ_TEST_OUT", clOut.c_str(), 1);

    int nRunning = 9, nExit = 0;
    std::string clLine = clScript + "  \"a b\"\tc   \"\"  \"x\"y \\\"q ";
    EXPECT_TRUE(CreateProcess(nullptr, clLine.c_str(), nullptr, &nRunning, &nExit));
    EXPECT_EQ(nRunning, 0);
    EXPECT_EQ(nExit, 3);
    EXPECT_EQ(ReadFile(clOut), "[a b][c][xy][\\\"q]");

    // With an application it is argument 0 and every word of the line follows.
    EXPECT_TRUE(CreateProcess(clScript.c_str(), "one \"two three\"", nullptr, &nRunning, &nExit));
    EXPECT_EQ(ReadFile(clOut), "[one][two three]");

    // A program that ends with 255 is taken as a failure to start.
    EXPECT_FALSE(CreateProcess(nullptr, "/bin/sh -c \"exit 255\"", nullptr, nullptr, &nExit));
    EXPECT_EQ(nExit, 255);
    EXPECT_TRUE(CreateProcess("/bin/sh", "-c \"exit 0\"", nullptr, nullptr, &nExit));
    EXPECT_EQ(nExit, 0);
    unsetenv("TQ_TEST_OUT");
}

TEST(Process, ModuleFileName)
{
    char szExpected[PATH_MAX];
    ssize_t nLen = readlink("/proc/self/exe", szExpected, sizeof szExpected - 1);
    ASSERT_GT(nLen, 0);
    szExpected[nLen] = '\0';

    char szPath[PATH_MAX];
    EXPECT_EQ(GetModuleFileName(nullptr, szPath, sizeof szPath), static_cast<DWORD>(nLen));
    EXPECT_STREQ(szPath, szExpected);
    // Cut to size - 1 and terminated.
    char szSmall[6];
    EXPECT_EQ(GetModuleFileName(nullptr, szSmall, sizeof szSmall), 5u);
    EXPECT_EQ(std::string(szSmall), std::string(szExpected).substr(0, 5));
    EXPECT_EQ(GetModuleFileName(nullptr, szSmall, 0), 0u);

    // A loaded library's handle gives that library's path.
    std::string clEngine = std::string(TQ_BIN_DIR) + "/tq150vm.so";
    void *hModule = dlopen(clEngine.c_str(), RTLD_NOW);
    ASSERT_NE(hModule, nullptr) << dlerror();
    char szReal[PATH_MAX];
    ASSERT_NE(realpath(clEngine.c_str(), szReal), nullptr);
    EXPECT_GT(GetModuleFileName(hModule, szPath, sizeof szPath), 0u);
    EXPECT_STREQ(szPath, szReal);
    dlclose(hModule);
}

TEST(Process, EnvironmentHandlesAndVersion)
{
    ASSERT_TRUE(SetEnvironmentVariable("TQ_TEST_VAR", "hello"));
    char szValue[16];
    EXPECT_EQ(GetEnvironmentVariable("TQ_TEST_VAR", nullptr, 0), 5u);
    EXPECT_EQ(GetEnvironmentVariable("TQ_TEST_VAR", szValue, sizeof szValue), 5u);
    EXPECT_STREQ(szValue, "hello");
    EXPECT_EQ(GetEnvironmentVariable("TQ_TEST_VAR", szValue, 3), 2u);
    EXPECT_STREQ(szValue, "he");
    ASSERT_TRUE(SetEnvironmentVariable("TQ_TEST_VAR", nullptr));
    EXPECT_EQ(GetEnvironmentVariable("TQ_TEST_VAR", szValue, sizeof szValue), 0u);

    EXPECT_EQ(GetStdHandle(STD_INPUT_HANDLE), 0);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), 1);
    EXPECT_EQ(GetStdHandle(STD_ERROR_HANDLE), 2);
    EXPECT_EQ(GetStdHandle(0), -1);

    OSVERSIONINFO stInfo;
    memset(&stInfo, 0x55, sizeof stInfo);
    stInfo.dwOSVersionInfoSize = sizeof stInfo;
    EXPECT_TRUE(GetVersionEx(&stInfo));
    EXPECT_EQ(stInfo.dwOSVersionInfoSize, sizeof stInfo);
    EXPECT_EQ(stInfo.dwPlatformId, 1000u);
    EXPECT_EQ(stInfo.dwMajorVersion, 0u);
    EXPECT_EQ(stInfo.szCSDVersion[0], '\0');
}
