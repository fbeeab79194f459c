// The call interface for host programs: plain functions (declared in tqhost.h)
// that load the runtime engine and forward to its nQSE entries with a call context.
// This header shows the interface's own state, for the launcher's tests; hosts
// include tqhost.h only. The state lives in its own namespace: the interface keeps
// an engine handle of its own, apart from the launch sequence's.
#pragma once

#include "launcher/TQExternContrat.h"
#include "platform/WinTypes.h"

namespace tqextern {

// The engine entries the interface binds, in binding order: the required ones,
// then the optional ones, then nQSEOPMT.
enum eENTREE {
    eENTREE_OuvreTQL,
    eENTREE_OuvreTQLNum,
    eENTREE_FermeTQLNum,
    eENTREE_OuvreTQLRes,
    eENTREE_FermeTQLRes,
    eENTREE_InitProjet,
    eENTREE_SetCallback,
    eENTREE_SetCompatible,
    eENTREE_SetParent,
    eENTREE_Execute,
    eENTREE_Evalue,
    eENTREE_Compile,
    eENTREE_Empile,
    eENTREE_EmpileEx,
    eENTREE_Appelle,
    eENTREE_LitVariableQS,
    eENTREE_EcritVariableQS,
    eENTREE_LitPropElem,
    eENTREE_LitPropElemAny,
    eENTREE_LitPropElemInd,
    eENTREE_LitPropElemAnyInd,
    eENTREE_LitPropElemInd2,
    eENTREE_LitPropElemAnyInd2,
    eENTREE_EcritPropElem,
    eENTREE_EcritPropElemInd,
    eENTREE_EcritPropElemInd2,
    eENTREE_ChampExiste,
    eENTREE_Term,
    eENTREE_Reprise,
    eENTREE_GetRZContext,
    eENTREE_GetVMData,
    eENTREE_GetLibShop,
    eENTREE_GetIEXE,
    eENTREE_SetRZContext,
    eENTREE_SetCallbackModule,
    eENTREE_GetContexteElement,
    eENTREE_ModifieContexteElement,
    eENTREE_RestaureContexteElement,
    eENTREE_SetPECallback,
    eENTREE_NB_REQUISES,
    eENTREE_Operation = eENTREE_NB_REQUISES,
    eENTREE_GetVM,
    eENTREE_LitPropSousElem,
    eENTREE_EcritPropSousElem,
    eENTREE_LitPropSousElemInd,
    eENTREE_EcritPropSousElemInd,
    eENTREE_OPMT,
    eENTREE_NB
};

// Exported name of each entry, indexed by eENTREE.
extern const char *const gtabNomsEntrees[eENTREE_NB];
// Bound entries; all null while not initialised.
extern void *gtabEntrees[eENTREE_NB];

extern _stQSECONTEXTE gstQSELocalCtx;
extern _stQSEVALEURRETOUR gstQSELocalValeurRetour;
extern _stQSEERREUR gstQSELocalErreur;
extern _stQSECONTEXTE *gpstQSECtx;
extern HINSTANCE ghDLLVM;   // null while not initialised
extern bool gbDLLVM;        // the interface opened the library and closes it
extern int gdwOptionInit;

// Initialises on an open library; 0, or TQ_ERR_*, or nQSEInitEx's own code. On
// failure nothing stays bound (the caller closes a library it opened).
int __nTQInitVM(HINSTANCE hLibrairie, void *pDonnees, int dwOptions);

} // namespace tqextern
