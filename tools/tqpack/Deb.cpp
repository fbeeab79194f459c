// tqpack deb: turns a launcher and an application library into a Debian package:
// the stamped launcher, the application and its runtime parameter file under
// /usr/lib/NAME, a command /usr/bin/NAME and, for a service, a systemd unit enabled
// and started by the maintainer scripts.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/AtomicOutput.h"
#include "Commands.h"
#include "DebArchive.h"
#include "DebUnit.h"
#include "Image.h"

static const char gszUsageDeb[] =
    "usage: tqpack deb --name NAME --version V --tql APP.TQL [--embed] [--project P] [--data-dir DIR]\n"
    "                  [--engine-package PKG] [--engine-path PATH] [--service [--user U] [--directory D]]\n"
    "                  [--maintainer M] [--description TEXT] [-o OUT.deb] LAUNCHER\n";
static const char gszAideDeb[] =
    "\n"
    "Builds a Debian package of the application APP.TQL run by a copy of LAUNCHER (an\n"
    "installed tqexe: its class gives the architecture, amd64 or i386). The package holds\n"
    "/usr/lib/NAME/NAME (the launcher, stamped), NAME.TQL beside it (or inside it with\n"
    "--embed), NAME.TX naming the engine, and the command /usr/bin/NAME. The same inputs\n"
    "give the same bytes: every date is SOURCE_DATE_EPOCH, else the newest input's.\n"
    "\n"
    "  --name NAME           package, command and service name\n"
    "  --version V           package version (Debian syntax)\n"
    "  --tql APP.TQL         the application library\n"
    "  --embed               carry the application inside the launcher\n"
    "  --project P           project name handed to the engine\n"
    "  --data-dir DIR        data files directory handed to the engine\n"
    "  --engine-package PKG  package the application depends on for its engine\n"
    "                        (default tqexe-reference-engine)\n"
    "  --engine-path PATH    the engine file that package installs (default\n"
    "                        /usr/lib/<multiarch>/tqexe/engine/tq150vm.so)\n"
    "  --service             also install NAME.service, enabled and started on install\n"
    "  --user U              the service runs as U (the launcher changes identity)\n"
    "  --directory D         directory the service gives to its user at start, shipped empty\n"
    "  --maintainer M        'Name <address>' (default $DEBFULLNAME <$DEBEMAIL>)\n"
    "  --description TEXT    one-line summary\n"
    "  -o OUT.deb            output (default NAME_VERSION_ARCH.deb)\n";

