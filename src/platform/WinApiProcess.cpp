// Child processes, the executable's own path, environment and process information.
#include "platform/WinApi.h"
#include "platform/WinApiInternal.h"

#include <dlfcn.h>
#include <link.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char **environ;

namespace {

using tqwinapi::CopyCut;

void EmptyAlarmHandler(int)
{
}

// One step of WaitPid: arm a one-second alarm and wait until a signal comes. SIGALRM is
// blocked while the alarm is armed and unblocked atomically by the wait itself, and the
// wait is bounded by the step, so that an alarm firing before the wait starts, an alarm
// the caller keeps blocked, or one delivered to another thread of the process cannot
// leave the caller waiting forever. The alarm's handler runs as it would under pause().
void WaitAlarmStep()
{
    sigset_t stAlarm;
    sigset_t stOld;
    sigemptyset(&stAlarm);
    sigaddset(&stAlarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &stAlarm, &stOld);
    sigset_t stWait = stOld;
    sigdelset(&stWait, SIGALRM);
    alarm(1);
    // A little longer than the alarm, which normally ends the wait; also ends early when
    // another handled signal (the child's end, if the caller catches it) comes.
    struct timespec stStep = {1, 100000000};
    ppoll(nullptr, 0, &stStep, &stWait);
    alarm(0);
    pthread_sigmask(SIG_SETMASK, &stOld, nullptr);
}

// Splits a command line into words: blanks split except inside double quotes, a quote
// preceded by a backslash is an ordinary character, the quotes themselves are dropped.
std::vector<std::string> SplitCommandLine(const char *pszCommandLine)
{
    std::vector<std::string> clWords;
    std::string clWord;
    bool bQuoted = false;
    auto Flush = [&]() {
        while (!clWord.empty() && isspace(static_cast<unsigned char>(clWord.back())))
            clWord.pop_back();
        if (!clWord.empty())
            clWords.push_back(clWord);
        clWord.clear();
    };
    for (const char *p = pszCommandLine; *p != '\0'; p++) {
        if (*p == '"' && (p == pszCommandLine || p[-1] != '\\')) {
            bQuoted = !bQuoted;
            continue;
        }
        if (!bQuoted && isspace(static_cast<unsigned char>(*p))) {
            Flush();
            continue;
        }
        clWord += *p;
    }
    Flush();
    return clWords;
}

// The path of the mapping of /proc/self/maps that contains the address, or "".
std::string MappedPathAt(uintptr_t nAddress)
{
    std::string clPath;
    FILE *pFile = fopen("/proc/self/maps", "r");
    if (pFile == nullptr)
        return clPath;
    char *pszLine = nullptr;
    size_t nCap = 0;
    while (getline(&pszLine, &nCap, pFile) > 0) {
        unsigned long long nStart = 0, nEnd = 0;
        if (sscanf(pszLine, "%llx-%llx", &nStart, &nEnd) != 2)
            continue;
        if (nAddress < nStart || nAddress >= nEnd)
            continue;
        const char *pszSlash = strchr(pszLine, '/');
        if (pszSlash != nullptr) {
            clPath = pszSlash;
            while (!clPath.empty() && (clPath.back() == '\n' || clPath.back() == '\r'))
                clPath.pop_back();
        }
        break;
    }
    free(pszLine);
    fclose(pFile);
    return clPath;
}

// The path of a loaded library from its handle, "" when it cannot be told.
std::string ModulePath(HINSTANCE hModule)
{
    struct link_map *pMap = nullptr;
    if (dlinfo(hModule, RTLD_DI_LINKMAP, &pMap) != 0 || pMap == nullptr)
        return std::string();
    // The main program's entry has an empty name: fall back to the executable's path.
    if (pMap->l_name == nullptr || pMap->l_name[0] == '\0')
        return std::string();
    std::string clPath = MappedPathAt(static_cast<uintptr_t>(pMap->l_addr));
    if (clPath.empty() && pMap->l_ld != nullptr)
        clPath = MappedPathAt(reinterpret_cast<uintptr_t>(pMap->l_ld));
    if (clPath.empty())
        clPath = pMap->l_name;
    return clPath;
}

}  // namespace

void InitAlarmHandler(void (*pfnHandler)(int))
{
    struct sigaction stAction;
    memset(&stAction, 0, sizeof stAction);
    stAction.sa_handler = pfnHandler != nullptr ? pfnHandler : EmptyAlarmHandler;
    sigemptyset(&stAction.sa_mask);
    // No SA_RESTART: the alarm must interrupt blocking calls.
    stAction.sa_flags = 0;
    sigaction(SIGALRM, &stAction, nullptr);
}

pid_t WaitPid(pid_t pid, int nMilliseconds, int *pnStatus)
{
    // Without a handler the alarm would end the whole process.
    struct sigaction stCurrent;
    if (sigaction(SIGALRM, nullptr, &stCurrent) == 0 && stCurrent.sa_handler == SIG_DFL)
        InitAlarmHandler(nullptr);

    int nRaw = 0;
    pid_t nResult = waitpid(pid, &nRaw, WNOHANG);
    int nRemaining = nMilliseconds;
    while (nResult == 0 && nRemaining > 0) {
        WaitAlarmStep();
        nRemaining -= 1000;
        nResult = waitpid(pid, &nRaw, WNOHANG);
    }
    if (nResult > 0 && pnStatus != nullptr)
        *pnStatus = (nRaw >> 8) & 0xFF;
    return nResult;
}

