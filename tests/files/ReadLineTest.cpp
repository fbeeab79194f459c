// Line reads: the chunked readers (8-bit and wide) and the buffered reader.
#include "files/DiskFile.h"
#include "strings/Tstring.h"
#include "FilesTestUtil.h"

#include <string>
#include <vector>

namespace {

struct Line {
    bool bOk;
    std::string s;
    int nCut;
};

Line ReadOne(CDiskFile &f, unsigned nSize, unsigned nFlags = 0)
{
    std::vector<char> buf(nSize + 1, 'Z');
    int nCut = -1;
    bool b = f.bReadLine(buf.data(), nSize, &nCut, nFlags);
    return {b, b ? std::string(buf.data()) : std::string(), nCut};
}

// Every line of the file as bReadLine gives it, until it answers false.
std::vector<std::string> AllLines(const std::string &sPath, unsigned nSize, unsigned nFlags = 0)
{
    CDiskFile f;
    std::vector<std::string> v;
    if (!f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr))
        return v;
    for (int i = 0; i < 100000; ++i) {
        Line l = ReadOne(f, nSize, nFlags);
        if (!l.bOk)
            break;
        v.push_back(l.s);
    }
    return v;
}

std::vector<std::string> AllBuffered(const std::string &sPath, unsigned nSize,
                                     CTString *pclLong = nullptr, const char *pszSep = nullptr)
{
    CDiskFile f;
    std::vector<std::string> v;
    if (!f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr))
        return v;
    std::vector<char> buf(nSize + 1);
    for (int i = 0; i < 100000; ++i) {
        const char *psz = f.pszReadLine(buf.data(), nSize, pclLong, pszSep);
        if (!psz)
            break;
        v.push_back(psz);
    }
    return v;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(ReadLine, EndsOfLineAndEndOfFile)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "a.txt";
    FilesWrite(sPath, "ab\r\ncd");
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    Line l = ReadOne(f, 100);
    EXPECT_TRUE(l.bOk);
    EXPECT_EQ(l.s, "ab");
    EXPECT_EQ(l.nCut, 0);
    EXPECT_EQ(f.oGetOffset(), 4); // the position is right after the end of line
    l = ReadOne(f, 100);
    EXPECT_TRUE(l.bOk);
    EXPECT_EQ(l.s, "cd");
    EXPECT_FALSE(ReadOne(f, 100).bOk);
    f.Close();

    // Loose rules: a line feed, a CR LF or a lone CR ends a line; nothing is eaten.
    FilesWrite(sPath, "a\nb\rc\r\nd\n\n\re");
    EXPECT_EQ(AllLines(sPath, 100), (Lines{"a", "b", "c", "d", "", "", "e"}));
    // Strict rules: only CR LF ends a line.
    EXPECT_EQ(AllLines(sPath, 100, XREADLINE_STRICT_CRLF), (Lines{"a\nb\rc", "d\n\n\re"}));
    FilesWrite(sPath, "");
    EXPECT_EQ(AllLines(sPath, 100), Lines{});
    FilesWrite(sPath, "\r\n");
    EXPECT_EQ(AllLines(sPath, 100), Lines{""});
}

