// Dynamic strings and binaries of the application language, and the allocator
// their blocks come from.
//
// A value is one pointer to the data part of a shared, reference-counted block
// (or null for the empty value). Copies share the block; a holder that writes
// makes it private first (copy on write). Every block records the allocator
// that made it and always goes back to that allocator.
//
// Block: header | data (capacity bytes) | 4 zero bytes. Bytes between the used
// length and the capacity are kept zero, so growing a length never shows stale
// data. Text values keep a 4-byte zero after their used length.
//
// Results of the n... operations: 0 success, 100 allocation failed, 105 code
// page conversion failed, 108 length above QSD_LONGUEUR_MAX.
#pragma once

#include <pthread.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "strings/Tstring.h"

enum {
    QSD_OK = 0,
    QSD_ERR_ALLOC = 100,
    QSD_ERR_CONVERSION = 105,
    QSD_ERR_LONGUEUR = 108,
};

// Largest length or capacity request.
constexpr unsigned QSD_LONGUEUR_MAX = 0x7FFFFEFFu;

// Kind bits of the flags word, and the language's type codes.
constexpr unsigned QSD_MARQUEUR_FIN = 0x1;
constexpr unsigned QSD_GENRE_TEXTE = 0x2;
constexpr unsigned QSD_GENRE_UNICODE = 0x4;
constexpr unsigned QSD_GENRE_BINAIRE = 0x8;
constexpr unsigned QSD_GENRE_MASQUE = 0xE;
enum {
    QSD_TYPE_UNICODE = 16,
    QSD_TYPE_TEXTE = 19,
    QSD_TYPE_BINAIRE = 28,
};

// Size classes of the allocator and the bound of each cache list.
constexpr unsigned QSD_CLASSE_PETITE = 104;
constexpr unsigned QSD_CLASSE_MOYENNE = 1000;
constexpr unsigned QSD_CACHE_MAX = 20;

class CStrMemAlloc;

// Block header. The owner and the cache link are pointers. 32-bit tree: five
// words, 20 bytes, the link in the count's word. 64-bit tree: 24 bytes, the
// link over the flags and count words (both dead while a block is cached), so
// that a block of the 1000-byte class stays within the C library's fast sizes.
// A cached block keeps its used length: the bytes of its last use that may
// still be non-zero, all that has to be cleared when it is handed out again.
struct _stQSDENTETE {
    CStrMemAlloc* pProprietaire;
#if UINTPTR_MAX == 0xFFFFFFFFu
    uint32_t dwFlags;
    union {
        int32_t nRef;
        unsigned char* pSuivant;  // next cached block while in a cache
    };
#else
    union {
        struct {
            uint32_t dwFlags;
            int32_t nRef;
        };
        unsigned char* pSuivant;  // next cached block while in a cache
    };
#endif
    uint32_t nCapacite;
    uint32_t nUtilise;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(_stQSDENTETE) == 20, "block header is 20 bytes");
static_assert(offsetof(_stQSDENTETE, dwFlags) == 4 && offsetof(_stQSDENTETE, nRef) == 8 &&
                  offsetof(_stQSDENTETE, nCapacite) == 12 && offsetof(_stQSDENTETE, nUtilise) == 16,
              "owner, flags, count, capacity, used length: one word each");
#else
static_assert(sizeof(_stQSDENTETE) == 24, "block header: the owner and four words");
static_assert(offsetof(_stQSDENTETE, dwFlags) == 8 && offsetof(_stQSDENTETE, nRef) == 12 &&
                  offsetof(_stQSDENTETE, pSuivant) == 8 && offsetof(_stQSDENTETE, nUtilise) == 20,
              "owner, flags, count, capacity, used length in that order");
#endif
static_assert(sizeof(_stQSDENTETE) % alignof(wchar_t) == 0, "wide text stays aligned");
constexpr unsigned QSD_TAILLE_ENTETE = sizeof(_stQSDENTETE);

