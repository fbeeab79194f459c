// Compresses arbitrary input and checks that decoding gives it back, that
// the block never exceeds the stored size and that the header is right.
#include <cstdint>
#include <cstring>
#include <vector>

#include "compression/Compresseur.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<unsigned char> in(data, data + size);
    CCompresseurBase &codec = CCompresseur::ms_clCompresseurZLW;
    std::vector<unsigned char> block(codec.dwTailleBufferCompression(size));
    uint32_t n = codec.dwCompression(in.data(), size, block.data(), block.size());
    if (n < 5 || n > size + 5 || codec.dwTailleEntree(block.data()) != n ||
        codec.dwTailleDecompression(block.data(), n) != size)
        __builtin_trap();
    if (size <= 19 && block[0] != 0)
        __builtin_trap();
    std::vector<unsigned char> out(size);
    uint32_t m = codec.dwDecompression(block.data(), n, out.data(), out.size());
    if (m != size || (size && memcmp(out.data(), data, size) != 0))
        __builtin_trap();
    return 0;
}
