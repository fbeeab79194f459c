// Clock readings and conversions between time_t, FILETIME and SYSTEMTIME (whole seconds).
#include "platform/WinApi.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <utime.h>

#include <cstring>
#include <ctime>

namespace {

const uint64_t knIntervalsPerSecond = 10000000ULL;

uint64_t FileTimeValue(const FILETIME *pFileTime)
{
    return (static_cast<uint64_t>(pFileTime->dwHighDateTime) << 32) | pFileTime->dwLowDateTime;
}

void SetFileTimeValue(FILETIME *pFileTime, uint64_t nValue)
{
    pFileTime->dwLowDateTime = static_cast<uint32_t>(nValue);
    pFileTime->dwHighDateTime = static_cast<uint32_t>(nValue >> 32);
}

// Seconds since 1970 of a FILETIME; times before 1970 give negative values.
int64_t FileTimeToSeconds(const FILETIME *pFileTime)
{
    uint64_t nValue = FileTimeValue(pFileTime);
    if (nValue >= TQ_FILETIME_UNIX_EPOCH)
        return static_cast<int64_t>((nValue - TQ_FILETIME_UNIX_EPOCH) / knIntervalsPerSecond);
    return -static_cast<int64_t>((TQ_FILETIME_UNIX_EPOCH - nValue + knIntervalsPerSecond - 1) / knIntervalsPerSecond);
}

// False when the second lies before 1601 (no FILETIME for it).
bool SecondsToFileTime(int64_t nSeconds, FILETIME *pFileTime)
{
    int64_t nMin = -static_cast<int64_t>(TQ_FILETIME_UNIX_EPOCH / knIntervalsPerSecond);
    if (nSeconds < nMin)
        return false;
    uint64_t nValue = static_cast<uint64_t>(nSeconds - nMin) * knIntervalsPerSecond +
                      TQ_FILETIME_UNIX_EPOCH % knIntervalsPerSecond;
    SetFileTimeValue(pFileTime, nValue);
    return true;
}

// time_t may be 32 bits in the x86 tree: refuse what it cannot hold.
bool FitsTimeT(int64_t nSeconds)
{
    return static_cast<int64_t>(static_cast<time_t>(nSeconds)) == nSeconds;
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t nYear, int64_t nMonth, int64_t nDay)
{
    nYear -= nMonth <= 2;
    int64_t nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    int64_t nYoe = nYear - nEra * 400;
    int64_t nDoy = (153 * (nMonth + (nMonth > 2 ? -3 : 9)) + 2) / 5 + nDay - 1;
    int64_t nDoe = nYoe * 365 + nYoe / 4 - nYoe / 100 + nDoy;
    return nEra * 146097 + nDoe - 719468;
}

void CivilFromDays(int64_t nDays, int64_t *pnYear, int64_t *pnMonth, int64_t *pnDay)
{
    nDays += 719468;
    int64_t nEra = (nDays >= 0 ? nDays : nDays - 146096) / 146097;
    int64_t nDoe = nDays - nEra * 146097;
    int64_t nYoe = (nDoe - nDoe / 1460 + nDoe / 36524 - nDoe / 146096) / 365;
    int64_t nDoy = nDoe - (365 * nYoe + nYoe / 4 - nYoe / 100);
    int64_t nMp = (5 * nDoy + 2) / 153;
    *pnDay = nDoy - (153 * nMp + 2) / 5 + 1;
    *pnMonth = nMp < 10 ? nMp + 3 : nMp - 9;
    *pnYear = nYoe + nEra * 400 + (*pnMonth <= 2);
}

void TmToSystemTime(const struct tm *pTm, uint16_t nMilliseconds, SYSTEMTIME *pTime)
{
    pTime->wYear = static_cast<uint16_t>(pTm->tm_year + 1900);
    pTime->wMonth = static_cast<uint16_t>(pTm->tm_mon + 1);
    pTime->wDayOfWeek = static_cast<uint16_t>(pTm->tm_wday);
    pTime->wDay = static_cast<uint16_t>(pTm->tm_mday);
    pTime->wHour = static_cast<uint16_t>(pTm->tm_hour);
    pTime->wMinute = static_cast<uint16_t>(pTm->tm_min);
    pTime->wSecond = static_cast<uint16_t>(pTm->tm_sec);
    pTime->wMilliseconds = nMilliseconds;
}

void SystemTimeToTm(const SYSTEMTIME *pTime, struct tm *pTm)
{
    memset(pTm, 0, sizeof *pTm);
    pTm->tm_year = pTime->wYear - 1900;
    pTm->tm_mon = pTime->wMonth - 1;
    pTm->tm_mday = pTime->wDay;
    pTm->tm_hour = pTime->wHour;
    pTm->tm_min = pTime->wMinute;
    pTm->tm_sec = pTime->wSecond;
    pTm->tm_isdst = -1;
}

BOOL CurrentTime(SYSTEMTIME *pTime, bool bLocal)
{
    if (pTime == nullptr)
        return FALSE;
    struct timeval stNow;
    if (gettimeofday(&stNow, nullptr) != 0)
        return FALSE;
    struct tm stTm;
    time_t nSeconds = stNow.tv_sec;
    if ((bLocal ? localtime_r(&nSeconds, &stTm) : gmtime_r(&nSeconds, &stTm)) == nullptr)
        return FALSE;
    TmToSystemTime(&stTm, static_cast<uint16_t>(stNow.tv_usec / 1000), pTime);
    return TRUE;
}

}  // namespace

