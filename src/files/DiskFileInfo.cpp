// File-system queries of the disk file: existence, type, size, attributes,
// times and directory creation.
#include "files/DiskFile.h"
#include "files/DiskFilePrivate.h"
#include "platform/WinApi.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tqfiles;

namespace {

bool Stat(const char *pszPath, struct stat64 *pst)
{
    return pszPath && stat64(pszPath, pst) == 0;
}

void FromSystemTime(const SYSTEMTIME &st, _stXFILETIME *pst)
{
    pst->wYear = st.wYear;
    pst->wMonth = st.wMonth;
    pst->wDay = st.wDay;
    pst->wHour = st.wHour;
    pst->wMinute = st.wMinute;
    pst->wSecond = st.wSecond;
    pst->wMilliseconds = st.wMilliseconds;
}

} // namespace

bool CDiskFile::bExist(const char *pszPath)
{
    return pszPath && access(pszPath, F_OK) == 0;
}

bool CDiskFile::bIsADirectory(const char *pszPath)
{
    struct stat64 st;
    return Stat(pszPath, &st) && S_ISDIR(st.st_mode);
}

bool CDiskFile::bIsAFile(const char *pszPath)
{
    struct stat64 st;
    return Stat(pszPath, &st) && S_ISREG(st.st_mode);
}

bool CDiskFile::bGetFileStatus(const char *pszPath, struct stat64 *pstInfo)
{
    return pstInfo && bExist(pszPath) && Stat(pszPath, pstInfo);
}

long long CDiskFile::oGetSize(const char *pszPath)
{
    struct stat64 st;
    if (!bGetFileStatus(pszPath, &st))
        return -1;
    return st.st_size;
}

bool CDiskFile::bCreateDirectory(const char *pszPath)
{
    std::string s = SlashCopy(pszPath);
    if (s.size() > DISKFILE_MAX_PATH - 1) {
        // A cut name would create some other directory.
        errno = ENAMETOOLONG;
        return false;
    }
    if (s.empty()) {
        errno = ENOENT;
        return false;
    }
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] != '/')
            continue;
        std::string sPart = s.substr(0, i);
        if (!bExist(sPart.c_str()) && mkdir(sPart.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    if (mkdir(s.c_str(), 0777) == 0)
        return true;
    if (errno == EEXIST && bIsADirectory(s.c_str()))
        return true;
    return false;
}

bool CDiskFile::bGetFileAttributes(uint32_t *pdwAttributes, const char *pszPath)
{
    struct stat64 st;
    if (!pdwAttributes || !Stat(pszPath, &st))
        return false;
    uint32_t dw = st.st_mode & 0xE1FF;
    std::string s = SlashCopy(pszPath);
    if (*pszGetPtrToFileName(s.c_str()) == '.')
        dw |= 0x80000000u;
    *pdwAttributes = dw;
    return true;
}

bool CDiskFile::bSetFileAttributes(const char *pszPath, uint32_t dwAttributes)
{
    if (!pszPath)
        return false;
    bool bReadOnly = dwAttributes == 0xFFFFFFFEu || dwAttributes == 0xFFFFFFFFu;
    return chmod(pszPath, bReadOnly ? 0444 : 0666) == 0;
}

bool CDiskFile::bGetLastModificationTime(const char *pszPath, _stXFILETIME *pstTime)
{
    struct stat64 st;
    if (!pstTime || !bGetFileStatus(pszPath, &st) || st.st_mtime < 0)
        return false;
    time_t t = st.st_mtime;
    struct tm tmLocal;
    if (!localtime_r(&t, &tmLocal))
        return false;
    pstTime->wYear = static_cast<uint16_t>(tmLocal.tm_year + 1900);
    pstTime->wMonth = static_cast<uint16_t>(tmLocal.tm_mon + 1);
    pstTime->wDay = static_cast<uint16_t>(tmLocal.tm_mday);
    pstTime->wHour = static_cast<uint16_t>(tmLocal.tm_hour);
    pstTime->wMinute = static_cast<uint16_t>(tmLocal.tm_min);
    pstTime->wSecond = static_cast<uint16_t>(tmLocal.tm_sec);
    pstTime->wMilliseconds = 0;
    return true;
}

int CDiskFile::nCompareSystemTime(const _stXFILETIME *pstA, const _stXFILETIME *pstB)
{
    const uint16_t a[] = {pstA->wYear, pstA->wMonth, pstA->wDay, pstA->wHour,
                          pstA->wMinute, pstA->wSecond, pstA->wMilliseconds};
    const uint16_t b[] = {pstB->wYear, pstB->wMonth, pstB->wDay, pstB->wHour,
                          pstB->wMinute, pstB->wSecond, pstB->wMilliseconds};
    for (int i = 0; i < 7; ++i)
        if (a[i] != b[i])
            return static_cast<int>(b[i]) - static_cast<int>(a[i]);
    return 0;
}

bool CDiskFile::bSystemTimeToDosFileTime(const _stXFILETIME *pstTime, uint32_t *pdwDos)
{
    if (!pstTime || !pdwDos)
        return false;
    // Seven bits of years from 1980.
    if (pstTime->wYear < 1980 || pstTime->wYear > 1980 + 127) {
        errno = EINVAL;
        return false;
    }
    uint32_t dwDate = ((pstTime->wYear - 1980u) << 9) | ((pstTime->wMonth & 0xFu) << 5) |
                      (pstTime->wDay & 0x1Fu);
    uint32_t dwTime = ((pstTime->wHour & 0x1Fu) << 11) | ((pstTime->wMinute & 0x3Fu) << 5) |
                      ((pstTime->wSecond / 2u) & 0x1Fu);
    *pdwDos = (dwDate << 16) | dwTime;
    return true;
}

bool CDiskFile::bDosFileTimeToSystemTime(uint32_t dwDos, _stXFILETIME *pstTime)
{
    if (!pstTime)
        return false;
    uint32_t dwDate = dwDos >> 16, dwTime = dwDos & 0xFFFFu;
    pstTime->wYear = static_cast<uint16_t>(1980 + (dwDate >> 9));
    pstTime->wMonth = static_cast<uint16_t>((dwDate >> 5) & 0xF);
    pstTime->wDay = static_cast<uint16_t>(dwDate & 0x1F);
    pstTime->wHour = static_cast<uint16_t>(dwTime >> 11);
    pstTime->wMinute = static_cast<uint16_t>((dwTime >> 5) & 0x3F);
    pstTime->wSecond = static_cast<uint16_t>((dwTime & 0x1F) * 2);
    pstTime->wMilliseconds = 0;
    return true;
}

bool CDiskFile::bFileTimeToSystemTime(const FILETIME *pstFileTime, _stXFILETIME *pstTime)
{
    if (!pstFileTime || !pstTime)
        return false;
    FILETIME ftLocal;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(pstFileTime, &ftLocal) || !FileTimeToSystemTime(&ftLocal, &st))
        return false;
    FromSystemTime(st, pstTime);
    return true;
}

