// Disk file: opening and share locks, record locks, reads, writes, sizes,
// and the static file-system queries.
#include "files/DiskFile.h"
#include "platform/WinApi.h"
#include "FilesTestUtil.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

namespace {

// Runs the check in a child process (its own record locks) and answers its exit code.
int InChild(const std::function<int()> &fn)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    int nStatus = 0;
    if (pid < 0 || waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus))
        return -1;
    return WEXITSTATUS(nStatus);
}

// 0 if the open succeeds, 1 if it fails as a sharing violation, 2 otherwise.
int TryOpen(const std::string &sPath, eACCESS eAccess, eSHARE eShare)
{
    return InChild([&]() {
        CDiskFile f;
        if (f.bOpen(sPath.c_str(), eAccess, eShare, 0, 0, nullptr))
            return 0;
        return errno == XERROR_SHARING_VIOLATION ? 1 : 2;
    });
}

// 0 if a lock of the range can be taken, 1 on a sharing violation, 2 otherwise.
int TryLock(const std::string &sPath, unsigned long long o, unsigned long long n)
{
    return InChild([&]() {
        CDiskFile f;
        if (!f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_NONE, 0, 0, nullptr))
            return 3;
        if (f.bLock(o, n))
            return 0;
        return errno == XERROR_SHARING_VIOLATION ? 1 : 2;
    });
}

} // namespace

TEST(DiskFile, OpenCreateAndName)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "new.txt";
    CDiskFile f;
    int nCreated = -1;
    EXPECT_FALSE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, XCREATE_EXISTING, 0, &nCreated));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(nCreated, 0);
    EXPECT_FALSE(f.bIsOpen());

    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN_ALWAYS, 0,
                        &nCreated));
    EXPECT_EQ(nCreated, 1);
    EXPECT_TRUE(f.bIsOpen());
    EXPECT_EQ(f.veGetAccess() & (O_ACCMODE | O_CREAT), O_RDWR | O_CREAT);
    EXPECT_STREQ(f.pszGetName(), sPath.c_str());
    EXPECT_TRUE(f.bWrite("hello", 5, nullptr));
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(f.Close(), -1);
    EXPECT_EQ(f.veGetAccess(), -1);

    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_NONE, XCREATE_OPEN_ALWAYS, 0,
                        &nCreated));
    EXPECT_EQ(nCreated, 0);
    EXPECT_EQ(f.veGetAccess() & O_CREAT, 0);
    EXPECT_EQ(f.oGetSize(), 5);
    EXPECT_EQ(f.Close(), 1);

    // Create or empty; a relative name with backslashes is made absolute.
    {
        CFilesChdir cd(tmp.Path());
        ASSERT_TRUE(f.bOpen(".\\new.txt", XACCESS_WRITE, XSHARE_EXCLUSIVE, XCREATE_ALWAYS, 0,
                            &nCreated));
    }
    EXPECT_EQ(nCreated, 1);
    EXPECT_EQ(f.oGetSize(), 0);
    EXPECT_STREQ(f.pszGetName(), sPath.c_str());
    // A reopen uses the stored name.
    ASSERT_TRUE(f.bReopen(XACCESS_READ, XSHARE_READ, XCREATE_EXISTING, 0));
    EXPECT_EQ(f.veGetAccess() & O_ACCMODE, O_RDONLY);
    // A second open closes the first descriptor instead of leaking it.
    ASSERT_TRUE(f.bOpen(sPath.c_str(), -1, XSHARE_NONE, 0, 0, nullptr));
    EXPECT_EQ(f.veGetAccess() & O_ACCMODE, O_RDONLY);

    // The name for errors: the file's name unless another is set.
    EXPECT_STREQ(f.pszGetNameForError(), sPath.c_str());
    EXPECT_TRUE(f.vbSetNameForError("shown"));
    EXPECT_STREQ(f.pszGetNameForError(), "shown");
    EXPECT_TRUE(f.vbSetNameForError(nullptr));
    EXPECT_STREQ(f.pszGetNameForError(), sPath.c_str());
    EXPECT_TRUE(f.vbSetNameForError("again"));
    EXPECT_EQ(f.Close(), 1);
    EXPECT_STREQ(f.pszGetNameForError(), sPath.c_str());
    char sz[261];
    EXPECT_FALSE(f.bGetVFSFileName(sz));

    // A directory opens only when the flag allows it.
    EXPECT_FALSE(f.bOpen(tmp.Path().c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, 0, 0, nullptr));
    ASSERT_TRUE(f.bOpen(tmp.Path().c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, 0,
                        XFLAG_DIRECTORY, nullptr));
    EXPECT_EQ(f.veGetAccess(), O_DIRECTORY);
    f.Close();
}

