// The launcher object: reads the information block, finds and binds the engine,
// hands it the application and runs it. Also the entry point's globals and its
// command-line helpers.
#pragma once

#include <cstdint>

#include "launcher/InfoExe.h"
#include "launcher/TQVMContrat.h"
#include "platform/WinTypes.h"
#include "strings/Tstring.h"

class CXError;
class CSimpleBuffer;
class CServerMain;
class CServiceImp;

// The service main object and the same object seen through its service interface;
// both owned by the entry point, null on the interactive road.
extern CServerMain *gpclServerMain;
extern CServiceImp *gpclServiceImp;
// Set by the service start-up; read by the launcher's constructor.
extern int32_t gbService;

// Shown when the engine library cannot be found or refuses to initialise.
extern const char gszMessageVMIntrouvable[];

// True when one of argv[1..argc-1] equals the option, whatever the letter case.
bool bSetOnCmdLine(int argc, char **argv, const char *pszOption);
// The argument after the first occurrence of the option (letter case ignored); an
// option in last place gives an empty value. False when the option is absent.
bool bGetCmdLineValue(int argc, char **argv, const char *pszOption, CTString *pclValeur);
// Destroys the service main object, if any, and forgets both pointers.
void Term();

class CTQExe {
public:
    CTQExe(HINSTANCE hInstance, HINSTANCE hPrevInstance, const char *pszLigneCommande);
    virtual ~CTQExe();

    // Runs the initialisation sequence; on failure leaves the exit status in *pnExitCode.
    bool bInit(int *pnExitCode);
    // Runs the application; answers the exit status.
    int nRun();
    // Terminates the engine and unloads it; always false.
    bool bTerm();

    // Error callback handed to the engine: prints the error's report on stderr.
    static int _CallBackErreurVM(const CXError *pclErreur, unsigned long dwParam1, unsigned int nParam2);
    // Copies the built-in information block; always true.
    static bool s_bChargeInfoExe(HINSTANCE hInstance, _stINFOEXE *pstInfo);

    // Blocks carried in the executable file (defined in TQExeBlock.cpp).
    bool bChargeBlock(long long oOffset, unsigned int nTaille, void *pBuffer) const;
    bool __bDecompresseDLL(long long oOffset, const _stINFODLL &stInfo, CSimpleBuffer *pclSortie,
                           unsigned int *pnTailleSortie) const;

    const _stINFOEXE &stGetInfoExe() const { return m_stInfoExe; }
    const char *pszGetNomModule() const { return m_clNomModule.pszGet(); }
    const char *pszGetLigneCommande() const { return m_clLigneCommande.pszGet(); }
    HINSTANCE hGetRuntime() const { return m_hRuntime; }

protected:
    // Shows an error text to the user: stderr and one line feed.
    virtual void _vAfficheErreur(const char *pszTexte) const;

    bool _bChargeInfoExe(int *pnExitCode);
    bool _bInitFramework(int *pnExitCode);
    bool _bInitTQL(int *pnExitCode);
    void _InitParamRZ();

    HINSTANCE m_hInstance;
    HINSTANCE m_hPrevInstance;
    CTString m_clLigneCommande;
    _stINFOEXE m_stInfoExe;
    CTString m_clNomModule;
    int32_t m_bVMLiee;
    HINSTANCE m_hRuntime;
    PFN_TERMLIBRARY m_pfnTermLibrary;

    // When set, the error callback shows engine errors through this object's display
    // (the service executor's log) instead of the console.
    static const CTQExe *ms_pclAffichageErreur;
};
