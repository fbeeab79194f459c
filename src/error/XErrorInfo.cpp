// CXError: information items, sub-errors and copies.
#include "error/XError.h"

#include <cstdint>
#include <cstring>

namespace {

bool bTypeEntier(CXError::eERRORINFOTYPE e)
{
    return e == CXError::EIT_BASECODE || e == CXError::EIT_NATIVECODE || e == CXError::EIT_ADOCODE ||
           e == CXError::EIT_XINFO;
}

bool bTypeLarge(CXError::eERRORINFOTYPE e)
{
    return e == CXError::EIT_SRCFILEUNICODE || e == CXError::EIT_DSTFILEUNICODE;
}

bool bTypeTexte(CXError::eERRORINFOTYPE e)
{
    return e >= CXError::EIT_SRCFILE && e <= CXError::EIT_DERNIER && e != CXError::EIT_RECNUM && !bTypeEntier(e) &&
           !bTypeLarge(e) && e != CXError::EIT_DATAACCESS && e != CXError::EIT_POINTEUR;
}

// The value of a stored item in the form AddInfo takes (integers by address).
const void* pValeurAddInfo(const CXError::_stERRORINFO& st, int64_t& n64, int32_t& n32)
{
    if (st.eType == CXError::EIT_RECNUM) {
        n64 = static_cast<int64_t>((static_cast<uint64_t>(st.dwExtra) << 32) | static_cast<uint32_t>(st.dwValeur));
        return &n64;
    }
    if (bTypeEntier(st.eType)) {
        n32 = static_cast<int32_t>(static_cast<uint32_t>(st.dwValeur));
        return &n32;
    }
    return reinterpret_cast<const void*>(st.dwValeur);
}

} // namespace

// ---------------------------------------------------------------------------
// Information items

void CXError::_FreeInfo(_stERRORINFO& st)
{
    if (bTypeTexte(st.eType)) {
        char* psz = reinterpret_cast<char*>(st.dwValeur);
        __vDeleteString(&psz);
    } else if (bTypeLarge(st.eType)) {
        wchar_t* pwsz = reinterpret_cast<wchar_t*>(st.dwValeur);
        __vDeleteStringW(&pwsz);
    } else if (st.eType == EIT_DATAACCESS && st.dwValeur != 0) {
        reinterpret_cast<CTQUnknown*>(st.dwValeur)->dwRelease();
    }
    st.dwValeur = 0;
    st.dwExtra = 0;
}

int CXError::_nFindInfo(eERRORINFOTYPE eType) const
{
    for (int i = 0; i < m_tabInfo.nGetNombre(); ++i)
        if (m_tabInfo[i].eType == eType)
            return i;
    return -1;
}

// Fills a fresh item from an AddInfo value; false when a copy cannot be made.
bool CXError::_bSetInfoValue(_stERRORINFO& st, eERRORINFOTYPE eType, const void* pValue)
{
    st.eType = eType;
    st.dwValeur = 0;
    st.dwExtra = 0;
    if (eType == EIT_RECNUM) {
        int64_t n;
        memcpy(&n, pValue, sizeof n);
        st.dwValeur = static_cast<uint32_t>(static_cast<uint64_t>(n));
        st.dwExtra = static_cast<uint32_t>(static_cast<uint64_t>(n) >> 32);
    } else if (bTypeEntier(eType)) {
        int32_t n;
        memcpy(&n, pValue, sizeof n);
        st.dwValeur = static_cast<uint32_t>(n);
    } else if (bTypeTexte(eType)) {
        char* psz = nullptr;
        if (__vpszAllocString(&psz, static_cast<const char*>(pValue)) == nullptr)
            return false;
        st.dwValeur = reinterpret_cast<uintptr_t>(psz);
    } else if (bTypeLarge(eType)) {
        wchar_t* pwsz = nullptr;
        if (__vpszAllocStringW(&pwsz, static_cast<const wchar_t*>(pValue)) == nullptr)
            return false;
        st.dwValeur = reinterpret_cast<uintptr_t>(pwsz);
    } else {
        // EIT_DATAACCESS gains its reference from the caller; EIT_POINTEUR is kept as is.
        st.dwValeur = reinterpret_cast<uintptr_t>(pValue);
    }
    return true;
}

int CXError::AddInfo(eERRORINFOTYPE eType, const void* pValue)
{
    if (eType == EIT_NONE || eType > EIT_DERNIER)
        return 0;
    int nIndex = _nFindInfo(eType);
    if (pValue == nullptr)
        return nIndex >= 0;
    if (nIndex >= 0 && eType == EIT_DATAACCESS && m_tabInfo[nIndex].dwValeur == reinterpret_cast<uintptr_t>(pValue))
        return 1; // the same object: the item already holds its reference
    _stERRORINFO st;
    if (!_bSetInfoValue(st, eType, pValue))
        return 0;
    if (nIndex < 0 && m_tabInfo.Ajoute(&st) < 0) {
        _FreeInfo(st);
        return 0;
    }
    if (eType == EIT_DATAACCESS)
        ++static_cast<CTQUnknown*>(const_cast<void*>(pValue))->m_dwRef;
    if (nIndex >= 0) {
        _FreeInfo(m_tabInfo[nIndex]);
        m_tabInfo[nIndex] = st;
    }
    return 1;
}

