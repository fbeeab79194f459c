// Default bodies of the stream interface, and the forwarding file handle.
#include "files/XFile.h"
#include "files/DiskFile.h"
#include "files/XStreamCopy.h"

#include <cerrno>
#include <new>

// ---- IXStream: answers of the interface's own bodies ----

bool IXStream::bOpen(const char *, eACCESS, eSHARE, eCREATE, eFLAG, int *) { return true; }
bool IXStream::bReopen(eACCESS, eSHARE, eCREATE, eFLAG) { return true; }
bool IXStream::bWrite(long long, const void *, unsigned, unsigned *) { return true; }
bool IXStream::bRead(long long, void *, unsigned, unsigned *) { return true; }
bool IXStream::bWrite(const void *, unsigned, unsigned *) { return true; }
bool IXStream::bRead(void *, unsigned, unsigned *) { return true; }
bool IXStream::bSeek(long long, eSEEK) { return true; }
long long IXStream::oGetSize() { return 0; }
long long IXStream::oGetSizeFast() { return 0; }
bool IXStream::bFlush() { return true; }
bool IXStream::bSetSize(long long, eGROW) { return true; }
bool IXStream::bIncreaseSize(long long) { return true; }
bool IXStream::bWriteString(const char *, ...) { return true; }
bool IXStream::bWriteStringList(const char *, va_list) { return true; }
bool IXStream::bReadLine(char *, unsigned, int *, unsigned) { return true; }
bool IXStream::bExtract(IXStream *, long long) { return true; }
bool IXStream::bLockFile(unsigned long long, unsigned long long) const { return true; }
bool IXStream::bUnlockFile(unsigned long long, unsigned long long) const { return true; }
bool IXStream::bLock(unsigned long long, unsigned long long) const { return true; }
bool IXStream::bUnlock(unsigned long long, unsigned long long) const { return true; }
const char *IXStream::pszGetName() const { return nullptr; }
long long IXStream::oGetOffset() { return -1; }
bool IXStream::bIsOpen() const { return true; }
void IXStream::m439EmptyMethodXStream() const {}
void IXStream::m442EmptyMethodXStream() const {}
bool IXStream::vbSetNameForError(const char *) { return true; }
bool IXStream::bReadLineUNICODE(wchar_t *, unsigned, int *, unsigned) { return true; }
bool IXStream::bGetVFSFileName(char *) { return false; }
bool IXStream::bLockFileEx(int, int) const { return true; }
const char *IXStream::pszReadLine(char *, unsigned, CTString *, const char *) { return nullptr; }
void IXStream::m485EmptyMethodXStream() const {}
void IXStream::m486EmptyMethodXStream() const {}
void IXStream::m487EmptyMethodXStream() const {}
void IXStream::m488EmptyMethodXStream() const {}
void IXStream::m489EmptyMethodXStream() const {}
void IXStream::m490EmptyMethodXStream() const {}
void IXStream::m491EmptyMethodXStream() const {}
void IXStream::m492EmptyMethodXStream() const {}

// ---- CXFile ----

namespace {

// Forwarding without a stream fails the way a closed descriptor does.
template <class T> T NoStream(T answer)
{
    errno = EBADF;
    return answer;
}

} // namespace

CXFile::CXFile() : m_piStream(nullptr), m_bOwned(false) {}

CXFile::CXFile(IXStream *piStream) : m_piStream(nullptr), m_bOwned(false)
{
    SetStream(piStream);
}

CXFile::~CXFile()
{
    __FreeStream();
}

void CXFile::__FreeStream()
{
    IXStream *pi = m_piStream;
    m_piStream = nullptr;
    m_bOwned = false;
    if (pi)
        pi->dwRelease();
}

void CXFile::SetStream(IXStream *piStream)
{
    __FreeStream();
    if (piStream) {
        ++piStream->m_dwRef;
        m_piStream = piStream;
    }
}

IXStream *CXFile::piGetStream() const
{
    return m_bOwned ? nullptr : m_piStream;
}

IXStream *CXFile::__xpclAllocDiskFile()
{
    return new (std::nothrow) CDiskFile;
}

bool CXFile::bCreateStream()
{
    SetStream(__xpclAllocDiskFile());
    if (!m_piStream) {
        errno = ENOMEM;
        return false;
    }
    m_bOwned = true;
    return true;
}

bool CXFile::bOpen(const char *pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                   eFLAG eFlag, int *pnCreated)
{
    if (!m_piStream && !bCreateStream())
        return false;
    return m_piStream->bOpen(pszName, eAccess, eShare, eCreate, eFlag, pnCreated);
}

bool CXFile::bSetNameForError(const char *pszName)
{
    if (!m_piStream && !bCreateStream())
        return false;
    return m_piStream->vbSetNameForError(pszName);
}

int CXFile::Close()
{
    if (!m_piStream)
        return -1;
    int n = m_piStream->Close();
    if (!m_bOwned)
        __FreeStream();
    return n;
}

bool CXFile::bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag)
{
    return m_piStream ? m_piStream->bReopen(eAccess, eShare, eCreate, eFlag) : NoStream(false);
}

bool CXFile::bWrite(long long oOffset, const void *pData, unsigned nSize, unsigned *pnWritten)
{
    return m_piStream ? m_piStream->bWrite(oOffset, pData, nSize, pnWritten) : NoStream(false);
}

