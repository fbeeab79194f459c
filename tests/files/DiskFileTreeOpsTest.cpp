// Tree deletion, rename, move, copy, join and cut on real files: links inside and
// outside a tree, loops, odd names, unreadable directories, a file onto itself.
#include "files/DiskFile.h"
#include "DiskFileTreeTestUtil.h"

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/statvfs.h>

using namespace tqtree;

namespace {

std::string Pattern(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>('A' + (i * 7 + i / 251) % 26);
    return s;
}

// Drops to the unprivileged user in its own mount namespace; false if that fails.
bool bBecomeNobody(uid_t uid)
{
    return unshare(CLONE_NEWNS) == 0 && setgroups(0, nullptr) == 0 && setgid(uid) == 0 &&
           setuid(uid) == 0;
}

} // namespace

TEST(DiskFileTreeDelete, RemovesTheTreeAndNothingOutside)
{
    CFilesTempDir tmp;
    BuildTree(tmp.Path());
    const std::string t = tmp / "tree";
    const std::string sLongDir = t + "/" + std::string(255, 'D');
    Dir(sLongDir);
    FilesWrite(sLongDir + "/" + std::string(255, 'f'), "deep and long");

    // Purging keeps the directory and empties it.
    ASSERT_TRUE(CDiskFile::bPurgeTree((t + "\\").c_str())) << strerror(errno);
    EXPECT_TRUE(CDiskFile::bIsADirectory(t.c_str()));
    EXPECT_FALSE(Exists(t + "/sub"));
    EXPECT_FALSE(Exists(t + "/loop1"));
    EXPECT_EQ(FilesRead(tmp / "out/keep.txt"), "outside");

    Dir(tmp / "again");
    BuildTree(tmp / "again");
    const std::string t2 = tmp / "again/tree";
    // A link given as the tree is removed itself; its target keeps its content.
    Link(t2, tmp / "link-to-tree");
    ASSERT_TRUE(CDiskFile::bDeleteTree((tmp / "link-to-tree/").c_str()));
    EXPECT_FALSE(Exists(tmp / "link-to-tree"));
    EXPECT_TRUE(Exists(t2 + "/sub/deep/d.txt"));

    ASSERT_TRUE(CDiskFile::bDeleteTree(t2.c_str())) << strerror(errno);
    EXPECT_FALSE(Exists(t2));
    EXPECT_EQ(FilesRead(tmp / "again/out/keep.txt"), "outside");

    errno = 0;
    EXPECT_FALSE(CDiskFile::bDeleteTree((tmp / "missing").c_str()));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(CDiskFile::bDeleteTree(""));
    {
        CFilesChdir cd(tmp / "again/out");
        EXPECT_FALSE(CDiskFile::bDeleteTree("."));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_FALSE(CDiskFile::bDeleteTree("../out/.."));
        EXPECT_EQ(FilesRead(tmp / "again/out/keep.txt"), "outside") << "refused before emptying";
    }
    EXPECT_FALSE(CDiskFile::bPurgeTree(nullptr));
    FilesWrite(tmp / "plain", "p");
    EXPECT_FALSE(CDiskFile::bDeleteTree((tmp / "plain").c_str()));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_TRUE(Exists(tmp / "plain"));
}

TEST(DiskFileTreeDelete, LinkGivenAsTheTreeIsNeverEntered)
{
    // S/l_out points outside S: emptying or walking it would delete files that
    // are not the tree's, however the link is written.
    CFilesTempDir tmp;
    BuildTree(tmp.Path());
    const std::string l = tmp / "tree/link-outdir";
    struct Op {
        const char *what;
        std::function<bool(const char *)> fn;
    } ops[] = {
        {"purge", [](const char *p) { return CDiskFile::bPurgeTree(p); }},
        {"force purge", [](const char *p) { return CDiskFile::bForcePurgeTree(p); }},
        {"delete files, recursive", [](const char *p) { return CDiskFile::bForceDeleteOnFileTree(p, "*", 1); }},
        {"delete files, flat", [](const char *p) { return CDiskFile::bForceDeleteOnFileTree(p, "*.txt", 0); }},
    };
    for (const Op &op : ops)
        for (const std::string &path : {l, l + "/", l + "\\", l + "//"}) {
            errno = 0;
            EXPECT_FALSE(op.fn(path.c_str())) << op.what << " " << path;
            EXPECT_EQ(errno, ENOTDIR) << op.what << " " << path;
            EXPECT_EQ(FilesRead(tmp / "out/keep.txt"), "outside") << op.what << " " << path;
            EXPECT_TRUE(Exists(l)) << op.what << " " << path;
        }
    // The directory itself is still purged and walked as before.
    EXPECT_TRUE(CDiskFile::bForceDeleteOnFileTree((tmp / "out/").c_str(), "*", 1));
    EXPECT_FALSE(Exists(tmp / "out/keep.txt"));
    EXPECT_TRUE(CDiskFile::bPurgeTree((tmp / "tree").c_str()));
    EXPECT_TRUE(Exists(tmp / "out"));
}