BOOL CreateProcess(const char *pszApplication, const char *pszCommandLine, pid_t *pPid, int *pnRunning,
                   int *pnExitCode)
{
    if (pnRunning != nullptr)
        *pnRunning = 0;
    if (pnExitCode != nullptr)
        *pnExitCode = 255;

    // The argument vector is built before forking: the child only calls execve.
    const char *pszLine = pszCommandLine != nullptr ? pszCommandLine : "";
    std::vector<std::string> clWords = SplitCommandLine(pszLine);
    std::string clProgram;
    if (pszApplication != nullptr) {
        clProgram = pszApplication;
        clWords.insert(clWords.begin(), clProgram);
    } else if (!clWords.empty()) {
        clProgram = clWords.front();
    } else {
        clProgram = pszLine;
        clWords.push_back(clProgram);
    }
    std::vector<char *> clArgv;
    for (std::string &clWord : clWords)
        clArgv.push_back(&clWord[0]);
    clArgv.push_back(nullptr);

    fflush(nullptr);
    pid_t nChild = fork();
    if (nChild < 0)
        return FALSE;
    if (nChild == 0) {
        execve(clProgram.c_str(), clArgv.data(), environ);
        _exit(255);
    }

    if (pPid != nullptr)
        *pPid = nChild;
    int nExit = 0;
    pid_t nEnded = WaitPid(nChild, 1000, &nExit);
    if (nEnded == 0) {
        if (pnRunning != nullptr)
            *pnRunning = 1;
        if (pnExitCode != nullptr)
            *pnExitCode = 0;
        return TRUE;
    }
    if (nEnded < 0)
        nExit = 0;
    if (pnExitCode != nullptr)
        *pnExitCode = nExit;
    return nExit != 255 ? TRUE : FALSE;
}

BOOL TerminateProcess(pid_t pid, UINT)
{
    // 0 and negative values would signal whole process groups.
    if (pid <= 0)
        return FALSE;
    return kill(pid, SIGTERM) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileName(HINSTANCE hModule, LPSTR pszBuffer, DWORD nSize)
{
    if (pszBuffer == nullptr || nSize == 0)
        return 0;
    if (hModule != nullptr) {
        std::string clPath = ModulePath(hModule);
        if (!clPath.empty())
            return CopyCut(pszBuffer, nSize, clPath.data(), clPath.size());
    }
    ssize_t nLen = readlink("/proc/self/exe", pszBuffer, nSize - 1);
    if (nLen >= 0) {
        pszBuffer[nLen] = '\0';
        return static_cast<DWORD>(nLen);
    }
    FILE *pFile = fopen("/proc/self/maps", "r");
    if (pFile == nullptr)
        return 0;
    char szLine[360];
    DWORD nCopied = 0;
    if (fgets(szLine, sizeof szLine, pFile) != nullptr) {
        char *pszSlash = strchr(szLine, '/');
        if (pszSlash != nullptr) {
            pszSlash[strcspn(pszSlash, "\r\n")] = '\0';
            nCopied = CopyCut(pszBuffer, nSize, pszSlash, strlen(pszSlash));
        }
    }
    fclose(pFile);
    return nCopied;
}

DWORD GetEnvironmentVariable(LPCSTR pszName, LPSTR pszBuffer, DWORD nSize)
{
    if (pszName == nullptr)
        return 0;
    const char *pszValue = getenv(pszName);
    if (pszValue == nullptr)
        return 0;
    size_t nLen = strlen(pszValue);
    if (nSize == 0 || pszBuffer == nullptr)
        return static_cast<DWORD>(nLen);
    return CopyCut(pszBuffer, nSize, pszValue, nLen);
}

BOOL SetEnvironmentVariable(LPCSTR pszName, LPCSTR pszValue)
{
    if (pszName == nullptr)
        return FALSE;
    if (pszValue == nullptr) {
        unsetenv(pszName);
        return TRUE;
    }
    return setenv(pszName, pszValue, 1) == 0 ? TRUE : FALSE;
}

int GetStdHandle(int nStdHandle)
{
    switch (nStdHandle) {
    case STD_INPUT_HANDLE:
        return 0;
    case STD_OUTPUT_HANDLE:
        return 1;
    case STD_ERROR_HANDLE:
        return 2;
    default:
        return -1;
    }
}

BOOL GetVersionEx(OSVERSIONINFO *pInfo)
{
    if (pInfo == nullptr)
        return FALSE;
    uint32_t nSize = pInfo->dwOSVersionInfoSize;
    memset(pInfo, 0, sizeof *pInfo);
    pInfo->dwOSVersionInfoSize = nSize;
    pInfo->dwPlatformId = VER_PLATFORM_UNIX;
    struct utsname stName;
    return uname(&stName) == 0 ? TRUE : FALSE;
}

void OutputDebugString(LPCSTR pszText)
{
    if (pszText != nullptr)
        fputs(pszText, stderr);
}
