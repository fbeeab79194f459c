// What the launcher and a runtime engine library agree on: the names of the
// engine's exports, their call shapes, the parameter codes of QS_SetParam and the
// proxy object through which the launcher registers its error callback.
// The launcher and the reference engine both include this header, so a change of
// shape here shows up on both sides at compile time.
#pragma once

#include <cstdint>

#include "platform/WinTypes.h"

class CXError;
class CSimpleBuffer;
class ILogger;

// Engine booleans cross the library boundary as 32-bit integers (0 false, else true).
typedef int32_t TQVM_BOOL;

// Error callback handed to the engine; the engine calls it for every error it raises
// while the application runs. It answers 0.
typedef int (*PFN_CALLBACKERREURVM)(const CXError *pclErreur, unsigned long dwParam1, unsigned int nParam2);
// Stop request the engine may call from any thread in service mode.
typedef void (*PFN_STOPSERVICE)(int nCode);
// End-of-initialisation notification of QS_DonneFinInit.
typedef void (*PFN_FININIT)(void *pContexte, unsigned int nParam, unsigned long dwParam);

// Execution mode, an unsigned 8-bit value widened to 32 bits on the way to the engine.
enum eMODEVM : uint8_t {
    eMODEVM_EXECUTION = 5, // the only mode the launcher uses
};

// Object returned by pQueryProxy(TQVM_PROXY_LANCEUR). Only its seventeenth virtual
// operation is called by the launcher; the sixteen before it belong to the engine.
class ITQVMProxy {
public:
    virtual void vProxyReserve01() = 0;
    virtual void vProxyReserve02() = 0;
    virtual void vProxyReserve03() = 0;
    virtual void vProxyReserve04() = 0;
    virtual void vProxyReserve05() = 0;
    virtual void vProxyReserve06() = 0;
    virtual void vProxyReserve07() = 0;
    virtual void vProxyReserve08() = 0;
    virtual void vProxyReserve09() = 0;
    virtual void vProxyReserve10() = 0;
    virtual void vProxyReserve11() = 0;
    virtual void vProxyReserve12() = 0;
    virtual void vProxyReserve13() = 0;
    virtual void vProxyReserve14() = 0;
    virtual void vProxyReserve15() = 0;
    virtual void vProxyReserve16() = 0;
    // Seventeenth operation: registers the error callback (the launcher passes two zeros).
    virtual void vEnregistreCallBackErreur(PFN_CALLBACKERREURVM pfnCallBack, unsigned long dwParam1,
                                           unsigned int nParam2) = 0;

protected:
    ~ITQVMProxy() = default; // the engine owns the object; the launcher never deletes it
};

// Value the launcher passes to pQueryProxy.
#define TQVM_PROXY_LANCEUR 100

// Parameter codes of QS_SetParam.
enum eTQVMPARAM : int32_t {
    eTQVMPARAM_INITDLL = 1007,
    eTQVMPARAM_REGISTRE = 1009,
    eTQVMPARAM_TERMINE = 1012,
    eTQVMPARAM_INFORMATION = 1014,
    eTQVMPARAM_MODEEXECUTION = 1021,
    eTQVMPARAM_VERSIONACTIVE = 1028,
    eTQVMPARAM_INFOLDAP = 1029,
    eTQVMPARAM_HISTOCONNEXION = 1030,
    eTQVMPARAM_LOGGER = 1031,
};

// Exported names, in the launcher's binding order for the QS_ entries.
#define TQVM_EXPORT_INITLIBRARY "bInitLibrary"
#define TQVM_EXPORT_QUERYPROXY "pQueryProxy"
#define TQVM_EXPORT_TERMLIBRARY "TermLibrary"
#define TQVM_EXPORT_RUN "QS_Run_Res"
#define TQVM_EXPORT_RUNSRV "QS_Run_Service"
#define TQVM_EXPORT_TERMSRV "QS_Term_Service"
#define TQVM_EXPORT_DBG "QS_TestEx"
#define TQVM_EXPORT_DLL "QS_ListeDLL"
#define TQVM_EXPORT_TQL "QS_DonneTQL"
#define TQVM_EXPORT_REP "QS_DonneREP"
#define TQVM_EXPORT_MBR "QS_DonneMBR"
#define TQVM_EXPORT_FININT "QS_DonneFinInit"
#define TQVM_EXPORT_GOQUERY "QS_InitGoRequete"
#define TQVM_EXPORT_LTQL "QS_ListeTQL"
#define TQVM_EXPORT_PARAM "QS_SetParam"

// Call shapes of the exports. QS_SetParam carries a 32-bit value or a pointer and
// answers a pointer-sized integer, so that the interface pointer of code 1007 also
// survives in a 64-bit process (in a 32-bit process this is a 32-bit integer).
extern "C" {
typedef TQVM_BOOL (*PFN_INITLIBRARY)(HINSTANCE hLibrairie);
typedef ITQVMProxy *(*PFN_QUERYPROXY)(int32_t nQuoi);
typedef void (*PFN_TERMLIBRARY)(void);
typedef TQVM_BOOL (*PFN_RUN)(uint32_t nMode, const char *pszProjet, const char *pszLigneCommande,
                             int32_t *pnResultat);
typedef TQVM_BOOL (*PFN_RUNSRV)(const char *pszProjet, const char *pszLigneCommande, PFN_STOPSERVICE pfnStop,
                                int32_t nReserve);
typedef TQVM_BOOL (*PFN_TERMSRV)(int32_t nReserve);
typedef TQVM_BOOL (*PFN_DBG)(uint32_t nMode, const char *pszNom, int32_t nReserve);
typedef TQVM_BOOL (*PFN_DLL)(CSimpleBuffer *pclListe, const char *pszNom);
typedef TQVM_BOOL (*PFN_TQL)(const char *pszNomTQL, int64_t oOffset);
typedef void (*PFN_REP)(const char *pszRepertoire);
typedef void (*PFN_MBR)(const char *pszTexte1, const char *pszTexte2);
typedef void (*PFN_FININT)(PFN_FININIT pfnCallBack, void *pContexte);
typedef void (*PFN_GOQUERY)(void *pParam);
typedef TQVM_BOOL (*PFN_LTQL)(CSimpleBuffer *pclListe, const char *pszNom);
typedef intptr_t (*PFN_PARAM)(int32_t nCode, intptr_t nValeur);
}
