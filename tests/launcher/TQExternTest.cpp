// The call interface for host programs, in-process, on the reference engine and
// its host variants; the example host programs run as processes.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cinttypes>
#include <cstring>
#include <functional>
#include <thread>

#include "LauncherFixture.h"
#include "launcher/TQExtern.h"

using namespace tqtest;
using namespace tqextern;

namespace {

std::string sHex(uintptr_t n)
{
    char sz[24];
    snprintf(sz, sizeof(sz), "0x%" PRIxPTR, n);
    return sz;
}

std::string sAppel(const std::string &sNom, const void *pContexte, const std::vector<TQARG> &tabArgs)
{
    std::string s = sNom + "(ctx=" + sHex(reinterpret_cast<uintptr_t>(pContexte));
    for (TQARG n : tabArgs)
        s += ", " + sHex(static_cast<uintptr_t>(n));
    return s + ")";
}

// A distinct value for every argument slot of every entry; in the 64-bit tree its
// upper half is set, so a value squeezed through 32 bits shows.
TQARG nValeur(int nEntree, int nSlot)
{
    uint64_t nBase = sizeof(TQARG) == 8 ? 0x1122334400000000ull : 0x11000000ull;
    return static_cast<TQARG>(nBase + static_cast<uint64_t>(nEntree) * 0x100 + static_cast<uint64_t>(nSlot) + 1);
}

class TQExtern : public ::testing::Test {
protected:
    void SetUp() override { setenv("TQE_RECORD_FILE", m_clRep.sFichier("record.log").c_str(), 1); }
    void TearDown() override
    {
        TQTerm();
        gdwOptionInit = 0;
        pTQSetContexte(nullptr);
        TQSetModule(nullptr);
        unsetenv("TQE_RECORD_FILE");
    }
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(m_clRep.sFichier("record.log"))); }
    void VideRecord() const { bEcritFichier(m_clRep.sFichier("record.log"), ""); }
    // Opens a script through the interface.
    void Ouvre(const std::string &sScript)
    {
        std::string sChemin = m_clRep.sFichier("app.TQL");
        ASSERT_TRUE(bEcritFichier(sChemin, sScript));
        ASSERT_EQ(nTQOuvreTQL(TQ_TEXTE(sChemin.c_str())), TQ_OK) << pszTQGetLastError();
    }

    CTempDir m_clRep;
};

// One forwarder: its entry, how to call it with distinct values, its context.
struct stAPPEL {
    eENTREE eEntree;
    int nArgs;
    std::function<intptr_t(const std::vector<TQARG> &)> fnAppel;
    bool bSansResultat = false;
    int nRepere = 0; // distinguishes the operation family sharing nQSEOperation
};

