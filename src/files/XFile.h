// Byte-stream interface with 64-bit offsets, and the file handle that forwards to one.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cwchar>

#include "files/TQUnknown.h"

class CTString;

// Option types: 32-bit integers carrying the system's own open/lock/seek values.
typedef int32_t eACCESS; // O_RDONLY/O_WRONLY/O_RDWR, more open flags in bits 8-15; -1 = read
typedef int32_t eSHARE;  // lock on the whole file at opening: F_RDLCK, F_WRLCK, F_UNLCK
typedef int32_t eCREATE; // 0 existing, 0x40 open or create, 0x240 create or empty
typedef int32_t eFLAG;   // 0x10000: the name may be a directory
typedef int32_t eSEEK;   // 0 start, 1 current, 2 end
typedef int32_t eGROW;   // 0 absolute size, 1 counted from the end

constexpr eACCESS XACCESS_READ = 0;
constexpr eACCESS XACCESS_WRITE = 1;
constexpr eACCESS XACCESS_READWRITE = 2;
constexpr eSHARE XSHARE_READ = 0;
constexpr eSHARE XSHARE_EXCLUSIVE = 1;
constexpr eSHARE XSHARE_NONE = 2;
constexpr eCREATE XCREATE_EXISTING = 0;
constexpr eCREATE XCREATE_OPEN_ALWAYS = 0x40;
constexpr eCREATE XCREATE_ALWAYS = 0x240;
constexpr eFLAG XFLAG_NONE = 0;
constexpr eFLAG XFLAG_DIRECTORY = 0x10000;
constexpr eSEEK XSEEK_BEGIN = 0;
constexpr eSEEK XSEEK_CURRENT = 1;
constexpr eSEEK XSEEK_END = 2;
constexpr eGROW XGROW_ABSOLUTE = 0;
constexpr eGROW XGROW_FROM_END = 1;

// Error number left by the file layer when a file or range is held by another process.
constexpr int XERROR_SHARING_VIOLATION = static_cast<int>(0x80000000u);

// bReadLine flag: only a carriage return followed by a line feed ends a line.
constexpr unsigned XREADLINE_STRICT_CRLF = 1;

class IXStream : public CTQUnknown {
public:
    IXStream() {}
    ~IXStream() override {}

