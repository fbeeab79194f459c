// Helpers of the launcher tests: an application directory holding a copy of the
// launcher, an engine and a script, and the engine's call record.
#pragma once

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tqtest {

// The reference engine ("" ) or one of its variants ("record", "no_init", ...).
inline std::string sMoteur(const std::string &sVariante = std::string())
{
    return sVariante.empty() ? sBin("tq150vm.so") : sBin("variants/" + sVariante + "/tq150vm.so");
}

// A temporary application directory: the launcher copied under an application name,
// optionally an engine beside it and a script.
class CAppli {
public:
    explicit CAppli(const std::string &sNom = "app") : m_sNom(sNom)
    {
        bCopieFichier(sBin("tqexe"), sExe());
    }

    std::string sRep() const { return m_clRep.sChemin(); }
    std::string sFichier(const std::string &sNom) const { return m_clRep.sFichier(sNom); }
    std::string sExe() const { return sFichier(m_sNom); }
    std::string sRecord() const { return sFichier("record.log"); }

    // Copies an engine (variant) into a directory of the application (default: beside the launcher).
    bool bPoseMoteur(const std::string &sVariante, const std::string &sSousRep = std::string()) const
    {
        std::string sRepCible = sSousRep.empty() ? sRep() : sFichier(sSousRep);
        return bCreeRepertoire(sRepCible) && bCopieFichier(sMoteur(sVariante), sRepCible + "/tq150vm.so");
    }
    bool bPoseScript(const std::string &sContenu, const std::string &sNom = std::string()) const
    {
        return bEcritFichier(sFichier(sNom.empty() ? m_sNom + ".TQL" : sNom), sContenu);
    }
    // Runs the launcher from its directory, the engine recording into sRecord().
    stRESULTATPROCESSUS Lance(const std::vector<std::string> &tabArgs = {},
                              const std::vector<std::string> &tabEnvPlus = {}) const
    {
        std::vector<std::string> tabArgv = {sExe()};
        tabArgv.insert(tabArgv.end(), tabArgs.begin(), tabArgs.end());
        // No library path of the test's own unless the test asks for one.
        std::vector<std::string> tabEnv = {"LD_LIBRARY_PATH", "TQE_RECORD_FILE=" + sRecord()};
        tabEnv.insert(tabEnv.end(), tabEnvPlus.begin(), tabEnvPlus.end());
        return Execute(tabArgv, tabEnv, sRep());
    }
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(sRecord())); }

private:
    CTempDir m_clRep;
    std::string m_sNom;
};

} // namespace tqtest
