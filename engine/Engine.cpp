// The reference runtime engine: honours the launcher's contract and runs the small
// scripts of EngineScript.h as application libraries. Built once as the engine and
// again in variants (EngineVariante.h) that reproduce each failure the launcher must
// handle; the test variants also record every call (EngineRecord.h).
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "EngineBlock.h"
#include "EngineRecord.h"
#include "EngineScript.h"
#include "EngineService.h"
#include "EngineVariante.h"
#include "launcher/TQVMContrat.h"

// Every entry point; a variant that leaves some out hides them when it is linked.
#define TQE_EXPORTE extern "C" __attribute__((visibility("default")))

// The engine's standard file name, the one component QS_ListeDLL knows.
#define TQ_NOM_MOTEUR "tq150vm.so"

namespace {

struct stETATMOTEUR {
    CScriptTQL clScript;
    bool bScriptCharge = false;
    bool bComposanteListee = false;
    stCONTEXTESCRIPT stContexte;
};

stETATMOTEUR &gstEtat()
{
    static stETATMOTEUR stEtat;
    return stEtat;
}

std::string sNombre(long long n)
{
    return std::to_string(n);
}

std::string sPointeur(const void *p)
{
    return p ? "set" : "null";
}

// Path of this library, as the loader knows it.
std::string sCheminMoteur()
{
    Dl_info stInfo;
    if (dladdr(reinterpret_cast<void *>(&sCheminMoteur), &stInfo) && stInfo.dli_fname)
        return stInfo.dli_fname;
    return std::string();
}

bool bEstFichier(const std::string &sChemin)
{
    return access(sChemin.c_str(), R_OK) == 0;
}

// The application library is looked up beside the executable, then in the current
// directory; a name with a directory is taken as it is.
std::string sCheminTQL(const char *pszNom)
{
    std::string sNom = pszNom;
    if (sNom.find('/') != std::string::npos)
        return sNom;
    char szExe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", szExe, sizeof(szExe) - 1);
    if (n > 0) {
        std::string sExe(szExe, static_cast<size_t>(n));
        std::string sCandidat = sExe.substr(0, sExe.rfind('/') + 1) + sNom;
        if (bEstFichier(sCandidat) || !bEstFichier(sNom))
            return sCandidat;
    }
    return sNom;
}

class CProxyMoteur : public ITQVMProxy {
public:
    void vProxyReserve01() override {}
    void vProxyReserve02() override {}
    void vProxyReserve03() override {}
    void vProxyReserve04() override {}
    void vProxyReserve05() override {}
    void vProxyReserve06() override {}
    void vProxyReserve07() override {}
    void vProxyReserve08() override {}
    void vProxyReserve09() override {}
    void vProxyReserve10() override {}
    void vProxyReserve11() override {}
    void vProxyReserve12() override {}
    void vProxyReserve13() override {}
    void vProxyReserve14() override {}
    void vProxyReserve15() override {}
    void vProxyReserve16() override {}
    void vEnregistreCallBackErreur(PFN_CALLBACKERREURVM pfnCallBack, unsigned long dwParam1,
                                   unsigned int nParam2) override
    {
        Enregistre("RegisterErrorCallback(" + sPointeur(reinterpret_cast<void *>(pfnCallBack)) + ", " +
                   sNombre(static_cast<long long>(dwParam1)) + ", " + sNombre(nParam2) + ")");
        gstEtat().stContexte.pfnCallBackErreur = pfnCallBack;
    }
};

} // namespace

TQE_EXPORTE TQVM_BOOL bInitLibrary(HINSTANCE hLibrairie)
{
    // Tell whether the launcher handed the library its own handle.
    std::string sQui = "null";
    if (hLibrairie) {
        void *hSoiMeme = dlopen(sCheminMoteur().c_str(), RTLD_NOW | RTLD_NOLOAD);
        sQui = hSoiMeme == hLibrairie ? "self" : "other";
        if (hSoiMeme)
            dlclose(hSoiMeme);
    }
    Enregistre("bInitLibrary(" + sQui + ")");
    gstEtat().stContexte.sMoteur = sCheminMoteur();
    return gstVariante.bInitFaux ? 0 : 1;
}

