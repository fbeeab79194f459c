// Line reads of the disk file: the chunked readers (8-bit and wide) and the
// buffered reader with its 64 KiB block.
#include "files/DiskFile.h"
#include "strings/Tstring.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned LINE_CHUNK = 80;         // characters per read of bReadLine
constexpr size_t READ_BLOCK = 65536;        // bytes per refill of pszReadLine
constexpr size_t MAX_SEPARATOR_CARRY = 32768;

} // namespace

template <class T>
bool CDiskFile::_bReadLineT(T *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags)
{
    if (pbCut)
        *pbCut = 0;
    if (!pszBuffer || nSize == 0) {
        errno = EINVAL;
        return false;
    }
    pszBuffer[0] = 0;
    const bool bStrict = (nFlags & XREADLINE_STRICT_CRLF) != 0;
    const long long nCharSize = static_cast<long long>(sizeof(T));
    T chunk[LINE_CHUNK + 1];
    unsigned nHeld = 0;
    bool bFirst = true;
    for (;;) {
        unsigned nBytes = 0;
        if (!bRead(chunk, LINE_CHUNK * sizeof(T), &nBytes))
            return false;
        unsigned n = nBytes / sizeof(T);
        unsigned nPartial = nBytes % sizeof(T);
        if (n == 0) {
            // End of the file: it ends a line already begun (a line of exactly a
            // multiple of the chunk size would otherwise be lost).
            return !bFirst;
        }
        if (nPartial && !bSeek(-static_cast<long long>(nPartial), XSEEK_CURRENT))
            return false;
        bFirst = false;

        unsigned nEol = n, nEolLen = 0;
        for (unsigned i = 0; i < n; ++i) {
            if (chunk[i] == T('\n') && !bStrict) {
                nEol = i;
                nEolLen = 1;
                break;
            }
            if (chunk[i] != T('\r'))
                continue;
            if (i + 1 == n) {
                // The chunk ends on a carriage return: look at what follows.
                T next;
                unsigned nNext = 0;
                if (bRead(&next, sizeof(T), &nNext) && nNext == sizeof(T) && next == T('\n')) {
                    chunk[n++] = next;
                } else if (nNext > 0 && !bSeek(-static_cast<long long>(nNext), XSEEK_CURRENT)) {
                    return false;
                }
            }
            if (i + 1 < n && chunk[i + 1] == T('\n')) {
                nEol = i;
                nEolLen = 2;
                break;
            }
            if (!bStrict) {
                // A lone carriage return ends the line by itself.
                nEol = i;
                nEolLen = 1;
                break;
            }
        }

        if (nHeld + nEol < nSize) {
            memcpy(pszBuffer + nHeld, chunk, nEol * sizeof(T));
            nHeld += nEol;
            pszBuffer[nHeld] = 0;
            if (nEolLen) {
                unsigned nBeyond = n - nEol - nEolLen;
                return nBeyond == 0 || bSeek(-(nBeyond * nCharSize), XSEEK_CURRENT);
            }
            if (n < LINE_CHUNK)
                return true; // a short chunk: the end of the file ends the line
            continue;
        }
        unsigned nTake = nSize - 1 - nHeld;
        memcpy(pszBuffer + nHeld, chunk, nTake * sizeof(T));
        nHeld += nTake;
        pszBuffer[nHeld] = 0;
        if (pbCut)
            *pbCut = 1;
        unsigned nBack = n - nTake;
        return nBack == 0 || bSeek(-(nBack * nCharSize), XSEEK_CURRENT);
    }
}

bool CDiskFile::bReadLine(char *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags)
{
    return _bReadLineT(pszBuffer, nSize, pbCut, nFlags);
}

bool CDiskFile::bReadLineUNICODE(wchar_t *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags)
{
    return _bReadLineT(pszBuffer, nSize, pbCut, nFlags);
}

// Moves the nCarry unread bytes to the front of the block and reads behind them.
bool CDiskFile::_bFillReadBuffer(unsigned nCarry)
{
    memmove(_pReadBuffer, _pRead, nCarry);
    _pRead = _pReadBuffer;
    _pReadEnd = _pReadBuffer + nCarry;
    unsigned nRead = 0;
    bool bOk = bRead(_pReadEnd, static_cast<unsigned>(READ_BLOCK - nCarry), &nRead);
    _pReadEnd += nRead;
    *_pReadEnd = 0;
    return bOk;
}

