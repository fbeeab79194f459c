// The launcher object and the entry point's globals.
#include "launcher/TQExe.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "error/XError.h"
#include "files/DiskFile.h"
#include "launcher/ParametreExecution.h"
#include "launcher/RechercheVM.h"
#include "launcher/vmload.h"
#include "platform/WinApi.h"

#if __has_include("service/StartServer.h")
#include "service/StartServer.h"
#define TQ_AVEC_SERVICE 1
#endif

CServerMain *gpclServerMain = nullptr;
CServiceImp *gpclServiceImp = nullptr;
int32_t gbService = 0;
const CTQExe *CTQExe::ms_pclAffichageErreur = nullptr;

const char gszMessageVMIntrouvable[] =
    "Impossible de trouver la librairie tq150vm.so.\r\n"
    "Verifiez que les librairies n\xE9" "cessaires au fonctionnement de l'ex\xE9" "cutable soient accessibles par le PATH.\r\n"
    "Unable to find tq150vm.so librairie.\r\n"
    "Check whether librairies used to operate the executable can be accessed by PATH.";

// Detail mask of the report the error callback prints.
static const uint32_t gdwMasqueRapportErreur = 0x80000FFF;
// Size of the buffer for the executable's own path.
static const unsigned int gnTailleNomModule = 4097;
// Capacity of the explicit engine path read from the runtime parameter file.
static const int gnTailleCheminVM = 260;

bool bSetOnCmdLine(int argc, char **argv, const char *pszOption)
{
    for (int i = 1; i < argc; ++i)
        if (argv[i] && strcasecmp(argv[i], pszOption) == 0)
            return true;
    return false;
}

bool bGetCmdLineValue(int argc, char **argv, const char *pszOption, CTString *pclValeur)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && strcasecmp(argv[i], pszOption) == 0) {
            // argv[argc] is the terminating null entry: an option in last place has an empty value.
            pclValeur->Set(argv[i + 1]);
            return true;
        }
    }
    return false;
}

void Term()
{
#if defined(TQ_AVEC_SERVICE)
    delete gpclServerMain;
#endif
    gpclServerMain = nullptr;
    gpclServiceImp = nullptr;
}

CTQExe::CTQExe(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char *pszLigneCommande)
    : m_hInstance(hInstance), m_hPrevInstance(hPrevInstance), m_clLigneCommande(pszLigneCommande),
      m_clNomModule(), m_bVMLiee(0), m_hRuntime(nullptr), m_pfnTermLibrary(nullptr)
{
    _stRECHERCHEFW *pstRecherche = pstRechercheFramework();
    pstRecherche->hInstance = hInstance;
    memset(&m_stInfoExe, 0, sizeof(m_stInfoExe));
    pstRecherche->pstInfoExe = &m_stInfoExe;

    // Both buffers take the longest path the system call may give, so the split cannot overflow.
    char szModule[gnTailleNomModule] = "";
    char szRepertoire[gnTailleNomModule] = "";
    if (GetModuleFileName(hInstance, szModule, gnTailleNomModule))
        CDiskFile::SplitPath(szModule, szRepertoire, nullptr);
    m_clNomModule.Set(szModule);
    pstRecherche->clRepExe.Set(szRepertoire);
    pstRecherche->bService = gbService;
}

CTQExe::~CTQExe()
{
    // The search record must not keep pointing at a copy that no longer exists.
    if (pstRechercheFramework()->pstInfoExe == &m_stInfoExe)
        pstRechercheFramework()->pstInfoExe = nullptr;
}

void CTQExe::_vAfficheErreur(const char *pszTexte) const
{
    fputs(pszTexte ? pszTexte : "", stderr);
    fputc('\n', stderr);
    fflush(stderr);
}

bool CTQExe::s_bChargeInfoExe(HINSTANCE, _stINFOEXE *pstInfo)
{
    InfoExe_Copie(pstInfo);
    return true;
}

bool CTQExe::_bChargeInfoExe(int *)
{
    return s_bChargeInfoExe(m_hInstance, &m_stInfoExe);
}

bool CTQExe::bInit(int *pnExitCode)
{
    m_bVMLiee = 0;
    _bChargeInfoExe(pnExitCode);
    if (!_bInitFramework(pnExitCode) || !_bInitTQL(pnExitCode)) {
        bTerm();
        return false;
    }
    _InitParamRZ();
    SetVersionActive(m_stInfoExe.nVersionActive);
    return true;
}

