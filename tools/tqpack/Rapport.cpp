// tqpack inspect: shows every value a launcher reads and, stage by stage, the
// engine search it would make from where it stands.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Blocks.h"
#include "Commands.h"
#include "Image.h"
#include "files/DiskFile.h"
#include "launcher/Confiance.h"
#include "launcher/ParametreExecution.h"
#include "launcher/RechercheVM.h"

static const char gszUsageInspect[] = "usage: tqpack inspect EXE\n";
static const char gszAideInspect[] =
    "\n"
    "Prints the values the launcher EXE reads (information block, data directory,\n"
    "version markers), its runtime parameter file with FRAMEWORK/VMPATH, and the engine\n"
    "search it would make: each candidate path, whether it exists, whether its ELF class\n"
    "and machine match the launcher's, whether the launcher admits it (headers inside\n"
    "the file; run as root, the same trust rule as the launcher under root), and the\n"
    "outcome. The system loader's stage is shown with LD_LIBRARY_PATH as set for this\n"
    "command, the directories of /etc/ld.so.conf and the default ones.\n";

namespace {

std::string sCite(const std::string &s)
{
    return "\"" + s + "\"";
}

// What is at a candidate path, as far as the launcher's dlopen is concerned.
struct stCANDIDAT {
    bool bFichier = false;   // exists as a regular file
    bool bChargeable = false; // an ELF file of the launcher's class and machine, admitted
    bool bRefuse = false;     // refused by the launcher's admission: the search goes on
    std::string sEtat;
};

stCANDIDAT stExamine(const std::string &sChemin, const _stELFENTETE &stLanceur, uid_t nProprietaire)
{
    stCANDIDAT st;
    struct stat stInfo;
    if (stat(sChemin.c_str(), &stInfo) != 0) {
        st.sEtat = "missing";
        return st;
    }
    if (!S_ISREG(stInfo.st_mode)) {
        st.sEtat = S_ISDIR(stInfo.st_mode) ? "a directory" : "not a regular file";
        return st;
    }
    st.bFichier = true;
    // The launcher's own admission, with this launcher's class and machine.
    std::string sChargement, sRaison;
    bool bEtranger = false;
    if (Confiance_bAdmetBibliotheque(sChemin.c_str(), nProprietaire, &sChargement, &sRaison, &bEtranger,
                                     stLanceur.nClasse, stLanceur.nMachine)) {
        st.bChargeable = true;
        st.sEtat = "exists, " + sDecritElf(stLanceur) + ", matches the launcher";
        return st;
    }
    std::vector<uint8_t> tab(64);
    _stELFENTETE stEntete;
    FILE *pFichier = bEtranger ? fopen(sChemin.c_str(), "rb") : nullptr;
    if (pFichier && fread(tab.data(), 1, tab.size(), pFichier) == tab.size() &&
        ElfInfoExe_bLitEntete(tab.data(), tab.size(), &stEntete))
        st.sEtat = "exists, " + sDecritElf(stEntete) + " but the launcher is " + sDecritElf(stLanceur) +
                   ": cannot be loaded";
    else
        st.sEtat = "refused: " + sRaison;
    if (pFichier)
        fclose(pFichier);
    st.bRefuse = !bEtranger;
    return st;
}

std::string sRepertoireDe(const std::string &sChemin)
{
    size_t n = sChemin.rfind('/');
    return n == std::string::npos ? std::string() : sChemin.substr(0, n + 1);
}

std::string sAvecSlash(std::string s)
{
    if (!s.empty() && s.back() != '/')
        s += '/';
    return s;
}

// The system loader's search for a bare name; answers the path it would pick.
std::string sRechercheChargeur(const char *pszEtape, const std::string &sNom, const _stELFENTETE &stLanceur,
                               uid_t nProprietaire)
{
    const char *pszLd = getenv("LD_LIBRARY_PATH");
    printf("  %s, bare name %s (LD_LIBRARY_PATH=%s, then /etc/ld.so.conf and the default directories):\n",
           pszEtape, sCite(sNom).c_str(), pszLd ? pszLd : "");
    for (const std::string &sRep : RechercheVM_tabRepertoiresChargeur(stLanceur.nClasse)) {
        std::string sChemin = sAvecSlash(sRep) + sNom;
        stCANDIDAT st = stExamine(sChemin, stLanceur, nProprietaire);
        printf("    %s: %s\n", sChemin.c_str(), st.sEtat.c_str());
        if (st.bChargeable)
            return sChemin;
    }
    return std::string();
}

void Issue(const std::string &sChemin, const stCANDIDAT &st)
{
    if (st.bChargeable)
        printf("outcome: the launcher opens %s and calls its bInitLibrary (the launch fails with the "
               "'library not found' message if that export is missing or answers false)\n",
               sChemin.c_str());
    else
        printf("outcome: the launcher tries to open %s, which fails: the launch fails with the "
               "'library not found' message\n",
               sChemin.c_str());
}

} // namespace

