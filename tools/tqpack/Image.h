// File handling shared by tqpack's commands: a launcher image in memory and the
// command-line conventions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"

// Exit statuses of every command.
enum { TQPACK_OK = 0, TQPACK_ERREUR = 1, TQPACK_USAGE = 2 };

// A launcher read whole into memory, its values located.
struct stIMAGELANCEUR {
    std::string sChemin;
    std::vector<uint8_t> tabOctets;
    _stLOCINFOEXE stLoc;

    _stINFOEXE stInfo() const;
    void EcritInfo(const _stINFOEXE &stInfo);
    // The data directory field, bounded by its size.
    std::string sRepDonnees() const;
    // The version marker section's zero-terminated strings.
    std::vector<std::string> tabMarqueurs() const;
};

// Reads and locates a launcher; false with the reason in *psErreur.
bool bChargeLanceur(const std::string &sChemin, stIMAGELANCEUR *pstImage, std::string *psErreur);
// Reads a whole file; false with the reason in *psErreur.
bool bLitFichierEntier(const std::string &sChemin, std::vector<uint8_t> *ptab, std::string *psErreur);

// Writes bytes beside sSortie under a temporary name with the given mode bits, then
// renames it over sSortie; nothing is left behind on failure.
bool bEcritImageAtomique(const std::string &sSortie, const std::vector<uint8_t> &tab, unsigned nMode,
                         std::string *psErreur);

// "ELF64 x86-64" for an ELF header.
std::string sDecritElf(const _stELFENTETE &stEntete);

// Prints "tqpack: <message>" on stderr and answers TQPACK_ERREUR.
int nErreur(const std::string &sMessage);
// Prints "tqpack <command>: <message>" and the command's usage line on stderr, answers TQPACK_USAGE.
int nErreurUsage(const char *pszCommande, const char *pszUsage, const std::string &sMessage);

// A text field bounded by its size.
std::string sChamp(const char *pszChamp, size_t nTaille);
