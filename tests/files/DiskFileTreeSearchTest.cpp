// Directory search and tree walks on real trees: wildcards, attribute filters,
// hidden names, links never followed, walk order, long paths refused.
#include "files/DiskFile.h"
#include "DiskFileTreeTestUtil.h"

#include <algorithm>
#include <random>
#include <set>
#include <vector>

using namespace tqtree;

namespace {

// Plain recursive matcher, the meaning the fast one must keep.
bool RefMatch(const char *s, const char *p)
{
    if (*p == 0)
        return *s == 0;
    if (*p == '*')
        return RefMatch(s, p + 1) || (*s && RefMatch(s + 1, p));
    return *s && (*p == '?' || *p == *s) && RefMatch(s + 1, p + 1);
}

std::set<std::string> Search(const std::string &sPath, uint32_t dwRequired, uint32_t dwExcluded,
                             std::vector<_stXFINDDATA> *pFound = nullptr)
{
    std::set<std::string> names;
    _stXFINDDATA st;
    if (CDiskFile::bFindFirst(sPath.c_str(), &st, dwRequired, dwExcluded)) {
        do {
            names.insert(st.szName);
            if (pFound)
                pFound->push_back(st);
        } while (CDiskFile::bFindNext(&st));
    }
    EXPECT_EQ(st.pDir, nullptr);
    return names;
}

bool Collect(const char *pszPath, void *pData)
{
    static_cast<std::vector<std::string> *>(pData)->push_back(pszPath);
    return true;
}

} // namespace

TEST(DiskFileTreeSearch, WildcardMatcher)
{
    struct {
        const char *pszName, *pszPattern;
        bool bMatch;
    } cases[] = {
        {"a.txt", "*.txt", true},   {"a", "*", true},          {"ab", "a?", true},
        {"a.txt", "*.TXT", false},  {"a", "a?", false},        {"abc", "a*c", true},
        {"abxbc", "a*b*c", true},   {"abxb", "a*b*c", false},  {".hidden", "*", true},
        {"x.tar.gz", "*.gz", true}, {"x.tar.gz", "*.tar", false}, {"", "*", true},
        {"", "?", false},           {"aaa", "a*a*a*a", false}, {"a*b", "a\\*b", false},
        {"a?c", "a?c", true},       {"abc", "", false},        {"\xE9.txt", "?.txt", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CDiskFile::_bFiltreFileName(c.pszName, c.pszPattern), c.bMatch)
            << c.pszName << " / " << c.pszPattern;
    EXPECT_FALSE(CDiskFile::_bFiltreFileName(nullptr, "*"));
    EXPECT_FALSE(CDiskFile::_bFiltreFileName("a", nullptr));

    // Random names and patterns over a small alphabet, where backtracking matters.
    std::mt19937 rng(12);
    const char szAlphabet[] = "ab*?";
    for (int i = 0; i < 20000; ++i) {
        std::string s, p;
        for (int n = static_cast<int>(rng() % 9); n > 0; --n)
            s += "ab"[rng() % 2];
        for (int n = static_cast<int>(rng() % 7); n > 0; --n)
            p += szAlphabet[rng() % 4];
        ASSERT_EQ(CDiskFile::_bFiltreFileName(s.c_str(), p.c_str()), RefMatch(s.c_str(), p.c_str()))
            << s << " / " << p;
    }
    // Many stars against a long name that fails at its very end: finishes at once.
    std::string sLong(20000, 'a'), sStars;
    for (int i = 0; i < 30; ++i)
        sStars += "*a";
    EXPECT_FALSE(CDiskFile::_bFiltreFileName(sLong.c_str(), (sStars + "b").c_str()));
    EXPECT_TRUE(CDiskFile::_bFiltreFileName(sLong.c_str(), (sStars + "*").c_str()));
}

TEST(DiskFileTreeSearch, FindFiltersAndAttributes)
{
    CFilesTempDir tmp;
    BuildTree(tmp.Path());
    const std::string t = tmp / "tree";

    std::vector<_stXFINDDATA> found;
    std::set<std::string> all = Search(t + "/*", 0, 0, &found);
    EXPECT_EQ(all, (std::set<std::string>{"a.txt", "b.dat", ".hidden.txt", "with space.txt",
                                          "-dash.txt", "back\\slash.txt", "sub", "link-file.txt",
                                          "link-dir", "link-out.txt", "link-outdir",
                                          "dangling.txt", "loop1", "loop2"}));
    for (const auto &st : found) {
        std::string s = st.szName;
        EXPECT_EQ((st.dwAttributes & XATTRIBUTE_HIDDEN) != 0, s[0] == '.') << s;
        if (s == "b.dat") {
            EXPECT_EQ(st.dwAttributes & 0xF000u, 0x8000u);
            EXPECT_EQ(st.oSize, 2);
        }
        if (s == "link-dir" || s == "dangling.txt") {
            EXPECT_EQ(st.dwAttributes & 0xF000u, 0xA000u) << "links are reported as links";
        }
        EXPECT_EQ(std::string(st.szDirectory), t + "/");
    }

    // Only real directories carry the directory bit: the link to one does not.
    EXPECT_EQ(Search(t + "/*", XATTRIBUTE_DIRECTORY, 0), std::set<std::string>{"sub"});
    EXPECT_EQ(Search(t + "/*.txt", 0, XATTRIBUTE_HIDDEN),
              (std::set<std::string>{"a.txt", "with space.txt", "-dash.txt", "back\\slash.txt",
                                     "link-file.txt", "link-out.txt", "dangling.txt"}));
    // '\' is a separator in the searched path; no '/' searches the current directory.
    EXPECT_EQ(Search(tmp.Path() + "\\tree\\sub\\*", 0, 0), (std::set<std::string>{"c.txt", "deep", "up"}));
    {
        CFilesChdir cd(t + "/sub");
        EXPECT_EQ(Search("c.*", 0, 0), std::set<std::string>{"c.txt"});
    }
    EXPECT_TRUE(Search(t + "/*.none", 0, 0).empty());

    _stXFINDDATA st;
    errno = 0;
    EXPECT_FALSE(CDiskFile::bFindFirst((t + "/missing/*").c_str(), &st, 0, 0));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(CDiskFile::bFindFirst(("/" + std::string(300, 'x') + "/*").c_str(), &st, 0, 0));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(st.pDir, nullptr);
    // Closing early releases the stream; closing twice is harmless.
    ASSERT_TRUE(CDiskFile::bFindFirst((t + "/*").c_str(), &st, 0, 0));
    EXPECT_TRUE(CDiskFile::bFindClose(&st));
    EXPECT_TRUE(CDiskFile::bFindClose(&st));
    EXPECT_FALSE(CDiskFile::bFindNext(&st));
}

TEST(DiskFileTreeSearch, WalksStayInsideTheTree)
{
    CFilesTempDir tmp;
    BuildTree(tmp.Path());
    const std::string t = tmp / "tree";

    std::vector<std::string> seen;
    ASSERT_TRUE(CDiskFile::bDoOnFileTree((t + "\\").c_str(), "*.txt", Collect, &seen, 0, 1));
    // Files of a directory come before those of its subdirectories; links are never walked.
    std::vector<std::string> top(seen.begin(), seen.end() - 2);
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{t + "/-dash.txt", t + "/.hidden.txt", t + "/a.txt",
                                             t + "/back\\slash.txt", t + "/dangling.txt",
                                             t + "/link-file.txt", t + "/link-out.txt",
                                             t + "/with space.txt"}));
    EXPECT_EQ(seen[seen.size() - 2], t + "/sub/c.txt");
    EXPECT_EQ(seen.back(), t + "/sub/deep/d.txt");

    seen.clear();
    ASSERT_TRUE(CDiskFile::bDoOnFileTree(t.c_str(), "*", Collect, &seen, 1, 0));
    EXPECT_NE(std::find(seen.begin(), seen.end(), t + "/sub"), seen.end());
    EXPECT_EQ(seen.size(), 14u);

    seen.clear();
    ASSERT_TRUE(CDiskFile::bDoOnDirectoryTree(t.c_str(), "*", Collect, &seen, 0, 1));
    EXPECT_EQ(seen, (std::vector<std::string>{t + "/sub", t + "/sub/deep"}));

    // A pattern with a directory part looks below each walked directory.
    seen.clear();
    ASSERT_TRUE(CDiskFile::bDoOnFileTree(t.c_str(), "deep/*.txt", Collect, &seen, 0, 1));
    EXPECT_EQ(seen, std::vector<std::string>{t + "/sub/deep/d.txt"});

    // A callback answering false stops the walk, which answers false.
    int nCalls = 0;
    auto pfnStop = [](const char *, void *p) { return ++*static_cast<int *>(p) < 2; };
    EXPECT_FALSE(CDiskFile::bDoOnFileTree(t.c_str(), "*", pfnStop, &nCalls, 0, 1));
    EXPECT_EQ(nCalls, 2);

    EXPECT_FALSE(CDiskFile::bDoOnFileTree((t + "/missing").c_str(), "*", Collect, &seen, 0, 1));
    EXPECT_EQ(errno, ENOENT);
}