TEST(DiskFileTreeDelete, PatternsReadOnlyFilesAndSingleEntries)
{
    CFilesTempDir tmp;
    const std::string t = tmp / "t";
    Dir(t);
    Dir(t + "/x");
    FilesWrite(t + "/x\\y.tmp", "name with a back slash");
    FilesWrite(t + "/x/y.tmp", "the file the back slash would name");
    FilesWrite(t + "/keep.dat", "k");
    ASSERT_TRUE(CDiskFile::bForceDeleteOnFileTree(t.c_str(), "*.tmp", 0));
    EXPECT_FALSE(Exists(t + "/x\\y.tmp"));
    EXPECT_EQ(FilesRead(t + "/x/y.tmp"), "the file the back slash would name");
    EXPECT_TRUE(Exists(t + "/keep.dat"));
    ASSERT_TRUE(CDiskFile::bForceDeleteOnFileTree(t.c_str(), "*.tmp", 1));
    EXPECT_FALSE(Exists(t + "/x/y.tmp"));

    FilesWrite(t + "/x/ro.txt", "r");
    ASSERT_EQ(chmod((t + "/x/ro.txt").c_str(), 0444), 0);
    Link("/etc/passwd", t + "/x/passwd-link");
    ASSERT_TRUE(CDiskFile::bDeleteTreeEvenReadOnly(t.c_str()));
    EXPECT_FALSE(Exists(t));
    EXPECT_TRUE(Exists("/etc/passwd"));

    Dir(t);
    FilesWrite(t + "/f", "f");
    EXPECT_FALSE(CDiskFile::bDeleteDirectory(t.c_str()));
    EXPECT_EQ(errno, ENOTEMPTY);
    EXPECT_TRUE(CDiskFile::bDelete((tmp.Path() + "\\t\\f").c_str()));
    EXPECT_FALSE(CDiskFile::bForceDelete((t + "/f").c_str()));
    EXPECT_TRUE(CDiskFile::bDeleteDirectory(t.c_str()));
    EXPECT_FALSE(CDiskFile::bDelete(("/" + std::string(300, 'x')).c_str()));
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST(DiskFileTreeDelete, RootIsNeverPurged)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to change the root directory";
    CFilesTempDir tmp;
    FilesWrite(tmp / "survivor", "s");
    // Inside a changed root, "/" is the temporary directory: a fault costs only it.
    int n = InChild([&]() {
        if (unshare(CLONE_NEWNS) != 0 || chroot(tmp.Path().c_str()) != 0 || chdir("/") != 0)
            return 10;
        if (CDiskFile::bPurgeTree("/") || errno != EPERM)
            return 11;
        if (CDiskFile::bDeleteTree("//") || CDiskFile::bDeleteTreeEvenReadOnly("/") ||
            CDiskFile::bDeleteTreeEvenReadOnly("/."))
            return 12;
        return 0;
    });
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(Exists(tmp / "survivor"));
}

TEST(DiskFileTreeDelete, UnreadableDirectoriesAsAnotherUser)
{
    struct passwd *pw = getpwnam("nobody");
    if (getuid() != 0 || !pw)
        GTEST_SKIP() << "needs root and the user nobody";
    CFilesTempDir tmp;
    const uid_t uid = pw->pw_uid;
    const std::string t = tmp / "t";
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    Dir(t);
    Dir(t + "/open");
    Dir(t + "/locked");
    FilesWrite(t + "/open/f.txt", "f");
    FilesWrite(t + "/locked/inner.txt", "i");
    FilesWrite(t + "/secret", "secret");
    for (const char *psz : {"", "/open", "/locked", "/open/f.txt", "/locked/inner.txt"})
        ASSERT_EQ(chown((t + psz).c_str(), uid, uid), 0);
    ASSERT_EQ(chmod((t + "/locked").c_str(), 0), 0);
    ASSERT_EQ(chmod((t + "/secret").c_str(), 0600), 0);

    int n = InChild([&]() {
        if (!bBecomeNobody(uid))
            return 10;
        auto pfnAll = [](const char *, void *) { return true; };
        if (CDiskFile::bDoOnFileTree(t.c_str(), "*", pfnAll, nullptr, 0, 1) || errno != EACCES)
            return 11;
        if (CDiskFile::bCopy((t + "/copy").c_str(), (t + "/secret").c_str()) || errno != EACCES)
            return 12;
        if (CDiskFile::bDeleteTree(t.c_str()) || errno != EACCES)
            return 13;
        return 0;
    });
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(Exists(t + "/locked/inner.txt"));
    EXPECT_FALSE(Exists(t + "/copy")) << "a source that cannot be read creates nothing";
    EXPECT_EQ(FilesRead(t + "/secret"), "secret");
    ASSERT_EQ(chmod((t + "/locked").c_str(), 0700), 0);
}