inline _stQSDENTETE* QSD_pEntete(unsigned char* p) { return reinterpret_cast<_stQSDENTETE*>(p - QSD_TAILLE_ENTETE); }
inline const _stQSDENTETE* QSD_pEntete(const unsigned char* p) {
    return reinterpret_cast<const _stQSDENTETE*>(p - QSD_TAILLE_ENTETE);
}

// Host settings (GeneralParam 2005, 2006).
extern int* gpbMTEnCours;
extern pthread_key_t gdwIndexRecycleur;
extern int gbTLSOk;

// True while the host says several threads run: counts then change atomically.
inline bool QSD_bMultiThread() {
    int* p = gpbMTEnCours;
    return p && __atomic_load_n(p, __ATOMIC_RELAXED) != 0;
}

// Host settings entry: 2005 thread-local key of the per-thread caches, 2006
// pointer to the host's "several threads run" flag, 2008 current allocator.
extern "C" int GeneralParam(int nCode, void* pValeur);

// ---- Allocator ---------------------------------------------------------------

// Released blocks of the two size classes, linked through their count word.
class CStrMemCache {
public:
    CStrMemCache();
    CStrMemCache(const CStrMemCache&) = delete;
    CStrMemCache& operator=(const CStrMemCache&) = delete;

    virtual unsigned char* vpRecupere(unsigned nCapacite);
    virtual int vbAjoute(unsigned char* pBloc);
    virtual void vSupprimeTout();
    virtual ~CStrMemCache();

    unsigned nGetNbBlocs(unsigned nCapacite) const;

protected:
    // The list a request of nLen bytes (or a block of capacity nCapacite)
    // belongs to, or -1.
    static int _s_nClasseDemande(unsigned nLen) {
        return nLen <= QSD_CLASSE_PETITE ? 0 : nLen <= QSD_CLASSE_MOYENNE ? 1 : -1;
    }
    static int _s_nClasseBloc(unsigned nCapacite) {
        return nCapacite == QSD_CLASSE_PETITE ? 0 : nCapacite == QSD_CLASSE_MOYENNE ? 1 : -1;
    }
    unsigned char* _pPrend(int i) {
        unsigned char* p = _pListe[i];
        if (p) {
            _pListe[i] = QSD_pEntete(p)->pSuivant;
            --_nNb[i];
        }
        return p;
    }
    bool _bDepose(int i, unsigned char* p) {
        if (_nNb[i] >= QSD_CACHE_MAX) return false;
        QSD_pEntete(p)->pSuivant = _pListe[i];
        _pListe[i] = p;
        ++_nNb[i];
        return true;
    }

    unsigned char* _pListe[2];
    unsigned _nNb[2];
};

class CStrMemAlloc : public CStrMemCache {
public:
    CStrMemAlloc();
    ~CStrMemAlloc() override;

    virtual int vnGetVersion();
    virtual int vnAllocStrMem(unsigned char** ppHandle, unsigned nLen);
    virtual int vnReallocStrMem(unsigned char** ppHandle, unsigned nLen);
    virtual void vReleaseStrMem(unsigned char* pBloc);
    virtual void vFreeCacheStrMem(unsigned char* pBloc);

    // Capacity given to a request of r bytes on a block of capacity c (0: new
    // block), kept at or below QSD_LONGUEUR_MAX.
    static unsigned s_nCalculeCapacite(unsigned nLen, unsigned nCapacite) {
        if (nLen <= QSD_CLASSE_PETITE) return QSD_CLASSE_PETITE;
        if (nLen <= QSD_CLASSE_MOYENNE) return QSD_CLASSE_MOYENNE;
        if (nCapacite >= nLen) return nCapacite;
        return __nCalculeLongueurAllocation(nLen, nCapacite);
    }
    static unsigned __nCalculeLongueurAllocation(unsigned r, unsigned c);

    // The current allocator, made on first use.
    static CStrMemAlloc* s_pclCourant() {
        CStrMemAlloc* p = ms_pclAllocateur;
        return p ? p : s_pclCree();
    }

