#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "QsdstrTestUtil.h"
#include "strings/qsdstr.h"
#include "support/TestSupport.h"

using std::string;

namespace {

// An allocator from "another module": counts what it makes and takes back,
// and fails on request.
class CCompteur : public CStrMemAlloc {
public:
    int vnAllocStrMem(unsigned char** pp, unsigned n) override {
        if (bEchec) return QSD_ERR_ALLOC;
        int r = CStrMemAlloc::vnAllocStrMem(pp, n);
        if (r == QSD_OK) ++nAlloc;
        return r;
    }
    int vnReallocStrMem(unsigned char** pp, unsigned n) override {
        if (bEchec) return QSD_ERR_ALLOC;
        ++nRealloc;
        return CStrMemAlloc::vnReallocStrMem(pp, n);
    }
    void vReleaseStrMem(unsigned char* p) override {
        ++nRelache;
        CStrMemAlloc::vReleaseStrMem(p);
    }
    bool bEchec = false;
    int nAlloc = 0, nRealloc = 0, nRelache = 0;
};

// Restores the process's own allocator and the cache settings.
class QsdAlloc : public ::testing::Test {
protected:
    void SetUp() override {
        CQSDSTRBase::bInit();
        GeneralParam(2006, nullptr);
    }
    void TearDown() override {
        GeneralParam(2006, nullptr);
        CQSDSTRBase::Term();
        CQSDSTRBase::bInit();
    }
};

}  // namespace

TEST(QsdAllocRule, CapacitiesOfNewAndGrownBlocks) {
    struct Cas {
        unsigned nLen, nCapacite, nAttendu;
    };
    const Cas cas[] = {
        {0, 0, 104},       {104, 0, 104},     {105, 0, 1000},      {1000, 0, 1000},   {1001, 0, 2002},
        {1050, 1000, 1200}, {1150, 1000, 1500}, {1400, 1000, 2000}, {1600, 1000, 3200}, {1001, 104, 2002},
        {0x7FFFFEFF, 0, 0x7FFFFEFF}, {0x50000000, 0, 0x7FFFFEFF}, {0x7FFFFEFF, 0x70000000, 0x7FFFFEFF},
    };
    for (const Cas& c : cas)
        EXPECT_EQ(CStrMemAlloc::s_nCalculeCapacite(c.nLen, c.nCapacite), c.nAttendu) << c.nLen << "/" << c.nCapacite;
}

TEST_F(QsdAlloc, WithoutTheHostFlagNothingIsKept) {
    CStrMemAlloc* p = CStrMemAlloc::s_pclCourant();
    { CQSDSTR a("short"), b(string(500, 'm').c_str()); }
    EXPECT_EQ(p->nGetNbBlocs(104), 0u);
    EXPECT_EQ(p->nGetNbBlocs(1000), 0u);
    EXPECT_EQ(p->vnGetVersion(), 1);
}

TEST_F(QsdAlloc, CachesHoldTwentyBlocksOfEachClassAndNoLargeOnes) {
    int nUnThread = 0;
    GeneralParam(2006, &nUnThread);
    CStrMemAlloc* p = CStrMemAlloc::s_pclCourant();
    {
        std::vector<CQSDSTR> v;
        for (int i = 0; i < 25; ++i) v.emplace_back("x");
        for (int i = 0; i < 3; ++i) v.emplace_back(string(500, 'm').c_str());
        v.emplace_back(string(5000, 'L').c_str());
    }
    EXPECT_EQ(p->nGetNbBlocs(104), 20u);
    EXPECT_EQ(p->nGetNbBlocs(1000), 3u);
    // A reused block comes back clean.
    CQSDSTR r("y");
    EXPECT_EQ(p->nGetNbBlocs(104), 19u);
    EXPECT_EQ(sOctets(r), "y");
    r.SetUtilLength(104);
    EXPECT_EQ(sOctets(r), "y" + string(103, '\0'));
    // Growth through the cache keeps the text.
    ASSERT_EQ(r.nSetLength(500), QSD_OK);
    EXPECT_EQ(r.nGetCapacite(), 1000u);
    EXPECT_EQ(p->nGetNbBlocs(1000), 2u);
    EXPECT_EQ(string(r.pszGet()), "y");
    r.Release();
    CQSDSTRBase::Term();  // empties the caches; the allocator stays for its blocks
    EXPECT_EQ(p->nGetNbBlocs(104), 0u);
    EXPECT_EQ(p->nGetNbBlocs(1000), 0u);
}

