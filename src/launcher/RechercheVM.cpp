// Search and loading of the runtime engine library.
#include "launcher/RechercheVM.h"

#include <dlfcn.h>
#include <glob.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "files/DiskFile.h"
#include "launcher/Confiance.h"
#include "launcher/TQVMContrat.h"
#include "platform/WinApi.h"

int32_t g_nModeFramework = 0;
_stRECHERCHEFW g_stRechercheFw = {0, CTString(), CTString(), nullptr, nullptr, 0, 0};

const char gszRepFrameworkCommunUnix[24] = "/usr/local/ORMELAN/lib/";
const char gszFRAMEWORK[] = "FRAMEWORK";
const char gszNomValeurChemin[] = "CHEMIN";

const _stSTDCOMPO gstTabStdCompo[15] = {
    {"tq150com.so", 10, 0x1},          {"tq150cpl.so", 26, 0x0},  {"tq150img.so", 25, 0x1},
    {"tq150jav.so", 11, 0x1},          {"tq150mat.so", 3, 0x1},   {"tq150msql.so", 32, 0x0},
    {"tq150page.so", 31, 0x40000001}, {"tq150pdf.so", 37, 0x0},  {"tq150prn.so", 9, 0x1},
    {"tq150sql.so", 28, 0x0},          {"tq150std.so", 8, 0x1},   {"tq150trs.so", 14, 0x0},
    {"tq150vm.so", 0, 0x21},           {"tq150xml.so", 4, 0x1},   {"tq150zip.so", 42, 0x1},
};
const _stSTDCOMPO gstTabDLLAS400_TORQEN[2] = {
    {"vxa1500as.so", 100, 0x1},
    {"vxa1500as.so", 101, 0x0},
};

// The seam keeps its own copy; empty means the built-in root.
static CTString gclRacineCommune;

void RechercheVM_SetRacineCommune(const char *pszRacine)
{
    gclRacineCommune.Set(pszRacine);
}

const char *RechercheVM_pszRacineCommune()
{
    return gclRacineCommune.bEstVide() ? gszRepFrameworkCommunUnix : gclRacineCommune.pszGet();
}

_stRECHERCHEFW *pstRechercheFramework()
{
    return &g_stRechercheFw;
}

const _stSTDCOMPO *pstGetStdDesc(int nComposante)
{
    for (const _stSTDCOMPO &stCompo : gstTabStdCompo)
        if (stCompo.nComposante == nComposante)
            return &stCompo;
    if (nComposante == 100)
        return &gstTabDLLAS400_TORQEN[0];
    if (nComposante == 101)
        return &gstTabDLLAS400_TORQEN[1];
    return nullptr;
}

// Directory part of a path, with its trailing slash.
static CTString czRepertoire(const char *pszChemin)
{
    char szRep[261] = "";
    if (strlen(pszChemin) < sizeof(szRep))
        CDiskFile::SplitPath(pszChemin, szRep, nullptr);
    return CTString(szRep);
}

// The path the final open takes: the candidate a stage admitted (its real path under
// root). Empty until a stage finds one.
static std::string gsChargement;

// The admission of a candidate; a refused one is shown and the search goes on. A
// library of another class is passed over silently by the loader's walk.
static bool bAdmis(const char *pszChemin, bool bSilencieuxSiEtranger = false)
{
    char szExe[4097] = "";
    GetModuleFileName(nullptr, szExe, sizeof(szExe));
    std::string sChargement, sRaison;
    bool bEtranger = false;
    if (Confiance_bAdmetBibliotheque(pszChemin, Confiance_uidProprietaire(szExe), &sChargement, &sRaison,
                                     &bEtranger)) {
        gsChargement = sChargement;
        return true;
    }
    if (bEtranger && !bSilencieuxSiEtranger) {
        // Found, as a stage finds a file: the open then fails with the loader's words.
        gsChargement = pszChemin;
        return true;
    }
    if (!bEtranger)
        Confiance_SignaleRefus(pszChemin, sRaison);
    return false;
}

