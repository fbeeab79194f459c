// Dynamic strings: search, extraction, in-place modification and comparison.
// Everything works over the used length: embedded zeros are ordinary bytes.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "strings/STR.h"
#include "strings/qsdstr.h"
#include "strings/qsdstrInterne.h"

namespace {

template <class T>
long nChercheT(const T* h, size_t hl, const T* n, size_t nl, size_t debut) {
    if (!h || !n || !nl || debut >= hl || nl > hl - debut) return -1;
    if (sizeof(T) == 1) {
        const void* p = memmem(h + debut, hl - debut, n, nl);
        return p ? static_cast<long>(static_cast<const T*>(p) - h) : -1;
    }
    for (size_t i = debut; i + nl <= hl; ++i)
        if (h[i] == n[0] && memcmp(h + i, n, nl * sizeof(T)) == 0) return static_cast<long>(i);
    return -1;
}

template <class T>
long nChercheFinT(const T* h, size_t hl, const T* n, size_t nl, size_t debut) {
    if (!h || !n || !nl || nl > hl) return -1;
    size_t i = debut < hl - nl ? debut : hl - nl;
    for (;;) {
        if (h[i] == n[0] && memcmp(h + i, n, nl * sizeof(T)) == 0) return static_cast<long>(i);
        if (i == 0) return -1;
        --i;
    }
}

template <class T>
long nNbOccT(const T* h, size_t hl, const T* n, size_t nl) {
    long k = 0;
    for (long p = nChercheT(h, hl, n, nl, 0); p >= 0; p = nChercheT(h, hl, n, nl, static_cast<size_t>(p) + nl)) ++k;
    return k;
}

inline const wchar_t* pW(const unsigned char* p) { return reinterpret_cast<const wchar_t*>(p); }

}  // namespace

// ---- Search --------------------------------------------------------------------------

long CQSDSTRBase::nPos(const char* s, unsigned nDebut) const {
    return s ? nChercheT(reinterpret_cast<const char*>(_pData), nGetLength(), s, strlen(s), nDebut) : -1;
}

long CQSDSTRBase::nPos(const CQSDSTRBase* s, unsigned nDebut) const {
    if (!s) return -1;
    return nChercheT(_pData, nGetLength(), s->_pData, s->nGetLength(), nDebut);
}

long CQSDSTRBase::nPosFin(const CQSDSTRBase* s, unsigned nDebut) const {
    if (!s) return -1;
    return nChercheFinT(_pData, nGetLength(), s->_pData, s->nGetLength(), nDebut);
}

long CQSDSTRBase::nNbOcc(const char* s) const {
    return s ? nNbOccT(reinterpret_cast<const char*>(_pData), nGetLength(), s, strlen(s)) : 0;
}

long CQSDSTRBase::nPosParmi(const char* pszSet) const {
    if (!pszSet || !*pszSet || !_pData) return -1;
    bool tab[256] = {};
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszSet); *p; ++p) tab[*p] = true;
    unsigned n = nGetLength();
    for (unsigned i = 0; i < n; ++i)
        if (tab[_pData[i]]) return static_cast<long>(i);
    return -1;
}

long CQSDSTRBase::nPosUNICODE(const wchar_t* s, unsigned nDebut) const {
    return s ? nChercheT(pW(_pData), nGetLength() / 4, s, wcslen(s), nDebut) : -1;
}

long CQSDSTRBase::nNbOccUNICODE(const wchar_t* s) const {
    return s ? nNbOccT(pW(_pData), nGetLength() / 4, s, wcslen(s)) : 0;
}

long CQSDSTRBase::nPosFinUNICODE(const CQSDSTRBase* s, unsigned nDebut) const {
    if (!s) return -1;
    return nChercheFinT(pW(_pData), nGetLength() / 4, pW(s->_pData), s->nGetLength() / 4, nDebut);
}

// ---- Extraction ------------------------------------------------------------------------