TQE_EXPORTE ITQVMProxy *pQueryProxy(int32_t nQuoi)
{
    Enregistre("pQueryProxy(" + sNombre(nQuoi) + ")");
    static CProxyMoteur clProxy;
    return nQuoi == TQVM_PROXY_LANCEUR && !gstVariante.bProxyNul ? &clProxy : nullptr;
}

TQE_EXPORTE void TermLibrary(void)
{
    Enregistre("TermLibrary()");
    // No script thread may outlive the library.
    bServiceTermine();
    gstEtat().clScript = CScriptTQL();
    gstEtat().bScriptCharge = false;
}

TQE_EXPORTE TQVM_BOOL QS_DonneTQL(const char *pszNomTQL, int64_t oOffset)
{
    Enregistre("QS_DonneTQL(" + sTexteEnregistre(pszNomTQL) + ", " + sNombre(oOffset) + ")");
    const bool bRefuse = gstVariante.bDonneTQLFaux;
    stETATMOTEUR &stEtat = gstEtat();
    stEtat.bScriptCharge = false;
    if (bRefuse || !pszNomTQL || !*pszNomTQL)
        return 0;
    std::string sErreur;
    // An offset at a block carried in the executable (tqpack embed --application):
    // the application travels inside the launcher. Otherwise the script is read
    // from the application library file, starting at the offset.
    std::string sTexteBloc, sExecutable;
    const bool bBloc = oOffset != 0 && bChargeBlocPorte(oOffset, &sTexteBloc, &sExecutable);
    if (bBloc ? !stEtat.clScript.bCharge(sTexteBloc, sExecutable, &sErreur)
              : !stEtat.clScript.bChargeFichier(sCheminTQL(pszNomTQL), oOffset, &sErreur)) {
        fprintf(stderr, "tq150vm: %s\n", sErreur.c_str());
        return 0;
    }
    stEtat.stContexte.sSource = bBloc ? sExecutable : sCheminTQL(pszNomTQL);
    stEtat.stContexte.sNomTQL = pszNomTQL;
    stEtat.stContexte.oOffsetTQL = oOffset;
    stEtat.bScriptCharge = true;
    return 1;
}

TQE_EXPORTE void QS_DonneREP(const char *pszRepertoire)
{
    Enregistre("QS_DonneREP(" + sTexteEnregistre(pszRepertoire) + ")");
    gstEtat().stContexte.sRepDonnees = pszRepertoire ? pszRepertoire : "";
}

TQE_EXPORTE intptr_t QS_SetParam(int32_t nCode, intptr_t nValeur)
{
    stETATMOTEUR &stEtat = gstEtat();
    const char *pszTexte = reinterpret_cast<const char *>(nValeur);
    switch (nCode) {
    case eTQVMPARAM_REGISTRE:
    case eTQVMPARAM_INFOLDAP:
        Enregistre("QS_SetParam(" + sNombre(nCode) + ", " + sTexteEnregistre(pszTexte) + ")");
        return pszTexte != nullptr;
    case eTQVMPARAM_LOGGER:
        Enregistre("QS_SetParam(" + sNombre(nCode) + ", " + sPointeur(pszTexte) + ")");
        ServiceDonneLogger(reinterpret_cast<void *>(nValeur));
        return 0;
    default:
        break;
    }
    Enregistre("QS_SetParam(" + sNombre(nCode) + ", " + sNombre(static_cast<long long>(nValeur)) + ")");
    switch (nCode) {
    case eTQVMPARAM_VERSIONACTIVE:
        stEtat.stContexte.nVersion = static_cast<int32_t>(nValeur);
        return 1;
    case eTQVMPARAM_MODEEXECUTION: {
        uint32_t nAncien = stEtat.stContexte.nMode;
        stEtat.stContexte.nMode = static_cast<uint32_t>(nValeur);
        return nAncien;
    }
    case eTQVMPARAM_TERMINE:
        stEtat.bScriptCharge = false;
        return 1;
    case eTQVMPARAM_HISTOCONNEXION:
        return nValeur;
    case eTQVMPARAM_INITDLL: {
        // The component interface of the library last listed; the reference engine has one.
        static CProxyMoteur clInterface;
        return stEtat.bComposanteListee ? reinterpret_cast<intptr_t>(&clInterface) : 0;
    }
    default:
        return 0;
    }
}