    // Hot paths of the process's own allocator, called only on it. A block
    // for nLen bytes (at most QSD_LONGUEUR_MAX) with its owner and capacity
    // set, the rest of the header and the data area left to the caller: from
    // the one-thread cache (host flag at 0) with no dispatch, lock nor atomic,
    // from the thread's cache while threads run, else from malloc. nSale
    // receives how many bytes from the start of the data area may be non-zero
    // (the rest, the 4 past the capacity included, is zero). Null on failure.
    unsigned char* pAlloueLocal(unsigned nLen, size_t& nSale) {
        if (int* pb = gpbMTEnCours) {
            int i = _s_nClasseDemande(nLen);
            if (i >= 0) {
                unsigned char* p = __atomic_load_n(pb, __ATOMIC_RELAXED) == 0 ? _pPrend(i) : _pPrendThread(i);
                if (p) {
                    nSale = QSD_pEntete(p)->nUtilise;
                    return p;
                }
            }
        }
        return _pAlloueNeuf(nLen, nSale);
    }
    // The inline halves of the two paths above for their common case: the
    // own allocator current (for a new block) or owner (for a release), the
    // host's flag at 0 and a block of a size class. Null or false otherwise.
    static unsigned char* s_pPrendUnThread(unsigned nLen, size_t& nSale) {
        CStrMemAlloc* a = ms_pclAllocateur;
        int* pb = gpbMTEnCours;
        if (!a || a != ms_pclPropre || !pb || __atomic_load_n(pb, __ATOMIC_RELAXED) != 0 || nLen > QSD_CLASSE_MOYENNE)
            return nullptr;
        unsigned char* p = a->_pPrend(nLen > QSD_CLASSE_PETITE);
        if (p) nSale = QSD_pEntete(p)->nUtilise;
        return p;
    }
    // Without a cache in use (no host flag), the own allocator's blocks come
    // straight from malloc.
    static unsigned char* s_pAlloueSansCache(unsigned nLen, size_t& nSale) {
        CStrMemAlloc* a = ms_pclAllocateur;
        if (!a || a != ms_pclPropre || gpbMTEnCours || nLen > QSD_LONGUEUR_MAX) return nullptr;
        return a->_pAlloueNeuf(nLen, nSale);
    }
    bool bDeposeUnThread(unsigned char* p) {
        int i = _s_nClasseBloc(QSD_pEntete(p)->nCapacite);
        return i >= 0 && _bDepose(i, p);
    }
    // Takes back a released block: into the one-thread cache (host flag at
    // 0) when there is room, to the thread's cache while threads run, to
    // free when no cache is in use or the cache is full.
    void RendLocal(unsigned char* p) {
        if (int* pb = gpbMTEnCours) {
            if (__atomic_load_n(pb, __ATOMIC_RELAXED) != 0) {
                _RendThread(p);
                return;
            }
            int i = _s_nClasseBloc(QSD_pEntete(p)->nCapacite);
            if (i >= 0 && _bDepose(i, p)) return;
        }
        free(p - QSD_TAILLE_ENTETE);
    }

    static CStrMemAlloc* ms_pclAllocateur;
    static bool ms_bAllocateurExterne;
    // The process's own allocator, of exactly this class: calls to it need no
    // virtual dispatch.
    static CStrMemAlloc* ms_pclPropre;

protected:
    // The cache that takes and gives blocks for the calling thread, or null.
    CStrMemCache* _pCacheCourant() {
        int* pb = gpbMTEnCours;
        if (!pb) return nullptr;
        if (__atomic_load_n(pb, __ATOMIC_RELAXED) == 0) return this;
        if (!gbTLSOk) return nullptr;
        return static_cast<CStrMemCache*>(pthread_getspecific(gdwIndexRecycleur));
    }
    static CStrMemAlloc* s_pclCree();
    // The slower halves of the hot paths: the thread's cache, and malloc.
    unsigned char* _pPrendThread(int i);
    void _RendThread(unsigned char* p);
    unsigned char* _pAlloueNeuf(unsigned nLen, size_t& nSale) {
        unsigned nCapacite = s_nCalculeCapacite(nLen, 0);
        void* pBrut = malloc(size_t{nCapacite} + QSD_TAILLE_ENTETE + 4);
        if (!pBrut) return nullptr;
        unsigned char* p = static_cast<unsigned char*>(pBrut) + QSD_TAILLE_ENTETE;
        _stQSDENTETE* e = QSD_pEntete(p);
        e->pProprietaire = this;
        e->nCapacite = nCapacite;
        nSale = size_t{nCapacite} + 4;
        return p;
    }
    size_t _nSale(const unsigned char* p) const;