// Bytes [debut, debut + len) of the value, as a new value of the same kind. The
// end marker stays when the slice reaches the end. out is replaced last: it
// may be this value.
static int nTranche(const CQSDSTRBase* pSrc, CQSDSTRBase* pOut, uint64_t debut, uint64_t len, unsigned nUnite) {
    if (!pOut) return QSD_OK;
    uint64_t n = pSrc->nGetLength() / nUnite * nUnite;
    if (debut >= n || len == 0) {
        pOut->Release();
        return QSD_OK;
    }
    if (len > n - debut) len = n - debut;
    if (debut == 0 && len == n) {
        if (pOut != pSrc) *pOut = *pSrc;
        return QSD_OK;
    }
    CQSDSTR r;
    int e = r.nAssign(reinterpret_cast<const char*>(pSrc->pGet()) + debut, static_cast<unsigned>(len));
    if (e != QSD_OK) return e;
    CQSValeurBase::s_VerifieTypeAUB(r.pGet(), CQSValeurBase::s_nGetTypeAUB(pSrc->pGet()));
    if (debut + len == n && pSrc->bMarqueurFin()) r.nSetMarqueurFin(1);
    pOut->Take(&r);
    return QSD_OK;
}

int CQSDSTRBase::nMilieu(CQSDSTRBase* pOut, unsigned long nDebut, long nLen) const {
    uint64_t len = nLen < 0 ? UINT64_MAX : static_cast<uint64_t>(nLen);
    return nTranche(this, pOut, nDebut, len, 1);
}

int CQSDSTRBase::nMilieuUNICODE(CQSDSTRBase* pOut, unsigned long nDebut, long nLen) const {
    uint64_t len = nLen < 0 ? UINT64_MAX / 8 : static_cast<uint64_t>(nLen) * 4;
    return nTranche(this, pOut, uint64_t{nDebut} * 4, len, 4);
}

CQSDSTR CQSDSTRBase::clMilieu(unsigned long nDebut, long nLen) const {
    CQSDSTR r;
    if (nMilieu(&r, nDebut, nLen) != QSD_OK) r.Release();
    return r;
}

CQSDSTR CQSDSTRBase::clMilieuUNICODE(unsigned long nDebut, long nLen) const {
    CQSDSTR r;
    if (nMilieuUNICODE(&r, nDebut, nLen) != QSD_OK) r.Release();
    return r;
}

int CQSDSTRBase::bExtraitChainePosUNICODE(long k, const wchar_t* pszSep, const wchar_t** ppDebut, long* pnLen) const {
    if (!_pData || !pszSep || k < 0) return 0;
    const wchar_t* p = pW(_pData);
    size_t n = nGetLength() / 4;
    size_t lsep = wcslen(pszSep);
    size_t i = 0;
    for (long j = 0; j < k; ++j) {
        long q = lsep ? nChercheT(p, n, pszSep, lsep, i) : -1;
        if (q < 0) return 0;
        i = static_cast<size_t>(q) + lsep;
    }
    long q = lsep ? nChercheT(p, n, pszSep, lsep, i) : -1;
    if (ppDebut) *ppDebut = p + i;
    if (pnLen) *pnLen = static_cast<long>((q < 0 ? n : static_cast<size_t>(q)) - i);
    return 1;
}

int CQSDSTRBase::bExtraitChaineUNICODE(long k, const wchar_t* pszSep, CQSDSTR* pOut) const {
    const wchar_t* pDebut;
    long nLen;
    if (!bExtraitChainePosUNICODE(k, pszSep, &pDebut, &nLen)) return 0;
    if (!pOut) return 1;
    CQSDSTR r;
    if (nLen && r.nAssign(reinterpret_cast<const char*>(pDebut), static_cast<unsigned>(nLen) * 4) != QSD_OK) return 0;
    s_VerifieTypeAUB(r.pGet(), QSD_TYPE_UNICODE);
    pOut->Take(&r);
    return 1;
}

