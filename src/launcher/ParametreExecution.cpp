#include "launcher/ParametreExecution.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/DiskFile.h"
#include "files/LectureSure.h"
#include "launcher/Confiance.h"
#include "platform/WinApi.h"
#include "strings/STR.h"

CParametreExecution::CParametreExecution()
{
    m_szNomPhysiqueComplet[0] = '\0';
    m_szNomStandardApplication[0] = '\0';
    m_szNomApplication[0] = '\0';
    m_szCleCryptage[0] = '\0';
}

void CParametreExecution::Initialise(const char *pszExecutable)
{
    m_szNomPhysiqueComplet[0] = '\0';
    m_szNomStandardApplication[0] = '\0';
    m_szNomApplication[0] = '\0';
    if (pszExecutable == nullptr)
        return;
    snprintf(m_szNomPhysiqueComplet, sizeof m_szNomPhysiqueComplet, "%s", pszExecutable);
    CDiskFile::ChangeExtension(m_szNomPhysiqueComplet, 260, ".TX");
    CDiskFile::SplitPath(pszExecutable, nullptr, m_szNomStandardApplication, nullptr);
    STR_nMapStringEx(7, m_szNomApplication, 260, m_szNomStandardApplication, -1, 1);
    m_nProprietaire = Confiance_uidProprietaire(pszExecutable);
}

bool CParametreExecution::bLitTexte(std::string *psTexte, std::string *psRaison) const
{
    psTexte->clear();
    if (psRaison)
        psRaison->clear();
    if (m_szNomPhysiqueComplet[0] == '\0')
        return false;
    // A FIFO, a device or a locked file answers at once: nothing waits.
    std::string sRaison;
    struct stat st = {};
    int nFd = LectureSure_nOuvre(m_szNomPhysiqueComplet, &st, &sRaison);
    if (nFd < 0 && st.st_mode == 0)
        return false; // nothing that opens: absent
    if (nFd >= 0 && st.st_size > knTailleMax)
        sRaison = "larger than " + std::to_string(knTailleMax) + " bytes";
    else if (nFd >= 0 && Confiance_bActive())
        Confiance_bVerifie(m_szNomPhysiqueComplet, m_nProprietaire, nFd, &sRaison);
    if (nFd >= 0 && sRaison.empty())
        LectureSure_bLitTout(nFd, static_cast<size_t>(knTailleMax), psTexte, &sRaison);
    if (nFd >= 0)
        close(nFd);
    if (sRaison.empty())
        return true;
    psTexte->clear();
    Confiance_SignaleRefus(m_szNomPhysiqueComplet, sRaison);
    if (psRaison)
        *psRaison = sRaison;
    return false;
}

bool CParametreExecution::bDisponible()
{
    // A refused file is no file.
    std::string sTexte;
    return bLitTexte(&sTexte);
}

// The section-less forms go through the virtual table so that overrides apply.
int CParametreExecution::nLitChaine(const char *pszCle, const char *pszDefaut, char *pszSortie, int nTaille)
{
    return nLitChaineSection("", pszCle, pszDefaut, pszSortie, nTaille);
}

int CParametreExecution::nLitChaineSection(const char *pszSection, const char *pszCle, const char *pszDefaut,
                                           char *pszSortie, int nTaille)
{
    if (m_szNomPhysiqueComplet[0] == '\0' || nTaille < 0)
        return 0;
    // A refused file reads as an absent one.
    std::string sTexte;
    bLitTexte(&sTexte);
    return static_cast<int>(
        GetPrivateProfileStringFromText(pszSection, pszCle, pszDefaut, pszSortie, static_cast<DWORD>(nTaille), sTexte));
}

int CParametreExecution::nLitEntier(const char *pszCle, int nDefaut)
{
    return nLitEntierSection("", pszCle, nDefaut);
}

int CParametreExecution::nLitEntierSection(const char *pszSection, const char *pszCle, int nDefaut)
{
    if (m_szNomPhysiqueComplet[0] == '\0')
        return 0;
    std::string sTexte;
    bLitTexte(&sTexte);
    return GetPrivateProfileIntFromText(pszSection, pszCle, nDefaut, sTexte);
}

int CParametreExecution::nLitChaineML(const char *pszCle1, const char *pszCle2, const char *pszDefaut,
                                      char *pszSortie, int nTaille)
{
    return nLitChaineSectionML("", pszCle1, "", pszCle2, pszDefaut, pszSortie, nTaille);
}

int CParametreExecution::nLitChaineSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2,
                                             const char *pszCle2, const char *pszDefaut, char *pszSortie,
                                             int nTaille)
{
    if (m_szNomPhysiqueComplet[0] == '\0')
        return 0;
    int nLu = nLitChaineSection(pszSection1, pszCle1, nullptr, pszSortie, nTaille);
    if (nLu > 0)
        return nLu;
    return nLitChaineSection(pszSection2, pszCle2, pszDefaut, pszSortie, nTaille);
}

int CParametreExecution::nLitEntierML(const char *pszCle1, const char *pszCle2, int nDefaut)
{
    return nLitEntierSectionML("", pszCle1, "", pszCle2, nDefaut);
}

int CParametreExecution::nLitEntierSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2,
                                             const char *pszCle2, int nDefaut)
{
    if (m_szNomPhysiqueComplet[0] == '\0')
        return 0;
    int nLu = nLitEntierSection(pszSection1, pszCle1, knSentinelle);
    if (nLu == knSentinelle)
        return nLitEntierSection(pszSection2, pszCle2, nDefaut);
    return nLu;
}

bool CParametreExecution::bEcritChaine(const char *pszCle, const char *pszValeur)
{
    return bEcritChaineSection("", pszCle, pszValeur);
}

bool CParametreExecution::bEcritChaineSection(const char *pszSection, const char *pszCle, const char *pszValeur)
{
    return WritePrivateProfileString(pszSection, pszCle, pszValeur, m_szNomPhysiqueComplet) != FALSE;
}

bool CParametreExecution::bEcritEntier(const char *pszCle, int nValeur)
{
    return bEcritEntierSection("", pszCle, nValeur);
}

bool CParametreExecution::bEcritEntierSection(const char *pszSection, const char *pszCle, int nValeur)
{
    char szTexte[16];
    snprintf(szTexte, sizeof szTexte, "%d", nValeur);
    return bEcritChaineSection(pszSection, pszCle, szTexte);
}