    const char* _pszModule;
};

// ---- Values ------------------------------------------------------------------

// A static 4-byte zero: "" for 8-bit and wide text.
alignas(4) extern const char ChaineVide[4];

class CQSDSTR;
class CQSBIN;
struct stQSDMORCEAU;
class CQSBINBase;
class STManipAUB;

// What the string and binary forms share: the one field and the block rules.
class CQSValeurBase {
public:
    unsigned char* pGet() const { return _pData; }
    int bEstVide() const { return _pData == nullptr || QSD_pEntete(_pData)->nUtilise == 0; }
    unsigned nGetLength() const { return _pData ? QSD_pEntete(_pData)->nUtilise : 0; }
    unsigned nGetCapacite() const { return _pData ? QSD_pEntete(_pData)->nCapacite : 0; }
    unsigned dwGetFlags() const { return _pData ? QSD_pEntete(_pData)->dwFlags : 0; }
    int bMarqueurFin() const { return (dwGetFlags() & QSD_MARQUEUR_FIN) != 0; }
    // Sets or clears the end-marker bit (a private copy is made first).
    int nSetMarqueurFin(int bMarqueur);
    int nGetRefCount() const { return _pData ? QSD_pEntete(_pData)->nRef : 0; }
    CStrMemAlloc* pclGetProprietaire() const { return _pData ? QSD_pEntete(_pData)->pProprietaire : nullptr; }

    // Gives up this holder's reference; the value becomes null.
    void Release() {
        unsigned char* p = _pData;
        _pData = nullptr;
        if (p) s_ReleaseStrMem(p);
    }

    static void s_AddRef(unsigned char* p) {
        _stQSDENTETE* e = QSD_pEntete(p);
        if (QSD_bMultiThread()) __atomic_add_fetch(&e->nRef, 1, __ATOMIC_RELAXED);
        else ++e->nRef;
    }
    // Drops one reference; the last one hands the block back to its maker,
    // inline in the common case of the own allocator's one-thread cache.
    static void s_ReleaseStrMem(unsigned char* p) {
        if (!p) return;
        _stQSDENTETE* e = QSD_pEntete(p);
        int* pb = gpbMTEnCours;
        if (pb && __atomic_load_n(pb, __ATOMIC_RELAXED) != 0) {
            if (__atomic_sub_fetch(&e->nRef, 1, __ATOMIC_ACQ_REL) == 0) s_Rend(p);
            return;
        }
        if (--e->nRef != 0) return;
        CStrMemAlloc* a = e->pProprietaire;
        if (a == CStrMemAlloc::ms_pclPropre) {
            if (!pb) {
                free(p - QSD_TAILLE_ENTETE);
                return;
            }
            if (a->bDeposeUnThread(p)) return;
        }
        s_Rend(p);
    }
    // Hands a block whose count reached 0 to its maker.
    static void s_Rend(unsigned char* p);
    static int s_nGetTypeAUB(const unsigned char* p);
    static void s_VerifieTypeAUB(unsigned char* p, int nType);

protected:
    CQSValeurBase() : _pData(nullptr) {}
    explicit CQSValeurBase(unsigned char* p) : _pData(p) {}