TEST_F(QsdAlloc, BlocksReturnToTheAllocatorThatMadeThem) {
    CQSDSTR avant("made by the own allocator");
    CStrMemAlloc* propre = CStrMemAlloc::s_pclCourant();
    EXPECT_EQ(GeneralParam(2008, nullptr), 0);  // refused
    EXPECT_EQ(CStrMemAlloc::s_pclCourant(), propre);
    EXPECT_EQ(GeneralParam(4242, nullptr), 0);
    {
        CCompteur c;
        ASSERT_EQ(GeneralParam(2008, &c), 1);
        EXPECT_TRUE(CStrMemAlloc::ms_bAllocateurExterne);
        {
            CQSDSTR a("a"), b(string(300, 'b').c_str());
            EXPECT_EQ(a.pclGetProprietaire(), &c);
            EXPECT_EQ(avant.pclGetProprietaire(), propre);
            ASSERT_EQ(a.nSetLength(5000), QSD_OK);
            EXPECT_EQ(c.nRealloc, 1);
            ASSERT_EQ(avant.nConcat(string(2000, 'g').c_str()), QSD_OK);  // grown by its maker
            EXPECT_EQ(c.nRealloc, 1);
            EXPECT_EQ(avant.pclGetProprietaire(), propre);
            // Back to the own allocator: c's blocks still go back to c.
            CQSDSTRBase::bInit();
            EXPECT_FALSE(CStrMemAlloc::ms_bAllocateurExterne);
            CQSDSTR d("own again");
            EXPECT_EQ(d.pclGetProprietaire(), propre);
            EXPECT_EQ(c.nAlloc, 2);
            EXPECT_EQ(c.nRelache, 0);
        }
        EXPECT_EQ(c.nRelache, 2);
        EXPECT_EQ(c.nAlloc, c.nRelache);
    }
    CQSDSTRBase::Term();
    CQSDSTR apres("made on first use");
    EXPECT_EQ(apres.pclGetProprietaire(), propre);
    avant.Release();  // released after Term: its allocator is still alive
}

