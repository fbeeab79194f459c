// The reference engine's application library: a small line-oriented script.
// One command per line, its name first, the rest of the line its argument:
//
//   # comment           blank lines and lines starting with '#' are ignored
//   print TEXT          writes TEXT and a line feed on standard output; {args},
//                       {project}, {tql}, {offset}, {datadir}, {version}, {mode} and
//                       {engine} are replaced by what the launcher handed the engine
//   exit N              ends the run with exit status N
//   fail [N]            makes the run fail (the engine stores N, 1 by default)
//   error N TEXT        raises an error with user code N and message TEXT through
//                       the launcher's error callback (EngineErreur.h); the run goes on
//
// Service mode adds its own commands (EngineService.h).
// A script that reaches its end ends with status 0. To add a command, add a row to
// the command table in EngineScript.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/TQVMContrat.h"

// Everything the launcher handed the engine, as the script sees it.
struct stCONTEXTESCRIPT {
    std::string sNomTQL;
    int64_t oOffsetTQL = 0;
    std::string sRepDonnees;
    int32_t nVersion = 0;
    uint32_t nMode = 0;
    std::string sProjet;
    std::string sLigneCommande;
    std::string sMoteur; // path of the engine library itself
    PFN_CALLBACKERREURVM pfnCallBackErreur = nullptr;
    std::string sSource; // where the script was read: its file, or the executable carrying it
};

// What a run produced.
struct stRESULTATSCRIPT {
    bool bReussi = true;    // false: the run failed (QS_Run_Res answers false)
    int32_t nResultat = 0;  // exit status stored for the launcher
};

// How a command leaves the run.
enum eSUITE { eSUITE_CONTINUE, eSUITE_FIN };

// A script command: checks its argument when the script is loaded, runs it later.
struct stCOMMANDESCRIPT {
    const char *pszNom;
    bool (*pfnValide)(const std::string &sArgument, std::string *psErreur);
    eSUITE (*pfnExecute)(const std::string &sArgument, const stCONTEXTESCRIPT &stContexte, FILE *pSortie,
                         stRESULTATSCRIPT *pstResultat);
};

class CScriptTQL {
public:
    // Parses a script; on error leaves "<source>:<line>: <reason>" in *psErreur.
    bool bCharge(const std::string &sTexte, const std::string &sSource, std::string *psErreur);
    // Reads the script from a file, starting at byte oOffset.
    bool bChargeFichier(const std::string &sChemin, int64_t oOffset, std::string *psErreur);
    stRESULTATSCRIPT Execute(const stCONTEXTESCRIPT &stContexte, FILE *pSortie) const;
    size_t nNombreLignes() const { return m_tabLignes.size(); }

    // Replaces the {name} fields of a print text; false (and the name in *psInconnu)
    // for an unknown field. A brace that does not open a field is kept as it is.
    static bool s_bRemplaceChamps(const std::string &sTexte, const stCONTEXTESCRIPT *pstContexte,
                                  std::string *psSortie, std::string *psInconnu);

private:
    struct stLIGNE {
        int nNumero;
        const stCOMMANDESCRIPT *pstCommande;
        std::string sArgument;
    };
    std::vector<stLIGNE> m_tabLignes;
};
