// The packaging tool's reading of a launcher file: any bytes must be answered
// without reading outside them, and a located block must lie inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nTaille)
{
    _stLOCINFOEXE stLoc;
    if (ElfInfoExe_bLocalise(pData, nTaille, &stLoc)) {
        if (stLoc.oInfoExe + sizeof(_stINFOEXE) > nTaille || stLoc.oFilePath + TQ_TAILLE_FILEPATH > nTaille ||
            stLoc.oVersion + stLoc.nTailleVersion > nTaille)
            abort();
    }
    uint64_t oOffset = 0, nSection = 0;
    if (ElfInfoExe_bTrouveSection(pData, nTaille, ".shstrtab", &oOffset, &nSection) && oOffset + nSection > nTaille)
        abort();
    return 0;
}
