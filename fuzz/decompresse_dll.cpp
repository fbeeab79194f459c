// Unpacks a component block from an arbitrary executable tail: the bytes
// are written as a file, and the launcher reads the record and the block
// from it at an offset taken from the input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compression/Compresseur.h"
#include "FuzzScratch.h"
#include "containers/SimpleBuffer.h"
#include "launcher/TQExe.h"

namespace {

class CTQExeFuzz : public CTQExe {
public:
    explicit CTQExeFuzz(const char *pszFichier) : CTQExe(nullptr, nullptr, "") { m_clNomModule.Set(pszFichier); }
};

std::string gsFichier;

void EffaceFichier()
{
    if (!gsFichier.empty())
        unlink(gsFichier.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    if (gsFichier.empty()) {
        std::string sModele = FuzzScratchDir() + "/tq_fuzz_dll_XXXXXX";
        int fd = mkstemp(&sModele[0]);
        if (fd < 0)
            abort();
        close(fd);
        gsFichier = sModele;
        atexit(EffaceFichier);
    }
    // First byte: where the record starts in the tail (0..255).
    long long offset = data[0];
    FILE *f = fopen(gsFichier.c_str(), "wb");
    if (!f)
        abort();
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);

    _stINFODLL info;
    memset(&info, 0, sizeof info);
    if (static_cast<size_t>(offset) + sizeof info <= size - 1)
        memcpy(&info, data + 1 + offset, sizeof info);
    CTQExeFuzz exe(gsFichier.c_str());
    CSimpleBuffer out;
    unsigned int produced = 0;
    if (exe.__bDecompresseDLL(offset, info, &out, &produced) && produced > out.dwGetSize())
        __builtin_trap();
    return 0;
}
