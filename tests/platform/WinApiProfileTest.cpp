#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "PlatformTestUtil.h"
#include "platform/WinApi.h"

using tqtest::CTempDir;
using tqplat::ReadFile;
using tqplat::WriteFile;

namespace {

const char *const kszSample =
    ": comment = ignored\n"
    "[General]\n"
    ":Name = commented\n"
    "Name = Alpha\r\n"
    "  indented=Beta\n"
    "key2 =  two  \n"
    "empty =\n"
    "NameLong = no\n"
    "no equal sign here\n"
    "[OTHER] trailing comment\n"
    "Value=7x\n"
    "[third]\n";

std::string Get(const char *pszSection, const char *pszKey, const char *pszDefault, const std::string &clFile,
                DWORD nSize = 256, DWORD *pnResult = nullptr)
{
    char szBuffer[256];
    memset(szBuffer, 'Z', sizeof szBuffer);
    DWORD n = GetPrivateProfileString(pszSection, pszKey, pszDefault, szBuffer, nSize, clFile.c_str());
    if (pnResult != nullptr)
        *pnResult = n;
    EXPECT_EQ(n, strlen(szBuffer));
    return szBuffer;
}

}  // namespace

TEST(Profile, LookupRules)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("sample.ini");
    WriteFile(clFile, kszSample);

    DWORD n = 0;
    // Section and key compared without regard to case; CR before LF dropped.
    EXPECT_EQ(Get("general", "NAME", "dflt", clFile, 256, &n), "Alpha");
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(Get("other", "value", nullptr, clFile), "7x");
    // Leading white space of the line ignored; blanks after '=' skipped, trailing kept.
    EXPECT_EQ(Get("General", "indented", nullptr, clFile), "Beta");
    EXPECT_EQ(Get("General", "key2", nullptr, clFile), "two  ");
    // Present but empty: found, default not used.
    EXPECT_EQ(Get("General", "empty", "dflt", clFile, 256, &n), "");
    EXPECT_EQ(n, 0u);
    // A longer key that only begins with the name does not match; neither do comments.
    EXPECT_EQ(Get("General", "NameL", "dflt", clFile), "dflt");
    EXPECT_EQ(Get("General", ":Name", "dflt", clFile), "dflt");
    // Keys are searched in their section only.
    EXPECT_EQ(Get("General", "Value", "dflt", clFile), "dflt");
    EXPECT_EQ(Get("missing", "Name", "dflt", clFile), "dflt");
    // The value and the default are cut to size - 1.
    EXPECT_EQ(Get("General", "Name", nullptr, clFile, 3, &n), "Al");
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(Get("General", "nothing", "default", clFile, 4), "def");

    EXPECT_EQ(GetPrivateProfileInt("OTHER", "Value", 0, clFile.c_str()), 7);
    EXPECT_EQ(GetPrivateProfileInt("OTHER", "Missing", -5, clFile.c_str()), -5);
    EXPECT_EQ(GetPrivateProfileInt("General", "Name", 12, clFile.c_str()), 0);
}

TEST(Profile, MissingFileGivesDefaultAndLeavesBuffer)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("absent.ini");
    char szBuffer[16] = "untouched";
    EXPECT_EQ(GetPrivateProfileString("S", "K", nullptr, szBuffer, sizeof szBuffer, clFile.c_str()), 0u);
    EXPECT_STREQ(szBuffer, "untouched");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "fallback", szBuffer, sizeof szBuffer, clFile.c_str()), 8u);
    EXPECT_STREQ(szBuffer, "fallback");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "x", szBuffer, sizeof szBuffer, nullptr), 1u);
}

TEST(Profile, ListsSectionsAndKeys)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("sample.ini");
    WriteFile(clFile, kszSample);

    DWORD n = 0;
    EXPECT_EQ(Get(nullptr, nullptr, nullptr, clFile, 256, &n), "General\r\nOTHER\r\nthird\r\n");
    EXPECT_EQ(n, 23u);
    EXPECT_EQ(Get("", "ignored", nullptr, clFile, 10), "General\r\n");
    EXPECT_EQ(Get("", nullptr, nullptr, clFile, 12), "General\r\nOT");

    EXPECT_EQ(Get("GENERAL", nullptr, nullptr, clFile), "Name\r\nindented\r\nkey2\r\nempty\r\nNameLong\r\n");
    // Listing stops once placed + 1 reaches the size; the last name may be cut.
    EXPECT_EQ(Get("General", "", nullptr, clFile, 8, &n), "Name\r\ni");
    EXPECT_EQ(n, 7u);
    // An empty section lists nothing and gives the default.
    EXPECT_EQ(Get("third", nullptr, "none", clFile), "none");

    char c = 'Q';
    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, &c, 0, clFile.c_str()), 0u);
    EXPECT_EQ(c, 'Q');
}