// ---- Modification ---------------------------------------------------------------------------

// Builds the replaced text directly in a new block of the exact size: no
// work buffer, and from/to may point into the value itself.
template <class T>
static void RemplaceT(CQSDSTRBase* pV, const T* de, size_t lde, const T* vers, size_t lvers) {
    const T* h = reinterpret_cast<const T*>(pV->pGet());
    size_t hl = pV->nGetLength() / sizeof(T);
    if (!h || !lde) return;
    long k = nNbOccT(h, hl, de, lde);
    if (k <= 0) return;
    int64_t nNouveau = static_cast<int64_t>(hl) + k * (static_cast<int64_t>(lvers) - static_cast<int64_t>(lde));
    uint64_t nOctets = static_cast<uint64_t>(nNouveau) * sizeof(T);
    if (nOctets > QSD_LONGUEUR_MAX) return;
    CQSDSTR r;
    if (nOctets) {
        if (r.nSetLength(static_cast<unsigned>(nOctets)) != QSD_OK) return;
        T* o = reinterpret_cast<T*>(r.pGet());
        size_t i = 0;
        for (long p = nChercheT(h, hl, de, lde, 0); p >= 0; p = nChercheT(h, hl, de, lde, i)) {
            size_t q = static_cast<size_t>(p);
            memcpy(o, h + i, (q - i) * sizeof(T));
            o += q - i;
            if (lvers) memcpy(o, vers, lvers * sizeof(T));
            o += lvers;
            i = q + lde;
        }
        memcpy(o, h + i, (hl - i) * sizeof(T));
        r.SetUtilLength(static_cast<unsigned>(nOctets));
        unsigned dwFlags = pV->dwGetFlags();
        CQSValeurBase::s_VerifieTypeAUB(r.pGet(), CQSValeurBase::s_nGetTypeAUB(pV->pGet()));
        // The marker survives when the last character was not replaced.
        if ((dwFlags & QSD_MARQUEUR_FIN) && i < hl)
            r.nSetMarqueurFin(1);
    }
    pV->Take(&r);
}

void CQSDSTRBase::Remplace(const char* pszDe, const char* pszVers) {
    if (!pszDe) return;
    RemplaceT(this, pszDe, strlen(pszDe), pszVers, pszVers ? strlen(pszVers) : 0);
}

void CQSDSTRBase::RemplaceUNICODE(const wchar_t* pszDe, const wchar_t* pszVers) {
    if (!pszDe) return;
    RemplaceT(this, pszDe, wcslen(pszDe), pszVers, pszVers ? wcslen(pszVers) : 0);
}

template <class T>
static void RenverseT(CQSDSTRBase* pV) {
    size_t n = pV->nGetLength() / sizeof(T);
    if (n < 2 || pV->nSetLength(pV->nGetLength()) != QSD_OK) return;
    T* p = reinterpret_cast<T*>(pV->pGet());
    for (size_t i = 0, j = n - 1; i < j; ++i, --j) {
        T t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
    pV->nSetMarqueurFin(0);
}

void CQSDSTRBase::Renverse() { RenverseT<unsigned char>(this); }
void CQSDSTRBase::RenverseUNICODE() { RenverseT<wchar_t>(this); }

// Keeps bytes [debut, fin) in place (a shared block gets a private copy first).
static void Garde(CQSDSTRBase* pV, unsigned debut, unsigned fin) {
    unsigned n = pV->nGetLength();
    if (debut == 0) {
        pV->Tronque(fin);
        return;
    }
    if (debut >= fin) {
        pV->Release();
        return;
    }
    if (pV->nGetRefCount() >= 2) {
        CQSDSTR r;
        if (pV->nMilieu(&r, debut, static_cast<long>(fin - debut)) == QSD_OK) pV->Take(&r);
        return;
    }
    unsigned char* p = pV->pGet();
    memmove(p, p + debut, fin - debut);
    if (fin < n) pV->nSetMarqueurFin(0);
    pV->SetUtilLength(fin - debut);
}

void CQSDSTRBase::SansEspace() {
    unsigned n = nGetLength();
    while (n && _pData[n - 1] == ' ') --n;
    Tronque(n);
}

void CQSDSTRBase::Trim() {
    unsigned n = nGetLength(), d = 0;
    if (!n) return;
    while (d < n && isspace(_pData[d])) ++d;
    while (n > d && isspace(_pData[n - 1])) --n;
    Garde(this, d, n);
}

void CQSDSTRBase::Trim(char ch) {
    unsigned n = nGetLength(), d = 0;
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!n) return;
    while (d < n && _pData[d] == c) ++d;
    while (n > d && _pData[n - 1] == c) --n;
    Garde(this, d, n);
}

