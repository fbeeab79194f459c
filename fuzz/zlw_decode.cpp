// Decodes arbitrary blocks into arbitrary output capacities: the decoder
// must stay inside both buffers and never claim more than it was given.
#include <cstdint>
#include <cstring>
#include <vector>

#include "compression/Compresseur.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the capacity: below, at and above the
    // announced size.
    uint32_t capacity = static_cast<uint32_t>(data[0]) << 8 | data[1];
    std::vector<unsigned char> in(data + 2, data + size);
    unsigned char method;
    uint64_t blockSize;
    uint32_t decoded;
    if (CCompresseurBase::s_bLitEntete(in.data(), in.size(), method, blockSize, decoded) && decoded <= 1u << 20 &&
        (capacity & 1))
        capacity = decoded + (capacity >> 15); // around the announced size
    std::vector<unsigned char> out(capacity);
    CCompresseur c(4);
    c.m_pbyEntree = in.data();
    c.m_dwTailleEntree = static_cast<uint32_t>(in.size());
    c.m_pbySortie = out.data();
    c.m_dwTailleSortie = capacity;
    uint32_t n = c.dwDecompression(CCompresseurBase::eCOMPRESSEUR_AUCUN);
    if (n > capacity)
        __builtin_trap();
    return 0;
}