    // A new block holding the nLen bytes of pSrc (1 to QSD_LONGUEUR_MAX),
    // replacing the handle without releasing it; inline for the own
    // allocator's one-thread cache with a block at hand and without a cache.
    void _Cree(const void* pSrc, unsigned nLen, unsigned dwGenre) {
        size_t nSale;
        unsigned char* q = CStrMemAlloc::s_pPrendUnThread(nLen, nSale);
        if (!q) q = CStrMemAlloc::s_pAlloueSansCache(nLen, nSale);
        if (!q) {
            _nNew(_pData, nLen, pSrc, nLen, dwGenre, true);
            return;
        }
        _Remplit(q, pSrc, nLen, dwGenre, nSale);
        _pData = q;
    }
    // Writes the header of a fresh block and its first bytes; of the nSale
    // bytes a recycled block may still hold, those past the new ones go.
    static void _Remplit(unsigned char* q, const void* pSrc, unsigned nSrc, unsigned dwGenre, size_t nSale) {
        _stQSDENTETE* e = QSD_pEntete(q);
        e->dwFlags = dwGenre;
        e->nRef = 1;
        e->nUtilise = nSrc;
        if (nSrc) memcpy(q, pSrc, nSrc);
        memset(q + nSrc, 0, 4);  // the terminator: past it the block is zero
        if (nSale > size_t{nSrc} + 4) memset(q + nSrc + 4, 0, nSale - nSrc - 4);
    }
    // A new block for nLen bytes holding the first nSrc bytes of pSrc, replacing
    // the handle without releasing it. dwGenre: the kind bits.
    static int _nNew(unsigned char*& p, uint64_t nLen, const void* pSrc, unsigned nSrc, unsigned dwGenre,
                     bool bTerminateur);
    // The two ...Init forms of both kinds: the handle starts null (what it held
    // is not released) and becomes a copy of the bytes, or takes the other
    // value's block when it is the only holder, retyped to dwGenre.
    int _nAssignInit(const void* pSrc, unsigned nLen, unsigned dwGenre, bool bTerminateur);
    int _nRecupereInit(CQSValeurBase* pSource, unsigned dwGenre, bool bTerminateur);
    // Makes the block private with a capacity of at least nLen (null: new block).
    int _nPrepareModification(uint64_t nLen, unsigned dwGenre);
    // Sets the used length, zeroing what was cut and writing the terminator.
    void _SetUtilise(unsigned nLen, bool bTerminateur);
    // Replaces the value with the new handle and releases the old one last.
    void _Remplace(unsigned char* pNouveau) {
        unsigned char* p = _pData;
        _pData = pNouveau;
        if (p) s_ReleaseStrMem(p);
    }
    void _Partage(unsigned char* p) {
        if (p) s_AddRef(p);
        _Remplace(p);
    }
    int _bPrive() const { return _pData && QSD_pEntete(_pData)->nRef < 2; }
    // Appends (or assigns) the pieces in one reservation. nMarqueur: 1 sets
    // the end-marker bit, 0 clears it, -1 keeps it. Pieces may point into the
    // value's own block.
    int _nAjoute(const stQSDMORCEAU* pMorceaux, int nNb, bool bAssigne, int nMarqueur, unsigned dwGenre,
                 bool bTerminateur);
    static unsigned char*& _rData(CQSValeurBase& v) { return v._pData; }

    unsigned char* _pData;
};

class CQSDSTRBase : public CQSValeurBase {
public:
    CQSDSTRBase() {}
    CQSDSTRBase(const char* s);
    CQSDSTRBase(const char* s, unsigned nLen) {
        if (s && nLen) _Cree(s, nLen, QSD_GENRE_TEXTE);
    }
    CQSDSTRBase(const CQSDSTRBase& o) : CQSValeurBase(o._pData) {
        if (_pData) s_AddRef(_pData);
    }
    CQSDSTRBase& operator=(const CQSDSTRBase& o) {
        _Partage(o._pData);
        return *this;
    }

