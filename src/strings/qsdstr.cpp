// Dynamic strings: blocks, sharing, lengths, assignment, concatenation and
// printf forms. Every writer reads its sources before it releases anything, so
// a source may be the value itself or point into its block.
#include "strings/qsdstr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "charset/xEmulCRT.h"
#include "strings/qsdstrInterne.h"

alignas(4) const char ChaineVide[4] = {0, 0, 0, 0};

// ---- Blocks --------------------------------------------------------------------

int CQSValeurBase::s_nGetTypeAUB(const unsigned char* p) {
    if (!p) return QSD_TYPE_TEXTE;
    unsigned g = QSD_pEntete(p)->dwFlags & QSD_GENRE_MASQUE;
    if (g & QSD_GENRE_UNICODE) return QSD_TYPE_UNICODE;
    if (g & QSD_GENRE_BINAIRE) return QSD_TYPE_BINAIRE;
    return QSD_TYPE_TEXTE;
}

void CQSValeurBase::s_VerifieTypeAUB(unsigned char* p, int nType) {
    if (!p) return;
    unsigned g;
    switch (nType) {
        case QSD_TYPE_UNICODE: g = QSD_GENRE_UNICODE; break;
        case QSD_TYPE_TEXTE: g = QSD_GENRE_TEXTE; break;
        case QSD_TYPE_BINAIRE: g = QSD_GENRE_BINAIRE; break;
        default: return;
    }
    _stQSDENTETE* e = QSD_pEntete(p);
    e->dwFlags = (e->dwFlags & QSD_MARQUEUR_FIN) | g;
}

namespace {

// A block of another module's allocator: nothing is known of its data area.
__attribute__((noinline)) unsigned char* pAlloueAutre(CStrMemAlloc* a, unsigned nLen, size_t& nSale) {
    unsigned char* q = nullptr;
    if (a->vnAllocStrMem(&q, nLen) != QSD_OK || !q) return nullptr;
    nSale = size_t{QSD_pEntete(q)->nCapacite} + 4;
    return q;
}

}  // namespace

int CQSValeurBase::_nNew(unsigned char*& p, uint64_t nLen, const void* pSrc, unsigned nSrc, unsigned dwGenre,
                         bool) {
    if (nLen == 0) {
        p = nullptr;
        return QSD_OK;
    }
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    CStrMemAlloc* a = CStrMemAlloc::s_pclCourant();
    const unsigned n = static_cast<unsigned>(nLen);
    size_t nSale = 0;
    unsigned char* q = a == CStrMemAlloc::ms_pclPropre ? a->pAlloueLocal(n, nSale) : pAlloueAutre(a, n, nSale);
    if (!q) return QSD_ERR_ALLOC;
    _Remplit(q, pSrc, pSrc ? nSrc : 0, dwGenre, nSale);
    p = q;
    return QSD_OK;
}

int CQSValeurBase::_nPrepareModification(uint64_t nLen, unsigned dwGenre) {
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (!_pData) return _nNew(_pData, nLen ? nLen : 1, nullptr, 0, dwGenre, true);
    _stQSDENTETE* e = QSD_pEntete(_pData);
    if (e->nRef < 2) {
        if (e->nCapacite >= nLen) return QSD_OK;
        unsigned char* p = _pData;
        CStrMemAlloc* a = e->pProprietaire;
        if (a->vnReallocStrMem(&p, static_cast<unsigned>(nLen)) != QSD_OK || !p) return QSD_ERR_ALLOC;
        // The own allocator clears what it adds; another module's may not.
        _stQSDENTETE* n = QSD_pEntete(p);
        if (a != CStrMemAlloc::ms_pclPropre) memset(p + n->nUtilise, 0, size_t{n->nCapacite} - n->nUtilise + 4);
        _pData = p;
        return QSD_OK;
    }
    uint64_t nTaille = nLen > e->nUtilise ? nLen : e->nUtilise;
    unsigned char* q = nullptr;
    int r = _nNew(q, nTaille ? nTaille : 1, _pData, e->nUtilise, 0, true);
    if (r != QSD_OK) return r;
    QSD_pEntete(q)->dwFlags = e->dwFlags;
    _Remplace(q);
    return QSD_OK;
}