TEST(DiskFile, ShareLocksBetweenProcesses)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "shared.dat";
    FilesWrite(sPath, "content");

    CDiskFile reader;
    ASSERT_TRUE(reader.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_READ, 0, 0, nullptr));
    EXPECT_EQ(TryOpen(sPath, XACCESS_READWRITE, XSHARE_EXCLUSIVE), 1);
    EXPECT_EQ(TryOpen(sPath, XACCESS_READ, XSHARE_READ), 0);
    EXPECT_EQ(TryOpen(sPath, XACCESS_READWRITE, XSHARE_NONE), 0);
    reader.Close();
    EXPECT_EQ(TryOpen(sPath, XACCESS_READWRITE, XSHARE_EXCLUSIVE), 0);

    CDiskFile writer;
    ASSERT_TRUE(writer.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, 0, 0, nullptr));
    EXPECT_EQ(TryOpen(sPath, XACCESS_READ, XSHARE_READ), 1);
    EXPECT_EQ(TryOpen(sPath, XACCESS_READ, XSHARE_NONE), 0);
    // The same process is not kept out by its own lock.
    CDiskFile again;
    EXPECT_TRUE(again.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, 0, 0, nullptr));
    again.Close(); // closing any descriptor drops this process's locks
    EXPECT_EQ(TryOpen(sPath, XACCESS_READ, XSHARE_READ), 0);
    writer.Close();

    // An exclusive share on a read-only open is refused for what it is, not as
    // a sharing violation.
    CDiskFile f;
    EXPECT_FALSE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_EXCLUSIVE, 0, 0, nullptr));
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(f.bIsOpen());
}

TEST(DiskFile, RecordLocks)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "records.dat";
    FilesWrite(sPath, std::string(100, 'r'));

    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_NONE, 0, 0, nullptr));
    ASSERT_TRUE(f.bLock(10, 10));
    EXPECT_EQ(TryLock(sPath, 15, 10), 1);
    EXPECT_EQ(TryLock(sPath, 0, 10), 0);
    EXPECT_EQ(TryLock(sPath, 20, 5), 0);
    EXPECT_TRUE(f.bUnlock(10, 10));
    EXPECT_EQ(TryLock(sPath, 15, 10), 0);

    EXPECT_TRUE(f.bLockFile(50, 1));
    EXPECT_EQ(TryLock(sPath, 50, 1), 1);
    EXPECT_TRUE(f.bUnlockFile(50, 1));
    EXPECT_EQ(TryLock(sPath, 50, 1), 0);

    // Whole-file lock, waiting form; release always succeeds.
    EXPECT_TRUE(f.bLockFileEx(1, 1));
    EXPECT_EQ(TryLock(sPath, 99, 1), 1);
    EXPECT_TRUE(f.bLockFileEx(0, 0));
    EXPECT_EQ(TryLock(sPath, 99, 1), 0);
    EXPECT_TRUE(f.bLockFileEx(1, 0));
    EXPECT_EQ(TryLock(sPath, 0, 1), 1); // a read lock keeps writers out
    EXPECT_TRUE(f.bLockFileEx(0, 0));
    f.Close();

    // A read-only file takes read locks: other readers may share the range.
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr));
    EXPECT_TRUE(f.bLock(0, 10));
    EXPECT_EQ(InChild([&]() {
                  CDiskFile g;
                  if (!g.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr))
                      return 3;
                  return g.bLock(0, 10) ? 0 : 1;
              }),
              0);
    EXPECT_EQ(TryLock(sPath, 0, 10), 1);
    f.Close();
    // A closed file cannot lock; a failed unlock reads as a sharing violation.
    EXPECT_FALSE(f.bLock(0, 1));
    EXPECT_FALSE(f.bUnlock(0, 1));
    EXPECT_EQ(errno, XERROR_SHARING_VIOLATION);
}

