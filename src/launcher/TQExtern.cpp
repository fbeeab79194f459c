// The call interface: initialisation, termination, call contexts and the getters
// of the result and error records. The forwarders are in TQExternAppel.cpp.
#include "launcher/TQExtern.h"
#include "launcher/TQExternSymbole.h"
#include "launcher/TQVMContrat.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <set>

namespace tqextern {

const char *const gtabNomsEntrees[eENTREE_NB] = {
    "nQSEOuvreTQL",
    "nQSEOuvreTQLNum",
    "QSEFermeTQLNum",
    "nQSEOuvreTQLRes",
    "QSEFermeTQLRes",
    "nQSEInitProjet",
    "nQSESetCallback",
    "nQSESetCompatible",
    "nQSESetParent",
    "nQSEExecute",
    "nQSEEvalue",
    "nQSECompile",
    "nQSEEmpile",
    "nQSEEmpileEx",
    "nQSEAppelle",
    "nQSELitVariableQS",
    "nQSEEcritVariableQS",
    "nQSELitPropElem",
    "nQSELitPropElemAny",
    "nQSELitPropElemInd",
    "nQSELitPropElemAnyInd",
    "nQSELitPropElemInd2",
    "nQSELitPropElemAnyInd2",
    "nQSEEcritPropElem",
    "nQSEEcritPropElemInd",
    "nQSEEcritPropElemInd2",
    "nQSEChampExiste",
    "QSETerm",
    "QSEReprise",
    "nQSEGetRZContext",
    "nQSEGetVMData",
    "nQSEGetLibShop",
    "nQSEGetIEXE",
    "nQSESetRZContext",
    "nQSESetCallbackModule",
    "pQSEGetContexteElement",
    "pQSEModifieContexteElement",
    "pQSERestaureContexteElement",
    "nQSESetPECallback",
    "nQSEOperation",
    "nQSEGetVM",
    "nQSELitPropSousElem",
    "nQSEEcritPropSousElem",
    "nQSELitPropSousElemInd",
    "nQSEEcritPropSousElemInd",
    TQVM_EXPORT_QSEOPMT,
};

void *gtabEntrees[eENTREE_NB];

_stQSEVALEURRETOUR gstQSELocalValeurRetour;
_stQSEERREUR gstQSELocalErreur;
// The own context designates its records from the start, so the getters can always
// be called.
_stQSECONTEXTE gstQSELocalCtx = {0, 0, nullptr, &gstQSELocalValeurRetour, &gstQSELocalErreur, nullptr, {}, 0};
_stQSECONTEXTE *gpstQSECtx = &gstQSELocalCtx;
HINSTANCE ghDLLVM = nullptr;
bool gbDLLVM = false;
int gdwOptionInit = 0;

namespace {

// Serialises initialisation, termination, the option flags and the context registry.
pthread_mutex_t gmtxInit = PTHREAD_MUTEX_INITIALIZER;

class CVerrou {
public:
    CVerrou() { pthread_mutex_lock(&gmtxInit); }
    ~CVerrou() { pthread_mutex_unlock(&gmtxInit); }
    CVerrou(const CVerrou &) = delete;
    CVerrou &operator=(const CVerrou &) = delete;
};

// A per-thread context and its records, allocated in one block.
struct stCONTEXTEMT {
    _stQSECONTEXTE stContexte;
    _stQSEVALEURRETOUR stValeurRetour;
    _stQSEERREUR stErreur;
};

// Contexts handed out by pTQMTInitThread and not yet terminated.
std::set<_stQSECONTEXTE *> &gsetContextesMT()
{
    static std::set<_stQSECONTEXTE *> *psetContextes = new std::set<_stQSECONTEXTE *>; // lives to the end
    return *psetContextes;
}

void VideEntrees()
{
    memset(gtabEntrees, 0, sizeof(gtabEntrees));
}

// Nothing a getter reads may point into an engine that is gone.
void VideRecords(_stQSECONTEXTE *pContexte)
{
    if (pContexte->pValeurRetour)
        memset(pContexte->pValeurRetour, 0, sizeof(*pContexte->pValeurRetour));
    if (pContexte->pErreur)
        memset(pContexte->pErreur, 0, sizeof(*pContexte->pErreur));
}

// The library's own termination, paired with its bInitLibrary.
void TermineLibrairie(HINSTANCE hLibrairie)
{
    PFN_TERMLIBRARY pfnTermLibrary = pfnExport<PFN_TERMLIBRARY>(hLibrairie, TQVM_EXPORT_TERMLIBRARY);
    if (pfnTermLibrary)
        pfnTermLibrary();
}

// The engine's per-context state and what the records point at belong to the
// engine that goes (or never came to be used).
void OublieMoteur(_stQSECONTEXTE *pContexte)
{
    VideRecords(pContexte);
    pContexte->pMoteur = nullptr;
}

void MarqueValide(_stQSECONTEXTE *pContexte)
{
    pContexte->wDebut = TQ_QSE_DEBUT;
    pContexte->wVersion = TQ_QSE_VERSION;
    pContexte->wFin = TQ_QSE_FIN;
}

int nInitDepuisChemin(const char *pszChemin, void *pDonnees)
{
    CVerrou clVerrou;
    if (ghDLLVM)
        return TQ_OK;
    // No path is not the main program (dlopen(NULL)); either way no library opened,
    // and the initialisation answers that as it does for a null handle.
    HINSTANCE h = pszChemin && *pszChemin ? dlopen(pszChemin, RTLD_NOW) : nullptr;
    if (!h)
        return __nTQInitVM(nullptr, pDonnees, gdwOptionInit);
    int nResultat = __nTQInitVM(h, pDonnees, gdwOptionInit);
    if (nResultat != TQ_OK) {
        // What it opened, a failed initialisation closes.
        dlclose(h);
        return nResultat;
    }
    gbDLLVM = true;
    return TQ_OK;
}

int nInitDepuisInstance(HINSTANCE hLibrairie, void *pDonnees, int dwOptions)
{
    CVerrou clVerrou;
    if (ghDLLVM)
        return TQ_OK;
    int nResultat = __nTQInitVM(hLibrairie, pDonnees, dwOptions);
    if (nResultat == TQ_OK)
        gbDLLVM = false;
    return nResultat;
}

// The context a call works on: the given one, else the current one.
_stQSECONTEXTE *pContexteOuCourant(_stQSECONTEXTE *pContexte)
{
    return pContexte ? pContexte : gpstQSECtx;
}

const _stQSEVALEURRETOUR *pstValeurRetour(_stQSECONTEXTE *pContexte)
{
    if (!ghDLLVM)
        return nullptr;
    return pContexteOuCourant(pContexte)->pValeurRetour;
}

const _stQSEERREUR *pstErreur(_stQSECONTEXTE *pContexte)
{
    if (!ghDLLVM)
        return nullptr;
    return pContexteOuCourant(pContexte)->pErreur;
}

} // namespace

int __nTQInitVM(HINSTANCE hLibrairie, void *pDonnees, int dwOptions)
{
    gpstQSECtx = &gstQSELocalCtx;
    gstQSELocalCtx.pValeurRetour = &gstQSELocalValeurRetour;
    gstQSELocalCtx.pErreur = &gstQSELocalErreur;
    if (!hLibrairie)
        return TQ_ERR_LIBRAIRIE;
    PFN_QSEINITEX pfnInitEx = pfnExport<PFN_QSEINITEX>(hLibrairie, TQVM_EXPORT_QSEINITEX);
    if (!pfnInitEx)
        return TQ_ERR_ENTREE;
    _stQSEINIT *pstInit = static_cast<_stQSEINIT *>(calloc(1, sizeof(_stQSEINIT)));
    if (!pstInit)
        return TQ_ERR_REFUS;
    pstInit->nVersion = TQ_QSE_VERSION;
    pstInit->nTaille = static_cast<int32_t>(sizeof(_stQSEINIT));
    pstInit->pDonnees = pDonnees;
    pstInit->dwOptions = dwOptions;
    // A library that cannot initialise itself is not used; that is never a success.
    PFN_INITLIBRARY pfnInitLibrary = pfnExport<PFN_INITLIBRARY>(hLibrairie, TQVM_EXPORT_INITLIBRARY);
    int nResultat = TQ_OK;
    bool bLibrairieInitialisee = false;
    if (!pfnInitLibrary) {
        nResultat = TQ_ERR_ENTREE;
    } else if (!pfnInitLibrary(hLibrairie)) {
        nResultat = TQ_ERR_REFUS;
    } else {
        bLibrairieInitialisee = true;
        nResultat = pfnInitEx(&gstQSELocalCtx, pstInit);
    }
    free(pstInit);
    if (nResultat != TQ_OK) {
        if (bLibrairieInitialisee) {
            OublieMoteur(&gstQSELocalCtx);
            TermineLibrairie(hLibrairie);
        }
        return nResultat;
    }
    VideEntrees();
    for (int i = 0; i < eENTREE_NB; ++i) {
        gtabEntrees[i] = dlsym(hLibrairie, gtabNomsEntrees[i]);
        if (!gtabEntrees[i] && i < eENTREE_NB_REQUISES) {
            VideEntrees();
            // The engine initialised; it is not used after all.
            OublieMoteur(&gstQSELocalCtx);
            TermineLibrairie(hLibrairie);
            return TQ_ERR_ENTREE;
        }
    }
    MarqueValide(&gstQSELocalCtx);
    ghDLLVM = hLibrairie;
    return TQ_OK;
}

} // namespace tqextern

