// Path names: splitting, extensions, joining, normalising and relative paths.
#include "files/DiskFile.h"
#include "strings/Tstring.h"
#include "FilesTestUtil.h"

#include <climits>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/wait.h>

namespace {

struct Split {
    std::string sDir, sName, sExt;
};

Split DoSplit(const char *psz)
{
    char d[261], n[261], e[261];
    CDiskFile::SplitPath(psz, d, n, e);
    return {d, n, e};
}

std::string Change(const char *pszPath, unsigned nSize, const char *pszExt)
{
    char buf[300];
    strcpy(buf, pszPath);
    CDiskFile::ChangeExtension(buf, nSize, pszExt);
    return buf;
}

std::string RealCwd()
{
    char sz[PATH_MAX];
    return getcwd(sz, sizeof sz) ? sz : "";
}

} // namespace

TEST(PathNames, SplitPathForms)
{
    Split s = DoSplit("/usr/lib/libx.so.1");
    EXPECT_EQ(s.sDir, "/usr/lib/");
    EXPECT_EQ(s.sName, "libx.so");
    EXPECT_EQ(s.sExt, ".1");
    s = DoSplit("/prog");
    EXPECT_EQ(s.sDir, "/");
    EXPECT_EQ(s.sName, "prog");
    EXPECT_EQ(s.sExt, "");
    s = DoSplit("prog");
    EXPECT_EQ(s.sDir, "");
    EXPECT_EQ(s.sName, "prog");
    s = DoSplit("C:\\dir\\file.txt");
    EXPECT_EQ(s.sDir, "C:/dir/");
    EXPECT_EQ(s.sName, "file");
    EXPECT_EQ(s.sExt, ".txt");
    s = DoSplit("dir/.profile");
    EXPECT_EQ(s.sName, "");
    EXPECT_EQ(s.sExt, ".profile");

    char drive[261] = "x", dir[261], nameExt[261];
    CDiskFile::SplitPath("C:\\dir\\file.txt", drive, dir, nullptr, nullptr);
    EXPECT_STREQ(drive, "");
    EXPECT_STREQ(dir, "C:/dir/");
    CDiskFile::SplitPath("/a/b.c/name.ext", dir, nameExt);
    EXPECT_STREQ(dir, "/a/b.c/");
    EXPECT_STREQ(nameExt, "name.ext");
    // Only some outputs wanted; none wanted does nothing.
    CDiskFile::SplitPath("/a/b.txt", nullptr, nullptr, nameExt);
    EXPECT_STREQ(nameExt, ".txt");
    CDiskFile::SplitPath("/a/b.txt", nullptr, nullptr, nullptr);

    // Outputs never exceed a path buffer, whatever the input.
    std::string sLong = "/" + std::string(600, 'd') + "/" + std::string(400, 'n') + ".e";
    char big[3][400];
    memset(big, 'Z', sizeof big);
    CDiskFile::SplitPath(sLong.c_str(), big[0], big[1], big[2]);
    EXPECT_EQ(strlen(big[0]), 260u);
    EXPECT_EQ(big[0][261], 'Z');
    EXPECT_EQ(strlen(big[1]), 260u);
    EXPECT_STREQ(big[2], ".e");
}

