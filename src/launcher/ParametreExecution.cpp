#include "launcher/ParametreExecution.h"

#include <cstdio>
#include <cstring>

#include "files/DiskFile.h"
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
}

bool CParametreExecution::bDisponible()
{
    return m_szNomPhysiqueComplet[0] != '\0' && CDiskFile::bIsAFile(m_szNomPhysiqueComplet);
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
    return static_cast<int>(GetPrivateProfileString(pszSection, pszCle, pszDefaut, pszSortie,
                                                    static_cast<DWORD>(nTaille), m_szNomPhysiqueComplet));
}

int CParametreExecution::nLitEntier(const char *pszCle, int nDefaut)
{
    return nLitEntierSection("", pszCle, nDefaut);
}

int CParametreExecution::nLitEntierSection(const char *pszSection, const char *pszCle, int nDefaut)
{
    if (m_szNomPhysiqueComplet[0] == '\0')
        return 0;
    return GetPrivateProfileInt(pszSection, pszCle, nDefaut, m_szNomPhysiqueComplet);
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
