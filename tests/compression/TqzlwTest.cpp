#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using tqtest::Execute;

std::string Tqzlw()
{
    return tqtest::sBin("tqzlw");
}

std::string Donnees(size_t n)
{
    std::string s;
    uint32_t x = 7;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += (x >> 20) % 3 ? "alpha beta gamma " : std::string(1, static_cast<char>(x >> 24));
    }
    s.resize(n);
    return s;
}

// Runs the tool through a shell so that standard input can be a file.
tqtest::stRESULTATPROCESSUS Shell(const std::string &cmd)
{
    return Execute({"/bin/sh", "-c", cmd});
}

} // namespace

TEST(Tqzlw, RoundTripsThroughFilesAndPipes)
{
    tqtest::CTempDir dir;
    for (size_t n : {0, 1, 19, 20, 21, 100000}) {
        std::string in = dir.sFichier("in"), z = dir.sFichier("in.z"), back = dir.sFichier("back");
        std::string data = Donnees(n);
        ASSERT_TRUE(tqtest::bEcritFichier(in, data));
        auto c = Execute({Tqzlw(), "-c", "-o", z, in});
        ASSERT_EQ(c.nStatut, 0) << c.sErreur;
        std::string block = tqtest::sLitFichier(z);
        if (n <= 19 || n == 100000) {
            EXPECT_EQ(block[0], n > 19 ? 4 : 0);
        }
        auto d = Execute({Tqzlw(), "-d", "-o", back, z});
        ASSERT_EQ(d.nStatut, 0) << d.sErreur;
        EXPECT_EQ(tqtest::sLitFichier(back), data) << n;
        EXPECT_EQ(tqtest::nModeFichier(back) & 0600, 0600);
        // Standard input to standard output gives the same bytes.
        auto p = Shell("'" + Tqzlw() + "' -c < '" + in + "' | '" + Tqzlw() + "' -d");
        EXPECT_EQ(p.nStatut, 0);
        EXPECT_EQ(p.sSortie, data);
        auto s = Shell("'" + Tqzlw() + "' -c < '" + in + "'");
        EXPECT_EQ(s.sSortie, block);
    }
}

TEST(Tqzlw, BadBlocksFailWithoutOutput)
{
    tqtest::CTempDir dir;
    std::string in = dir.sFichier("in"), z = dir.sFichier("in.z"), out = dir.sFichier("out");
    ASSERT_TRUE(tqtest::bEcritFichier(in, Donnees(20000)));
    ASSERT_EQ(Execute({Tqzlw(), "-c", "-o", z, in}).nStatut, 0);
    std::string block = tqtest::sLitFichier(z);

    struct Case {
        std::string name, bytes;
    } cases[] = {
        {"truncated", block.substr(0, block.size() / 2)},
        {"header", block.substr(0, 7)},
        {"foreign", "plain text, not a block at all\n"},
        {"trailing", block + "xx"},
        {"method2", std::string(1, '\2') + block.substr(1)},
        {"damaged", block.substr(0, 40) + std::string(block.size() - 40, '\x55')},
        {"oversized", block.substr(0, 5) + std::string("\xFF\xFF\xFF\x7F", 4) + block.substr(9)},
        // Decoded size one short: the stream holds codes past it.
        {"shrunk", block.substr(0, 5) + std::string("\x1F\x4E\0\0", 4) + block.substr(9)},
    };
    for (const Case &c : cases) {
        std::string bad = dir.sFichier(c.name);
        ASSERT_TRUE(tqtest::bEcritFichier(bad, c.bytes));
        auto r = Execute({Tqzlw(), "-d", "-o", out, bad});
        EXPECT_EQ(r.nStatut, 1) << c.name;
        // One line naming the input.
        EXPECT_EQ(r.sErreur.find("tqzlw: " + bad + ": "), 0u) << r.sErreur;
        EXPECT_EQ(r.sErreur.find('\n'), r.sErreur.size() - 1) << r.sErreur;
        EXPECT_FALSE(tqtest::bExiste(out)) << c.name;
    }
    // An existing output survives a failed run untouched, and no temporary
    // file is left beside it.
    ASSERT_TRUE(tqtest::bEcritFichier(out, "keep"));
    EXPECT_EQ(Execute({Tqzlw(), "-d", "-o", out, dir.sFichier("truncated")}).nStatut, 1);
    EXPECT_EQ(tqtest::sLitFichier(out), "keep");
    auto ls = Shell("ls '" + dir.sChemin() + "' | grep -c 'out\\.'");
    EXPECT_EQ(ls.sSortie, "0\n");

    auto piped = Shell("printf 'nope' | '" + Tqzlw() + "' -d");
    EXPECT_EQ(piped.nStatut, 1);
    EXPECT_NE(piped.sErreur.find("(stdin)"), std::string::npos);
    EXPECT_TRUE(piped.sSortie.empty());

    EXPECT_EQ(Execute({Tqzlw(), "-d", dir.sFichier("missing")}).nStatut, 1);
}

