// Real trees for the directory and tree tests, and children run with a bounded wait.
#pragma once

#include <cerrno>
#include <csignal>
#include <ctime>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FilesTestUtil.h"

namespace tqtree {

inline void Dir(const std::string &s) { ASSERT_EQ(mkdir(s.c_str(), 0755), 0) << s; }
inline void Link(const std::string &sTarget, const std::string &s)
{
    ASSERT_EQ(symlink(sTarget.c_str(), s.c_str()), 0) << s;
}
inline bool Exists(const std::string &s)
{
    struct stat st;
    return lstat(s.c_str(), &st) == 0;
}

// A tree at root/tree: nested directories, a hidden file, odd names, links to files and
// directories inside and outside it (outside: root/out with a file), a dangling link and a
// link loop. Answers the paths of the entries outside the tree that must survive.
inline void BuildTree(const std::string &sRoot)
{
    const std::string t = sRoot + "/tree";
    Dir(sRoot + "/out");
    FilesWrite(sRoot + "/out/keep.txt", "outside");
    Dir(t);
    Dir(t + "/sub");
    Dir(t + "/sub/deep");
    FilesWrite(t + "/a.txt", "a");
    FilesWrite(t + "/b.dat", "bb");
    FilesWrite(t + "/.hidden.txt", "h");
    FilesWrite(t + "/with space.txt", "s");
    FilesWrite(t + "/-dash.txt", "d");
    FilesWrite(t + "/back\\slash.txt", "x");
    FilesWrite(t + "/sub/c.txt", "c");
    FilesWrite(t + "/sub/deep/d.txt", "d");
    Link("a.txt", t + "/link-file.txt");
    Link("sub", t + "/link-dir");
    Link(sRoot + "/out/keep.txt", t + "/link-out.txt");
    Link(sRoot + "/out", t + "/link-outdir");
    Link("missing", t + "/dangling.txt");
    Link("loop2", t + "/loop1");
    Link("loop1", t + "/loop2");
    Link("..", t + "/sub/up");
}

// Runs fn in a child and answers its exit code; -1 when it dies or outlives nSeconds
// (it is then killed).
inline int InChild(const std::function<int()> &fn, int nSeconds = 20)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    if (pid < 0)
        return -1;
    int nStatus = 0;
    for (int i = 0; i < nSeconds * 100; ++i) {
        pid_t r = waitpid(pid, &nStatus, WNOHANG);
        if (r == pid)
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
        struct timespec ts = {0, 10 * 1000 * 1000};
        nanosleep(&ts, nullptr);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &nStatus, 0);
    return -1;
}

} // namespace tqtree
