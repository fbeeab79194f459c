// ZLW codec: dictionary coder with 9 to 16-bit codes, hashed dictionary,
// reset and end codes, LSB-first packing and a gain watch once full.
#pragma once

#include <cstdint>

#include "compression/CompresseurBase.h"

class CZLWCompresseur : public CCompresseurBase {
public:
    enum : uint32_t {
        CODE_RAZ = 0,
        CODE_FIN = 257,
        PREMIER_CODE = 258,
        NB_CODES = 65536,
        TAILLE_HASH = 131072,
        SONDES_INSERTION = 11,
        SEUIL_COPIE = 19, // inputs of this size or less are always stored
    };

    CZLWCompresseur();
    ~CZLWCompresseur() override;

    // Most bytes a ZLW payload of `payloadSize` bytes can decode to: every
    // code takes at least 9 bits and the j-th code of a stream expands to at
    // most j bytes (and never more than the longest dictionary string).
    static uint64_t s_qwTailleDecodeeMax(uint64_t payloadSize);

    // The decision taken once the dictionary is full: true when the stream
    // must reset. Computed in x87 extended precision; `bestGain` is the
    // 64-bit value kept between insertions and is updated here.
    static bool s_bVerifieGain(uint64_t bytesWritten, uint64_t bytesRead, double &bestGain);

protected:
    uint32_t _dwCompression() override;
    uint32_t _dwDecompression() override;
    uint32_t _dwDecompressionZLW();

private:
    struct _stCHAINE { // decoder: where a code's string already stands in the output
        uint32_t dwDebut;
        uint32_t dwLongueur;
    };

    // `entries`: codes the call can define, from 0; `bits`: log2 of the lookup table's size.
    bool _bAlloueTables(bool withHash, uint32_t entries, uint32_t bits = 0);
    void _RAZDico(bool withHash);
    void _Term();

    uint16_t *m_pwTable;         // encoder: codes of the strings, by a hash of their bytes
    uint32_t *m_pdwCles;         // encoder: prefix << 8 | byte of each code
    uint32_t *m_pdwOccupe;       // encoder: taken slots of the 131072-slot hashed dictionary
    _stCHAINE *m_pstChaines;     // decoder
    uint32_t m_dwLargeur;        // code width, 9..16
    uint32_t m_dwSeuilLargeur;   // next code value that widens codes
    uint32_t m_dwCodeSuivant;
    double m_dGainMax;
};