std::vector<stAPPEL> tabForwarders(_stQSECONTEXTE *pCtxMT)
{
    using V = const std::vector<TQARG> &;
    return {
        {eENTREE_OuvreTQL, 1, [](V a) { return nTQOuvreTQL(a[0]); }},
        {eENTREE_OuvreTQLNum, 2, [](V a) { return nTQOuvreTQLNum(a[0], a[1]); }},
        {eENTREE_FermeTQLNum, 1, [](V a) { TQFermeTQLNum(a[0]); return 0; }, true},
        {eENTREE_OuvreTQLRes, 2, [](V a) { return nTQOuvreTQLRes(a[0], a[1]); }},
        {eENTREE_FermeTQLRes, 2, [](V a) { TQFermeTQLRes(a[0], a[1]); return 0; }, true},
        {eENTREE_InitProjet, 1, [](V a) { return nTQInitProjet(a[0]); }},
        {eENTREE_SetCallback, 2, [](V a) { return nTQSetCallbackNext(a[0], a[1]); }},
        {eENTREE_SetCallbackModule, 2, [](V a) { return nTQSetCallbackModule(a[0], a[1]); }},
        {eENTREE_SetCompatible, 2, [](V a) { return nTQSetCallbackCompatible(a[0], a[1]); }},
        {eENTREE_SetPECallback, 2, [](V a) { return nTQSetPECallback(a[0], a[1]); }},
        {eENTREE_SetParent, 1, [](V a) { return nTQSetParentNext(a[0]); }},
        {eENTREE_SetRZContext, 1, [](V a) { return nTQSetRZContextNext(a[0]); }},
        {eENTREE_Execute, 1, [](V a) { return nTQExecuteEx(a[0]); }},
        {eENTREE_Evalue, 1, [](V a) { return nTQEvalue(a[0]); }},
        {eENTREE_Compile, 2, [](V a) { return nTQCompile(a[0], a[1]); }},
        {eENTREE_Empile, 2, [](V a) { return nTQEmpile(a[0], a[1]); }},
        {eENTREE_Empile, 2, [pCtxMT](V a) { return nTQMTEmpile(pCtxMT, a[0], a[1]); }, false, 1},
        {eENTREE_EmpileEx, 3, [](V a) { return nTQEmpileEx(a[0], a[1], a[2]); }},
        {eENTREE_Appelle, 4, [](V a) { return nTQAppelle(a[0], a[1], a[2], a[3]); }},
        {eENTREE_Appelle, 4, [pCtxMT](V a) { return nTQMTAppelle(pCtxMT, a[0], a[1], a[2], a[3]); }, false, 1},
        {eENTREE_LitVariableQS, 3, [](V a) { return nTQLitVariableQS(a[0], a[1], a[2]); }},
        {eENTREE_LitVariableQS, 3, [pCtxMT](V a) { return nTQMTLitVariableQS(pCtxMT, a[0], a[1], a[2]); }, false, 1},
        {eENTREE_EcritVariableQS, 3, [](V a) { return nTQEcritVariableQS(a[0], a[1], a[2]); }},
        {eENTREE_EcritVariableQS, 3, [pCtxMT](V a) { return nTQMTEcritVariableQS(pCtxMT, a[0], a[1], a[2]); }, false,
         1},
        {eENTREE_LitPropElem, 2, [](V a) { return nTQLitPropElem(a[0], a[1]); }},
        {eENTREE_LitPropElemAny, 3, [](V a) { return nTQLitPropElemAny(a[0], a[1], a[2]); }},
        {eENTREE_LitPropElemInd, 3, [](V a) { return nTQLitPropElemInd(a[0], a[1], a[2]); }},
        {eENTREE_LitPropElemAnyInd, 4, [](V a) { return nTQLitPropElemAnyInd(a[0], a[1], a[2], a[3]); }},
        {eENTREE_LitPropElemInd2, 4, [](V a) { return nTQLitPropElemInd2(a[0], a[1], a[2], a[3]); }},
        {eENTREE_LitPropElemAnyInd2, 5, [](V a) { return nTQLitPropElemAnyInd2(a[0], a[1], a[2], a[3], a[4]); }},
        {eENTREE_EcritPropElem, 2, [](V a) { return nTQEcritPropElem(a[0], a[1]); }},
        {eENTREE_EcritPropElemInd, 3, [](V a) { return nTQEcritPropElemInd(a[0], a[1], a[2]); }},
        {eENTREE_EcritPropElemInd2, 4, [](V a) { return nTQEcritPropElemInd2(a[0], a[1], a[2], a[3]); }},
        {eENTREE_ChampExiste, 2, [](V a) { return nTQChampExiste(a[0], a[1]); }},
        {eENTREE_GetRZContext, 1, [](V a) { return nTQGetRZContext(a[0]); }},
        {eENTREE_GetVMData, 1, [](V a) { return nTQGetVMData(a[0]); }},
        {eENTREE_GetLibShop, 1, [](V a) { return nTQGetLibShop(a[0]); }},
        {eENTREE_GetIEXE, 1, [](V a) { return nTQGetIEXE(a[0]); }},
        {eENTREE_GetContexteElement, 0, [](V) { return reinterpret_cast<intptr_t>(pTQGetContexteElement()); }},
        {eENTREE_ModifieContexteElement, 1,
         [](V a) { return reinterpret_cast<intptr_t>(pTQModifieContexteElement(a[0])); }},
        {eENTREE_RestaureContexteElement, 1,
         [](V a) { return reinterpret_cast<intptr_t>(pTQRestaureContexteElement(a[0])); }},
        {eENTREE_LitPropSousElem, 4, [](V a) { return nTQLitPropSousElem(a[0], a[1], a[2], a[3]); }},
        {eENTREE_EcritPropSousElem, 4, [](V a) { return nTQEcritPropSousElem(a[0], a[1], a[2], a[3]); }},
        {eENTREE_LitPropSousElemInd, 5, [](V a) { return nTQLitPropSousElemInd(a[0], a[1], a[2], a[3], a[4]); }},
        {eENTREE_EcritPropSousElemInd, 5,
         [](V a) { return nTQEcritPropSousElemInd(a[0], a[1], a[2], a[3], a[4]); }},
        {eENTREE_GetVM, 1, [](V a) { return nTQGetVM(a[0]); }},
        {eENTREE_Operation, 1, [](V a) { return nTQMessTraduit(a[0]); }, false, TQ_QSEOP_MESSTRADUIT},
        {eENTREE_Operation, 2, [](V a) { return nTQMessTraduitElement(a[0], a[1]); }, false,
         TQ_QSEOP_MESSTRADUITELEMENT},
        {eENTREE_Operation, 1, [](V a) { return nTQEmpileMessTraduit(a[0]); }, false, TQ_QSEOP_EMPILEMESSTRADUIT},
        {eENTREE_Operation, 2, [](V a) { return nTQEmpileMessTraduitElement(a[0], a[1]); }, false,
         TQ_QSEOP_EMPILEMESSTRADUITELEMENT},
        {eENTREE_Reprise, 0, [](V) { return TQRepriseErreur(); }},
        {eENTREE_Reprise, 0, [pCtxMT](V) { return TQMTRepriseErreur(pCtxMT); }, false, 1},
    };
}

bool bEstPointeur(eENTREE e)
{
    return e == eENTREE_GetContexteElement || e == eENTREE_ModifieContexteElement ||
           e == eENTREE_RestaureContexteElement;
}

bool bEstOptionnel(eENTREE e)
{
    return e >= eENTREE_NB_REQUISES && e != eENTREE_OPMT;
}

} // namespace

TEST_F(TQExtern, EveryForwarderBeforeInitialisationCallsNothing)
{
    _stQSECONTEXTE stAutre = {};
    for (const stAPPEL &st : tabForwarders(&stAutre)) {
        std::vector<TQARG> tabArgs;
        for (int i = 0; i < st.nArgs; ++i)
            tabArgs.push_back(nValeur(st.eEntree, i));
        intptr_t n = st.fnAppel(tabArgs);
        SCOPED_TRACE(gtabNomsEntrees[st.eEntree]);
        if (st.bSansResultat)
            continue;
        EXPECT_EQ(n, bEstPointeur(st.eEntree) || st.eEntree == eENTREE_Reprise ? 0 : TQ_ERR_NONINIT);
    }
    EXPECT_EQ(nTQExecute("return %d", 1), TQ_ERR_NONINIT);
    EXPECT_EQ(pTQMTInitThread(), nullptr);
    EXPECT_EQ(wTQGetTypeValeurRetour(), 0);
    EXPECT_STREQ(pszTQGetValeurRetour(), "");
    EXPECT_STREQ(pszTQGetLastError(), "");
    EXPECT_EQ(pbyTQGetValeurRetour(), nullptr);
    EXPECT_EQ(pTQGetContexte(), &gstQSELocalCtx);
    EXPECT_TRUE(tabRecord().empty());
}

