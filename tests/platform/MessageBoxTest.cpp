// Console message box: prompts, answers, the end of the input, and a real terminal.
#include "platform/WinApi.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const PROMPT_OK = "Appuyez sur ENTREE pour continuer : \n";
const char *const PROMPT_ARI = "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour "
                               "continuer (exemple : r + ENTREE) : \n";
const char *const HINT = "Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et "
                         "F7 pour reprendre l'execution\n";

struct stRUN {
    int nResult = -1;   // exit code of the child: the box's answer, -1 if it did not end
    std::string sError; // what it wrote on standard error
};

// Reads everything from fd until its end or nSeconds pass.
std::string DrainFor(int fd, int nSeconds)
{
    std::string s;
    char buf[4096];
    for (int i = 0; i < nSeconds * 10; ++i) {
        struct pollfd pfd = {fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        s.append(buf, static_cast<size_t>(n));
    }
    return s;
}

int WaitBounded(pid_t pid, int nSeconds)
{
    int nStatus = 0;
    for (int i = 0; i < nSeconds * 100; ++i) {
        if (waitpid(pid, &nStatus, WNOHANG) == pid)
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &nStatus, 0);
    return -1;
}

// Runs fn in a child whose standard input is sInput (or is set up by fnInput) and
// whose standard error is captured.
stRUN RunBox(const std::function<int()> &fn, const std::string &sInput,
             const std::function<void()> &fnInput = nullptr)
{
    stRUN r;
    int pIn[2], pErr[2];
    if (pipe(pIn) != 0 || pipe(pErr) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pIn[0], 0);
        dup2(pErr[1], 2);
        close(pIn[0]);
        close(pIn[1]);
        close(pErr[0]);
        close(pErr[1]);
        if (fnInput)
            fnInput();
        _exit(fn());
    }
    close(pIn[0]);
    close(pErr[1]);
    if (!sInput.empty() && write(pIn[1], sInput.data(), sInput.size()) < 0)
        r.sError = "write failed";
    close(pIn[1]);
    r.sError += DrainFor(pErr[0], 10);
    close(pErr[0]);
    r.nResult = WaitBounded(pid, 10);
    return r;
}

} // namespace

TEST(MessageBox, PromptsAndAnswers)
{
    struct {
        UINT nButtons;
        const char *pszAnswer;
        int nExpected;
        const char *pszPrompt;
    } cases[] = {
        {MB_OK, "\n", IDOK, PROMPT_OK},
        {MB_OKCANCEL, "c\n", IDCANCEL, "Entrez votre choix (o = OK, c = CANCEL) pour continuer "
                                       "(exemple : o + ENTREE) : \n"},
        {MB_OKCANCEL, "o\n", IDOK, nullptr},
        {MB_YESNOCANCEL, "  n\n", IDNO, "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour "
                                        "continuer (exemple : y + ENTREE) : \n"},
        {MB_YESNO, "Y\n", IDOK, "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : "
                                "y + ENTREE) : \n"},
        {MB_YESNO, "\tyes please\n", IDYES, nullptr},
        {MB_RETRYCANCEL, "a\n", IDABORT, "Entrez votre choix (r = RETRY, c = CANCEL) pour "
                                         "continuer (exemple : r + ENTREE) : \n"},
        {MB_ABORTRETRYIGNORE, "i\n", IDIGNORE, PROMPT_ARI},
        {0x24, "y\n", IDYES, PROMPT_ARI},  // flag bits are not masked: set 2's prompt
        {7, "x\n", IDOK, PROMPT_ARI},
        {MB_OKCANCEL, "y\n", IDYES, nullptr}, // answers are not checked against the set
    };
    for (const auto &c : cases) {
        stRUN r = RunBox([&]() { return MessageBox(nullptr, "Le texte", "Titre", c.nButtons); },
                         c.pszAnswer);
        EXPECT_EQ(r.nResult, c.nExpected) << c.nButtons << " " << c.pszAnswer;
        if (c.pszPrompt) {
            EXPECT_EQ(r.sError, std::string("Titre\nLe texte\n") + c.pszPrompt) << c.nButtons;
        }
    }

    // A word starting with r: the debugger hint, then Retry.
    stRUN r = RunBox([]() { return MessageBox(nullptr, "t", "c", MB_ABORTRETRYIGNORE); }, "retry\n");
    EXPECT_EQ(r.nResult, IDRETRY);
    EXPECT_EQ(r.sError, std::string("c\nt\n") + PROMPT_ARI + HINT);

    // Two boxes read one line each, however long the first.
    r = RunBox([]() { return MessageBox(nullptr, "t", "c", MB_YESNO) * 10 +
                              MessageBox(nullptr, "t", "c", MB_YESNO); },
               std::string(10000, ' ') + "yes\nno\n");
    EXPECT_EQ(r.nResult, IDYES * 10 + IDNO);
}

