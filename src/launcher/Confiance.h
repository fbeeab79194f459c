// What the launcher agrees to load or read: an engine or component library, a
// runtime parameter file. Under root nothing another user can write is trusted.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <string>

// True when the trust rule applies: the effective user is root.
bool Confiance_bActive();
// Owner of a file (the executable whose libraries are judged); root when unknown.
uid_t Confiance_uidProprietaire(const char *pszFichier);

// Verdict on a file under the trust rule: a regular file owned by root or nUid,
// writable by neither group nor others; the directories of its real path (and of
// the path as given), up to /, owned by root or nUid and writable by group or others
// only with the sticky bit. When nFd >= 0 the file checks are made on that open
// file. False with the reason; *psReel (optional) receives the real path.
bool Confiance_bVerifie(const char *pszChemin, uid_t nUid, int nFd, std::string *psRaison,
                        std::string *psReel = nullptr);

// Admission of a library before dlopen: its ELF headers and segments lie inside the
// file, and under root the trust rule holds (nUid: the executable's owner). On
// success *psChargement is the path to hand to dlopen (the checked real path under
// root). False with the reason; *pbEtranger (optional) is then true when the file is
// an ELF file of another class or machine than the launcher's (nClasse 32 or 64,
// nMachine; 0 for the running launcher's own), which the system loader passes over.
bool Confiance_bAdmetBibliotheque(const char *pszChemin, uid_t nUid, std::string *psChargement,
                                  std::string *psRaison, bool *pbEtranger = nullptr, int nClasse = 0,
                                  uint16_t nMachine = 0);

// Shows "<path>: refused: <reason>" (once per process: several readers may meet the
// same file) on stderr and, on the service road, in the system log.
void Confiance_SignaleRefus(const std::string &sChemin, const std::string &sRaison);