void CQSDSTRBase::TrimUNICODE(wchar_t wch) {
    unsigned n = nGetLength() / 4, d = 0;
    if (!n) return;
    const wchar_t* p = pW(_pData);
    while (d < n && p[d] == wch) ++d;
    while (n > d && p[n - 1] == wch) --n;
    Garde(this, d * 4, n * 4);
}

// Maps each run between embedded zeros, so nothing after a zero is lost; the
// end marker itself is left as it is.
void CQSDSTRBase::MapString(unsigned nFlags, int bUpper) {
    unsigned n = nGetLength();
    if (!n || (nFlags & ~static_cast<unsigned>(STR_MAP_LOCAL)) > 7) return;
    if (nSetLength(n) != QSD_OK) return;
    bool bMarqueur = bMarqueurFin() && _pData[n - 1] == 0xFF;
    unsigned nFin = bMarqueur ? n - 1 : n;
    char* p = reinterpret_cast<char*>(_pData);
    unsigned r = 0, w = 0;
    while (r < nFin) {
        const void* z = memchr(p + r, 0, nFin - r);
        unsigned e = z ? static_cast<unsigned>(static_cast<const char*>(z) - p) : nFin;
        if (e > r) w += static_cast<unsigned>(STR_nMapStringEx(nFlags, p + w, static_cast<int>(e - r + 1), p + r,
                                                               static_cast<int>(e - r), bUpper));
        if (e >= nFin) break;
        p[w++] = 0;
        r = e + 1;
    }
    if (bMarqueur) p[w++] = static_cast<char>(0xFF);
    _SetUtilise(w, true);
}

// ---- Comparison --------------------------------------------------------------------------------

int QSD_nCompareOctets(const unsigned char* a, size_t la, const unsigned char* b, size_t lb) {
    size_t n = la < lb ? la : lb;
    if (n) {
        int r = memcmp(a, b, n);
        if (r) return r;
    }
    return la < lb ? -1 : la > lb ? 1 : 0;
}

template <class T, class F>
static int nCompareSoupleT(const T* a, size_t la, const T* b, size_t lb, F fCar) {
    while (la && *a == ' ') ++a, --la;
    while (la && a[la - 1] == ' ') --la;
    while (lb && *b == ' ') ++b, --lb;
    while (lb && b[lb - 1] == ' ') --lb;
    if (!la && !lb) return 0;
    if (!la) return -1;
    if (!lb) return 1;
    size_t n = la < lb ? la : lb;
    for (size_t i = 0; i < n; ++i)
        if (int r = fCar(a[i], b[i])) return r;
    return la < lb ? -1 : la > lb ? 1 : 0;
}

int QSD_nCompareSouple(const unsigned char* a, size_t la, const unsigned char* b, size_t lb) {
    return nCompareSoupleT(a, la, b, lb, [](unsigned char x, unsigned char y) {
        return STR_nCompareCharSouple(static_cast<char>(x), static_cast<char>(y));
    });
}