using namespace tqextern;

extern "C" {

int nTQInit(void *pDonnees)
{
    return nInitDepuisChemin("./tq150vm.so", pDonnees);
}

int nTQInitFromName(const char *pszChemin, void *pDonnees)
{
    return nInitDepuisChemin(pszChemin, pDonnees);
}

int nTQInitFromInstance(void *hInstance, void *pDonnees)
{
    int dwOptions;
    {
        CVerrou clVerrou;
        dwOptions = gdwOptionInit;
    }
    return nInitDepuisInstance(hInstance, pDonnees, dwOptions);
}

int nTQInitFromInstanceEx(void *hInstance, void *pDonnees, int nOptions)
{
    return nInitDepuisInstance(hInstance, pDonnees, nOptions);
}

void TQTerm(void)
{
    CVerrou clVerrou;
    if (!ghDLLVM)
        return;
    HINSTANCE h = ghDLLVM;
    pfnDepuis<PFN_QSEV0>(gtabEntrees[eENTREE_Term])(&gstQSELocalCtx);
    TermineLibrairie(h);
    ghDLLVM = nullptr;
    VideEntrees();
    OublieMoteur(&gstQSELocalCtx);
    for (_stQSECONTEXTE *pContexte : gsetContextesMT())
        OublieMoteur(pContexte);
    if (gbDLLVM)
        dlclose(h);
    gbDLLVM = false;
}

int TQActiveOption(int nBits)
{
    CVerrou clVerrou;
    gdwOptionInit |= nBits;
    return nBits;
}

void TQSetModule(void *pModule)
{
    gstQSELocalCtx.pModule = pModule;
}

TQCONTEXTE *pTQGetContexte(void)
{
    return gpstQSECtx;
}

TQCONTEXTE *pTQSetContexte(TQCONTEXTE *pContexte)
{
    _stQSECONTEXTE *pAncien = gpstQSECtx;
    gpstQSECtx = pContexte ? pContexte : &gstQSELocalCtx;
    return pAncien;
}

TQCONTEXTE *pTQMTInitThread(void)
{
    CVerrou clVerrou;
    if (!ghDLLVM)
        return nullptr;
    PFN_QSEOPMT pfnOPMT = pfnDepuis<PFN_QSEOPMT>(gtabEntrees[eENTREE_OPMT]);
    if (!pfnOPMT)
        return nullptr;
    stCONTEXTEMT *pstBloc = static_cast<stCONTEXTEMT *>(calloc(1, sizeof(stCONTEXTEMT)));
    if (!pstBloc)
        return nullptr;
    _stQSECONTEXTE *pContexte = &pstBloc->stContexte;
    pContexte->pValeurRetour = &pstBloc->stValeurRetour;
    pContexte->pErreur = &pstBloc->stErreur;
    pContexte->pModule = gstQSELocalCtx.pModule;
    if (pfnOPMT(pContexte, TQ_OPMT_DEBUT) != 0) {
        free(pstBloc);
        return nullptr;
    }
    MarqueValide(pContexte);
    try {
        gsetContextesMT().insert(pContexte);
    } catch (...) {
        pfnOPMT(pContexte, TQ_OPMT_FIN);
        free(pstBloc);
        return nullptr;
    }
    return pContexte;
}

void TQMTTermThread(TQCONTEXTE *pContexte)
{
    CVerrou clVerrou;
    // Only contexts made by pTQMTInitThread are freed: not null, not the process's own.
    auto it = gsetContextesMT().find(pContexte);
    if (it == gsetContextesMT().end())
        return;
    gsetContextesMT().erase(it);
    PFN_QSEOPMT pfnOPMT = pfnDepuis<PFN_QSEOPMT>(gtabEntrees[eENTREE_OPMT]);
    if (ghDLLVM && pfnOPMT)
        pfnOPMT(pContexte, TQ_OPMT_FIN);
    if (gpstQSECtx == pContexte)
        gpstQSECtx = &gstQSELocalCtx;
    // The context is the first member of its block.
    free(reinterpret_cast<stCONTEXTEMT *>(pContexte));
}

unsigned short wTQMTGetTypeValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->wType : 0;
}

int bTQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->nValeur : 0;
}

int nTQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    return bTQMTGetValeurRetour(pContexte);
}

int nTQMTLongueurValeurRetour(TQCONTEXTE *pContexte)
{
    return bTQMTGetValeurRetour(pContexte);
}

int64_t i64TQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->i64Valeur : 0;
}

double dTQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->dValeur : 0.0;
}

const char *pszTQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p && p->pszValeur ? p->pszValeur : "";
}

const unsigned char *pbyTQMTGetValeurRetour(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->pbyValeur : nullptr;
}

int bTQMTValeurRetourNULL(TQCONTEXTE *pContexte)
{
    const _stQSEVALEURRETOUR *p = pstValeurRetour(pContexte);
    return p ? p->bNull : 0;
}

int nTQMTGetLastError(TQCONTEXTE *pContexte)
{
    const _stQSEERREUR *p = pstErreur(pContexte);
    return p ? p->nCode : 0;
}

const char *pszTQMTGetLastError(TQCONTEXTE *pContexte)
{
    const _stQSEERREUR *p = pstErreur(pContexte);
    return p && p->pszTexte ? p->pszTexte : "";
}

unsigned short wTQGetTypeValeurRetour(void) { return wTQMTGetTypeValeurRetour(nullptr); }
int bTQGetValeurRetour(void) { return bTQMTGetValeurRetour(nullptr); }
int nTQGetValeurRetour(void) { return nTQMTGetValeurRetour(nullptr); }
int nTQLongueurValeurRetour(void) { return nTQMTLongueurValeurRetour(nullptr); }
int64_t i64TQGetValeurRetour(void) { return i64TQMTGetValeurRetour(nullptr); }
double dTQGetValeurRetour(void) { return dTQMTGetValeurRetour(nullptr); }
const char *pszTQGetValeurRetour(void) { return pszTQMTGetValeurRetour(nullptr); }
const unsigned char *pbyTQGetValeurRetour(void) { return pbyTQMTGetValeurRetour(nullptr); }
int bTQValeurRetourNULL(void) { return bTQMTValeurRetourNULL(nullptr); }
int nTQGetLastError(void) { return nTQMTGetLastError(nullptr); }
const char *pszTQGetLastError(void) { return pszTQMTGetLastError(nullptr); }

} // extern "C"