TEST_F(TQExtern, EveryForwarderPassesItsContextArgumentsAndResult)
{
    ASSERT_EQ(nTQInitFromName(sMoteur("host_record").c_str(), nullptr), TQ_OK);
    _stQSECONTEXTE stAutre = {};
    // A context made current stands in for the process's own one.
    _stQSECONTEXTE stCourant = {};
    pTQSetContexte(&stCourant);
    for (const stAPPEL &st : tabForwarders(&stAutre)) {
        SCOPED_TRACE(std::string(gtabNomsEntrees[st.eEntree]) + " " + std::to_string(st.nRepere));
        std::vector<TQARG> tabArgs, tabAttendus;
        for (int i = 0; i < st.nArgs; ++i)
            tabArgs.push_back(nValeur(st.eEntree * 8 + st.nRepere, i));
        tabAttendus = tabArgs;
        if (st.eEntree == eENTREE_Operation) {
            // nQSEOperation: the operation code, the text, the element or 0.
            tabAttendus.insert(tabAttendus.begin(), st.nRepere);
            if (tabAttendus.size() < 3)
                tabAttendus.push_back(0);
        }
        const void *pCtx = st.nRepere == 1 && st.eEntree != eENTREE_Operation ? &stAutre : &stCourant;
        VideRecord();
        intptr_t n = st.fnAppel(tabArgs);
        EXPECT_EQ(tabRecord(), std::vector<std::string>({sAppel(gtabNomsEntrees[st.eEntree], pCtx, tabAttendus)}));
        if (!st.bSansResultat) {
            EXPECT_EQ(n, 100 + st.eEntree);
        }
    }
    // An MT twin given no context uses the current one.
    VideRecord();
    EXPECT_EQ(nTQMTEmpile(nullptr, 1, 2), 100 + eENTREE_Empile);
    EXPECT_EQ(tabRecord(), std::vector<std::string>({sAppel("nQSEEmpile", &stCourant, {1, 2})}));
    // nTQExecute formats, then forwards to nQSEExecute.
    VideRecord();
    EXPECT_EQ(nTQExecute("%s", ""), TQ_ERR_TEXTEVIDE);
    EXPECT_TRUE(tabRecord().empty());
    EXPECT_EQ(nTQExecute("x %d", 5), 100 + eENTREE_Execute);
    ASSERT_EQ(tabRecord().size(), 1u);
    EXPECT_EQ(tabRecord()[0].rfind("nQSEExecute(ctx=" + sHex(reinterpret_cast<uintptr_t>(&stCourant)), 0), 0u);
}