    // Text or "" (never null); the wide text or L"".
    const char* pszGet() const { return _pData ? reinterpret_cast<const char*>(_pData) : ChaineVide; }
    const wchar_t* pwszGet() const {
        return reinterpret_cast<const wchar_t*>(_pData ? reinterpret_cast<const char*>(_pData) : ChaineVide);
    }
    unsigned nGetLengthUNICODE() const { return nGetLength() / 4; }

    // Process allocator.
    static bool bInit();
    static void Term();

    // Lifecycle and sharing. The ...Init forms set up a handle that holds
    // nothing yet: its previous content is not read, nor released.
    void Assign(const CQSDSTRBase* pAutre, unsigned nLen = static_cast<unsigned>(-1));
    void Take(CQSDSTRBase* pAutre);
    int nAssignInit(const char* s, unsigned nLen);
    int nRecupereInit(CQSBINBase* pBin);

    // Length management
    int nSetLength(unsigned nLen);
    void SetUtilLength(unsigned nLen, int bRelease = 0);
    void Tronque(unsigned nLen);
    int nComplete(unsigned nLen, char ch);
    int nComplete(unsigned nDe, unsigned nLen, char ch);
    int nCompleteUNICODE(unsigned nLen, wchar_t wch);

    // Assignment and concatenation
    int nAssign(const char* s, unsigned nLen);
    int nAssign(const char* s);
    int nAssignI4(int n);
    int nConcatI4(int n);
    int nConcat(const char* s, unsigned nLen);
    int nConcat(const char* s);
    int nConcat(const CQSDSTRBase* pAutre);
    int nConcatSeparateur(const char* pszSep, const CQSDSTRBase* pAutre, int bSkipIfEmpty = 0);
    int nConcatInit(CQSDSTRBase* pA, const CQSDSTRBase* pB, int nOptions = 0);
    int nAssignMultiple(int nCount, ...);
    int nConcatMultiple(int nCount, ...);
    int nAssignMultipleV(int nCount, va_list args);
    int nConcatMultipleV(int nCount, va_list args);
    int nPrintf(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);
    int nAddPrintf(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);
    int nPrintfV(const char* fmt, va_list args);
    int nAddPrintfV(const char* fmt, va_list args);

    // Search and extraction (bytes; the UNICODE forms count wide characters)
    long nPos(const char* s, unsigned nDebut = 0) const;
    long nPos(const CQSDSTRBase* s, unsigned nDebut = 0) const;
    long nPosFin(const CQSDSTRBase* s, unsigned nDebut = static_cast<unsigned>(-1)) const;
    long nNbOcc(const char* s) const;
    long nPosParmi(const char* pszSet) const;
    int nMilieu(CQSDSTRBase* pOut, unsigned long nDebut, long nLen) const;
    CQSDSTR clMilieu(unsigned long nDebut, long nLen = -1) const;
    int bExtraitChainePosUNICODE(long k, const wchar_t* pszSep, const wchar_t** ppDebut, long* pnLen) const;
    int bExtraitChaineUNICODE(long k, const wchar_t* pszSep, CQSDSTR* pOut) const;
    long nPosUNICODE(const wchar_t* s, unsigned nDebut = 0) const;
    long nNbOccUNICODE(const wchar_t* s) const;
    long nPosFinUNICODE(const CQSDSTRBase* s, unsigned nDebut = static_cast<unsigned>(-1)) const;
    int nMilieuUNICODE(CQSDSTRBase* pOut, unsigned long nDebut, long nLen) const;
    CQSDSTR clMilieuUNICODE(unsigned long nDebut, long nLen = -1) const;

    // Modification
    void Remplace(const char* pszDe, const char* pszVers);
    void RemplaceUNICODE(const wchar_t* pszDe, const wchar_t* pszVers);
    void Renverse();
    void RenverseUNICODE();
    void SansEspace();
    void Trim();
    void Trim(char ch);
    void TrimUNICODE(wchar_t wch);
    void MapString(unsigned nFlags, int bUpper);