TEST(Tqzlw, BadUsageSaysWhatIsWrong)
{
    struct Case {
        std::vector<std::string> args;
        std::string what;
    } cases[] = {
        {{}, "-c or -d is needed"},
        {{"-c", "-d", "x"}, "-c and -d cannot be combined"},
        {{"-d", "-d"}, "-d given twice"},
        {{"-c", "-o"}, "-o needs a file name"},
        {{"-c", "-o", "a", "-o", "b"}, "-o given twice"},
        {{"-c", "a", "b"}, "more than one input (a, b)"},
        {{"-c", "-q"}, "unknown option -q"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> argv = {Tqzlw()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        auto r = Execute(argv);
        EXPECT_EQ(r.nStatut, 2) << c.what;
        EXPECT_EQ(r.sErreur, "tqzlw: " + c.what + " (usage: tqzlw -c|-d [-o OUT] [IN])\n");
        EXPECT_TRUE(r.sSortie.empty()) << c.what;
    }
}

TEST(Tqzlw, OutputTakesTheInputModeNeverWider)
{
    tqtest::CTempDir dir;
    const mode_t mask = umask(022);
    umask(mask);
    struct Case {
        const char *what;
        unsigned inMode;
        int outMode; // -1: no output before the run
        bool fromPipe;
        int expected;
    } cases[] = {
        {"new output, private input", 0600, -1, false, 0600},
        {"new output, group input", 0640, -1, false, 0640},
        {"executable input", 0755, -1, false, 0755},
        {"private output stays private", 0644, 0600, false, 0600},
        {"wide output narrowed to the input", 0600, 0666, false, 0600},
        {"from a pipe", 0644, -1, true, static_cast<int>(0666 & ~mask)},
        {"from a pipe over a private output", 0644, 0600, true, 0600},
    };
    int k = 0;
    for (const Case &c : cases) {
        const std::string in = dir.sFichier("in" + std::to_string(k)), z = dir.sFichier("z" + std::to_string(k)),
                          back = dir.sFichier("b" + std::to_string(k));
        ++k;
        ASSERT_TRUE(tqtest::bEcritFichier(in, Donnees(5000), c.inMode));
        ASSERT_EQ(chmod(in.c_str(), c.inMode), 0);
        if (c.outMode >= 0) {
            ASSERT_TRUE(tqtest::bEcritFichier(z, "old", static_cast<unsigned>(c.outMode)));
            ASSERT_EQ(chmod(z.c_str(), static_cast<mode_t>(c.outMode)), 0);
        }
        auto r = c.fromPipe ? Shell("cat '" + in + "' | '" + Tqzlw() + "' -c -o '" + z + "'")
                            : Execute({Tqzlw(), "-c", "-o", z, in});
        ASSERT_EQ(r.nStatut, 0) << c.what << r.sErreur;
        EXPECT_EQ(tqtest::nModeFichier(z), c.expected) << c.what;
        // Decompressing passes the block's mode on in turn.
        ASSERT_EQ(Execute({Tqzlw(), "-d", "-o", back, z}).nStatut, 0);
        EXPECT_EQ(tqtest::nModeFichier(back), c.expected) << c.what;
    }
}

static bool bSousSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

TEST(Tqzlw, RefusesInputsTooLargeForABlock)
{
    tqtest::CTempDir dir;
    std::string big = dir.sFichier("big");
    // A sparse file of 4 GiB: refused from its size, before any reading.
    auto t = Shell("truncate -s 4294967296 '" + big + "'");
    ASSERT_EQ(t.nStatut, 0);
    auto r = Execute({Tqzlw(), "-c", "-o", dir.sFichier("big.z"), big});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_NE(r.sErreur.find("too large"), std::string::npos) << r.sErreur;
    EXPECT_FALSE(tqtest::bExiste(dir.sFichier("big.z")));

    // An endless pipe under a memory limit: a clean refusal with one line,
    // never an abort, whichever comes first of the limit and the memory.
    // A sanitizer's shadow memory cannot be mapped under `ulimit -v`.
    if (bSousSanitizer())
        return;
    for (const char *mode : {"-c", "-d"}) {
        auto p = Shell("ulimit -v 400000; '" + Tqzlw() + "' " + mode + " -o '" + dir.sFichier("zero.z") +
                       "' < /dev/zero");
        EXPECT_EQ(p.nStatut, 1) << mode << p.sErreur;
        EXPECT_TRUE(p.sErreur.find("out of memory") != std::string::npos ||
                    p.sErreur.find("too large") != std::string::npos)
            << p.sErreur;
        EXPECT_EQ(p.sErreur.find('\n'), p.sErreur.size() - 1) << p.sErreur;
        EXPECT_FALSE(tqtest::bExiste(dir.sFichier("zero.z")));
    }
}

TEST(Tqzlw, SignalsRemoveTheTemporaryFile)
{
    // tqzlw reads a FIFO that the test holds open and never finishes: the
    // temporary output exists, private, until the signal removes it.
    tqtest::CTempDir dir;
    const std::string out = dir.sFichier("out"), fifo = dir.sFichier("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        ASSERT_TRUE(tqtest::bEcritFichier(out, "old", 0640));
        int writer = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, "some bytes", 10), 10);
        const std::string bin = Tqzlw();
        pid_t pid = fork();
        if (pid == 0) {
            // The dispositions a shell may leave ignored are reset.
            for (int s : {SIGINT, SIGTERM, SIGHUP})
                signal(s, SIG_DFL);
            execl(bin.c_str(), bin.c_str(), "-c", "-o", out.c_str(), fifo.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        std::string temp;
        for (int i = 0; i < 1000 && temp.empty(); ++i) {
            usleep(10000);
            for (const std::string &name : tqtest::tabLignes(Shell("ls -a '" + dir.sChemin() + "'").sSortie))
                if (name.compare(0, 4, "out.") == 0)
                    temp = dir.sFichier(name);
        }
        EXPECT_FALSE(temp.empty()) << "no temporary file beside the output";
        if (!temp.empty()) {
            EXPECT_EQ(tqtest::nModeFichier(temp), 0600);
        }
        kill(pid, sig);
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 1000 && done == 0; ++i) {
            done = waitpid(pid, &status, WNOHANG);
            if (done == 0)
                usleep(10000);
        }
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        close(writer);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " status " << status;
        EXPECT_FALSE(!temp.empty() && tqtest::bExiste(temp)) << sig;
        EXPECT_EQ(tqtest::sLitFichier(out), "old") << sig;
        EXPECT_EQ(tqtest::nModeFichier(out), 0640) << sig;
    }
}
