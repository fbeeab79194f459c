// Stream interface defaults, reference counting and the forwarding file handle.
#include "files/DiskFile.h"
#include "files/XFile.h"
#include "FilesTestUtil.h"

#include <cerrno>
#include <string>

namespace {

// A stream that overrides only what the interface leaves pure, and tells when it dies.
class CProbeStream : public IXStream {
public:
    explicit CProbeStream(int *pnDeleted) : m_pnDeleted(pnDeleted) {}
    ~CProbeStream() override { ++*m_pnDeleted; }
    int Close() override
    {
        ++m_nCloses;
        return 1;
    }
    eACCESS veGetAccess() const override { return 2; }
    int m_nCloses = 0;

private:
    int *m_pnDeleted;
};

std::string Pattern(size_t n)
{
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

} // namespace

TEST(XStream, ReferenceCountAndDefaults)
{
    int nDeleted = 0;
    CProbeStream *p = new CProbeStream(&nDeleted);
    EXPECT_EQ(p->m_dwRef, 0u);
    p->m_dwRef += 2;
    EXPECT_EQ(p->dwRelease(), 1u);
    EXPECT_EQ(nDeleted, 0);

    IXStream *pi = p;
    char buf[8];
    wchar_t wbuf[8];
    unsigned n = 0;
    int nCut = 0;
    EXPECT_TRUE(pi->bOpen("x", 0, 0, 0, 0, nullptr));
    EXPECT_TRUE(pi->bReopen(0, 0, 0, 0));
    EXPECT_TRUE(pi->bWrite(0LL, "a", 1, &n));
    EXPECT_TRUE(pi->bRead(0LL, buf, 1, &n));
    EXPECT_TRUE(pi->bWrite("a", 1, &n));
    EXPECT_TRUE(pi->bRead(buf, 1, &n));
    EXPECT_TRUE(pi->bSeek(0, 0));
    EXPECT_EQ(pi->oGetSize(), 0);
    EXPECT_EQ(pi->oGetSizeFast(), 0);
    EXPECT_TRUE(pi->bFlush());
    EXPECT_TRUE(pi->bSetSize(0, 0));
    EXPECT_TRUE(pi->bIncreaseSize(1));
    EXPECT_TRUE(pi->bWriteString("%d", 1));
    EXPECT_TRUE(pi->bReadLine(buf, sizeof buf, &nCut, 0));
    EXPECT_TRUE(pi->bExtract(nullptr, 1));
    EXPECT_TRUE(pi->bLockFile(0, 1));
    EXPECT_TRUE(pi->bUnlockFile(0, 1));
    EXPECT_TRUE(pi->bLock(0, 1));
    EXPECT_TRUE(pi->bUnlock(0, 1));
    EXPECT_EQ(pi->pszGetName(), nullptr);
    EXPECT_EQ(pi->oGetOffset(), -1);
    EXPECT_TRUE(pi->bIsOpen());
    EXPECT_TRUE(pi->vbSetNameForError("n"));
    EXPECT_TRUE(pi->bReadLineUNICODE(wbuf, 8, &nCut, 0));
    EXPECT_EQ(pi->veGetAccess(), 2);
    EXPECT_FALSE(pi->bGetVFSFileName(buf));
    EXPECT_TRUE(pi->bLockFileEx(1, 1));
    EXPECT_EQ(pi->pszReadLine(buf, sizeof buf, nullptr, nullptr), nullptr);

    EXPECT_EQ(pi->dwRelease(), 0u);
    EXPECT_EQ(nDeleted, 1);
}

TEST(XFile, BorrowedStreamIsReleased)
{
    int nDeleted = 0;
    {
        CProbeStream *p = new CProbeStream(&nDeleted);
        CXFile f(p);
        EXPECT_EQ(p->m_dwRef, 1u);
        EXPECT_EQ(f.piGetStream(), p);
        EXPECT_EQ(f.veGetAccess(), 2);
        EXPECT_EQ(f.Close(), 1); // forwards, then lets go: the count falls from 1
        EXPECT_EQ(nDeleted, 1);
        EXPECT_EQ(f.piGetStream(), nullptr);
        EXPECT_EQ(f.Close(), -1);
    }
    {
        CProbeStream *p = new CProbeStream(&nDeleted);
        p->m_dwRef = 1; // the caller's own reference
        {
            CXFile f(p);
            EXPECT_EQ(p->m_dwRef, 2u);
        }
        EXPECT_EQ(nDeleted, 1);
        EXPECT_EQ(p->m_dwRef, 1u);
        CXFile g;
        g.SetStream(p);
        g.SetStream(nullptr);
        EXPECT_EQ(p->m_dwRef, 1u);
        EXPECT_EQ(p->dwRelease(), 0u);
        EXPECT_EQ(nDeleted, 2);
    }
}

TEST(XFile, OwnedDiskFileAndNoStream)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "owned.txt";
    CXFile f;
    // Without a stream everything fails cleanly.
    char buf[16];
    errno = 0;
    EXPECT_FALSE(f.bRead(buf, 1));
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(f.oGetSize(), -1);
    EXPECT_EQ(f.oGetOffset(), -1);
    EXPECT_EQ(f.pszGetName(), nullptr);
    EXPECT_FALSE(f.bIsOpen());
    EXPECT_EQ(f.veGetAccess(), -1);
    EXPECT_EQ(f.Close(), -1);
    EXPECT_FALSE(f.bWriteLine("x"));
    EXPECT_FALSE(f.bExtract(&f, 1));
    EXPECT_EQ(f.pszReadLine(buf, sizeof buf), nullptr);

