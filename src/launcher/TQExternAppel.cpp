// The forwarders of the call interface: each passes the current context (or the
// given one, for the MT twins) and its arguments, in order, to one engine entry.
#include "launcher/TQExtern.h"
#include "launcher/TQExternSymbole.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tqextern;

namespace {

// The bound entry; null while not initialised or when the engine lacks it.
template <class PFN>
PFN pfn(eENTREE eEntree)
{
    return pfnDepuis<PFN>(ghDLLVM ? gtabEntrees[eEntree] : nullptr);
}

_stQSECONTEXTE *pCtx(_stQSECONTEXTE *pContexte)
{
    return pContexte ? pContexte : gpstQSECtx;
}

} // namespace

// An entry that is absent (optional) or unbound (not initialised) answers nAbsent.
#define TQ_APPEL(eEntree, PFN, nAbsent, pContexte, ...)            \
    do {                                                            \
        PFN pfnEntree = pfn<PFN>(eEntree);                          \
        if (!pfnEntree)                                             \
            return nAbsent;                                         \
        return pfnEntree(pCtx(pContexte), ##__VA_ARGS__);           \
    } while (0)

extern "C" {

int nTQOuvreTQL(TQARG a) { TQ_APPEL(eENTREE_OuvreTQL, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQOuvreTQLNum(TQARG a, TQARG b) { TQ_APPEL(eENTREE_OuvreTQLNum, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
void TQFermeTQLNum(TQARG a)
{
    if (PFN_QSEV1 pfnEntree = pfn<PFN_QSEV1>(eENTREE_FermeTQLNum))
        pfnEntree(gpstQSECtx, a);
}
int nTQOuvreTQLRes(TQARG a, TQARG b) { TQ_APPEL(eENTREE_OuvreTQLRes, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
void TQFermeTQLRes(TQARG a, TQARG b)
{
    if (PFN_QSEV2 pfnEntree = pfn<PFN_QSEV2>(eENTREE_FermeTQLRes))
        pfnEntree(gpstQSECtx, a, b);
}
int nTQInitProjet(TQARG a) { TQ_APPEL(eENTREE_InitProjet, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }

int nTQSetCallbackNext(TQARG a, TQARG b) { TQ_APPEL(eENTREE_SetCallback, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
int nTQSetCallbackModule(TQARG a, TQARG b)
{
    TQ_APPEL(eENTREE_SetCallbackModule, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b);
}
int nTQSetCallbackCompatible(TQARG a, TQARG b)
{
    TQ_APPEL(eENTREE_SetCompatible, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b);
}
int nTQSetPECallback(TQARG a, TQARG b) { TQ_APPEL(eENTREE_SetPECallback, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
int nTQSetParentNext(TQARG a) { TQ_APPEL(eENTREE_SetParent, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQSetRZContextNext(TQARG a) { TQ_APPEL(eENTREE_SetRZContext, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }

int nTQExecuteEx(TQARG a) { TQ_APPEL(eENTREE_Execute, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQEvalue(TQARG a) { TQ_APPEL(eENTREE_Evalue, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQCompile(TQARG a, TQARG b) { TQ_APPEL(eENTREE_Compile, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }

int nTQExecute(const char *pszFormat, ...)
{
    PFN_QSE1 pfnEntree = pfn<PFN_QSE1>(eENTREE_Execute);
    if (!pfnEntree)
        return TQ_ERR_NONINIT;
    if (!pszFormat)
        return TQ_ERR_TEXTEVIDE;
    // Formatted to its exact size: a long text is never cut.
    va_list args, argsCopie;
    va_start(args, pszFormat);
    va_copy(argsCopie, args);
    int nTaille = vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    char *pszTexte = nTaille > 0 ? static_cast<char *>(malloc(static_cast<size_t>(nTaille) + 1)) : nullptr;
    if (pszTexte)
        vsnprintf(pszTexte, static_cast<size_t>(nTaille) + 1, pszFormat, argsCopie);
    va_end(argsCopie);
    if (nTaille <= 0)
        return TQ_ERR_TEXTEVIDE;
    if (!pszTexte)
        return TQ_ERR_ARGUMENT;
    int nResultat = pfnEntree(gpstQSECtx, reinterpret_cast<TQARG>(pszTexte));
    free(pszTexte);
    return nResultat;
}

int nTQEmpile(TQARG a, TQARG b) { TQ_APPEL(eENTREE_Empile, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
int nTQMTEmpile(TQCONTEXTE *pContexte, TQARG a, TQARG b)
{
    TQ_APPEL(eENTREE_Empile, PFN_QSE2, TQ_ERR_NONINIT, pContexte, a, b);
}
int nTQEmpileEx(TQARG a, TQARG b, TQARG c) { TQ_APPEL(eENTREE_EmpileEx, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c); }
int nTQAppelle(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_Appelle, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQMTAppelle(TQCONTEXTE *pContexte, TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_Appelle, PFN_QSE4, TQ_ERR_NONINIT, pContexte, a, b, c, d);
}

int nTQLitVariableQS(TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_LitVariableQS, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c);
}
int nTQMTLitVariableQS(TQCONTEXTE *pContexte, TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_LitVariableQS, PFN_QSE3, TQ_ERR_NONINIT, pContexte, a, b, c);
}
int nTQEcritVariableQS(TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_EcritVariableQS, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c);
}
int nTQMTEcritVariableQS(TQCONTEXTE *pContexte, TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_EcritVariableQS, PFN_QSE3, TQ_ERR_NONINIT, pContexte, a, b, c);
}
int nTQLitPropElem(TQARG a, TQARG b) { TQ_APPEL(eENTREE_LitPropElem, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
int nTQLitPropElemAny(TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_LitPropElemAny, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c);
}
int nTQLitPropElemInd(TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_LitPropElemInd, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c);
}
int nTQLitPropElemAnyInd(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_LitPropElemAnyInd, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQLitPropElemInd2(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_LitPropElemInd2, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQLitPropElemAnyInd2(TQARG a, TQARG b, TQARG c, TQARG d, TQARG e)
{
    TQ_APPEL(eENTREE_LitPropElemAnyInd2, PFN_QSE5, TQ_ERR_NONINIT, nullptr, a, b, c, d, e);
}
int nTQEcritPropElem(TQARG a, TQARG b) { TQ_APPEL(eENTREE_EcritPropElem, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }
int nTQEcritPropElemInd(TQARG a, TQARG b, TQARG c)
{
    TQ_APPEL(eENTREE_EcritPropElemInd, PFN_QSE3, TQ_ERR_NONINIT, nullptr, a, b, c);
}
int nTQEcritPropElemInd2(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_EcritPropElemInd2, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQChampExiste(TQARG a, TQARG b) { TQ_APPEL(eENTREE_ChampExiste, PFN_QSE2, TQ_ERR_NONINIT, nullptr, a, b); }

int nTQLitPropSousElem(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_LitPropSousElem, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQEcritPropSousElem(TQARG a, TQARG b, TQARG c, TQARG d)
{
    TQ_APPEL(eENTREE_EcritPropSousElem, PFN_QSE4, TQ_ERR_NONINIT, nullptr, a, b, c, d);
}
int nTQLitPropSousElemInd(TQARG a, TQARG b, TQARG c, TQARG d, TQARG e)
{
    TQ_APPEL(eENTREE_LitPropSousElemInd, PFN_QSE5, TQ_ERR_NONINIT, nullptr, a, b, c, d, e);
}
int nTQEcritPropSousElemInd(TQARG a, TQARG b, TQARG c, TQARG d, TQARG e)
{
    TQ_APPEL(eENTREE_EcritPropSousElemInd, PFN_QSE5, TQ_ERR_NONINIT, nullptr, a, b, c, d, e);
}

int nTQGetRZContext(TQARG a) { TQ_APPEL(eENTREE_GetRZContext, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQGetVMData(TQARG a) { TQ_APPEL(eENTREE_GetVMData, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQGetLibShop(TQARG a) { TQ_APPEL(eENTREE_GetLibShop, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQGetIEXE(TQARG a) { TQ_APPEL(eENTREE_GetIEXE, PFN_QSE1, TQ_ERR_NONINIT, nullptr, a); }
int nTQGetVM(TQARG a)
{
    // An engine without the optional entry answers 1; not initialised stays 9.
    if (!ghDLLVM)
        return TQ_ERR_NONINIT;
    TQ_APPEL(eENTREE_GetVM, PFN_QSE1, 1, nullptr, a);
}

void *pTQGetContexteElement(void) { TQ_APPEL(eENTREE_GetContexteElement, PFN_QSEP0, nullptr, nullptr); }
void *pTQModifieContexteElement(TQARG a)
{
    TQ_APPEL(eENTREE_ModifieContexteElement, PFN_QSEP1, nullptr, nullptr, a);
}
void *pTQRestaureContexteElement(TQARG a)
{
    TQ_APPEL(eENTREE_RestaureContexteElement, PFN_QSEP1, nullptr, nullptr, a);
}

} // extern "C"

namespace {

int nOperation(TQARG nOperation, TQARG a, TQARG b)
{
    if (!ghDLLVM)
        return TQ_ERR_NONINIT;
    TQ_APPEL(eENTREE_Operation, PFN_QSE3, 1, nullptr, nOperation, a, b);
}

} // namespace

extern "C" {

int nTQMessTraduit(TQARG a) { return nOperation(TQ_QSEOP_MESSTRADUIT, a, 0); }
int nTQMessTraduitElement(TQARG a, TQARG b) { return nOperation(TQ_QSEOP_MESSTRADUITELEMENT, a, b); }
int nTQEmpileMessTraduit(TQARG a) { return nOperation(TQ_QSEOP_EMPILEMESSTRADUIT, a, 0); }
int nTQEmpileMessTraduitElement(TQARG a, TQARG b) { return nOperation(TQ_QSEOP_EMPILEMESSTRADUITELEMENT, a, b); }

int TQRepriseErreur(void) { TQ_APPEL(eENTREE_Reprise, PFN_QSE0, 0, nullptr); }
int TQMTRepriseErreur(TQCONTEXTE *pContexte) { TQ_APPEL(eENTREE_Reprise, PFN_QSE0, 0, pContexte); }

} // extern "C"