// Directories of /etc/ld.so.conf and the files it includes, in order.
static void LitConfChargeur(const std::string &sFichier, int nProfondeur, std::vector<std::string> *ptab)
{
    std::ifstream clFichier(sFichier);
    std::string sLigne;
    while (nProfondeur < 4 && clFichier && std::getline(clFichier, sLigne)) {
        sLigne = sLigne.substr(0, sLigne.find('#'));
        size_t nDebut = sLigne.find_first_not_of(" \t");
        if (nDebut == std::string::npos)
            continue;
        size_t nFin = sLigne.find_last_not_of(" \t\r");
        sLigne = sLigne.substr(nDebut, nFin - nDebut + 1);
        if (sLigne.compare(0, 8, "include ") != 0) {
            ptab->push_back(sLigne);
            continue;
        }
        std::string sMotif = sLigne.substr(sLigne.find_first_not_of(" \t", 8));
        if (sMotif[0] != '/')
            sMotif = sFichier.substr(0, sFichier.rfind('/') + 1) + sMotif;
        glob_t stGlob;
        if (glob(sMotif.c_str(), 0, nullptr, &stGlob) == 0)
            for (size_t i = 0; i < stGlob.gl_pathc; ++i)
                LitConfChargeur(stGlob.gl_pathv[i], nProfondeur + 1, ptab);
        globfree(&stGlob);
    }
}

std::vector<std::string> RechercheVM_tabRepertoiresChargeur(int nClasse)
{
    std::vector<std::string> tab;
    const char *pszLd = getenv("LD_LIBRARY_PATH");
    if (pszLd && *pszLd) {
        const std::string s = pszLd;
        size_t nDebut = 0;
        for (;;) {
            size_t nFin = s.find_first_of(":;", nDebut);
            std::string sRep = s.substr(nDebut, nFin == std::string::npos ? std::string::npos : nFin - nDebut);
            tab.push_back(sRep.empty() ? "." : sRep);
            if (nFin == std::string::npos)
                break;
            nDebut = nFin + 1;
        }
    }
    LitConfChargeur("/etc/ld.so.conf", 0, &tab);
    const std::string sTriplet = nClasse == 64 ? "x86_64-linux-gnu" : "i386-linux-gnu";
    const std::string sSuffixe = nClasse == 64 ? "64" : "32";
    for (const std::string &sRep : {"/lib/" + sTriplet, "/usr/lib/" + sTriplet, "/lib" + sSuffixe,
                                    "/usr/lib" + sSuffixe, std::string("/lib"), std::string("/usr/lib")})
        tab.push_back(sRep);
    return tab;
}

// Under root the loader's own search is never handed a bare name, since it would map
// whatever it meets first: its directories are walked here and the first admitted
// library is taken by its full path. A name with a slash is a path, as for the loader.
static bool bTrouveCommeLeChargeur(const char *pszNomVM)
{
    std::vector<std::string> tabReps = {std::string()};
    if (!strchr(pszNomVM, '/'))
        tabReps = RechercheVM_tabRepertoiresChargeur(sizeof(void *) == 8 ? 64 : 32);
    for (const std::string &sRep : tabReps) {
        CTString clChemin(sRep.c_str());
        if (!sRep.empty())
            CDiskFile::DirectoryWithEndSlash(clChemin);
        clChemin.Add(pszNomVM);
        if (CDiskFile::bIsAFile(clChemin.pszGet()) && bAdmis(clChemin.pszGet(), true)) {
            g_stRechercheFw.clRepFramework = czRepertoire(clChemin.pszGet());
            g_nModeFramework = 1;
            return true;
        }
    }
    return false;
}

CTString _czCheminCompletVM(const char *pszNomVM)
{
    CTString clChemin(g_stRechercheFw.clRepFramework);
    CDiskFile::DirectoryWithEndSlash(clChemin);
    clChemin.Add(pszNomVM);
    return clChemin;
}