// With every allocation failing, each operation answers 100 and leaves the
// value exactly as it was, shared or not.
TEST_F(QsdAlloc, EveryAllocationFailureAnswers100AndKeepsTheValue) {
    CCompteur c;
    ASSERT_EQ(GeneralParam(2008, &c), 1);
    const string grand(3000, 'G');
    const std::function<int(CQSDSTR&)> ops[] = {
        [&](CQSDSTR& v) { return v.nConcat(grand.c_str()); },
        [&](CQSDSTR& v) { return v.nAssign(grand.c_str()); },
        [&](CQSDSTR& v) { return v.nSetLength(5000); },
        [&](CQSDSTR& v) { return v.nComplete(500, '.'); },
        [&](CQSDSTR& v) { return v.nComplete(0, 500, '.'); },
        [&](CQSDSTR& v) { return v.nCompleteUNICODE(500, L'.'); },
        [&](CQSDSTR& v) { return v.nPrintf("%s", grand.c_str()); },
        [&](CQSDSTR& v) { return v.nPrintf("%d", 5); },
        [&](CQSDSTR& v) { return v.nAddPrintf("%s", grand.c_str()); },
        [&](CQSDSTR& v) { return v.nConcatMultiple(2, grand.c_str(), "x"); },
        [&](CQSDSTR& v) { return v.nAssignMultiple(2, grand.c_str(), "x"); },
        [&](CQSDSTR& v) { return v.nConcatSeparateur("/", &v); },
        [&](CQSDSTR& v) { return v.nConcatI4(123456789); },
        [&](CQSDSTR& v) { return v.nAffecteToUNICODE(&v); },
        [&](CQSDSTR& v) { return v.nAffecteToANSI(L"wide", 4); },
        [&](CQSDSTR& v) { return v.nAffecteToUTF8("\xe9t\xe9", 3, 1252); },
        [&](CQSDSTR& v) { return v.nAffecteToANSI("utf8", -1, 1252); },
        [&](CQSDSTR& v) { return v.nSetMarqueurFin(1); },
        [&](CQSDSTR& v) { return v.nMilieu(&v, 1, 2); },
    };
    for (bool bPartage : {false, true}) {
        for (size_t i = 0; i < sizeof(ops) / sizeof(ops[0]); ++i) {
            CQSDSTR v(string(90, 'v').c_str());
            CQSDSTR autre;
            if (bPartage) autre = v;
            unsigned char* avant = v.pGet();
            c.bEchec = true;
            int r = ops[i](v);
            c.bEchec = false;
            if (!bPartage && (i == 12 || i == 17)) {
                // Fits the private block: no allocation needed.
                EXPECT_EQ(r, QSD_OK) << i;
                continue;
            }
            EXPECT_EQ(r, QSD_ERR_ALLOC) << i << " shared " << bPartage;
            EXPECT_EQ(v.pGet(), avant) << i;
            EXPECT_EQ(sOctets(v), string(90, 'v')) << i;
            EXPECT_EQ(v.nGetRefCount(), bPartage ? 2 : 1) << i;
        }
    }
    // Writers without a result keep the value too.
    CQSDSTR v("abc  "), autre(v);
    c.bEchec = true;
    v.Tronque(1);
    v.Trim();
    v.Renverse();
    v.Remplace("a", "b");
    v.MapString(1, 1);
    v.SetUtilLength(2);
    c.bEchec = false;
    EXPECT_STREQ(v.pszGet(), "abc  ");
    EXPECT_EQ(v.pGet(), autre.pGet());
    CQSDSTRBase::bInit();
}

// Counts change atomically once the host declares threads: copies of one block
// released from two threads free it once.
TEST_F(QsdAlloc, ThreadsShareAndReleaseCopiesSafely) {
    int nMT = 1;
    GeneralParam(2006, &nMT);
    for (int tour = 0; tour < 20; ++tour) {
        CQSDSTR* pSource = new CQSDSTR(string(50, 's').c_str());
        std::vector<CQSDSTR> copies[2];
        for (auto& v : copies)
            for (int i = 0; i < 2000; ++i) v.push_back(*pSource);
        delete pSource;
        std::thread t1([&] { copies[0].clear(); });
        std::thread t2([&] { copies[1].clear(); });
        t1.join();
        t2.join();
    }
    // Without a per-thread cache, a thread uses plain malloc and free.
    CQSDSTR v("no cache in this thread");
    EXPECT_EQ(CStrMemAlloc::s_pclCourant()->nGetNbBlocs(104), 0u);
}

TEST_F(QsdAlloc, PerThreadCachesComeFromTheHostKey) {
    pthread_key_t cle;
    ASSERT_EQ(pthread_key_create(&cle, nullptr), 0);
    ASSERT_EQ(GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(cle))), 1);
    int nMT = 1;
    GeneralParam(2006, &nMT);
    unsigned nGardes[2] = {0, 0};
    auto travail = [&](int i) {
        CStrMemCache cache;
        pthread_setspecific(cle, &cache);
        for (int k = 0; k < 1000; ++k) {
            CQSDSTR a("thread text"), b(a);
            b.nConcat(string(200, 'x').c_str());
        }
        nGardes[i] = cache.nGetNbBlocs(104) + cache.nGetNbBlocs(1000);
        pthread_setspecific(cle, nullptr);
        cache.vSupprimeTout();
    };
    std::thread t1(travail, 0), t2(travail, 1);
    t1.join();
    t2.join();
    EXPECT_EQ(nGardes[0], 2u);
    EXPECT_EQ(nGardes[1], 2u);
    gbTLSOk = 0;
    pthread_key_delete(cle);
}