TEST_F(TQExtern, InitialisationOutcomes)
{
    struct stCAS {
        std::string sVariante;
        int nAttendu;
        bool bTermLibrary; // the library initialised and was told it is not used
    } tabCas[] = {
        {"no_init", TQ_ERR_ENTREE, false},          {"init_false", TQ_ERR_REFUS, false},
        {"host_no_initex", TQ_ERR_ENTREE, false},   {"host_initex_fails", 37, true},
        {"host_no_last", TQ_ERR_ENTREE, true},
    };
    for (const stCAS &st : tabCas) {
        SCOPED_TRACE(st.sVariante);
        VideRecord();
        EXPECT_EQ(nTQInitFromName(sMoteur(st.sVariante).c_str(), nullptr), st.nAttendu);
        EXPECT_EQ(ghDLLVM, nullptr);
        for (void *p : gtabEntrees)
            EXPECT_EQ(p, nullptr);
        EXPECT_EQ(nTQOuvreTQL(TQ_TEXTE("x")), TQ_ERR_NONINIT);
        // What the interface opened, it closed.
        EXPECT_EQ(dlopen(sMoteur(st.sVariante).c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
        std::vector<std::string> tab = tabRecord();
        EXPECT_EQ(std::count(tab.begin(), tab.end(), "TermLibrary()"), st.bTermLibrary ? 1 : 0);
        // Nothing of a closed engine stays in the own context.
        EXPECT_EQ(gstQSELocalCtx.pMoteur, nullptr);
        EXPECT_EQ(gstQSELocalErreur.pszTexte, nullptr);
    }
    // A library that does not open: 2, and the own context is current again, as
    // with a null handle.
    _stQSECONTEXTE stHote = {};
    const std::string sAbsent = m_clRep.sFichier("absent.so");
    for (const char *pszChemin : {sAbsent.c_str(), static_cast<const char *>(nullptr), ""}) {
        pTQSetContexte(&stHote);
        EXPECT_EQ(nTQInitFromName(pszChemin, nullptr), TQ_ERR_LIBRAIRIE);
        EXPECT_EQ(pTQGetContexte(), &gstQSELocalCtx);
    }
    pTQSetContexte(&stHote);
    EXPECT_EQ(nTQInitFromInstance(nullptr, nullptr), TQ_ERR_LIBRAIRIE);
    EXPECT_EQ(pTQGetContexte(), &gstQSELocalCtx);
}

TEST_F(TQExtern, InitialisationRecordOptionsAndSecondInit)
{
    int nDonnees = 0;
    EXPECT_EQ(TQActiveOption(4), 4);
    EXPECT_EQ(TQActiveOption(0x10), 0x10);
    // nTQInit opens ./tq150vm.so.
    ASSERT_TRUE(bCopieFichier(sMoteur("record"), m_clRep.sFichier("tq150vm.so")));
    char szAvant[4096];
    ASSERT_NE(getcwd(szAvant, sizeof(szAvant)), nullptr);
    ASSERT_EQ(chdir(m_clRep.sChemin().c_str()), 0);
    int nResultat = nTQInit(&nDonnees);
    int nSecond = nTQInit(nullptr);
    ASSERT_EQ(chdir(szAvant), 0);
    EXPECT_EQ(nResultat, TQ_OK);
    EXPECT_EQ(nSecond, TQ_OK);
    std::vector<std::string> tab = tabRecord();
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[0], "bInitLibrary(self)");
    // The record: version, size, data pointer, options (its own address varies).
    std::string sFin = ", " + sHex(TQ_QSE_VERSION) + ", " + sHex(sizeof(_stQSEINIT)) + ", " +
                       sHex(reinterpret_cast<uintptr_t>(&nDonnees)) + ", 0x14)";
    EXPECT_EQ(tab[1].substr(tab[1].size() - sFin.size()), sFin);
    EXPECT_EQ(tab[1].rfind("nQSEInitEx(ctx=" + sHex(reinterpret_cast<uintptr_t>(&gstQSELocalCtx)) + ", ", 0), 0u);
    // The own context is valid: its markers, its records.
    EXPECT_EQ(gstQSELocalCtx.wDebut, TQ_QSE_DEBUT);
    EXPECT_EQ(gstQSELocalCtx.wVersion, TQ_QSE_VERSION);
    EXPECT_EQ(gstQSELocalCtx.wFin, TQ_QSE_FIN);
    EXPECT_TRUE(gbDLLVM);
    for (int i = 0; i < eENTREE_NB; ++i)
        EXPECT_NE(gtabEntrees[i], nullptr) << gtabNomsEntrees[i];
    TQTerm();
    EXPECT_EQ(tabRecord().back(), "TermLibrary()");
    EXPECT_EQ(tabRecord()[tabRecord().size() - 2], sAppel("QSETerm", &gstQSELocalCtx, {}));
    EXPECT_EQ(dlopen((m_clRep.sFichier("tq150vm.so")).c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    for (void *p : gtabEntrees)
        EXPECT_EQ(p, nullptr);
    // Explicit options replace the accumulated ones.
    VideRecord();
    HINSTANCE h = dlopen(sMoteur("record").c_str(), RTLD_NOW);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(nTQInitFromInstanceEx(h, nullptr, 0x300), TQ_OK);
    EXPECT_FALSE(gbDLLVM);
    EXPECT_NE(tabRecord()[1].find(", 0x300)"), std::string::npos);
    TQTerm();
    // The caller's library stays open.
    EXPECT_NE(dlsym(h, "nQSEInitEx"), nullptr);
    EXPECT_EQ(dlclose(h), 0);
}

TEST_F(TQExtern, OptionalEntriesAbsent)
{
    ASSERT_EQ(nTQInitFromName(sMoteur("host_no_optional").c_str(), nullptr), TQ_OK);
    for (int i = eENTREE_NB_REQUISES; i < eENTREE_NB; ++i)
        EXPECT_EQ(gtabEntrees[i], nullptr) << gtabNomsEntrees[i];
    _stQSECONTEXTE stAutre = {};
    for (const stAPPEL &st : tabForwarders(&stAutre)) {
        if (!bEstOptionnel(st.eEntree))
            continue;
        SCOPED_TRACE(gtabNomsEntrees[st.eEntree]);
        std::vector<TQARG> tabArgs(static_cast<size_t>(st.nArgs), 0);
        bool bUn = st.eEntree == eENTREE_GetVM || st.eEntree == eENTREE_Operation;
        EXPECT_EQ(st.fnAppel(tabArgs), bUn ? 1 : TQ_ERR_NONINIT);
    }
    EXPECT_EQ(pTQMTInitThread(), nullptr);
    TQTerm();
    ASSERT_EQ(nTQInitFromName(sMoteur("host_opmt_refuses").c_str(), nullptr), TQ_OK);
    EXPECT_EQ(pTQMTInitThread(), nullptr);
}

TEST_F(TQExtern, GettersReadTheirOffsets)
{
    ASSERT_EQ(nTQInitFromName(sMoteur("host_record").c_str(), nullptr), TQ_OK);
    const bool b32 = sizeof(void *) == 4;
    struct {
        size_t nType, nValeur, nI64, nReel, nTexte, nBinaire, nNull;
    } stOff = {0, b32 ? 2u : 4u, b32 ? 6u : 8u, b32 ? 14u : 16u, b32 ? 22u : 24u, b32 ? 26u : 32u, b32 ? 30u : 40u};
    static const char szTexte[] = "text";
    static const unsigned char tabOctets[] = {1, 2, 3};
    const char *pszTexte = szTexte;
    const unsigned char *pby = tabOctets;
    int16_t wType = TQTYPE_REEL;
    int32_t nValeur = -7, bNull = 1;
    int64_t i64 = -0x123456789ll;
    double d = 2.5;
    auto Remplit = [&](_stQSEVALEURRETOUR *p) {
        unsigned char *pOctets = reinterpret_cast<unsigned char *>(p);
        memcpy(pOctets + stOff.nType, &wType, 2);
        memcpy(pOctets + stOff.nValeur, &nValeur, 4);
        memcpy(pOctets + stOff.nI64, &i64, 8);
        memcpy(pOctets + stOff.nReel, &d, 8);
        memcpy(pOctets + stOff.nTexte, &pszTexte, sizeof(pszTexte));
        memcpy(pOctets + stOff.nBinaire, &pby, sizeof(pby));
        memcpy(pOctets + stOff.nNull, &bNull, 4);
    };
    Remplit(&gstQSELocalValeurRetour);
    unsigned char *pErr = reinterpret_cast<unsigned char *>(&gstQSELocalErreur);
    int32_t nCode = 77;
    memcpy(pErr, &nCode, 4);
    memcpy(pErr + (b32 ? 4 : 8), &pszTexte, sizeof(pszTexte));
    EXPECT_EQ(wTQGetTypeValeurRetour(), TQTYPE_REEL);
    EXPECT_EQ(nTQGetValeurRetour(), -7);
    EXPECT_EQ(bTQGetValeurRetour(), -7);
    EXPECT_EQ(nTQLongueurValeurRetour(), -7);
    EXPECT_EQ(i64TQGetValeurRetour(), -0x123456789ll);
    EXPECT_EQ(dTQGetValeurRetour(), 2.5);
    EXPECT_EQ(pszTQGetValeurRetour(), szTexte);
    EXPECT_EQ(pbyTQGetValeurRetour(), tabOctets);
    EXPECT_EQ(bTQValeurRetourNULL(), 1);
    EXPECT_EQ(nTQGetLastError(), 77);
    EXPECT_EQ(pszTQGetLastError(), szTexte);

    // An MT context reads its own records; null means the current context.
    TQSetModule(&nCode);
    _stQSECONTEXTE *pCtx = pTQMTInitThread();
    ASSERT_NE(pCtx, nullptr);
    EXPECT_EQ(pCtx->pModule, &nCode);
    EXPECT_EQ(pCtx->wDebut, TQ_QSE_DEBUT);
    EXPECT_EQ(pCtx->wFin, TQ_QSE_FIN);
    EXPECT_EQ(nTQMTGetValeurRetour(pCtx), 0);
    EXPECT_EQ(nTQMTGetValeurRetour(nullptr), -7);
    nValeur = 99;
    Remplit(pCtx->pValeurRetour);
    EXPECT_EQ(nTQMTGetValeurRetour(pCtx), 99);
    EXPECT_EQ(dTQMTGetValeurRetour(pCtx), 2.5);
    EXPECT_EQ(i64TQMTGetValeurRetour(pCtx), -0x123456789ll);
    EXPECT_EQ(wTQMTGetTypeValeurRetour(pCtx), TQTYPE_REEL);
    EXPECT_EQ(pszTQMTGetValeurRetour(pCtx), szTexte);
    EXPECT_EQ(pbyTQMTGetValeurRetour(pCtx), tabOctets);
    EXPECT_EQ(bTQMTValeurRetourNULL(pCtx), 1);
    EXPECT_EQ(bTQMTGetValeurRetour(pCtx), 99);
    EXPECT_EQ(nTQMTLongueurValeurRetour(pCtx), 99);
    EXPECT_EQ(nTQMTGetLastError(pCtx), 0);
    EXPECT_STREQ(pszTQMTGetLastError(pCtx), "");
    // Terminating a context that is current makes the own one current again; null
    // and the process's context are not freed.
    EXPECT_EQ(pTQSetContexte(pCtx), &gstQSELocalCtx);
    TQMTTermThread(nullptr);
    TQMTTermThread(&gstQSELocalCtx);
    TQMTTermThread(pCtx);
    EXPECT_EQ(pTQGetContexte(), &gstQSELocalCtx);
    // After TQTerm every getter answers empty values.
    TQTerm();
    EXPECT_EQ(nTQGetValeurRetour(), 0);
    EXPECT_EQ(dTQGetValeurRetour(), 0.0);
    EXPECT_STREQ(pszTQGetValeurRetour(), "");
    EXPECT_EQ(pbyTQGetValeurRetour(), nullptr);
    EXPECT_EQ(nTQGetLastError(), 0);
    EXPECT_EQ(gstQSELocalValeurRetour.pszValeur, nullptr);
}

// The functional engine: scripts, typed arguments, every result field, errors.
TEST_F(TQExtern, ProceduresVariablesPropertiesAndErrors)
{
    ASSERT_EQ(nTQInitFromName(sMoteur("record").c_str(), nullptr), TQ_OK);
    Ouvre("set base 10\nsetprop form.title \"Main\"\nproc Echo v\n  return v\nend\n"
          "proc Add a b\n  return a + b + base\nend\nproc Fails\n  fail 55 \"no \" + \"way\"\nend\n");
    static const char tabBinaire[] = {'a', '\0', 'b'};
    int64_t n64 = INT64_C(0x7000000000000001);
    double dReel = -0.25;
    struct stCAS {
        const char *pszNom;
        std::function<int()> fnEmpile;
        uint16_t wType;
        int32_t nValeur;
        int64_t i64;
        double d;
        const char *pszTexte; // null: no text
        std::string sOctets;
        int bNull;
    } tabCas[] = {
        {"bool", [] { return nTQEmpile(TQTYPE_BOOLEEN, 5); }, TQTYPE_BOOLEEN, 1, 1, 1.0, "true", "", 0},
        {"int", [] { return nTQEmpile(TQTYPE_ENTIER, -3); }, TQTYPE_ENTIER, -3, -3, -3.0, "-3", "", 0},
        {"int64", [&] { return nTQEmpile(TQTYPE_ENTIER64, TQ_POINTEUR(&n64)); }, TQTYPE_ENTIER64, 0, n64,
         static_cast<double>(n64), "8070450532247928833", "", 0},
        {"double", [&] { return nTQEmpile(TQTYPE_REEL, TQ_POINTEUR(&dReel)); }, TQTYPE_REEL, 0, 0, -0.25, "-0.25",
         "", 0},
        {"text", [] { return nTQEmpile(TQTYPE_TEXTE, TQ_TEXTE("h\xE9")); }, TQTYPE_TEXTE, 2, 2, 0.0, "h\xE9",
         "h\xE9", 0},
        {"text with length", [] { return nTQEmpileEx(TQTYPE_TEXTE, TQ_TEXTE("hello"), 4); }, TQTYPE_TEXTE, 4, 4,
         0.0, "hell", "hell", 0},
        {"binary", [] { return nTQEmpileEx(TQTYPE_BINAIRE, TQ_POINTEUR(tabBinaire), 3); }, TQTYPE_BINAIRE, 3, 3,
         0.0, nullptr, std::string(tabBinaire, 3), 0},
        {"null", [] { return nTQEmpile(TQTYPE_AUCUN, 0); }, TQTYPE_AUCUN, 0, 0, 0.0, "", "", 1},
    };
    for (const stCAS &st : tabCas) {
        SCOPED_TRACE(st.pszNom);
        ASSERT_EQ(st.fnEmpile(), TQ_OK);
        ASSERT_EQ(nTQAppelle(TQ_TEXTE("Echo"), 1, 0, 0), TQ_OK) << pszTQGetLastError();
        EXPECT_EQ(wTQGetTypeValeurRetour(), st.wType);
        EXPECT_EQ(nTQGetValeurRetour(), st.nValeur);
        EXPECT_EQ(i64TQGetValeurRetour(), st.i64);
        EXPECT_EQ(dTQGetValeurRetour(), st.d);
        EXPECT_STREQ(pszTQGetValeurRetour(), st.pszTexte ? st.pszTexte : "");
        if (!st.sOctets.empty()) {
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(pbyTQGetValeurRetour()), st.sOctets.size()),
                      st.sOctets);
        }
        EXPECT_EQ(bTQValeurRetourNULL(), st.bNull);
        EXPECT_EQ(nTQGetLastError(), 0);
    }

    // Two arguments, a variable of the script; the stack empties.
    EXPECT_EQ(nTQEmpile(TQTYPE_ENTIER, 30), TQ_OK);
    EXPECT_EQ(nTQEmpile(TQTYPE_ENTIER, 2), TQ_OK);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Add"), 2, 0, 0), TQ_OK);
    EXPECT_EQ(nTQGetValeurRetour(), 42);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Add"), 1, 0, 0), TQ_ERR_ARGUMENT);

    // Variables and evaluation.
    EXPECT_EQ(nTQEcritVariableQS(TQ_TEXTE("x"), TQTYPE_ENTIER, 21), TQ_OK);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("x * 2 + 0.5")), TQ_OK);
    EXPECT_EQ(dTQGetValeurRetour(), 42.5);
    EXPECT_EQ(nTQExecute("set y \"%s\"\nreturn y + x", std::string(20000, 'z').c_str()), TQ_OK);
    EXPECT_EQ(nTQLongueurValeurRetour(), 20002); // formatted whole, never cut
    EXPECT_EQ(nTQLitVariableQS(TQ_TEXTE("x"), 0, 0), TQ_OK);
    EXPECT_EQ(nTQGetValeurRetour(), 21);
    EXPECT_EQ(nTQCompile(TQ_TEXTE("set z (1 +"), 0), TQ_ERR_SYNTAXE);

    // Properties: pushed value written, read back, indexed, element context.
    EXPECT_EQ(nTQLitPropElem(TQ_TEXTE("form"), TQ_TEXTE("title")), TQ_OK);
    EXPECT_STREQ(pszTQGetValeurRetour(), "Main");
    EXPECT_EQ(nTQEmpile(TQTYPE_ENTIER, 8), TQ_OK);
    EXPECT_EQ(nTQEcritPropElemInd(TQ_TEXTE("grid"), TQ_TEXTE("cell"), 3), TQ_OK);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("grid.cell[3]")), TQ_OK);
    EXPECT_EQ(nTQGetValeurRetour(), 8);
    EXPECT_EQ(nTQChampExiste(TQ_TEXTE("grid"), TQ_TEXTE("cell")), TQ_OK);
    EXPECT_EQ(bTQGetValeurRetour(), 0);
    void *pAvant = pTQModifieContexteElement(TQ_TEXTE("form"));
    EXPECT_EQ(nTQLitPropElem(0, TQ_TEXTE("title")), TQ_OK);
    EXPECT_STREQ(pszTQGetValeurRetour(), "Main");
    pTQRestaureContexteElement(TQ_POINTEUR(pAvant));
    EXPECT_EQ(nTQLitPropElem(0, TQ_TEXTE("title")), TQ_ERR_ARGUMENT);

    // Errors: code and text in the error record, the callback, TQRepriseErreur.
    struct stVU {
        int nCode = 0;
        std::string sTexte;
        TQARG nParam = 0;
        TQCONTEXTE *pCtx = nullptr;
    } stVu;
    PFN_TQCALLBACKERREUR pfn = [](TQCONTEXTE *pCtx, int nCode, const char *pszTexte, TQARG nParam) {
        stVU *p = reinterpret_cast<stVU *>(nParam);
        p->nCode = nCode;
        p->sTexte = pszTexte;
        p->nParam = nParam;
        p->pCtx = pCtx;
        return 0;
    };
    EXPECT_EQ(nTQSetCallbackNext(TQ_POINTEUR(reinterpret_cast<void *>(pfn)), TQ_POINTEUR(&stVu)), TQ_OK);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Fails"), 0, 0, 0), 55);
    EXPECT_EQ(nTQGetLastError(), 55);
    EXPECT_STREQ(pszTQGetLastError(), "no way");
    EXPECT_EQ(stVu.nCode, 55);
    EXPECT_EQ(stVu.sTexte, "no way");
    EXPECT_EQ(stVu.pCtx, &gstQSELocalCtx);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Nobody"), 0, 0, 0), TQ_ERR_PROCEDURE);
    EXPECT_EQ(stVu.nCode, TQ_ERR_PROCEDURE);
    EXPECT_EQ(TQRepriseErreur(), TQ_OK);
    EXPECT_EQ(nTQGetLastError(), 0);
    EXPECT_EQ(nTQEmpile(99, 0), TQ_ERR_TYPE);
    EXPECT_EQ(nTQOuvreTQL(TQ_TEXTE("/nonexistent/app.TQL")), TQ_ERR_FICHIER);

    // A numbered application closes with its procedures.
    std::string sAutre = m_clRep.sFichier("other.TQL");
    ASSERT_TRUE(bEcritFichier(sAutre, "proc Other\n  return 1\nend\n"));
    EXPECT_EQ(nTQOuvreTQLNum(TQ_TEXTE(sAutre.c_str()), 7), TQ_OK);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Other"), 0, 0, 0), TQ_OK);
    TQFermeTQLNum(7);
    EXPECT_EQ(nTQAppelle(TQ_TEXTE("Other"), 0, 0, 0), TQ_ERR_PROCEDURE);
    int nDonnees = 0;
    TQARG nSortie = 0;
    EXPECT_EQ(nTQGetVM(TQ_POINTEUR(&nSortie)), TQ_OK);
    EXPECT_EQ(nSortie, 15);
    EXPECT_EQ(nTQGetVMData(TQ_POINTEUR(&nSortie)), TQ_OK);
    EXPECT_EQ(nSortie, 0);
    (void)nDonnees;
    EXPECT_EQ(nTQMessTraduit(TQ_TEXTE("Hello")), TQ_OK);
    EXPECT_STREQ(pszTQGetValeurRetour(), "Hello");
}

