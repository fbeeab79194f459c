#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

#include "PlatformTestUtil.h"
#include "platform/WinApi.h"

namespace {

uint64_t Value(const FILETIME &st)
{
    return (static_cast<uint64_t>(st.dwHighDateTime) << 32) | st.dwLowDateTime;
}

FILETIME Make(uint64_t n)
{
    FILETIME st;
    st.dwLowDateTime = static_cast<uint32_t>(n);
    st.dwHighDateTime = static_cast<uint32_t>(n >> 32);
    return st;
}

SYSTEMTIME Date(int y, int mo, int d, int h, int mi, int s)
{
    SYSTEMTIME st;
    memset(&st, 0, sizeof st);
    st.wYear = static_cast<uint16_t>(y);
    st.wMonth = static_cast<uint16_t>(mo);
    st.wDay = static_cast<uint16_t>(d);
    st.wHour = static_cast<uint16_t>(h);
    st.wMinute = static_cast<uint16_t>(mi);
    st.wSecond = static_cast<uint16_t>(s);
    st.wMilliseconds = 999;
    st.wDayOfWeek = 6;
    return st;
}

const uint64_t knSecond = 10000000ULL;

// The 60-bit timestamp of a version 1 UUID.
uint64_t Stamp(const UUID &st)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&st);
    return (static_cast<uint64_t>(p[6] & 0x0F) << 56) | (static_cast<uint64_t>(p[7]) << 48) |
           (static_cast<uint64_t>(p[4]) << 40) | (static_cast<uint64_t>(p[5]) << 32) |
           (static_cast<uint64_t>(p[0]) << 24) | (static_cast<uint64_t>(p[1]) << 16) |
           (static_cast<uint64_t>(p[2]) << 8) | p[3];
}

}  // namespace

TEST(Time, FileTimeSystemTimeConversions)
{
    FILETIME stFile;
    SYSTEMTIME stSys = Date(1970, 1, 1, 0, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&stSys, &stFile));
    EXPECT_EQ(Value(stFile), 0x019DB1DED53E8000ULL);
    stSys = Date(1601, 1, 1, 0, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&stSys, &stFile));
    EXPECT_EQ(Value(stFile), 0u);

    // Beyond 2038 in both trees; the day of week is computed, milliseconds cleared.
    const SYSTEMTIME astDates[] = {Date(2026, 12, 8, 8, 30, 15), Date(2100, 3, 1, 23, 59, 59),
                                   Date(2000, 2, 29, 12, 0, 0), Date(1900, 1, 1, 0, 0, 1)};
    const int anDayOfWeek[] = {2, 1, 2, 1};
    for (int i = 0; i < 4; i++) {
        ASSERT_TRUE(SystemTimeToFileTime(&astDates[i], &stFile));
        SYSTEMTIME stBack;
        ASSERT_TRUE(FileTimeToSystemTime(&stFile, &stBack));
        EXPECT_EQ(stBack.wYear, astDates[i].wYear);
        EXPECT_EQ(stBack.wMonth, astDates[i].wMonth);
        EXPECT_EQ(stBack.wDay, astDates[i].wDay);
        EXPECT_EQ(stBack.wHour, astDates[i].wHour);
        EXPECT_EQ(stBack.wMinute, astDates[i].wMinute);
        EXPECT_EQ(stBack.wSecond, astDates[i].wSecond);
        EXPECT_EQ(stBack.wDayOfWeek, anDayOfWeek[i]);
        EXPECT_EQ(stBack.wMilliseconds, 0);
    }
    // Sub-second parts are dropped.
    FILETIME stOdd = Make(0x019DB1DED53E8000ULL + 3 * knSecond + 9999999);
    SYSTEMTIME stBack;
    ASSERT_TRUE(FileTimeToSystemTime(&stOdd, &stBack));
    EXPECT_EQ(stBack.wSecond, 3);
    // Fields out of range carry over as with timegm.
    SYSTEMTIME stA = Date(2025, 13, 1, 0, 0, 0), stB = Date(2026, 1, 1, 0, 0, 0);
    FILETIME stFa, stFb;
    ASSERT_TRUE(SystemTimeToFileTime(&stA, &stFa));
    ASSERT_TRUE(SystemTimeToFileTime(&stB, &stFb));
    EXPECT_EQ(Value(stFa), Value(stFb));
}

