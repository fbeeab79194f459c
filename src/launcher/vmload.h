// Binding of the runtime engine's entry points and the wrappers through which the
// rest of the launcher calls them. Every entry is optional: a wrapper whose entry is
// absent does nothing and answers its failure value.
#pragma once

#include "launcher/TQVMContrat.h"

class CSimpleBuffer;
class ILogger;

// Module handle of the bound engine library; null before binding.
extern HINSTANCE ghDLLVM;
extern PFN_RUN gpfnRUN;
extern PFN_RUNSRV gpfnRUNSRV;
extern PFN_TERMSRV gpfnTERMSRV;
extern PFN_DBG gpfnDBG;
extern PFN_DLL gpfnDLL;
extern PFN_TQL gpfnTQL;
extern PFN_REP gpfnREP;
extern PFN_MBR gpfnMBR;
extern PFN_FININT gpfnFININT;
extern PFN_GOQUERY gpfnGOQUERY;
extern PFN_LTQL gpfnLTQL;
extern PFN_PARAM gpfnPARAM;

// Stores the handle and binds the twelve QS_ entries by name; true whatever was found.
bool bInitVM(HINSTANCE hLibrairie);
// Forgets the handle and every entry, once the library has been closed, so that no
// wrapper calls into an unloaded library.
void DelieVM();

bool bRunExec(eMODEVM eMode, const char *pszProjet, const char *pszLigneCommande, int *pnResultat);
bool bRunTest(eMODEVM eMode, const char *pszNom);
bool bRunService(const char *pszProjet, const char *pszLigneCommande, void (*pfnStop)(int));
bool bTermService();

bool bListeDLL(CSimpleBuffer *pclListe, const char *pszNom);
bool bListeTQL(CSimpleBuffer *pclListe, const char *pszNom);
bool bDonneTQL(const char *pszNom, long long oOffset);

void DonneRepRZ(const char *pszRepertoire);
void DonneRepMBR(const char *pszTexte1, const char *pszTexte2);
void DonneFinInit(void (*pfnCallBack)(void *, unsigned int, unsigned long), void *pContexte);
void InitGoRequete(void *pParam);

// QS_SetParam wrappers, one parameter code each.
void *piInitDLL(const char *pszNom);
int SetModeExecution(int nMode);
unsigned long dwGetInformationVM(unsigned int nInformation);
void SetVersionActive(int nVersion);
int SetInfoLDAP(const char *pszInfo);
void SetLogger(ILogger *pLogger);
int DonneHistoConnexion(int nValeur);
// Hands the engine "root\key"; false without a QS_SetParam entry.
bool bInitRegistre(const char *pszRacine, const char *pszCle);
// Asks the engine to terminate; closes the library as well when bDecharge is non-zero.
// Never forgets the handle or the entries.
int TermVM(int bDecharge);