bool CDiskFile::bSystemTimeToFileTime(const _stXFILETIME *pstTime, FILETIME *pstFileTime)
{
    if (!pstTime || !pstFileTime)
        return false;
    SYSTEMTIME st;
    memset(&st, 0, sizeof st);
    st.wYear = pstTime->wYear;
    st.wMonth = pstTime->wMonth;
    st.wDay = pstTime->wDay;
    st.wHour = pstTime->wHour;
    st.wMinute = pstTime->wMinute;
    st.wSecond = pstTime->wSecond;
    st.wMilliseconds = pstTime->wMilliseconds;
    FILETIME ftLocal;
    return SystemTimeToFileTime(&st, &ftLocal) && LocalFileTimeToFileTime(&ftLocal, pstFileTime);
}

bool CDiskFile::sbIsBadNetworkFile(const char *)
{
    return false;
}

bool CDiskFile::bSystemSupportHugeFile()
{
    return true;
}

bool CDiskFile::bGetTime(_stXFILETIME *pstCreation, _stXFILETIME *pstAccess,
                         _stXFILETIME *pstWrite)
{
    FILETIME ftCreation, ftAccess, ftWrite;
    if (!GetFileTime(_nFd, &ftCreation, &ftAccess, &ftWrite))
        return false;
    if (pstCreation && !bFileTimeToSystemTime(&ftCreation, pstCreation))
        return false;
    if (pstAccess && !bFileTimeToSystemTime(&ftAccess, pstAccess))
        return false;
    if (pstWrite && !bFileTimeToSystemTime(&ftWrite, pstWrite))
        return false;
    return true;
}

bool CDiskFile::bSetTime(const FILETIME *pstCreation, const FILETIME *pstAccess,
                         const FILETIME *pstWrite)
{
    return SetFileTime(_szName, pstCreation, pstAccess, pstWrite);
}

bool CDiskFile::bSetTime(const _stXFILETIME *, const _stXFILETIME *pstAccess,
                         const _stXFILETIME *pstWrite)
{
    FILETIME ftAccess, ftWrite;
    if (pstAccess && !bSystemTimeToFileTime(pstAccess, &ftAccess))
        return false;
    if (pstWrite && !bSystemTimeToFileTime(pstWrite, &ftWrite))
        return false;
    return SetFileTime(_szName, nullptr, pstAccess ? &ftAccess : nullptr,
                       pstWrite ? &ftWrite : nullptr);
}