TEST(DiskFile, ReadWriteSeekAndSizes)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "rw.dat";
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_EXCLUSIVE, XCREATE_ALWAYS, 0,
                        nullptr));
    unsigned n = 0;
    EXPECT_TRUE(f.bWrite("0123456789", 10, &n));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(f.oGetOffset(), 10);
    EXPECT_TRUE(f.bWrite("", 0, &n));
    EXPECT_EQ(n, 0u);

    char buf[32] = {0};
    EXPECT_TRUE(f.bRead(2, buf, 3, &n));
    EXPECT_EQ(std::string(buf, n), "234");
    EXPECT_EQ(f.oGetOffset(), 5);
    // A short read: success with a count, failure without one.
    EXPECT_TRUE(f.bRead(buf, 20, &n));
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(f.bSeek(7, XSEEK_BEGIN));
    EXPECT_FALSE(f.bRead(buf, 5, nullptr));
    EXPECT_EQ(f.oGetOffset(), 10);
    EXPECT_TRUE(f.bWrite(1, "AB", 2, nullptr));
    EXPECT_TRUE(f.bSeek(-3, XSEEK_END));
    EXPECT_TRUE(f.bRead(buf, 3, nullptr));
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_TRUE(f.bSeek(-2, XSEEK_CURRENT));
    EXPECT_EQ(f.oGetOffset(), 8);
    EXPECT_FALSE(f.bSeek(-20, XSEEK_CURRENT));
    EXPECT_EQ(f.oGetOffset(), 8);
    EXPECT_FALSE(f.bSeek(0, 7));

    EXPECT_EQ(f.oGetSize(), 10);
    EXPECT_EQ(f.oGetOffset(), 8);
    EXPECT_TRUE(f.bRead(buf, 1, nullptr));
    EXPECT_EQ(buf[0], '8'); // the descriptor stayed where it was
    EXPECT_EQ(f.oGetSizeFast(), 10);
    EXPECT_EQ(f.oGetOffset(), 10);

    EXPECT_TRUE(f.bSetSize(90, XGROW_FROM_END));
    EXPECT_EQ(f.oGetSize(), 100);
    EXPECT_TRUE(f.bSetSize(10, XGROW_FROM_END));
    EXPECT_EQ(f.oGetSize(), 110);
    EXPECT_TRUE(f.bSetSize(4, XGROW_ABSOLUTE));
    EXPECT_EQ(f.oGetSize(), 4);
    EXPECT_FALSE(f.bSetSize(4, 2));

    EXPECT_TRUE(f.bIncreaseSize(3));
    EXPECT_EQ(f.oGetSize(), 7);
    EXPECT_TRUE(f.bWrite(6, "z", 1, nullptr));
    EXPECT_TRUE(f.bIncreaseSize(0)); // growing by nothing leaves the last byte alone
    EXPECT_FALSE(f.bIncreaseSize(-1));
    EXPECT_EQ(FilesRead(sPath), std::string("0AB3\0\0z", 7));

    EXPECT_TRUE(f.bExtendFile(50));
    EXPECT_EQ(f.oGetSize(), 50);
    EXPECT_EQ(FilesRead(sPath)[49], '\0');
    EXPECT_TRUE(f.bExtendFile(0));
    EXPECT_EQ(f.oGetSize(), 0);
    EXPECT_TRUE(f.bFlush());

    EXPECT_TRUE(f.bWriteString("%s=%d\r\n", "key", 42));
    std::string sLong(2000, 'L');
    EXPECT_TRUE(f.bWriteString("%s", sLong.c_str()));
    EXPECT_EQ(FilesRead(sPath), "key=42\r\n" + std::string(1024, 'L'));
    f.Close();

    // Operations on a closed file fail.
    EXPECT_FALSE(f.bRead(buf, 1, &n));
    EXPECT_FALSE(f.bWrite("x", 1, nullptr));
    EXPECT_EQ(f.oGetSize(), -1);
    EXPECT_EQ(f.oGetSizeFast(), -1);
    EXPECT_FALSE(f.bFlush());
}

TEST(DiskFile, OffsetsBeyondFourGigabytes)
{
    CFilesTempDir tmp;
    std::string sPath = tmp / "big.dat";
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sPath.c_str(), XACCESS_READWRITE, XSHARE_NONE, XCREATE_ALWAYS, 0,
                        nullptr));
    const long long oFar = 0x100000010LL;
    if (!f.bWrite(oFar, "far", 3, nullptr))
        GTEST_SKIP() << "the file system refuses sparse files this large";
    EXPECT_EQ(f.oGetOffset(), oFar + 3);
    EXPECT_EQ(f.oGetSize(), oFar + 3);
    EXPECT_EQ(CDiskFile::oGetSize(sPath.c_str()), oFar + 3);
    char buf[3];
    EXPECT_TRUE(f.bRead(oFar, buf, 3, nullptr));
    EXPECT_EQ(std::string(buf, 3), "far");
    EXPECT_TRUE(f.bLock(oFar, 1));
    EXPECT_EQ(TryLock(sPath, oFar, 1), 1);
    EXPECT_EQ(TryLock(sPath, oFar - 0x100000000LL, 1), 0);
    EXPECT_TRUE(f.bSetSize(0, XGROW_ABSOLUTE));
    f.Close();
}