DWORD GetTickCount()
{
    struct timeval stNow;
    gettimeofday(&stNow, nullptr);
    uint64_t nMs = static_cast<uint64_t>(stNow.tv_sec) * 1000u + static_cast<uint64_t>(stNow.tv_usec) / 1000u;
    return static_cast<DWORD>(nMs);
}

BOOL GetLocalTime(SYSTEMTIME *pTime)
{
    return CurrentTime(pTime, true);
}

BOOL GetSystemTime(SYSTEMTIME *pTime)
{
    return CurrentTime(pTime, false);
}

BOOL SetLocalTime(const SYSTEMTIME *pTime)
{
    if (pTime == nullptr)
        return FALSE;
    struct tm stTm;
    SystemTimeToTm(pTime, &stTm);
    time_t nSeconds = mktime(&stTm);
    if (nSeconds == static_cast<time_t>(-1))
        return FALSE;
    struct timeval stValue;
    stValue.tv_sec = nSeconds;
    stValue.tv_usec = 0;
    return settimeofday(&stValue, nullptr) == 0 ? TRUE : FALSE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *pSystemTime, FILETIME *pFileTime)
{
    if (pSystemTime == nullptr || pFileTime == nullptr)
        return FALSE;
    // Worked out by hand rather than with timegm, which a 32-bit time_t limits to 2038;
    // out-of-range fields carry over the same way.
    int64_t nYear = pSystemTime->wYear;
    int64_t nMonth = static_cast<int64_t>(pSystemTime->wMonth) - 1;
    nYear += nMonth >= 0 ? nMonth / 12 : -((11 - nMonth) / 12);
    nMonth -= 12 * (nMonth >= 0 ? nMonth / 12 : -((11 - nMonth) / 12));
    int64_t nDays = DaysFromCivil(nYear, nMonth + 1, 1) + pSystemTime->wDay - 1;
    int64_t nSeconds = nDays * 86400 + pSystemTime->wHour * 3600 + pSystemTime->wMinute * 60 + pSystemTime->wSecond;
    return SecondsToFileTime(nSeconds, pFileTime) ? TRUE : FALSE;
}