TEST(QsdExport, TheLauncherExportsGeneralParamOnly) {
    tqtest::stRESULTATPROCESSUS r = tqtest::Execute({"/usr/bin/nm", "-D", "--defined-only", tqtest::sBin("tqexe")});
    ASSERT_EQ(r.nStatut, 0) << r.sErreur;
    std::vector<string> tabNoms;
    for (const string& l : tqtest::tabLignes(r.sSortie)) {
        // Copy relocations of libc data (type B) are not the program's symbols.
        if (l.find(" T ") != string::npos || l.find(" D ") != string::npos) tabNoms.push_back(l.substr(l.rfind(' ') + 1));
    }
    ASSERT_EQ(tabNoms.size(), 1u) << r.sSortie;
    EXPECT_EQ(tabNoms[0], "GeneralParam");
}

namespace {

// A host's cache of its own class: its functions, not the lists, must be used.
class CCacheHote : public CStrMemCache {
public:
    unsigned char* vpRecupere(unsigned nCapacite) override {
        ++nPris;
        return CStrMemCache::vpRecupere(nCapacite);
    }
    int vbAjoute(unsigned char* pBloc) override {
        ++nRendus;
        return CStrMemCache::vbAjoute(pBloc);
    }
    int nPris = 0, nRendus = 0;
};

}  // namespace

// While threads run, new values of both classes come from the calling thread's
// cache and go back to it: a plain cache directly, a host's own class through
// its functions; a recycled block shows nothing of its last text.
TEST_F(QsdAlloc, ThreadCachesServeNewValuesAndTheirReleases) {
    pthread_key_t cle;
    ASSERT_EQ(pthread_key_create(&cle, nullptr), 0);
    ASSERT_EQ(GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(cle))), 1);
    int nMT = 1;
    GeneralParam(2006, &nMT);
    CStrMemCache simple;
    CCacheHote hote;
    for (CStrMemCache* c : {&simple, static_cast<CStrMemCache*>(&hote)}) {
        pthread_setspecific(cle, c);
        for (unsigned n : {20u, 600u}) {
            const unsigned nClasse = n <= 104 ? 104 : 1000;
            { CQSDSTR a(string(n, 'a').c_str()); }
            ASSERT_EQ(c->nGetNbBlocs(nClasse), 1u) << n;
            CQSDSTR b(string(n / 2, 'b').c_str());
            EXPECT_EQ(c->nGetNbBlocs(nClasse), 0u) << "the cached block is taken again";
            b.SetUtilLength(n);
            EXPECT_EQ(sOctets(b), string(n / 2, 'b') + string(n - n / 2, '\0'));
        }
        c->vSupprimeTout();
    }
    EXPECT_EQ(hote.nPris, 4);
    EXPECT_EQ(hote.nRendus, 4);
    pthread_setspecific(cle, nullptr);
    nMT = 0;
    GeneralParam(2006, nullptr);
    gbTLSOk = 0;
    pthread_key_delete(cle);
}