int nTqpackInspect(int argc, char **argv)
{
    const char *pszExe = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printf("%s%s", gszUsageInspect, gszAideInspect);
            return TQPACK_OK;
        }
        if (strncmp(argv[i], "--", 2) == 0)
            return nErreurUsage("inspect", gszUsageInspect, std::string("unknown option '") + argv[i] + "'");
        if (pszExe)
            return nErreurUsage("inspect", gszUsageInspect, std::string("unexpected argument '") + argv[i] + "'");
        pszExe = argv[i];
    }
    if (!pszExe)
        return nErreurUsage("inspect", gszUsageInspect, "EXE is required");

    stIMAGELANCEUR stImage;
    std::string sErreur;
    if (!bChargeLanceur(pszExe, &stImage, &sErreur))
        return nErreur(sErreur);
    // The launcher knows itself by its resolved path.
    char szReel[PATH_MAX];
    std::string sModule = realpath(pszExe, szReel) ? szReel : pszExe;
    const _stELFENTETE &stLanceur = stImage.stLoc.stEntete;
    _stINFOEXE stInfo = stImage.stInfo();
    const std::string sNomVM = sChamp(stInfo.szNomVM, sizeof(stInfo.szNomVM));
    const std::string sNomTQL = sChamp(stInfo.szNomTQL, sizeof(stInfo.szNomTQL));

    // The application library name as the launcher hands it to the engine.
    std::string sTQLDonne;
    if (sNomTQL.empty() || sNomTQL == TQ_INFOEXE_NOMTQL_DEFAUT) {
        std::string sBase = sModule.substr(sModule.rfind('/') + 1);
        sTQLDonne = sBase;
        if (sTQLDonne.size() < sizeof(stInfo.szNomTQL)) {
            char szNom[sizeof(stInfo.szNomTQL)];
            snprintf(szNom, sizeof(szNom), "%s", sBase.c_str());
            CDiskFile::ChangeExtension(szNom, sizeof(szNom), ".TQL");
            sTQLDonne = szNom;
        }
    } else {
        sTQLDonne = sNomTQL.substr(sNomTQL.find_last_of("/\\") == std::string::npos
                                       ? 0
                                       : sNomTQL.find_last_of("/\\") + 1);
    }

    printf("launcher: %s (%s)\n", sModule.c_str(), sDecritElf(stLanceur).c_str());
    printf("engine library: %s\n", sCite(sNomVM).c_str());
    printf("application library: %s (the engine is handed %s)\n", sCite(sNomTQL).c_str(), sCite(sTQLDonne).c_str());
    printf("application library offset: %lld\n", static_cast<long long>(stInfo.oOffsetTQL));
    printf("project: %s\n", sCite(sChamp(stInfo.szNomProjet, sizeof(stInfo.szNomProjet))).c_str());
    printf("active version: %d\n", stInfo.nVersionActive);
    printf("direct-open switch: %d\n", stInfo.nOuvertureDirecte);
    printf("common-directory switch: %d\n", stInfo.nFrameworkCommun);
    printf("data directory: %s\n", sCite(stImage.sRepDonnees()).c_str());
    std::string sMarqueurs;
    for (const std::string &s : stImage.tabMarqueurs())
        sMarqueurs += (sMarqueurs.empty() ? "" : ", ") + sCite(s);
    printf("version markers: %s\n", sMarqueurs.c_str());
    AfficheBlocsPortes(stImage.tabOctets.data(), stImage.tabOctets.size(), stInfo.oOffsetTQL);

    CParametreExecution clParametres;
    clParametres.Initialise(sModule.c_str());
    char szValeurVM[260] = "";
    std::string sTexteTX, sRefusTX;
    const bool bTX = clParametres.bLitTexte(&sTexteTX, &sRefusTX);
    clParametres.nLitChaineSection("FRAMEWORK", "VMPATH", "", szValeurVM, sizeof(szValeurVM));
    printf("runtime parameter file: %s (%s)\n", clParametres.pszGetNomPhysiqueComplet(),
           bTX ? "present" : sRefusTX.empty() ? "absent" : ("refused: " + sRefusTX + "; read as absent").c_str());
    printf("FRAMEWORK/VMPATH: %s\n", sCite(szValeurVM).c_str());
    const std::string sRepExe = sRepertoireDe(sModule);
    pstRechercheFramework()->clRepExe.Set(sRepExe.c_str());
    const std::string sCheminVM = RechercheVM_czCheminExplicite(szValeurVM).pszGet();
    const char *szCheminVM = sCheminVM.c_str();
    const uid_t nProprietaire = Confiance_uidProprietaire(sModule.c_str());

    printf("search:\n");
    if (!*szCheminVM) {
        printf("  explicit path: none\n");
    } else {
        stCANDIDAT st = stExamine(szCheminVM, stLanceur, nProprietaire);
        printf("  explicit path: %s: %s\n", szCheminVM, st.sEtat.c_str());
        if (st.bChargeable) {
            Issue(szCheminVM, st);
            return TQPACK_OK;
        }
        printf("  the explicit path is not used; the search goes on\n");
    }
    if (sNomVM.empty()) {
        printf("outcome: the engine library name is empty: the launch fails with the 'library not found' message\n");
        return TQPACK_OK;
    }
    std::string sChemin = sRepExe + sNomVM;
    stCANDIDAT st = stExamine(sChemin, stLanceur, nProprietaire);
    printf("  stage 1, executable directory: %s: %s\n", sChemin.c_str(), st.sEtat.c_str());
    if (st.bFichier && !st.bRefuse) {
        Issue(sChemin, st);
        return TQPACK_OK;
    }
    if (stInfo.nOuvertureDirecte) {
        printf("  stages 2 to 4 skipped (direct-open switch); the library is opened by bare name\n");
    } else {
        if (!stInfo.nFrameworkCommun) {
            printf("  stage 2, common directory: not tried (switch 0)\n");
        } else {
            char szRep[260] = "";
            bConstruitCheminFrameworkCommun(szRep, sizeof(szRep), sNomVM.c_str());
            if (_bFrameworkRenomme(sNomVM.c_str()))
                printf("  stage 2, common directory from %s, FRAMEWORK/CHEMIN: %s\n",
                       czFichierConfFrameworkRenomme(sNomVM.c_str()).pszGet(), sCite(szRep).c_str());
            if (!*szRep) {
                printf("  stage 2, common directory: none configured\n");
            } else {
                sChemin = sAvecSlash(szRep) + sNomVM;
                st = stExamine(sChemin, stLanceur, nProprietaire);
                printf("  stage 2, common directory: %s: %s\n", sChemin.c_str(), st.sEtat.c_str());
                if (st.bFichier && !st.bRefuse) {
                    Issue(sChemin, st);
                    return TQPACK_OK;
                }
            }
        }
        printf("  stage 3: nothing to try\n");
    }
    std::string sPris = sRechercheChargeur(stInfo.nOuvertureDirecte ? "open through the system loader"
                                                                    : "stage 4, system loader",
                                           sNomVM, stLanceur, nProprietaire);
    if (sPris.empty()) {
        printf("outcome: the system loader finds no loadable %s: the launch fails with the 'library not found' "
               "message\n",
               sNomVM.c_str());
        return TQPACK_OK;
    }
    Issue(sPris, stExamine(sPris, stLanceur, nProprietaire));
    return TQPACK_OK;
}