TEST(ReadLine, CutLinesAndChunks)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "c.txt";
    FilesWrite(sPath, "abcdefghij\nk");
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    Line l = ReadOne(f, 4);
    EXPECT_EQ(l.s, "abc");
    EXPECT_EQ(l.nCut, 1);
    l = ReadOne(f, 4);
    EXPECT_EQ(l.s, "def");
    EXPECT_EQ(l.nCut, 1);
    l = ReadOne(f, 4);
    EXPECT_EQ(l.s, "ghi");
    l = ReadOne(f, 4);
    EXPECT_EQ(l.s, "j");
    EXPECT_EQ(l.nCut, 0);
    l = ReadOne(f, 4);
    EXPECT_EQ(l.s, "k");
    EXPECT_FALSE(ReadOne(f, 4).bOk);
    // A buffer of one byte holds only the terminator; no buffer at all is refused.
    ASSERT_TRUE(f.bSeek(0, XSEEK_BEGIN));
    l = ReadOne(f, 1);
    EXPECT_TRUE(l.bOk);
    EXPECT_EQ(l.s, "");
    EXPECT_EQ(l.nCut, 1);
    EXPECT_EQ(f.oGetOffset(), 0);
    EXPECT_FALSE(ReadOne(f, 0).bOk);
    f.Close();

    // Lines spanning several 80-byte chunks, and lines of exactly a chunk.
    std::string s200(200, 'x'), s80(80, 'y'), s160(160, 'z'), s79(79, 'w');
    FilesWrite(sPath, s200 + "\n" + s80 + "\r\n" + s79 + "\r\n" + s160);
    EXPECT_EQ(AllLines(sPath, 1000), (Lines{s200, s80, s79, s160}));
    FilesWrite(sPath, s80);
    EXPECT_EQ(AllLines(sPath, 1000), Lines{s80});
    // Cut inside a later chunk: the rest comes next.
    FilesWrite(sPath, s200 + "\n");
    EXPECT_EQ(AllLines(sPath, 151), (Lines{std::string(150, 'x'), std::string(50, 'x')}));
    EXPECT_EQ(AllLines(sPath, 201), Lines{s200});
    EXPECT_EQ(AllLines(sPath, 200), (Lines{std::string(199, 'x'), "x"}));
}

TEST(ReadLine, CarriageReturnAtChunkEnd)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "cr.txt";
    std::string s79(79, 'a');
    // CR is the 80th byte of the chunk, its LF the first of the next one.
    FilesWrite(sPath, s79 + "\r\nnext");
    EXPECT_EQ(AllLines(sPath, 500), (Lines{s79, "next"}));
    EXPECT_EQ(AllLines(sPath, 500, XREADLINE_STRICT_CRLF), (Lines{s79, "next"}));
    FilesWrite(sPath, s79 + "\rnext");
    EXPECT_EQ(AllLines(sPath, 500), (Lines{s79, "next"}));
    EXPECT_EQ(AllLines(sPath, 500, XREADLINE_STRICT_CRLF), Lines{s79 + "\rnext"});
    FilesWrite(sPath, s79 + "\r\r\nz");
    EXPECT_EQ(AllLines(sPath, 500, XREADLINE_STRICT_CRLF), (Lines{s79 + "\r", "z"}));
    FilesWrite(sPath, s79 + "\r");
    EXPECT_EQ(AllLines(sPath, 500), Lines{s79});
}

TEST(ReadLine, WideLines)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "w.txt";
    std::wstring w = L"ab\r\ncd\n" + std::wstring(100, L'\x20AC') + L"\r\nend";
    std::string bytes(reinterpret_cast<const char *>(w.data()), w.size() * sizeof(wchar_t));
    FilesWrite(sPath, bytes + "\x01\x02"); // a torn last character is not text
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    wchar_t buf[200];
    int nCut = -1;
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
    EXPECT_EQ(std::wstring(buf), L"ab");
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
    EXPECT_EQ(std::wstring(buf), L"cd");
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 60, &nCut, 0));
    EXPECT_EQ(std::wstring(buf), std::wstring(59, L'\x20AC'));
    EXPECT_EQ(nCut, 1);
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
    EXPECT_EQ(std::wstring(buf), std::wstring(41, L'\x20AC'));
    EXPECT_EQ(nCut, 0);
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
    EXPECT_EQ(std::wstring(buf), L"end");
    EXPECT_FALSE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
    EXPECT_FALSE(f.bReadLineUNICODE(buf, 200, &nCut, 0));
}