void CQSValeurBase::_SetUtilise(unsigned nLen, bool bTerminateur) {
    _stQSDENTETE* e = QSD_pEntete(_pData);
    if (nLen > e->nCapacite) nLen = e->nCapacite;
    if (nLen < e->nUtilise) memset(_pData + nLen, 0, e->nUtilise - nLen);
    if (bTerminateur) memset(_pData + nLen, 0, 4);
    e->nUtilise = nLen;
}

int CQSValeurBase::nSetMarqueurFin(int bMarqueur) {
    if (!_pData || bMarqueurFin() == (bMarqueur != 0)) return QSD_OK;
    int r = _nPrepareModification(0, QSD_GENRE_TEXTE);
    if (r != QSD_OK) return r;
    _stQSDENTETE* e = QSD_pEntete(_pData);
    e->dwFlags = bMarqueur ? (e->dwFlags | QSD_MARQUEUR_FIN) : (e->dwFlags & ~QSD_MARQUEUR_FIN);
    return QSD_OK;
}

bool QSD_bDansBloc(const unsigned char* pData, const void* p) {
    if (!pData || !p) return false;
    const unsigned char* q = static_cast<const unsigned char*>(p);
    const unsigned char* fin = pData + QSD_pEntete(pData)->nCapacite + 4;
    // Compared as integers: the pointers need not belong to one object.
    uintptr_t v = reinterpret_cast<uintptr_t>(q);
    return v >= reinterpret_cast<uintptr_t>(pData) && v < reinterpret_cast<uintptr_t>(fin);
}