// The flag is read at each release: a block made in one-thread mode and
// released once threads run goes to the thread's cache, and back in
// one-thread mode a full cache sends the rest to free.
TEST_F(QsdAlloc, ReleasesFollowTheFlagOfTheMoment) {
    pthread_key_t cle;
    ASSERT_EQ(pthread_key_create(&cle, nullptr), 0);
    ASSERT_EQ(GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(cle))), 1);
    CStrMemAlloc* p = CStrMemAlloc::s_pclCourant();
    CStrMemCache cache;
    pthread_setspecific(cle, &cache);
    int nMT = 0;
    GeneralParam(2006, &nMT);
    {
        CQSDSTR a("made in one-thread mode"), b(string(600, 'b').c_str());
        nMT = 1;
    }
    EXPECT_EQ(cache.nGetNbBlocs(104), 1u);
    EXPECT_EQ(cache.nGetNbBlocs(1000), 1u);
    EXPECT_EQ(p->nGetNbBlocs(104), 0u);
    nMT = 0;
    {
        std::vector<CQSDSTR> v(QSD_CACHE_MAX + 5, CQSDSTR());
        for (CQSDSTR& s : v) ASSERT_EQ(s.nAssign("x"), QSD_OK);
    }
    EXPECT_EQ(p->nGetNbBlocs(104), QSD_CACHE_MAX);
    EXPECT_EQ(cache.nGetNbBlocs(104), 1u);
    CQSDSTR r("y");  // reuse from the own cache, clean past the text
    EXPECT_EQ(p->nGetNbBlocs(104), QSD_CACHE_MAX - 1);
    r.SetUtilLength(104);
    EXPECT_EQ(sOctets(r), "y" + string(103, '\0'));
    pthread_setspecific(cle, nullptr);
    cache.vSupprimeTout();
    gbTLSOk = 0;
    pthread_key_delete(cle);
}

namespace {

// Every byte past the used length, up to the capacity and the 4 after it, is
// zero: what growing a length shows.
bool bPropreApres(const CQSValeurBase& v) {
    if (!v.pGet()) return true;
    for (size_t i = v.nGetLength(); i < size_t{v.nGetCapacite()} + 4; ++i)
        if (v.pGet()[i] != 0) return false;
    return true;
}

// Fills a value's whole block with non-zero bytes as its last use, through
// the length, then releases it into the cache in use.
void Salit(unsigned nLen) {
    CQSDSTR v;
    ASSERT_EQ(v.nComplete(nLen, '\xAA'), QSD_OK);
}

}  // namespace

// Blocks are cleared when handed out only as far as their last use wrote;
// every way of making a value on a recycled block, with each cache mode, must
// still show zeros when its length grows to the capacity.
TEST_F(QsdAlloc, RecycledBlocksShowNoStaleBytesWhenTheLengthGrows) {
    pthread_key_t cle;
    ASSERT_EQ(pthread_key_create(&cle, nullptr), 0);
    ASSERT_EQ(GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(cle))), 1);
    CStrMemCache cacheThread;
    pthread_setspecific(cle, &cacheThread);
    const string s7(7, 's'), s300(300, 'm');
    const std::function<void(CQSDSTR&)> creations[] = {
        [&](CQSDSTR& v) { v = CQSDSTR(s7.c_str(), 7); },
        [&](CQSDSTR& v) { v = CQSDSTR(s7.c_str()); },
        [&](CQSDSTR& v) { v = CQSDSTR(s300.c_str(), 300); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nAssign("abc", 3), QSD_OK); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nSetLength(1), QSD_OK); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nSetLength(400), QSD_OK); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nPrintf("%d", 42), QSD_OK); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nAffecteToUNICODE("wide", 4), QSD_OK); },
        [&](CQSDSTR& v) { ASSERT_EQ(v.nAssignMultiple(2, "a", "b"), QSD_OK); },
        [&](CQSDSTR& v) {  // grown from the small class into a recycled medium block
            ASSERT_EQ(v.nAssign("abc", 3), QSD_OK);
            ASSERT_EQ(v.nSetLength(900), QSD_OK);
        },
        [&](CQSDSTR& v) {
            CQSBIN b(reinterpret_cast<const unsigned char*>("\x01\x02"), 2);
            ASSERT_EQ(v.nRecupereInit(&b), QSD_OK);
        },
    };
    int nMT = 0;
    for (int nMode = 0; nMode < 3; ++nMode) {
        GeneralParam(2006, nMode == 0 ? nullptr : &nMT);
        nMT = nMode == 2;
        for (size_t i = 0; i < sizeof(creations) / sizeof(creations[0]); ++i) {
            for (unsigned nSale : {104u, 60u, 1000u, 640u}) {
                Salit(nSale);
                CQSDSTR v;
                creations[i](v);
                ASSERT_TRUE(v.pGet()) << i;
                const string avant = sOctets(v);
                EXPECT_TRUE(bPropreApres(v)) << "mode " << nMode << " creation " << i << " after " << nSale;
                v.SetUtilLength(v.nGetCapacite());
                EXPECT_EQ(sOctets(v), avant + string(v.nGetCapacite() - avant.size(), '\0')) << nMode << " " << i;
            }
        }
        CStrMemAlloc::s_pclCourant()->vSupprimeTout();
        cacheThread.vSupprimeTout();
    }
    nMT = 0;
    GeneralParam(2006, nullptr);
    pthread_setspecific(cle, nullptr);
    gbTLSOk = 0;
    pthread_key_delete(cle);
}