CTString RechercheVM_czCheminExplicite(const char *pszValeur)
{
    if (!pszValeur || !*pszValeur || *pszValeur == '/' || *pszValeur == '\\')
        return CTString(pszValeur);
    CTString clChemin(g_stRechercheFw.clRepExe);
    if (clChemin.bEstVide())
        return CTString(); // no directory to take it from: no explicit path
    CDiskFile::DirectoryWithEndSlash(clChemin);
    clChemin.Add(pszValeur);
    return clChemin;
}

HINSTANCE _hTrouveEtChargeVM_Prioritaire(const char *pszCheminExplicite)
{
    if (!pszCheminExplicite || !*pszCheminExplicite || !CDiskFile::bIsAFile(pszCheminExplicite) ||
        !bAdmis(pszCheminExplicite))
        return nullptr;
    HINSTANCE hLibrairie = dlopen(gsChargement.c_str(), RTLD_NOW);
    if (!hLibrairie)
        return nullptr;
    g_stRechercheFw.clRepFramework = czRepertoire(pszCheminExplicite);
    g_nModeFramework = 1;
    g_stRechercheFw.bCheminExplicite = 1;
    return hLibrairie;
}

// When the library is a file of the directory, the directory becomes the framework
// directory and nMode records how it was found.
static bool bTrouveDans(const char *pszRepertoire, const char *pszNomVM, int32_t nMode)
{
    CTString clRep(pszRepertoire);
    CDiskFile::DirectoryWithEndSlash(clRep);
    CTString clChemin(clRep);
    clChemin.Add(pszNomVM);
    if (!CDiskFile::bIsAFile(clChemin.pszGet()) || !bAdmis(clChemin.pszGet()))
        return false;
    g_stRechercheFw.clRepFramework = clRep;
    g_nModeFramework = nMode;
    return true;
}

bool _bTrouveVM_1_FrameworkDansRepEXE(const char *pszNomVM)
{
    return bTrouveDans(g_stRechercheFw.clRepExe.pszGet(), pszNomVM, 0);
}

bool _bTrouveVM_2_FrameworkCommun(const char *pszNomVM)
{
    char szRep[260] = "";
    if (!bConstruitCheminFrameworkCommun(szRep, sizeof(szRep), pszNomVM) || !*szRep)
        return false; // a renamed engine without a configured directory is not there
    return bTrouveDans(szRep, pszNomVM, 2);
}

bool _bTrouveVM_3_FrameworkDev(const char *pszNomVM)
{
    if (strcmp(pszNomVM, TQ_NOM_VM_STANDARD) == 0)
        g_stRechercheFw.clRepFramework.Vide();
    return false;
}

HINSTANCE _hTrouveEtChargeVM_4_DansLePath(const char *pszNomVM)
{
    if (Confiance_bActive())
        return bTrouveCommeLeChargeur(pszNomVM) ? dlopen(gsChargement.c_str(), RTLD_NOW) : nullptr;
    HINSTANCE hLibrairie = dlopen(pszNomVM, RTLD_NOW);
    if (!hLibrairie)
        return nullptr;
    // The directory is that of the library the loader picked. A name that fills the
    // buffer may have been cut: no directory then, and the full-path open below falls
    // back on the loader's own search, which finds the same library.
    char szModule[260] = "";
    DWORD nLongueur = GetModuleFileName(hLibrairie, szModule, sizeof(szModule));
    if (nLongueur > 0 && nLongueur < sizeof(szModule) - 1)
        g_stRechercheFw.clRepFramework = czRepertoire(szModule);
    else
        g_stRechercheFw.clRepFramework.Vide();
    g_nModeFramework = 1;
    return hLibrairie;
}

bool _bInitLib(HINSTANCE hLibrairie)
{
    PFN_INITLIBRARY pfnInit = reinterpret_cast<PFN_INITLIBRARY>(dlsym(hLibrairie, TQVM_EXPORT_INITLIBRARY));
    if (pfnInit && pfnInit(hLibrairie))
        return true;
    dlclose(hLibrairie);
    g_stRechercheFw.clRepFramework.Vide();
    return false;
}