    int nCreated = 0;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_ALWAYS, 0,
                        &nCreated));
    EXPECT_EQ(nCreated, 1);
    EXPECT_EQ(f.piGetStream(), nullptr); // owned streams are not handed out
    EXPECT_TRUE(f.bWriteLine("x"));
    EXPECT_TRUE(f.bWriteString("%03d", 7));
    EXPECT_EQ(f.oGetSize(), 6);
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(FilesRead(sPath), "x\r\n007");
    // The owned disk file outlives Close and serves the next open.
    EXPECT_STREQ(f.pszGetName(), sPath.c_str());
    EXPECT_FALSE(f.bIsOpen());
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_READ, 0, 0, nullptr));
    int nCut = 0;
    ASSERT_TRUE(f.bReadLine(buf, sizeof buf, &nCut));
    EXPECT_STREQ(buf, "x");
    ASSERT_NE(f.pszReadLine(buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "007");
    EXPECT_TRUE(f.bSetNameForError("report name"));
    f.Close();

    CXFile g;
    EXPECT_TRUE(g.bSetNameForError("before open"));
    EXPECT_TRUE(g.bCreateStream());
    EXPECT_FALSE(g.bOpen((tmp / "missing").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0));
    EXPECT_EQ(errno, ENOENT);
}

TEST(XFile, ExtractCopiesFromTheCurrentPosition)
{
    CFilesTempDir tmp;
    const std::string sData = Pattern(200000);
    FilesWrite(tmp / "src.bin", sData);

    CXFile src, dst;
    ASSERT_TRUE(src.bOpen((tmp / "src.bin").c_str(), XACCESS_READ, XSHARE_READ, 0, 0));
    ASSERT_TRUE(dst.bOpen((tmp / "dst.bin").c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE,
                          XCREATE_ALWAYS, 0));
    ASSERT_TRUE(src.bSeek(70001, XSEEK_BEGIN));
    ASSERT_TRUE(src.bExtract(&dst, -1));
    EXPECT_EQ(src.oGetOffset(), 200000);
    EXPECT_EQ(dst.oGetSize(), 200000 - 70001);
    EXPECT_EQ(FilesRead(tmp / "dst.bin"), sData.substr(70001));

    // A counted copy appends at the target's position and stops where asked.
    ASSERT_TRUE(src.bSeek(10, XSEEK_BEGIN));
    ASSERT_TRUE(src.bExtract(&dst, 5));
    EXPECT_EQ(src.oGetOffset(), 15);
    EXPECT_TRUE(src.bExtract(&dst, 0));
    EXPECT_EQ(src.oGetOffset(), 15);
    // Asking beyond the end copies what there is.
    ASSERT_TRUE(src.bSeek(199990, XSEEK_BEGIN));
    EXPECT_TRUE(src.bExtract(&dst, 1000));
    dst.Close();
    EXPECT_EQ(FilesRead(tmp / "dst.bin"),
              sData.substr(70001) + sData.substr(10, 5) + sData.substr(199990));

    // The disk file's own copy, into a stream it does not own; from the end: nothing.
    CDiskFile a, b;
    ASSERT_TRUE(a.bOpen((tmp / "src.bin").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_TRUE(b.bOpen((tmp / "b.bin").c_str(), XACCESS_WRITE, XSHARE_NONE, XCREATE_ALWAYS, 0,
                        nullptr));
    ASSERT_TRUE(a.bSeek(65536 * 2 + 3, XSEEK_BEGIN));
    EXPECT_TRUE(a.bExtract(&b, 65536));
    EXPECT_EQ(FilesRead(tmp / "b.bin"), sData.substr(65536 * 2 + 3, 65536));
    EXPECT_EQ(a.oGetSizeFast(), 200000);
    EXPECT_TRUE(a.bExtract(&b, -1));
    EXPECT_FALSE(a.bExtract(nullptr, 1));
    // A target that cannot be written fails the copy.
    CDiskFile ro;
    ASSERT_TRUE(ro.bOpen((tmp / "src.bin").c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_TRUE(a.bSeek(0, XSEEK_BEGIN));
    EXPECT_FALSE(a.bExtract(&ro, 10));
}

TEST(XStream, RootCountOnCopyAndEmptyRelease)
{
    struct CCounted : CTQUnknown {
        int n = 0;
    };
    CCounted a;
    a.m_dwRef = 3;
    a.n = 7;
    CCounted b(a);
    EXPECT_EQ(b.m_dwRef, 0u);
    EXPECT_EQ(b.n, 7);
    b.m_dwRef = 1;
    b = a;
    EXPECT_EQ(b.m_dwRef, 1u);
    EXPECT_EQ(a.m_dwRef, 3u);
    // A release with no holder must not wrap the count (or delete a stack object).
    CCounted c;
    EXPECT_EQ(c.dwRelease(), 0u);
    EXPECT_EQ(c.m_dwRef, 0u);
}
