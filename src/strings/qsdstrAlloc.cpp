// The dynamic string allocator: size classes, bounded caches of released
// blocks, per-thread caches chosen by the host, and the host settings entry.
#include <cstdlib>
#include <cstring>

#include "strings/qsdstr.h"

int* gpbMTEnCours = nullptr;
pthread_key_t gdwIndexRecycleur = 0;
int gbTLSOk = 0;

CStrMemAlloc* CStrMemAlloc::ms_pclAllocateur = nullptr;
CStrMemAlloc* CStrMemAlloc::ms_pclPropre = nullptr;
bool CStrMemAlloc::ms_bAllocateurExterne = false;

namespace {

// The process's own allocator. Blocks return to the allocator that made them,
// so it is never destroyed: Term and a switch to another allocator only empty
// its caches, and the next bInit makes it current again.
CStrMemAlloc* pclPropre() {
    // Made once, also when the first values are made by several threads.
    static CStrMemAlloc* const s_p = new CStrMemAlloc();
    CStrMemAlloc::ms_pclPropre = s_p;
    return s_p;
}

}  // namespace

// ---- Cache -------------------------------------------------------------------

CStrMemCache::CStrMemCache() : _pListe{nullptr, nullptr}, _nNb{0, 0} {}

CStrMemCache::~CStrMemCache() { CStrMemCache::vSupprimeTout(); }

unsigned char* CStrMemCache::vpRecupere(unsigned nCapacite) {
    int i = _s_nClasseBloc(nCapacite);
    if (i < 0 || !_pListe[i]) return nullptr;
    unsigned char* p = _pListe[i];
    _pListe[i] = QSD_pEntete(p)->pSuivant;
    --_nNb[i];
    return p;
}

int CStrMemCache::vbAjoute(unsigned char* pBloc) {
    if (!pBloc) return 0;
    int i = _s_nClasseBloc(QSD_pEntete(pBloc)->nCapacite);
    if (i < 0 || _nNb[i] >= QSD_CACHE_MAX) return 0;
    QSD_pEntete(pBloc)->pSuivant = _pListe[i];
    _pListe[i] = pBloc;
    ++_nNb[i];
    return 1;
}

void CStrMemCache::vSupprimeTout() {
    for (int i = 0; i < 2; ++i) {
        while (unsigned char* p = _pListe[i]) {
            _pListe[i] = QSD_pEntete(p)->pSuivant;
            QSD_pEntete(p)->pProprietaire->vFreeCacheStrMem(p);
        }
        _nNb[i] = 0;
    }
}

unsigned CStrMemCache::nGetNbBlocs(unsigned nCapacite) const {
    int i = _s_nClasseBloc(nCapacite);
    return i < 0 ? 0 : _nNb[i];
}

// ---- Allocator ------------------------------------------------------------------

CStrMemAlloc::CStrMemAlloc() : _pszModule("TQExe") {}

CStrMemAlloc::~CStrMemAlloc() { vSupprimeTout(); }

int CStrMemAlloc::vnGetVersion() { return 1; }

unsigned CStrMemAlloc::__nCalculeLongueurAllocation(unsigned r, unsigned c) {
    // 64 bits: the doubled sizes of requests near the limit do not wrap.
    uint64_t d = static_cast<uint64_t>(r) - c;
    uint64_t n;
    if (d < c / 10) n = c + c / 5;
    else if (d < c / 5) n = c + c / 2;
    else if (d < c / 2) n = 2ull * c;
    else n = 2ull * r;
    if (n > QSD_LONGUEUR_MAX) n = QSD_LONGUEUR_MAX;
    return static_cast<unsigned>(n);
}

// A thread's cache may hold blocks of other allocators (they go back to
// their maker later): what their last use left is not known, so they are
// cleared whole.
unsigned char* CStrMemAlloc::_pPrendThread(int i) {
    CStrMemCache* c = gbTLSOk ? static_cast<CStrMemCache*>(pthread_getspecific(gdwIndexRecycleur)) : nullptr;
    unsigned char* p = c ? c->vpRecupere(i ? QSD_CLASSE_MOYENNE : QSD_CLASSE_PETITE) : nullptr;
    if (p && QSD_pEntete(p)->pProprietaire != this) {
        memset(p, 0, size_t{QSD_pEntete(p)->nCapacite} + 4);
        QSD_pEntete(p)->nUtilise = 0;
    }
    return p;
}

void CStrMemAlloc::_RendThread(unsigned char* p) {
    CStrMemCache* c = gbTLSOk ? static_cast<CStrMemCache*>(pthread_getspecific(gdwIndexRecycleur)) : nullptr;
    if (c && c->vbAjoute(p)) return;
    free(p - QSD_TAILLE_ENTETE);
}

void CQSValeurBase::s_Rend(unsigned char* p) {
    CStrMemAlloc* a = QSD_pEntete(p)->pProprietaire;
    if (a == CStrMemAlloc::ms_pclPropre) a->RendLocal(p);
    else a->vReleaseStrMem(p);
}

// How many bytes from the start of a cached block may still be non-zero:
// its last used length for a block this allocator made and released, all of
// it for another's.
size_t CStrMemAlloc::_nSale(const unsigned char* p) const {
    const _stQSDENTETE* e = QSD_pEntete(p);
    return e->pProprietaire == this ? e->nUtilise : size_t{e->nCapacite} + 4;
}