TEST_F(TQExtern, RunawayScriptsEndWithAnError)
{
    ASSERT_EQ(nTQInitFromName(sMoteur().c_str(), nullptr), TQ_OK);
    // Wide: each level calls the next twice, 2^18 calls in all, never deeper than 18.
    std::string sWide = "proc Wide n\n  return W1() + W1()\nend\nproc W18\n  return 1\nend\n";
    for (int i = 1; i < 18; ++i)
        sWide += "proc W" + std::to_string(i) + "\n  return W" + std::to_string(i + 1) + "() + W" +
                 std::to_string(i + 1) + "()\nend\n";
    // Nested: parentheses and signs deeper than the stack could take, and a
    // procedure nesting them 200 deep on every one of its levels.
    const std::string sParens = std::string(3000, '(') + "1" + std::string(3000, ')');
    const std::string sSignes = std::string(3000, '-') + "1";
    const std::string sNiveau = std::string(200, '(') + "Nest(n)" + std::string(200, ')');
    Ouvre("proc Deep\n  return Deep()\nend\nproc Grow s\n  return Grow(s + s)\nend\n"
          "proc Big\n  return 9223372036854775807L + 1\nend\n"
          "proc Nest n\n  return " + sNiveau + "\nend\nproc Fine s\n  return " + std::string(100, '(') + "-" +
          std::string(100, '-') + "2" + std::string(100, ')') + "\nend\n" + sWide);
    struct {
        const char *pszProc;
        int nCode;
        const char *pszTexte;
    } tabCas[] = {
        {"Deep", TQ_ERR_ARGUMENT, "procedures nested too deeply"},
        {"Grow", TQ_ERR_ARGUMENT, "text longer than 16 MB"},
        {"Wide", TQ_ERR_ARGUMENT, "too many procedure calls"},
        {"Big", TQ_ERR_TYPE, "integer overflow"},
        {"Nest", TQ_ERR_ARGUMENT, "expression nested too deeply"},
    };
    for (const auto &st : tabCas) {
        EXPECT_EQ(nTQEmpile(TQTYPE_TEXTE, TQ_TEXTE("ab")), TQ_OK);
        EXPECT_EQ(nTQAppelle(TQ_TEXTE(st.pszProc), 1, 0, 0), st.nCode) << st.pszProc;
        EXPECT_STREQ(pszTQGetLastError(), st.pszTexte);
    }
    for (const std::string &sExpr : {sParens, sSignes}) {
        EXPECT_EQ(nTQEvalue(TQ_TEXTE(sExpr.c_str())), TQ_ERR_ARGUMENT);
        EXPECT_STREQ(pszTQGetLastError(), "expression nested too deeply");
    }
    // Reals no 64-bit integer holds: int64() refuses them, a result's integer views are 0.
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("int64(10000000000.0 * 10000000000.0)")), TQ_ERR_TYPE);
    EXPECT_STREQ(pszTQGetLastError(), "integer overflow");
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("int64(0.0 - 9223372036854775808.0)")), TQ_OK);
    EXPECT_EQ(i64TQGetValeurRetour(), INT64_MIN);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("10000000000.0 * 10000000000.0")), TQ_OK);
    EXPECT_EQ(i64TQGetValeurRetour(), 0);
    EXPECT_EQ(dTQGetValeurRetour(), 1e20);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("0.0 - 12345678901.5")), TQ_OK);
    EXPECT_EQ(i64TQGetValeurRetour(), -12345678901);
    EXPECT_EQ(nTQGetValeurRetour(), 0);
    // Nesting within the bound still computes, and the count starts again at every call.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(nTQEmpile(TQTYPE_TEXTE, TQ_TEXTE("ab")), TQ_OK);
        EXPECT_EQ(nTQAppelle(TQ_TEXTE("Fine"), 1, 0, 0), TQ_OK);
        EXPECT_EQ(nTQGetValeurRetour(), -2);
    }
}

