// Dynamic binaries: the block rules of the strings with kind 8 and no
// terminator (the zero tail of every block stays).
#include <cstring>

#include "strings/qsdstr.h"
#include "strings/qsdstrInterne.h"

void CQSBINBase::Assign(const CQSBINBase* pAutre, unsigned nLen) {
    _Partage(pAutre && nLen ? pAutre->_pData : nullptr);
    if (!_pData || nLen == static_cast<unsigned>(-1) || nLen >= nGetLength()) return;
    if (!_bPrive()) {
        unsigned char* q = nullptr;
        if (_nNew(q, nLen, _pData, nLen, 0, false) != QSD_OK) return;
        if (q) QSD_pEntete(q)->dwFlags = dwGetFlags() & ~QSD_MARQUEUR_FIN;
        _Remplace(q);
        return;
    }
    QSD_pEntete(_pData)->dwFlags &= ~QSD_MARQUEUR_FIN;
    _SetUtilise(nLen, false);
}

void CQSBINBase::Take(CQSBINBase* pAutre) {
    if (pAutre == this) return;
    unsigned char* p = pAutre ? pAutre->_pData : nullptr;
    if (pAutre) pAutre->_pData = nullptr;
    _Remplace(p);
}

int CQSBINBase::nAssignInit(const unsigned char* p, unsigned nLen) {
    return _nAssignInit(p, nLen, QSD_GENRE_BINAIRE, false);
}

int CQSBINBase::nRecupereInit(CQSDSTRBase* pStr) {
    return _nRecupereInit(pStr, QSD_GENRE_BINAIRE, false);
}

int CQSBINBase::nSetMemorySize(unsigned n) {
    if (n > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (!_pData && !n) return QSD_OK;
    return _nPrepareModification(n, QSD_GENRE_BINAIRE);
}

int CQSBINBase::nSetSize(unsigned n) {
    if (n > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (!_pData && !n) return QSD_OK;
    int r = _nPrepareModification(n, QSD_GENRE_BINAIRE);
    if (r != QSD_OK) return r;
    _SetUtilise(n, false);
    return QSD_OK;
}

void CQSBINBase::SetUtilSize(unsigned n) {
    if (!_pData) return;
    if (n > nGetCapacite()) n = nGetCapacite();
    if (!_bPrive() && _nPrepareModification(n, QSD_GENRE_BINAIRE) != QSD_OK) return;
    _SetUtilise(n, false);
}

int CQSBINBase::nAssign(const unsigned char* p, unsigned nLen) {
    if (!p || !nLen) {
        Release();
        return QSD_OK;
    }
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    stQSDMORCEAU m = {p, nLen};
    return _nAjoute(&m, 1, true, 0, QSD_GENRE_BINAIRE, false);
}

int CQSBINBase::nConcat(const unsigned char* p, unsigned nLen) {
    if (!p || !nLen) return QSD_OK;
    if (!_pData) return nAssign(p, nLen);
    stQSDMORCEAU m = {p, nLen};
    return _nAjoute(&m, 1, false, 0, QSD_GENRE_BINAIRE, false);
}

int CQSBINBase::nConcat(const CQSBINBase* pAutre) {
    if (!pAutre || !pAutre->_pData) return QSD_OK;
    if (!_pData) {
        _Partage(pAutre->_pData);
        return QSD_OK;
    }
    if (pAutre->bEstVide()) return QSD_OK;
    stQSDMORCEAU m = {pAutre->_pData, pAutre->nGetLength()};
    return _nAjoute(&m, 1, false, pAutre->bMarqueurFin(), QSD_GENRE_BINAIRE, false);
}

long CQSBINBase::nPos(const unsigned char* p, unsigned nLen, unsigned nDebut) const {
    unsigned n = nGetLength();
    if (!p || !nLen || !_pData || nDebut >= n || nLen > n - nDebut) return -1;
    const void* q = memmem(_pData + nDebut, n - nDebut, p, nLen);
    return q ? static_cast<long>(static_cast<const unsigned char*>(q) - _pData) : -1;
}

int CQSBINBase::nCompare(const CQSBINBase* a, const CQSBINBase* b) {
    return QSD_nCompareOctets(a ? a->_pData : nullptr, a ? a->nGetLength() : 0, b ? b->_pData : nullptr,
                              b ? b->nGetLength() : 0);
}

int CQSBINBase::nCompare(const CQSBINBase* a, const CQSBINBase* b, unsigned n) {
    unsigned la = a ? a->nGetLength() : 0, lb = b ? b->nGetLength() : 0;
    return QSD_nCompareOctets(a ? a->_pData : nullptr, la < n ? la : n, b ? b->_pData : nullptr, lb < n ? lb : n);
}

int CQSBINBase::bCommencePar(const CQSBINBase* a, const CQSBINBase* b) {
    unsigned la = a ? a->nGetLength() : 0, lb = b ? b->nGetLength() : 0;
    return lb <= la && (lb == 0 || memcmp(a->_pData, b->_pData, lb) == 0);
}

int CQSBINBase::nCompareSouple(const CQSBINBase* a, const CQSBINBase* b) {
    return QSD_nCompareSouple(a ? a->_pData : nullptr, a ? a->nGetLength() : 0, b ? b->_pData : nullptr,
                              b ? b->nGetLength() : 0);
}

int CQSBINBase::nCompareTresSouple(const CQSBINBase* a, const CQSBINBase* b) {
    unsigned la = a ? a->nGetLength() : 0, lb = b ? b->nGetLength() : 0;
    if (!la || !lb) return la == lb ? 0 : !la ? -1 : 1;
    return QSD_nCompareTresSouple(a->_pData, la, b->_pData, lb);
}

int CQSBINBase::nAffecteToANSI(const wchar_t* w, long n, unsigned nCodePage, unsigned nFlags, const char* pszDefaut,
                               int* pbUtilise, long nExtra) {
    CQSDSTR r;
    int e = QSD_nWideVersANSI(r, w, n, nCodePage, nFlags, pszDefaut, pbUtilise, nExtra);
    if (e != QSD_OK) return e;
    s_VerifieTypeAUB(r.pGet(), QSD_TYPE_BINAIRE);
    unsigned char* p = r.pGet();
    _rData(r) = nullptr;
    _Remplace(p);
    return e;
}

int CQSBINBase::nAffecteToUNICODE(const char* s, long nLen, unsigned nCodePage, unsigned nFlags, long nExtra) {
    CQSDSTR r;
    int e = QSD_nANSIVersWide(r, s, nLen, nCodePage, nFlags, nExtra);
    if (e != QSD_OK) return e;
    s_VerifieTypeAUB(r.pGet(), QSD_TYPE_BINAIRE);
    unsigned char* p = r.pGet();
    _rData(r) = nullptr;
    _Remplace(p);
    return e;
}