bool CTQExe::_bInitFramework(int *pnExitCode)
{
    CParametreExecution clParametres;
    clParametres.Initialise(m_clNomModule.pszGet());
    char szCheminVM[gnTailleCheminVM] = "";
    clParametres.nLitChaineSection("FRAMEWORK", "VMPATH", "", szCheminVM, gnTailleCheminVM);

    m_hRuntime = hTrouveEtChargeVM(m_stInfoExe.szNomVM, RechercheVM_czCheminExplicite(szCheminVM).pszGet());
    if (!m_hRuntime) {
        _vAfficheErreur(gszMessageVMIntrouvable);
        *pnExitCode = -1;
        return false;
    }
    m_bVMLiee = bInitVM(m_hRuntime) ? 1 : 0;
    // Looked up before the proxy step, so that a launch failing there still lets the
    // library end itself before it is closed.
    m_pfnTermLibrary = reinterpret_cast<PFN_TERMLIBRARY>(dlsym(m_hRuntime, TQVM_EXPORT_TERMLIBRARY));

    PFN_QUERYPROXY pfnQueryProxy = reinterpret_cast<PFN_QUERYPROXY>(dlsym(m_hRuntime, TQVM_EXPORT_QUERYPROXY));
    ITQVMProxy *piProxy = pfnQueryProxy ? pfnQueryProxy(TQVM_PROXY_LANCEUR) : nullptr;
    if (!piProxy) {
        *pnExitCode = -1;
        return false;
    }
    piProxy->vEnregistreCallBackErreur(_CallBackErreurVM, 0, 0);
    return true;
}

bool CTQExe::_bInitTQL(int *pnExitCode)
{
    char *pszChamp = m_stInfoExe.szNomTQL;
    const size_t nTailleChamp = sizeof(m_stInfoExe.szNomTQL);
    static const char szDefaut[] = TQ_INFOEXE_NOMTQL_DEFAUT;
    static_assert(sizeof(szDefaut) == 12, "the default name is compared with its terminator");
    if (*pszChamp == '\0' || memcmp(pszChamp, szDefaut, sizeof(szDefaut)) == 0) {
        // Only the file name is kept below, so start from the executable's file name:
        // a long directory cannot cut the name short.
        snprintf(pszChamp, nTailleChamp, "%s", CDiskFile::pszGetPtrToFileName(m_clNomModule.pszGet()));
        CDiskFile::ChangeExtension(pszChamp, static_cast<unsigned>(nTailleChamp), ".TQL");
    }
    char szNom[sizeof(m_stInfoExe.szNomTQL)] = "";
    CDiskFile::SplitPath(pszChamp, nullptr, szNom);
    if (!bDonneTQL(szNom, m_stInfoExe.oOffsetTQL)) {
        *pnExitCode = -1;
        return false;
    }
    return true;
}

void CTQExe::_InitParamRZ()
{
    char szRepertoire[TQ_TAILLE_FILEPATH];
    InfoExe_CopieFilePath(szRepertoire);
    DonneRepRZ(szRepertoire);
}

int CTQExe::nRun()
{
    int nResultat = 0;
    if (bRunExec(eMODEVM_EXECUTION, m_stInfoExe.szNomProjet, m_clLigneCommande.pszGet(), &nResultat))
        return nResultat;
    CTStringFormat clTexte("<%s> execution failed, return code = %d\n", m_stInfoExe.szNomProjet, nResultat);
    clTexte.Tronque(clTexte.nTaille() - 1); // the display adds its own line feed
    _vAfficheErreur(clTexte.pszGet());
    return -1;
}

bool CTQExe::bTerm()
{
    if (m_bVMLiee)
        TermVM(0);
    if (m_hRuntime) {
        if (m_pfnTermLibrary)
            m_pfnTermLibrary();
        dlclose(m_hRuntime);
        m_hRuntime = nullptr;
        // Nothing may call into the closed library any more.
        m_pfnTermLibrary = nullptr;
        m_bVMLiee = 0;
        DelieVM();
    }
    return false;
}

int CTQExe::_CallBackErreurVM(const CXError *pclErreur, unsigned long, unsigned int)
{
    if (!pclErreur)
        return 0;
    CTString clRapport = pclErreur->StringDump(gdwMasqueRapportErreur);
    if (ms_pclAffichageErreur) {
        ms_pclAffichageErreur->_vAfficheErreur(clRapport.pszGet());
        return 0;
    }
    fwrite(clRapport.pszGet(), 1, static_cast<size_t>(clRapport.nTaille()), stderr);
    fputc('\n', stderr);
    fflush(stderr);
    return 0;
}
