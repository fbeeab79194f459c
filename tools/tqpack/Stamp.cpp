// tqpack stamp: copies a launcher and writes an application's values into its
// information block and data directory field.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Commands.h"
#include "Image.h"

static const char gszUsageStamp[] =
    "usage: tqpack stamp IN OUT [--engine NAME] [--tql NAME] [--offset N] [--project NAME]\n"
    "                           [--direct-open 0|1] [--search-common 0|1] [--version N] [--data-dir DIR]\n";

static const char gszAideStamp[] =
    "\n"
    "Copies the launcher IN to OUT and writes the given values into OUT's information\n"
    "block. IN is never changed; OUT is written atomically with IN's mode bits.\n"
    "\n"
    "  --engine NAME        engine library file name, without directory (at most 521 bytes)\n"
    "  --tql NAME           application library handed to the engine (at most 260 bytes);\n"
    "                       default.tql stands for the launcher's own name with .TQL\n"
    "  --offset N           byte offset handed with the application library (0 or more)\n"
    "  --project NAME       project name handed to the engine's run (at most 280 bytes)\n"
    "  --direct-open 0|1    1: the search skips the common directory and the system loader\n"
    "  --search-common 0|1  1: the search tries the common installation directory\n"
    "  --version N          active version handed to the engine (32-bit integer)\n"
    "  --data-dir DIR       data files directory handed to the engine (at most 260 bytes)\n";

namespace {

struct stVALEURS {
    const char *pszEngine = nullptr;
    const char *pszTql = nullptr;
    const char *pszOffset = nullptr;
    const char *pszProject = nullptr;
    const char *pszDirectOpen = nullptr;
    const char *pszSearchCommon = nullptr;
    const char *pszVersion = nullptr;
    const char *pszDataDir = nullptr;
};

struct stOPTION {
    const char *pszNom;
    const char *stVALEURS::*pValeur;
};

const stOPTION gtabOptions[] = {
    {"--engine", &stVALEURS::pszEngine},           {"--tql", &stVALEURS::pszTql},
    {"--offset", &stVALEURS::pszOffset},           {"--project", &stVALEURS::pszProject},
    {"--direct-open", &stVALEURS::pszDirectOpen}, {"--search-common", &stVALEURS::pszSearchCommon},
    {"--version", &stVALEURS::pszVersion},         {"--data-dir", &stVALEURS::pszDataDir},
};

bool bLitEntier(const char *pszTexte, long long nMin, long long nMax, long long *pnValeur)
{
    if (!*pszTexte)
        return false;
    errno = 0;
    char *pszFin = nullptr;
    long long n = strtoll(pszTexte, &pszFin, 10);
    if (errno || *pszFin || n < nMin || n > nMax)
        return false;
    *pnValeur = n;
    return true;
}

// Writes a text into a field, zero-padded; false when it does not fit with its terminator.
bool bEcritChamp(char *pszChamp, size_t nTaille, const char *pszValeur, const char *pszOption,
                 const char *pszNomChamp, std::string *psErreur)
{
    size_t n = strlen(pszValeur);
    if (n >= nTaille) {
        *psErreur = std::string(pszOption) + " value is " + std::to_string(n) + " bytes; the " + pszNomChamp +
                    " field is " + std::to_string(nTaille) + " bytes and holds at most " +
                    std::to_string(nTaille - 1) + " with its terminator";
        return false;
    }
    memset(pszChamp, 0, nTaille);
    memcpy(pszChamp, pszValeur, n);
    return true;
}

bool bInterrupteur(const char *pszTexte, const char *pszOption, int32_t *pnValeur, std::string *psErreur)
{
    if (strcmp(pszTexte, "0") != 0 && strcmp(pszTexte, "1") != 0) {
        *psErreur = std::string(pszOption) + " takes 0 or 1, not '" + pszTexte + "'";
        return false;
    }
    *pnValeur = pszTexte[0] - '0';
    return true;
}

// Applies the options to a block and a data directory field.
bool bAppliqueValeurs(const stVALEURS &v, _stINFOEXE *pst, char *pszRepDonnees, std::string *psErreur)
{
    if (v.pszEngine) {
        if (!*v.pszEngine || strchr(v.pszEngine, '/')) {
            *psErreur = "--engine takes a file name without directory";
            return false;
        }
        if (!bEcritChamp(pst->szNomVM, sizeof(pst->szNomVM), v.pszEngine, "--engine", "engine library name",
                         psErreur))
            return false;
    }
    if (v.pszTql && !bEcritChamp(pst->szNomTQL, sizeof(pst->szNomTQL), v.pszTql, "--tql", "application library name",
                                 psErreur))
        return false;
    if (v.pszProject &&
        !bEcritChamp(pst->szNomProjet, sizeof(pst->szNomProjet), v.pszProject, "--project", "project name", psErreur))
        return false;
    if (v.pszDataDir &&
        !bEcritChamp(pszRepDonnees, TQ_TAILLE_FILEPATH, v.pszDataDir, "--data-dir", "data directory", psErreur))
        return false;
    long long n = 0;
    if (v.pszOffset) {
        if (!bLitEntier(v.pszOffset, 0, LLONG_MAX, &n)) {
            *psErreur = std::string("--offset takes a non-negative 64-bit integer, not '") + v.pszOffset + "'";
            return false;
        }
        pst->oOffsetTQL = n;
    }
    if (v.pszVersion) {
        if (!bLitEntier(v.pszVersion, INT32_MIN, INT32_MAX, &n)) {
            *psErreur = std::string("--version takes a 32-bit integer, not '") + v.pszVersion + "'";
            return false;
        }
        pst->nVersionActive = static_cast<int32_t>(n);
    }
    // The block is packed: its integers are written through locals, never through pointers.
    int32_t nInterrupteur = 0;
    if (v.pszDirectOpen) {
        if (!bInterrupteur(v.pszDirectOpen, "--direct-open", &nInterrupteur, psErreur))
            return false;
        pst->nOuvertureDirecte = nInterrupteur;
    }
    if (v.pszSearchCommon) {
        if (!bInterrupteur(v.pszSearchCommon, "--search-common", &nInterrupteur, psErreur))
            return false;
        pst->nFrameworkCommun = nInterrupteur;
    }
    return true;
}

} // namespace