bool CXFile::bRead(long long oOffset, void *pBuffer, unsigned nSize, unsigned *pnRead)
{
    return m_piStream ? m_piStream->bRead(oOffset, pBuffer, nSize, pnRead) : NoStream(false);
}

bool CXFile::bWrite(const void *pData, unsigned nSize, unsigned *pnWritten)
{
    return m_piStream ? m_piStream->bWrite(pData, nSize, pnWritten) : NoStream(false);
}

bool CXFile::bRead(void *pBuffer, unsigned nSize, unsigned *pnRead)
{
    return m_piStream ? m_piStream->bRead(pBuffer, nSize, pnRead) : NoStream(false);
}

bool CXFile::bSeek(long long oOffset, eSEEK eOrigin)
{
    return m_piStream ? m_piStream->bSeek(oOffset, eOrigin) : NoStream(false);
}

long long CXFile::oGetSize()
{
    return m_piStream ? m_piStream->oGetSize() : NoStream(-1LL);
}

long long CXFile::oGetSizeFast()
{
    return m_piStream ? m_piStream->oGetSizeFast() : NoStream(-1LL);
}

bool CXFile::bFlush()
{
    return m_piStream ? m_piStream->bFlush() : NoStream(false);
}

bool CXFile::bSetSize(long long oSize, eGROW eGrow)
{
    return m_piStream ? m_piStream->bSetSize(oSize, eGrow) : NoStream(false);
}

bool CXFile::bIncreaseSize(long long oSize)
{
    return m_piStream ? m_piStream->bIncreaseSize(oSize) : NoStream(false);
}

bool CXFile::bWriteStringList(const char *pszFormat, va_list args)
{
    return m_piStream ? m_piStream->bWriteStringList(pszFormat, args) : NoStream(false);
}

bool CXFile::bWriteString(const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    bool b = bWriteStringList(pszFormat, args);
    va_end(args);
    return b;
}

bool CXFile::bReadLine(char *pszBuffer, unsigned nSize, int *pbCut)
{
    return m_piStream ? m_piStream->bReadLine(pszBuffer, nSize, pbCut, 0) : NoStream(false);
}

bool CXFile::bReadLineUNICODE(wchar_t *pszBuffer, unsigned nSize, int *pbCut)
{
    return m_piStream ? m_piStream->bReadLineUNICODE(pszBuffer, nSize, pbCut, 0)
                      : NoStream(false);
}

const char *CXFile::pszReadLine(char *pszBuffer, unsigned nSize, CTString *pclLongLine,
                                const char *pszSeparator)
{
    return m_piStream ? m_piStream->pszReadLine(pszBuffer, nSize, pclLongLine, pszSeparator)
                      : NoStream(static_cast<const char *>(nullptr));
}

bool CXFile::bExtract(CXFile *pclTarget, long long oSize)
{
    if (!m_piStream || !pclTarget)
        return NoStream(false);
    return tqfiles::ExtractStream(*this, *pclTarget, oSize);
}

bool CXFile::bLockFile(unsigned long long oOffset, unsigned long long oLength) const
{
    return m_piStream ? m_piStream->bLockFile(oOffset, oLength) : NoStream(false);
}

bool CXFile::bUnlockFile(unsigned long long oOffset, unsigned long long oLength) const
{
    return m_piStream ? m_piStream->bUnlockFile(oOffset, oLength) : NoStream(false);
}

bool CXFile::bLock(unsigned long long oOffset, unsigned long long oLength) const
{
    return m_piStream ? m_piStream->bLock(oOffset, oLength) : NoStream(false);
}

bool CXFile::bUnlock(unsigned long long oOffset, unsigned long long oLength) const
{
    return m_piStream ? m_piStream->bUnlock(oOffset, oLength) : NoStream(false);
}

bool CXFile::bLockFileEx(int bLock, int bExclusive) const
{
    return m_piStream ? m_piStream->bLockFileEx(bLock, bExclusive) : NoStream(false);
}

const char *CXFile::pszGetName() const
{
    return m_piStream ? m_piStream->pszGetName() : nullptr;
}

long long CXFile::oGetOffset()
{
    return m_piStream ? m_piStream->oGetOffset() : NoStream(-1LL);
}

bool CXFile::bIsOpen() const
{
    return m_piStream && m_piStream->bIsOpen();
}

eACCESS CXFile::veGetAccess() const
{
    return m_piStream ? m_piStream->veGetAccess() : -1;
}

bool CXFile::bWriteLine(const char *pszText)
{
    unsigned n = 0;
    while (pszText && pszText[n])
        ++n;
    if (!bWrite(pszText, n, nullptr))
        return false;
    return bWrite("\r\n", 2, nullptr);
}

void CXFile::NeFaitRien() {}
void CXFile::_NeFaitRien() {}
void CXFile::m227EmptyMethodXStream() const {}
void CXFile::m228EmptyMethodXStream() const {}
void CXFile::m229EmptyMethodXStream() const {}
void CXFile::m230EmptyMethodXStream() const {}
void CXFile::m231EmptyMethodXStream() const {}
void CXFile::m232EmptyMethodXStream() const {}
void CXFile::m233EmptyMethodXStream() const {}
void CXFile::m234EmptyMethodXStream() const {}
void CXFile::m235EmptyMethodXStream() const {}
void CXFile::m236EmptyMethodXStream() const {}
void CXFile::m237EmptyMethodXStream() const {}
void CXFile::m238EmptyMethodXStream() const {}