TEST(DiskFile, StaticQueriesAndDirectories)
{
    CFilesTempDir tmp;
    std::string sFile = tmp / "file.txt";
    FilesWrite(sFile, "12345");
    EXPECT_TRUE(CDiskFile::bExist(sFile.c_str()));
    EXPECT_TRUE(CDiskFile::bIsAFile(sFile.c_str()));
    EXPECT_FALSE(CDiskFile::bIsADirectory(sFile.c_str()));
    EXPECT_TRUE(CDiskFile::bIsADirectory(tmp.Path().c_str()));
    EXPECT_FALSE(CDiskFile::bIsAFile(tmp.Path().c_str()));
    EXPECT_FALSE(CDiskFile::bIsAFile(nullptr));
    EXPECT_FALSE(CDiskFile::bExist((tmp / "none").c_str()));
    EXPECT_EQ(CDiskFile::oGetSize(sFile.c_str()), 5);
    EXPECT_EQ(CDiskFile::oGetSize((tmp / "none").c_str()), -1);
    struct stat64 st;
    EXPECT_TRUE(CDiskFile::bGetFileStatus(sFile.c_str(), &st));
    EXPECT_EQ(st.st_size, 5);
    EXPECT_FALSE(CDiskFile::bGetFileStatus((tmp / "none").c_str(), &st));

    std::string sDeep = tmp / "a/b\\c/";
    EXPECT_TRUE(CDiskFile::bCreateDirectory(sDeep.c_str()));
    EXPECT_TRUE(CDiskFile::bIsADirectory((tmp / "a/b/c").c_str()));
    EXPECT_TRUE(CDiskFile::bCreateDirectory((tmp / "a/b").c_str()));
    EXPECT_FALSE(CDiskFile::bCreateDirectory(sFile.c_str()));
    EXPECT_FALSE(CDiskFile::bCreateDirectory((sFile + "/sub").c_str()));
    std::string sLong = tmp.Path() + "/" + std::string(300, 'x');
    EXPECT_FALSE(CDiskFile::bCreateDirectory(sLong.c_str()));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_FALSE(CDiskFile::bExist(sLong.substr(0, 260).c_str()));
    EXPECT_FALSE(CDiskFile::bCreateDirectory(""));

    uint32_t dw = 0;
    ASSERT_EQ(chmod(sFile.c_str(), 0640), 0);
    ASSERT_TRUE(CDiskFile::bGetFileAttributes(&dw, sFile.c_str()));
    EXPECT_EQ(dw, static_cast<uint32_t>(S_IFREG | 0640));
    std::string sHidden = tmp / ".hidden";
    FilesWrite(sHidden, "");
    ASSERT_TRUE(CDiskFile::bGetFileAttributes(&dw, sHidden.c_str()));
    EXPECT_EQ(dw & 0x80000000u, 0x80000000u);
    ASSERT_TRUE(CDiskFile::bGetFileAttributes(&dw, tmp.Path().c_str()));
    EXPECT_EQ(dw & 0xE000u, static_cast<uint32_t>(S_IFDIR) & 0xE000u);
    EXPECT_FALSE(CDiskFile::bGetFileAttributes(&dw, (tmp / "none").c_str()));

    EXPECT_TRUE(CDiskFile::bSetFileAttributes(sFile.c_str(), 0xFFFFFFFFu));
    ASSERT_EQ(stat64(sFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_TRUE(CDiskFile::bSetFileAttributes(sFile.c_str(), 0));
    ASSERT_EQ(stat64(sFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    EXPECT_FALSE(CDiskFile::bSetFileAttributes((tmp / "none").c_str(), 0));
    EXPECT_FALSE(CDiskFile::sbIsBadNetworkFile(sFile.c_str()));
    EXPECT_TRUE(CDiskFile::bSystemSupportHugeFile());
}

TEST(DiskFile, Times)
{
    CFilesTempDir tmp;
    std::string sFile = tmp / "t.txt";
    FilesWrite(sFile, "x");
    struct tm tmLocal;
    memset(&tmLocal, 0, sizeof tmLocal);
    tmLocal.tm_year = 2021 - 1900;
    tmLocal.tm_mon = 5;
    tmLocal.tm_mday = 15;
    tmLocal.tm_hour = 13;
    tmLocal.tm_min = 45;
    tmLocal.tm_sec = 31;
    tmLocal.tm_isdst = -1;
    time_t t = mktime(&tmLocal);
    struct utimbuf ut = {t, t};
    ASSERT_EQ(utime(sFile.c_str(), &ut), 0);

    _stXFILETIME st;
    ASSERT_TRUE(CDiskFile::bGetLastModificationTime(sFile.c_str(), &st));
    EXPECT_EQ(st.wYear, 2021);
    EXPECT_EQ(st.wMonth, 6);
    EXPECT_EQ(st.wDay, 15);
    EXPECT_EQ(st.wHour, 13);
    EXPECT_EQ(st.wMinute, 45);
    EXPECT_EQ(st.wSecond, 31);
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_FALSE(CDiskFile::bGetLastModificationTime((tmp / "none").c_str(), &st));

    // Local record -> FILETIME -> local record is the identity.
    FILETIME ft;
    ASSERT_TRUE(CDiskFile::bSystemTimeToFileTime(&st, &ft));
    unsigned long long ull = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) |
                             ft.dwLowDateTime;
    EXPECT_EQ(ull, (static_cast<unsigned long long>(t) + 11644473600ULL) * 10000000ULL);
    _stXFILETIME back;
    ASSERT_TRUE(CDiskFile::bFileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&st, &back), 0);

    // The open file's times, and setting them through the object.
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(sFile.c_str(), XACCESS_READWRITE, XSHARE_NONE, 0, 0, nullptr));
    _stXFILETIME stWrite, stAccess;
    ASSERT_TRUE(f.bGetTime(nullptr, &stAccess, &stWrite));
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&st, &stWrite), 0);
    _stXFILETIME stNew = st;
    stNew.wYear = 2019;
    ASSERT_TRUE(f.bSetTime(nullptr, &stNew, &stNew));
    ASSERT_TRUE(f.bGetTime(nullptr, &stAccess, &stWrite));
    EXPECT_EQ(stWrite.wYear, 2019);
    EXPECT_EQ(stAccess.wYear, 2019);
    ASSERT_TRUE(f.bSetTime(nullptr, nullptr, &ft));
    ASSERT_TRUE(f.bGetTime(nullptr, &stAccess, &stWrite));
    EXPECT_EQ(stWrite.wYear, 2021);
    EXPECT_EQ(stAccess.wYear, 2019);
    f.Close();

    _stXFILETIME a = {2020, 1, 2, 3, 4, 5, 6}, b = a;
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&a, &b), 0);
    b.wDay = 5;
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&a, &b), 3);
    b = a;
    b.wMilliseconds = 1;
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&a, &b), -5);
}