HINSTANCE hTrouveEtChargeVM(const char *pszNomVM, const char *pszCheminExplicite)
{
    g_stRechercheFw.clRepFramework.Vide();
    g_stRechercheFw.bCheminExplicite = 0;
    gsChargement.clear();
    HINSTANCE hLibrairie = _hTrouveEtChargeVM_Prioritaire(pszCheminExplicite);
    if (!hLibrairie) {
        if (!pszNomVM || !*pszNomVM)
            return nullptr;
        const _stINFOEXE *pstInfo = g_stRechercheFw.pstInfoExe;
        HINSTANCE hSonde = nullptr;
        if (!_bTrouveVM_1_FrameworkDansRepEXE(pszNomVM) && !(pstInfo && pstInfo->nOuvertureDirecte)) {
            if (!(pstInfo && pstInfo->nFrameworkCommun && _bTrouveVM_2_FrameworkCommun(pszNomVM)) &&
                !_bTrouveVM_3_FrameworkDev(pszNomVM))
                hSonde = _hTrouveEtChargeVM_4_DansLePath(pszNomVM);
        }
        if (gsChargement.empty() && Confiance_bActive() && !bTrouveCommeLeChargeur(pszNomVM))
            return nullptr;
        // A stage's admitted candidate is opened as checked; after the loader's probe
        // the full name is the library it picked.
        hLibrairie = dlopen(gsChargement.empty() ? _czCheminCompletVM(pszNomVM).pszGet() : gsChargement.c_str(),
                            RTLD_NOW);
        // The probe of the loader's search only served to learn the directory: release
        // it so that closing the engine really unloads it.
        if (hSonde)
            dlclose(hSonde);
        if (!hLibrairie)
            return nullptr;
    }
    return _bInitLib(hLibrairie) ? hLibrairie : nullptr;
}

void _ConstruitCheminFrameworkCommunORM(char *pszSortie, unsigned int nTaille)
{
    if (!pszSortie || nTaille == 0)
        return;
    CTString clRep(RechercheVM_pszRacineCommune());
    CDiskFile::DirectoryWithEndSlash(clRep);
    int n = snprintf(pszSortie, nTaille, "%s%s/", clRep.pszGet(), TQ_VERSION_FRAMEWORK);
    if (n < 0 || static_cast<unsigned int>(n) >= nTaille)
        *pszSortie = '\0'; // a cut path would name another directory
}

bool _bFrameworkRenomme(const char *pszNomVM)
{
    return strcasecmp(pszNomVM, TQ_NOM_VM_STANDARD) != 0;
}

CTString czFichierConfFrameworkRenomme(const char *pszNomVM)
{
    // The profile sits in the common root: <root>/<engine library name>.conf.
    char szRacine[261];
    snprintf(szRacine, sizeof(szRacine), "%s", RechercheVM_pszRacineCommune());
    CDiskFile::DirectoryWithoutEndSlash(szRacine);
    return CTStringFormat(TQ_MODELE_CONF_RENOMME, szRacine, pszNomVM);
}

bool _bConstruitCheminFrameworkRenomme(char *pszSortie, unsigned int nTaille, const char *pszNomVM)
{
    CTString clFichier = czFichierConfFrameworkRenomme(pszNomVM);
    GetPrivateProfileString(gszFRAMEWORK, gszNomValeurChemin, "", pszSortie, nTaille, clFichier.pszGet());
    return true;
}

bool bConstruitCheminFrameworkCommun(char *pszSortie, unsigned int nTaille, const char *pszNomVM)
{
    if (!_bFrameworkRenomme(pszNomVM)) {
        _ConstruitCheminFrameworkCommunORM(pszSortie, nTaille);
        return true;
    }
    return _bConstruitCheminFrameworkRenomme(pszSortie, nTaille, pszNomVM);
}
