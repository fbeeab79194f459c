// Directory search with Windows-style wildcards and attribute filters, and the
// tree walks built on it. Entries are read with lstat relative to the open
// directory, so a symbolic link is reported as a link and never walked into,
// and no full path (which could exceed a path buffer) is needed to classify one.
#include "files/DiskFile.h"
#include "files/DiskFileDirPrivate.h"
#include "files/DiskFilePrivate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tqfiles;

namespace {

constexpr size_t MAX_CHARS = DISKFILE_MAX_PATH - 1;

bool bTooLong(size_t n)
{
    if (n <= MAX_CHARS)
        return false;
    errno = ENAMETOOLONG;
    return true;
}

// Opens a directory unless its last component is a symbolic link (ENOTDIR then).
DIR *pOpenNoFollow(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    int fd = open(s.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR *p = fdopendir(fd);
    if (!p) {
        int nErr = errno;
        close(fd);
        errno = nErr;
    }
    return p;
}

} // namespace

namespace tqfiles {

int nFindFirstRaw(const std::string &sDirectory, const std::string &sPattern,
                  _stXFINDDATA *pstData, uint32_t dwRequired, uint32_t dwExcluded, bool bTypeOnly,
                  bool bNoFollow)
{
    if (!pstData) {
        errno = EINVAL;
        return -1;
    }
    pstData->pDir = nullptr;
    pstData->szName[0] = 0;
    pstData->dwAttributes = 0;
    pstData->oSize = 0;
    pstData->dwRequired = dwRequired;
    pstData->dwExcluded = dwExcluded;
    if (bTooLong(sDirectory.size()) || bTooLong(sPattern.size()))
        return -1;
    CopyOut(pstData->szDirectory, sDirectory);
    CopyOut(pstData->szPattern, sPattern);
    pstData->pDir = bNoFollow ? pOpenNoFollow(sDirectory) : opendir(sDirectory.c_str());
    if (!pstData->pDir)
        return -1;
    return nFindNextRaw(pstData, bTypeOnly);
}

int nFindNextRaw(_stXFINDDATA *pstData, bool bTypeOnly)
{
    if (!pstData || !pstData->pDir) {
        errno = EBADF;
        return -1;
    }
    const int fdDir = dirfd(pstData->pDir);
    for (;;) {
        errno = 0;
        struct dirent64 *pe = readdir64(pstData->pDir);
        if (!pe) {
            int nErr = errno;
            closedir(pstData->pDir);
            pstData->pDir = nullptr;
            errno = nErr ? nErr : ENOENT;
            return nErr ? -1 : 0;
        }
        const char *pszName = pe->d_name;
        if (pszName[0] == '.' && (pszName[1] == 0 || (pszName[1] == '.' && pszName[2] == 0)))
            continue;
        if (!CDiskFile::_bFiltreFileName(pszName, pstData->szPattern))
            continue;
        if (pe->d_type != DT_UNKNOWN) {
            // The entry's type is known without its status: skip the status read when
            // the directory bit alone already rejects it.
            const uint32_t dwType = DTTOIF(pe->d_type);
            if ((pstData->dwRequired & XATTRIBUTE_DIRECTORY & ~dwType) ||
                (pstData->dwExcluded & XATTRIBUTE_DIRECTORY & dwType))
                continue;
        }
        uint32_t dw;
        int64_t oSize = 0;
        if (bTypeOnly && pe->d_type != DT_UNKNOWN) {
            dw = DTTOIF(pe->d_type) & 0xE000;
        } else {
            struct stat64 st;
            if (fstatat64(fdDir, pszName, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since the directory was read
            dw = static_cast<uint32_t>(st.st_mode) & 0xE1FF;
            oSize = st.st_size;
        }
        if (pszName[0] == '.')
            dw |= XATTRIBUTE_HIDDEN;
        if ((dw & pstData->dwRequired) != pstData->dwRequired || (dw & pstData->dwExcluded) != 0)
            continue;
        // A caller joins the directory and the name: a path that cannot be held
        // whole would name another file once cut.
        if (bTooLong(strlen(pstData->szDirectory) + strlen(pszName))) {
            closedir(pstData->pDir);
            pstData->pDir = nullptr;
            errno = ENAMETOOLONG;
            return -1;
        }
        CopyOut(pstData->szName, pszName);
        pstData->dwAttributes = dw;
        pstData->oSize = oSize;
        return 1;
    }
}

bool bIsRealDirectory(const _stXFINDDATA &st)
{
    // Block devices and sockets share the directory bit; only the type tells.
    return (st.dwAttributes & 0xF000) == S_IFDIR;
}

} // namespace tqfiles

bool CDiskFile::bFindFirst(const char *pszPath, _stXFINDDATA *pstData, uint32_t dwRequired,
                           uint32_t dwExcluded)
{
    if (pstData)
        pstData->pDir = nullptr;
    if (!pszPath || !pstData) {
        errno = EINVAL;
        return false;
    }
    std::string s = SlashCopy(pszPath);
    if (bTooLong(s.size()))
        return false;
    size_t nSlash = s.rfind('/');
    if (nSlash != std::string::npos)
        return nFindFirstRaw(s.substr(0, nSlash + 1), s.substr(nSlash + 1), pstData, dwRequired,
                             dwExcluded) > 0;
    char szCwd[DISKFILE_MAX_PATH];
    if (!getcwd(szCwd, sizeof szCwd))
        return false;
    std::string sDir = szCwd;
    if (sDir.back() != '/')
        sDir += '/';
    return nFindFirstRaw(sDir, s, pstData, dwRequired, dwExcluded) > 0;
}

bool CDiskFile::bFindNext(_stXFINDDATA *pstData)
{
    return nFindNextRaw(pstData) > 0;
}

bool CDiskFile::bFindClose(_stXFINDDATA *pstData)
{
    if (!pstData || !pstData->pDir)
        return true;
    DIR *pDir = pstData->pDir;
    pstData->pDir = nullptr;
    return closedir(pDir) == 0;
}

bool CDiskFile::_bFiltreFileName(const char *pszName, const char *pszPattern)
{
    if (!pszName || !pszPattern)
        return false;
    // Greedy: on a mismatch go back to the last star and let it take one more
    // character. Earlier stars never need revisiting, so the cost stays at most
    // name length times pattern length.
    const char *s = pszName, *p = pszPattern;
    const char *pStar = nullptr, *sStar = nullptr;
    while (*s) {
        if (*p == '*') {
            pStar = ++p;
            sStar = s;
        } else if (*p && (*p == '?' || *p == *s)) {
            ++p;
            ++s;
        } else if (pStar) {
            p = pStar;
            s = ++sStar;
        } else {
            return false;
        }
    }
    while (*p == '*')
        ++p;
    return *p == 0;
}

namespace tqfiles {

bool bWalkRaw(const std::string &sDirectory, const std::string &sPattern,
              PFNDOONFILETREE pfnCallback, void *pData, uint32_t dwRequired, uint32_t dwExcluded,
              bool bRecurse, bool bNoFollow)
{
    if (bTooLong(sDirectory.size() + sPattern.size()))
        return false;
    const bool bDirectoriesOnly = (dwRequired & XATTRIBUTE_DIRECTORY) != 0;
    // A pattern with a directory part searches below the walked directory.
    const size_t nSlash = sPattern.rfind('/');
    const std::string sSearched =
        nSlash == std::string::npos ? sDirectory : sDirectory + sPattern.substr(0, nSlash + 1);
    const std::string sName = nSlash == std::string::npos ? sPattern : sPattern.substr(nSlash + 1);
    _stXFINDDATA st;
    // Only the directory bit is tested here: the entry's type is enough.
    int n = nFindFirstRaw(sSearched, sName, &st, dwRequired, dwExcluded, true, bNoFollow);
    if (n < 0 && nSlash != std::string::npos && errno == ENOENT)
        n = 0; // that part is simply absent from this directory
    for (; n > 0; n = nFindNextRaw(&st, true)) {
        if (bDirectoriesOnly && !bIsRealDirectory(st))
            continue;
        std::string sPath = sSearched + st.szName;
        // A cut path would name another file, and the callback may delete it.
        if (bTooLong(sPath.size()) || !pfnCallback(sPath.c_str(), pData)) {
            int nErr = errno;
            CDiskFile::bFindClose(&st);
            errno = nErr;
            return false;
        }
    }
    if (n < 0)
        return false;
    if (!bRecurse)
        return true;

    for (n = nFindFirstRaw(sDirectory, "*", &st, XATTRIBUTE_DIRECTORY, 0, true, bNoFollow); n > 0;
         n = nFindNextRaw(&st, true)) {
        if (!bIsRealDirectory(st))
            continue;
        std::string sSub = sDirectory + st.szName + "/";
        if (!bWalkRaw(sSub, sPattern, pfnCallback, pData, dwRequired, dwExcluded, true, bNoFollow)) {
            int nErr = errno;
            CDiskFile::bFindClose(&st);
            errno = nErr;
            return false;
        }
    }
    return n == 0;
}

std::string DirectoryArgument(const char *pszDirectory)
{
    std::string s = SlashCopy(pszDirectory);
    if (!s.empty() && s.back() != '/')
        s += '/';
    return s;
}

} // namespace tqfiles

bool CDiskFile::bDoOnFileTree(const char *pszDirectory, const char *pszPattern,
                              PFNDOONFILETREE pfnCallback, void *pData, int bWithDirectories,
                              int bRecurse)
{
    if (!pszDirectory || !*pszDirectory || !pszPattern || !pfnCallback) {
        errno = EINVAL;
        return false;
    }
    return bWalkRaw(DirectoryArgument(pszDirectory), SlashCopy(pszPattern), pfnCallback, pData, 0,
                    bWithDirectories ? 0 : XATTRIBUTE_DIRECTORY, bRecurse != 0);
}

bool CDiskFile::bDoOnDirectoryTree(const char *pszDirectory, const char *pszPattern,
                                   PFNDOONFILETREE pfnCallback, void *pData, int,
                                   int bRecurse)
{
    if (!pszDirectory || !*pszDirectory || !pszPattern || !pfnCallback) {
        errno = EINVAL;
        return false;
    }
    return bWalkRaw(DirectoryArgument(pszDirectory), SlashCopy(pszPattern), pfnCallback, pData,
                    XATTRIBUTE_DIRECTORY, 0, bRecurse != 0);
}