// The block handed out is zero beyond its used length of 0, as callers of
// another module may expect of any block.
int CStrMemAlloc::vnAllocStrMem(unsigned char** ppHandle, unsigned nLen) {
    if (!ppHandle || nLen > QSD_LONGUEUR_MAX) return QSD_ERR_ALLOC;
    unsigned nCapacite = s_nCalculeCapacite(nLen, 0);
    unsigned char* p = nullptr;
    size_t nSale = 0;
    if (CStrMemCache* pCache = _pCacheCourant())
        p = pCache == ms_pclPropre ? pCache->CStrMemCache::vpRecupere(nCapacite) : pCache->vpRecupere(nCapacite);
    if (p) nSale = _nSale(p);
    else if (!(p = _pAlloueNeuf(nLen, nSale))) return QSD_ERR_ALLOC;
    memset(p, 0, nSale > 4 ? nSale : 4);
    _stQSDENTETE* e = QSD_pEntete(p);
    e->dwFlags = 0;
    e->nUtilise = 0;
    e->nRef = 1;
    *ppHandle = p;
    return QSD_OK;
}

int CStrMemAlloc::vnReallocStrMem(unsigned char** ppHandle, unsigned nLen) {
    if (!ppHandle || !*ppHandle || nLen > QSD_LONGUEUR_MAX) return QSD_ERR_ALLOC;
    unsigned char* pAncien = *ppHandle;
    _stQSDENTETE* e = QSD_pEntete(pAncien);
    // A block that already holds nLen bytes is never shrunk.
    if (e->nCapacite >= nLen) return QSD_OK;
    unsigned nCapacite = s_nCalculeCapacite(nLen, e->nCapacite);
    CStrMemCache* pCache = _pCacheCourant();
    if (unsigned char* p = pCache ? pCache->vpRecupere(nCapacite) : nullptr) {
        size_t nSale = _nSale(p);
        _stQSDENTETE* n = QSD_pEntete(p);
        n->nRef = 1;
        n->dwFlags = e->dwFlags;
        n->nUtilise = e->nUtilise;
        memcpy(p, pAncien, e->nUtilise);
        if (nSale > e->nUtilise) memset(p + e->nUtilise, 0, nSale - e->nUtilise);
        memset(p + nCapacite, 0, 4);
        e->nRef = 0;
        e->pProprietaire->vReleaseStrMem(pAncien);
        *ppHandle = p;
        return QSD_OK;
    }
    const unsigned nAncienne = e->nCapacite;
    unsigned char* pBrut = static_cast<unsigned char*>(
        realloc(pAncien - QSD_TAILLE_ENTETE, size_t{nCapacite} + QSD_TAILLE_ENTETE + 4));
    if (!pBrut) return QSD_ERR_ALLOC;
    unsigned char* p = pBrut + QSD_TAILLE_ENTETE;
    QSD_pEntete(p)->nCapacite = nCapacite;
    // The old area was zero past its used length; only the new part is not.
    memset(p + nAncienne, 0, size_t{nCapacite} - nAncienne + 4);
    *ppHandle = p;
    return QSD_OK;
}

void CStrMemAlloc::vReleaseStrMem(unsigned char* pBloc) {
    if (!pBloc) return;
    CStrMemCache* pCache = _pCacheCourant();
    if (pCache && (pCache == ms_pclPropre ? pCache->CStrMemCache::vbAjoute(pBloc) : pCache->vbAjoute(pBloc))) return;
    if (this == ms_pclPropre) CStrMemAlloc::vFreeCacheStrMem(pBloc);
    else vFreeCacheStrMem(pBloc);
}

void CStrMemAlloc::vFreeCacheStrMem(unsigned char* pBloc) {
    if (pBloc) free(pBloc - QSD_TAILLE_ENTETE);
}

CStrMemAlloc* CStrMemAlloc::s_pclCree() {
    ms_pclAllocateur = pclPropre();
    ms_bAllocateurExterne = false;
    return ms_pclAllocateur;
}

// ---- Process allocator and host settings ---------------------------------------

bool CQSDSTRBase::bInit() {
    CStrMemAlloc* p = pclPropre();
    CStrMemAlloc::ms_pclAllocateur = p;
    CStrMemAlloc::ms_bAllocateurExterne = false;
    return p != nullptr;
}

void CQSDSTRBase::Term() {
    CStrMemAlloc* p = CStrMemAlloc::ms_pclAllocateur;
    if (p && !CStrMemAlloc::ms_bAllocateurExterne) p->vSupprimeTout();
    CStrMemAlloc::ms_pclAllocateur = nullptr;
    CStrMemAlloc::ms_bAllocateurExterne = false;
}

extern "C" int GeneralParam(int nCode, void* pValeur) {
    switch (nCode) {
        case 2005:
            gdwIndexRecycleur = static_cast<pthread_key_t>(reinterpret_cast<uintptr_t>(pValeur));
            gbTLSOk = 1;
            return 1;
        case 2006:
            gpbMTEnCours = static_cast<int*>(pValeur);
            return 1;
        case 2008: {
            if (!pValeur) return 0;
            CStrMemAlloc* p = CStrMemAlloc::ms_pclAllocateur;
            if (p && !CStrMemAlloc::ms_bAllocateurExterne) p->vSupprimeTout();
            CStrMemAlloc::ms_pclAllocateur = static_cast<CStrMemAlloc*>(pValeur);
            CStrMemAlloc::ms_bAllocateurExterne = true;
            return 1;
        }
        default:
            return 0;
    }
}
