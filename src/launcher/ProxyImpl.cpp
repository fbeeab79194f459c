// The structured error of a failed component load, and the initialisation of a
// component library on behalf of the engine.
#include <dlfcn.h>

#include <cstring>

#include "error/XError.h"
#include "launcher/Proxy.h"
#include "launcher/TQExternSymbole.h"

void _InitErreurChargement(CXError *pclErreur, const char *pszMessageSysteme, const char *pszChemin)
{
    const char *pszCheminSur = pszChemin ? pszChemin : "";
    pclErreur->SetUserError(2, pszCheminSur);
    // The loader's text is an argument, never a format: a '%' in a name stays as it
    // is. The report always shows the path tried, which the loader usually names.
    if (pszMessageSysteme && strstr(pszMessageSysteme, pszCheminSur))
        pclErreur->SetSystemErrorMessage("%1$s", pszMessageSysteme);
    else if (pszMessageSysteme)
        pclErreur->SetSystemErrorMessage("%1$s: %2$s", pszCheminSur, pszMessageSysteme);
    pclErreur->AddDebugMessage("DLL qui provoque le chargement : %1$s", "TQExe");
}

void _AddErreurChargement(CXError *pclErreur, const char *pszMessageSysteme, const char *pszChemin)
{
    if (!pclErreur)
        return;
    if (pclErreur->eGetErrorLevel() == CXError::EL_AUCUNE) {
        _InitErreurChargement(pclErreur, pszMessageSysteme, pszChemin);
        return;
    }
    // AddSubError keeps a copy; this one goes with the scope.
    CXError clErreur;
    _InitErreurChargement(&clErreur, pszMessageSysteme, pszChemin);
    pclErreur->AddSubError(&clErreur);
}

bool bInitDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule)
{
    PFN_INITDLL pfnInit = pfnExport<PFN_INITDLL>(hLibrairie, TQDLL_EXPORT_INITDLL);
    return pfnInit && pfnInit(hModule);
}

bool bInitDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule, unsigned int dwFlags)
{
    PFN_INITDLLEX pfnInitEx = pfnExport<PFN_INITDLLEX>(hLibrairie, TQDLL_EXPORT_INITDLLEX);
    if (pfnInitEx)
        return pfnInitEx(hModule, dwFlags, 0) != 0;
    return bInitDLLFromVM(hLibrairie, hModule);
}

void TermDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule)
{
    PFN_TERMDLL pfnTerm = pfnExport<PFN_TERMDLL>(hLibrairie, TQDLL_EXPORT_TERMDLL);
    if (pfnTerm)
        pfnTerm(hModule);
}
