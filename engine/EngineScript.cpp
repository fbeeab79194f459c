// Parsing and running of the reference engine's scripts.
#include "EngineScript.h"
#include "EngineErreur.h"
#include "EngineService.h"
#include "files/LectureSure.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Parses an optional signed 32-bit number; empty text gives nDefaut.
bool bLitEntier(const std::string &sTexte, int32_t nDefaut, int32_t *pnValeur)
{
    if (sTexte.empty()) {
        *pnValeur = nDefaut;
        return true;
    }
    errno = 0;
    char *pszFin = nullptr;
    long long nValeur = strtoll(sTexte.c_str(), &pszFin, 10);
    if (errno || *pszFin || nValeur < INT32_MIN || nValeur > INT32_MAX)
        return false;
    *pnValeur = static_cast<int32_t>(nValeur);
    return true;
}

bool bValidePrint(const std::string &sArgument, std::string *psErreur)
{
    std::string sInconnu;
    if (CScriptTQL::s_bRemplaceChamps(sArgument, nullptr, nullptr, &sInconnu))
        return true;
    *psErreur = "unknown field {" + sInconnu + "}";
    return false;
}

eSUITE ExecutePrint(const std::string &sArgument, const stCONTEXTESCRIPT &stContexte, FILE *pSortie,
                    stRESULTATSCRIPT *)
{
    std::string sTexte;
    CScriptTQL::s_bRemplaceChamps(sArgument, &stContexte, &sTexte, nullptr);
    sTexte += '\n';
    fwrite(sTexte.data(), 1, sTexte.size(), pSortie);
    fflush(pSortie);
    return eSUITE_CONTINUE;
}

bool bValideExit(const std::string &sArgument, std::string *psErreur)
{
    int32_t nValeur;
    if (!sArgument.empty() && bLitEntier(sArgument, 0, &nValeur))
        return true;
    *psErreur = "exit needs a 32-bit integer";
    return false;
}

eSUITE ExecuteExit(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *pstResultat)
{
    bLitEntier(sArgument, 0, &pstResultat->nResultat);
    return eSUITE_FIN;
}

bool bValideFail(const std::string &sArgument, std::string *psErreur)
{
    int32_t nValeur;
    if (bLitEntier(sArgument, 1, &nValeur))
        return true;
    *psErreur = "fail takes an optional 32-bit integer";
    return false;
}

eSUITE ExecuteFail(const std::string &sArgument, const stCONTEXTESCRIPT &, FILE *, stRESULTATSCRIPT *pstResultat)
{
    bLitEntier(sArgument, 1, &pstResultat->nResultat);
    pstResultat->bReussi = false;
    return eSUITE_FIN;
}

// "error": the error goes to the launcher's callback (EngineErreur.cpp); the run goes on.
eSUITE ExecuteErreur(const std::string &sArgument, const stCONTEXTESCRIPT &stContexte, FILE *, stRESULTATSCRIPT *)
{
    LeveErreurScript(sArgument, stContexte);
    return eSUITE_CONTINUE;
}

} // namespace

static const stCOMMANDESCRIPT gtabCommandes[] = {
    {"print", bValidePrint, ExecutePrint},
    {"exit", bValideExit, ExecuteExit},
    {"fail", bValideFail, ExecuteFail},
    {"error", bValideErreurScript, ExecuteErreur},
};

static std::string sChamp(const std::string &sNom, const stCONTEXTESCRIPT &c, bool *pbConnu)
{
    *pbConnu = true;
    if (sNom == "args")
        return c.sLigneCommande;
    if (sNom == "project")
        return c.sProjet;
    if (sNom == "tql")
        return c.sNomTQL;
    if (sNom == "offset")
        return std::to_string(c.oOffsetTQL);
    if (sNom == "datadir")
        return c.sRepDonnees;
    if (sNom == "version")
        return std::to_string(c.nVersion);
    if (sNom == "mode")
        return std::to_string(c.nMode);
    if (sNom == "engine")
        return c.sMoteur;
    *pbConnu = false;
    return std::string();
}

