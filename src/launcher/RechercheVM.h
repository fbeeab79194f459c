// Search and loading of the runtime engine library, and the table of the engine's
// sibling component libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/InfoExe.h"
#include "platform/WinTypes.h"
#include "strings/Tstring.h"

// Outcome and inputs of the engine search; one instance per process.
struct _stRECHERCHEFW {
    int32_t nReserve;           // always 0
    CTString clRepFramework;    // directory the engine was found in; empty when none
    CTString clRepExe;          // the executable's directory (set by the launcher)
    HINSTANCE hInstance;        // the launcher's module handle
    _stINFOEXE *pstInfoExe;     // the launcher's copy of the information block
    int32_t bService;           // copy of gbService
    int32_t bCheminExplicite;   // 1 when the engine came from the explicit path
};

// How the engine was found: 0 executable directory, 1 explicit path or system loader,
// 2 common installation directory.
extern int32_t g_nModeFramework;
extern _stRECHERCHEFW g_stRechercheFw;

extern const char gszRepFrameworkCommunUnix[24];
#define TQ_VERSION_FRAMEWORK "15.0"
extern const char gszFRAMEWORK[];
extern const char gszNomValeurChemin[];
#define TQ_NOM_VM_STANDARD "tq150vm.so"
#define TQ_MODELE_CONF_RENOMME "%s/%s.conf"

// One row of the component table: library file name, component number, flags.
struct _stSTDCOMPO {
    const char *pszNomDLL;
    int32_t nComposante;
    uint32_t dwFlags;
};
extern const _stSTDCOMPO gstTabStdCompo[15];
extern const _stSTDCOMPO gstTabDLLAS400_TORQEN[2];

_stRECHERCHEFW *pstRechercheFramework();
// Row of the component table for a component number, or null.
const _stSTDCOMPO *pstGetStdDesc(int nComposante);

// The explicit engine path of the runtime parameters: a relative one is taken from
// the executable's directory, never from the caller's current directory.
CTString RechercheVM_czCheminExplicite(const char *pszValeur);

// Finds, opens (immediate binding) and initialises the engine library; null if none.
HINSTANCE hTrouveEtChargeVM(const char *pszNomVM, const char *pszCheminExplicite);

HINSTANCE _hTrouveEtChargeVM_Prioritaire(const char *pszCheminExplicite);
bool _bTrouveVM_1_FrameworkDansRepEXE(const char *pszNomVM);
bool _bTrouveVM_2_FrameworkCommun(const char *pszNomVM);
bool _bTrouveVM_3_FrameworkDev(const char *pszNomVM);
HINSTANCE _hTrouveEtChargeVM_4_DansLePath(const char *pszNomVM);
CTString _czCheminCompletVM(const char *pszNomVM);
// The directories the system loader searches for a bare name, in its order, for a
// launcher of that ELF class: LD_LIBRARY_PATH, /etc/ld.so.conf, the default ones.
std::vector<std::string> RechercheVM_tabRepertoiresChargeur(int nClasse);
bool _bInitLib(HINSTANCE hLibrairie);

bool bConstruitCheminFrameworkCommun(char *pszSortie, unsigned int nTaille, const char *pszNomVM);
// True when the engine library has a name other than the standard one.
bool _bFrameworkRenomme(const char *pszNomVM);
bool _bConstruitCheminFrameworkRenomme(char *pszSortie, unsigned int nTaille, const char *pszNomVM);
void _ConstruitCheminFrameworkCommunORM(char *pszSortie, unsigned int nTaille);
// Path of the profile file that names the directory of a renamed engine library.
CTString czFichierConfFrameworkRenomme(const char *pszNomVM);

// Test seam: replaces the root of the common installation directory (a copy is kept;
// null or empty restores "/usr/local/ORMELAN/lib/"), so that tests need not write
// below /usr/local.
void RechercheVM_SetRacineCommune(const char *pszRacine);
const char *RechercheVM_pszRacineCommune();