    // Comparison
    static int nCompare(const CQSDSTRBase* a, const CQSDSTRBase* b);
    static int nCompare(const CQSDSTRBase* a, const CQSDSTRBase* b, unsigned n);
    static int nCompare(const char* a, const char* b);
    static int bCommencePar(const CQSDSTRBase* a, const CQSDSTRBase* b);
    int nCompareTo(const char* s) const;
    int nCompareToUNICODE(const wchar_t* s) const;
    static int nCompareSouple(const CQSDSTRBase* a, const CQSDSTRBase* b);
    static int nCompareSoupleUNICODE(const CQSDSTRBase* a, const CQSDSTRBase* b);
    static int nCompareTresSouple(const CQSDSTRBase* a, const CQSDSTRBase* b);

    // Conversions
    int nAffecteToANSI(const wchar_t* w, long n, unsigned nCodePage = 1252, unsigned nFlags = 0,
                       const char* pszDefaut = nullptr, int* pbUtilise = nullptr, long nExtra = 0);
    int nAffecteToANSI(const CQSDSTRBase* pW, unsigned nCodePage = 1252, unsigned nFlags = 0,
                       const char* pszDefaut = nullptr, int* pbUtilise = nullptr);
    int nAffecteToANSI(const CQSBINBase* pW, unsigned nCodePage = 1252, unsigned nFlags = 0,
                       const char* pszDefaut = nullptr, int* pbUtilise = nullptr);
    int nAffecteToANSI(const char* u, long nLen, unsigned nCodePage, unsigned nFlags = 0,
                       const char* pszDefaut = nullptr, int* pbUtilise = nullptr);
    int nAffecteToUTF8(const char* s, long nLen, int nCodePage);
    int nAffecteToUNICODE(const char* s, long nLen, unsigned nCodePage = 1252, unsigned nFlags = 0, long nExtra = 0);
    int nAffecteToUNICODE(const CQSDSTRBase* pS, unsigned nCodePage = 1252, unsigned nFlags = 0);
    int nAffecteToUNICODE(const CQSBINBase* pS, unsigned nCodePage = 1252, unsigned nFlags = 0);
    int nAffecteToUNICODE_CurrentCharset(const STManipAUB* pSrc);
    int nAssignUNICODE_UTF16(const unsigned short* u, int n);
    char* pszCreateCSTR() const;
    wchar_t* pszCreateWSTR() const;
};

class CQSBINBase : public CQSValeurBase {
public:
    CQSBINBase() {}
    CQSBINBase(const unsigned char* p, unsigned nLen) {
        if (p && nLen) _Cree(p, nLen, QSD_GENRE_BINAIRE);
    }
    CQSBINBase(const CQSBINBase& o) : CQSValeurBase(o._pData) {
        if (_pData) s_AddRef(_pData);
    }
    CQSBINBase& operator=(const CQSBINBase& o) {
        _Partage(o._pData);
        return *this;
    }

    unsigned nGetSize() const { return nGetLength(); }

    void Assign(const CQSBINBase* pAutre, unsigned nLen = static_cast<unsigned>(-1));
    void Take(CQSBINBase* pAutre);
    int nAssignInit(const unsigned char* p, unsigned nLen);
    int nRecupereInit(CQSDSTRBase* pStr);

    int nSetMemorySize(unsigned n);
    int nSetSize(unsigned n);
    void SetUtilSize(unsigned n);

    int nAssign(const unsigned char* p, unsigned nLen);
    int nConcat(const unsigned char* p, unsigned nLen);
    int nConcat(const CQSBINBase* pAutre);

    long nPos(const unsigned char* p, unsigned nLen, unsigned nDebut = 0) const;

    static int nCompare(const CQSBINBase* a, const CQSBINBase* b);
    static int nCompare(const CQSBINBase* a, const CQSBINBase* b, unsigned n);
    static int bCommencePar(const CQSBINBase* a, const CQSBINBase* b);
    static int nCompareSouple(const CQSBINBase* a, const CQSBINBase* b);
    static int nCompareTresSouple(const CQSBINBase* a, const CQSBINBase* b);

