// The whole-or-nothing output file of the tools: what stays on disk after a
// commit, a failed commit and an abandoned output.
#include "files/AtomicOutput.h"
#include "FilesTestUtil.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <vector>
#include <sys/stat.h>

namespace {

// Names in a directory other than . and ..
std::vector<std::string> Entries(const std::string &sDir)
{
    std::vector<std::string> v;
    if (DIR *p = opendir(sDir.c_str())) {
        while (struct dirent *e = readdir(p))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                v.push_back(e->d_name);
        closedir(p);
    }
    std::sort(v.begin(), v.end());
    return v;
}

int Mode(const std::string &s)
{
    struct stat st;
    return stat(s.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

} // namespace

TEST(AtomicOutput, CommitAbandonAndFailure)
{
    CFilesTempDir tmp;
    const std::string t = tmp / "out";
    std::string reason;
    {
        CAtomicOutput o;
        ASSERT_TRUE(o.bOpen(t, reason)) << reason;
        ASSERT_EQ(Entries(tmp.Path()).size(), 1u);
        EXPECT_EQ(Mode(tmp / Entries(tmp.Path())[0]), 0600) << "private while it fills";
        ASSERT_EQ(write(o.nFd(), "new", 3), 3);
    } // never committed: nothing stays
    EXPECT_TRUE(Entries(tmp.Path()).empty());

    // Set-id bits are not passed on; an existing file's mode only narrows.
    struct Case {
        int existing; // -1: none
        mode_t asked;
        int expected;
    } cases[] = {{-1, 04755, 0755}, {0600, 0644, 0600}, {0664, 0640, 0640}, {0, 0644, 0}};
    for (const Case &c : cases) {
        ::remove(t.c_str());
        if (c.existing >= 0) {
            FilesWrite(t, "old");
            ASSERT_EQ(chmod(t.c_str(), static_cast<mode_t>(c.existing)), 0);
        }
        CAtomicOutput o;
        ASSERT_TRUE(o.bOpen(t, reason)) << reason;
        ASSERT_EQ(write(o.nFd(), "new", 3), 3);
        ASSERT_TRUE(o.bCommit(c.asked, reason)) << reason;
        EXPECT_EQ(Mode(t), c.expected) << c.asked;
        EXPECT_EQ(Entries(tmp.Path()), std::vector<std::string>{"out"});
    }
    chmod(t.c_str(), 0600);
    EXPECT_EQ(FilesRead(t), "new");

    // A directory in the target's place: the rename fails, the directory and
    // its content stay, the temporary file goes, the reason names the target.
    const std::string d = tmp / "dir";
    ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
    FilesWrite(d + "/inside", "i");
    {
        CAtomicOutput o;
        ASSERT_TRUE(o.bOpen(d, reason));
        EXPECT_FALSE(o.bCommit(0644, reason));
        EXPECT_EQ(reason.find("cannot write " + d + ": "), 0u) << reason;
    }
    EXPECT_EQ(Entries(tmp.Path()), (std::vector<std::string>{"dir", "out"}));
    EXPECT_EQ(FilesRead(d + "/inside"), "i");

    CAtomicOutput o;
    EXPECT_FALSE(o.bOpen(tmp / "missing/out", reason));
    EXPECT_EQ(reason.find("cannot create " + tmp / "missing/out" + ": "), 0u) << reason;
    EXPECT_FALSE(o.bCommit(0644, reason));
}

TEST(AtomicOutput, WritesWholeAndSignalsRemoveTheTemporaryFile)
{
    CFilesTempDir tmp;
    const std::string t = tmp / "out";
    std::string reason;
    {
        CAtomicOutput o;
        const std::string big(1 << 20, 'b'); // more than one pipe or page at a time
        ASSERT_TRUE(o.bOpen(t, reason) && o.bWrite(big.data(), big.size(), reason)) << reason;
        ASSERT_TRUE(o.bCommit(0644, reason)) << reason;
        EXPECT_EQ(FilesRead(t), big);
        EXPECT_FALSE(o.bWrite("x", 1, reason)) << "committed: nothing left to write to";
    }
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(nSignal);
        fflush(nullptr);
        pid_t nPid = fork();
        if (nPid == 0) {
            CAtomicOutput o;
            if (!o.bOpen(t, reason) || !o.bWrite("partial", 7, reason))
                _exit(3);
            raise(nSignal);
            _exit(4); // the signal must end the process
        }
        ASSERT_GT(nPid, 0);
        int nRaw = 0;
        ASSERT_EQ(waitpid(nPid, &nRaw, 0), nPid);
        EXPECT_TRUE(WIFSIGNALED(nRaw) && WTERMSIG(nRaw) == nSignal) << nRaw;
        EXPECT_EQ(Entries(tmp.Path()), std::vector<std::string>{"out"});
    }
    EXPECT_EQ(FilesRead(t).size(), size_t{1} << 20);
}