int CQSValeurBase::_nAjoute(const stQSDMORCEAU* pMorceaux, int nNb, bool bAssigne, int nMarqueur, unsigned dwGenre,
                            bool bTerminateur) {
    uint64_t nAjout = 0;
    bool bAlias = false;
    for (int i = 0; i < nNb; ++i) {
        nAjout += pMorceaux[i].nLen;
        if (pMorceaux[i].nLen && QSD_bDansBloc(_pData, pMorceaux[i].p)) bAlias = true;
    }
    uint64_t nBase = bAssigne ? 0 : nGetLength();
    uint64_t nTotal = nBase + nAjout;
    if (nTotal > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (bAssigne && nTotal == 0) {
        Release();
        return QSD_OK;
    }
    if (!bAssigne && nAjout == 0) return QSD_OK;
    unsigned char* pDest;
    unsigned char* pNouveau = nullptr;
    if (bAlias || !_pData || (bAssigne && !_bPrive())) {
        // A new block, filled while the sources are still alive. An assignment
        // to a private block keeps its kind, as when the block is reused.
        unsigned dwFlags = dwGenre;
        if (_pData && (!bAssigne || _bPrive())) dwFlags = QSD_pEntete(_pData)->dwFlags;
        int r = _nNew(pNouveau, nTotal, _pData, static_cast<unsigned>(nBase), dwFlags, bTerminateur);
        if (r != QSD_OK) return r;
        pDest = pNouveau;
    } else {
        int r = _nPrepareModification(nTotal, dwGenre);
        if (r != QSD_OK) return r;
        pDest = _pData;
    }
    unsigned char* q = pDest + nBase;
    for (int i = 0; i < nNb; ++i) {
        if (!pMorceaux[i].nLen) continue;
        memcpy(q, pMorceaux[i].p, pMorceaux[i].nLen);
        q += pMorceaux[i].nLen;
    }
    if (pNouveau) _Remplace(pNouveau);
    _stQSDENTETE* e = QSD_pEntete(_pData);
    // Reused by an assignment: what the old value held beyond the new one goes.
    if (e->nUtilise > nTotal) memset(_pData + nTotal, 0, e->nUtilise - nTotal);
    e->nUtilise = static_cast<unsigned>(nTotal);
    if (bTerminateur) memset(_pData + nTotal, 0, 4);
    if (nMarqueur > 0) e->dwFlags |= QSD_MARQUEUR_FIN;
    else if (nMarqueur == 0) e->dwFlags &= ~QSD_MARQUEUR_FIN;
    return QSD_OK;
}

// ---- Lifecycle -------------------------------------------------------------------

CQSDSTRBase::CQSDSTRBase(const char* s) {
    size_t n = s ? strlen(s) : 0;
    if (n > QSD_LONGUEUR_MAX) return;
    if (n) _Cree(s, static_cast<unsigned>(n), QSD_GENRE_TEXTE);
}


void CQSDSTRBase::Assign(const CQSDSTRBase* pAutre, unsigned nLen) {
    unsigned char* p = pAutre && nLen ? pAutre->_pData : nullptr;
    _Partage(p);
    if (nLen != static_cast<unsigned>(-1)) Tronque(nLen);
}

void CQSDSTRBase::Take(CQSDSTRBase* pAutre) {
    if (pAutre == this) return;
    unsigned char* p = pAutre ? pAutre->_pData : nullptr;
    if (pAutre) pAutre->_pData = nullptr;
    _Remplace(p);
}

int CQSValeurBase::_nAssignInit(const void* pSrc, unsigned nLen, unsigned dwGenre, bool bTerminateur) {
    _pData = nullptr;
    if (!pSrc || !nLen) return QSD_OK;
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    return _nNew(_pData, nLen, pSrc, nLen, dwGenre, bTerminateur);
}

int CQSValeurBase::_nRecupereInit(CQSValeurBase* pSource, unsigned dwGenre, bool bTerminateur) {
    _pData = nullptr;
    unsigned char* p = pSource ? pSource->_pData : nullptr;
    if (!p) return QSD_OK;
    _stQSDENTETE* e = QSD_pEntete(p);
    if (e->nRef >= 2) return _nNew(_pData, e->nUtilise, p, e->nUtilise, dwGenre, bTerminateur);
    pSource->_pData = nullptr;
    _pData = p;
    e->dwFlags = (e->dwFlags & QSD_MARQUEUR_FIN) | dwGenre;
    if (bTerminateur) memset(p + e->nUtilise, 0, 4);
    return QSD_OK;
}

int CQSDSTRBase::nAssignInit(const char* s, unsigned nLen) {
    return _nAssignInit(s, nLen, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nRecupereInit(CQSBINBase* pBin) {
    return _nRecupereInit(pBin, QSD_GENRE_TEXTE, true);
}

// ---- Lengths ---------------------------------------------------------------------

int CQSDSTRBase::nSetLength(unsigned nLen) {
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (!_pData && !nLen) return QSD_OK;
    return _nPrepareModification(nLen, QSD_GENRE_TEXTE);
}

void CQSDSTRBase::SetUtilLength(unsigned nLen, int bRelease) {
    if (!_pData) return;
    if (nLen == 0 && bRelease) {
        Release();
        return;
    }
    if (nLen > nGetCapacite()) nLen = nGetCapacite();
    if (!_bPrive() && _nPrepareModification(nLen, QSD_GENRE_TEXTE) != QSD_OK) return;
    _SetUtilise(nLen, true);
}

void CQSDSTRBase::Tronque(unsigned nLen) {
    if (!_pData || nLen == static_cast<unsigned>(-1) || nLen >= nGetLength()) return;
    if (!_bPrive()) {
        unsigned char* q = nullptr;
        if (_nNew(q, nLen, _pData, nLen, 0, true) != QSD_OK) return;
        if (q) QSD_pEntete(q)->dwFlags = dwGetFlags() & ~QSD_MARQUEUR_FIN;
        _Remplace(q);
        return;
    }
    QSD_pEntete(_pData)->dwFlags &= ~QSD_MARQUEUR_FIN;
    _SetUtilise(nLen, true);
}

int CQSDSTRBase::nComplete(unsigned nLen, char ch) {
    unsigned nAncien = nGetLength();
    if (nLen <= nAncien) {
        Tronque(nLen);
        return QSD_OK;
    }
    int r = _nPrepareModification(nLen, QSD_GENRE_TEXTE);
    if (r != QSD_OK) return r;
    memset(_pData + nAncien, static_cast<unsigned char>(ch), nLen - nAncien);
    QSD_pEntete(_pData)->dwFlags &= ~QSD_MARQUEUR_FIN;
    _SetUtilise(nLen, true);
    return QSD_OK;
}

int CQSDSTRBase::nComplete(unsigned nDe, unsigned nLen, char ch) {
    if (nLen == 0) {
        Tronque(0);
        return QSD_OK;
    }
    int r = _nPrepareModification(nLen, QSD_GENRE_TEXTE);
    if (r != QSD_OK) return r;
    if (nDe < nLen) memset(_pData + nDe, static_cast<unsigned char>(ch), nLen - nDe);
    QSD_pEntete(_pData)->dwFlags &= ~QSD_MARQUEUR_FIN;
    _SetUtilise(nLen, true);
    return QSD_OK;
}

int CQSDSTRBase::nCompleteUNICODE(unsigned nLen, wchar_t wch) {
    uint64_t nOctets = uint64_t{nLen} * 4;
    if (nOctets > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    unsigned nAncien = nGetLength() / 4 * 4;
    if (nOctets <= nAncien) {
        Tronque(static_cast<unsigned>(nOctets));
        return QSD_OK;
    }
    int r = _nPrepareModification(nOctets, QSD_GENRE_UNICODE);
    if (r != QSD_OK) return r;
    for (uint64_t i = nAncien; i < nOctets; i += 4) memcpy(_pData + i, &wch, 4);
    QSD_pEntete(_pData)->dwFlags &= ~QSD_MARQUEUR_FIN;
    _SetUtilise(static_cast<unsigned>(nOctets), true);
    return QSD_OK;
}

// ---- Assignment and concatenation -------------------------------------------------------

int CQSDSTRBase::nAssign(const char* s, unsigned nLen) {
    if (!s || !nLen) {
        Release();
        return QSD_OK;
    }
    if (nLen > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    // A private block is reused and keeps its kind; the end marker did not
    // come with the new text.
    stQSDMORCEAU m = {s, nLen};
    return _nAjoute(&m, 1, true, 0, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nAssign(const char* s) { return nAssign(s, s ? static_cast<unsigned>(strnlen(s, QSD_LONGUEUR_MAX + 1ull)) : 0); }

int CQSDSTRBase::nAssignI4(int n) {
    char sz[16];
    itoa(n, sz, 10);
    return nAssign(sz, static_cast<unsigned>(strlen(sz)));
}

int CQSDSTRBase::nConcatI4(int n) {
    char sz[16];
    itoa(n, sz, 10);
    return nConcat(sz, static_cast<unsigned>(strlen(sz)));
}

int CQSDSTRBase::nConcat(const char* s, unsigned nLen) {
    if (!s || !nLen) return QSD_OK;
    if (_pData) {
        // The common case: a private block with room, a source from elsewhere.
        _stQSDENTETE* e = QSD_pEntete(_pData);
        uint64_t nTotal = uint64_t{e->nUtilise} + nLen;
        if (e->nRef < 2 && nTotal <= e->nCapacite && !QSD_bDansBloc(_pData, s)) {
            memcpy(_pData + e->nUtilise, s, nLen);
            memset(_pData + nTotal, 0, 4);
            e->nUtilise = static_cast<unsigned>(nTotal);
            e->dwFlags &= ~QSD_MARQUEUR_FIN;
            return QSD_OK;
        }
    }
    if (!_pData) return nAssign(s, nLen);
    stQSDMORCEAU m = {s, nLen};
    return _nAjoute(&m, 1, false, 0, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nConcat(const char* s) { return nConcat(s, s ? static_cast<unsigned>(strnlen(s, QSD_LONGUEUR_MAX + 1ull)) : 0); }

int CQSDSTRBase::nConcat(const CQSDSTRBase* pAutre) {
    if (!pAutre || !pAutre->_pData) return QSD_OK;
    if (!_pData) {
        _Partage(pAutre->_pData);
        return QSD_OK;
    }
    if (pAutre->bEstVide()) return QSD_OK;
    stQSDMORCEAU m = {pAutre->_pData, pAutre->nGetLength()};
    return _nAjoute(&m, 1, false, pAutre->bMarqueurFin(), QSD_GENRE_TEXTE, true);
}

// Appends other with sep between them, never doubling sep: when this ends with
// sep and other begins with it, other's copy is skipped.
int CQSDSTRBase::nConcatSeparateur(const char* pszSep, const CQSDSTRBase* pAutre, int bSkipIfEmpty) {
    unsigned nSep = pszSep ? static_cast<unsigned>(strlen(pszSep)) : 0;
    if (pAutre && pAutre->bEstVide()) return QSD_OK;
    if ((bSkipIfEmpty && bEstVide()) || nSep == 0) return pAutre ? nConcat(pAutre) : QSD_OK;
    unsigned nLen = nGetLength();
    bool bFinit = nLen >= nSep && memcmp(_pData + nLen - nSep, pszSep, nSep) == 0;
    const unsigned char* pO = pAutre ? pAutre->_pData : nullptr;
    unsigned nO = pAutre ? pAutre->nGetLength() : 0;
    bool bCommence = pO && nO >= nSep && memcmp(pO, pszSep, nSep) == 0;
    stQSDMORCEAU m[2];
    int nb = 0;
    if (bFinit) {
        if (bCommence) {
            pO += nSep;
            nO -= nSep;
        }
    } else if (!bCommence) {
        m[nb++] = {pszSep, nSep};
    }
    if (pO && nO) m[nb++] = {pO, nO};
    if (nb == 0) return QSD_OK;
    int nMarqueur = pO && nO ? pAutre->bMarqueurFin() : 0;
    return _nAjoute(m, nb, false, nMarqueur, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nConcatInit(CQSDSTRBase* pA, const CQSDSTRBase* pB, int nOptions) {
    _pData = nullptr;
    if (!pA) {
        if (pB) _Partage(pB->_pData);
        return QSD_OK;
    }
    if (nOptions & 1) {
        // b is held first: it may be a, whose block is taken just below.
        CQSDSTR b;
        if (pB) b = *pB;
        if (pA->_pData && QSD_pEntete(pA->_pData)->nRef < 2) {
            _pData = pA->_pData;
            pA->_pData = nullptr;
        } else {
            _Partage(pA->_pData);
        }
        return pB ? nConcat(&b) : QSD_OK;
    }
    if (!pB) {
        _Partage(pA->_pData);
        return QSD_OK;
    }
    unsigned nA = pA->nGetLength(), nB = pB->nGetLength();
    uint64_t nTotal = uint64_t{nA} + nB;
    if (nTotal == 0) return QSD_OK;
    if (nTotal > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    unsigned dwGenre = pA->_pData ? pA->dwGetFlags() & QSD_GENRE_MASQUE : pB->dwGetFlags() & QSD_GENRE_MASQUE;
    unsigned char* q = nullptr;
    int r = _nNew(q, nTotal, pA->_pData, nA, dwGenre ? dwGenre : QSD_GENRE_TEXTE, true);
    if (r != QSD_OK) return r;
    if (nB) memcpy(q + nA, pB->_pData, nB);
    _stQSDENTETE* e = QSD_pEntete(q);
    e->nUtilise = static_cast<unsigned>(nTotal);
    if (pB->bMarqueurFin()) e->dwFlags |= QSD_MARQUEUR_FIN;
    _pData = q;
    return QSD_OK;
}

namespace {

const int QSD_MORCEAUX_PILE = 16;

// The texts of a variable list as pieces, on the stack when they are few.
struct stMORCEAUXLISTE {
    stQSDMORCEAU pile[QSD_MORCEAUX_PILE];
    stQSDMORCEAU* m;
    stMORCEAUXLISTE(int nCount, va_list args)
        : m(nCount <= QSD_MORCEAUX_PILE ? pile
                                        : static_cast<stQSDMORCEAU*>(malloc(sizeof(stQSDMORCEAU) * nCount))) {
        for (int i = 0; m && i < nCount; ++i) {
            const char* s = va_arg(args, const char*);
            m[i] = {s, s ? strlen(s) : 0};
        }
    }
    ~stMORCEAUXLISTE() {
        if (m != pile) free(m);
    }
    stMORCEAUXLISTE(const stMORCEAUXLISTE&) = delete;
    stMORCEAUXLISTE& operator=(const stMORCEAUXLISTE&) = delete;
};

}  // namespace

int CQSDSTRBase::nAssignMultipleV(int nCount, va_list args) {
    if (nCount <= 0) {
        Release();
        return QSD_OK;
    }
    stMORCEAUXLISTE l(nCount, args);
    if (!l.m) return QSD_ERR_ALLOC;
    return _nAjoute(l.m, nCount, true, 0, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nConcatMultipleV(int nCount, va_list args) {
    if (bEstVide()) return nAssignMultipleV(nCount, args);
    if (nCount <= 0) return QSD_OK;
    stMORCEAUXLISTE l(nCount, args);
    if (!l.m) return QSD_ERR_ALLOC;
    return _nAjoute(l.m, nCount, false, 0, QSD_GENRE_TEXTE, true);
}

int CQSDSTRBase::nAssignMultiple(int nCount, ...) {
    va_list args;
    va_start(args, nCount);
    int r = nAssignMultipleV(nCount, args);
    va_end(args);
    return r;
}

int CQSDSTRBase::nConcatMultiple(int nCount, ...) {
    va_list args;
    va_start(args, nCount);
    int r = nConcatMultipleV(nCount, args);
    va_end(args);
    return r;
}

// ---- printf forms ------------------------------------------------------------------
// The text is measured by a bounded pass into a stack buffer; a longer one is
// formatted a second time into a block of exactly its size. The value is
// replaced last: an argument may point into it.

namespace {
const int QSD_PRINTF_PILE = 512;
}

int CQSDSTRBase::nPrintfV(const char* fmt, va_list args) {
    if (!fmt) fmt = "";
    char sz[QSD_PRINTF_PILE];
    va_list ap;
    va_copy(ap, args);
    int n = vsnprintf(sz, sizeof(sz), fmt, ap);
    va_end(ap);
    if (n < 0) return QSD_ERR_CONVERSION;
    if (n == 0) {
        Release();
        return QSD_OK;
    }
    if (static_cast<unsigned>(n) > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    unsigned char* q = nullptr;
    if (n < QSD_PRINTF_PILE) {
        int r = _nNew(q, static_cast<unsigned>(n), sz, static_cast<unsigned>(n), QSD_GENRE_TEXTE, true);
        if (r != QSD_OK) return r;
    } else {
        int r = _nNew(q, static_cast<unsigned>(n), nullptr, 0, QSD_GENRE_TEXTE, true);
        if (r != QSD_OK) return r;
        va_copy(ap, args);
        int m = vsnprintf(reinterpret_cast<char*>(q), static_cast<size_t>(n) + 1, fmt, ap);
        va_end(ap);
        if (m != n) {
            s_ReleaseStrMem(q);
            return QSD_ERR_CONVERSION;
        }
        QSD_pEntete(q)->nUtilise = static_cast<unsigned>(n);
    }
    _Remplace(q);
    return QSD_OK;
}

int CQSDSTRBase::nAddPrintfV(const char* fmt, va_list args) {
    if (!fmt) fmt = "";
    char sz[QSD_PRINTF_PILE];
    va_list ap;
    va_copy(ap, args);
    int n = vsnprintf(sz, sizeof(sz), fmt, ap);
    va_end(ap);
    if (n < 0) return QSD_ERR_CONVERSION;
    if (n == 0) return QSD_OK;
    if (n < QSD_PRINTF_PILE) {
        stQSDMORCEAU m = {sz, static_cast<size_t>(n)};
        return _nAjoute(&m, 1, false, 0, QSD_GENRE_TEXTE, true);
    }
    unsigned nAncien = nGetLength();
    uint64_t nTotal = uint64_t{nAncien} + static_cast<unsigned>(n);
    if (nTotal > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    unsigned dwFlags = _pData ? dwGetFlags() & ~QSD_MARQUEUR_FIN : QSD_GENRE_TEXTE;
    unsigned char* q = nullptr;
    int r = _nNew(q, nTotal, _pData, nAncien, dwFlags, true);
    if (r != QSD_OK) return r;
    va_copy(ap, args);
    int m = vsnprintf(reinterpret_cast<char*>(q) + nAncien, static_cast<size_t>(n) + 1, fmt, ap);
    va_end(ap);
    if (m != n) {
        s_ReleaseStrMem(q);
        return QSD_ERR_CONVERSION;
    }
    QSD_pEntete(q)->nUtilise = static_cast<unsigned>(nTotal);
    _Remplace(q);
    return QSD_OK;
}

int CQSDSTRBase::nPrintf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int r = nPrintfV(fmt, args);
    va_end(args);
    return r;
}

int CQSDSTRBase::nAddPrintf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int r = nAddPrintfV(fmt, args);
    va_end(args);
    return r;
}