TEST(PathNames, ExtensionsChangeAndDelete)
{
    EXPECT_EQ(Change("prog", 261, "tql"), "prog.tql");
    EXPECT_EQ(Change("prog.exe", 261, ".tql"), "prog.tql");
    EXPECT_EQ(Change("prog.exe", 261, "tql"), "prog.tql");
    EXPECT_EQ(Change("a.b/prog", 261, "x"), "a.b/prog.x");
    EXPECT_EQ(Change("a.b\\prog", 261, "x"), "a.b/prog.x");
    EXPECT_EQ(Change("x.tar.gz", 261, "bz2"), "x.tar.bz2");
    EXPECT_EQ(Change("prog", 261, ""), "prog.");
    EXPECT_EQ(Change("prog.exe", 261, ""), "prog.");
    EXPECT_EQ(Change("name.", 261, "c"), "name.c");
    // Cut to the buffer size; no room for the dot: nothing changes.
    EXPECT_EQ(Change("prog.exe", 9, ".longer"), "prog.lon");
    EXPECT_EQ(Change("prog.exe", 8, ".x"), "prog.exe"); // longer than its stated buffer
    EXPECT_EQ(Change("prog", 7, "tql"), "prog.t");
    EXPECT_EQ(Change("prog", 5, "tql"), "prog");
    EXPECT_EQ(Change("prog", 6, "tql"), "prog.");
    EXPECT_EQ(Change("prog", 0, "tql"), "prog");

    char buf[261];
    strcpy(buf, "d.d\\x.tar.gz");
    CDiskFile::DelExtension(buf);
    EXPECT_STREQ(buf, "d.d/x.tar");
    strcpy(buf, "a.b/c");
    CDiskFile::DelExtension(buf);
    EXPECT_STREQ(buf, "a.b/c");
}

TEST(PathNames, DirectorySlashes)
{
    char buf[300] = "";
    CDiskFile::DirectoryWithEndSlash(buf);
    EXPECT_STREQ(buf, "");
    strcpy(buf, "a\\b");
    CDiskFile::DirectoryWithEndSlash(buf);
    EXPECT_STREQ(buf, "a/b/");
    CDiskFile::DirectoryWithEndSlash(buf);
    EXPECT_STREQ(buf, "a/b/");
    CDiskFile::DirectoryWithoutEndSlash(buf);
    EXPECT_STREQ(buf, "a/b");
    strcpy(buf, "/");
    CDiskFile::DirectoryWithoutEndSlash(buf);
    EXPECT_STREQ(buf, "");
    strcpy(buf, "a//\\");
    CDiskFile::DirectoryWithoutEndSlash(buf);
    EXPECT_STREQ(buf, "a");
    // A full path buffer gets no slash rather than an overflow.
    memset(buf, 'x', 260);
    buf[260] = 0;
    buf[261] = 'Z';
    CDiskFile::DirectoryWithEndSlash(buf);
    EXPECT_EQ(strlen(buf), 260u);
    EXPECT_EQ(buf[261], 'Z');

    CTString cl("x\\y");
    CDiskFile::DirectoryWithEndSlash(cl);
    EXPECT_STREQ(cl.pszGet(), "x/y/");
    CDiskFile::pszSlash2BackSlash(cl);
    EXPECT_STREQ(cl.pszGet(), "x\\y\\");
    CDiskFile::pszBackSlash2Slash(cl);
    EXPECT_STREQ(cl.pszGet(), "x/y/");
}