int QSD_nCompareTresSouple(const unsigned char* a, size_t la, const unsigned char* b, size_t lb) {
    // Mapped copies; the mapping stops at the first embedded zero.
    char pa[256], pb[256];
    char* ma = la < sizeof(pa) ? pa : static_cast<char*>(malloc(la + 1));
    char* mb = lb < sizeof(pb) ? pb : static_cast<char*>(malloc(lb + 1));
    int r = 0;
    if (ma && mb) {
        ma[0] = mb[0] = 0;
        if (la) STR_nMapStringEx(7, ma, static_cast<int>(la + 1), reinterpret_cast<const char*>(a), static_cast<int>(la), 1);
        if (lb) STR_nMapStringEx(7, mb, static_cast<int>(lb + 1), reinterpret_cast<const char*>(b), static_cast<int>(lb), 1);
        r = strcmp(ma, mb);
    } else {
        r = QSD_nCompareOctets(a, la, b, lb);
    }
    if (ma != pa) free(ma);
    if (mb != pb) free(mb);
    return r;
}

int CQSDSTRBase::nCompare(const CQSDSTRBase* a, const CQSDSTRBase* b) {
    return QSD_nCompareOctets(a ? a->_pData : nullptr, a ? a->nGetLength() : 0, b ? b->_pData : nullptr,
                              b ? b->nGetLength() : 0);
}

int CQSDSTRBase::nCompare(const CQSDSTRBase* a, const CQSDSTRBase* b, unsigned n) {
    unsigned la = a ? a->nGetLength() : 0, lb = b ? b->nGetLength() : 0;
    return QSD_nCompareOctets(a ? a->_pData : nullptr, la < n ? la : n, b ? b->_pData : nullptr, lb < n ? lb : n);
}

int CQSDSTRBase::nCompare(const char* a, const char* b) {
    return QSD_nCompareOctets(reinterpret_cast<const unsigned char*>(a), a ? strlen(a) : 0,
                              reinterpret_cast<const unsigned char*>(b), b ? strlen(b) : 0);
}

int CQSDSTRBase::bCommencePar(const CQSDSTRBase* a, const CQSDSTRBase* b) {
    unsigned la = a ? a->nGetLength() : 0, lb = b ? b->nGetLength() : 0;
    return lb <= la && (lb == 0 || memcmp(a->_pData, b->_pData, lb) == 0);
}

int CQSDSTRBase::nCompareTo(const char* s) const {
    return QSD_nCompareOctets(_pData, nGetLength(), reinterpret_cast<const unsigned char*>(s), s ? strlen(s) : 0);
}

int CQSDSTRBase::nCompareToUNICODE(const wchar_t* s) const {
    size_t la = nGetLength() / 4, lb = s ? wcslen(s) : 0;
    const wchar_t* a = pW(_pData);
    size_t n = la < lb ? la : lb;
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = static_cast<uint32_t>(a[i]), y = static_cast<uint32_t>(s[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return la < lb ? -1 : la > lb ? 1 : 0;
}

int CQSDSTRBase::nCompareSouple(const CQSDSTRBase* a, const CQSDSTRBase* b) {
    return QSD_nCompareSouple(a ? a->_pData : nullptr, a ? a->nGetLength() : 0, b ? b->_pData : nullptr,
                              b ? b->nGetLength() : 0);
}

int CQSDSTRBase::nCompareSoupleUNICODE(const CQSDSTRBase* a, const CQSDSTRBase* b) {
    return nCompareSoupleT(a ? pW(a->_pData) : nullptr, a ? a->nGetLength() / 4 : 0, b ? pW(b->_pData) : nullptr,
                           b ? b->nGetLength() / 4 : 0, [](wchar_t x, wchar_t y) { return x == y ? 0 : -1; });
}

int CQSDSTRBase::nCompareTresSouple(const CQSDSTRBase* a, const CQSDSTRBase* b) {
    return QSD_nCompareTresSouple(a ? a->_pData : nullptr, a ? a->nGetLength() : 0, b ? b->_pData : nullptr,
                                  b ? b->nGetLength() : 0);
}
