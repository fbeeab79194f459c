// Blocks carried at the end of a launcher file: each is the 526-byte
// component record (its last four bytes the compressed size) followed by a
// compressed block. Found by walking from the end of the ELF image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct stBLOCPORTE {
    uint64_t oOffset = 0;       // of the record
    std::string sNom;           // the name the record carries (tqpack writes one)
    uint32_t dwTailleBloc = 0;  // compressed size from the record
    int nMethode = -1;          // block method byte, -1 when unreadable
    uint32_t dwTailleDecodee = 0;
    bool bDecode = false;       // decodes to exactly the announced size
    std::string sProbleme;      // why it does not decode
};

// Where the ELF image ends (headers, sections and segments); 0 when the
// bytes are not an ELF file.
uint64_t qwFinImageElf(const uint8_t *pImage, size_t nTaille);
// The blocks after the image; *psReste describes bytes that are not a
// carried block (empty when the walk reaches the end of the file).
std::vector<stBLOCPORTE> tabBlocsPortes(const uint8_t *pImage, size_t nTaille, std::string *psReste);
// Prints the blocks for tqpack inspect; `oOffsetTQL` is the application
// library offset of the information block.
void AfficheBlocsPortes(const uint8_t *pImage, size_t nTaille, int64_t oOffsetTQL);