TEST_F(TQExtern, HostContextsAndContextsThatOutliveTheEngine)
{
    ASSERT_EQ(nTQInitFromName(sMoteur("record").c_str(), nullptr), TQ_OK);
    // A context of the host's own making, with its own records.
    _stQSEVALEURRETOUR stValeur = {};
    _stQSEERREUR stErreur = {};
    _stQSECONTEXTE stCtx = {};
    stCtx.pValeurRetour = &stValeur;
    stCtx.pErreur = &stErreur;
    EXPECT_EQ(pTQSetContexte(&stCtx), &gstQSELocalCtx);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("\"a\" + 1")), TQ_OK);
    EXPECT_STREQ(stValeur.pszValeur, "a1");
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("nothing")), TQ_ERR_VARIABLE);
    EXPECT_EQ(stErreur.nCode, TQ_ERR_VARIABLE);
    EXPECT_EQ(pTQSetContexte(nullptr), &stCtx);
    EXPECT_EQ(nTQGetLastError(), 0); // the own context saw none of it
    // Errors stay in the context that made them.
    _stQSECONTEXTE *pCtx = pTQMTInitThread();
    ASSERT_NE(pCtx, nullptr);
    EXPECT_EQ(nTQMTAppelle(pCtx, TQ_TEXTE("none"), 0, 0, 0), TQ_ERR_PROCEDURE);
    EXPECT_EQ(nTQMTGetLastError(pCtx), TQ_ERR_PROCEDURE);
    EXPECT_EQ(nTQGetLastError(), 0);
    EXPECT_EQ(TQMTRepriseErreur(pCtx), TQ_OK);
    EXPECT_EQ(nTQMTGetLastError(pCtx), 0);
    // A context terminated after the engine is gone is still freed, without the engine.
    TQTerm();
    VideRecord();
    TQMTTermThread(pCtx);
    EXPECT_TRUE(tabRecord().empty());
    // Initialised again, the host's context (holding a stale engine pointer) still works.
    ASSERT_EQ(nTQInitFromName(sMoteur("record").c_str(), nullptr), TQ_OK);
    pTQSetContexte(&stCtx);
    EXPECT_EQ(nTQEvalue(TQ_TEXTE("2 * 3")), TQ_OK);
    EXPECT_EQ(stValeur.nValeur, 6);
    pTQSetContexte(nullptr);
}

