// Handle on one of the engine's component libraries (tq150img.so and its
// siblings): finds and opens the file, lets the library initialise itself, binds
// its proxy entries, reports a failed load in a CXError, and unloads it.
#pragma once

#include <cstdint>

#include "launcher/TQVMContrat.h"
#include "platform/WinTypes.h"

class CXError;

// Exports of a component library.
#define TQDLL_EXPORT_QUERYPROXY "pQueryProxy"
#define TQDLL_EXPORT_QUERYPROXYEX "pQueryProxyEx"
#define TQDLL_EXPORT_DECLAREPROXY "DeclareProxy"
#define TQDLL_EXPORT_COMMANDE "CommandeComposante"
#define TQDLL_EXPORT_EXECUTION "Execution"
#define TQDLL_EXPORT_INITDLL "InitDLL"
#define TQDLL_EXPORT_INITDLLEX "InitDLLEx"
#define TQDLL_EXPORT_TERMDLL "TermDLL"

// Execution codes: start and end of the library's execution.
#define TQDLL_EXECUTION_INIT 3985
#define TQDLL_EXECUTION_TERM 4875

// Path buffers handed to the proxy without a size hold this many bytes.
#define TQDLL_TAILLE_CHEMIN 261

extern "C" {
typedef void *(*PFN_QUERYPROXYDLL)(int32_t nQuoi);
typedef void *(*PFN_QUERYPROXYEXDLL)(int32_t nQuoi, void *pParam);
typedef void (*PFN_DECLAREPROXY)(int32_t *pn1, int16_t *pw1, int32_t *pn2, int16_t *pw2);
typedef int32_t (*PFN_COMMANDECOMPOSANTE)(int32_t nCommande, void *pRecord);
typedef TQVM_BOOL (*PFN_EXECUTIONDLL)(int32_t nCode, void *pRecord);
typedef TQVM_BOOL (*PFN_INITDLL)(HINSTANCE hModule);
typedef TQVM_BOOL (*PFN_INITDLLEX)(HINSTANCE hModule, uint32_t dwFlags, int32_t nReserve);
typedef void (*PFN_TERMDLL)(HINSTANCE hModule);
}

// The declaration entry of a proxy whose library has none: writes 0 to all four.
void DeclareProxy(int32_t *pn1, int16_t *pw1, int32_t *pn2, int16_t *pw2);

class CProxyDll {
public:
    explicit CProxyDll(HINSTANCE hLibrairie = nullptr, void *pQueryProxy = nullptr);

    // Opens pszNom from pszRepertoire when that is given, else (unless a library is
    // already held) from the executable's directory and then the current directory;
    // then bInitLibrary and Link(). pszCheminSortie (TQDLL_TAILLE_CHEMIN bytes, may be
    // null) receives the path opened. Each failed attempt is added to pclErreur (may
    // be null). A new library replaces a held one only once it opened.
    bool bLoad(const char *pszNom, CXError *pclErreur, const char *pszRepertoire, char *pszCheminSortie);
    // Binds pQueryProxy, pQueryProxyEx, DeclareProxy (the built-in one when absent)
    // and CommandeComposante. Without a library every entry is absent.
    void Link();
    void InitCommande();
    // 0 when nothing is loaded; else TermLibrary, dlclose (its result is answered)
    // and every entry forgotten.
    int Unload();
    bool bInitDLLExecution();
    int TermDLLExecution();

    static bool bDLLDisponible(const char *pszNom, const char *pszRepertoire, const char *pszAutre);
    static void SetCheminLib(const char *pszRepertoire);
    // pszSortie: TQDLL_TAILLE_CHEMIN bytes. True when the path built names a file;
    // a path that does not fit leaves an empty text and false.
    static bool s_bConstruitCheminDLL(char *pszSortie, const char *pszNom, const char *pszRepertoire,
                                      const char *pszRepertoirePrefere);

    // Directory of the component libraries, with its final slash (or empty).
    static char ms_szCheminLib[260];

    HINSTANCE m_hLibrairie;
    void *m_pfnQueryProxy;
    PFN_QUERYPROXYEXDLL m_pfnQueryProxyEx;
    PFN_DECLAREPROXY m_pfnDeclareProxy;
    PFN_COMMANDECOMPOSANTE m_pfnCommande;

private:
    void *_pSymbole(const char *pszNom) const;
};
static_assert(sizeof(CProxyDll) == 5 * sizeof(void *), "five pointer-sized fields");

// Records a failed load of pszChemin in pclErreur (directly when it holds no error
// yet, else as a sub-error); pszMessageSysteme is the loader's text, never a format.
void _AddErreurChargement(CXError *pclErreur, const char *pszMessageSysteme, const char *pszChemin);
void _InitErreurChargement(CXError *pclErreur, const char *pszMessageSysteme, const char *pszChemin);

// Initialisation of a component library on behalf of the engine.
bool bInitDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule);
bool bInitDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule, unsigned int dwFlags);
void TermDLLFromVM(HINSTANCE hLibrairie, HINSTANCE hModule);
