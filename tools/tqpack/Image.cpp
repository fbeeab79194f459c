// File handling shared by tqpack's commands.
#include "Image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "files/AtomicOutput.h"
#include "files/LectureSure.h"

bool bLitFichierEntier(const std::string &sChemin, std::vector<uint8_t> *ptab, std::string *psErreur)
{
    // A FIFO, a device or a directory is answered at once with one line.
    struct stat st;
    std::string sRaison, sTexte;
    int nFd = LectureSure_nOuvre(sChemin.c_str(), &st, &sRaison);
    if (nFd >= 0) {
        sTexte.reserve(static_cast<size_t>(st.st_size));
        LectureSure_bLitTout(nFd, SIZE_MAX, &sTexte, &sRaison);
        close(nFd);
    }
    if (!sRaison.empty()) {
        *psErreur = sChemin + ": " + sRaison;
        return false;
    }
    ptab->assign(sTexte.begin(), sTexte.end());
    return true;
}

bool bChargeLanceur(const std::string &sChemin, stIMAGELANCEUR *pstImage, std::string *psErreur)
{
    pstImage->sChemin = sChemin;
    if (!bLitFichierEntier(sChemin, &pstImage->tabOctets, psErreur))
        return false;
    const char *pszRaison = "not a launcher";
    if (!ElfInfoExe_bLocalise(pstImage->tabOctets.data(), pstImage->tabOctets.size(), &pstImage->stLoc, &pszRaison)) {
        *psErreur = sChemin + ": not a launcher: " + pszRaison;
        return false;
    }
    return true;
}

_stINFOEXE stIMAGELANCEUR::stInfo() const
{
    _stINFOEXE st;
    memcpy(&st, tabOctets.data() + stLoc.oInfoExe, sizeof(st));
    return st;
}

void stIMAGELANCEUR::EcritInfo(const _stINFOEXE &st)
{
    memcpy(tabOctets.data() + stLoc.oInfoExe, &st, sizeof(st));
}

std::string stIMAGELANCEUR::sRepDonnees() const
{
    return sChamp(reinterpret_cast<const char *>(tabOctets.data() + stLoc.oFilePath), TQ_TAILLE_FILEPATH);
}

std::vector<std::string> stIMAGELANCEUR::tabMarqueurs() const
{
    std::vector<std::string> tab;
    const char *p = reinterpret_cast<const char *>(tabOctets.data() + stLoc.oVersion);
    size_t i = 0;
    while (i < stLoc.nTailleVersion) {
        std::string s = sChamp(p + i, stLoc.nTailleVersion - i);
        if (!s.empty())
            tab.push_back(s);
        i += s.size() + 1;
    }
    return tab;
}

std::string sDecritElf(const _stELFENTETE &stEntete)
{
    char szMachine[32];
    return "ELF" + std::to_string(stEntete.nClasse) + " " +
           ElfInfoExe_pszMachine(stEntete.nMachine, szMachine, sizeof(szMachine));
}

int nErreur(const std::string &sMessage)
{
    fprintf(stderr, "tqpack: %s\n", sMessage.c_str());
    return TQPACK_ERREUR;
}

int nErreurUsage(const char *pszCommande, const char *pszUsage, const std::string &sMessage)
{
    fprintf(stderr, "tqpack %s: %s\n%s", pszCommande, sMessage.c_str(), pszUsage);
    return TQPACK_USAGE;
}

std::string sChamp(const char *pszChamp, size_t nTaille)
{
    return std::string(pszChamp, InfoExe_nLongueurChamp(pszChamp, nTaille));
}

bool bEcritImageAtomique(const std::string &sSortie, const std::vector<uint8_t> &tab, unsigned nMode,
                         std::string *psErreur)
{
    CAtomicOutput clSortie;
    return clSortie.bOpen(sSortie, *psErreur) && clSortie.bWrite(tab.data(), tab.size(), *psErreur) &&
           clSortie.bCommit(static_cast<mode_t>(nMode), *psErreur);
}