TEST_F(TQExtern, ThreadsWithTheirOwnContexts)
{
    ASSERT_EQ(nTQInitFromName(sMoteur().c_str(), nullptr), TQ_OK);
    Ouvre("proc Mul a b\n  return a * b\nend\n");
    const int nThreads = 4, nAppels = 100;
    std::vector<int> tabFaux(nThreads, 0);
    std::vector<std::thread> tabThreads;
    for (int t = 0; t < nThreads; ++t) {
        tabThreads.emplace_back([t, &tabFaux] {
            TQCONTEXTE *pCtx = pTQMTInitThread();
            if (!pCtx) {
                tabFaux[t] = -1;
                return;
            }
            for (int i = 0; i < nAppels; ++i) {
                nTQMTEmpile(pCtx, TQTYPE_ENTIER, t + 1);
                nTQMTEmpile(pCtx, TQTYPE_ENTIER, i);
                if (nTQMTAppelle(pCtx, TQ_TEXTE("Mul"), 2, 0, 0) != TQ_OK || nTQMTGetValeurRetour(pCtx) != (t + 1) * i)
                    ++tabFaux[t];
            }
            TQMTTermThread(pCtx);
        });
    }
    for (std::thread &th : tabThreads)
        th.join();
    EXPECT_EQ(tabFaux, std::vector<int>(nThreads, 0));
}