TEST(Profile, WritesReplaceInsertAndRemove)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("w.ini");
    const char *psz = clFile.c_str();
    WriteFile(clFile, "[Sect]\na = 1\nb = 2\n\n[Next]\nc = 3\n");

    // A new key goes before the blank line that ends the section.
    EXPECT_TRUE(WritePrivateProfileString("Sect", "new", "v", psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 1\nb = 2\nnew = v\n\n[Next]\nc = 3\n");
    // Replacing keeps the position; a longer and then a shorter value leave no debris.
    EXPECT_TRUE(WritePrivateProfileString("Sect", "a", "a much longer value", psz));
    EXPECT_TRUE(WritePrivateProfileString("Sect", "a", "9", psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nb = 2\nnew = v\n\n[Next]\nc = 3\n");
    // A null value removes the key line.
    EXPECT_TRUE(WritePrivateProfileString("Sect", "b", nullptr, psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nnew = v\n\n[Next]\nc = 3\n");
    // Removing a missing key changes nothing.
    EXPECT_TRUE(WritePrivateProfileString("Sect", "zz", nullptr, psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nnew = v\n\n[Next]\nc = 3\n");
    // A missing section is appended with its key.
    EXPECT_TRUE(WritePrivateProfileString("Zed", "k", "v v", psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nnew = v\n\n[Next]\nc = 3\n[Zed]\nk = v v\n");
    // A null key removes the section up to the next header.
    EXPECT_TRUE(WritePrivateProfileString("Next", nullptr, nullptr, psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nnew = v\n\n[Zed]\nk = v v\n");
    EXPECT_TRUE(WritePrivateProfileString("Zed", nullptr, "ignored", psz));
    EXPECT_EQ(ReadFile(clFile), "[Sect]\na = 9\nnew = v\n\n");
    // What was written reads back.
    EXPECT_EQ(Get("sect", "NEW", nullptr, clFile), "v");
}

TEST(Profile, InsertBeforeNextHeaderAndAppendAfterUnterminatedLine)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("w.ini");
    WriteFile(clFile, "[A]\nx = 1\n[B]\n");
    EXPECT_TRUE(WritePrivateProfileString("A", "y", "2", clFile.c_str()));
    EXPECT_EQ(ReadFile(clFile), "[A]\nx = 1\ny = 2\n[B]\n");

    // The last line has no line feed: appended text starts on a line of its own.
    WriteFile(clFile, "[S]\nx = 1");
    EXPECT_TRUE(WritePrivateProfileString("S", "y", "2", clFile.c_str()));
    EXPECT_EQ(ReadFile(clFile), "[S]\nx = 1\ny = 2\n");
    WriteFile(clFile, "[S]\nx = 1");
    EXPECT_TRUE(WritePrivateProfileString("T", "k", "v", clFile.c_str()));
    EXPECT_EQ(ReadFile(clFile), "[S]\nx = 1\n[T]\nk = v\n");
    EXPECT_EQ(Get("S", "x", nullptr, clFile), "1");

    // A key writing to a new file creates it; a section with no key writes nothing.
    std::string clNew = clDir.sFichier("new.ini");
    EXPECT_TRUE(WritePrivateProfileString("S", nullptr, nullptr, clNew.c_str()));
    EXPECT_EQ(ReadFile(clNew), "");
    EXPECT_TRUE(WritePrivateProfileString("S", "k", nullptr, clNew.c_str()));
    EXPECT_EQ(ReadFile(clNew), "[S]\n");
}

TEST(Profile, ReaderIgnoresCaseWriterDoesNot)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("case.ini");
    // An indented header, a line that opens a bracket without closing it, a tab separator.
    WriteFile(clFile, "  [Sect]\nx = 1\n[no close\ntabbed\t=\tt\n[Sect]\na = 1\n\n");
    EXPECT_EQ(Get("sect", "x", nullptr, clFile), "1");
    EXPECT_EQ(Get("SECT", "TABBED", nullptr, clFile), "t");
    EXPECT_EQ(Get("Sect", nullptr, nullptr, clFile), "x\r\ntabbed\r\n");

    // The writer skips the indented header and compares the key with its case.
    EXPECT_TRUE(WritePrivateProfileString("Sect", "A", "2", clFile.c_str()));
    EXPECT_EQ(ReadFile(clFile), "  [Sect]\nx = 1\n[no close\ntabbed\t=\tt\n[Sect]\na = 1\nA = 2\n\n");
    // ... and the section too: another case is another section.
    EXPECT_TRUE(WritePrivateProfileString("sect", "a", "3", clFile.c_str()));
    EXPECT_EQ(ReadFile(clFile), "  [Sect]\nx = 1\n[no close\ntabbed\t=\tt\n[Sect]\na = 1\nA = 2\n\n[sect]\na = 3\n");
}

TEST(Profile, WriterNamesAndFailures)
{
    CTempDir clDir;
    // Backslashes in the name are separators.
    std::string clBack = clDir.sChemin() + "\\back.ini";
    EXPECT_TRUE(WritePrivateProfileString("S", "k", "v", clBack.c_str()));
    EXPECT_EQ(ReadFile(clDir.sFichier("back.ini")), "[S]\nk = v\n");
    // A file that cannot be created: false, nothing written.
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", clDir.sFichier("no/such/dir.ini").c_str()));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", clDir.sChemin().c_str()));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", nullptr));
}

TEST(Profile, RelativeNamesReadFromHomeWrittenInCurrentDirectory)
{
    struct passwd *pEntry = getpwuid(getuid());
    ASSERT_NE(pEntry, nullptr);
    std::string clHome = pEntry->pw_dir;
    if (access(clHome.c_str(), W_OK) != 0)
        GTEST_SKIP() << "home directory not writable";

    CTempDir clDir;
    // The home directory comes from the password database, not from HOME.
    const char *pszOldHome = getenv("HOME");
    std::string clOldHome = pszOldHome != nullptr ? pszOldHome : "";
    setenv("HOME", clDir.sChemin().c_str(), 1);

    std::string clName = "tqplat-" + std::to_string(getpid()) + ".ini";
    std::string clInHome = clHome + "/" + clName;
    WriteFile(clInHome, "[S]\nwhere = home\n");
    WriteFile(clDir.sFichier(clName), "[S]\nwhere = cwd\n");
    {
        tqplat::CChangeDir clCd(clDir.sChemin());
        EXPECT_EQ(Get("S", "where", nullptr, clName), "home");
        EXPECT_EQ(Get("S", "where", nullptr, "./" + clName), "cwd");
        EXPECT_TRUE(WritePrivateProfileString("S", "added", "1", clName.c_str()));
    }
    EXPECT_EQ(ReadFile(clDir.sFichier(clName)), "[S]\nwhere = cwd\nadded = 1\n");
    EXPECT_EQ(ReadFile(clInHome), "[S]\nwhere = home\n");
    unlink(clInHome.c_str());

    char szConf[261];
    ASSERT_TRUE(bGetORMCONFPath(szConf));
    EXPECT_EQ(std::string(szConf), clHome + "/.ORM.conf");
    if (pszOldHome != nullptr)
        setenv("HOME", clOldHome.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST(Profile, NamesTooLongForTheBufferAreRefusedNotCut)
{
    struct passwd *pEntry = getpwuid(getuid());
    ASSERT_NE(pEntry, nullptr);
    std::string clHome = pEntry->pw_dir;
    if (access(clHome.c_str(), W_OK) != 0 || clHome.size() > 150)
        GTEST_SKIP() << "home directory not writable or too long for this test";

    // Reading: home + "/" + name is one character over the buffer; the file the
    // cut name would designate exists and must not be read.
    std::string clDir = "tqplat-long-" + std::to_string(getpid());
    std::string clName = clDir + "/" + std::string(MAX_PATH - clHome.size() - clDir.size() - 1, 'r');
    ASSERT_EQ(clHome.size() + 1 + clName.size(), static_cast<size_t>(MAX_PATH) + 1);
    std::string clCut = (clHome + "/" + clName).substr(0, MAX_PATH);
    ASSERT_EQ(mkdir((clHome + "/" + clDir).c_str(), 0700), 0);
    WriteFile(clCut, "[S]\nk = cut\n");
    EXPECT_EQ(Get("S", "k", "dflt", clName), "dflt");
    EXPECT_EQ(GetPrivateProfileInt("S", "k", -3, clName.c_str()), -3);
    // Exactly the buffer's length is still accepted.
    EXPECT_EQ(Get("S", "k", "dflt", clName.substr(0, clName.size() - 1)), "cut");
    unlink(clCut.c_str());
    rmdir((clHome + "/" + clDir).c_str());

    // Writing: a relative name of one character over the buffer fails and creates
    // nothing, though the cut name could be created.
    CTempDir clTmp;
    tqplat::CChangeDir clCd(clTmp.sChemin());
    std::string clSub(200, 'w');
    ASSERT_EQ(mkdir(clSub.c_str(), 0700), 0);
    std::string clLong = clSub + "/" + std::string(MAX_PATH - clSub.size(), 'f');
    ASSERT_EQ(clLong.size(), static_cast<size_t>(MAX_PATH) + 1);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", clLong.c_str()));
    EXPECT_NE(access(clLong.substr(0, MAX_PATH).c_str(), F_OK), 0);
    EXPECT_TRUE(WritePrivateProfileString("S", "k", "v", clLong.substr(0, MAX_PATH).c_str()));
    EXPECT_EQ(ReadFile(clLong.substr(0, MAX_PATH)), "[S]\nk = v\n");
    unlink(clLong.substr(0, MAX_PATH).c_str());
    rmdir(clSub.c_str());
}

TEST(Profile, DefaultProfileFileRoundTrip)
{
    char szConf[261];
    ASSERT_TRUE(bGetORMCONFPath(szConf));
    if (access(szConf, F_OK) != 0 && errno == ENOENT) {
        // Only when no real settings exist: the test must not disturb them.
        std::string clSection = "tqplat" + std::to_string(getpid());
        ASSERT_TRUE(WriteProfileString(clSection.c_str(), "k", "42"));
        char szValue[16];
        EXPECT_EQ(GetProfileString(clSection.c_str(), "K", "", szValue, sizeof szValue), 2u);
        EXPECT_STREQ(szValue, "42");
        EXPECT_EQ(GetProfileInt(clSection.c_str(), "k", 0), 42);
        EXPECT_EQ(ReadFile(szConf), "[" + clSection + "]\nk = 42\n");
        unlink(szConf);
    }
    EXPECT_EQ(GetProfileInt("no such section, surely", "k", 17), 17);
}

TEST(Profile, ConcurrentWritersLoseNothing)
{
    CTempDir clDir;
    std::string clFile = clDir.sFichier("shared.ini");
    WriteFile(clFile, "[S]\n\n[T]\n");
    const int knWrites = 200;
    // Both writers wait on the pipe so that they really run at the same time.
    int nGate[2];
    ASSERT_EQ(pipe(nGate), 0);
    pid_t nChildren[2];
    for (int nChild = 0; nChild < 2; nChild++) {
        nChildren[nChild] = fork();
        ASSERT_GE(nChildren[nChild], 0);
        if (nChildren[nChild] == 0) {
            close(nGate[1]);
            char c;
            if (read(nGate[0], &c, 1) < 0)
                _exit(2);
            for (int i = 0; i < knWrites; i++) {
                std::string clKey = "k" + std::to_string(nChild) + "_" + std::to_string(i);
                WritePrivateProfileString(nChild == 0 ? "S" : "T", clKey.c_str(), "value", clFile.c_str());
            }
            _exit(0);
        }
    }
    close(nGate[0]);
    close(nGate[1]);
    for (pid_t nPid : nChildren) {
        int nStatus = 0;
        ASSERT_EQ(waitpid(nPid, &nStatus, 0), nPid);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    }
    for (int nChild = 0; nChild < 2; nChild++) {
        for (int i = 0; i < knWrites; i++) {
            std::string clKey = "k" + std::to_string(nChild) + "_" + std::to_string(i);
            EXPECT_EQ(Get(nChild == 0 ? "S" : "T", clKey.c_str(), "lost", clFile), "value") << clKey;
        }
    }
}
