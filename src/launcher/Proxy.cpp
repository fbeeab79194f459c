// Loading and binding of a component library.
#include "launcher/Proxy.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/DiskFile.h"
#include "launcher/Confiance.h"
#include "launcher/TQExternSymbole.h"
#include "platform/WinApi.h"

char CProxyDll::ms_szCheminLib[260];

namespace {

// directory + a slash unless present + name, in a path buffer; false when it does not fit.
bool bCompose(char (&szChemin)[TQDLL_TAILLE_CHEMIN], const char *pszRepertoire, const char *pszNom)
{
    size_t nRep = strlen(pszRepertoire);
    const char *pszSep = nRep && (pszRepertoire[nRep - 1] == '/' || pszRepertoire[nRep - 1] == '\\') ? "" : "/";
    size_t nTotal = nRep + strlen(pszSep) + strlen(pszNom);
    if (nTotal >= sizeof(szChemin)) {
        szChemin[0] = '\0';
        return false;
    }
    std::string sChemin = std::string(pszRepertoire) + pszSep + pszNom;
    memcpy(szChemin, sChemin.c_str(), sChemin.size() + 1);
    return true;
}

// Opens one candidate; a failure goes into the error object with the path tried.
HINSTANCE hOuvre(const char *pszRepertoire, const char *pszNom, CXError *pclErreur,
                 char (&szChemin)[TQDLL_TAILLE_CHEMIN])
{
    if (!bCompose(szChemin, pszRepertoire, pszNom)) {
        std::string sChemin = std::string(pszRepertoire) + "/" + pszNom;
        _AddErreurChargement(pclErreur, "path too long", sChemin.c_str());
        return nullptr;
    }
    // Admitted first: its headers fit the file and, under root, nobody else can write it.
    char szExe[MAX_PATH + 1] = "";
    GetModuleFileName(nullptr, szExe, MAX_PATH);
    std::string sChargement, sRaison;
    bool bEtranger = false;
    if (!Confiance_bAdmetBibliotheque(szChemin, Confiance_uidProprietaire(szExe), &sChargement, &sRaison,
                                      &bEtranger)) {
        // A missing file keeps the loader's own words.
        if (access(szChemin, F_OK) != 0 || bEtranger) {
            HINSTANCE h = dlopen(szChemin, RTLD_NOW);
            if (!h)
                _AddErreurChargement(pclErreur, dlerror(), szChemin);
            return h;
        }
        _AddErreurChargement(pclErreur, ("refused: " + sRaison).c_str(), szChemin);
        return nullptr;
    }
    HINSTANCE h = dlopen(sChargement.c_str(), RTLD_NOW);
    if (!h)
        _AddErreurChargement(pclErreur, dlerror(), szChemin);
    return h;
}

} // namespace

void DeclareProxy(int32_t *pn1, int16_t *pw1, int32_t *pn2, int16_t *pw2)
{
    if (pn1)
        *pn1 = 0;
    if (pw1)
        *pw1 = 0;
    if (pn2)
        *pn2 = 0;
    if (pw2)
        *pw2 = 0;
}

CProxyDll::CProxyDll(HINSTANCE hLibrairie, void *pQueryProxy)
    : m_hLibrairie(hLibrairie),
      m_pfnQueryProxy(pQueryProxy),
      m_pfnQueryProxyEx(nullptr),
      m_pfnDeclareProxy(DeclareProxy),
      m_pfnCommande(nullptr)
{
}

void *CProxyDll::_pSymbole(const char *pszNom) const
{
    // A null handle would search the whole process: no library, no entry.
    return m_hLibrairie ? dlsym(m_hLibrairie, pszNom) : nullptr;
}

bool CProxyDll::bLoad(const char *pszNom, CXError *pclErreur, const char *pszRepertoire, char *pszCheminSortie)
{
    if (!pszNom || !*pszNom)
        return false;
    char szChemin[TQDLL_TAILLE_CHEMIN] = "";
    HINSTANCE hNouveau = nullptr;
    if (pszRepertoire && *pszRepertoire) {
        hNouveau = hOuvre(pszRepertoire, pszNom, pclErreur, szChemin);
        if (!hNouveau)
            return false;
    } else if (!m_hLibrairie) {
        char szExe[MAX_PATH + 1] = "";
        char szRepExe[MAX_PATH + 1] = "";
        GetModuleFileName(nullptr, szExe, MAX_PATH);
        CDiskFile::SplitPath(szExe, szRepExe, nullptr);
        if (szRepExe[0])
            hNouveau = hOuvre(szRepExe, pszNom, pclErreur, szChemin);
        else
            _AddErreurChargement(pclErreur, "executable's directory unknown", pszNom);
        if (!hNouveau) {
            char szCourant[MAX_PATH] = "";
            if (getcwd(szCourant, sizeof(szCourant))) {
                hNouveau = hOuvre(szCourant, pszNom, pclErreur, szChemin);
            } else {
                // An unknown directory is not the root: nothing is opened there.
                std::string sRaison = std::string("current directory unknown: ") + strerror(errno);
                _AddErreurChargement(pclErreur, sRaison.c_str(), pszNom);
            }
        }
        if (!hNouveau)
            return false;
    }
    if (hNouveau) {
        // The held library goes only once its replacement opened.
        if (m_hLibrairie)
            Unload();
        m_hLibrairie = hNouveau;
        if (pszCheminSortie)
            memcpy(pszCheminSortie, szChemin, strlen(szChemin) + 1);
    }
    PFN_INITLIBRARY pfnInit = pfnDepuis<PFN_INITLIBRARY>(_pSymbole(TQVM_EXPORT_INITLIBRARY));
    if (!pfnInit || !pfnInit(m_hLibrairie))
        return false;
    Link();
    return true;
}