TEST(DiskFile, DosFileTime)
{
    _stXFILETIME st = {2004, 7, 31, 23, 59, 59, 999};
    uint32_t dw = 0;
    ASSERT_TRUE(CDiskFile::bSystemTimeToDosFileTime(&st, &dw));
    EXPECT_EQ(dw >> 16, ((2004u - 1980u) << 9) | (7u << 5) | 31u);
    EXPECT_EQ(dw & 0xFFFFu, (23u << 11) | (59u << 5) | 29u);
    _stXFILETIME back;
    ASSERT_TRUE(CDiskFile::bDosFileTimeToSystemTime(dw, &back));
    EXPECT_EQ(back.wYear, 2004);
    EXPECT_EQ(back.wMonth, 7);
    EXPECT_EQ(back.wDay, 31);
    EXPECT_EQ(back.wHour, 23);
    EXPECT_EQ(back.wMinute, 59);
    EXPECT_EQ(back.wSecond, 58);
    EXPECT_EQ(back.wMilliseconds, 0);
    st.wYear = 1979;
    EXPECT_FALSE(CDiskFile::bSystemTimeToDosFileTime(&st, &dw));
    st.wYear = 2108;
    EXPECT_FALSE(CDiskFile::bSystemTimeToDosFileTime(&st, &dw));
}
