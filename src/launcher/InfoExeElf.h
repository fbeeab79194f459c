// Locating the information block, the data directory and the version markers in a
// launcher's file image (ELF32 or ELF64, little-endian), for the packaging tool.
#pragma once

#include <cstddef>
#include <cstdint>

// What the ELF header says about a file.
struct _stELFENTETE {
    int nClasse;        // 32 or 64
    uint16_t nMachine;  // e_machine (3 i386, 62 x86-64)
    uint16_t nType;     // e_type (2 executable, 3 shared object or PIE)
};

// Where the launcher's values sit in the file.
struct _stLOCINFOEXE {
    _stELFENTETE stEntete;
    uint64_t oInfoExe;       // file offset of the 2234-byte block
    uint64_t oFilePath;      // file offset of the 261-byte data directory field
    uint64_t oVersion;       // file offset and size of the version marker section
    uint64_t nTailleVersion;
};

// Reads the ELF identification and header; false when the bytes are not a
// little-endian ELF32 or ELF64 file (*ppszRaison then says why).
bool ElfInfoExe_bLitEntete(const uint8_t *pImage, size_t nTaille, _stELFENTETE *pstEntete,
                           const char **ppszRaison = nullptr);
// Finds a section by name; false when it is absent, has no bytes in the file or
// lies outside the image.
bool ElfInfoExe_bTrouveSection(const uint8_t *pImage, size_t nTaille, const char *pszNom, uint64_t *poOffset,
                               uint64_t *pnTailleSection, const char **ppszRaison = nullptr);
// Finds the three sections and checks them against the built-in signature: sizes,
// the fixed values of the block's reserved fields and both version markers.
bool ElfInfoExe_bLocalise(const uint8_t *pImage, size_t nTaille, _stLOCINFOEXE *pstLoc,
                          const char **ppszRaison = nullptr);
// Human name of an ELF machine number ("x86-64", "i386" or "machine N").
const char *ElfInfoExe_pszMachine(uint16_t nMachine, char *pszTampon, size_t nTailleTampon);

// Where the program header table ends in the file, from the ELF header in the first
// nLu bytes; 0 when they are not a little-endian ELF header (*ppszRaison says why).
uint64_t ElfInfoExe_nFinTableSegments(const uint8_t *pImage, size_t nLu, const char **ppszRaison = nullptr);
// Whether the system loader can map the file without reading past its end: the
// program header table and every segment's file bytes lie inside nTailleFichier.
// pImage holds the file's first nLu bytes, the program header table among them.
bool ElfInfoExe_bVerifieSegments(const uint8_t *pImage, size_t nLu, uint64_t nTailleFichier,
                                 const char **ppszRaison = nullptr);
