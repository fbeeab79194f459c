// Record locks of the disk file (fcntl): per process, never waiting except for
// the whole-file lock of bLockFileEx.
#include "files/DiskFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

bool CDiskFile::_bRangeLock(short nType, unsigned long long oOffset, unsigned long long oLength,
                            bool bWait) const
{
    struct flock64 fl;
    memset(&fl, 0, sizeof fl);
    fl.l_type = nType;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off64_t>(oOffset);
    fl.l_len = static_cast<off64_t>(oLength);
    return fcntl(_nFd, bWait ? F_SETLKW64 : F_SETLK64, &fl) == 0;
}

bool CDiskFile::bLock(unsigned long long oOffset, unsigned long long oLength) const
{
    int nMode = _nAccess & O_ACCMODE;
    short nType = (nMode == O_WRONLY || nMode == O_RDWR) ? F_WRLCK : F_RDLCK;
    if (_bRangeLock(nType, oOffset, oLength, false))
        return true;
    if (errno == EAGAIN || errno == EACCES || errno == EDEADLK)
        errno = XERROR_SHARING_VIOLATION;
    return false;
}

bool CDiskFile::bUnlock(unsigned long long oOffset, unsigned long long oLength) const
{
    if (_bRangeLock(F_UNLCK, oOffset, oLength, false))
        return true;
    errno = XERROR_SHARING_VIOLATION;
    return false;
}

bool CDiskFile::bLockFile(unsigned long long oOffset, unsigned long long oLength) const
{
    return bLock(oOffset, oLength);
}

bool CDiskFile::bUnlockFile(unsigned long long oOffset, unsigned long long oLength) const
{
    return bUnlock(oOffset, oLength);
}

bool CDiskFile::bLockFileEx(int bLock, int bExclusive) const
{
    if (!bLock) {
        _bRangeLock(F_UNLCK, 0, 0, false);
        return true;
    }
    return _bRangeLock(bExclusive ? F_WRLCK : F_RDLCK, 0, 0, true);
}
