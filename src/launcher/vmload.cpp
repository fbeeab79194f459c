// Binding of the runtime engine's entry points and their wrappers.
#include "launcher/vmload.h"

#include <dlfcn.h>

#include "strings/Tstring.h"

HINSTANCE ghDLLVM = nullptr;
PFN_RUN gpfnRUN = nullptr;
PFN_RUNSRV gpfnRUNSRV = nullptr;
PFN_TERMSRV gpfnTERMSRV = nullptr;
PFN_DBG gpfnDBG = nullptr;
PFN_DLL gpfnDLL = nullptr;
PFN_TQL gpfnTQL = nullptr;
PFN_REP gpfnREP = nullptr;
PFN_MBR gpfnMBR = nullptr;
PFN_FININT gpfnFININT = nullptr;
PFN_GOQUERY gpfnGOQUERY = nullptr;
PFN_LTQL gpfnLTQL = nullptr;
PFN_PARAM gpfnPARAM = nullptr;

template <typename PFN> static PFN pfnLie(HINSTANCE hLibrairie, const char *pszNom)
{
    return reinterpret_cast<PFN>(dlsym(hLibrairie, pszNom));
}

bool bInitVM(HINSTANCE hLibrairie)
{
    ghDLLVM = hLibrairie;
    gpfnRUN = pfnLie<PFN_RUN>(hLibrairie, TQVM_EXPORT_RUN);
    gpfnRUNSRV = pfnLie<PFN_RUNSRV>(hLibrairie, TQVM_EXPORT_RUNSRV);
    gpfnTERMSRV = pfnLie<PFN_TERMSRV>(hLibrairie, TQVM_EXPORT_TERMSRV);
    gpfnDBG = pfnLie<PFN_DBG>(hLibrairie, TQVM_EXPORT_DBG);
    gpfnDLL = pfnLie<PFN_DLL>(hLibrairie, TQVM_EXPORT_DLL);
    gpfnTQL = pfnLie<PFN_TQL>(hLibrairie, TQVM_EXPORT_TQL);
    gpfnREP = pfnLie<PFN_REP>(hLibrairie, TQVM_EXPORT_REP);
    gpfnMBR = pfnLie<PFN_MBR>(hLibrairie, TQVM_EXPORT_MBR);
    gpfnFININT = pfnLie<PFN_FININT>(hLibrairie, TQVM_EXPORT_FININT);
    gpfnGOQUERY = pfnLie<PFN_GOQUERY>(hLibrairie, TQVM_EXPORT_GOQUERY);
    gpfnLTQL = pfnLie<PFN_LTQL>(hLibrairie, TQVM_EXPORT_LTQL);
    gpfnPARAM = pfnLie<PFN_PARAM>(hLibrairie, TQVM_EXPORT_PARAM);
    return true;
}

void DelieVM()
{
    ghDLLVM = nullptr;
    gpfnRUN = nullptr;
    gpfnRUNSRV = nullptr;
    gpfnTERMSRV = nullptr;
    gpfnDBG = nullptr;
    gpfnDLL = nullptr;
    gpfnTQL = nullptr;
    gpfnREP = nullptr;
    gpfnMBR = nullptr;
    gpfnFININT = nullptr;
    gpfnGOQUERY = nullptr;
    gpfnLTQL = nullptr;
    gpfnPARAM = nullptr;
}

bool bRunExec(eMODEVM eMode, const char *pszProjet, const char *pszLigneCommande, int *pnResultat)
{
    if (!gpfnRUN)
        return false;
    int32_t nResultat = pnResultat ? *pnResultat : 0;
    TQVM_BOOL bOk = gpfnRUN(static_cast<uint8_t>(eMode), pszProjet, pszLigneCommande, &nResultat);
    if (pnResultat)
        *pnResultat = nResultat;
    return bOk != 0;
}

bool bRunTest(eMODEVM eMode, const char *pszNom)
{
    return gpfnDBG && gpfnDBG(static_cast<uint8_t>(eMode), pszNom, 0) != 0;
}

bool bRunService(const char *pszProjet, const char *pszLigneCommande, void (*pfnStop)(int))
{
    return gpfnRUNSRV && gpfnRUNSRV(pszProjet, pszLigneCommande, pfnStop, 0) != 0;
}

bool bTermService()
{
    return gpfnTERMSRV && gpfnTERMSRV(0) != 0;
}

bool bListeDLL(CSimpleBuffer *pclListe, const char *pszNom)
{
    return gpfnDLL && gpfnDLL(pclListe, pszNom) != 0;
}

bool bListeTQL(CSimpleBuffer *pclListe, const char *pszNom)
{
    return gpfnLTQL && gpfnLTQL(pclListe, pszNom) != 0;
}

bool bDonneTQL(const char *pszNom, long long oOffset)
{
    return gpfnTQL && gpfnTQL(pszNom, static_cast<int64_t>(oOffset)) != 0;
}

void DonneRepRZ(const char *pszRepertoire)
{
    if (gpfnREP)
        gpfnREP(pszRepertoire);
}

void DonneRepMBR(const char *pszTexte1, const char *pszTexte2)
{
    if (gpfnMBR)
        gpfnMBR(pszTexte1, pszTexte2);
}

void DonneFinInit(void (*pfnCallBack)(void *, unsigned int, unsigned long), void *pContexte)
{
    if (gpfnFININT)
        gpfnFININT(pfnCallBack, pContexte);
}

void InitGoRequete(void *pParam)
{
    if (gpfnGOQUERY)
        gpfnGOQUERY(pParam);
}

static intptr_t nSetParam(int32_t nCode, intptr_t nValeur)
{
    return gpfnPARAM ? gpfnPARAM(nCode, nValeur) : 0;
}

void *piInitDLL(const char *pszNom)
{
    if (!bListeDLL(nullptr, pszNom))
        return nullptr;
    return reinterpret_cast<void *>(nSetParam(eTQVMPARAM_INITDLL, 0));
}

int SetModeExecution(int nMode)
{
    return static_cast<int>(nSetParam(eTQVMPARAM_MODEEXECUTION, nMode));
}

unsigned long dwGetInformationVM(unsigned int nInformation)
{
    return static_cast<unsigned long>(nSetParam(eTQVMPARAM_INFORMATION, static_cast<intptr_t>(nInformation)));
}

void SetVersionActive(int nVersion)
{
    nSetParam(eTQVMPARAM_VERSIONACTIVE, nVersion);
}

int SetInfoLDAP(const char *pszInfo)
{
    return static_cast<int>(nSetParam(eTQVMPARAM_INFOLDAP, reinterpret_cast<intptr_t>(pszInfo)));
}

void SetLogger(ILogger *pLogger)
{
    nSetParam(eTQVMPARAM_LOGGER, reinterpret_cast<intptr_t>(pLogger));
}

int DonneHistoConnexion(int nValeur)
{
    return static_cast<int>(nSetParam(eTQVMPARAM_HISTOCONNEXION, nValeur));
}

bool bInitRegistre(const char *pszRacine, const char *pszCle)
{
    if (!gpfnPARAM)
        return false;
    CTStringFormat clTexte("%s\\%s", pszRacine ? pszRacine : "", pszCle ? pszCle : "");
    return nSetParam(eTQVMPARAM_REGISTRE, reinterpret_cast<intptr_t>(clTexte.pszGet())) != 0;
}

int TermVM(int bDecharge)
{
    if (!ghDLLVM)
        return 0;
    int nResultat = static_cast<int>(nSetParam(eTQVMPARAM_TERMINE, 0));
    if (bDecharge)
        return dlclose(ghDLLVM);
    return nResultat;
}