const char *CDiskFile::pszReadLine(char *pszBuffer, unsigned nSize, CTString *pclLongLine,
                                   const char *pszSeparator)
{
    if (!pszBuffer)
        nSize = 0;
    if (nSize)
        pszBuffer[0] = 0;
    if (nSize == 0 && !pclLongLine) {
        errno = EINVAL;
        return nullptr;
    }
    if (!_pReadBuffer) {
        _pReadBuffer = static_cast<char *>(malloc(READ_BLOCK + 1));
        if (!_pReadBuffer) {
            errno = ENOMEM;
            return nullptr;
        }
        _pRead = _pReadEnd = _pReadBuffer;
        if (!_bFillReadBuffer(0) || _pReadEnd == _pReadBuffer)
            return nullptr;
    }
    if (_pRead == _pReadEnd) {
        long long oSize = oGetSize();
        if (oSize < 0 || _oPosition >= oSize)
            return nullptr;
    }

    size_t nHeld = 0;
    bool bLong = nSize == 0;
    if (bLong)
        pclLongLine->Vide();
    auto append = [&](const char *p, size_t n) {
        if (n == 0)
            return;
        if (!bLong && nHeld + n < nSize) {
            memcpy(pszBuffer + nHeld, p, n);
            nHeld += n;
            pszBuffer[nHeld] = 0;
            return;
        }
        if (!pclLongLine) {
            // No room for a long line: keep what fits, the rest of the line is passed over.
            size_t nTake = nSize - 1 - nHeld;
            memcpy(pszBuffer + nHeld, p, nTake);
            nHeld += nTake;
            pszBuffer[nHeld] = 0;
            return;
        }
        if (!bLong) {
            bLong = true;
            pclLongLine->Vide();
            pclLongLine->Add(pszBuffer, static_cast<long>(nHeld));
        }
        pclLongLine->Add(p, static_cast<long>(n));
    };
    auto answer = [&]() { return bLong ? pclLongLine->pszGet() : pszBuffer; };

    const size_t nSep = pszSeparator ? strlen(pszSeparator) : 0;
    for (;;) {
        char *p = _pRead;
        size_t nAvail = static_cast<size_t>(_pReadEnd - _pRead);
        size_t nCarry = 0;
        bool bCarriedCR = false;
        if (nSep) {
            char *q = static_cast<char *>(memmem(p, nAvail, pszSeparator, nSep));
            if (q) {
                append(p, static_cast<size_t>(q - p));
                _pRead = q + nSep;
                return answer();
            }
            // The block may end inside the separator: keep its possible start.
            nCarry = nSep - 1;
            if (nCarry > nAvail)
                nCarry = nAvail;
            if (nCarry > MAX_SEPARATOR_CARRY)
                nCarry = MAX_SEPARATOR_CARRY;
        } else {
            char *q = p;
            while (q < _pReadEnd && *q != '\r' && *q != '\n')
                ++q;
            if (q < _pReadEnd) {
                append(p, static_cast<size_t>(q - p));
                if (*q == '\n') {
                    _pRead = q + 1;
                    return answer();
                }
                if (q + 1 < _pReadEnd) {
                    _pRead = q + (q[1] == '\n' ? 2 : 1);
                    return answer();
                }
                // A carriage return closes the block: the next one tells whether a
                // line feed belongs to it.
                p = q;
                nAvail = 1;
                nCarry = 1;
                bCarriedCR = true;
            }
        }
        if (!bCarriedCR)
            append(p, nAvail - nCarry);
        _pRead = _pReadEnd - nCarry;
        bool bOk = _bFillReadBuffer(static_cast<unsigned>(nCarry));
        if (!bOk || static_cast<size_t>(_pReadEnd - _pRead) == nCarry) {
            // Nothing more to read: the line ends here.
            if (bCarriedCR)
                ++_pRead;
            else {
                append(_pRead, nCarry);
                _pRead = _pReadEnd;
            }
            return answer();
        }
    }
}
