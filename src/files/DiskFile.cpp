// Disk file over a Unix descriptor: open with a share lock, positioned reads and
// writes with 64-bit offsets, sizes and formatted writes.
#include "files/DiskFile.h"
#include "files/DiskFilePrivate.h"
#include "files/XStreamCopy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tqfiles;

CDiskFile::CDiskFile()
    : _nFd(-1), _oPosition(0), _pReadBuffer(nullptr), _pRead(nullptr), _nAccess(-1),
      _pszNameForError(_szName), _pReadEnd(nullptr)
{
    _szName[0] = 0;
}

CDiskFile::~CDiskFile()
{
    if (_nFd != -1)
        Close();
    free(_pReadBuffer);
    if (_pszNameForError != _szName)
        free(_pszNameForError);
}

bool CDiskFile::bOpen(const char *pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                      eFLAG eFlag, int *pnCreated)
{
    if (pnCreated)
        *pnCreated = 0;
    if (!pszName || !*pszName) {
        errno = ENOENT;
        return false;
    }
    if (_nFd != -1 && Close() == 0)
        return false; // a second open must not leak the first descriptor
    std::string sPath = SlashCopy(pszName);
    if (pszName != _szName) {
        unsigned n = GetFullPathName(sPath.c_str(), DISKFILE_MAX_PATH, _szName, nullptr);
        if (n == 0 || n >= DISKFILE_MAX_PATH)
            CopyOut(_szName, sPath); // kept for reports; the file is opened by the given name
        else
            sPath = _szName;
    }

    int nFlags = (eAccess == -1 ? O_RDONLY : eAccess) | O_LARGEFILE | O_NONBLOCK;
    bool bDirectory = false;
    if (eFlag == XFLAG_DIRECTORY && bIsADirectory(sPath.c_str())) {
        nFlags = O_DIRECTORY;
        bDirectory = true;
    }

    int fd;
    if (bDirectory) {
        fd = open(sPath.c_str(), nFlags);
    } else if (eCreate == XCREATE_OPEN_ALWAYS) {
        fd = open(sPath.c_str(), nFlags);
        if (fd < 0) {
            nFlags |= O_CREAT;
            fd = open(sPath.c_str(), nFlags, 0666);
            if (fd >= 0 && pnCreated)
                *pnCreated = 1;
        }
    } else {
        nFlags |= eCreate;
        fd = open(sPath.c_str(), nFlags, 0666);
        if (fd >= 0 && eCreate == XCREATE_ALWAYS && pnCreated)
            *pnCreated = 1;
    }
    if (fd < 0)
        return false;

    if (!bDirectory) {
        struct flock64 fl;
        memset(&fl, 0, sizeof fl);
        fl.l_type = static_cast<short>(eShare);
        fl.l_whence = SEEK_SET;
        if (fcntl(fd, F_SETLK64, &fl) != 0) {
            int nErr = errno;
            close(fd);
            // Only a lock held elsewhere is a sharing violation; a lock the open mode
            // does not allow (a write lock on a read-only file) keeps its own reason.
            errno = (nErr == EAGAIN || nErr == EACCES) ? XERROR_SHARING_VIOLATION : nErr;
            return false;
        }
    }
    _nFd = fd;
    _nAccess = nFlags;
    _oPosition = 0;
    return true;
}

int CDiskFile::Close()
{
    if (_nFd == -1)
        return -1;
    if (close(_nFd) != 0)
        return 0;
    _nFd = -1;
    _oPosition = 0;
    _nAccess = -1;
    if (_pszNameForError != _szName) {
        free(_pszNameForError);
        _pszNameForError = _szName;
    }
    // Buffered text belongs to the file just closed.
    free(_pReadBuffer);
    _pReadBuffer = _pRead = _pReadEnd = nullptr;
    return 1;
}

bool CDiskFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag)
{
    if (Close() == 0)
        return false;
    return bOpen(_szName, eAccess, eShare, eCreate, eFlag, nullptr);
}

bool CDiskFile::bRead(void *pBuffer, unsigned nSize, unsigned *pnRead)
{
    if (pnRead)
        *pnRead = 0;
    ssize_t n = read(_nFd, pBuffer, nSize);
    if (n < 0)
        return false;
    _oPosition += n;
    if (pnRead) {
        *pnRead = static_cast<unsigned>(n);
        return true;
    }
    return static_cast<size_t>(n) == nSize;
}

