// CXError: construction, resets, owned strings, codes and messages.
#include "error/XError.h"

#include <netdb.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "error/accesdllres.h"
#include "strings/Tstring.h"

const _stERRORDEF gstErrorDef[3] = {
    {1, 0, 0, CXError::EL_ERREUR},
    {2, 0, 0, CXError::EL_ERREUR},
    {3, 0, 0, CXError::EL_ERREUR},
};

const char* const gszXErrorModName = "TQExe.exe";
const char* const gszXErrorModVersion = "15.00Ab";

namespace {

const char* const CRLF = "\r\n";

// The va_list of a variadic member, passed on as the address the List forms take.
#define TQ_ARGS(ap) reinterpret_cast<char**>(&(ap))

const _stERRORDEF* pstChercheDef(unsigned int nCode)
{
    for (const _stERRORDEF& st : gstErrorDef)
        if (static_cast<int>(st.nCode - nCode) == 0)
            return &st;
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

void CXError::_Init()
{
    m_eErrorLevel = EL_AUCUNE;
    m_nUserErrorCode = 0;
    m_pszUserMessage = nullptr;
    m_pszDebugMessage = nullptr;
    m_pszFunctionName = nullptr;
    m_pszModName = nullptr;
    m_pszModVersion = nullptr;
    m_nFunctionSyntax = 0;
    m_nDetailId = 0;
    m_dwSystemErrorCode = 0;
    m_pszSystemErrorMessage = nullptr;
    m_pszTraitmentCaption = nullptr;
    m_wTraitmentLine = 0;
    m_wTraitmentThread = 0;
    m_ptabSubError = nullptr;
    m_pszObjectName = nullptr;
    m_pszInternalModName = nullptr;
    m_nUserErrorCode55 = 0;
}

CXError::CXError() : m_tabErrorId(1, 30), m_tabInfo(1, 30)
{
    _Init();
    __vpszAllocString(&m_pszInternalModName, gszXErrorModName);
}

CXError::CXError(unsigned int nCode, ...) : CXError()
{
    va_list ap;
    va_start(ap, nCode);
    SetUserErrorList(nCode, TQ_ARGS(ap));
    va_end(ap);
}

CXError::CXError(unsigned int nCode, char** args) : CXError()
{
    SetUserErrorList(nCode, args);
}

CXError::CXError(const char* pszDebug, unsigned int nCode, ...) : CXError()
{
    va_list ap;
    va_start(ap, nCode);
    SetUserErrorList(nCode, TQ_ARGS(ap));
    va_end(ap);
    AddDebugMessageList(pszDebug, nullptr);
}

CXError::CXError(const char* pszDebug, unsigned int nCode, char** args) : CXError()
{
    SetUserErrorList(nCode, args);
    AddDebugMessageList(pszDebug, nullptr);
}

CXError::CXError(const CXError& clSource) : CXError()
{
    Copy(clSource);
}

CXError::CXError(CXError* pclSource, int bLight) : CXError()
{
    if (bLight)
        LightCopy(pclSource);
    else
        Copy(pclSource);
}

CXError::CXError(CXError& clSource, int bLight) : CXError(&clSource, bLight)
{
}

CXError::~CXError()
{
    __RAZALL();
}

// ---------------------------------------------------------------------------
// Owned strings

char* CXError::__vpszAllocString(char** ppszDst, const char* psz)
{
    *ppszDst = psz ? strdup(psz) : nullptr;
    return *ppszDst;
}

char* CXError::__vpszReallocString(char** ppszDst, const char* psz)
{
    if (psz == *ppszDst)
        return *ppszDst;
    if (psz == nullptr) {
        __vDeleteString(ppszDst);
        return nullptr;
    }
    // A copy first: psz may lie inside the block being replaced.
    char* pszNew = strdup(psz);
    if (pszNew == nullptr)
        return nullptr;
    free(*ppszDst);
    *ppszDst = pszNew;
    return pszNew;
}

char* CXError::__vpszReallocString(char** ppszDst, unsigned int nLen)
{
    bool bNouveau = *ppszDst == nullptr;
    char* p = static_cast<char*>(realloc(*ppszDst, static_cast<size_t>(nLen) + 1));
    if (p == nullptr)
        return nullptr;
    if (bNouveau)
        p[0] = '\0';
    p[nLen] = '\0';
    *ppszDst = p;
    return p;
}

char* CXError::__vpszConcatString(char** ppszDst, const char* psz)
{
    if (psz == nullptr)
        return *ppszDst;
    if (*ppszDst == nullptr)
        return __vpszAllocString(ppszDst, psz);
    size_t n1 = strlen(*ppszDst), n2 = strlen(psz);
    char* p = static_cast<char*>(malloc(n1 + n2 + 1));
    if (p == nullptr)
        return nullptr;
    memcpy(p, *ppszDst, n1);
    memcpy(p + n1, psz, n2 + 1);
    free(*ppszDst);
    *ppszDst = p;
    return p;
}

void CXError::__vDeleteString(char** ppszDst)
{
    free(*ppszDst);
    *ppszDst = nullptr;
}

wchar_t* CXError::__vpszAllocStringW(wchar_t** ppwszDst, const wchar_t* pwsz)
{
    if (pwsz == nullptr) {
        *ppwszDst = nullptr;
        return nullptr;
    }
    size_t n = wcslen(pwsz) + 1;
    *ppwszDst = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    if (*ppwszDst != nullptr)
        memcpy(*ppwszDst, pwsz, n * sizeof(wchar_t));
    return *ppwszDst;
}

void CXError::__vDeleteStringW(wchar_t** ppwszDst)
{
    free(*ppwszDst);
    *ppwszDst = nullptr;
}

// Appends with "\r\n" between when a message is already there.
void CXError::_AppendMessage(char** ppsz, const char* pszTexte)
{
    if (pszTexte == nullptr)
        return;
    if (*ppsz != nullptr && **ppsz != '\0') {
        size_t n1 = strlen(*ppsz), n2 = strlen(pszTexte);
        char* p = static_cast<char*>(malloc(n1 + 2 + n2 + 1));
        if (p == nullptr)
            return;
        memcpy(p, *ppsz, n1);
        memcpy(p + n1, CRLF, 2);
        memcpy(p + n1 + 2, pszTexte, n2 + 1);
        free(*ppsz);
        *ppsz = p;
    } else {
        __vpszReallocString(ppsz, pszTexte);
    }
}

// New text, "\r\n", old text: the block is enlarged and the old text moved up.
void CXError::_PrependMessage(char** ppsz, const char* pszTexte)
{
    if (pszTexte == nullptr)
        return;
    if (*ppsz == nullptr || **ppsz == '\0') {
        __vpszReallocString(ppsz, pszTexte);
        return;
    }
    size_t nAncien = strlen(*ppsz), nNouveau = strlen(pszTexte);
    // The new text could point into the block that realloc may move.
    char* pszCopie = strdup(pszTexte);
    if (pszCopie == nullptr)
        return;
    if (__vpszReallocString(ppsz, static_cast<unsigned int>(nAncien + nNouveau + 2)) != nullptr) {
        memmove(*ppsz + nNouveau + 2, *ppsz, nAncien + 1);
        memcpy(*ppsz, pszCopie, nNouveau);
        memcpy(*ppsz + nNouveau, CRLF, 2);
    }
    free(pszCopie);
}

// ---------------------------------------------------------------------------
// Resetting

void CXError::RAZ()
{
    __vDeleteString(&m_pszUserMessage);
    __vDeleteString(&m_pszDebugMessage);
    __vDeleteString(&m_pszFunctionName);
    __vDeleteString(&m_pszTraitmentCaption);
    __vDeleteString(&m_pszObjectName);
    __vDeleteString(&m_pszSystemErrorMessage);
    __vDeleteString(&m_pszModName);
    __vDeleteString(&m_pszModVersion);
    m_tabErrorId.SupprimeToutEtLibere();
    for (int i = 0; i < m_tabInfo.nGetNombre(); ++i)
        _FreeInfo(m_tabInfo[i]);
    m_tabInfo.SupprimeToutEtLibere();
    __DeleteAllSubError();
    char* pszInterne = m_pszInternalModName;
    _Init();
    m_pszInternalModName = pszInterne;
}

void CXError::__RAZALL()
{
    RAZ();
    __vDeleteString(&m_pszInternalModName);
}

void CXError::RAZUserMessage()
{
    __vDeleteString(&m_pszUserMessage);
}

void CXError::SetErrorLevel(eERRORLEVEL eLevel)
{
    if (eLevel == m_eErrorLevel)
        return;
    if (eLevel == EL_AUCUNE)
        RAZ();
    else
        m_eErrorLevel = eLevel;
}

// ---------------------------------------------------------------------------
// Module and context

void CXError::InitModInfo(int bForce)
{
    if (bForce || m_pszModName == nullptr) {
        __vpszReallocString(&m_pszModName, gszXErrorModName);
        __vpszReallocString(&m_pszModVersion, gszXErrorModVersion);
    }
}

void CXError::InitModName(const char* pszName)
{
    __vpszReallocString(&m_pszModName, pszName);
}

void CXError::InitModVersion(const char* pszVersion)
{
    __vpszReallocString(&m_pszModVersion, pszVersion);
}

static const char* pszOuVide(const char* psz)
{
    return psz ? psz : "";
}

const char* CXError::pszGetModName() const { return pszOuVide(m_pszModName); }
const char* CXError::pszGetModVersion() const { return pszOuVide(m_pszModVersion); }
const char* CXError::pszGetInternalModName() const { return pszOuVide(m_pszInternalModName); }
const char* CXError::pszGetTraitmentCaption() const { return pszOuVide(m_pszTraitmentCaption); }
const char* CXError::pszGetObjectName() const { return pszOuVide(m_pszObjectName); }
const char* CXError::pszGetFunctionName() const { return pszOuVide(m_pszFunctionName); }
const char* CXError::pszGetSystemErrorMessage() const { return pszOuVide(m_pszSystemErrorMessage); }
const char* CXError::pszGetUserMessage() const { return pszOuVide(m_pszUserMessage); }
const char* CXError::pszGetDebugMessage() const { return pszOuVide(m_pszDebugMessage); }

void CXError::SetVMContext(const char* pszCaption, const char* pszObjectName, unsigned short wLine,
                           unsigned short wThread)
{
    if (__vpszReallocString(&m_pszTraitmentCaption, pszCaption) == nullptr)
        return;
    if (__vpszReallocString(&m_pszObjectName, pszObjectName) == nullptr)
        return;
    m_wTraitmentLine = wLine;
    m_wTraitmentThread = wThread;
}

void CXError::SetFunctionName(const char* pszName, unsigned char nSyntax)
{
    if (__vpszReallocString(&m_pszFunctionName, pszName) != nullptr)
        m_nFunctionSyntax = nSyntax;
}

// ---------------------------------------------------------------------------
// Resource messages

bool CXError::_bFormatResource(unsigned int nResourceId, char** args, CTString& clOut, char** ppszFallbackTarget)
{
    int nErrno = errno;
    char szLigne[128];
    CTString clTexte;
    char* pszFormate = nullptr;
    uint32_t n = 0;
    if (DLLRES_bLoadString(nResourceId, &clTexte))
        n = DLLRES_dwFormatMessage(clTexte.pszGet(), &pszFormate, args);
    else
        clTexte.Vide();
    if (pszFormate == nullptr) {
        snprintf(szLigne, sizeof szLigne, "##(CXError)-Ressource <%u> non charg\xE9" "e##", nResourceId);
        _AppendMessage(ppszFallbackTarget, szLigne);
        return false;
    }
    if (n == 0) {
        free(pszFormate);
        snprintf(szLigne, sizeof szLigne, "##(CXError)-Ressource <%u> vide. LastError = <%u>##", nResourceId,
                 static_cast<unsigned>(nErrno));
        _AppendMessage(ppszFallbackTarget, szLigne);
        return false;
    }
    clOut.SetBuffer(pszFormate);
    return true;
}

void CXError::_AddResourceMessage(unsigned int nResourceId, char** args, bool bFirst)
{
    InitModInfo(0);
    if (bFirst)
        m_tabErrorId.Insere(&nResourceId, 0);
    else
        m_tabErrorId.Ajoute(&nResourceId);
    CTString clTexte;
    if (!_bFormatResource(nResourceId, args, clTexte, &m_pszDebugMessage))
        return;
    if (bFirst)
        _PrependMessage(&m_pszUserMessage, clTexte.pszGet());
    else
        _AppendMessage(&m_pszUserMessage, clTexte.pszGet());
}

// ---------------------------------------------------------------------------
// Codes

void CXError::SetSystemError(unsigned int nCode)
{
    int nErrno = errno;
    m_dwSystemErrorCode = nCode;
    if (nCode == 0)
        __vDeleteString(&m_pszSystemErrorMessage);
    else
        __vpszReallocString(&m_pszSystemErrorMessage, strerror(nErrno));
}

void CXError::SetSystemErrorForGetHostBy(unsigned int nCode)
{
    m_dwSystemErrorCode = nCode;
    __vpszReallocString(&m_pszSystemErrorMessage, hstrerror(h_errno));
}

namespace {
// Formats a caller's format; a format that cannot be formatted is kept visibly.
CTString clFormate(const char* pszFormat, char** args, bool* pbEchec)
{
    CTString cl;
    char* psz = nullptr;
    uint32_t n = DLLRES_dwFormatMessage(pszFormat, &psz, args);
    *pbEchec = psz == nullptr;
    if (psz != nullptr && n != 0)
        cl.SetBuffer(psz);
    else
        free(psz);
    if (*pbEchec)
        cl.Set("##(CXError)-Message non format\xE9 : <", pszOuVide(pszFormat), ">##");
    return cl;
}
} // namespace

void CXError::SetSystemErrorMessage(unsigned int nCode, const char* pszFormat, ...)
{
    va_list ap;
    va_start(ap, pszFormat);
    bool bEchec;
    CTString cl = clFormate(pszFormat, TQ_ARGS(ap), &bEchec);
    va_end(ap);
    m_dwSystemErrorCode = nCode;
    __vpszReallocString(&m_pszSystemErrorMessage, cl.pszGet());
}

void CXError::SetSystemErrorMessage(const char* pszFormat, ...)
{
    va_list ap;
    va_start(ap, pszFormat);
    bool bEchec;
    CTString cl = clFormate(pszFormat, TQ_ARGS(ap), &bEchec);
    va_end(ap);
    m_dwSystemErrorCode = 0;
    __vpszReallocString(&m_pszSystemErrorMessage, cl.pszGet());
}

void CXError::SetSystemErrorMessage(unsigned int nResourceId, ...)
{
    va_list ap;
    va_start(ap, nResourceId);
    CTString clTexte;
    // Failures are reported in the system message itself.
    char* pszEchec = nullptr;
    bool b = _bFormatResource(nResourceId, TQ_ARGS(ap), clTexte, &pszEchec);
    va_end(ap);
    __vpszReallocString(&m_pszSystemErrorMessage, b ? clTexte.pszGet() : pszEchec);
    free(pszEchec);
}

// ---------------------------------------------------------------------------
// User and debug messages

void CXError::AddUserMessage(const char* pszMessage)
{
    _AppendMessage(&m_pszUserMessage, pszMessage);
}

void CXError::AddUserMessageNoFormat(const char* pszMessage)
{
    if (pszMessage != nullptr && *pszMessage != '\0')
        _AppendMessage(&m_pszUserMessage, pszMessage);
}

void CXError::AddUserMessage(unsigned int nResourceId, ...)
{
    va_list ap;
    va_start(ap, nResourceId);
    _AddResourceMessage(nResourceId, TQ_ARGS(ap), false);
    va_end(ap);
}

void CXError::AddUserMessageList(unsigned int nResourceId, char** args)
{
    _AddResourceMessage(nResourceId, args, false);
}

void CXError::AddUserMessageFirst(const char* pszMessage)
{
    _PrependMessage(&m_pszUserMessage, pszMessage);
}

void CXError::AddUserMessageFirst(unsigned int nResourceId, ...)
{
    va_list ap;
    va_start(ap, nResourceId);
    _AddResourceMessage(nResourceId, TQ_ARGS(ap), true);
    va_end(ap);
}

void CXError::AddUserMessageListFirst(unsigned int nResourceId, char** args)
{
    _AddResourceMessage(nResourceId, args, true);
}

void CXError::AddDebugMessage(const char* pszFormat, ...)
{
    va_list ap;
    va_start(ap, pszFormat);
    AddDebugMessageList(pszFormat, TQ_ARGS(ap));
    va_end(ap);
}

void CXError::AddDebugMessageList(const char* pszFormat, char** args)
{
    if (pszFormat == nullptr)
        return;
    bool bEchec;
    CTString cl = clFormate(pszFormat, args, &bEchec);
    if (!cl.bEstVide())
        _AppendMessage(&m_pszDebugMessage, cl.pszGet());
}

void CXError::AddDebugMessageNoFormat(const char* pszMessage)
{
    if (pszMessage != nullptr && *pszMessage != '\0')
        _AppendMessage(&m_pszDebugMessage, pszMessage);
}

void CXError::AddDebugMessage(unsigned int nResourceId, ...)
{
    va_list ap;
    va_start(ap, nResourceId);
    AddDebugMessageList(nResourceId, TQ_ARGS(ap));
    va_end(ap);
}

void CXError::AddDebugMessageList(unsigned int nResourceId, char** args)
{
    CTString clTexte;
    if (_bFormatResource(nResourceId, args, clTexte, &m_pszDebugMessage))
        _AppendMessage(&m_pszDebugMessage, clTexte.pszGet());
}

void CXError::AddDebugMessageFirst(const char* pszMessage)
{
    if (pszMessage != nullptr && *pszMessage != '\0')
        _PrependMessage(&m_pszDebugMessage, pszMessage);
}

int CXError::nNumErrorId() const
{
    return m_tabErrorId.nGetNombre();
}

unsigned int CXError::nGetErrorId(unsigned int nIndex) const
{
    if (nIndex >= static_cast<unsigned int>(m_tabErrorId.nGetNombre()))
        return 0;
    return m_tabErrorId[static_cast<int>(nIndex)];
}

// ---------------------------------------------------------------------------
// Defined user errors

void CXError::SetUserError(unsigned int nCode, ...)
{
    va_list ap;
    va_start(ap, nCode);
    SetUserErrorList(nCode, TQ_ARGS(ap));
    va_end(ap);
}

void CXError::SetUserErrorList(unsigned int nCode, char** args)
{
    RAZ();
    ChangeUserErrorList(nCode, args);
}

void CXError::ChangeUserError(unsigned int nCode, ...)
{
    va_list ap;
    va_start(ap, nCode);
    ChangeUserErrorList(nCode, TQ_ARGS(ap));
    va_end(ap);
}

// pszMessage null: the entry's resource message; otherwise the caller's text.
void CXError::_ChangeUserError(unsigned int nCode, const char* pszMessage, char** args)
{
    InitModInfo(1);
    const _stERRORDEF* pst = pstChercheDef(nCode);
    if (pst == nullptr) {
        SetErrorLevel(EL_ERREUR);
        char szLigne[128];
        snprintf(szLigne, sizeof szLigne,
                 "##(CXError)-gstErrorDef ne contient aucune d\xE9" "finition pour l'identifiant <%u>##", nCode);
        _AppendMessage(&m_pszDebugMessage, szLigne);
        // A caller's own text is kept even for a code the table does not define.
        if (pszMessage != nullptr && *pszMessage != '\0')
            AddUserMessageFirst(pszMessage);
        return;
    }
    m_nUserErrorCode = nCode;
    if (pszMessage == nullptr)
        AddUserMessageListFirst(pst->nRessourceId, args);
    else if (*pszMessage != '\0')
        AddUserMessageFirst(pszMessage);
    m_nDetailId = pst->nDetailId;
    SetErrorLevel(static_cast<eERRORLEVEL>(pst->nLevel));
}

void CXError::ChangeUserErrorList(unsigned int nCode, char** args)
{
    _ChangeUserError(nCode, nullptr, args);
}

void CXError::SetUserErrorMessage(unsigned int nCode, const char* pszMessage)
{
    RAZ();
    ChangeUserErrorMessage(nCode, pszMessage);
}

void CXError::ChangeUserErrorMessage(unsigned int nCode, const char* pszMessage)
{
    _ChangeUserError(nCode, pszMessage ? pszMessage : "", nullptr);
}

unsigned int CXError::nGetRessourceIdFromUserErrorCode(unsigned int nCode)
{
    const _stERRORDEF* pst = pstChercheDef(nCode);
    return pst ? pst->nRessourceId : 0;
}