TEST(PathNames, Predicates)
{
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName("C:name"), "name");
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName("/a\\b/c.txt"), "c.txt");
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName("plain"), "plain");
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName("dir/"), "");
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName(""), "");

    EXPECT_TRUE(CDiskFile::bIsRelativePath("./x"));
    EXPECT_FALSE(CDiskFile::bIsRelativePath("x"));
    EXPECT_TRUE(CDiskFile::bIsRelativeFileName("x/y"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName("/x"));
    EXPECT_TRUE(CDiskFile::bIsRelativeFileName_WIN32(""));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32("\\x"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32("c:x"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32("dev:"));
    EXPECT_TRUE(CDiskFile::bIsRelativeFileName_WIN32("dir\\x"));
    EXPECT_TRUE(CDiskFile::bUNCName("\\\\server\\share"));
    EXPECT_FALSE(CDiskFile::bUNCName("\\\\server"));
    EXPECT_FALSE(CDiskFile::bUNCName("//server/share"));
    EXPECT_TRUE(CDiskFile::bIsAVirtualDirectory("."));
    EXPECT_TRUE(CDiskFile::bIsAVirtualDirectory(".."));
    EXPECT_FALSE(CDiskFile::bIsAVirtualDirectory("..."));
    EXPECT_FALSE(CDiskFile::bValidName("a:b"));
    EXPECT_FALSE(CDiskFile::bValidName("a*b"));
    EXPECT_FALSE(CDiskFile::bValidName("a|b"));
    EXPECT_TRUE(CDiskFile::bValidName("a.b"));
}

TEST(PathNames, MakeStandardizeAndCompare)
{
    char out[261];
    CDiskFile::MakePath(out, "/dir", "name", "txt");
    EXPECT_STREQ(out, "/dir/name.txt");
    CDiskFile::MakePath(out, "/dir/", "name", ".txt");
    EXPECT_STREQ(out, "/dir/name.txt");
    CDiskFile::MakePath(out, "", "name", nullptr);
    EXPECT_STREQ(out, "name");
    CDiskFile::MakePath(out, "/dir", "", "txt");
    EXPECT_STREQ(out, "/dir/");
    CDiskFile::MakePath(out, nullptr, nullptr, "txt");
    EXPECT_STREQ(out, "");
    // A directory written with backslashes gets no second separator.
    CDiskFile::MakePath(out, "C:\\dir\\", "sub\\name", "txt");
    EXPECT_STREQ(out, "C:/dir/sub/name.txt");
    // The output may be the directory's own buffer.
    strcpy(out, "/d");
    CDiskFile::MakePath(out, out, "n", ".e");
    EXPECT_STREQ(out, "/d/n.e");

    CDiskFile::StandardizeFileName(out, "a\\b \t\r\n");
    EXPECT_STREQ(out, "a/b");
    strcpy(out, "x\\y  ");
    CDiskFile::StandardizeFileName(out, nullptr);
    EXPECT_STREQ(out, "x/y");

    EXPECT_TRUE(CDiskFile::bSameFileName("a\\b ", "a/b"));
    EXPECT_FALSE(CDiskFile::bSameFileName("a/B", "a/b"));
    EXPECT_TRUE(CDiskFile::bSameDirectoryName("/a/b/", "\\a\\b"));
    EXPECT_FALSE(CDiskFile::bSameDirectoryName("/a/b//", "/a/b"));
    {
        CFilesTempDir tmp;
        CFilesChdir cd(tmp.Path());
        std::string sCwd = RealCwd();
        EXPECT_TRUE(CDiskFile::bSameDirectoryNameEx("sub/", true, (sCwd + "/sub").c_str(), false));
        EXPECT_FALSE(CDiskFile::bSameDirectoryNameEx("sub/", false, (sCwd + "/sub").c_str(), false));
    }
}

TEST(PathNames, GetFullPathName)
{
    CFilesTempDir tmp;
    CFilesChdir cd(tmp.Path());
    std::string sCwd = RealCwd();
    char out[600];
    unsigned n = CDiskFile::GetFullPathName("x/../y", sizeof out, out, nullptr);
    EXPECT_EQ(std::string(out), sCwd + "/y");
    EXPECT_EQ(n, sCwd.size() + 2);
    // Normalisation rules: "/./" collapses, a trailing "/.." or "/." and doubled slashes stay.
    n = CDiskFile::GetFullPathName("/a/b/../c/./d", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/a/c/d");
    EXPECT_EQ(n, 6u);
    CDiskFile::GetFullPathName("/a/b/..", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/a/b/..");
    CDiskFile::GetFullPathName("/a//b/.", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/a//b/.");
    CDiskFile::GetFullPathName("\\a\\b\\..\\c", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/a/c");
    // Above the root stays at the root.
    CDiskFile::GetFullPathName("/../x", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/x");
    CDiskFile::GetFullPathName("/a/../../../x/./y", sizeof out, out, nullptr);
    EXPECT_STREQ(out, "/x/y");
    // "." components go before ".." climbs out of a directory, or ".." would climb
    // out of the "." and leave the wrong directory.
    const struct {
        const char *pszIn, *pszOut;
    } aDots[] = {
        {"/a/./../b", "/b"},
        {"/a/b/./../c", "/a/c"},
        {"/a/././../b", "/b"},
        {"/a/./b/./../../c", "/c"},
        {"/a/./..", "/a/.."},
        {"/a//./b", "/a//b"},
        {"/a/./.", "/a/."},
    };
    for (const auto &st : aDots) {
        n = CDiskFile::GetFullPathName(st.pszIn, sizeof out, out, nullptr);
        EXPECT_STREQ(out, st.pszOut) << st.pszIn;
        EXPECT_EQ(n, strlen(st.pszOut)) << st.pszIn;
    }

    // Too small: the size needed, nothing written.
    strcpy(out, "untouched");
    EXPECT_EQ(CDiskFile::GetFullPathName("/abc", 4, out, nullptr), 5u);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(CDiskFile::GetFullPathName("/abc", 5, out, nullptr), 4u);
    EXPECT_EQ(CDiskFile::GetFullPathName("rel", sCwd.size() + 4, out, nullptr), sCwd.size() + 5);
    EXPECT_EQ(CDiskFile::GetFullPathName("rel", sCwd.size() + 5, out, nullptr), sCwd.size() + 4);
    EXPECT_STREQ(out, (sCwd + "/rel").c_str());
    // Not even the current directory fits: twice the size asked.
    EXPECT_EQ(CDiskFile::GetFullPathName("rel", 2, out, nullptr), 4u);
    EXPECT_EQ(CDiskFile::GetFullPathName("", sizeof out, out, nullptr), 0u);
    EXPECT_EQ(CDiskFile::GetFullPathName("/x", 100, nullptr, nullptr), 3u);

    char *pszPart = reinterpret_cast<char *>(&n);
    CDiskFile::GetFullPathName("/x", sizeof out, out, &pszPart);
    EXPECT_EQ(pszPart, reinterpret_cast<char *>(&n));

    unsigned nLen = 0;
    EXPECT_TRUE(CDiskFile::bGetFullPath(out, sizeof out, "/ab", &nLen));
    EXPECT_EQ(nLen, 4u);
    EXPECT_FALSE(CDiskFile::bGetFullPath(out, 3, "/ab", &nLen));
    EXPECT_EQ(nLen, 4u);
    EXPECT_TRUE(CDiskFile::bStandardizeExistingFileName(out, sizeof out, "q"));
    EXPECT_EQ(std::string(out), sCwd + "/q");
    EXPECT_TRUE(CDiskFile::bGetUNCName(out, sizeof out, "/q/./r"));
    EXPECT_STREQ(out, "/q/r");
    EXPECT_TRUE(CDiskFile::bGetLongPathName(out, 4, "/long"));
    EXPECT_STREQ(out, "/lo");
    EXPECT_TRUE(CDiskFile::bGetCurrentDirectory(out));
    EXPECT_EQ(std::string(out), sCwd);
}

TEST(PathNames, GetFullPathNameHome)
{
    char out[600];
    struct passwd *pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    std::string sHome = pw->pw_dir;
    unsigned n = CDiskFile::GetFullPathName("~/conf", sizeof out, out, nullptr);
    EXPECT_EQ(std::string(out), sHome + "/conf");
    EXPECT_EQ(n, sHome.size() + 5);
    EXPECT_EQ(CDiskFile::GetFullPathName("~/conf", 3, out, nullptr), sHome.size() + 6 + 3);

    // A user without a password entry: $HOME stands in, and with no $HOME the answer is 0.
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to change to a user without a password entry";
    uid_t uidFree = 0x7ffe1234;
    ASSERT_EQ(getpwuid(uidFree), nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setuid(uidFree) != 0)
            _exit(10);
        setenv("HOME", "/nowhere/home", 1);
        char buf[300];
        unsigned n1 = CDiskFile::GetFullPathName("~/x", sizeof buf, buf, nullptr);
        if (n1 != strlen("/nowhere/home/x") || strcmp(buf, "/nowhere/home/x") != 0)
            _exit(11);
        unsetenv("HOME");
        if (CDiskFile::GetFullPathName("~/x", sizeof buf, buf, nullptr) != 0)
            _exit(12);
        _exit(0);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
}

TEST(PathNames, RelativeToFull)
{
    char out[261];
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, ".", "/base/dir"));
    EXPECT_STREQ(out, "/base/dir");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, "/abs/x", "/base"));
    EXPECT_STREQ(out, "/abs/x");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, "plain", "/base"));
    EXPECT_STREQ(out, "plain");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, ".\\sub\\f", "/base//"));
    EXPECT_STREQ(out, "/base/sub/f");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, "../x", "/a/b/c"));
    EXPECT_STREQ(out, "/a/b/x");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, "../../x", "/a/b/c/"));
    EXPECT_STREQ(out, "/a/x");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, "..\\..\\..\\..\\x", "/a/b"));
    EXPECT_STREQ(out, "/x");
    EXPECT_TRUE(CDiskFile::bRelativeToFullPath(out, ".hidden", "/a"));
    EXPECT_STREQ(out, "/a/.hidden");
    // Results longer than a path buffer fail.
    std::string sBase = "/" + std::string(255, 'b');
    EXPECT_FALSE(CDiskFile::bRelativeToFullPath(out, "./abcdef", sBase.c_str()));
    EXPECT_FALSE(CDiskFile::bRelativeToFullPath(out, "../abcdefgh", (sBase + "/c").c_str()));
    EXPECT_FALSE(CDiskFile::bRelativeToFullPath(out, std::string(300, 'p').c_str(), "/"));
}