    int nAffecteToANSI(const wchar_t* w, long n, unsigned nCodePage = 1252, unsigned nFlags = 0,
                       const char* pszDefaut = nullptr, int* pbUtilise = nullptr, long nExtra = 0);
    int nAffecteToUNICODE(const char* s, long nLen, unsigned nCodePage = 1252, unsigned nFlags = 0, long nExtra = 0);
};

// Owning forms: they release their block.
class CQSDSTR : public CQSDSTRBase {
public:
    CQSDSTR() {}
    CQSDSTR(const char* s) : CQSDSTRBase(s) {}
    CQSDSTR(const char* s, unsigned nLen) : CQSDSTRBase(s, nLen) {}
    CQSDSTR(const CQSDSTR& o) : CQSDSTRBase(o) {}
    CQSDSTR(const CQSDSTRBase& o) : CQSDSTRBase(o) {}
    CQSDSTR(CQSDSTR&& o) noexcept { Take(&o); }
    CQSDSTR& operator=(const CQSDSTR& o) {
        CQSDSTRBase::operator=(o);
        return *this;
    }
    CQSDSTR& operator=(CQSDSTR&& o) noexcept {
        Take(&o);
        return *this;
    }
    ~CQSDSTR() { Release(); }
};

class CQSBIN : public CQSBINBase {
public:
    CQSBIN() {}
    CQSBIN(const unsigned char* p, unsigned nLen) : CQSBINBase(p, nLen) {}
    CQSBIN(const CQSBIN& o) : CQSBINBase(o) {}
    CQSBIN(CQSBIN&& o) noexcept { Take(&o); }
    CQSBIN& operator=(const CQSBIN& o) {
        CQSBINBase::operator=(o);
        return *this;
    }
    CQSBIN& operator=(CQSBIN&& o) noexcept {
        Take(&o);
        return *this;
    }
    ~CQSBIN() { Release(); }
};

static_assert(sizeof(CQSDSTRBase) == sizeof(void*) && sizeof(CQSBINBase) == sizeof(void*) &&
                  sizeof(CQSDSTR) == sizeof(void*) && sizeof(CQSBIN) == sizeof(void*),
              "a value is one pointer");

// A typed view over a handle of any of the three kinds (it owns nothing).
class STManipAUB {
public:
    STManipAUB(unsigned char* p = nullptr, int nType = QSD_TYPE_TEXTE) : _pData(p), _nType(nType) {}
    STManipAUB(const CQSValeurBase& v, int nType) : _pData(v.pGet()), _nType(nType) {}

    CQSDSTRBase* pGetDSTR() { return reinterpret_cast<CQSDSTRBase*>(this); }
    CQSDSTRBase* pGetUSTR() { return reinterpret_cast<CQSDSTRBase*>(this); }
    CQSBINBase* pGetBIN() { return reinterpret_cast<CQSBINBase*>(this); }
    const CQSDSTRBase* pGetDSTR() const { return reinterpret_cast<const CQSDSTRBase*>(this); }
    const CQSBINBase* pGetBIN() const { return reinterpret_cast<const CQSBINBase*>(this); }
    int bEstUNICODE() const { return _nType == QSD_TYPE_UNICODE; }
    int bEstVide() const { return _pData == nullptr; }
    int nGetType() const { return _nType; }
    const char* pszGetString() const { return _pData ? reinterpret_cast<const char*>(_pData) : ChaineVide; }
    const wchar_t* pszGetStringW() const {
        return reinterpret_cast<const wchar_t*>(_pData ? reinterpret_cast<const char*>(_pData) : ChaineVide);
    }

private:
    unsigned char* _pData;
    int _nType;
};
static_assert(sizeof(STManipAUB) == 2 * sizeof(void*), "a view is the handle and the type code");
