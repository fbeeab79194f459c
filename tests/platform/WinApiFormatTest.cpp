#include <gtest/gtest.h>

#include <malloc.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinApi.h"

namespace {

std::string Win(DWORD dwFlags, const char *pszSource, ...)
{
    char szBuffer[512];
    va_list ap;
    va_start(ap, pszSource);
    DWORD n = FormatMessageWin(dwFlags | FORMAT_MESSAGE_FROM_STRING, pszSource, 0, 0, szBuffer, sizeof szBuffer, &ap);
    va_end(ap);
    EXPECT_EQ(n, strlen(szBuffer));
    return szBuffer;
}

std::string WinNoArgs(const char *pszSource)
{
    char szBuffer[512];
    DWORD n = FormatMessageWin(FORMAT_MESSAGE_FROM_STRING, pszSource, 0, 0, szBuffer, sizeof szBuffer, nullptr);
    EXPECT_EQ(n, strlen(szBuffer));
    return szBuffer;
}

std::string WinArray(const char *pszSource, const uintptr_t *pSlots)
{
    char szBuffer[512];
    DWORD n = FormatMessageWin(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, pszSource, 0, 0, szBuffer,
                               sizeof szBuffer, reinterpret_cast<va_list *>(const_cast<uintptr_t *>(pSlots)));
    EXPECT_EQ(n, strlen(szBuffer));
    return szBuffer;
}

DWORD PrintfStyle(DWORD dwFlags, const char *pszFormat, char *pszBuffer, DWORD nSize, ...)
{
    va_list ap;
    va_start(ap, nSize);
    DWORD n = FormatMessageA(dwFlags | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0, 0x400, pszBuffer, nSize, &ap);
    va_end(ap);
    return n;
}

}  // namespace

TEST(FormatMessageWin, InsertsFromArgumentList)
{
    EXPECT_EQ(Win(0, "%1!u! files in %2", 3u, "dir"), "3 files in dir");
    // Inserts may come in any order and skip arguments of another kind.
    EXPECT_EQ(Win(0, "%2 then %1!d!", -7, "s"), "s then -7");
    EXPECT_EQ(Win(0, "%1!08X!|%1!x!", 0xBEEFu), "0000BEEF|beef");
    EXPECT_EQ(Win(0, "%1!-4s!|%2!5.1s!", "ab", "xyz"), "ab  |    x");
    EXPECT_EQ(Win(0, "%1!lld! %2!c!", -1234567890123LL, 'Q'), "-1234567890123 Q");
    EXPECT_EQ(Win(0, "<%1!ls!>", L"wide"), "<wide>");
    // Without its closing '!' the rest of the text is the conversion.
    EXPECT_EQ(Win(0, "n=%1!d", 5), "n=5");
    // Two digits at most: %100 is insert 10 followed by 0.
    EXPECT_EQ(Win(0, "%10|%100", "a", "b", "c", "d", "e", "f", "g", "h", "i", "ten"), "ten|ten0");
    EXPECT_EQ(Win(0, "%1", static_cast<const char *>(nullptr)), "(null)");
    // A long result is redone with its exact size.
    std::string clLong(300, 'L');
    EXPECT_EQ(Win(0, "[%1]", clLong.c_str()), "[" + clLong + "]");
}

TEST(FormatMessageWin, EscapesAndLineEnds)
{
    EXPECT_EQ(WinNoArgs("100%% sure%0 ignored"), "100% sure");
    EXPECT_EQ(WinNoArgs("a%nb"), "a\r\nb");
    EXPECT_EQ(WinNoArgs("%! %. %a"), "! . a");
    EXPECT_EQ(WinNoArgs("end%"), "end%");
    EXPECT_EQ(WinNoArgs("line1\nline2\n"), "line1\r\nline2\r\n");
    EXPECT_EQ(WinNoArgs("a\r\nb\rc"), "a b c");
    EXPECT_EQ(WinNoArgs("%0"), "");
}