TEST(MessageBox, EndOfInputAnswersAtOnce)
{
    // Standard input at its end (a daemon's /dev/null), or closed: OK at once, every time.
    auto fnThree = []() {
        return MessageBox(nullptr, "t", "c", MB_YESNO) + MessageBox(nullptr, "t", "c", MB_OK) +
               MessageBoxW(nullptr, nullptr, nullptr, MB_RETRYCANCEL);
    };
    stRUN r = RunBox(fnThree, "", []() {
        int fd = open("/dev/null", O_RDONLY);
        dup2(fd, 0);
        close(fd);
    });
    EXPECT_EQ(r.nResult, 3 * IDOK);
    r = RunBox(fnThree, "", []() { close(0); });
    EXPECT_EQ(r.nResult, 3 * IDOK);
    // A last line without its line feed still counts.
    r = RunBox([]() { return MessageBox(nullptr, nullptr, nullptr, MB_YESNO); }, "n");
    EXPECT_EQ(r.nResult, IDNO);
    EXPECT_EQ(r.sError.substr(0, 2), "\n\n");
}

TEST(MessageBox, WideTextThroughATerminal)
{
    int fdMaster = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(fdMaster, 0);
    ASSERT_EQ(grantpt(fdMaster), 0);
    ASSERT_EQ(unlockpt(fdMaster), 0);
    const std::string sSlave = ptsname(fdMaster);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setsid();
        int fd = open(sSlave.c_str(), O_RDWR);
        if (fd < 0)
            _exit(100);
        dup2(fd, 0);
        dup2(fd, 1);
        dup2(fd, 2);
        // "Café €5 " then a character outside the basic plane, a lone surrogate, "!".
        const uint16_t wsz[] = {'C', 'a', 'f', 0xE9, ' ', 0x20AC, '5', ' ', 0xD83D, 0xDE00, 0xDC00, '!', 0};
        _exit(MessageBoxW(nullptr, wsz, "Question", MB_YESNO));
    }
    // Answer once the prompt is on the terminal.
    std::string sSeen;
    char buf[1024];
    for (int i = 0; i < 100 && sSeen.find("ENTREE) : ") == std::string::npos; ++i) {
        struct pollfd pfd = {fdMaster, POLLIN, 0};
        if (poll(&pfd, 1, 100) > 0) {
            ssize_t n = read(fdMaster, buf, sizeof buf);
            if (n > 0)
                sSeen.append(buf, static_cast<size_t>(n));
        }
    }
    ASSERT_EQ(write(fdMaster, "y\n", 2), 2);
    EXPECT_EQ(WaitBounded(pid, 10), IDYES);
    close(fdMaster);
    EXPECT_NE(sSeen.find("Question\r\n"), std::string::npos) << sSeen;
    EXPECT_NE(sSeen.find("Caf\xE9 \x80" "5 ?" "?!\r\n"), std::string::npos) << sSeen;
}