TEST(Time, LocalFileTime)
{
    const char *pszOld = getenv("TZ");
    std::string clOld = pszOld != nullptr ? pszOld : "";
    setenv("TZ", "XYZ-2", 1);
    tzset();
    SYSTEMTIME stSys = Date(2020, 6, 15, 10, 0, 0);
    FILETIME stUtc, stLocal, stBack;
    ASSERT_TRUE(SystemTimeToFileTime(&stSys, &stUtc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&stUtc, &stLocal));
    EXPECT_EQ(Value(stLocal) - Value(stUtc), 2 * 3600 * knSecond);
    ASSERT_TRUE(LocalFileTimeToFileTime(&stLocal, &stBack));
    EXPECT_EQ(Value(stBack), Value(stUtc));

    // Near the end of a 32-bit time_t: a right answer or a refusal, never a wrong value.
    stSys = Date(2038, 1, 19, 2, 0, 0);
    ASSERT_TRUE(SystemTimeToFileTime(&stSys, &stUtc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&stUtc, &stLocal));
    EXPECT_EQ(Value(stLocal) - Value(stUtc), 2 * 3600 * knSecond);
    setenv("TZ", "XYZ+2", 1);
    tzset();
    if (LocalFileTimeToFileTime(&stUtc, &stBack)) {
        EXPECT_EQ(Value(stBack) - Value(stUtc), 2 * 3600 * knSecond);
    }
    // The second before 1970 is a time like any other.
    setenv("TZ", "UTC0", 1);
    tzset();
    stSys = Date(1969, 12, 31, 23, 59, 59);
    ASSERT_TRUE(SystemTimeToFileTime(&stSys, &stLocal));
    ASSERT_TRUE(LocalFileTimeToFileTime(&stLocal, &stBack));
    EXPECT_EQ(Value(stBack), Value(stLocal));
    if (pszOld != nullptr)
        setenv("TZ", clOld.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(Time, ClockReadings)
{
    struct timeval stNow;
    gettimeofday(&stNow, nullptr);
    uint32_t nExpected = static_cast<uint32_t>(static_cast<uint64_t>(stNow.tv_sec) * 1000 + stNow.tv_usec / 1000);
    EXPECT_LT(static_cast<uint32_t>(GetTickCount() - nExpected), 1000u);

    SYSTEMTIME stSys;
    ASSERT_TRUE(GetSystemTime(&stSys));
    time_t nNow = time(nullptr);
    struct tm stTm;
    gmtime_r(&nNow, &stTm);
    EXPECT_EQ(stSys.wYear, stTm.tm_year + 1900);
    EXPECT_LT(stSys.wMilliseconds, 1000);
    ASSERT_TRUE(GetLocalTime(&stSys));
    EXPECT_GE(stSys.wMonth, 1);
    EXPECT_LE(stSys.wMonth, 12);
}

TEST(Time, FileTimesOfAFile)
{
    tqtest::CTempDir clDir;
    std::string clFile = clDir.sFichier("t.txt");
    tqplat::WriteFile(clFile, "x");
    SYSTEMTIME stA = Date(2001, 2, 3, 4, 5, 6), stW = Date(2002, 3, 4, 5, 6, 7);
    FILETIME stAccess, stWrite;
    ASSERT_TRUE(SystemTimeToFileTime(&stA, &stAccess));
    ASSERT_TRUE(SystemTimeToFileTime(&stW, &stWrite));
    EXPECT_TRUE(SetFileTime(clFile.c_str(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(SetFileTime(clFile.c_str(), nullptr, &stAccess, &stWrite));

    int nFd = open(clFile.c_str(), O_RDONLY);
    ASSERT_GE(nFd, 0);
    FILETIME stC, stAr, stWr;
    ASSERT_TRUE(GetFileTime(nFd, &stC, &stAr, &stWr));
    EXPECT_EQ(Value(stAr), Value(stAccess));
    EXPECT_EQ(Value(stWr), Value(stWrite));
    EXPECT_TRUE(GetFileTime(nFd, nullptr, nullptr, nullptr));

    // Only the write time: the access time stays.
    FILETIME stLater = Make(Value(stWrite) + 86400 * knSecond);
    ASSERT_TRUE(SetFileTime(clFile.c_str(), nullptr, nullptr, &stLater));
    ASSERT_TRUE(GetFileTime(nFd, nullptr, &stAr, &stWr));
    EXPECT_EQ(Value(stAr), Value(stAccess));
    EXPECT_EQ(Value(stWr), Value(stLater));
    close(nFd);
    EXPECT_FALSE(GetFileTime(-1, &stC, nullptr, nullptr));
    EXPECT_FALSE(SetFileTime(clDir.sFichier("absent").c_str(), nullptr, nullptr, &stLater));
}

TEST(Memory, HeapBlocksAlignedWithSizePrefix)
{
    HANDLE hHeap = GetProcessHeap();
    for (size_t nSize : {0u, 1u, 3u, 17u, 100u, 4096u}) {
        unsigned char *p = static_cast<unsigned char *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, nSize));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(max_align_t), 0u);
        EXPECT_EQ(HeapSize(hHeap, 0, p), nSize);
        for (size_t i = 0; i < nSize; i++)
            ASSERT_EQ(p[i], 0);
        memset(p, 0xAB, nSize);
        // Growing keeps the content and zero-fills only the new bytes.
        p = static_cast<unsigned char *>(HeapReAlloc(hHeap, HEAP_ZERO_MEMORY, p, nSize + 50));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(max_align_t), 0u);
        EXPECT_EQ(HeapSize(hHeap, 0, p), nSize + 50);
        for (size_t i = 0; i < nSize; i++)
            ASSERT_EQ(p[i], 0xAB);
        for (size_t i = nSize; i < nSize + 50; i++)
            ASSERT_EQ(p[i], 0);
        p = static_cast<unsigned char *>(HeapReAlloc(hHeap, 0, p, 1));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(HeapSize(hHeap, 0, p), 1u);
        EXPECT_TRUE(HeapFree(hHeap, 0, p));
    }
    EXPECT_TRUE(HeapFree(hHeap, 0, nullptr));

    // Failures: null, or the Windows status thrown when asked.
    EXPECT_EQ(HeapAlloc(hHeap, 0, SIZE_MAX - 4), nullptr);
    EXPECT_EQ(HeapReAlloc(hHeap, 0, nullptr, 10), nullptr);
    try {
        HeapAlloc(hHeap, HEAP_GENERATE_EXCEPTIONS, SIZE_MAX - 4);
        ADD_FAILURE() << "no exception";
    } catch (DWORD dwCode) {
        EXPECT_EQ(dwCode, 0xC0000017u);
    }
}

TEST(Memory, GlobalBlocks)
{
    unsigned char *p = static_cast<unsigned char *>(GlobalAlloc(GMEM_ZEROINIT, 64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(p[i], 0);
    EXPECT_EQ(GlobalLock(p), p);
    EXPECT_TRUE(GlobalUnlock(p));
    EXPECT_EQ(GlobalReAlloc(p, 1000, GMEM_MODIFY), p);
    memset(p, 1, 64);
    p = static_cast<unsigned char *>(GlobalReAlloc(p, 128, GMEM_ZEROINIT));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 128; i++)
        ASSERT_EQ(p[i], 0);
    ZeroMemory(nullptr, 10);
    EXPECT_EQ(GlobalFree(p), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Memory, StatusReadAtMostOncePerSecond)
{
    // Start right after a second changes so that both calls fall in the same one.
    time_t nStart = time(nullptr);
    while (time(nullptr) == nStart)
        usleep(1000);
    MEMORYSTATUS stFirst, stSecond;
    memset(&stSecond, 0x77, sizeof stSecond);
    DWORD nBefore = nGetMemoryStatusReadCount();
    GlobalMemoryStatus(&stFirst);
    GlobalMemoryStatus(&stSecond);
    DWORD nAfter = nGetMemoryStatusReadCount();
    EXPECT_EQ(nAfter, nBefore + 1);
    EXPECT_EQ(memcmp(&stFirst, &stSecond, sizeof stFirst), 0);
    EXPECT_EQ(stFirst.dwLength, 24u);
    EXPECT_LE(stFirst.dwMemoryLoad, 100u);
    EXPECT_NE(stFirst.dwTotalPhys, 0u);

    // The next second reads the file again.
    nStart = time(nullptr);
    while (time(nullptr) == nStart)
        usleep(1000);
    GlobalMemoryStatus(&stSecond);
    EXPECT_EQ(nGetMemoryStatusReadCount(), nAfter + 1);
}

TEST(Atoms, CountedCaseInsensitiveNames)
{
    ATOM nId = AddAtom("TqTestName");
    ASSERT_NE(nId, 0);
    EXPECT_EQ(AddAtom("TQTESTNAME"), nId);
    EXPECT_EQ(FindAtom("tqtestname"), nId);
    ATOM nOther = AddAtom("TqOther");
    EXPECT_GT(nOther, nId);

    char szBuffer[8];
    memset(szBuffer, 'X', sizeof szBuffer);
    // The name fills the buffer: cut to size - 1 and terminated.
    EXPECT_EQ(GetAtomName(nId, szBuffer, 5), 4u);
    EXPECT_STREQ(szBuffer, "TqTe");
    char szFull[32];
    EXPECT_EQ(GetAtomName(nId, szFull, sizeof szFull), 10u);
    EXPECT_STREQ(szFull, "TqTestName");
    EXPECT_EQ(GetAtomName(nId, szFull, 0), 0u);
    EXPECT_EQ(GetAtomName(0xFFF0, szFull, sizeof szFull), 0u);

    // Added twice: deleted twice.
    EXPECT_EQ(DeleteAtom(nId), 0);
    EXPECT_EQ(FindAtom("TqTestName"), nId);
    EXPECT_EQ(DeleteAtom(nId), 0);
    EXPECT_EQ(FindAtom("TqTestName"), 0);
    EXPECT_EQ(DeleteAtom(nId), nId);
    // Identifiers are never reused.
    ATOM nAgain = AddAtom("TqTestName");
    EXPECT_GT(nAgain, nOther);
    EXPECT_EQ(DeleteAtom(nAgain), 0);
    EXPECT_EQ(DeleteAtom(nOther), 0);
    EXPECT_EQ(AddAtom(nullptr), 0);
    EXPECT_EQ(FindAtom(nullptr), 0);
}

TEST(Uuid, FirstCallAnswersLocalOnly)
{
    pid_t nPid = fork();
    ASSERT_GE(nPid, 0);
    if (nPid == 0) {
        UUID st;
        long n1 = UuidCreate(&st);
        long n2 = UuidCreate(&st);
        _exit(n1 == 1824 && n2 == 0 ? 0 : 1);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(nPid, &nStatus, 0), nPid);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
}

TEST(Uuid, VersionVariantAndUniqueness)
{
    const int knCount = 2000;
    std::set<std::string> clSeen;
    uint8_t aNode[6] = {};
    uint64_t nPrevious = 0;
    unsigned nPreviousSeq = 0;
    struct timeval stBefore;
    gettimeofday(&stBefore, nullptr);
    for (int i = 0; i < knCount; i++) {
        UUID st;
        UuidCreate(&st);
        const uint8_t *p = reinterpret_cast<const uint8_t *>(&st);
        EXPECT_EQ(p[6] >> 4, 1) << "version";
        EXPECT_EQ(p[8] & 0xC0, 0x80) << "variant";
        EXPECT_NE(p[10] & 0x80, 0) << "multicast node";
        if (i == 0)
            memcpy(aNode, p + 10, 6);
        EXPECT_EQ(memcmp(aNode, p + 10, 6), 0);
        uint64_t nStamp = Stamp(st);
        unsigned nSeq = ((p[8] & 0x3F) << 8) | p[9];
        if (i == 0) {
            uint64_t nExpected = static_cast<uint64_t>(stBefore.tv_sec) * 10000000ULL + stBefore.tv_usec * 10ULL +
                                 0x01B21DD213814000ULL;
            EXPECT_LT(nStamp - nExpected, 10000000ULL) << "close to the clock";
        } else if (nSeq == nPreviousSeq) {
            // Same microsecond: the adjustment makes the lowest digit differ.
            EXPECT_GT(nStamp, nPrevious);
        }
        nPrevious = nStamp;
        nPreviousSeq = nSeq;
        clSeen.insert(std::string(reinterpret_cast<const char *>(p), 16));
    }
    EXPECT_EQ(clSeen.size(), static_cast<size_t>(knCount));
}

TEST(Uuid, SameMicrosecondDiffersInLowestDigit)
{
    int nSameMicrosecond = 0;
    for (int i = 0; i < 2000; i++) {
        UUID stA, stB;
        UuidCreate(&stA);
        UuidCreate(&stB);
        uint64_t nA = Stamp(stA), nB = Stamp(stB);
        if (nA / 10 != nB / 10)
            continue;
        // One microsecond: the adjustment raises the lowest digit by one.
        nSameMicrosecond++;
        EXPECT_EQ(nB % 10, nA % 10 + 1);
    }
    // Back-to-back calls share a microsecond now and then.
    EXPECT_GT(nSameMicrosecond, 0);
}
