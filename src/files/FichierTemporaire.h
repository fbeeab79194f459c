// A file written under a temporary name beside its target, then renamed over it:
// readers of the target see the old file or the whole new one, never a part. Created
// 0600; removed if SIGINT, SIGTERM or SIGHUP arrives before the rename (the signal
// then takes its default course), and by the destructor when never renamed.
#pragma once

#include <string>

class CFichierTemporaire {
public:
    CFichierTemporaire() = default;
    ~CFichierTemporaire();
    CFichierTemporaire(const CFichierTemporaire &) = delete;
    CFichierTemporaire &operator=(const CFichierTemporaire &) = delete;

    // Creates "<target><suffix>XXXXXX" beside the target; false with the reason.
    // One temporary file at a time per process.
    bool bCree(const std::string &sCible, const char *pszSuffixe, std::string *psErreur);
    int nFd() const { return m_nFd; }
    const std::string &sNom() const { return m_sNom; }
    // Writes all the bytes; false with the reason.
    bool bEcrit(const void *pDonnees, size_t nTaille, std::string *psErreur);
    // Gives the file its mode bits, flushes it to disk and renames it over the
    // target; on failure the temporary file is removed. False with the reason.
    bool bRemplace(unsigned nMode, std::string *psErreur);

private:
    void Abandonne();

    std::string m_sNom;
    std::string m_sCible;
    int m_nFd = -1;
};
