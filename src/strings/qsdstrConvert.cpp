// Dynamic strings: conversions between code pages, UTF-8, UTF-16 and wide text.
// Each conversion builds its result aside and replaces the value only when it
// succeeded, so the source may be the value itself and a failure loses nothing. The end marker (0xFF / 0xFFFFFFFF, flagged
// by bit 0) is carried over instead of being converted, except in UTF-8.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "charset/GestionMultilangue.h"
#include "charset/xEmulUnicode.h"
#include "strings/CharTab.h"
#include "strings/qsdstr.h"
#include "strings/qsdstrInterne.h"

namespace {

const wchar_t WMARQUEUR = static_cast<wchar_t>(0xFFFFFFFFu);
const unsigned char MARQUEUR = 0xFF;

inline uint64_t nPositif(long n) { return n > 0 ? static_cast<uint64_t>(n) : 0; }

unsigned dwCodePageCourante() { return dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()); }

}  // namespace

int QSD_nWideVersANSI(CQSDSTR& r, const wchar_t* w, long n, unsigned nCodePage, unsigned nFlags,
                      const char* pszDefaut, int* pbUtilise, long nExtra) {
    r.Release();
    if (!w || n <= 0) return QSD_OK;
    if (n > INT_MAX / 4) return QSD_ERR_LONGUEUR;
    int m = WideCharToMultiByte(nCodePage, nFlags, w, static_cast<int>(n), nullptr, 0, pszDefaut, pbUtilise);
    if (m <= 0) return QSD_ERR_CONVERSION;
    uint64_t nTaille = uint64_t{static_cast<unsigned>(m)} + nPositif(nExtra) + 1;
    if (nTaille > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    int e = r.nSetLength(static_cast<unsigned>(nTaille));
    if (e != QSD_OK) return e;
    int k = WideCharToMultiByte(nCodePage, nFlags, w, static_cast<int>(n), reinterpret_cast<char*>(r.pGet()),
                                static_cast<int>(nTaille), pszDefaut, pbUtilise);
    if (k <= 0 || static_cast<uint64_t>(k) >= nTaille) {
        r.Release();
        return QSD_ERR_CONVERSION;
    }
    r.SetUtilLength(static_cast<unsigned>(k));
    return QSD_OK;
}

int QSD_nANSIVersWide(CQSDSTR& r, const char* s, long nLen, unsigned nCodePage, unsigned nFlags, long nExtra) {
    r.Release();
    if (s && nLen == -1) nLen = static_cast<long>(strnlen(s, QSD_LONGUEUR_MAX));
    if (!s || nLen <= 0) return QSD_OK;
    if (nLen > INT_MAX) return QSD_ERR_LONGUEUR;
    int m = MultiByteToWideChar(nCodePage, nFlags, s, static_cast<int>(nLen), nullptr, 0);
    if (m <= 0) return QSD_ERR_CONVERSION;
    uint64_t nCar = uint64_t{static_cast<unsigned>(m)} + nPositif(nExtra);
    if (nCar * 4 > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    int e = r.nSetLength(static_cast<unsigned>(nCar * 4));
    if (e != QSD_OK) return e;
    int k = MultiByteToWideChar(nCodePage, nFlags, s, static_cast<int>(nLen), reinterpret_cast<wchar_t*>(r.pGet()),
                                static_cast<int>(nCar));
    if (k <= 0 || static_cast<uint64_t>(k) > nCar) {
        r.Release();
        return QSD_ERR_CONVERSION;
    }
    r.SetUtilLength(static_cast<unsigned>(k) * 4);
    CQSValeurBase::s_VerifieTypeAUB(r.pGet(), QSD_TYPE_UNICODE);
    return QSD_OK;
}

namespace {

// Wide value (bytes p, n) to 8-bit text, carrying the end marker.
int nWideValeurVersANSI(CQSDSTR& r, const unsigned char* p, unsigned nOctets, bool bMarqueur, unsigned nCodePage,
                        unsigned nFlags, const char* pszDefaut, int* pbUtilise) {
    const wchar_t* w = reinterpret_cast<const wchar_t*>(p);
    long n = nOctets / 4;
    bool bPorte = bMarqueur && n && w[n - 1] == WMARQUEUR && nCodePage != 65001;
    int e = QSD_nWideVersANSI(r, w, n - (bPorte ? 1 : 0), nCodePage, nFlags, pszDefaut, pbUtilise, bPorte ? 1 : 0);
    if (e != QSD_OK || !bPorte) return e;
    e = r.nConcat(reinterpret_cast<const char*>(&MARQUEUR), 1);
    if (e == QSD_OK) e = r.nSetMarqueurFin(1);
    if (e != QSD_OK) r.Release();
    return e;
}

int nANSIValeurVersWide(CQSDSTR& r, const unsigned char* p, unsigned nOctets, bool bMarqueur, unsigned nCodePage,
                        unsigned nFlags) {
    bool bPorte = bMarqueur && nOctets && p[nOctets - 1] == MARQUEUR && nCodePage != 65001;
    long n = static_cast<long>(nOctets) - (bPorte ? 1 : 0);
    int e = QSD_nANSIVersWide(r, reinterpret_cast<const char*>(p), n, nCodePage, nFlags, bPorte ? 1 : 0);
    if (e != QSD_OK || !bPorte) return e;
    e = r.nConcat(reinterpret_cast<const char*>(&WMARQUEUR), 4);
    if (e == QSD_OK) {
        CQSValeurBase::s_VerifieTypeAUB(r.pGet(), QSD_TYPE_UNICODE);
        e = r.nSetMarqueurFin(1);
    }
    if (e != QSD_OK) r.Release();
    return e;
}

}  // namespace

// ---- 8-bit results ----------------------------------------------------------------

int CQSDSTRBase::nAffecteToANSI(const wchar_t* w, long n, unsigned nCodePage, unsigned nFlags, const char* pszDefaut,
                                int* pbUtilise, long nExtra) {
    CQSDSTR r;
    int e = QSD_nWideVersANSI(r, w, n, nCodePage, nFlags, pszDefaut, pbUtilise, nExtra);
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToANSI(const CQSDSTRBase* pW, unsigned nCodePage, unsigned nFlags, const char* pszDefaut,
                                int* pbUtilise) {
    CQSDSTR r;
    int e = pW ? nWideValeurVersANSI(r, pW->pGet(), pW->nGetLength(), pW->bMarqueurFin(), nCodePage, nFlags,
                                     pszDefaut, pbUtilise)
               : QSD_OK;
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToANSI(const CQSBINBase* pW, unsigned nCodePage, unsigned nFlags, const char* pszDefaut,
                                int* pbUtilise) {
    CQSDSTR r;
    int e = pW ? nWideValeurVersANSI(r, pW->pGet(), pW->nGetLength(), pW->bMarqueurFin(), nCodePage, nFlags,
                                     pszDefaut, pbUtilise)
               : QSD_OK;
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToANSI(const char* u, long nLen, unsigned nCodePage, unsigned nFlags,
                                const char* pszDefaut, int* pbUtilise) {
    if (u && nLen == -1) nLen = static_cast<long>(strnlen(u, QSD_LONGUEUR_MAX + 1ull));
    if (!u || nLen <= 0) {
        Release();
        return QSD_OK;
    }
    if (static_cast<uint64_t>(nLen) > QSD_LONGUEUR_MAX - 1) return QSD_ERR_LONGUEUR;
    if (nCodePage == 65001) return nAssign(u, static_cast<unsigned>(nLen));
    CQSDSTR r;
    unsigned nTaille = static_cast<unsigned>(nLen) + 1;
    int e = r.nSetLength(nTaille);
    if (e == QSD_OK) {
        int k = UTF8ToMultiByte(nCodePage, u, static_cast<unsigned long>(nLen), reinterpret_cast<char*>(r.pGet()),
                                nTaille, nFlags, pszDefaut, pbUtilise);
        if (k <= 0 || static_cast<unsigned>(k) >= nTaille) e = QSD_ERR_CONVERSION;
        else r.SetUtilLength(static_cast<unsigned>(k));
    }
    if (e != QSD_OK) r.Release();
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToUTF8(const char* s, long nLen, int nCodePage) {
    if (s && nLen == -1) nLen = static_cast<long>(strnlen(s, QSD_LONGUEUR_MAX + 1ull));
    if (!s || nLen <= 0) {
        Release();
        return QSD_OK;
    }
    if (static_cast<uint64_t>(nLen) > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    if (nCodePage == 65001) return nAssign(s, static_cast<unsigned>(nLen));
    uint64_t nTaille = 4 * static_cast<uint64_t>(nLen) + 4;
    if (nTaille > QSD_LONGUEUR_MAX) return QSD_ERR_LONGUEUR;
    CQSDSTR r;
    int e = r.nSetLength(static_cast<unsigned>(nTaille));
    if (e == QSD_OK) {
        int k = MultiByteToUTF8(static_cast<unsigned>(nCodePage), s, static_cast<unsigned long>(nLen),
                                reinterpret_cast<char*>(r.pGet()), static_cast<unsigned long>(nTaille), 0);
        if (k <= 0 || static_cast<uint64_t>(k) >= nTaille) e = QSD_ERR_CONVERSION;
        else r.SetUtilLength(static_cast<unsigned>(k));
    }
    if (e != QSD_OK) r.Release();
    if (e == QSD_OK) Take(&r);
    return e;
}

// ---- Wide results ---------------------------------------------------------------------

int CQSDSTRBase::nAffecteToUNICODE(const char* s, long nLen, unsigned nCodePage, unsigned nFlags, long nExtra) {
    CQSDSTR r;
    int e = QSD_nANSIVersWide(r, s, nLen, nCodePage, nFlags, nExtra);
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToUNICODE(const CQSDSTRBase* pS, unsigned nCodePage, unsigned nFlags) {
    CQSDSTR r;
    int e = pS ? nANSIValeurVersWide(r, pS->pGet(), pS->nGetLength(), pS->bMarqueurFin(), nCodePage, nFlags) : QSD_OK;
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToUNICODE(const CQSBINBase* pS, unsigned nCodePage, unsigned nFlags) {
    CQSDSTR r;
    int e = pS ? nANSIValeurVersWide(r, pS->pGet(), pS->nGetLength(), pS->bMarqueurFin(), nCodePage, nFlags) : QSD_OK;
    if (e == QSD_OK) Take(&r);
    return e;
}

int CQSDSTRBase::nAffecteToUNICODE_CurrentCharset(const STManipAUB* pSrc) {
    if (!pSrc || pSrc->bEstVide()) {
        Release();
        return QSD_OK;
    }
    if (pSrc->bEstUNICODE()) {
        *this = *pSrc->pGetDSTR();
        return QSD_OK;
    }
    return nAffecteToUNICODE(pSrc->pGetDSTR(), dwCodePageCourante(), 0);
}

int CQSDSTRBase::nAssignUNICODE_UTF16(const unsigned short* u, int n) {
    if (u && n == -1) n = static_cast<int>(utf16len(u));
    CQSDSTR r;
    int e = QSD_OK;
    if (u && n > 0) {
        int m = UTF16ToWideChar(u, n, nullptr, 0);
        if (m <= 0) e = QSD_ERR_CONVERSION;
        else if (uint64_t{static_cast<unsigned>(m)} * 4 > QSD_LONGUEUR_MAX) e = QSD_ERR_LONGUEUR;
        else e = r.nSetLength(static_cast<unsigned>(m) * 4);
        if (e == QSD_OK) {
            int k = UTF16ToWideChar(u, n, reinterpret_cast<wchar_t*>(r.pGet()), m);
            if (k <= 0 || k > m) e = QSD_ERR_CONVERSION;
            else r.SetUtilLength(static_cast<unsigned>(k) * 4);
        }
        if (e == QSD_OK) s_VerifieTypeAUB(r.pGet(), QSD_TYPE_UNICODE);
        else r.Release();
    }
    if (e == QSD_OK) Take(&r);
    return e;
}

// ---- Plain texts -------------------------------------------------------------------------

char* CQSDSTRBase::pszCreateCSTR() const {
    CQSDSTR r;
    const CQSDSTRBase* p = this;
    if (s_nGetTypeAUB(_pData) == QSD_TYPE_UNICODE) {
        if (nWideValeurVersANSI(r, _pData, nGetLength(), bMarqueurFin(), dwCodePageCourante(), 0, nullptr, nullptr) !=
            QSD_OK)
            return nullptr;
        p = &r;
    }
    unsigned n = p->nGetLength();
    char* psz = static_cast<char*>(malloc(size_t{n} + 1));
    if (!psz) return nullptr;
    if (n) memcpy(psz, p->pGet(), n);
    psz[n] = 0;
    return psz;
}

wchar_t* CQSDSTRBase::pszCreateWSTR() const {
    CQSDSTR r;
    const CQSDSTRBase* p = this;
    if (s_nGetTypeAUB(_pData) != QSD_TYPE_UNICODE) {
        if (nANSIValeurVersWide(r, _pData, nGetLength(), bMarqueurFin(), dwCodePageCourante(), 0) != QSD_OK)
            return nullptr;
        p = &r;
    }
    unsigned n = p->nGetLength() / 4;
    wchar_t* psz = static_cast<wchar_t*>(malloc((size_t{n} + 1) * sizeof(wchar_t)));
    if (!psz) return nullptr;
    if (n) memcpy(psz, p->pGet(), size_t{n} * 4);
    psz[n] = 0;
    return psz;
}