void CProxyDll::Link()
{
    m_pfnQueryProxy = _pSymbole(TQDLL_EXPORT_QUERYPROXY);
    m_pfnQueryProxyEx = pfnDepuis<PFN_QUERYPROXYEXDLL>(_pSymbole(TQDLL_EXPORT_QUERYPROXYEX));
    m_pfnDeclareProxy = pfnDepuis<PFN_DECLAREPROXY>(_pSymbole(TQDLL_EXPORT_DECLAREPROXY));
    if (!m_pfnDeclareProxy)
        m_pfnDeclareProxy = DeclareProxy;
    InitCommande();
}

void CProxyDll::InitCommande()
{
    m_pfnCommande = pfnDepuis<PFN_COMMANDECOMPOSANTE>(_pSymbole(TQDLL_EXPORT_COMMANDE));
}

int CProxyDll::Unload()
{
    if (!m_hLibrairie)
        return 0;
    PFN_TERMLIBRARY pfnTerm = pfnDepuis<PFN_TERMLIBRARY>(_pSymbole(TQVM_EXPORT_TERMLIBRARY));
    if (pfnTerm)
        pfnTerm();
    int nResultat = dlclose(m_hLibrairie);
    m_hLibrairie = nullptr;
    m_pfnQueryProxy = nullptr;
    m_pfnQueryProxyEx = nullptr;
    m_pfnDeclareProxy = DeclareProxy;
    m_pfnCommande = nullptr;
    return nResultat;
}

bool CProxyDll::bInitDLLExecution()
{
    PFN_EXECUTIONDLL pfnExecution = pfnDepuis<PFN_EXECUTIONDLL>(_pSymbole(TQDLL_EXPORT_EXECUTION));
    if (!pfnExecution)
        return true;
    int32_t tabRecord[4] = {16, 0, 4, 0};
    return pfnExecution(TQDLL_EXECUTION_INIT, tabRecord) != 0;
}

int CProxyDll::TermDLLExecution()
{
    PFN_EXECUTIONDLL pfnExecution = pfnDepuis<PFN_EXECUTIONDLL>(_pSymbole(TQDLL_EXPORT_EXECUTION));
    return pfnExecution ? pfnExecution(TQDLL_EXECUTION_TERM, nullptr) : 0;
}

bool CProxyDll::bDLLDisponible(const char *, const char *, const char *)
{
    return true;
}

void CProxyDll::SetCheminLib(const char *pszRepertoire)
{
    const char *psz = pszRepertoire ? pszRepertoire : "";
    while (*psz == ' ')
        ++psz;
    // Room is kept for the final slash and the terminator.
    size_t n = strnlen(psz, sizeof(ms_szCheminLib) - 2);
    memcpy(ms_szCheminLib, psz, n);
    ms_szCheminLib[n] = '\0';
    if (n && ms_szCheminLib[n - 1] == '\n')
        ms_szCheminLib[--n] = '\0';
    // An empty directory stays empty rather than becoming the root.
    if (n && ms_szCheminLib[n - 1] != '/') {
        ms_szCheminLib[n] = '/';
        ms_szCheminLib[n + 1] = '\0';
    }
}

bool CProxyDll::s_bConstruitCheminDLL(char *pszSortie, const char *pszNom, const char *pszRepertoire,
                                      const char *pszRepertoirePrefere)
{
    if (!pszSortie)
        return false;
    pszSortie[0] = '\0';
    if (!pszNom)
        return false;
    char szChemin[TQDLL_TAILLE_CHEMIN];
    if (pszRepertoirePrefere && *pszRepertoirePrefere && bCompose(szChemin, pszRepertoirePrefere, pszNom) &&
        CDiskFile::bIsAFile(szChemin)) {
        memcpy(pszSortie, szChemin, strlen(szChemin) + 1);
        return true;
    }
    if (!pszRepertoire || !*pszRepertoire) {
        if (strlen(pszNom) >= TQDLL_TAILLE_CHEMIN)
            return false;
        memcpy(pszSortie, pszNom, strlen(pszNom) + 1);
        return false;
    }
    if (!bCompose(szChemin, pszRepertoire, pszNom))
        return false;
    memcpy(pszSortie, szChemin, strlen(szChemin) + 1);
    return CDiskFile::bIsAFile(szChemin);
}