BOOL FileTimeToSystemTime(const FILETIME *pFileTime, SYSTEMTIME *pSystemTime)
{
    if (pFileTime == nullptr || pSystemTime == nullptr)
        return FALSE;
    int64_t nSeconds = FileTimeToSeconds(pFileTime);
    int64_t nDays = nSeconds >= 0 ? nSeconds / 86400 : -((86399 - nSeconds) / 86400);
    int64_t nRest = nSeconds - nDays * 86400;
    int64_t nYear, nMonth, nDay;
    CivilFromDays(nDays, &nYear, &nMonth, &nDay);
    if (nYear > 0xFFFF)
        return FALSE;
    pSystemTime->wYear = static_cast<uint16_t>(nYear);
    pSystemTime->wMonth = static_cast<uint16_t>(nMonth);
    // 1970-01-01 was a Thursday.
    pSystemTime->wDayOfWeek = static_cast<uint16_t>(((nDays % 7) + 7 + 4) % 7);
    pSystemTime->wDay = static_cast<uint16_t>(nDay);
    pSystemTime->wHour = static_cast<uint16_t>(nRest / 3600);
    pSystemTime->wMinute = static_cast<uint16_t>(nRest / 60 % 60);
    pSystemTime->wSecond = static_cast<uint16_t>(nRest % 60);
    pSystemTime->wMilliseconds = 0;
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *pFileTime, FILETIME *pLocalFileTime)
{
    if (pFileTime == nullptr || pLocalFileTime == nullptr)
        return FALSE;
    int64_t nSeconds = FileTimeToSeconds(pFileTime);
    if (!FitsTimeT(nSeconds))
        return FALSE;
    time_t nTime = static_cast<time_t>(nSeconds);
    struct tm stTm;
    if (localtime_r(&nTime, &stTm) == nullptr)
        return FALSE;
    // The local wall-clock fields read back as if they were UTC; worked out by hand, since
    // timegm with a 32-bit time_t fails for wall times past 2038 east of Greenwich.
    int64_t nWall = DaysFromCivil(stTm.tm_year + 1900, stTm.tm_mon + 1, stTm.tm_mday) * 86400 + stTm.tm_hour * 3600 +
                    stTm.tm_min * 60 + stTm.tm_sec;
    return SecondsToFileTime(nWall, pLocalFileTime) ? TRUE : FALSE;
}

BOOL LocalFileTimeToFileTime(const FILETIME *pLocalFileTime, FILETIME *pFileTime)
{
    if (pLocalFileTime == nullptr || pFileTime == nullptr)
        return FALSE;
    int64_t nSeconds = FileTimeToSeconds(pLocalFileTime);
    if (!FitsTimeT(nSeconds))
        return FALSE;
    time_t nWall = static_cast<time_t>(nSeconds);
    struct tm stTm;
    if (gmtime_r(&nWall, &stTm) == nullptr)
        return FALSE;
    stTm.tm_isdst = -1;
    // mktime answers -1 both for failure and for the second before 1970: it fills in the
    // day of week only when it succeeds.
    stTm.tm_wday = -1;
    time_t nTime = mktime(&stTm);
    if (nTime == static_cast<time_t>(-1) && stTm.tm_wday == -1)
        return FALSE;
    return SecondsToFileTime(nTime, pFileTime) ? TRUE : FALSE;
}

BOOL GetFileTime(int nDescriptor, FILETIME *pCreation, FILETIME *pAccess, FILETIME *pWrite)
{
    struct stat stInfo;
    if (fstat(nDescriptor, &stInfo) != 0)
        return FALSE;
    if (pCreation != nullptr)
        SecondsToFileTime(stInfo.st_ctime, pCreation);
    if (pAccess != nullptr)
        SecondsToFileTime(stInfo.st_atime, pAccess);
    if (pWrite != nullptr)
        SecondsToFileTime(stInfo.st_mtime, pWrite);
    return TRUE;
}

BOOL SetFileTime(const char *pszPath, const FILETIME *, const FILETIME *pAccess, const FILETIME *pWrite)
{
    if (pAccess == nullptr && pWrite == nullptr)
        return TRUE;
    if (pszPath == nullptr)
        return FALSE;
    struct utimbuf stTimes;
    if (pAccess == nullptr || pWrite == nullptr) {
        struct stat stInfo;
        if (lstat(pszPath, &stInfo) != 0)
            return FALSE;
        stTimes.actime = stInfo.st_atime;
        stTimes.modtime = stInfo.st_mtime;
    }
    if (pAccess != nullptr) {
        int64_t nSeconds = FileTimeToSeconds(pAccess);
        if (!FitsTimeT(nSeconds))
            return FALSE;
        stTimes.actime = static_cast<time_t>(nSeconds);
    }
    if (pWrite != nullptr) {
        int64_t nSeconds = FileTimeToSeconds(pWrite);
        if (!FitsTimeT(nSeconds))
            return FALSE;
        stTimes.modtime = static_cast<time_t>(nSeconds);
    }
    return utime(pszPath, &stTimes) == 0 ? TRUE : FALSE;
}
