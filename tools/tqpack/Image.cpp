// File handling shared by tqpack's commands.
#include "Image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>

bool bLitFichierEntier(const std::string &sChemin, std::vector<uint8_t> *ptab, std::string *psErreur)
{
    std::ifstream clFichier(sChemin, std::ios::binary);
    if (!clFichier) {
        *psErreur = sChemin + ": " + strerror(errno);
        return false;
    }
    ptab->assign(std::istreambuf_iterator<char>(clFichier), std::istreambuf_iterator<char>());
    if (clFichier.bad()) {
        *psErreur = sChemin + ": read error";
        return false;
    }
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
    std::string sModele = sSortie + ".tqpack.XXXXXX";
    std::vector<char> tabNom(sModele.begin(), sModele.end());
    tabNom.push_back('\0');
    int fd = mkstemp(tabNom.data());
    if (fd < 0) {
        *psErreur = sSortie + ": cannot create a temporary file beside it: " + strerror(errno);
        return false;
    }
    bool bOk = true;
    size_t nEcrit = 0;
    while (bOk && nEcrit < tab.size()) {
        ssize_t n = write(fd, tab.data() + nEcrit, tab.size() - nEcrit);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            bOk = false;
        else
            nEcrit += static_cast<size_t>(n);
    }
    if (bOk)
        bOk = fchmod(fd, static_cast<mode_t>(nMode)) == 0 && fsync(fd) == 0;
    int nErreurSysteme = errno;
    if (close(fd) != 0 && bOk) {
        bOk = false;
        nErreurSysteme = errno;
    }
    if (bOk && rename(tabNom.data(), sSortie.c_str()) != 0) {
        bOk = false;
        nErreurSysteme = errno;
    }
    if (!bOk) {
        unlink(tabNom.data());
        *psErreur = sSortie + ": " + strerror(nErreurSysteme);
    }
    return bOk;
}
