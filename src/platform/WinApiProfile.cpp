// Profile files: a small section/key text-file engine behind the Windows profile calls.
// Readers hold a shared fcntl lock and writers an exclusive one for the whole
// read-modify-write, so two processes writing the same file lose nothing.
#include "platform/WinApi.h"
#include "platform/WinApiInternal.h"

#include "files/DiskFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

using tqwinapi::CopyCut;

const size_t knPathMax = MAX_PATH;  // characters; buffers hold one more

// Waits for an advisory lock on the whole file; interrupted waits are retried.
void LockWhole(int nFd, short nType)
{
    struct flock stLock;
    memset(&stLock, 0, sizeof stLock);
    stLock.l_type = nType;
    stLock.l_whence = SEEK_SET;
    while (fcntl(nFd, F_SETLKW, &stLock) != 0 && errno == EINTR) {
    }
}

// Copies a file name into a path buffer; a name too long for it is refused
// rather than cut, since a cut name designates another file.
bool bCopyPath(char *pszOut, const char *pszIn)
{
    size_t nLen = strlen(pszIn);
    if (nLen > knPathMax) {
        pszOut[0] = '\0';
        errno = ENAMETOOLONG;
        return false;
    }
    memcpy(pszOut, pszIn, nLen + 1);
    return true;
}


// Reading side: names other than absolute or "./" ones are relative to the home directory.
bool bReadPathOf(const char *pszFile, char *pszPath)
{
    if (pszFile[0] == '/' || (pszFile[0] == '.' && pszFile[1] == '/'))
        return bCopyPath(pszPath, pszFile);
    std::string clHome;
    if (!bGetHomeDirectory(&clHome))
        return bCopyPath(pszPath, pszFile);
    std::string clPath = clHome + "/" + pszFile;
    return bCopyPath(pszPath, clPath.c_str());
}

// Output buffer that never writes beyond its size, terminator included.
struct CListBuffer {
    char *pszBuffer;
    DWORD nSize;
    DWORD nPlaced;

    void Append(const char *pszText, size_t nText)
    {
        if (pszBuffer == nullptr || nSize == 0)
            return;
        size_t nRoom = nSize - 1 - nPlaced;
        if (nText > nRoom)
            nText = nRoom;
        memcpy(pszBuffer + nPlaced, pszText, nText);
        nPlaced += static_cast<DWORD>(nText);
        pszBuffer[nPlaced] = '\0';
    }
};

const char *SkipSpace(const char *p)
{
    while (*p != '\0' && isspace(static_cast<unsigned char>(*p)))
        p++;
    return p;
}

bool IsHeader(const char *pszLine)
{
    return pszLine[0] == '[' && strchr(pszLine, ']') != nullptr;
}

// "[name]" at the start of the line, the name compared without regard to case.
bool IsHeaderOf(const char *pszLine, const char *pszSection, size_t nSection)
{
    return pszLine[0] == '[' && strncasecmp(pszLine + 1, pszSection, nSection) == 0 && pszLine[1 + nSection] == ']';
}

bool IsKeyEnd(char c)
{
    return c == '=' || c == ' ' || c == '\t';
}

