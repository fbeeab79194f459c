// Compressed block container: the header every block carries, the stored
// method, and the abstract codec base.
//
// Block layout (little-endian, unaligned):
//   method 0 (stored): u8 method, u32 N, N data bytes             -> N + 5 bytes
//   method 2 / 4     : u8 method, u32 P, u32 D, u16 0, P payload  -> P + 11 bytes
#pragma once

#include <pthread.h>

#include <cstdint>

class CCompresseurBase {
public:
    // Values of the method byte. Dispatchers accept any value (-1 included)
    // and always take the method from the block itself.
    enum eCOMPRESSEURTYPE : int {
        eCOMPRESSEUR_AUCUN = -1,
        eCOMPRESSEUR_COPIE = 0,
        eCOMPRESSEUR_CODE2 = 2,
        eCOMPRESSEUR_ZLW = 4,
    };
    enum : uint32_t {
        TAILLE_ENTETE_COPIE = 5,
        TAILLE_ENTETE_CODE = 11,
        TAILLE_INCONNUE = 0xFFFFFFFFu,
    };

    CCompresseurBase();
    CCompresseurBase(const CCompresseurBase &) = delete;
    CCompresseurBase &operator=(const CCompresseurBase &) = delete;

    virtual ~CCompresseurBase();
    // Whole block size (header included); TAILLE_INCONNUE for an unknown method.
    virtual uint32_t dwTailleEntree(unsigned char *block) const;
    // Decoded size announced by the header; TAILLE_INCONNUE for an unknown method.
    virtual uint32_t dwTailleDecompression(unsigned char *block, unsigned long size) const;
    // Output capacity a caller provides to compress n bytes.
    virtual uint32_t dwTailleBufferCompression(unsigned long n);
    virtual uint32_t _dwCompression() = 0;
    virtual uint32_t _dwDecompression() = 0;
    virtual void _EcritEntete(unsigned char method, unsigned long codedSize);

    // One whole call under the codec's mutex: the shared codec keeps its
    // per-call state in members. Sizes above 32 bits are refused (0).
    uint32_t dwCompression(unsigned char *in, unsigned long inSize, unsigned char *out, unsigned long outCapacity);
    uint32_t dwDecompression(unsigned char *in, unsigned long inSize, unsigned char *out, unsigned long outCapacity);

    // Reads a header from `available` bytes without trusting it: false when
    // the bytes are too few for the header or the method is not 0, 2 or 4.
    // `blockSize` is 64-bit so that a corrupt size cannot wrap.
    static bool s_bLitEntete(const unsigned char *block, uint64_t available, unsigned char &method,
                             uint64_t &blockSize, uint32_t &decodedSize);

protected:
    uint32_t _dwCompresseCopie();
    uint32_t _dwDecompresseCopie();

    unsigned char *m_pbyEntree;
    uint32_t m_dwTailleEntree;
    unsigned char *m_pbySortie;
    uint32_t m_dwTailleSortie;
    pthread_mutex_t m_mutex;
};

// Little-endian field access for block headers.
inline uint32_t TQ_dwLitLE32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void TQ_EcritLE32(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