TEST(ReadLine, BufferedReaderLines)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "b.txt";
    FilesWrite(sPath, "one\r\ntwo\nthree\rfour\n\nlast");
    EXPECT_EQ(AllBuffered(sPath, 100), (Lines{"one", "two", "three", "four", "", "last"}));
    FilesWrite(sPath, "");
    EXPECT_EQ(AllBuffered(sPath, 100), Lines{});
    FilesWrite(sPath, "a||b|c||||d");
    EXPECT_EQ(AllBuffered(sPath, 100, nullptr, "||"), (Lines{"a", "b|c", "", "d"}));

    // Long lines: whole in the long-line string, or cut to the buffer without one.
    std::string sLong(500, 'L');
    FilesWrite(sPath, sLong + "\nshort\n");
    CTString clLong;
    EXPECT_EQ(AllBuffered(sPath, 10, &clLong), (Lines{sLong, "short"}));
    EXPECT_EQ(AllBuffered(sPath, 10), (Lines{std::string(9, 'L'), "short"}));
    EXPECT_EQ(AllBuffered(sPath, 0, &clLong), (Lines{sLong, "short"}));
    EXPECT_EQ(AllBuffered(sPath, 0), Lines{});

    // Many lines across several refills of the block.
    std::string sMany;
    Lines expected;
    for (int i = 0; i < 30000; ++i) {
        std::string s = "line number " + std::to_string(i);
        expected.push_back(s);
        sMany += s + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    }
    FilesWrite(sPath, sMany);
    EXPECT_EQ(AllBuffered(sPath, 64), expected);
}

TEST(ReadLine, BufferedReaderBlockBoundary)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "edge.txt";
    const size_t nBlock = 65536;
    // CR LF split between the first and the second block: one end of line.
    std::string sA(nBlock - 1, 'a');
    FilesWrite(sPath, sA + "\r\nnext\n");
    CTString clLong;
    EXPECT_EQ(AllBuffered(sPath, 100, &clLong), (Lines{sA, "next"}));
    EXPECT_EQ(AllBuffered(sPath, 70000), (Lines{sA, "next"}));
    // A lone CR at the end of the block ends its line alone.
    FilesWrite(sPath, sA + "\rnext");
    EXPECT_EQ(AllBuffered(sPath, 70000), (Lines{sA, "next"}));
    FilesWrite(sPath, sA + "\r");
    EXPECT_EQ(AllBuffered(sPath, 70000), Lines{sA});
    // A short line ending right at the boundary, then the next block.
    std::string sB(nBlock - 6, 'b');
    FilesWrite(sPath, sB + "\nabc\r\nxyz");
    EXPECT_EQ(AllBuffered(sPath, 70000), (Lines{sB, "abc", "xyz"}));
    // Exactly one block of text ending with a line feed.
    std::string sC(nBlock - 1, 'c');
    FilesWrite(sPath, sC + "\n");
    EXPECT_EQ(AllBuffered(sPath, 70000), Lines{sC});
    // A separator across the boundary.
    FilesWrite(sPath, sA + "<>tail<>");
    EXPECT_EQ(AllBuffered(sPath, 70000, nullptr, "<>"), (Lines{sA, "tail"}));
    FilesWrite(sPath, std::string(nBlock - 2, 's') + "<!>x");
    EXPECT_EQ(AllBuffered(sPath, 70000, nullptr, "<!>"), (Lines{std::string(nBlock - 2, 's'), "x"}));
    // A line three blocks long.
    std::string sHuge(3 * nBlock + 17, 'h');
    FilesWrite(sPath, "x\n" + sHuge + "\r\ny");
    EXPECT_EQ(AllBuffered(sPath, 100, &clLong), (Lines{"x", sHuge, "y"}));
}

TEST(ReadLine, BufferedReaderAfterReopen)
{
    CFilesTempDir tmp;
    FilesWrite(tmp / "1.txt", "first\nfile\n");
    FilesWrite(tmp / "2.txt", "second\n");
    CDiskFile f;
    char buf[64];
    ASSERT_TRUE(f.bOpen((tmp / "1.txt").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_NE(f.pszReadLine(buf, sizeof buf, nullptr, nullptr), nullptr);
    EXPECT_STREQ(buf, "first");
    f.Close();
    ASSERT_TRUE(f.bOpen((tmp / "2.txt").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_NE(f.pszReadLine(buf, sizeof buf, nullptr, nullptr), nullptr);
    EXPECT_STREQ(buf, "second");
    EXPECT_EQ(f.pszReadLine(buf, sizeof buf, nullptr, nullptr), nullptr);
    EXPECT_EQ(f.pszReadLine(buf, sizeof buf, nullptr, nullptr), nullptr);
}