bool CScriptTQL::s_bRemplaceChamps(const std::string &sTexte, const stCONTEXTESCRIPT *pstContexte,
                                   std::string *psSortie, std::string *psInconnu)
{
    static const stCONTEXTESCRIPT stVide;
    const stCONTEXTESCRIPT &c = pstContexte ? *pstContexte : stVide;
    std::string sSortie;
    size_t i = 0;
    while (i < sTexte.size()) {
        size_t nFin = std::string::npos;
        if (sTexte[i] == '{') {
            size_t j = i + 1;
            while (j < sTexte.size() && islower(static_cast<unsigned char>(sTexte[j])))
                ++j;
            if (j > i + 1 && j < sTexte.size() && sTexte[j] == '}')
                nFin = j;
        }
        if (nFin == std::string::npos) {
            sSortie += sTexte[i++];
            continue;
        }
        std::string sNom = sTexte.substr(i + 1, nFin - i - 1);
        bool bConnu;
        sSortie += sChamp(sNom, c, &bConnu);
        if (!bConnu) {
            if (psInconnu)
                *psInconnu = sNom;
            return false;
        }
        i = nFin + 1;
    }
    if (psSortie)
        *psSortie = sSortie;
    return true;
}

bool CScriptTQL::bCharge(const std::string &sTexte, const std::string &sSource, std::string *psErreur)
{
    m_tabLignes.clear();
    std::istringstream clFlux(sTexte);
    std::string sLigne;
    int nNumero = 0;
    while (std::getline(clFlux, sLigne)) {
        ++nNumero;
        if (!sLigne.empty() && sLigne.back() == '\r')
            sLigne.pop_back();
        size_t nDebut = sLigne.find_first_not_of(" \t");
        if (nDebut == std::string::npos || sLigne[nDebut] == '#')
            continue;
        size_t nFinNom = sLigne.find_first_of(" \t", nDebut);
        std::string sNom = sLigne.substr(nDebut, nFinNom == std::string::npos ? std::string::npos : nFinNom - nDebut);
        std::string sArgument;
        if (nFinNom != std::string::npos) {
            // One blank separates the name from its argument; the rest is kept as written.
            sArgument = sLigne.substr(nFinNom + 1);
        }
        const stCOMMANDESCRIPT *pstCommande = nullptr;
        for (const stCOMMANDESCRIPT &stCommande : gtabCommandes)
            if (sNom == stCommande.pszNom)
                pstCommande = &stCommande;
        if (!pstCommande)
            pstCommande = pstCommandeService(sNom);
        std::string sRaison;
        if (pstCommande && pstCommande->pfnValide(sArgument, &sRaison)) {
            m_tabLignes.push_back({nNumero, pstCommande, sArgument});
            continue;
        }
        if (!pstCommande)
            sRaison = "unknown command \"" + sNom + "\"";
        if (psErreur)
            *psErreur = sSource + ":" + std::to_string(nNumero) + ": " + sRaison;
        m_tabLignes.clear();
        return false;
    }
    return true;
}

bool CScriptTQL::bChargeFichier(const std::string &sChemin, int64_t oOffset, std::string *psErreur)
{
    // A directory, a FIFO or a device under the application library's name is
    // refused rather than waited on or read forever.
    struct stat st = {};
    std::string sRaison, sTexte;
    int nFd = LectureSure_nOuvre(sChemin.c_str(), &st, &sRaison);
    if (nFd < 0 && st.st_mode == 0) {
        *psErreur = sChemin + ": cannot open";
        return false;
    }
    if (nFd >= 0 && (oOffset < 0 || oOffset > st.st_size || lseek(nFd, oOffset, SEEK_SET) != oOffset))
        sRaison = "offset " + std::to_string(oOffset) + " outside the file";
    else if (nFd >= 0)
        LectureSure_bLitTout(nFd, static_cast<size_t>(st.st_size - oOffset), &sTexte, &sRaison);
    if (nFd >= 0)
        close(nFd);
    if (!sRaison.empty()) {
        *psErreur = sChemin + ": " + sRaison;
        return false;
    }
    return bCharge(sTexte, sChemin, psErreur);
}

stRESULTATSCRIPT CScriptTQL::Execute(const stCONTEXTESCRIPT &stContexte, FILE *pSortie) const
{
    stRESULTATSCRIPT stResultat;
    for (const stLIGNE &stLigne : m_tabLignes)
        if (stLigne.pstCommande->pfnExecute(stLigne.sArgument, stContexte, pSortie, &stResultat) == eSUITE_FIN)
            break;
    return stResultat;
}
