// Shared helpers for the tests: temporary directories, files, and running a built
// executable with captured output and exit status.
#pragma once

#include <string>
#include <vector>

namespace tqtest {

// A fresh directory under $TMPDIR (or /tmp), removed with its content on destruction.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir &) = delete;
    CTempDir &operator=(const CTempDir &) = delete;

    const std::string &sChemin() const { return m_sChemin; }
    // Path of an entry inside the directory.
    std::string sFichier(const std::string &sNom) const { return m_sChemin + "/" + sNom; }

private:
    std::string m_sChemin;
};

// What a finished process left behind.
struct stRESULTATPROCESSUS {
    std::string sSortie;  // standard output, every byte
    std::string sErreur;  // standard error, every byte
    int nStatut = -1;     // exit status 0..255; 128 + signal number when killed
};

// Runs argv[0] (a path, no PATH search; a relative one is taken from sRepertoire when
// that is given) with argv, in sRepertoire when not empty.
// The environment is the test's own, changed by tabEnv: "NAME=VALUE" sets a variable,
// "NAME" alone removes it. Standard input is /dev/null. With nDelaiMs > 0 a child
// still running after that long is killed (status 128 + 9).
stRESULTATPROCESSUS Execute(const std::vector<std::string> &tabArgv, const std::vector<std::string> &tabEnv = {},
                            const std::string &sRepertoire = std::string(), int nDelaiMs = 0);

// Path of a built program or library: TQ_BIN_DIR/sNom.
std::string sBin(const std::string &sNom);
// Path below the source tree: TQ_SOURCE_DIR/sNom.
std::string sSource(const std::string &sNom);

// Copies a file with its mode bits; false on any failure.
bool bCopieFichier(const std::string &sDe, const std::string &sVers);
// Writes a whole file (created or truncated) with the given mode; false on failure.
bool bEcritFichier(const std::string &sChemin, const std::string &sContenu, unsigned nMode = 0644);
// Reads a whole file; empty when it cannot be read (see bExiste).
std::string sLitFichier(const std::string &sChemin);
bool bExiste(const std::string &sChemin);
// Creates a directory and its missing parents.
bool bCreeRepertoire(const std::string &sChemin);
// Mode bits (permission part) of a file, -1 when it cannot be read.
int nModeFichier(const std::string &sChemin);
// Splits a text into its lines (without their line feeds).
std::vector<std::string> tabLignes(const std::string &sTexte);

} // namespace tqtest