TEST(DiskFileTreeMove, RenameMoveAndTheirFailures)
{
    CFilesTempDir tmp;
    FilesWrite(tmp / "a", "A");
    FilesWrite(tmp / "b", "B");
    Link("nowhere", tmp / "dangling");

    EXPECT_FALSE(CDiskFile::bRename((tmp / "b").c_str(), (tmp / "a").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(CDiskFile::bRename((tmp / "dangling").c_str(), (tmp / "a").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(FilesRead(tmp / "a"), "A");
    EXPECT_EQ(FilesRead(tmp / "b"), "B");
    ASSERT_TRUE(CDiskFile::bRename((tmp.Path() + "\\c").c_str(), (tmp / "a").c_str()));
    EXPECT_EQ(FilesRead(tmp / "c"), "A");
    EXPECT_FALSE(Exists(tmp / "a"));

    ASSERT_TRUE(CDiskFile::bMove((tmp / "b").c_str(), (tmp / "c").c_str()));
    EXPECT_EQ(FilesRead(tmp / "b"), "A");
    EXPECT_FALSE(Exists(tmp / "c"));
    EXPECT_TRUE(CDiskFile::bMove((tmp / "b").c_str(), (tmp.Path() + "\\b").c_str()));
    EXPECT_EQ(FilesRead(tmp / "b"), "A");

    // A failing move leaves the destination alone.
    EXPECT_FALSE(CDiskFile::bMove((tmp / "b").c_str(), (tmp / "missing").c_str()));
    EXPECT_EQ(FilesRead(tmp / "b"), "A");
    Dir(tmp / "d");
    FilesWrite(tmp / "d/inside", "i");
    EXPECT_FALSE(CDiskFile::bMove((tmp / "d").c_str(), (tmp / "b").c_str()));
    EXPECT_EQ(FilesRead(tmp / "d/inside"), "i");
    EXPECT_EQ(FilesRead(tmp / "b"), "A");

    // Across file systems the rename fails and nothing is lost.
    struct stat stShm, stTmp;
    if (stat("/dev/shm", &stShm) == 0 && stat(tmp.Path().c_str(), &stTmp) == 0 &&
        stShm.st_dev != stTmp.st_dev) {
        char sz[] = "/dev/shm/tqtree-XXXXXX";
        int fd = mkstemp(sz);
        ASSERT_GE(fd, 0);
        close(fd);
        FilesWrite(sz, "other fs");
        EXPECT_FALSE(CDiskFile::bMove((tmp / "b").c_str(), sz));
        EXPECT_EQ(errno, EXDEV);
        EXPECT_EQ(FilesRead(tmp / "b"), "A");
        EXPECT_EQ(FilesRead(sz), "other fs");
        unlink(sz);
    }
}

TEST(DiskFileTreeCopy, CopyContentAndSameFileRefused)
{
    CFilesTempDir tmp;
    for (size_t n : {0u, 1u, 1023u, 1024u, 1025u, 3u << 20}) {
        const std::string sData = Pattern(n);
        FilesWrite(tmp / "src", sData);
        FilesWrite(tmp / "dst", std::string(5000, 'z')); // longer: must be emptied
        ASSERT_TRUE(CDiskFile::bCopy((tmp / "dst").c_str(), (tmp.Path() + "\\src").c_str())) << n;
        EXPECT_TRUE(FilesRead(tmp / "dst") == sData) << n;
    }
    ASSERT_TRUE(CDiskFile::bCopy((tmp / "new").c_str(), (tmp / "src").c_str()));
    EXPECT_EQ(CDiskFile::oGetSize((tmp / "new").c_str()), 3 << 20);

    // The same file under another name, a hard link or a symbolic link is refused intact.
    ASSERT_EQ(link((tmp / "src").c_str(), (tmp / "hard").c_str()), 0);
    Link("src", tmp / "soft");
    for (const char *pszOther : {"src", "./src", "hard", "soft"}) {
        EXPECT_FALSE(CDiskFile::bCopy((tmp / pszOther).c_str(), (tmp / "src").c_str())) << pszOther;
        EXPECT_EQ(errno, EINVAL);
        EXPECT_FALSE(CDiskFile::bConcat((tmp / pszOther).c_str(), (tmp / "src").c_str())) << pszOther;
        EXPECT_EQ(CDiskFile::oGetSize((tmp / "src").c_str()), 3 << 20) << pszOther;
    }

    EXPECT_TRUE(CDiskFile::bCopy("/dev/null", (tmp / "src").c_str())) << "a device is not emptied";
    EXPECT_FALSE(CDiskFile::bCopy((tmp / "none").c_str(), (tmp / "missing").c_str()));
    EXPECT_FALSE(Exists(tmp / "none"));
    Dir(tmp / "dir");
    EXPECT_FALSE(CDiskFile::bCopy((tmp / "dst").c_str(), (tmp / "dir").c_str()));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(FilesRead(tmp / "dst"), Pattern(3u << 20)) << "a source that cannot be read leaves it";
}

TEST(DiskFileTreeCopy, ConcatAndExtract)
{
    CFilesTempDir tmp;
    FilesWrite(tmp / "d", "head-");
    FilesWrite(tmp / "s", Pattern(70000));
    ASSERT_TRUE(CDiskFile::bConcat((tmp / "d").c_str(), (tmp / "s").c_str()));
    EXPECT_TRUE(FilesRead(tmp / "d") == "head-" + Pattern(70000));
    // A missing source is created empty and the destination is unchanged.
    ASSERT_TRUE(CDiskFile::bConcat((tmp / "d").c_str(), (tmp / "new").c_str()));
    EXPECT_TRUE(Exists(tmp / "new"));
    EXPECT_EQ(CDiskFile::oGetSize((tmp / "d").c_str()), 70005);

    // Cuts: a range, the rest from an offset, onto itself refused.
    const std::string sData = Pattern(100000);
    FilesWrite(tmp / "whole", sData);
    CDiskFile f;
    ASSERT_TRUE(f.bOpen((tmp / "whole").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_TRUE(f.bExtract((tmp / "part").c_str(), 10, 70000));
    EXPECT_TRUE(FilesRead(tmp / "part") == sData.substr(10, 70000));
    ASSERT_TRUE(f.bExtract((tmp / "part").c_str(), 99990, -1));
    EXPECT_EQ(FilesRead(tmp / "part"), sData.substr(99990));
    EXPECT_FALSE(f.bExtract((tmp / "whole").c_str(), 0, 10));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(FilesRead(tmp / "whole") == sData);
    ASSERT_TRUE(CDiskFile::bExtract((tmp / "part").c_str(), (tmp / "whole").c_str(), 5, 5));
    EXPECT_EQ(FilesRead(tmp / "part"), sData.substr(5, 5));

    CDiskFile g;
    ASSERT_TRUE(g.bOpen((tmp / "part").c_str(), XACCESS_WRITE, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_TRUE(g.bExtractFromFile((tmp / "whole").c_str(), 99000, -1));
    EXPECT_TRUE(FilesRead(tmp / "part") == sData.substr(5, 5) + sData.substr(99000));
    EXPECT_FALSE(g.bExtractFromFile((tmp / "part").c_str(), 0, -1));
    EXPECT_EQ(errno, EINVAL);
    // This file open for writing only: the read fails and the new target is removed.
    EXPECT_FALSE(g.bExtract((tmp / "failed").c_str(), 0, 10));
    EXPECT_FALSE(Exists(tmp / "failed"));
    CDiskFile closed;
    EXPECT_FALSE(closed.bExtract((tmp / "x").c_str(), 0, 1));
    EXPECT_FALSE(Exists(tmp / "x"));
}

TEST(DiskFileTreeCopy, DiskSpace)
{
    unsigned long long oTotal = 0, oFree = 0, oFree2 = 0;
    ASSERT_TRUE(CDiskFile::bGetDiskSpace("/", &oTotal, &oFree));
    struct statvfs st;
    ASSERT_EQ(statvfs("/", &st), 0);
    EXPECT_EQ(oTotal, static_cast<unsigned long long>(st.f_blocks) * st.f_frsize / 1024);
    EXPECT_LE(oFree, oTotal);
    EXPECT_TRUE(CDiskFile::bGetDiskFreeSpace(nullptr, &oFree2));
    EXPECT_TRUE(CDiskFile::bGetDiskSpace(nullptr, nullptr, nullptr));
    EXPECT_FALSE(CDiskFile::bGetDiskSpace("/no/such/place", &oTotal, &oFree));
}
