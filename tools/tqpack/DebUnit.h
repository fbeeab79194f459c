// The texts of an application's Debian package: control, systemd unit, maintainer
// scripts, runtime parameter file, and what the launcher needs from the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DebArchive.h"

struct stPAQUETDEB {
    std::string sNom, sVersion, sArchitecture, sTriplet;
    std::string sMaintainer, sDescription;
    std::string sCheminMoteur;      // VMPATH written into the .TX
    std::vector<std::string> tabDepends;
    bool bService = false;
    std::string sUtilisateur;       // [SERVICE] USER
    std::string sRepertoire;        // [SERVICE] DIRECTORY, given to the user at start
    std::string sRepDonnees;        // the stamped data directory, when absolute
};

// Debian's rules for a package name and a version; false with the reason.
bool bNomPaquetValide(const std::string &s, std::string *psRaison);
bool bVersionValide(const std::string &s, std::string *psRaison);

// The packages the launcher's ELF image needs at run time, from its DT_NEEDED
// entries and the symbol versions it asks for ("libc6 (>= 2.34)"). False with the
// reason when the image names a library this tool cannot map to a package.
bool bDependancesElf(const uint8_t *p, size_t n, std::vector<std::string> *ptab, std::string *psErreur);

std::string sTexteControl(const stPAQUETDEB &st, uint64_t nTailleInstalleeKo);
std::string sTexteTX(const stPAQUETDEB &st);
std::string sTexteUnite(const stPAQUETDEB &st);
// postinst, prerm and postrm of a service package, as Debian's helpers write them.
std::string sScriptPostinst(const stPAQUETDEB &st);
std::string sScriptPrerm(const stPAQUETDEB &st);
std::string sScriptPostrm(const stPAQUETDEB &st);
std::string sTexteCopyright(const stPAQUETDEB &st, uint64_t qwDate);
std::string sTexteChangelog(const stPAQUETDEB &st, uint64_t qwDate);