// Scans an open profile file for a value, the key list or the section list.
// Answers true when a value was found or a list is not empty.
bool ReadProfile(FILE *pFile, const char *pszSection, const char *pszKey, LPSTR pszBuffer, DWORD nSize)
{
    CListBuffer stOut = {pszBuffer, nSize, 0};
    char *pszRaw = nullptr;
    size_t nCap = 0;
    bool bFound = false;
    bool bListSections = pszSection == nullptr || pszSection[0] == '\0';
    bool bListKeys = pszKey == nullptr || pszKey[0] == '\0';
    size_t nSection = bListSections ? 0 : strlen(pszSection);
    size_t nKey = bListKeys ? 0 : strlen(pszKey);
    bool bInSection = false;

    while (getline(&pszRaw, &nCap, pFile) >= 0) {
        char *pszLine = const_cast<char *>(SkipSpace(pszRaw));
        if (bListSections) {
            if (pszLine[0] == '[' && nSize != 0) {
                const char *pszClose = strchr(pszLine, ']');
                if (pszClose != nullptr) {
                    stOut.Append(pszLine + 1, pszClose - pszLine - 1);
                    stOut.Append("\r\n", 2);
                }
            }
            continue;
        }
        if (!bInSection) {
            bInSection = IsHeaderOf(pszLine, pszSection, nSection);
            continue;
        }
        if (IsHeader(pszLine))
            break;
        if (pszLine[0] == ':')
            continue;
        pszLine[strcspn(pszLine, "\r\n")] = '\0';
        char *pszEqual = strchr(pszLine, '=');
        if (pszEqual == nullptr)
            continue;
        if (!bListKeys) {
            if (strncasecmp(pszLine, pszKey, nKey) != 0 || !IsKeyEnd(pszLine[nKey]))
                continue;
            const char *pszValue = pszEqual + 1;
            while (*pszValue == ' ' || *pszValue == '\t')
                pszValue++;
            CopyCut(pszBuffer, nSize, pszValue, strlen(pszValue));
            bFound = true;
            break;
        }
        if (pszBuffer == nullptr || stOut.nPlaced + 1 >= nSize)
            break;
        size_t nName = pszEqual - pszLine;
        while (nName > 0 && isspace(static_cast<unsigned char>(pszLine[nName - 1])))
            nName--;
        stOut.Append(pszLine, nName);
        stOut.Append("\r\n", 2);
    }
    free(pszRaw);
    return bFound || stOut.nPlaced > 0;
}

// A line of the file being rewritten: [nStart, nEnd) with nEnd past its line feed.
struct CLine {
    size_t nStart;
    size_t nEnd;
};

bool NextLine(const std::string &clText, size_t nPos, CLine *pLine)
{
    if (nPos >= clText.size())
        return false;
    size_t nFeed = clText.find('\n', nPos);
    pLine->nStart = nPos;
    pLine->nEnd = nFeed == std::string::npos ? clText.size() : nFeed + 1;
    return true;
}

