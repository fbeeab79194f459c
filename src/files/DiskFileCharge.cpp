// Loading a whole file into a dynamic binary value.
#include "files/DiskFile.h"

#include "strings/qsdstr.h"

#include <cerrno>

bool CDiskFile::bChargeFichier(CQSBINBase &clBuffer, const char *pszPath)
{
    if (!pszPath || !*pszPath) {
        errno = ENOENT;
        return false;
    }
    CDiskFile f;
    if (!f.bOpen(pszPath, XACCESS_READ, XSHARE_NONE, XCREATE_EXISTING, XFLAG_NONE, nullptr))
        return false;
    long long oSize = f.oGetSize();
    if (oSize < 0)
        return false;
    // A value holds at most this many bytes; a larger file is refused, never cut.
    if (static_cast<unsigned long long>(oSize) > QSD_LONGUEUR_MAX) {
        errno = EFBIG;
        return false;
    }
    // Read into a value of our own, so the caller's buffer is only replaced on success.
    CQSBIN clLu;
    unsigned nSize = static_cast<unsigned>(oSize);
    if (clLu.nSetSize(nSize) != QSD_OK) {
        errno = ENOMEM;
        return false;
    }
    unsigned nTotal = 0;
    while (nTotal < nSize) {
        unsigned nRead = 0;
        if (!f.bRead(clLu.pGet() + nTotal, nSize - nTotal, &nRead))
            return false;
        if (nRead == 0)
            break; // the file shrank meanwhile: keep what it holds now
        nTotal += nRead;
    }
    clLu.SetUtilSize(nTotal);
    clBuffer.Take(&clLu);
    return true;
}
