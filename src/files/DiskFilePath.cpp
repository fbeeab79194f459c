// Path names: split, join, normalise and compare in memory.
// The code base was written for Windows names, so '\' is taken as '/' everywhere.
#include "files/DiskFile.h"
#include "files/DiskFilePrivate.h"
#include "platform/WinApi.h"
#include "strings/Tstring.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using std::string;

namespace tqfiles {

string SlashCopy(const char *psz)
{
    string s = psz ? psz : "";
    for (char &c : s)
        if (c == '\\')
            c = '/';
    return s;
}

void CopyOut(char *pszOut, const string &s, size_t nMax)
{
    size_t n = s.size() < nMax ? s.size() : nMax;
    memmove(pszOut, s.data(), n);
    pszOut[n] = 0;
}

} // namespace tqfiles

using namespace tqfiles;

namespace {

// Position of the extension's dot, or npos: the last '.' not followed by a '/'.
size_t ExtensionDot(const char *psz, size_t nLen)
{
    for (size_t i = nLen; i > 0; --i) {
        if (psz[i - 1] == '.')
            return i - 1;
        if (psz[i - 1] == '/')
            break;
    }
    return string::npos;
}

void RemoveTrailingSlashes(string &s)
{
    while (!s.empty() && s.back() == '/')
        s.pop_back();
}

// Directory part as SplitPath gives it: up to and including the last '/'.
string DirectoryPart(const string &s)
{
    size_t n = s.rfind('/');
    return n == string::npos ? string() : s.substr(0, n + 1);
}

string Standardized(const char *psz)
{
    string s = SlashCopy(psz);
    while (!s.empty() && isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    return s;
}

// Turns "/./" into "/", then removes "/../" with the component before it. In
// that order, so a "." is never taken for the component that ".." climbs out
// of ("/a/./../b" is "/b"). "/.." right under the root stays at the root, as
// the system itself does.
void Normalise(string &s)
{
    size_t p;
    while ((p = s.find("/./")) != string::npos)
        s.erase(p, 2);
    while ((p = s.find("/../")) != string::npos) {
        if (p == 0) {
            s.erase(0, 3);
            continue;
        }
        size_t q = s.rfind('/', p - 1);
        if (q == string::npos)
            s.erase(0, p + 4);
        else
            s.erase(q, p + 3 - q);
    }
}

// Home directory of the real user; $HOME when the user has no password entry.
bool HomeDirectory(string &sHome)
{
    if (bGetHomeDirectory(&sHome))
        return true;
    const char *pszHome = getenv("HOME");
    if (pszHome && *pszHome) {
        sHome = pszHome;
        return true;
    }
    return false;
}

} // namespace

char *CDiskFile::pszBackSlash2Slash(char *psz)
{
    for (char *p = psz; p && *p; ++p)
        if (*p == '\\')
            *p = '/';
    return psz;
}

char *CDiskFile::pszSlash2BackSlash(char *psz)
{
    for (char *p = psz; p && *p; ++p)
        if (*p == '/')
            *p = '\\';
    return psz;
}

CTString &CDiskFile::pszBackSlash2Slash(CTString &cl)
{
    for (long i = 0, n = cl.nTaille(); i < n; ++i)
        if (cl.cGetChar(i) == '\\')
            cl.SetChar(i, '/');
    return cl;
}

CTString &CDiskFile::pszSlash2BackSlash(CTString &cl)
{
    for (long i = 0, n = cl.nTaille(); i < n; ++i)
        if (cl.cGetChar(i) == '/')
            cl.SetChar(i, '\\');
    return cl;
}

const char *CDiskFile::pszGetPtrToFileName(const char *pszPath)
{
    if (!pszPath || !*pszPath)
        return pszPath;
    const char *p = pszPath;
    if (p[1] == ':')
        p += 2;
    const char *pszName = p;
    for (; *p; ++p)
        if (*p == '/' || *p == '\\')
            pszName = p + 1;
    return pszName;
}

char *CDiskFile::pszGetPtrToFileName(char *pszPath)
{
    return const_cast<char *>(pszGetPtrToFileName(static_cast<const char *>(pszPath)));
}

bool CDiskFile::bIsRelativePath(const char *pszPath)
{
    return pszPath && pszPath[0] == '.';
}

bool CDiskFile::bIsRelativeFileName(const char *pszPath)
{
    return !pszPath || (pszPath[0] != '/' && pszPath[0] != '\\');
}

bool CDiskFile::bIsRelativeFileName_WIN32(const char *pszPath)
{
    if (!pszPath || !*pszPath)
        return true;
    if (pszPath[0] == '\\')
        return false;
    if (isalpha(static_cast<unsigned char>(pszPath[0])) && pszPath[1] == ':')
        return false;
    return pszPath[strlen(pszPath) - 1] != ':';
}

bool CDiskFile::bUNCName(const char *pszPath)
{
    return pszPath && pszPath[0] == '\\' && pszPath[1] == '\\' && strchr(pszPath + 2, '\\');
}

bool CDiskFile::bIsAVirtualDirectory(const char *pszName)
{
    return pszName && (!strcmp(pszName, ".") || !strcmp(pszName, ".."));
}

bool CDiskFile::bValidName(const char *pszName)
{
    return pszName && !strpbrk(pszName, "\\/:*?\"<>|");
}

void CDiskFile::DirectoryWithEndSlash(char *pszDir)
{
    if (!pszDir)
        return;
    pszBackSlash2Slash(pszDir);
    size_t n = strlen(pszDir);
    // The slash is added only while it fits in a path buffer.
    if (n > 0 && pszDir[n - 1] != '/' && n + 1 < DISKFILE_MAX_PATH) {
        pszDir[n] = '/';
        pszDir[n + 1] = 0;
    }
}

void CDiskFile::DirectoryWithEndSlash(CTString &clDir)
{
    pszBackSlash2Slash(clDir);
    long n = clDir.nTaille();
    if (n > 0 && clDir.cGetChar(n - 1) != '/')
        clDir.Add('/');
}

void CDiskFile::DirectoryWithoutEndSlash(char *pszDir)
{
    if (!pszDir)
        return;
    pszBackSlash2Slash(pszDir);
    size_t n = strlen(pszDir);
    while (n > 0 && pszDir[n - 1] == '/')
        pszDir[--n] = 0;
}

void CDiskFile::DelExtension(char *pszPath)
{
    if (!pszPath)
        return;
    pszBackSlash2Slash(pszPath);
    size_t d = ExtensionDot(pszPath, strlen(pszPath));
    if (d != string::npos)
        pszPath[d] = 0;
}

void CDiskFile::ChangeExtension(char *pszPath, unsigned nSize, const char *pszExtension)
{
    if (!pszPath || nSize == 0)
        return;
    pszBackSlash2Slash(pszPath);
    string sExt = SlashCopy(pszExtension);
    size_t nLen = strnlen(pszPath, nSize);
    if (nLen >= nSize)
        return; // not a terminated string within the stated size
    size_t nStart;
    size_t d = ExtensionDot(pszPath, nLen);
    if (d != string::npos) {
        nStart = (!sExt.empty() && sExt[0] == '.') ? d : d + 1;
    } else {
        if (nLen + 1 >= nSize)
            return;
        nStart = nLen;
        if (sExt.empty() || sExt[0] != '.')
            pszPath[nStart++] = '.';
    }
    size_t nRoom = nSize - 1 - nStart; // nStart <= nLen + 1 <= nSize - 1
    size_t nCopy = sExt.size() < nRoom ? sExt.size() : nRoom;
    memcpy(pszPath + nStart, sExt.data(), nCopy);
    pszPath[nStart + nCopy] = 0;
}

void CDiskFile::SplitPath(const char *pszPath, char *pszDir, char *pszName, char *pszExt)
{
    if (!pszDir && !pszName && !pszExt)
        return;
    string s = SlashCopy(pszPath);
    size_t nSep = s.rfind('/');
    string sDir = nSep == string::npos ? string() : s.substr(0, nSep + 1);
    string sRest = nSep == string::npos ? s : s.substr(nSep + 1);
    size_t nDot = sRest.rfind('.');
    string sName = nDot == string::npos ? sRest : sRest.substr(0, nDot);
    string sExt = nDot == string::npos ? string() : sRest.substr(nDot);
    if (pszDir)
        CopyOut(pszDir, sDir);
    if (pszName)
        CopyOut(pszName, sName);
    if (pszExt)
        CopyOut(pszExt, sExt);
}

void CDiskFile::SplitPath(const char *pszPath, char *pszDir, char *pszNameExt)
{
    if (!pszNameExt) {
        SplitPath(pszPath, pszDir, nullptr, nullptr);
        return;
    }
    char szExt[DISKFILE_MAX_PATH];
    SplitPath(pszPath, pszDir, pszNameExt, szExt);
    CopyOut(pszNameExt, string(pszNameExt) + szExt);
}

void CDiskFile::SplitPath(const char *pszPath, char *pszDrive, char *pszDir, char *pszName,
                          char *pszExt)
{
    if (pszDrive)
        pszDrive[0] = 0;
    SplitPath(pszPath, pszDir, pszName, pszExt);
}

void CDiskFile::MakePath(char *pszOut, const char *pszDir, const char *pszName,
                         const char *pszExt)
{
    if (!pszOut)
        return;
    // A directory written with '\' must not get a second separator.
    string s = SlashCopy(pszDir);
    if (!s.empty() && s.back() != '/')
        s += '/';
    if (pszName && *pszName) {
        s += SlashCopy(pszName);
        if (pszExt && *pszExt) {
            if (*pszExt != '.')
                s += '.';
            s += SlashCopy(pszExt);
        }
    }
    CopyOut(pszOut, s);
}

void CDiskFile::StandardizeFileName(char *pszOut, const char *pszSource)
{
    if (!pszOut)
        return;
    CopyOut(pszOut, Standardized(pszSource ? pszSource : pszOut));
}

bool CDiskFile::bSameFileName(const char *pszPath1, const char *pszPath2)
{
    return Standardized(pszPath1) == Standardized(pszPath2);
}

bool CDiskFile::bSameDirectoryName(const char *pszPath1, const char *pszPath2)
{
    string s1 = Standardized(pszPath1), s2 = Standardized(pszPath2);
    if (!s1.empty() && s1.back() == '/')
        s1.pop_back();
    if (!s2.empty() && s2.back() == '/')
        s2.pop_back();
    return s1 == s2;
}

bool CDiskFile::bSameDirectoryNameEx(const char *pszPath1, bool bAbsolute1, const char *pszPath2,
                                     bool bAbsolute2)
{
    char sz1[DISKFILE_MAX_PATH], sz2[DISKFILE_MAX_PATH];
    if (bAbsolute1) {
        if (!bStandardizeExistingFileName(sz1, sizeof sz1, pszPath1))
            return false;
        pszPath1 = sz1;
    }
    if (bAbsolute2) {
        if (!bStandardizeExistingFileName(sz2, sizeof sz2, pszPath2))
            return false;
        pszPath2 = sz2;
    }
    return bSameDirectoryName(pszPath1, pszPath2);
}

unsigned CDiskFile::GetFullPathName(const char *pszPath, unsigned nSize, char *pszOut,
                                    char ** /*ppszFilePart*/)
{
    if (!pszPath || !*pszPath)
        return 0;
    if (!pszOut)
        nSize = 0;
    string sPath = SlashCopy(pszPath);
    string sFull;
    if (sPath[0] == '~') {
        string sHome;
        if (!HomeDirectory(sHome))
            return 0;
        size_t nNeeded = sHome.size() + sPath.size() + 3;
        if (nNeeded > UINT_MAX)
            return 0;
        if (nSize < nNeeded)
            return static_cast<unsigned>(nNeeded);
        sFull = sHome + sPath.substr(1);
    } else if (sPath[0] == '/') {
        if (sPath.size() + 1 > UINT_MAX)
            return 0;
        if (sPath.size() + 1 > nSize)
            return static_cast<unsigned>(sPath.size() + 1);
        sFull = sPath;
    } else {
        char szCwd[PATH_MAX + 1];
        if (!getcwd(szCwd, sizeof szCwd))
            return 0;
        size_t nCwd = strlen(szCwd);
        if (nCwd + 1 > nSize)
            return nSize * 2u; // the directory alone does not fit: ask for more
        size_t nNeeded = nCwd + sPath.size() + 2;
        if (nNeeded > UINT_MAX)
            return 0;
        if (nSize < nNeeded)
            return static_cast<unsigned>(nNeeded);
        sFull = string(szCwd) + "/" + sPath;
    }
    Normalise(sFull);
    memcpy(pszOut, sFull.c_str(), sFull.size() + 1);
    return static_cast<unsigned>(sFull.size());
}

bool CDiskFile::bGetUNCName(char *pszOut, unsigned nSize, const char *pszPath)
{
    unsigned n = GetFullPathName(pszPath, nSize, pszOut, nullptr);
    return n != 0 && n < nSize;
}

bool CDiskFile::bStandardizeExistingFileName(char *pszOut, unsigned nSize, const char *pszPath)
{
    return bGetUNCName(pszOut, nSize, pszPath);
}

bool CDiskFile::bGetFullPath(char *pszOut, unsigned nSize, const char *pszPath,
                             unsigned *pnLength)
{
    unsigned n = GetFullPathName(pszPath, nSize, pszOut, nullptr);
    if (pnLength)
        *pnLength = n;
    if (n == 0 || n >= nSize)
        return false;
    if (pnLength)
        *pnLength = n + 1;
    return true;
}

bool CDiskFile::bGetLongPathName(char *pszOut, unsigned nSize, const char *pszPath)
{
    if (pszOut && nSize > 0)
        CopyOut(pszOut, pszPath ? pszPath : "", nSize - 1);
    return true;
}

bool CDiskFile::bGetCurrentDirectory(char *pszOut)
{
    return pszOut && getcwd(pszOut, DISKFILE_MAX_PATH) != nullptr;
}

bool CDiskFile::bRelativeToFullPath(char *pszOut, const char *pszRelative, const char *pszBase)
{
    if (!pszOut)
        return false;
    string sRel = SlashCopy(pszRelative), sBase = SlashCopy(pszBase);
    string sOut;
    if (sRel == ".") {
        sOut = sBase;
    } else if (sRel.empty() || sRel[0] != '.') {
        sOut = sRel;
    } else if (sRel.compare(0, 2, "./") == 0) {
        RemoveTrailingSlashes(sBase);
        sOut = sBase + sRel.substr(1);
    } else {
        size_t nSkip = 0;
        while (sRel.compare(nSkip, 3, "../") == 0) {
            // The root stays the root however many levels are climbed.
            while (sBase.size() > 1 && sBase.back() == '/')
                sBase.pop_back();
            sBase = sBase == "/" ? sBase : DirectoryPart(sBase);
            nSkip += 3;
        }
        if (!sBase.empty() && sBase.back() != '/')
            sBase += '/';
        sOut = sBase + sRel.substr(nSkip);
    }
    // The output is a path buffer.
    if (sOut.size() > DISKFILE_MAX_PATH - 1) {
        errno = ENAMETOOLONG;
        return false;
    }
    CopyOut(pszOut, sOut);
    return true;
}

bool CDiskFile::bPathRelativePathTo(char *pszOut, const char *pszPath, const char *pszBase,
                                    bool bStrict)
{
    if (!pszOut)
        return false;
    string sOut;
    if (!pszBase || !*pszBase) {
        sOut = pszPath ? pszPath : "";
    } else {
        string sPath = Standardized(pszPath), sBase = Standardized(pszBase);
        if (sBase.empty() || sBase.back() != '/')
            sBase += '/';
        unsigned nLevels = 0;
        while (sPath.compare(0, sBase.size(), sBase) != 0) {
            if (!sBase.empty() && sBase.back() == '/')
                sBase.pop_back();
            sBase = DirectoryPart(sBase);
            ++nLevels;
            if (bStrict && sBase.empty())
                return false;
        }
        if (nLevels == 0)
            sOut = "./";
        for (unsigned i = 0; i < nLevels && sOut.size() < DISKFILE_MAX_PATH; ++i)
            sOut += "../";
        sOut += sPath.substr(sBase.size());
    }
    if (sOut.size() > DISKFILE_MAX_PATH - 1) {
        errno = ENAMETOOLONG;
        return false;
    }
    CopyOut(pszOut, sOut);
    return true;
}

bool CDiskFile::bGetTempDirectory(char *pszOut)
{
    if (!pszOut)
        return false;
    // The directory the system gives temporary names in: $TMPDIR when it is a
    // writable directory, else P_tmpdir, else /tmp.
    string sDir;
    const char *pszEnv = getenv("TMPDIR");
    struct stat st;
    auto usable = [&st](const char *psz) {
        return psz && *psz && stat(psz, &st) == 0 && S_ISDIR(st.st_mode) && access(psz, W_OK | X_OK) == 0;
    };
    if (usable(pszEnv))
        sDir = pszEnv;
    else if (usable(P_tmpdir))
        sDir = P_tmpdir;
    else if (usable("/tmp"))
        sDir = "/tmp";
    else
        return false;
    while (sDir.size() > 1 && sDir.back() == '/')
        sDir.pop_back();
    if (sDir.back() != '/')
        sDir += '/';
    CopyOut(pszOut, sDir);
    return true;
}

bool CDiskFile::bGetTempName(char *pszOut, const char *pszDir, const char *pszPrefix)
{
    if (!pszOut)
        return false;
    string s = SlashCopy(pszDir);
    if (!s.empty() && s.back() != '/')
        s += '/';
    s += SlashCopy(pszPrefix);
    s += "XXXXXX";
    if (s.size() > DISKFILE_MAX_PATH - 1) {
        errno = ENAMETOOLONG;
        return false;
    }
    CopyOut(pszOut, s);
    int fd = mkstemp(pszOut);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

bool CDiskFile::bGetTempName(char *pszOut, const char *pszPrefix)
{
    char szDir[DISKFILE_MAX_PATH];
    if (!bGetTempDirectory(szDir))
        return false;
    if (!bExist(szDir) && !bCreateDirectory(szDir))
        return false;
    return bGetTempName(pszOut, szDir, pszPrefix);
}
