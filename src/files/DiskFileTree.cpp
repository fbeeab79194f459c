// Deleting files and trees, renaming, moving, copying, joining and cutting files,
// and the disk space query.
//
// Trees are deleted through descriptors of the directories themselves (openat and
// unlinkat with O_NOFOLLOW): a symbolic link met inside is removed, never followed,
// a directory swapped for a link while the deletion runs is not entered, and names
// of any length inside the tree are reached without building full paths.
#include "files/DiskFile.h"
#include "files/DiskFileDirPrivate.h"
#include "files/DiskFilePrivate.h"
#include "files/XStreamCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

using namespace tqfiles;

namespace {

constexpr size_t MAX_CHARS = DISKFILE_MAX_PATH - 1;
// A 260-character path cannot reach deeper than this; it bounds the recursion and
// the descriptors held open.
constexpr int MAX_TREE_DEPTH = DISKFILE_MAX_PATH / 2;
constexpr unsigned COPY_BLOCK = 1024;
constexpr size_t COPY_BUFFER = 1u << 20;

// The argument of a single-path operation: '\' turned into '/', refused when empty
// or longer than a path buffer.
bool bPathArgument(const char *psz, std::string *ps)
{
    if (!psz || !*psz) {
        errno = ENOENT;
        return false;
    }
    *ps = SlashCopy(psz);
    if (ps->size() > MAX_CHARS) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// The same for the operations of an open file.
bool bOpenAndPathArgument(const CDiskFile &f, const char *psz, std::string *ps)
{
    if (!bPathArgument(psz, ps))
        return false;
    if (!f.bIsOpen()) {
        errno = EBADF;
        return false;
    }
    return true;
}

void StripEndSlashes(std::string &s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
}

bool bIsRootDirectory(int fd)
{
    struct stat64 stDir, stRoot;
    return fstat64(fd, &stDir) == 0 && stat64("/", &stRoot) == 0 && stDir.st_dev == stRoot.st_dev &&
           stDir.st_ino == stRoot.st_ino;
}

bool bSameFile(int fdA, int fdB)
{
    struct stat64 a, b;
    return fstat64(fdA, &a) == 0 && fstat64(fdB, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// Deletes everything inside the open directory fdDir (closed on return).
bool bEmptyDirectoryAt(int fdDir, int nDepth)
{
    if (nDepth > MAX_TREE_DEPTH) {
        close(fdDir);
        errno = ENAMETOOLONG;
        return false;
    }
    DIR *pDir = fdopendir(fdDir);
    if (!pDir) {
        int nErr = errno;
        close(fdDir);
        errno = nErr;
        return false;
    }
    // Entries removed while the directory is read may shift the rest; read it again
    // until a pass finds nothing left.
    bool bRemoved = true;
    while (bRemoved) {
        bRemoved = false;
        for (;;) {
            errno = 0;
            struct dirent64 *pe = readdir64(pDir);
            if (!pe) {
                if (errno != 0) {
                    int nErr = errno;
                    closedir(pDir);
                    errno = nErr;
                    return false;
                }
                break;
            }
            const char *pszName = pe->d_name;
            if (pszName[0] == '.' &&
                (pszName[1] == 0 || (pszName[1] == '.' && pszName[2] == 0)))
                continue;
            bool bDirectory = pe->d_type == DT_DIR;
            if (pe->d_type == DT_UNKNOWN) {
                struct stat64 st;
                if (fstatat64(fdDir, pszName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT)
                        continue;
                    int nErr = errno;
                    closedir(pDir);
                    errno = nErr;
                    return false;
                }
                bDirectory = S_ISDIR(st.st_mode);
            }
            bool bOk;
            if (bDirectory) {
                int fdSub = openat(fdDir, pszName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                bOk = fdSub >= 0 && bEmptyDirectoryAt(fdSub, nDepth + 1) &&
                      unlinkat(fdDir, pszName, AT_REMOVEDIR) == 0;
            } else {
                bOk = unlinkat(fdDir, pszName, 0) == 0;
            }
            if (!bOk) {
                int nErr = errno;
                closedir(pDir);
                errno = nErr;
                return false;
            }
            bRemoved = true;
        }
        if (bRemoved)
            rewinddir(pDir);
    }
    closedir(pDir);
    return true;
}

// Empties the named directory, keeping it. A symbolic link given as the directory is
// refused (ENOTDIR): what it points to is not this tree, and may lie anywhere.
bool bDeltree(const char *pszDirectory)
{
    std::string s;
    if (!bPathArgument(pszDirectory, &s))
        return false;
    StripEndSlashes(s);
    int fd = open(s.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (bIsRootDirectory(fd)) {
        close(fd);
        errno = EPERM;
        return false;
    }
    return bEmptyDirectoryAt(fd, 0);
}

bool bDeleteTreeImpl(const char *pszDirectory)
{
    std::string s;
    if (!bPathArgument(pszDirectory, &s))
        return false;
    StripEndSlashes(s);
    const char *pszLast = CDiskFile::pszGetPtrToFileName(s.c_str());
    if (strcmp(pszLast, ".") == 0 || strcmp(pszLast, "..") == 0) {
        // It could not be removed after being emptied.
        errno = EINVAL;
        return false;
    }
    struct stat64 st;
    if (lstat64(s.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return unlink(s.c_str()) == 0;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return bDeltree(s.c_str()) && rmdir(s.c_str()) == 0;
}

bool bUnlinkFound(const char *pszPath, void *)
{
    // The walk hands names as found on disk: a '\' in them is part of the name.
    return unlink(pszPath) == 0;
}

// Opens a file as the copy operations do; no share lock is taken.
bool bOpenFile(CDiskFile &f, const char *pszName, eACCESS eAccess, eCREATE eCreate)
{
    return f.bOpen(pszName, eAccess, XSHARE_NONE, eCreate, XFLAG_NONE, nullptr);
}

// Writes the whole block, going on after short writes.
bool bWriteAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies the rest of fdIn into fdOut: in the kernel when it can, else through a
// large buffer.
bool bCopyRest(int fdIn, int fdOut)
{
    for (;;) {
        ssize_t n = copy_file_range(fdIn, nullptr, fdOut, nullptr, 1u << 30, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
            errno != EBADF)
            return false;
        break;
    }
    char *pBuffer = static_cast<char *>(malloc(COPY_BUFFER));
    if (!pBuffer) {
        errno = ENOMEM;
        return false;
    }
    bool bOk = true;
    for (;;) {
        ssize_t n = read(fdIn, pBuffer, COPY_BUFFER);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            bOk = n == 0;
            break;
        }
        if (!bWriteAll(fdOut, pBuffer, static_cast<size_t>(n))) {
            bOk = false;
            break;
        }
    }
    int nErr = errno;
    free(pBuffer);
    errno = nErr;
    return bOk;
}

} // namespace

bool CDiskFile::bDelete(const char *pszPath)
{
    std::string s;
    return bPathArgument(pszPath, &s) && unlink(s.c_str()) == 0;
}

bool CDiskFile::bForceDelete(const char *pszPath)
{
    return bDelete(pszPath);
}

bool CDiskFile::bDeleteDirectory(const char *pszPath)
{
    std::string s;
    return bPathArgument(pszPath, &s) && rmdir(s.c_str()) == 0;
}

bool CDiskFile::bPurgeTree(const char *pszDirectory)
{
    return bDeltree(pszDirectory);
}

bool CDiskFile::bForcePurgeTree(const char *pszDirectory)
{
    return bDeltree(pszDirectory);
}

bool CDiskFile::bDeleteTree(const char *pszDirectory)
{
    return bDeleteTreeImpl(pszDirectory);
}

bool CDiskFile::bForceDeleteTree(const char *pszDirectory)
{
    return bDeleteTreeImpl(pszDirectory);
}

bool CDiskFile::bForceDeleteOnFileTree(const char *pszDirectory, const char *pszPattern,
                                       int bRecurse)
{
    if (!pszDirectory || !*pszDirectory || !pszPattern) {
        errno = EINVAL;
        return false;
    }
    // Deleting through a link would delete outside the tree named.
    return bWalkRaw(DirectoryArgument(pszDirectory), SlashCopy(pszPattern), bUnlinkFound, nullptr,
                    0, XATTRIBUTE_DIRECTORY, bRecurse != 0, true);
}

bool CDiskFile::bDeleteTreeEvenReadOnly(const char *pszDirectory)
{
    if (!pszDirectory || !*pszDirectory) {
        errno = ENOENT;
        return false;
    }
    std::string s = DirectoryArgument(pszDirectory);
    std::string sNoSlash = s;
    StripEndSlashes(sNoSlash);
    struct stat64 st, stRoot;
    if (lstat64(sNoSlash.c_str(), &st) != 0)
        return false;
    // A link is removed by bDeleteTree; its target's files are not the tree's.
    if (S_ISLNK(st.st_mode))
        return bDeleteTreeImpl(sNoSlash.c_str());
    if (stat64("/", &stRoot) == 0 && st.st_dev == stRoot.st_dev && st.st_ino == stRoot.st_ino) {
        errno = EPERM;
        return false;
    }
    return bForceDeleteOnFileTree(s.c_str(), "*", 1) && bDeleteTreeImpl(s.c_str());
}

bool CDiskFile::bRename(const char *pszNewName, const char *pszOldName)
{
    std::string sNew, sOld;
    if (!bPathArgument(pszNewName, &sNew) || !bPathArgument(pszOldName, &sOld))
        return false;
    // In one step, so that a name appearing meanwhile is not replaced.
    if (renameat2(AT_FDCWD, sOld.c_str(), AT_FDCWD, sNew.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat64 st;
    if (lstat64(sNew.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(sOld.c_str(), sNew.c_str()) == 0;
}

bool CDiskFile::bMove(const char *pszDestination, const char *pszSource)
{
    std::string sDst, sSrc;
    if (!bPathArgument(pszDestination, &sDst) || !bPathArgument(pszSource, &sSrc))
        return false;
    if (bSameFileName(sDst.c_str(), sSrc.c_str()))
        return true;
    // rename replaces a destination file in one step; when it fails (another file
    // system, a directory in the way) both names stay as they were.
    return rename(sSrc.c_str(), sDst.c_str()) == 0;
}

bool CDiskFile::bCopy(const char *pszDestination, const char *pszSource)
{
    std::string sDst, sSrc;
    if (!bPathArgument(pszDestination, &sDst) || !bPathArgument(pszSource, &sSrc))
        return false;
    CDiskFile fIn;
    if (!bOpenFile(fIn, sSrc.c_str(), XACCESS_READ, XCREATE_EXISTING))
        return false;
    // A failing first read (a directory, an unreadable device) leaves the destination alone.
    char byFirst[COPY_BLOCK];
    unsigned nFirst = 0;
    if (!fIn.bRead(byFirst, sizeof byFirst, &nFirst))
        return false;
    CDiskFile fOut;
    if (!bOpenFile(fOut, sDst.c_str(), XACCESS_WRITE, XCREATE_OPEN_ALWAYS))
        return false;
    // Emptying the destination first would destroy the source when both are one file.
    if (bSameFile(fIn.nGetDescriptor(), fOut.nGetDescriptor())) {
        errno = EINVAL;
        return false;
    }
    struct stat64 st;
    if (fstat64(fOut.nGetDescriptor(), &st) != 0 ||
        (S_ISREG(st.st_mode) && !fOut.bSetSize(0, XGROW_ABSOLUTE)))
        return false;
    if (!bWriteAll(fOut.nGetDescriptor(), byFirst, nFirst))
        return false;
    return bCopyRest(fIn.nGetDescriptor(), fOut.nGetDescriptor());
}

bool CDiskFile::bConcat(const char *pszDestination, const char *pszSource)
{
    std::string sDst, sSrc;
    if (!bPathArgument(pszDestination, &sDst) || !bPathArgument(pszSource, &sSrc))
        return false;
    CDiskFile fIn, fOut;
    // A missing source is created empty: callers join files that may not exist yet.
    if (!bOpenFile(fIn, sSrc.c_str(), XACCESS_READ, XCREATE_OPEN_ALWAYS) ||
        !bOpenFile(fOut, sDst.c_str(), XACCESS_WRITE, XCREATE_OPEN_ALWAYS))
        return false;
    // Appending a file to itself would read what it writes, without end.
    if (bSameFile(fIn.nGetDescriptor(), fOut.nGetDescriptor())) {
        errno = EINVAL;
        return false;
    }
    long long oEnd = fOut.oGetSizeFast();
    if (oEnd < 0)
        return false;
    if (ExtractStream(fIn, fOut, -1))
        return true;
    int nErr = errno;
    // Leave the destination as it was before the join.
    fOut.bSetSize(oEnd, XGROW_ABSOLUTE);
    errno = nErr;
    return false;
}

bool CDiskFile::bExtract(const char *pszTarget, long long oOffset, long long oSize)
{
    std::string sTarget;
    if (!bOpenAndPathArgument(*this, pszTarget, &sTarget) || !bSeek(oOffset, XSEEK_BEGIN))
        return false;
    CDiskFile fOut;
    if (!bOpenFile(fOut, sTarget.c_str(), XACCESS_WRITE, XCREATE_OPEN_ALWAYS))
        return false;
    // The target must not be this file: emptying it (or deleting it on failure) would
    // lose the data being cut from.
    if (bSameFile(_nFd, fOut.nGetDescriptor())) {
        errno = EINVAL;
        return false;
    }
    struct stat64 st;
    const bool bRegular = fstat64(fOut.nGetDescriptor(), &st) == 0 && S_ISREG(st.st_mode);
    if (bRegular && !fOut.bSetSize(0, XGROW_ABSOLUTE))
        return false;
    if (ExtractStream(*this, fOut, oSize))
        return true;
    int nErr = errno;
    fOut.Close();
    // A half-written file goes; a device or pipe named as the target stays.
    if (bRegular)
        unlink(sTarget.c_str());
    errno = nErr;
    return false;
}

bool CDiskFile::bExtractFromFile(const char *pszSource, long long oOffset, long long oSize)
{
    std::string sSource;
    if (!bOpenAndPathArgument(*this, pszSource, &sSource) || oGetSizeFast() < 0)
        return false;
    CDiskFile fIn;
    if (!bOpenFile(fIn, sSource.c_str(), XACCESS_READ, XCREATE_EXISTING))
        return false;
    if (bSameFile(_nFd, fIn.nGetDescriptor())) {
        errno = EINVAL;
        return false;
    }
    return fIn.bSeek(oOffset, XSEEK_BEGIN) && ExtractStream(fIn, *this, oSize);
}

bool CDiskFile::bExtract(const char *pszTarget, const char *pszSource, long long oOffset,
                         long long oSize)
{
    std::string sSource;
    if (!bPathArgument(pszSource, &sSource))
        return false;
    CDiskFile fIn;
    if (!bOpenFile(fIn, sSource.c_str(), XACCESS_READ, XCREATE_OPEN_ALWAYS))
        return false;
    return fIn.bExtract(pszTarget, oOffset, oSize);
}

bool CDiskFile::bGetDiskSpace(const char *pszPath, unsigned long long *poTotal,
                              unsigned long long *poFree)
{
    std::string s = ".";
    if (pszPath && !bPathArgument(pszPath, &s))
        return false;
    struct statfs64 st;
    if (statfs64(s.c_str(), &st) != 0)
        return false;
    unsigned long long oBlock = st.f_frsize ? st.f_frsize : st.f_bsize;
    if (poTotal)
        *poTotal = static_cast<unsigned long long>(st.f_blocks) * oBlock / 1024;
    if (poFree)
        *poFree = static_cast<unsigned long long>(st.f_bavail) * oBlock / 1024;
    return true;
}

bool CDiskFile::bGetDiskFreeSpace(const char *pszPath, unsigned long long *poFree)
{
    return bGetDiskSpace(pszPath, nullptr, poFree);
}