// Growing a block by realloc, or into a recycled block, brings no stale byte;
// a block another allocator left in a thread's cache is cleared whole.
TEST_F(QsdAlloc, GrownAndForeignBlocksAreClean) {
    int nUnThread = 0;
    GeneralParam(2006, &nUnThread);
    Salit(1000);
    CQSDSTR v(string(90, 'v').c_str());
    ASSERT_EQ(v.nSetLength(500), QSD_OK);  // into the dirty recycled 1000 block
    EXPECT_TRUE(bPropreApres(v));
    ASSERT_EQ(v.nSetLength(5000), QSD_OK);  // realloc
    EXPECT_TRUE(bPropreApres(v));
    EXPECT_EQ(v.nGetLength(), 90u);
    GeneralParam(2006, nullptr);

    pthread_key_t cle;
    ASSERT_EQ(pthread_key_create(&cle, nullptr), 0);
    ASSERT_EQ(GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(cle))), 1);
    CStrMemCache cacheThread;
    pthread_setspecific(cle, &cacheThread);
    int nMT = 1;
    GeneralParam(2006, &nMT);
    {
        CCompteur c;  // another module's allocator, its blocks released into this thread's cache
        ASSERT_EQ(GeneralParam(2008, &c), 1);
        {
            CQSDSTR autre;
            ASSERT_EQ(autre.nComplete(100, '\xBB'), QSD_OK);
            autre.SetUtilLength(2);  // its length says less than the block holds
            memset(autre.pGet(), 0xCC, 104);  // written past its length, as a careless module may
        }
        EXPECT_EQ(cacheThread.nGetNbBlocs(104), 1u);
        CQSDSTRBase::bInit();
        CQSDSTR w("w");
        EXPECT_EQ(w.pclGetProprietaire(), &c);  // the block still goes back to its maker
        EXPECT_TRUE(bPropreApres(w));
        w.Release();
        cacheThread.vSupprimeTout();
    }
    GeneralParam(2006, nullptr);
    pthread_setspecific(cle, nullptr);
    gbTLSOk = 0;
    pthread_key_delete(cle);
}

// The header sits just before the data and, in the 64-bit tree, a block of
// the 1000-byte class stays within 1032 bytes (the C library's fast sizes).
TEST(QsdAllocLayout, HeaderAndBlockSizes) {
    CQSDSTRBase::bInit();
    CQSDSTR v(string(500, 'x').c_str());
    const unsigned char* p = v.pGet();
    ASSERT_TRUE(p);
    const _stQSDENTETE* e = QSD_pEntete(p);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(e) + QSD_TAILLE_ENTETE, p);
    EXPECT_EQ(e->nCapacite, 1000u);
    EXPECT_EQ(e->nUtilise, 500u);
    EXPECT_EQ(e->nRef, 1);
    EXPECT_EQ(e->dwFlags, QSD_GENRE_TEXTE);
    EXPECT_LE(QSD_CLASSE_MOYENNE + QSD_TAILLE_ENTETE + 4, sizeof(void*) == 8 ? 1032u : 1024u);
}