int nTqpackStamp(int argc, char **argv)
{
    stVALEURS stValeurs;
    const char *tabPositionnels[2] = {nullptr, nullptr};
    int nPositionnels = 0;
    for (int i = 1; i < argc; ++i) {
        const char *pszArg = argv[i];
        if (strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0) {
            printf("%s%s", gszUsageStamp, gszAideStamp);
            return TQPACK_OK;
        }
        if (strncmp(pszArg, "--", 2) != 0) {
            if (nPositionnels == 2)
                return nErreurUsage("stamp", gszUsageStamp, std::string("unexpected argument '") + pszArg + "'");
            tabPositionnels[nPositionnels++] = pszArg;
            continue;
        }
        const stOPTION *pstOption = nullptr;
        const char *pszValeur = nullptr;
        for (const stOPTION &stOption : gtabOptions) {
            size_t n = strlen(stOption.pszNom);
            if (strncmp(pszArg, stOption.pszNom, n) == 0 && (pszArg[n] == '\0' || pszArg[n] == '=')) {
                pstOption = &stOption;
                pszValeur = pszArg[n] == '=' ? pszArg + n + 1 : nullptr;
            }
        }
        if (!pstOption)
            return nErreurUsage("stamp", gszUsageStamp, std::string("unknown option '") + pszArg + "'");
        if (!pszValeur) {
            if (i + 1 >= argc)
                return nErreurUsage("stamp", gszUsageStamp, std::string(pstOption->pszNom) + " needs a value");
            pszValeur = argv[++i];
        }
        stValeurs.*(pstOption->pValeur) = pszValeur;
    }
    if (nPositionnels != 2)
        return nErreurUsage("stamp", gszUsageStamp, "IN and OUT are required");
    const std::string sEntree = tabPositionnels[0], sSortie = tabPositionnels[1];

    struct stat stEntree;
    if (stat(sEntree.c_str(), &stEntree) != 0)
        return nErreur(sEntree + ": " + strerror(errno));
    if (!S_ISREG(stEntree.st_mode))
        return nErreur(sEntree + ": not a regular file");
    struct stat stSortie;
    if (stat(sSortie.c_str(), &stSortie) == 0 && stSortie.st_dev == stEntree.st_dev &&
        stSortie.st_ino == stEntree.st_ino)
        return nErreur(sSortie + ": OUT is IN; IN is never changed, choose another OUT");

    stIMAGELANCEUR stImage;
    std::string sErreur;
    if (!bChargeLanceur(sEntree, &stImage, &sErreur))
        return nErreur(sErreur);
    _stINFOEXE stInfo = stImage.stInfo();
    char szRepDonnees[TQ_TAILLE_FILEPATH];
    memcpy(szRepDonnees, stImage.tabOctets.data() + stImage.stLoc.oFilePath, sizeof(szRepDonnees));
    if (!bAppliqueValeurs(stValeurs, &stInfo, szRepDonnees, &sErreur))
        return nErreur(sErreur);
    stImage.EcritInfo(stInfo);
    memcpy(stImage.tabOctets.data() + stImage.stLoc.oFilePath, szRepDonnees, sizeof(szRepDonnees));
    if (!bEcritImageAtomique(sSortie, stImage.tabOctets, stEntree.st_mode & 07777, &sErreur))
        return nErreur(sErreur);
    return TQPACK_OK;
}
