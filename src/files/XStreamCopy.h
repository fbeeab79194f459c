// The copy behind bExtract, shared by the disk file and the file handle.
#pragma once

#include <cerrno>
#include <cstdlib>

namespace tqfiles {

constexpr unsigned EXTRACT_BLOCK = 65536;

// Copies oSize bytes (a negative size: up to the end) from the source's current
// position to the target's current position.
template <class TSource, class TTarget>
bool ExtractStream(TSource &src, TTarget &dst, long long oSize)
{
    if (oSize < 0) {
        long long oEnd = src.oGetSize();
        long long oPos = src.oGetOffset();
        if (oEnd < 0 || oPos < 0)
            return false;
        oSize = oEnd > oPos ? oEnd - oPos : 0;
    }
    if (oSize == 0)
        return true;
    char *pBlock = static_cast<char *>(malloc(EXTRACT_BLOCK));
    if (!pBlock) {
        errno = ENOMEM;
        return false;
    }
    bool bOk = true;
    while (oSize > 0) {
        unsigned nWant = oSize < EXTRACT_BLOCK ? static_cast<unsigned>(oSize) : EXTRACT_BLOCK;
        unsigned nRead = 0;
        if (!src.bRead(pBlock, nWant, &nRead)) {
            bOk = false;
            break;
        }
        if (nRead > 0 && !dst.bWrite(pBlock, nRead, nullptr)) {
            bOk = false;
            break;
        }
        oSize -= nRead;
        if (nRead < nWant)
            break; // end of the source
    }
    free(pBlock);
    return bOk;
}

} // namespace tqfiles