TEST(FormatMessageWin, NoArgumentsAndUnsafeConversions)
{
    // Without arguments an insert with a conversion stays, one without is dropped.
    EXPECT_EQ(WinNoArgs("%1!u! and %2."), "%1!u! and .");
    // Conversions that cannot be printed from one argument stay as written.
    EXPECT_EQ(Win(0, "%1!n!|%1!*d!|%1!99999d!|%1!f!", 1), "%1!n!|%1!*d!|%1!99999d!|%1!f!");

    char szBuffer[64];
    EXPECT_EQ(FormatMessageWin(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, "%1 %n\n", 0, 0, szBuffer,
                               sizeof szBuffer, nullptr),
              6u);
    EXPECT_STREQ(szBuffer, "%1 %n\n");
    EXPECT_EQ(FormatMessageWin(FORMAT_MESSAGE_FROM_STRING, nullptr, 0, 0, szBuffer, sizeof szBuffer, nullptr), 0u);
}

TEST(FormatMessageWin, ArgumentArray)
{
    const uintptr_t aSlots[] = {reinterpret_cast<uintptr_t>("x"), 42, static_cast<uintptr_t>(-3)};
    EXPECT_EQ(WinArray("%2!04d!-%1 %3!d!", aSlots), "0042-x -3");
    EXPECT_EQ(WinArray("%3!u!", aSlots), "4294967293");
}

TEST(FormatMessageWin, DeliveryCutAndAllocate)
{
    char szSmall[5];
    EXPECT_EQ(FormatMessageWin(FORMAT_MESSAGE_FROM_STRING, "abcdefgh", 0, 0, szSmall, sizeof szSmall, nullptr), 4u);
    EXPECT_STREQ(szSmall, "abcd");

    char *pszBlock = nullptr;
    DWORD n = FormatMessageWin(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "x%ny", 0, 0,
                               reinterpret_cast<char *>(&pszBlock), 64, nullptr);
    ASSERT_NE(pszBlock, nullptr);
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(pszBlock, "x\r\ny");
    EXPECT_GE(malloc_usable_size(pszBlock), 64u);
    free(pszBlock);

    errno = ENOENT;
    char szSystem[128];
    FormatMessageWin(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0, 0, szSystem, sizeof szSystem, nullptr);
    EXPECT_STREQ(szSystem, strerror(ENOENT));
}

TEST(FormatMessageA, PrintfStyle)
{
    char szBuffer[64];
    EXPECT_EQ(PrintfStyle(0, "%2$s-%1$u", szBuffer, sizeof szBuffer, 5u, "ab"), 4u);
    EXPECT_STREQ(szBuffer, "ab-5");
    // A cut text answers what the buffer holds.
    EXPECT_EQ(PrintfStyle(0, "%d", szBuffer, 4, 123456), 3u);
    EXPECT_STREQ(szBuffer, "123");

    char *pszBlock = nullptr;
    EXPECT_EQ(PrintfStyle(FORMAT_MESSAGE_ALLOCATE_BUFFER, "n=%d", reinterpret_cast<char *>(&pszBlock), 100, 7), 3u);
    ASSERT_NE(pszBlock, nullptr);
    EXPECT_STREQ(pszBlock, "n=7");
    EXPECT_GE(malloc_usable_size(pszBlock), 100u);
    free(pszBlock);

    // Without arguments only "%%" is interpreted.
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "100%% %d", 0, 0, szBuffer, sizeof szBuffer, nullptr), 7u);
    EXPECT_STREQ(szBuffer, "100% %d");

    errno = EACCES;
    pszBlock = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, 0, 0x400, reinterpret_cast<char *>(&pszBlock), 0, nullptr);
    ASSERT_NE(pszBlock, nullptr);
    EXPECT_EQ(std::string(pszBlock), strerror(EACCES));
    EXPECT_EQ(n, strlen(strerror(EACCES)));
    free(pszBlock);
}