bool CDiskFile::bWrite(const void *pData, unsigned nSize, unsigned *pnWritten)
{
    if (pnWritten)
        *pnWritten = 0;
    if (nSize == 0)
        return true;
    ssize_t n = write(_nFd, pData, nSize);
    if (n < 0)
        return false;
    _oPosition += n;
    if (pnWritten)
        *pnWritten = static_cast<unsigned>(n);
    if (static_cast<size_t>(n) != nSize) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

bool CDiskFile::bRead(long long oOffset, void *pBuffer, unsigned nSize, unsigned *pnRead)
{
    if (oOffset != _oPosition && !bSeek(oOffset, XSEEK_BEGIN)) {
        if (pnRead)
            *pnRead = 0;
        return false;
    }
    return bRead(pBuffer, nSize, pnRead);
}

bool CDiskFile::bWrite(long long oOffset, const void *pData, unsigned nSize, unsigned *pnWritten)
{
    if (oOffset != _oPosition && !bSeek(oOffset, XSEEK_BEGIN)) {
        if (pnWritten)
            *pnWritten = 0;
        return false;
    }
    return bWrite(pData, nSize, pnWritten);
}

bool CDiskFile::bSeek(long long oOffset, eSEEK eOrigin)
{
    off64_t o = lseek64(_nFd, oOffset, eOrigin);
    if (o < 0)
        return false;
    _oPosition = o;
    return true;
}

long long CDiskFile::oGetOffset()
{
    return _oPosition;
}

long long CDiskFile::oGetSize()
{
    off64_t o = lseek64(_nFd, 0, SEEK_END);
    if (o < 0)
        return -1;
    if (lseek64(_nFd, _oPosition, SEEK_SET) < 0)
        return -1;
    return o;
}

long long CDiskFile::oGetSizeFast()
{
    off64_t o = lseek64(_nFd, 0, SEEK_END);
    if (o < 0)
        return -1;
    _oPosition = o;
    return o;
}

bool CDiskFile::bSetSize(long long oSize, eGROW eGrow)
{
    if (eGrow != XGROW_ABSOLUTE && eGrow != XGROW_FROM_END) {
        errno = EINVAL;
        return false;
    }
    if (!bSeek(oSize, eGrow == XGROW_ABSOLUTE ? XSEEK_BEGIN : XSEEK_END))
        return false;
    return ftruncate64(_nFd, _oPosition) == 0;
}

bool CDiskFile::bExtendFile(long long oSize)
{
    if (!bSetSize(oSize, XGROW_ABSOLUTE))
        return false;
    if (oSize == 0)
        return true;
    const char cZero = 0;
    return bWrite(oSize - 1, &cZero, 1, nullptr);
}

bool CDiskFile::bIncreaseSize(long long oSize)
{
    // Growing by nothing must not touch the last byte.
    if (oSize == 0)
        return true;
    if (oSize < 0) {
        errno = EINVAL;
        return false;
    }
    if (!bSeek(oSize - 1, XSEEK_END))
        return false;
    const char cZero = 0;
    return bWrite(&cZero, 1, nullptr);
}

bool CDiskFile::bFlush()
{
    return fsync(_nFd) == 0;
}

bool CDiskFile::bWriteStringList(const char *pszFormat, va_list args)
{
    if (!pszFormat) {
        errno = EINVAL;
        return false;
    }
    char szText[1025];
    int n = vsnprintf(szText, sizeof szText, pszFormat, args);
    if (n < 0)
        return false;
    return bWrite(szText, static_cast<unsigned>(strlen(szText)), nullptr);
}

bool CDiskFile::bWriteString(const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    bool b = bWriteStringList(pszFormat, args);
    va_end(args);
    return b;
}

bool CDiskFile::bExtract(IXStream *piTarget, long long oSize)
{
    if (!piTarget) {
        errno = EINVAL;
        return false;
    }
    return ExtractStream(*this, *piTarget, oSize);
}

const char *CDiskFile::pszGetName() const
{
    return _szName;
}

bool CDiskFile::bIsOpen() const
{
    return _nFd != -1;
}

eACCESS CDiskFile::veGetAccess() const
{
    return _nAccess;
}

bool CDiskFile::vbSetNameForError(const char *pszName)
{
    if (_pszNameForError != _szName)
        free(_pszNameForError);
    _pszNameForError = _szName;
    if (!pszName)
        return true;
    char *psz = strdup(pszName);
    if (!psz)
        return false;
    _pszNameForError = psz;
    return true;
}

bool CDiskFile::bGetVFSFileName(char *)
{
    return false;
}

void CDiskFile::m439EmptyMethodXStream() const {}
void CDiskFile::m442EmptyMethodXStream() const {}
void CDiskFile::m485EmptyMethodXStream() const {}
void CDiskFile::m486EmptyMethodXStream() const {}
void CDiskFile::m487EmptyMethodXStream() const {}
void CDiskFile::m488EmptyMethodXStream() const {}
void CDiskFile::m489EmptyMethodXStream() const {}
void CDiskFile::m490EmptyMethodXStream() const {}
void CDiskFile::m491EmptyMethodXStream() const {}
void CDiskFile::m492EmptyMethodXStream() const {}