TEST(PathNames, PathRelativeTo)
{
    char out[261];
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "/a/bc/d", "/a/b", false));
    EXPECT_STREQ(out, "../bc/d");
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "/a/b/c", "/a/b/", false));
    EXPECT_STREQ(out, "./c");
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "\\x\\y", "/a/b", false));
    EXPECT_STREQ(out, "../../x/y");
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "/p/q", "", false));
    EXPECT_STREQ(out, "/p/q");
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "b", "a", false));
    EXPECT_STREQ(out, "../b");
    EXPECT_FALSE(CDiskFile::bPathRelativePathTo(out, "b", "a", true));
    EXPECT_TRUE(CDiskFile::bPathRelativePathTo(out, "/x", "/a", true));
    EXPECT_STREQ(out, "../x");
    std::string sDeep;
    for (int i = 0; i < 100; ++i)
        sDeep += "/d";
    EXPECT_FALSE(CDiskFile::bPathRelativePathTo(out, "/x", sDeep.c_str(), false));
}

TEST(PathNames, TempNames)
{
    char szDir[261], szName[261];
    ASSERT_TRUE(CDiskFile::bGetTempDirectory(szDir));
    ASSERT_GT(strlen(szDir), 0u);
    EXPECT_EQ(szDir[strlen(szDir) - 1], '/');
    EXPECT_TRUE(CDiskFile::bIsADirectory(szDir));

    CFilesTempDir tmp;
    ASSERT_TRUE(CDiskFile::bGetTempName(szName, tmp.Path().c_str(), "pre"));
    EXPECT_EQ(std::string(szName).rfind(tmp.Path() + "/pre", 0), 0u);
    EXPECT_TRUE(CDiskFile::bIsAFile(szName));
    EXPECT_EQ(CDiskFile::oGetSize(szName), 0);
    char szOther[261];
    ASSERT_TRUE(CDiskFile::bGetTempName(szOther, (tmp.Path() + "/").c_str(), "pre"));
    EXPECT_STRNE(szName, szOther);
    EXPECT_FALSE(CDiskFile::bGetTempName(szName, (tmp.Path() + "/missing").c_str(), "p"));
    std::string sBack = tmp.Path() + "\\";
    ASSERT_TRUE(CDiskFile::bGetTempName(szName, sBack.c_str(), "bs"));
    EXPECT_EQ(std::string(szName).rfind(tmp.Path() + "/bs", 0), 0u);
    EXPECT_TRUE(CDiskFile::bIsAFile(szName));

    const char *pszOld = getenv("TMPDIR");
    const std::string sOld = pszOld ? pszOld : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    EXPECT_TRUE(CDiskFile::bGetTempName(szName, "tq"));
    if (pszOld)
        setenv("TMPDIR", sOld.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(std::string(szName).rfind(tmp.Path() + "/tq", 0), 0u);
    EXPECT_TRUE(CDiskFile::bIsAFile(szName));
}