bool ReadAll(int nFd, std::string *pclText)
{
    char szChunk[65536];
    for (;;) {
        ssize_t nRead = read(nFd, szChunk, sizeof szChunk);
        if (nRead < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (nRead == 0)
            return true;
        pclText->append(szChunk, static_cast<size_t>(nRead));
    }
}

void WriteAll(int nFd, const char *pData, size_t nLen, off_t nOffset)
{
    while (nLen > 0) {
        ssize_t nWritten = pwrite(nFd, pData, nLen, nOffset);
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        pData += nWritten;
        nLen -= static_cast<size_t>(nWritten);
        nOffset += nWritten;
    }
}

// Replaces [nFrom, nTo) of the file with the new text: the rest of the file is written
// back after it and the file cut at the resulting end.
void Splice(int nFd, const std::string &clText, size_t nFrom, size_t nTo, const std::string &clNew)
{
    std::string clTail;
    try {
        clTail.reserve(clNew.size() + (clText.size() - nTo));
        clTail = clNew;
        clTail.append(clText, nTo, std::string::npos);
    } catch (const std::bad_alloc &) {
        return;  // the file stays as it was
    }
    WriteAll(nFd, clTail.data(), clTail.size(), static_cast<off_t>(nFrom));
    if (ftruncate(nFd, static_cast<off_t>(nFrom + clTail.size())) != 0) {
        // Not reported: the answer only says whether the file could be opened.
    }
}

// Appends at the end of the file, starting a new line if the last one has no line feed.
void Append(int nFd, const std::string &clText, std::string clNew)
{
    if (!clText.empty() && clText.back() != '\n')
        clNew.insert(clNew.begin(), '\n');
    Splice(nFd, clText, clText.size(), clText.size(), clNew);
}

std::string KeyLine(const char *pszKey, const char *pszValue)
{
    return std::string(pszKey) + " = " + pszValue + "\n";
}

void WriteProfile(int nFd, const std::string &clText, const char *pszSection, const char *pszKey,
                  const char *pszValue)
{
    size_t nSection = strlen(pszSection);
    CLine stLine;
    size_t nPos = 0;
    bool bSection = false;
    while (NextLine(clText, nPos, &stLine)) {
        nPos = stLine.nEnd;
        const char *p = clText.c_str() + stLine.nStart;
        if (p[0] == '[' && strncmp(p + 1, pszSection, nSection) == 0 && p[1 + nSection] == ']') {
            bSection = true;
            break;
        }
    }

    if (!bSection) {
        if (pszKey == nullptr)
            return;
        std::string clNew = "[" + std::string(pszSection) + "]\n";
        if (pszValue != nullptr)
            clNew += KeyLine(pszKey, pszValue);
        Append(nFd, clText, clNew);
        return;
    }

    size_t nHeader = stLine.nStart;
    if (pszKey == nullptr) {
        // Remove the whole section up to the next header.
        size_t nStop = clText.size();
        while (NextLine(clText, nPos, &stLine)) {
            nPos = stLine.nEnd;
            if (clText[stLine.nStart] == '[') {
                nStop = stLine.nStart;
                break;
            }
        }
        Splice(nFd, clText, nHeader, nStop, std::string());
        return;
    }

    size_t nKey = strlen(pszKey);
    bool bInsert = false;
    size_t nInsert = 0;
    while (NextLine(clText, nPos, &stLine)) {
        nPos = stLine.nEnd;
        const char *p = clText.c_str() + stLine.nStart;
        if (!bInsert && (p[0] == '[' || p[0] == '\n' || p[0] == '\r')) {
            bInsert = true;
            nInsert = stLine.nStart;
        }
        if (p[0] == '[')
            break;
        if (strncmp(p, pszKey, nKey) == 0 && IsKeyEnd(p[nKey])) {
            Splice(nFd, clText, stLine.nStart, stLine.nEnd,
                   pszValue != nullptr ? KeyLine(pszKey, pszValue) : std::string());
            return;
        }
    }
    if (pszValue == nullptr)
        return;
    if (bInsert)
        Splice(nFd, clText, nInsert, nInsert, KeyLine(pszKey, pszValue));
    else
        Append(nFd, clText, KeyLine(pszKey, pszValue));
}

}  // namespace

bool bGetORMCONFPath(char *pszPath)
{
    if (pszPath == nullptr)
        return false;
    std::string clHome;
    if (!bGetHomeDirectory(&clHome))
        return false;
    // A cut name would designate another file.
    int nLen = snprintf(pszPath, knPathMax + 1, "%s/.ORM.conf", clHome.c_str());
    if (nLen < 0 || static_cast<size_t>(nLen) > knPathMax) {
        pszPath[0] = '\0';
        return false;
    }
    return true;
}

// Reads from an open profile (closed here, which releases any lock), or answers the default.
static DWORD ReadOrDefault(FILE *pFile, LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer,
                           DWORD nSize)
{
    if (pFile != nullptr) {
        if (pszBuffer != nullptr && nSize != 0)
            pszBuffer[0] = '\0';
        bool bFound = ReadProfile(pFile, pszSection, pszKey, pszBuffer, nSize);
        fclose(pFile);
        if (bFound)
            return pszBuffer != nullptr && nSize != 0 ? static_cast<DWORD>(strlen(pszBuffer)) : 0;
    }
    if (pszDefault == nullptr)
        return 0;
    return CopyCut(pszBuffer, nSize, pszDefault, strlen(pszDefault));
}

DWORD GetPrivateProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer, DWORD nSize,
                              LPCSTR pszFileName)
{
    FILE *pFile = nullptr;
    if (pszFileName != nullptr) {
        char szPath[knPathMax + 1];
        pFile = bReadPathOf(pszFileName, szPath) ? fopen(szPath, "r") : nullptr;
        if (pFile != nullptr)
            LockWhole(fileno(pFile), F_RDLCK);
    }
    return ReadOrDefault(pFile, pszSection, pszKey, pszDefault, pszBuffer, nSize);
}