TEST_F(TQExtern, ExampleHostPrograms)
{
    stRESULTATPROCESSUS r = Execute({sBin("host_calc"), sBin("tq150vm.so"), sBin("examples/calc.TQL")});
    EXPECT_EQ(r.nStatut, 0) << r.sErreur;
    EXPECT_EQ(r.sSortie, "application: Calculator\nAdd = 42\n");
    r = Execute({sBin("host_calc"), sBin("tq150vm.so"), sBin("examples/calc.TQL"), "Divide", "1", "0"});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_EQ(r.sSortie, "application: Calculator\nDivide failed: error 26: division by zero\n");
    EXPECT_EQ(r.sErreur, "host_calc: error 26 reported: division by zero\n");
    r = Execute({sBin("host_calc"), sBin("variants/host_no_initex/tq150vm.so")});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_NE(r.sErreur.find("(code 1)"), std::string::npos) << r.sErreur;
    r = Execute({sBin("host_calc_mt"), sBin("tq150vm.so"), sBin("examples/calc.TQL"), "3", "50"});
    EXPECT_EQ(r.nStatut, 0) << r.sErreur;
    EXPECT_EQ(r.sSortie, "thread 0: 50 calls, 0 wrong\nthread 1: 50 calls, 0 wrong\nthread 2: 50 calls, 0 wrong\n"
                         "every result right\n");
}