void CXError::GetInfo(unsigned int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const
{
    if (nIndex >= static_cast<unsigned int>(m_tabInfo.nGetNombre())) {
        if (peType != nullptr)
            *peType = EIT_NONE;
        return;
    }
    const _stERRORINFO& st = m_tabInfo[static_cast<int>(nIndex)];
    if (peType != nullptr)
        *peType = st.eType;
    if (ppValue == nullptr)
        return;
    if (st.eType == EIT_RECNUM) {
        // The caller's *ppValue points to a 64-bit buffer.
        if (*ppValue != nullptr) {
            uint64_t n = (static_cast<uint64_t>(st.dwExtra) << 32) | static_cast<uint32_t>(st.dwValeur);
            memcpy(const_cast<void*>(*ppValue), &n, sizeof n);
        }
    } else {
        *ppValue = reinterpret_cast<const void*>(st.dwValeur);
    }
}

bool CXError::bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const
{
    int nIndex = _nFindInfo(eType);
    if (nIndex < 0)
        return false;
    GetInfo(static_cast<unsigned int>(nIndex), nullptr, ppValue);
    return true;
}

int CXError::nNumInfo() const
{
    return m_tabInfo.nGetNombre();
}

void CXError::DeleteInfo(eERRORINFOTYPE eType)
{
    int nIndex = _nFindInfo(eType);
    if (nIndex < 0)
        return;
    _FreeInfo(m_tabInfo[nIndex]);
    m_tabInfo.Supprime(nIndex, 1);
}

bool CXError::__bGetXInfo(int nBits) const
{
    int nIndex = _nFindInfo(EIT_XINFO);
    return nIndex >= 0 && (static_cast<uint32_t>(m_tabInfo[nIndex].dwValeur) & static_cast<uint32_t>(nBits)) != 0;
}

void CXError::__SetXInfo(int nBits, int bSet)
{
    int nIndex = _nFindInfo(EIT_XINFO);
    int32_t n = nIndex >= 0 ? static_cast<int32_t>(static_cast<uint32_t>(m_tabInfo[nIndex].dwValeur)) : 0;
    n = bSet ? (n | nBits) : (n & ~nBits);
    AddInfo(EIT_XINFO, &n);
}

// ---------------------------------------------------------------------------
// Sub-errors

bool CXError::_bContient(const CXError* pclError) const
{
    if (pclError == this)
        return true;
    for (int i = 0; i < nGetNbSubError(); ++i)
        if (pclGetSubError(i)->_bContient(pclError))
            return true;
    return false;
}

void CXError::__AddSubError(CXError* pclError, int bLight, int bNoUserMessage)
{
    // Moving an error that holds this one would make it hold itself.
    if (pclError == nullptr || pclError == this || (bLight && pclError->_bContient(this)))
        return;
    if (m_ptabSubError == nullptr) {
        m_ptabSubError = new CTTableau<CXError*>(10, 30);
    }
    CXError* pclSub = new CXError(pclError, bLight);
    if (m_ptabSubError->Ajoute(&pclSub) < 0) {
        delete pclSub;
        return;
    }
    // The first sub-error's message is the parent's too.
    if (!bNoUserMessage && m_ptabSubError->nGetNombre() == 1)
        AddUserMessageNoFormat(pclSub->m_pszUserMessage);
}

void CXError::AddSubError(CXError* pclError)
{
    __AddSubError(pclError, 0, 0);
}

void CXError::AddSubErrorLight(CXError* pclError)
{
    __AddSubError(pclError, 1, 0);
}

void CXError::AddSubErrorLightNoUserMessage(CXError* pclError)
{
    __AddSubError(pclError, 1, 1);
}

int CXError::nGetNbSubError() const
{
    return m_ptabSubError ? m_ptabSubError->nGetNombre() : 0;
}

CXError* CXError::pclGetSubError(int nIndex) const
{
    if (m_ptabSubError == nullptr || nIndex < 0 || nIndex >= m_ptabSubError->nGetNombre())
        return nullptr;
    return (*m_ptabSubError)[nIndex];
}

void CXError::__DeleteAllSubError()
{
    if (m_ptabSubError == nullptr)
        return;
    for (int i = 0; i < m_ptabSubError->nGetNombre(); ++i)
        delete (*m_ptabSubError)[i];
    delete m_ptabSubError;
    m_ptabSubError = nullptr;
}

void CXError::DeleteAllSubError()
{
    __DeleteAllSubError();
}

// ---------------------------------------------------------------------------
// Copies

// Takes the source's items: copies (bMove false) or moves them. A data access
// object passes only between objects of the same module.
void CXError::_TakeInfos(CXError* pclSource, bool bMove)
{
    for (int i = 0; i < m_tabInfo.nGetNombre(); ++i)
        _FreeInfo(m_tabInfo[i]);
    m_tabInfo.SupprimeToutEtLibere();
    bool bMemeModule = strcmp(pszGetInternalModName(), pclSource->pszGetInternalModName()) == 0;
    for (int i = 0; i < pclSource->m_tabInfo.nGetNombre(); ++i) {
        _stERRORINFO& st = pclSource->m_tabInfo[i];
        bool bPris = st.eType != EIT_DATAACCESS || bMemeModule;
        if (bPris && bMove) {
            if (m_tabInfo.Ajoute(&st) >= 0) {
                st.eType = EIT_NONE; // now owned here
                st.dwValeur = 0;
            }
        } else if (bPris) {
            int64_t n64;
            int32_t n32;
            AddInfo(st.eType, pValeurAddInfo(st, n64, n32));
        }
    }
    if (bMove) {
        for (int i = 0; i < pclSource->m_tabInfo.nGetNombre(); ++i)
            pclSource->_FreeInfo(pclSource->m_tabInfo[i]);
        pclSource->m_tabInfo.SupprimeToutEtLibere();
    }
}

void CXError::Copy(const CXError* pclSource)
{
    if (pclSource == nullptr || pclSource == this)
        return;
    const CXError& src = *pclSource;
    m_eErrorLevel = src.m_eErrorLevel;
    m_nUserErrorCode = src.m_nUserErrorCode;
    m_nUserErrorCode55 = src.m_nUserErrorCode55;
    __vpszReallocString(&m_pszUserMessage, src.m_pszUserMessage);
    __vpszReallocString(&m_pszModName, src.m_pszModName);
    __vpszReallocString(&m_pszModVersion, src.m_pszModVersion);
    __vpszReallocString(&m_pszDebugMessage, src.m_pszDebugMessage);
    __vpszReallocString(&m_pszFunctionName, src.m_pszFunctionName);
    m_dwSystemErrorCode = src.m_dwSystemErrorCode;
    __vpszReallocString(&m_pszSystemErrorMessage, src.m_pszSystemErrorMessage);
    __vpszReallocString(&m_pszTraitmentCaption, src.m_pszTraitmentCaption);
    __vpszReallocString(&m_pszObjectName, src.m_pszObjectName);
    m_nDetailId = src.m_nDetailId;
    m_nFunctionSyntax = src.m_nFunctionSyntax;
    m_wTraitmentLine = src.m_wTraitmentLine;
    m_wTraitmentThread = src.m_wTraitmentThread;
    m_tabErrorId.SupprimeToutEtLibere();
    for (int i = 0; i < src.m_tabErrorId.nGetNombre(); ++i)
        m_tabErrorId.Ajoute(&src.m_tabErrorId[i]);
    _TakeInfos(const_cast<CXError*>(pclSource), false);
    for (int i = 0; i < src.nGetNbSubError(); ++i)
        __AddSubError(src.pclGetSubError(i), 0, 1);
}

void CXError::Copy(const CXError& clSource)
{
    Copy(&clSource);
}

void CXError::LightCopy(CXError* pclSource)
{
    if (pclSource == nullptr || pclSource->_bContient(this))
        return;
    CXError& src = *pclSource;
    // Own sub-errors go once the move is done: the source may be one of them.
    CTTableau<CXError*>* ptabAnciens = m_ptabSubError;
    m_ptabSubError = nullptr;
    char** const tabChaines[] = {&m_pszUserMessage, &m_pszDebugMessage, &m_pszFunctionName,
                                 &m_pszModName, &m_pszModVersion, &m_pszSystemErrorMessage,
                                 &m_pszTraitmentCaption, &m_pszObjectName};
    char** const tabSource[] = {&src.m_pszUserMessage, &src.m_pszDebugMessage, &src.m_pszFunctionName,
                                &src.m_pszModName, &src.m_pszModVersion, &src.m_pszSystemErrorMessage,
                                &src.m_pszTraitmentCaption, &src.m_pszObjectName};
    for (size_t i = 0; i < sizeof tabChaines / sizeof tabChaines[0]; ++i) {
        __vDeleteString(tabChaines[i]);
        *tabChaines[i] = *tabSource[i];
        *tabSource[i] = nullptr;
    }
    m_eErrorLevel = src.m_eErrorLevel;
    m_nUserErrorCode = src.m_nUserErrorCode;
    m_nUserErrorCode55 = src.m_nUserErrorCode55;
    m_nFunctionSyntax = src.m_nFunctionSyntax;
    m_nDetailId = src.m_nDetailId;
    m_dwSystemErrorCode = src.m_dwSystemErrorCode;
    m_wTraitmentLine = src.m_wTraitmentLine;
    m_wTraitmentThread = src.m_wTraitmentThread;
    m_tabErrorId._RecupereDonnees(&src.m_tabErrorId);
    _TakeInfos(pclSource, true);
    m_ptabSubError = src.m_ptabSubError;
    src.m_ptabSubError = nullptr;
    src.RAZ(); // level 1, codes 0; its internal module name stays
    CTTableau<CXError*>* ptabNouveaux = m_ptabSubError;
    m_ptabSubError = ptabAnciens;
    __DeleteAllSubError();
    m_ptabSubError = ptabNouveaux;
}