    virtual bool bOpen(const char *pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                       eFLAG eFlag, int *pnCreated);
    virtual int Close() = 0;
    virtual bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);
    virtual bool bWrite(long long oOffset, const void *pData, unsigned nSize, unsigned *pnWritten);
    virtual bool bRead(long long oOffset, void *pBuffer, unsigned nSize, unsigned *pnRead);
    virtual bool bWrite(const void *pData, unsigned nSize, unsigned *pnWritten);
    virtual bool bRead(void *pBuffer, unsigned nSize, unsigned *pnRead);
    virtual bool bSeek(long long oOffset, eSEEK eOrigin);
    virtual long long oGetSize();
    virtual long long oGetSizeFast();
    virtual bool bFlush();
    virtual bool bSetSize(long long oSize, eGROW eGrow);
    virtual bool bIncreaseSize(long long oSize);
    __attribute__((format(printf, 2, 3))) virtual bool bWriteString(const char *pszFormat, ...);
    __attribute__((format(printf, 2, 0))) virtual bool bWriteStringList(const char *pszFormat,
                                                                         va_list args);
    virtual bool bReadLine(char *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags);
    virtual bool bExtract(IXStream *piTarget, long long oSize);
    virtual bool bLockFile(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bUnlockFile(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bLock(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bUnlock(unsigned long long oOffset, unsigned long long oLength) const;
    virtual const char *pszGetName() const;
    virtual long long oGetOffset();
    virtual bool bIsOpen() const;
    virtual void m439EmptyMethodXStream() const;
    virtual void m442EmptyMethodXStream() const;
    virtual bool vbSetNameForError(const char *pszName);
    virtual bool bReadLineUNICODE(wchar_t *pszBuffer, unsigned nSize, int *pbCut, unsigned nFlags);
    virtual eACCESS veGetAccess() const = 0;
    virtual bool bGetVFSFileName(char *pszName);
    virtual bool bLockFileEx(int bLock, int bExclusive) const;
    virtual const char *pszReadLine(char *pszBuffer, unsigned nSize, CTString *pclLongLine,
                                    const char *pszSeparator);
    virtual void m485EmptyMethodXStream() const;
    virtual void m486EmptyMethodXStream() const;
    virtual void m487EmptyMethodXStream() const;
    virtual void m488EmptyMethodXStream() const;
    virtual void m489EmptyMethodXStream() const;
    virtual void m490EmptyMethodXStream() const;
    virtual void m491EmptyMethodXStream() const;
    virtual void m492EmptyMethodXStream() const;

private:
    IXStream(const IXStream &) = delete;
    IXStream &operator=(const IXStream &) = delete;
};

// A handle that creates a disk file on demand or forwards to a caller's stream.
// Without a stream, the forwarding operations answer failure (false, -1, null)
// with the error number EBADF.
class CXFile {
public:
    CXFile();
    explicit CXFile(IXStream *piStream);
    virtual ~CXFile();

    virtual bool bOpen(const char *pszName, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                       eFLAG eFlag, int *pnCreated = nullptr);
    virtual int Close();
    virtual bool bReopen(eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);
    virtual bool bWrite(long long oOffset, const void *pData, unsigned nSize, unsigned *pnWritten);
    virtual bool bRead(long long oOffset, void *pBuffer, unsigned nSize, unsigned *pnRead);
    virtual bool bWrite(const void *pData, unsigned nSize, unsigned *pnWritten = nullptr);
    virtual bool bRead(void *pBuffer, unsigned nSize, unsigned *pnRead = nullptr);
    virtual bool bSeek(long long oOffset, eSEEK eOrigin);
    virtual long long oGetSize();
    virtual long long oGetSizeFast();
    virtual bool bFlush();
    virtual bool bSetSize(long long oSize, eGROW eGrow);
    virtual bool bIncreaseSize(long long oSize);
    __attribute__((format(printf, 2, 3))) virtual bool bWriteString(const char *pszFormat, ...);
    __attribute__((format(printf, 2, 0))) virtual bool bWriteStringList(const char *pszFormat,
                                                                         va_list args);
    virtual bool bReadLine(char *pszBuffer, unsigned nSize, int *pbCut);
    virtual bool bExtract(CXFile *pclTarget, long long oSize);
    virtual bool bLockFile(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bUnlockFile(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bLock(unsigned long long oOffset, unsigned long long oLength) const;
    virtual bool bUnlock(unsigned long long oOffset, unsigned long long oLength) const;
    virtual const char *pszGetName() const;
    virtual long long oGetOffset();
    virtual bool bIsOpen() const;
    virtual void NeFaitRien();
    virtual void __FreeStream();
    virtual IXStream *__xpclAllocDiskFile();
    virtual void _NeFaitRien();
    virtual bool bReadLineUNICODE(wchar_t *pszBuffer, unsigned nSize, int *pbCut);
    virtual eACCESS veGetAccess() const;
    virtual void m227EmptyMethodXStream() const;
    virtual void m228EmptyMethodXStream() const;
    virtual void m229EmptyMethodXStream() const;
    virtual void m230EmptyMethodXStream() const;
    virtual void m231EmptyMethodXStream() const;
    virtual void m232EmptyMethodXStream() const;
    virtual void m233EmptyMethodXStream() const;
    virtual void m234EmptyMethodXStream() const;
    virtual void m235EmptyMethodXStream() const;
    virtual void m236EmptyMethodXStream() const;
    virtual void m237EmptyMethodXStream() const;
    virtual void m238EmptyMethodXStream() const;

    // Releases the current stream and holds the given one (count raised), if any.
    void SetStream(IXStream *piStream);
    // The stream given from outside; null when the stream is owned.
    IXStream *piGetStream() const;
    bool bCreateStream();
    bool bSetNameForError(const char *pszName);
    // The text followed by "\r\n".
    bool bWriteLine(const char *pszText);
    const char *pszReadLine(char *pszBuffer, unsigned nSize, CTString *pclLongLine = nullptr,
                            const char *pszSeparator = nullptr);
    bool bLockFileEx(int bLock, int bExclusive) const;

private:
    CXFile(const CXFile &) = delete;
    CXFile &operator=(const CXFile &) = delete;

    IXStream *m_piStream;
    bool m_bOwned;
};