TEST(DiskFileTreeSearch, LongPathsAreRefusedNotCut)
{
    CFilesTempDir tmp;
    // A 255-byte name whose full path passes 260 characters.
    const std::string sName(255, 'n');
    FilesWrite(tmp / "short.txt", "s");
    FilesWrite(tmp / sName, "long");
    // The search refuses the entry rather than hand out a name whose full
    // path cannot be built; the search is closed.
    _stXFINDDATA st;
    errno = 0;
    EXPECT_FALSE(CDiskFile::bFindFirst((tmp.Path() + "/n*").c_str(), &st, 0, 0));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(st.pDir, nullptr);
    EXPECT_EQ(Search(tmp.Path() + "/*", 0, 0).count(sName), 0u);
    EXPECT_EQ(Search(tmp.Path() + "/s*", 0, 0), std::set<std::string>{"short.txt"});
    {
        // Relative searches are measured on the full path too.
        CFilesChdir cd(tmp.Path());
        errno = 0;
        EXPECT_FALSE(CDiskFile::bFindFirst("n*", &st, 0, 0));
        EXPECT_EQ(errno, ENAMETOOLONG);
    }
    // A name that fits exactly is still found: 260 characters in all.
    const std::string sFits(260 - tmp.Path().size() - 1, 'f');
    FilesWrite(tmp / sFits, "fits");
    std::vector<_stXFINDDATA> found;
    EXPECT_EQ(Search(tmp.Path() + "/f*", 0, 0, &found), std::set<std::string>{sFits});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].oSize, 4);

    std::vector<std::string> seen;
    errno = 0;
    EXPECT_FALSE(CDiskFile::bDoOnFileTree(tmp.Path().c_str(), "n*", Collect, &seen, 0, 0));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_TRUE(seen.empty());
    // The same directory walked for a name that fits is fine.
    EXPECT_TRUE(CDiskFile::bDoOnFileTree(tmp.Path().c_str(), "s*", Collect, &seen, 0, 0));
    EXPECT_EQ(seen, std::vector<std::string>{tmp / "short.txt"});
}
