// Disk file over a Unix descriptor with 64-bit offsets, and the static path and
// file-system operations the code base shares. Paths accept '\' as well as '/'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <sys/stat.h>

#include "files/XFile.h"
#include "platform/WinTypes.h"

class CTString;
class CQSBINBase;

// Size of a path buffer: 260 characters and the terminator.
constexpr unsigned DISKFILE_MAX_PATH = 261;

// Local time of a file, milliseconds included.
struct _stXFILETIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
static_assert(sizeof(_stXFILETIME) == 14, "_stXFILETIME is seven 16-bit fields");

// State of a directory search (bFindFirst / bFindNext / bFindClose).
struct _stXFINDDATA {
    DIR *pDir;                             // null when closed
    char szPattern[DISKFILE_MAX_PATH];     // wildcard pattern, the last path component
    char szDirectory[DISKFILE_MAX_PATH];   // searched directory, ending with '/'
    uint32_t dwRequired;                   // every bit here must be set in the attributes
    uint32_t dwExcluded;                   // no bit here may be set in the attributes
    char szName[DISKFILE_MAX_PATH];        // the entry found
    uint32_t dwAttributes;                 // as bGetFileAttributes, from lstat
    int64_t oSize;                         // its size in bytes
};
#if defined(__i386__)
static_assert(sizeof(void *) == 4 && sizeof(_stXFINDDATA) == 812, "_stXFINDDATA, 32-bit layout");
static_assert(offsetof(_stXFINDDATA, dwRequired) == 528 && offsetof(_stXFINDDATA, szName) == 536 &&
                  offsetof(_stXFINDDATA, dwAttributes) == 800 && offsetof(_stXFINDDATA, oSize) == 804,
              "_stXFINDDATA field offsets, 32-bit");
#else
static_assert(sizeof(_stXFINDDATA) == 816, "_stXFINDDATA, 64-bit layout");
static_assert(offsetof(_stXFINDDATA, dwRequired) == 532 && offsetof(_stXFINDDATA, szName) == 540 &&
                  offsetof(_stXFINDDATA, dwAttributes) == 804 && offsetof(_stXFINDDATA, oSize) == 808,
              "_stXFINDDATA field offsets, 64-bit");
#endif

// Attribute bit of a directory in the search and walk filters.
constexpr uint32_t XATTRIBUTE_DIRECTORY = 0x4000;
// Attribute bit of a hidden name (starting with '.').
constexpr uint32_t XATTRIBUTE_HIDDEN = 0x80000000u;

// Called by the tree walks with the entry's path (directory + name); false stops the walk.
typedef bool (*PFNDOONFILETREE)(const char *pszPath, void *pData);

class CDiskFile : public IXStream {
public:
    CDiskFile();
    ~CDiskFile() override;