namespace {

struct stOPTIONSDEB {
    const char *pszNom = nullptr, *pszVersion = nullptr, *pszTql = nullptr, *pszProjet = nullptr;
    const char *pszRepDonnees = nullptr, *pszPaquetMoteur = nullptr, *pszCheminMoteur = nullptr;
    const char *pszUtilisateur = nullptr, *pszRepertoire = nullptr, *pszMaintainer = nullptr;
    const char *pszDescription = nullptr, *pszSortie = nullptr, *pszLanceur = nullptr;
    bool bEmbed = false, bService = false;
};

struct stOPTIONVALEUR {
    const char *pszNom;
    const char *stOPTIONSDEB::*pValeur;
};
const stOPTIONVALEUR gtabOptionsDeb[] = {
    {"--name", &stOPTIONSDEB::pszNom},
    {"--version", &stOPTIONSDEB::pszVersion},
    {"--tql", &stOPTIONSDEB::pszTql},
    {"--project", &stOPTIONSDEB::pszProjet},
    {"--data-dir", &stOPTIONSDEB::pszRepDonnees},
    {"--engine-package", &stOPTIONSDEB::pszPaquetMoteur},
    {"--engine-path", &stOPTIONSDEB::pszCheminMoteur},
    {"--user", &stOPTIONSDEB::pszUtilisateur},
    {"--directory", &stOPTIONSDEB::pszRepertoire},
    {"--maintainer", &stOPTIONSDEB::pszMaintainer},
    {"--description", &stOPTIONSDEB::pszDescription},
    {"-o", &stOPTIONSDEB::pszSortie},
};

// The architectures a launcher can be built for: ELF class and machine.
struct stARCHITECTURE {
    int nClasse;
    uint16_t nMachine;
    const char *pszDebian, *pszTriplet;
};
const stARCHITECTURE gtabArchitectures[] = {
    {64, 62, "amd64", "x86_64-linux-gnu"},
    {32, 3, "i386", "i386-linux-gnu"},
    {64, 183, "arm64", "aarch64-linux-gnu"},
};

// One entry of data.tar: a directory (names end with '/'), a file or a symlink.
struct stENTREE {
    std::string sNom;
    unsigned nMode = 0755;
    tOCTETS tab;
    std::string sCible;
};

tOCTETS tabTexte(const std::string &s)
{
    return tOCTETS(s.begin(), s.end());
}

bool bSansFinDeLigne(const char *psz)
{
    return !psz || !strpbrk(psz, "\n\r");
}

// A path the unit and the .TX can hold: absolute, no blanks, no "..".
bool bCheminSimple(const char *psz)
{
    return psz && psz[0] == '/' && !strpbrk(psz, " \t\n\r\"'\\%$") && !strstr(psz, "/..") && strlen(psz) < 200;
}

bool bUtilisateurValide(const char *psz)
{
    if (!psz || !((*psz >= 'a' && *psz <= 'z') || *psz == '_') || strlen(psz) > 32)
        return false;
    for (const char *p = psz; *p; ++p)
        if (!((*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') || *p == '_' || *p == '-'))
            return false;
    return true;
}

// Runs another tqpack command on a private file, its informative output dropped.
int nSousCommande(int (*pfn)(int, char **), std::vector<std::string> tabArgs)
{
    std::vector<char *> tab;
    for (std::string &s : tabArgs)
        tab.push_back(&s[0]);
    tab.push_back(nullptr);
    fflush(stdout);
    int fdSortie = dup(STDOUT_FILENO);
    FILE *pNul = freopen("/dev/null", "w", stdout);
    int n = pfn(static_cast<int>(tabArgs.size()), tab.data());
    fflush(stdout);
    if (pNul && fdSortie >= 0)
        dup2(fdSortie, STDOUT_FILENO);
    if (fdSortie >= 0)
        close(fdSortie);
    return n;
}

// The private working directory; removed before the deferred signals are let through.
struct CRepTemporaire {
    std::string sChemin;
    ~CRepTemporaire()
    {
        if (sChemin.empty())
            return;
        for (const char *psz : {"/a", "/b"})
            unlink((sChemin + psz).c_str());
        rmdir(sChemin.c_str());
    }
};

void AjouteParents(std::vector<stENTREE> *ptab, const std::string &sChemin)
{
    for (size_t o = sChemin.find('/', 1); o != std::string::npos; o = sChemin.find('/', o + 1)) {
        stENTREE st;
        st.sNom = "." + sChemin.substr(0, o + 1);
        ptab->push_back(st);
    }
}

// Builds the package; false with the one-line reason.
bool bConstruit(const stOPTIONSDEB &o, std::string *psSortie, const std::string &sRepTemp, uint64_t qwDate,
                stPAQUETDEB &st, std::string *psErreur)
{
    stIMAGELANCEUR stImage;
    if (!bChargeLanceur(o.pszLanceur, &stImage, psErreur))
        return false;
    for (const stARCHITECTURE &a : gtabArchitectures)
        if (a.nClasse == stImage.stLoc.stEntete.nClasse && a.nMachine == stImage.stLoc.stEntete.nMachine) {
            st.sArchitecture = a.pszDebian;
            st.sTriplet = a.pszTriplet;
        }
    if (st.sArchitecture.empty()) {
        *psErreur = std::string(o.pszLanceur) + ": a launcher for " + sDecritElf(stImage.stLoc.stEntete) +
                    ", which has no Debian architecture here";
        return false;
    }
    if (psSortie->empty()) // the file name Debian's tools give: no epoch
        *psSortie = st.sNom + "_" + st.sVersion.substr(st.sVersion.find(':') + 1) + "_" + st.sArchitecture + ".deb";
    const std::string &sSortie = *psSortie;
    std::vector<std::string> tabLibs;
    if (!bDependancesElf(stImage.tabOctets.data(), stImage.tabOctets.size(), &tabLibs, psErreur)) {
        *psErreur = std::string(o.pszLanceur) + ": " + *psErreur;
        return false;
    }
    st.tabDepends = tabLibs;
    st.tabDepends.push_back(o.pszPaquetMoteur ? o.pszPaquetMoteur : "tqexe-reference-engine");
    st.sCheminMoteur =
        o.pszCheminMoteur ? o.pszCheminMoteur : "/usr/lib/" + st.sTriplet + "/tqexe/engine/tq150vm.so";

    // The launcher is stamped and the application embedded by the commands that do it
    // alone, on private copies.
    const std::string sStampe = sRepTemp + "/a", sEmbarque = sRepTemp + "/b";
    std::vector<std::string> tabStamp = {"stamp", o.pszLanceur, sStampe};
    if (o.pszProjet)
        tabStamp.insert(tabStamp.end(), {"--project", o.pszProjet});
    if (o.pszRepDonnees)
        tabStamp.insert(tabStamp.end(), {"--data-dir", o.pszRepDonnees});
    if (nSousCommande(nTqpackStamp, tabStamp) != TQPACK_OK)
        return *psErreur = "", false;
    std::string sLanceur = sStampe;
    if (o.bEmbed) {
        if (nSousCommande(nTqpackEmbed, {"embed", sStampe, sEmbarque, o.pszTql, "--application", "--name",
                                         st.sNom + ".TQL"}) != TQPACK_OK)
            return *psErreur = "", false;
        sLanceur = sEmbarque;
    }

    std::vector<stENTREE> tab;
    auto Ajoute = [&tab](const std::string &sNom, unsigned nMode, const tOCTETS &tabOctets) {
        stENTREE e;
        e.sNom = sNom;
        e.nMode = nMode;
        e.tab = tabOctets;
        tab.push_back(e);
    };
    const std::string sLib = "/usr/lib/" + st.sNom + "/", sDoc = "/usr/share/doc/" + st.sNom + "/";
    AjouteParents(&tab, sLib);
    AjouteParents(&tab, sDoc);
    AjouteParents(&tab, "/usr/bin/");
    tab.push_back(stENTREE{"./", 0755, {}, ""});
    tOCTETS tabOctets;
    if (!bLitFichierEntier(sLanceur, &tabOctets, psErreur))
        return false;
    Ajoute("." + sLib + st.sNom, 0755, tabOctets);
    if (!o.bEmbed) {
        if (!bLitFichierEntier(o.pszTql, &tabOctets, psErreur))
            return false;
        Ajoute("." + sLib + st.sNom + ".TQL", 0644, tabOctets);
    }
    Ajoute("." + sLib + st.sNom + ".TX", 0644, tabTexte(sTexteTX(st)));
    tab.push_back(stENTREE{"./usr/bin/" + st.sNom, 0777, {}, "../lib/" + st.sNom + "/" + st.sNom});
    Ajoute("." + sDoc + "copyright", 0644, tabTexte(sTexteCopyright(st, qwDate)));
    // Native versions (no Debian revision) carry the changelog under its upstream name.
    const bool bNatif = st.sVersion.find('-') == std::string::npos;
    Ajoute("." + sDoc + (bNatif ? "changelog.gz" : "changelog.Debian.gz"), 0644,
           tabGzipStocke(tabTexte(sTexteChangelog(st, qwDate))));
    if (st.bService) {
        AjouteParents(&tab, "/lib/systemd/system/");
        Ajoute("./lib/systemd/system/" + st.sNom + ".service", 0644, tabTexte(sTexteUnite(st)));
        if (!st.sRepertoire.empty())
            AjouteParents(&tab, st.sRepertoire + "/");
    }
    std::sort(tab.begin(), tab.end(), [](const stENTREE &a, const stENTREE &b) { return a.sNom < b.sNom; });
    tab.erase(std::unique(tab.begin(), tab.end(), [](const stENTREE &a, const stENTREE &b) { return a.sNom == b.sNom; }),
              tab.end());

    CTarUstar clData(qwDate);
    std::string sMd5;
    uint64_t nKo = 0;
    for (const stENTREE &e : tab) {
        if (!bNomTarValide(e.sNom)) {
            *psErreur = e.sNom + ": path too long for the package's archive";
            return false;
        }
        if (!e.sCible.empty()) {
            clData.Lien(e.sNom, e.sCible);
            ++nKo;
        } else if (e.sNom.back() == '/') {
            clData.Repertoire(e.sNom, e.nMode);
            ++nKo;
        } else {
            clData.Fichier(e.sNom, e.nMode, e.tab);
            sMd5 += sMd5Hex(e.tab.data(), e.tab.size()) + "  " + e.sNom.substr(2) + "\n";
            nKo += (e.tab.size() + 1023) / 1024;
        }
    }

    CTarUstar clControl(qwDate);
    clControl.Repertoire("./", 0755);
    clControl.Fichier("./control", 0644, tabTexte(sTexteControl(st, nKo)));
    clControl.Fichier("./md5sums", 0644, tabTexte(sMd5));
    if (st.bService) {
        clControl.Fichier("./postinst", 0755, tabTexte(sScriptPostinst(st)));
        clControl.Fichier("./postrm", 0755, tabTexte(sScriptPostrm(st)));
        clControl.Fichier("./prerm", 0755, tabTexte(sScriptPrerm(st)));
    }
    tOCTETS tabDeb = tabArchiveAr({{"debian-binary", tabTexte("2.0\n")},
                                   {"control.tar.xz", tabXzStocke(clControl.tabTermine())},
                                   {"data.tar.xz", tabXzStocke(clData.tabTermine())}},
                                  qwDate);
    if (!bEcritImageAtomique(sSortie, tabDeb, 0644, psErreur))
        return false;
    printf("%s: %s %s for %s, %zu bytes\n", sSortie.c_str(), st.sNom.c_str(), st.sVersion.c_str(),
           st.sArchitecture.c_str(), tabDeb.size());
    return true;
}

} // namespace

int nTqpackDeb(int argc, char **argv)
{
    stOPTIONSDEB o;
    for (int i = 1; i < argc; ++i) {
        const char *pszArg = argv[i];
        if (strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0) {
            printf("%s%s", gszUsageDeb, gszAideDeb);
            return TQPACK_OK;
        }
        if (strcmp(pszArg, "--embed") == 0 || strcmp(pszArg, "--service") == 0) {
            (pszArg[2] == 'e' ? o.bEmbed : o.bService) = true;
            continue;
        }
        const stOPTIONVALEUR *pstOption = nullptr;
        const char *pszValeur = nullptr;
        for (const stOPTIONVALEUR &stOption : gtabOptionsDeb) {
            size_t n = strlen(stOption.pszNom);
            if (strncmp(pszArg, stOption.pszNom, n) == 0 && (pszArg[n] == '\0' || pszArg[n] == '=')) {
                pstOption = &stOption;
                pszValeur = pszArg[n] == '=' ? pszArg + n + 1 : nullptr;
            }
        }
        if (!pstOption) {
            if (pszArg[0] == '-')
                return nErreurUsage("deb", gszUsageDeb, std::string("unknown option '") + pszArg + "'");
            if (o.pszLanceur)
                return nErreurUsage("deb", gszUsageDeb, std::string("unexpected argument '") + pszArg + "'");
            o.pszLanceur = pszArg;
            continue;
        }
        if (!pszValeur) {
            if (i + 1 >= argc)
                return nErreurUsage("deb", gszUsageDeb, std::string(pstOption->pszNom) + " needs a value");
            pszValeur = argv[++i];
        }
        o.*(pstOption->pValeur) = pszValeur;
    }
    if (!o.pszNom || !o.pszVersion || !o.pszTql || !o.pszLanceur)
        return nErreurUsage("deb", gszUsageDeb, "--name, --version, --tql and LAUNCHER are required");
    if ((o.pszUtilisateur || o.pszRepertoire) && !o.bService)
        return nErreurUsage("deb", gszUsageDeb, "--user and --directory belong to --service");

    stPAQUETDEB st;
    std::string sRaison;
    st.sNom = o.pszNom;
    st.sVersion = o.pszVersion;
    if (!bNomPaquetValide(st.sNom, &sRaison))
        return nErreur("'" + st.sNom + "' is not a valid Debian package name: " + sRaison);
    if (!bVersionValide(st.sVersion, &sRaison))
        return nErreur("'" + st.sVersion + "' is not a version Debian accepts: " + sRaison);
    if (o.pszUtilisateur && !bUtilisateurValide(o.pszUtilisateur))
        return nErreur(std::string("--user '") + o.pszUtilisateur + "' is not a user name Debian accepts");
    if (o.pszRepertoire && !bCheminSimple(o.pszRepertoire))
        return nErreur("--directory takes an absolute path without blanks, quotes or '..'");
    if (o.bService && o.pszRepDonnees && o.pszRepDonnees[0] == '/' && !bCheminSimple(o.pszRepDonnees))
        return nErreur("--data-dir of a service takes a path without blanks, quotes or '..'");
    if (o.pszCheminMoteur && !bCheminSimple(o.pszCheminMoteur))
        return nErreur("--engine-path takes an absolute path without blanks, quotes or '..'");
    if (o.pszPaquetMoteur && !bNomPaquetValide(o.pszPaquetMoteur, &sRaison))
        return nErreur(std::string("--engine-package '") + o.pszPaquetMoteur + "' is not a valid package name");
    if (!bSansFinDeLigne(o.pszMaintainer) || !bSansFinDeLigne(o.pszDescription))
        return nErreur("--maintainer and --description take one line each");
    st.bService = o.bService;
    st.sUtilisateur = o.pszUtilisateur ? o.pszUtilisateur : "";
    st.sRepertoire = o.pszRepertoire ? o.pszRepertoire : "";
    if (st.sRepertoire.size() > 1 && st.sRepertoire.back() == '/')
        st.sRepertoire.pop_back();
    st.sRepDonnees = o.pszRepDonnees && o.pszRepDonnees[0] == '/' ? o.pszRepDonnees : "";
    st.sDescription = o.pszDescription ? o.pszDescription : "TORQEN application " + st.sNom;
    if (o.pszMaintainer) {
        st.sMaintainer = o.pszMaintainer;
    } else {
        const char *pszNom = getenv("DEBFULLNAME"), *pszAdresse = getenv("DEBEMAIL");
        if (!pszAdresse || !*pszAdresse || !bSansFinDeLigne(pszNom) || !bSansFinDeLigne(pszAdresse))
            return nErreur("no maintainer: give --maintainer 'Name <address>' or set DEBEMAIL");
        st.sMaintainer = std::string(pszNom && *pszNom ? pszNom : st.sNom + " maintainers") + " <" + pszAdresse + ">";
    }
    if (st.sMaintainer.find('<') == std::string::npos || st.sMaintainer.back() != '>')
        return nErreur("--maintainer takes 'Name <address>'");

    struct stat stTql, stLanceur;
    if (stat(o.pszTql, &stTql) != 0)
        return nErreur(std::string(o.pszTql) + ": " + strerror(errno));
    if (!S_ISREG(stTql.st_mode))
        return nErreur(std::string(o.pszTql) + ": not a regular file");
    if (stat(o.pszLanceur, &stLanceur) != 0)
        return nErreur(std::string(o.pszLanceur) + ": " + strerror(errno));

    struct stat stSortie;
    if (o.pszSortie && stat(o.pszSortie, &stSortie) == 0)
        for (const struct stat &stEntree : {stTql, stLanceur})
            if (stSortie.st_dev == stEntree.st_dev && stSortie.st_ino == stEntree.st_ino)
                return nErreur(std::string(o.pszSortie) + ": -o names an input; inputs are never changed");
    uint64_t qwDate = static_cast<uint64_t>(std::max(stTql.st_mtime, stLanceur.st_mtime));
    if (const char *pszEpoque = getenv("SOURCE_DATE_EPOCH")) {
        char *pszFin = nullptr;
        errno = 0;
        unsigned long long n = strtoull(pszEpoque, &pszFin, 10);
        if (!*pszEpoque || *pszFin || errno || n > 077777777777ull)
            return nErreur(std::string("SOURCE_DATE_EPOCH '") + pszEpoque + "' is not a date in seconds");
        qwDate = n;
    }

    std::string sSortie = o.pszSortie ? o.pszSortie : "";
    bool bOk;
    std::string sErreur;
    {
        // Signals are held until the temporary files are gone, so none is left behind.
        CExitSignalsHeld clSignaux;
        std::string sDossier = sSortie.empty() ? "." : sSortie.substr(0, sSortie.rfind('/') + 1);
        if (sDossier.empty())
            sDossier = ".";
        std::string sModele = sDossier + "/.tqpack-deb.XXXXXX";
        CRepTemporaire clTemp;
        if (mkdtemp(&sModele[0])) {
            clTemp.sChemin = sModele;
            bOk = bConstruit(o, &sSortie, sModele, qwDate, st, &sErreur);
        } else {
            bOk = false;
            sErreur = sDossier + ": cannot create a working directory: " + strerror(errno);
        }
    }
    if (!bOk)
        return sErreur.empty() ? TQPACK_ERREUR : nErreur(sErreur);
    return TQPACK_OK;
}