DWORD GetPrivateProfileStringFromText(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer,
                                      DWORD nSize, const std::string &clText)
{
    FILE *pFile = clText.empty() ? nullptr : fmemopen(const_cast<char *>(clText.data()), clText.size(), "r");
    return ReadOrDefault(pFile, pszSection, pszKey, pszDefault, pszBuffer, nSize);
}

// The integer a read gives with its default as text, as atoi reads it, without its
// undefined result on overflow.
template <typename LIT> static int IntOf(int nDefault, LIT fnLit)
{
    char szDefault[20];
    char szValue[20];
    snprintf(szDefault, sizeof szDefault, "%d", nDefault);
    szValue[0] = '\0';
    fnLit(szDefault, szValue, static_cast<DWORD>(sizeof szValue));
    long nValue = strtol(szValue, nullptr, 10);
    if (nValue > INT_MAX)
        return INT_MAX;
    if (nValue < INT_MIN)
        return INT_MIN;
    return static_cast<int>(nValue);
}

int GetPrivateProfileInt(LPCSTR pszSection, LPCSTR pszKey, int nDefault, LPCSTR pszFileName)
{
    return IntOf(nDefault, [&](const char *pszDefault, char *pszValue, DWORD nSize) {
        GetPrivateProfileString(pszSection, pszKey, pszDefault, pszValue, nSize, pszFileName);
    });
}

int GetPrivateProfileIntFromText(LPCSTR pszSection, LPCSTR pszKey, int nDefault, const std::string &clText)
{
    return IntOf(nDefault, [&](const char *pszDefault, char *pszValue, DWORD nSize) {
        GetPrivateProfileStringFromText(pszSection, pszKey, pszDefault, pszValue, nSize, clText);
    });
}

BOOL WritePrivateProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue, LPCSTR pszFileName)
{
    if (pszFileName == nullptr || pszSection == nullptr)
        return FALSE;
    char szPath[knPathMax + 1];
    if (!bCopyPath(szPath, pszFileName))
        return FALSE;
    CDiskFile::pszBackSlash2Slash(szPath);
    // Opened without truncation even when new: another writer may create it meanwhile.
    int nFd = open(szPath, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (nFd < 0)
        return FALSE;
    LockWhole(nFd, F_WRLCK);
    std::string clText;
    bool bRead = false;
    try {
        bRead = ReadAll(nFd, &clText);
    } catch (const std::bad_alloc &) {
        bRead = false;
    }
    if (bRead)
        WriteProfile(nFd, clText, pszSection, pszKey, pszValue);
    close(nFd);  // closing releases the lock
    return TRUE;
}

DWORD GetProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer, DWORD nSize)
{
    char szPath[knPathMax + 1];
    if (!bGetORMCONFPath(szPath))
        return pszDefault != nullptr ? CopyCut(pszBuffer, nSize, pszDefault, strlen(pszDefault)) : 0;
    return GetPrivateProfileString(pszSection, pszKey, pszDefault, pszBuffer, nSize, szPath);
}

int GetProfileInt(LPCSTR pszSection, LPCSTR pszKey, int nDefault)
{
    char szPath[knPathMax + 1];
    if (!bGetORMCONFPath(szPath))
        return nDefault;
    return GetPrivateProfileInt(pszSection, pszKey, nDefault, szPath);
}

BOOL WriteProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue)
{
    char szPath[knPathMax + 1];
    if (!bGetORMCONFPath(szPath))
        return FALSE;
    return WritePrivateProfileString(pszSection, pszKey, pszValue, szPath);
}

// Home directory of the real user from the password database (not $HOME); the
// reentrant lookup, since the engine may read settings from several threads.
bool bGetHomeDirectory(std::string *pclHome)
{
    struct passwd stEntry;
    struct passwd *pEntry = nullptr;
    std::string clBuffer(16384, '\0');
    while (getpwuid_r(getuid(), &stEntry, &clBuffer[0], clBuffer.size(), &pEntry) == ERANGE &&
           clBuffer.size() < (1u << 20))
        clBuffer.resize(clBuffer.size() * 2);
    if (pEntry == nullptr || pEntry->pw_dir == nullptr)
        return false;
    *pclHome = pEntry->pw_dir;
    return true;
}