TQE_EXPORTE TQVM_BOOL QS_Run_Res(uint32_t nMode, const char *pszProjet, const char *pszLigneCommande,
                                 int32_t *pnResultat)
{
    Enregistre("QS_Run_Res(" + sNombre(nMode) + ", " + sTexteEnregistre(pszProjet) + ", " +
               sTexteEnregistre(pszLigneCommande) + ", " + sPointeur(pnResultat) + ")");
    if (gstVariante.bRunFaux) {
        if (pnResultat)
            *pnResultat = 3;
        return 0;
    }
    stETATMOTEUR &stEtat = gstEtat();
    if (!stEtat.bScriptCharge || !pnResultat)
        return 0;
    stEtat.stContexte.nMode = nMode;
    stEtat.stContexte.sProjet = pszProjet ? pszProjet : "";
    stEtat.stContexte.sLigneCommande = pszLigneCommande ? pszLigneCommande : "";
    stRESULTATSCRIPT stResultat = stEtat.clScript.Execute(stEtat.stContexte, stdout);
    *pnResultat = stResultat.nResultat;
    return stResultat.bReussi ? 1 : 0;
}

// Service mode (EngineService.cpp): the script runs on its own thread.
TQE_EXPORTE TQVM_BOOL QS_Run_Service(const char *pszProjet, const char *pszLigneCommande,
                                     PFN_STOPSERVICE pfnStop, int32_t nReserve)
{
    Enregistre("QS_Run_Service(" + sTexteEnregistre(pszProjet) + ", " + sTexteEnregistre(pszLigneCommande) +
               ", " + sPointeur(reinterpret_cast<void *>(pfnStop)) + ", " + sNombre(nReserve) + ")");
    stETATMOTEUR &stEtat = gstEtat();
    if (!stEtat.bScriptCharge)
        return 0;
    stEtat.stContexte.sProjet = pszProjet ? pszProjet : "";
    stEtat.stContexte.sLigneCommande = pszLigneCommande ? pszLigneCommande : "";
    return bServiceDemarre(stEtat.clScript, stEtat.stContexte, pfnStop) ? 1 : 0;
}

TQE_EXPORTE TQVM_BOOL QS_Term_Service(int32_t nReserve)
{
    Enregistre("QS_Term_Service(" + sNombre(nReserve) + ")");
    return bServiceTermine() ? 1 : 0;
}

TQE_EXPORTE TQVM_BOOL QS_TestEx(uint32_t nMode, const char *pszNom, int32_t nReserve)
{
    Enregistre("QS_TestEx(" + sNombre(nMode) + ", " + sTexteEnregistre(pszNom) + ", " + sNombre(nReserve) + ")");
    return 0;
}

TQE_EXPORTE TQVM_BOOL QS_ListeDLL(CSimpleBuffer *pclListe, const char *pszNom)
{
    Enregistre("QS_ListeDLL(" + sPointeur(pclListe) + ", " + sTexteEnregistre(pszNom) + ")");
    // The only component the reference engine knows is itself.
    gstEtat().bComposanteListee = pszNom && strcmp(pszNom, TQ_NOM_MOTEUR) == 0;
    return gstEtat().bComposanteListee ? 1 : 0;
}

TQE_EXPORTE TQVM_BOOL QS_ListeTQL(CSimpleBuffer *pclListe, const char *pszNom)
{
    Enregistre("QS_ListeTQL(" + sPointeur(pclListe) + ", " + sTexteEnregistre(pszNom) + ")");
    return 0;
}

TQE_EXPORTE void QS_DonneMBR(const char *pszTexte1, const char *pszTexte2)
{
    Enregistre("QS_DonneMBR(" + sTexteEnregistre(pszTexte1) + ", " + sTexteEnregistre(pszTexte2) + ")");
}

TQE_EXPORTE void QS_DonneFinInit(PFN_FININIT pfnCallBack, void *pContexte)
{
    Enregistre("QS_DonneFinInit(" + sPointeur(reinterpret_cast<void *>(pfnCallBack)) + ", " +
               sPointeur(pContexte) + ")");
}

TQE_EXPORTE void QS_InitGoRequete(void *pParam)
{
    Enregistre("QS_InitGoRequete(" + sPointeur(pParam) + ")");
}