    // ---- stream operations ----
    bool bOpen(const char *pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag,
               int *pnCreated) override;
    // 1 closed, 0 the system refused (still open), -1 was not open.
    int Close() override;
    bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag) override;
    bool bWrite(long long oOffset, const void *pData, unsigned nSize, unsigned *pnWritten) override;
    bool bRead(long long oOffset, void *pBuffer, unsigned nSize, unsigned *pnRead) override;
    bool bWrite(const void *pData, unsigned nSize, unsigned *pnWritten) override;
    bool bRead(void *pBuffer, unsigned nSize, unsigned *pnRead) override;
    bool bSeek(long long oOffset, eSEEK eOrigin) override;
    long long oGetSize() override;
    long long oGetSizeFast() override;
    bool bFlush() override;
    bool bSetSize(long long oSize, eGROW eGrow) override;
    bool bIncreaseSize(long long oSize) override;
    bool bWriteString(const char *pszFormat, ...) override;
    bool bWriteStringList(const char *pszFormat, va_list args) override;
    bool bReadLine(char *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags) override;
    bool bExtract(IXStream *piTarget, long long oSize) override;
    bool bLockFile(unsigned long long oOffset, unsigned long long oLength) const override;
    bool bUnlockFile(unsigned long long oOffset, unsigned long long oLength) const override;
    bool bLock(unsigned long long oOffset, unsigned long long oLength) const override;
    bool bUnlock(unsigned long long oOffset, unsigned long long oLength) const override;
    const char *pszGetName() const override;
    long long oGetOffset() override;
    bool bIsOpen() const override;
    void m439EmptyMethodXStream() const override;
    void m442EmptyMethodXStream() const override;
    bool vbSetNameForError(const char *pszName) override;
    bool bReadLineUNICODE(wchar_t *pszBuffer, unsigned nSize, int *pbCut,
                          unsigned nFlags) override;
    eACCESS veGetAccess() const override;
    bool bGetVFSFileName(char *pszName) override;
    bool bLockFileEx(int bLock, int bExclusive) const override;
    const char *pszReadLine(char *pszBuffer, unsigned nSize, CTString *pclLongLine,
                            const char *pszSeparator) override;
    void m485EmptyMethodXStream() const override;
    void m486EmptyMethodXStream() const override;
    void m487EmptyMethodXStream() const override;
    void m488EmptyMethodXStream() const override;
    void m489EmptyMethodXStream() const override;
    void m490EmptyMethodXStream() const override;
    void m491EmptyMethodXStream() const override;
    void m492EmptyMethodXStream() const override;
    virtual bool bExtendFile(long long oSize);

    // Name used in error reports: the file's own name unless one was set.
    const char *pszGetNameForError() const { return _pszNameForError; }
    int nGetDescriptor() const { return _nFd; }

    // Times of the open file, converted to local time; each output optional.
    bool bGetTime(_stXFILETIME *pstCreation, _stXFILETIME *pstAccess, _stXFILETIME *pstWrite);
    // Sets the access and write times of the named file (the creation time is not kept).
    bool bSetTime(const FILETIME *pstCreation, const FILETIME *pstAccess, const FILETIME *pstWrite);
    bool bSetTime(const _stXFILETIME *pstCreation, const _stXFILETIME *pstAccess,
                  const _stXFILETIME *pstWrite);

    // ---- path names (in memory, mostly without touching the disk) ----
    static char *pszBackSlash2Slash(char *psz);
    static CTString &pszBackSlash2Slash(CTString &cl);
    static char *pszSlash2BackSlash(char *psz);
    static CTString &pszSlash2BackSlash(CTString &cl);
    static const char *pszGetPtrToFileName(const char *pszPath);
    static char *pszGetPtrToFileName(char *pszPath);
    static bool bIsRelativePath(const char *pszPath);
    static bool bIsRelativeFileName(const char *pszPath);
    static bool bIsRelativeFileName_WIN32(const char *pszPath);
    static bool bUNCName(const char *pszPath);
    static bool bIsAVirtualDirectory(const char *pszName);
    static bool bValidName(const char *pszName);
    static void DirectoryWithEndSlash(char *pszDir);
    static void DirectoryWithEndSlash(CTString &clDir);
    static void DirectoryWithoutEndSlash(char *pszDir);
    static void DelExtension(char *pszPath);
    static void ChangeExtension(char *pszPath, unsigned nSize, const char *pszExtension);
    static void SplitPath(const char *pszPath, char *pszDir, char *pszName, char *pszExt);
    static void SplitPath(const char *pszPath, char *pszDir, char *pszNameExt);
    static void SplitPath(const char *pszPath, char *pszDrive, char *pszDir, char *pszName,
                          char *pszExt);
    static void MakePath(char *pszOut, const char *pszDir, const char *pszName, const char *pszExt);
    static void StandardizeFileName(char *pszOut, const char *pszSource);
    static bool bSameFileName(const char *pszPath1, const char *pszPath2);
    static bool bSameDirectoryName(const char *pszPath1, const char *pszPath2);
    static bool bSameDirectoryNameEx(const char *pszPath1, bool bAbsolute1, const char *pszPath2,
                                     bool bAbsolute2);
    // Length of the absolute, normalised path; the size needed when the buffer is too
    // small; 0 on failure. The fourth argument is never written.
    static unsigned GetFullPathName(const char *pszPath, unsigned nSize, char *pszOut,
                                    char **ppszFilePart);
    static bool bGetUNCName(char *pszOut, unsigned nSize, const char *pszPath);
    static bool bStandardizeExistingFileName(char *pszOut, unsigned nSize, const char *pszPath);
    static bool bGetFullPath(char *pszOut, unsigned nSize, const char *pszPath,
                             unsigned *pnLength = nullptr);
    static bool bGetLongPathName(char *pszOut, unsigned nSize, const char *pszPath);
    static bool bGetCurrentDirectory(char *pszOut);
    static bool bRelativeToFullPath(char *pszOut, const char *pszRelative, const char *pszBase);
    static bool bPathRelativePathTo(char *pszOut, const char *pszPath, const char *pszBase,
                                    bool bStrict);
    static bool bGetTempDirectory(char *pszOut);
    static bool bGetTempName(char *pszOut, const char *pszDir, const char *pszPrefix);
    static bool bGetTempName(char *pszOut, const char *pszPrefix);

    // ---- file-system queries ----
    static bool bExist(const char *pszPath);
    static bool bIsADirectory(const char *pszPath);
    static bool bIsAFile(const char *pszPath);
    static bool bGetFileStatus(const char *pszPath, struct stat64 *pstInfo);
    static long long oGetSize(const char *pszPath);
    static bool bCreateDirectory(const char *pszPath);
    static bool bGetFileAttributes(uint32_t *pdwAttributes, const char *pszPath);
    static bool bSetFileAttributes(const char *pszPath, uint32_t dwAttributes);
    static bool bGetLastModificationTime(const char *pszPath, _stXFILETIME *pstTime);
    static int nCompareSystemTime(const _stXFILETIME *pstA, const _stXFILETIME *pstB);
    static bool bSystemTimeToDosFileTime(const _stXFILETIME *pstTime, uint32_t *pdwDos);
    static bool bDosFileTimeToSystemTime(uint32_t dwDos, _stXFILETIME *pstTime);
    static bool bFileTimeToSystemTime(const FILETIME *pstFileTime, _stXFILETIME *pstTime);
    static bool bSystemTimeToFileTime(const _stXFILETIME *pstTime, FILETIME *pstFileTime);
    static bool sbIsBadNetworkFile(const char *pszPath);
    static bool bSystemSupportHugeFile();

    // ---- directory search and tree operations (DiskFileDir.cpp, DiskFileTree.cpp) ----
    // Entries are classified with lstat: a symbolic link is never followed into. Paths
    // longer than 260 characters are refused with ENAMETOOLONG, never cut.
    static bool bFindFirst(const char *pszPath, _stXFINDDATA *pstData, uint32_t dwRequired,
                           uint32_t dwExcluded);
    // False at the end (the search is then closed, error number ENOENT) or on a read error.
    static bool bFindNext(_stXFINDDATA *pstData);
    static bool bFindClose(_stXFINDDATA *pstData);
    // '*' any run (empty included), '?' one character, anything else itself, case counts.
    static bool _bFiltreFileName(const char *pszName, const char *pszPattern);
    // Calls pfn(directory + name) for the files (and directories with bWithDirectories)
    // matching the pattern, then walks the subdirectories when bRecurse is set.
    static bool bDoOnFileTree(const char *pszDirectory, const char *pszPattern,
                              PFNDOONFILETREE pfnCallback, void *pData, int bWithDirectories,
                              int bRecurse);
    // The same on the matching directories; the fifth argument does not change the selection.
    static bool bDoOnDirectoryTree(const char *pszDirectory, const char *pszPattern,
                                   PFNDOONFILETREE pfnCallback, void *pData, int nFlag,
                                   int bRecurse);
    static bool bDelete(const char *pszPath);
    static bool bForceDelete(const char *pszPath);
    static bool bDeleteDirectory(const char *pszPath);
    // Delete everything inside the directory and keep it.
    static bool bPurgeTree(const char *pszDirectory);
    static bool bForcePurgeTree(const char *pszDirectory);
    // Purge, then remove the directory; a symbolic link is removed, not its target.
    static bool bDeleteTree(const char *pszDirectory);
    static bool bForceDeleteTree(const char *pszDirectory);
    static bool bForceDeleteOnFileTree(const char *pszDirectory, const char *pszPattern,
                                       int bRecurse);
    static bool bDeleteTreeEvenReadOnly(const char *pszDirectory);
    // Fails with EEXIST when the new name exists.
    static bool bRename(const char *pszNewName, const char *pszOldName);
    // Renames; replaces an existing destination file, touches nothing when that fails.
    static bool bMove(const char *pszDestination, const char *pszSource);
    // Copy or append; a file onto itself (same device and inode) fails with EINVAL.
    static bool bCopy(const char *pszDestination, const char *pszSource);
    static bool bConcat(const char *pszDestination, const char *pszSource);
    // Copies oSize bytes (negative: to the end) from oOffset of this file into a new target.
    bool bExtract(const char *pszTarget, long long oOffset, long long oSize);
    // Appends oSize bytes (negative: to the end) from oOffset of the source to this file.
    bool bExtractFromFile(const char *pszSource, long long oOffset, long long oSize);
    static bool bExtract(const char *pszTarget, const char *pszSource, long long oOffset,
                         long long oSize);
    // Reads the whole file into the value (replaced only on success); a file larger
    // than a value can hold fails with EFBIG.
    static bool bChargeFichier(CQSBINBase &clBuffer, const char *pszPath);
    // Sizes of the file system holding the path (null: the current directory), in KiB.
    static bool bGetDiskSpace(const char *pszPath, unsigned long long *poTotal,
                              unsigned long long *poFree);
    static bool bGetDiskFreeSpace(const char *pszPath, unsigned long long *poFree);

private:
    CDiskFile(const CDiskFile &) = delete;
    CDiskFile &operator=(const CDiskFile &) = delete;

    template <class T> bool _bReadLineT(T *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags);
    bool _bFillReadBuffer(unsigned nCarry);
    bool _bRangeLock(short nType, unsigned long long oOffset, unsigned long long oLength,
                     bool bWait) const;

    int32_t _nFd;
    int64_t _oPosition;
    char *_pReadBuffer;           // 65,537 bytes, pszReadLine only
    char *_pRead;                 // unread text in the read buffer
    char _szName[DISKFILE_MAX_PATH];
    int32_t _nAccess;
    char *_pszNameForError;       // _szName or an owned copy
    char *_pReadEnd;              // end of the valid bytes in the read buffer
};
