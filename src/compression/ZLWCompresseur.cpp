#include "compression/ZLWCompresseur.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const uint32_t LONGUEUR_MAX = 65280; // longest dictionary string is 65279 bytes

inline uint32_t dwSonde0(uint32_t prefix, uint32_t byte)
{
    return (byte * 512 + prefix * 2 + 1) & (CZLWCompresseur::TAILLE_HASH - 1);
}

inline uint32_t dwSondeSuivante(uint32_t h, uint32_t k)
{
    return ((h + k + 1019) & 0xFFFF) * 2;
}

// Hash of a string's bytes for the encoder's lookup table, extended one
// byte at a time; bits from DECALAGE_HASH up index the table.
const uint32_t MULT_HASH = 0x9E3779B1u;
const uint32_t DECALAGE_HASH = 15;

inline uint32_t dwHashDebut(uint32_t byte)
{
    return (byte + 1) * MULT_HASH;
}

inline uint32_t dwHashSuite(uint32_t h, uint32_t byte)
{
    return (h ^ byte) * MULT_HASH;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bit stream is read with little-endian loads");

inline uint64_t qwLitLE64(const unsigned char *p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Bit writer of the encoder: at most 7 bits stay pending between codes,
// so its position is the one a byte-at-a-time writer reports, which is
// what the fallback test and the gain watch look at. Each code is stored
// with one 8-byte write while the buffer has room for it.
class CEcrivain {
public:
    CEcrivain(unsigned char *out, uint32_t capacity)
        : m_pOut(out), m_dwPos(CCompresseurBase::TAILLE_ENTETE_CODE), m_dwCapacite(capacity) {}

    void Ecrit(uint32_t code, uint32_t width)
    {
        m_qwBits |= static_cast<uint64_t>(code) << m_dwNbBits;
        m_dwNbBits += width;
        if (__builtin_expect(m_dwCapacite - m_dwPos >= 8, 1)) {
            memcpy(m_pOut + m_dwPos, &m_qwBits, 8);
        } else {
            for (uint32_t i = 0; i < 8 && m_dwPos + i < m_dwCapacite; ++i)
                m_pOut[m_dwPos + i] = static_cast<unsigned char>(m_qwBits >> (8 * i));
        }
        m_dwPos += m_dwNbBits >> 3;
        m_qwBits >>= m_dwNbBits & ~7u;
        m_dwNbBits &= 7;
    }
    uint32_t dwPosition() const { return m_dwPos; }
    // Flushes the last partial byte; returns the end.
    uint32_t dwFin()
    {
        if (m_dwNbBits > 0)
            m_pOut[m_dwPos++] = static_cast<unsigned char>(m_qwBits);
        m_qwBits = 0;
        m_dwNbBits = 0;
        return m_dwPos;
    }

private:
    unsigned char *m_pOut;
    uint32_t m_dwPos;
    uint32_t m_dwCapacite;
    uint64_t m_qwBits = 0;
    uint32_t m_dwNbBits = 0;
};

// Every byte value, read by the decoder as the strings of the single-byte
// codes; padded for its 16-byte reads.
struct _stOCTETS {
    unsigned char aby[256 + 16];
    constexpr _stOCTETS() : aby()
    {
        for (int i = 0; i < 256; ++i)
            aby[i] = static_cast<unsigned char>(i);
    }
};
constexpr _stOCTETS gstOctets;
const unsigned char *const s_abyOctets = gstOctets.aby;

} // namespace

CZLWCompresseur::CZLWCompresseur()
    : m_pwTable(nullptr), m_pdwCles(nullptr), m_pdwOccupe(nullptr), m_pstChaines(nullptr), m_dwLargeur(9), m_dwSeuilLargeur(512),
      m_dwCodeSuivant(PREMIER_CODE), m_dGainMax(0) {}

CZLWCompresseur::~CZLWCompresseur()
{
    _Term();
}

uint64_t CZLWCompresseur::s_qwTailleDecodeeMax(uint64_t payloadSize)
{
    uint64_t codes = payloadSize * 8 / 9;
    if (codes <= LONGUEUR_MAX)
        return codes * (codes + 1) / 2;
    return static_cast<uint64_t>(LONGUEUR_MAX) * (LONGUEUR_MAX + 1) / 2 + (codes - LONGUEUR_MAX) * LONGUEUR_MAX;
}

bool CZLWCompresseur::s_bVerifieGain(uint64_t bytesWritten, uint64_t bytesRead, double &bestGain)
{
    // Extended precision throughout, as the x87 evaluates it; only the best
    // gain is rounded to a double when it is kept. Within this call the
    // freshly raised best gain is the extended value itself. Constants are
    // the double literals the arithmetic was written with.
    const long double written = static_cast<long double>(bytesWritten);
    const long double read = static_cast<long double>(bytesRead);
    long double gain = (static_cast<long double>(1.0) - written / read) * static_cast<long double>(100.0);
    long double best = static_cast<long double>(bestGain);
    if (gain > best) {
        best = gain;
        // A volatile store forces the rounding to 64 bits even where the
        // compiler would otherwise keep the value in an x87 register.
        volatile double kept = static_cast<double>(gain);
        bestGain = kept;
    }
    long double tolerance = (static_cast<long double>(100.0) - best) / static_cast<long double>(100.0) <
                                    static_cast<long double>(0.2)
                                ? static_cast<long double>(0.2)
                                : static_cast<long double>(0.0);
    return best > gain + tolerance;
}

bool CZLWCompresseur::_bAlloueTables(bool withHash, uint32_t entries, uint32_t bits)
{
    // Tables are sized for the call at hand (a short input defines few codes)
    // and released at its end.
    _Term();
    if (withHash) {
        m_pwTable = static_cast<uint16_t *>(calloc(size_t(1) << bits, sizeof(uint16_t)));
        m_pdwCles = static_cast<uint32_t *>(malloc(entries * sizeof(uint32_t)));
        if (m_pdwCles)
            m_pdwCles[0] = 0; // free slots hold code 0, whose key matches no string
        m_pdwOccupe = static_cast<uint32_t *>(malloc(TAILLE_HASH / 8));
        return m_pwTable && m_pdwCles && m_pdwOccupe;
    }
    m_pstChaines = static_cast<_stCHAINE *>(malloc(entries * sizeof(_stCHAINE)));
    return m_pstChaines != nullptr;
}

void CZLWCompresseur::_RAZDico(bool withHash)
{
    if (withHash)
        memset(m_pdwOccupe, 0, TAILLE_HASH / 8);
    m_dwLargeur = 9;
    m_dwSeuilLargeur = 512;
    m_dwCodeSuivant = PREMIER_CODE;
    m_dGainMax = 0;
}

void CZLWCompresseur::_Term()
{
    free(m_pwTable);
    free(m_pdwCles);
    free(m_pdwOccupe);
    free(m_pstChaines);
    m_pwTable = nullptr;
    m_pdwCles = nullptr;
    m_pdwOccupe = nullptr;
    m_pstChaines = nullptr;
}

uint32_t CZLWCompresseur::_dwCompression()
{
    const uint32_t n = m_dwTailleEntree;
    const unsigned char *const in = m_pbyEntree;
    // The coded output may run up to n + 6 bytes before the stored fallback
    // takes over; a smaller buffer than the one asked for is refused rather
    // than overrun.
    if (!m_pbySortie || (n && !in) || static_cast<uint64_t>(m_dwTailleSortie) < static_cast<uint64_t>(n) + 7)
        return 0;
    if (n <= SEUIL_COPIE)
        return _dwCompresseCopie();
    // At most one entry per input byte, and never more than the code space:
    // a table twice that size keeps the lookups short.
    uint32_t bits = 6;
    while ((1u << bits) < 2 * std::min<uint32_t>(n, NB_CODES))
        ++bits;
    // Each code after the first defines at most one entry.
    if (!_bAlloueTables(true, std::min<uint32_t>(NB_CODES, PREMIER_CODE + n), bits)) {
        _Term();
        return _dwCompresseCopie();
    }
    _RAZDico(true);

    uint16_t *const table = m_pwTable;
    uint32_t *const keys = m_pdwCles;
    uint32_t *const occupied = m_pdwOccupe;
    const uint32_t mask = (1u << bits) - 1;
    const uint32_t limit = n + 3;
    CEcrivain out(m_pbySortie, n + 7);
    uint32_t width = 9, threshold = 512, next = PREMIER_CODE;
    double bestGain = 0;
    const unsigned char *p = in;
    const unsigned char *const end = in + n;

    while (p != end) {
        if (out.dwPosition() >= limit)
            break;
        // Longest match. Strings are looked up by a hash of their bytes, not
        // of (prefix code, byte): the address of each lookup is known from
        // the input alone, so lookups along a string overlap instead of each
        // waiting for the code the previous one found.
        uint32_t code = *p + 1u;
        uint32_t h = dwHashDebut(*p);
        uint32_t slot = 0;
        while (++p != end) {
            const uint32_t key = code << 8 | *p;
            h = dwHashSuite(h, *p);
            slot = h >> DECALAGE_HASH & mask;
            for (;;) {
                const uint32_t c = table[slot];
                if (keys[c] == key) { // keys[0] matches nothing
                    code = c;
                    goto trouve;
                }
                if (c == 0)
                    goto fin;
                slot = (slot + 1) & mask;
            }
        trouve:;
        }
    fin:
        out.Ecrit(code, width);
        // The last insertion (byte 15) fixes the width of the end code and
        // may itself emit a reset, so it is made although nothing follows.
        const uint32_t byte = p != end ? *p : 15;
        if (__builtin_expect(next == NB_CODES, 0)) {
            if (s_bVerifieGain(out.dwPosition() - TAILLE_ENTETE_CODE, static_cast<uint32_t>(p - in), bestGain)) {
                out.Ecrit(CODE_RAZ, width);
                goto raz;
            }
            continue;
        }
        {
            // The hashed dictionary only decides where a pair may go: the
            // first free slot among its first 11 probes, or a reset when all
            // are taken. The first three probes settle almost every pair and
            // are tested without a branch on each.
            uint32_t h0 = dwSonde0(code, byte);
            const uint32_t h1 = dwSondeSuivante(h0, 0), h2 = dwSondeSuivante(h1, 1);
            const uint32_t f0 = ~occupied[h0 >> 5] >> (h0 & 31) & 1, f1 = ~occupied[h1 >> 5] >> (h1 & 31) & 1,
                           f2 = ~occupied[h2 >> 5] >> (h2 & 31) & 1;
            if (__builtin_expect(f0 | f1 | f2, 1)) {
                // Selected with masks: a compiler turns nested selects into
                // branches that mispredict on every third pair or so.
                const uint32_t t0 = 0u - f0, t1 = ~t0 & (0u - f1);
                h0 = (h0 & t0) | (h1 & t1) | (h2 & ~(t0 | t1));
            } else {
                h0 = dwSondeSuivante(h2, 2);
                uint32_t k = 3;
                while (occupied[h0 >> 5] >> (h0 & 31) & 1) {
                    if (k == SONDES_INSERTION - 1) {
                        // The decoder, one entry behind, has already widened
                        // at this point.
                        if (width <= 15 && next == threshold)
                            ++width;
                        out.Ecrit(CODE_RAZ, width);
                        goto raz;
                    }
                    h0 = dwSondeSuivante(h0, k++);
                }
            }
            occupied[h0 >> 5] |= 1u << (h0 & 31);
        }
        if (p != end) {
            table[slot] = static_cast<uint16_t>(next);
            keys[next] = code << 8 | byte;
        }
        ++next;
        // At 16 bits the threshold is 65536, which `next` never passes.
        if (next > threshold) {
            ++width;
            threshold *= 2;
        }
        continue;
    raz:
        memset(occupied, 0, TAILLE_HASH / 8);
        memset(table, 0, sizeof(uint16_t) << bits);
        width = 9;
        threshold = 512;
        next = PREMIER_CODE;
        bestGain = 0;
    }
    if (p != end || out.dwPosition() >= limit) {
        _Term();
        return _dwCompresseCopie();
    }
    out.Ecrit(CODE_FIN, width);
    const uint32_t size = out.dwFin();
    _EcritEntete(eCOMPRESSEUR_ZLW, size - TAILLE_ENTETE_CODE);
    m_dwLargeur = width;
    m_dwSeuilLargeur = threshold;
    m_dwCodeSuivant = next;
    m_dGainMax = bestGain;
    _Term();
    return size;
}

uint32_t CZLWCompresseur::_dwDecompression()
{
    if (!m_pbyEntree || m_dwTailleEntree == 0)
        return 0;
    switch (m_pbyEntree[0]) {
    case eCOMPRESSEUR_COPIE:
        return _dwDecompresseCopie();
    case eCOMPRESSEUR_ZLW:
        return _dwDecompressionZLW();
    default:
        return 0;
    }
}

uint32_t CZLWCompresseur::_dwDecompressionZLW()
{
    const unsigned char *in = m_pbyEntree;
    unsigned char *const out = m_pbySortie;
    if (m_dwTailleEntree < TAILLE_ENTETE_CODE || !out)
        return 0;
    const uint64_t blockEnd = static_cast<uint64_t>(TQ_dwLitLE32(in + 1)) + TAILLE_ENTETE_CODE;
    const uint32_t total = TQ_dwLitLE32(in + 5);
    // Truncated block, nothing to produce, no room for the announced size,
    // or more than the payload can hold: all refused before any work.
    if (blockEnd > m_dwTailleEntree || total == 0 || total > m_dwTailleSortie ||
        total > s_qwTailleDecodeeMax(blockEnd - TAILLE_ENTETE_CODE))
        return 0;
    // Every code takes at least 9 bits and defines at most one entry.
    const uint64_t entries = std::min<uint64_t>(NB_CODES, PREMIER_CODE + (blockEnd - TAILLE_ENTETE_CODE) * 8 / 9 + 1);
    if (!_bAlloueTables(false, static_cast<uint32_t>(entries))) {
        _Term();
        return 0;
    }
    _RAZDico(false);

    _stCHAINE *const strings = m_pstChaines;
    // Single bytes are strings of length 1 read from a table of all bytes,
    // so that every code is copied the same way; the reset and end codes
    // have length 0, which sends them off the common path.
    for (uint32_t c = 1; c <= 256; ++c) {
        strings[c].dwDebut = c - 1;
        strings[c].dwLongueur = 1;
    }
    strings[CODE_RAZ].dwLongueur = 0;
    strings[CODE_FIN].dwLongueur = 0;
    const uintptr_t outBase = reinterpret_cast<uintptr_t>(out);
    const uintptr_t byteBase = reinterpret_cast<uintptr_t>(s_abyOctets);
    const uint32_t inEnd = static_cast<uint32_t>(blockEnd);
    uint32_t inPos = TAILLE_ENTETE_CODE;
    uint64_t bits = 0;
    uint32_t nbBits = 0;
    uint32_t width = 9, codeMask = 511, threshold = 512, next = PREMIER_CODE;
    uint32_t pos = 0;
    // The previous code's string: where it stands in the output, its length.
    uint32_t prevStart = 0, prevLength = 0;
    uint32_t result = 0;
    uint32_t c;

    // Next code; false when its bits are not all there. Away from the end
    // the buffer is topped up with one 8-byte load and no branch on its
    // fill level.
    auto read = [&](uint32_t &code) {
        if (nbBits >= width) {
            // A refill leaves at least 56 bits: three or four codes follow
            // without one, a pattern the branch predictor learns.
        } else if (__builtin_expect(inEnd - inPos >= 8, 1)) {
            bits |= qwLitLE64(in + inPos) << nbBits;
            inPos += (63 - nbBits) >> 3;
            nbBits |= 56;
        } else {
            while (nbBits <= 56 && inPos < inEnd) {
                bits |= static_cast<uint64_t>(in[inPos++]) << nbBits;
                nbBits += 8;
            }
            if (nbBits < width)
                return false;
        }
        code = static_cast<uint32_t>(bits) & codeMask;
        bits >>= width;
        nbBits -= width;
        return true;
    };
    // A single-byte code after the start or a reset.
    auto literal = [&](uint32_t code) {
        if (code == CODE_RAZ || code > 256)
            return false;
        out[pos] = static_cast<unsigned char>(code - 1);
        prevStart = pos;
        prevLength = 1;
        ++pos;
        return true;
    };

    if (!read(c) || !literal(c))
        goto fin;
    while (pos < total) {
        if (!read(c))
            goto fin;
        uint32_t length;
        if (__builtin_expect(c >= next, 0)) {
            if (c != next)
                goto fin; // a code not defined yet
            // The string being defined: previous string plus its own first byte.
            length = prevLength + 1;
            if (length > total - pos)
                goto fin;
            memmove(out + pos, out + prevStart, prevLength);
            out[pos + prevLength] = out[prevStart];
        } else {
            const _stCHAINE e = strings[c];
            length = e.dwLongueur;
            if (__builtin_expect(length == 0, 0)) {
                if (c == CODE_FIN)
                    goto fin; // the stream ends before the announced size
                width = 9;
                codeMask = 511;
                threshold = 512;
                next = PREMIER_CODE;
                if (!read(c) || !literal(c))
                    goto fin;
                continue;
            }
            // The source base is picked with a mask: which codes are single
            // bytes follows no pattern a branch predictor could learn.
            const uintptr_t lit = 0 - static_cast<uintptr_t>(c <= 256);
            const unsigned char *from =
                reinterpret_cast<const unsigned char *>(outBase ^ ((outBase ^ byteBase) & lit)) + e.dwDebut;
            if (__builtin_expect(total - pos >= 16, 1)) {
                // One 16-byte move covers most strings; the bytes it writes
                // past the string are overwritten by the next ones.
                unsigned char chunk[16];
                memcpy(chunk, from, 16);
                memcpy(out + pos, chunk, 16);
                if (__builtin_expect(length > 16, 0)) {
                    if (length > total - pos)
                        goto fin;
                    // Earlier strings end before this one starts, so the
                    // source is at least `length` bytes behind.
                    memcpy(out + pos + 16, from + 16, length - 16);
                }
            } else {
                if (length > total - pos)
                    goto fin;
                memcpy(out + pos, from, length);
            }
        }
        // Entry `next` is the previous string plus the first byte of the
        // current one, which follows it directly in the output.
        if (next < NB_CODES) {
            strings[next].dwDebut = prevStart;
            strings[next].dwLongueur = prevLength + 1;
            ++next;
            if (next >= threshold) {
                // Past 16 bits nothing widens: the threshold moves out of reach.
                ++width;
                codeMask = codeMask * 2 + 1;
                threshold = width < 16 ? threshold * 2 : UINT32_MAX;
            }
        }
        prevStart = pos;
        prevLength = length;
        pos += length;
    }
    // The announced size is reached: the stream must end right there. The
    // writer's last insertion may add one reset before the end code, and
    // only the padding of the last byte may follow it. Anything else means
    // the size field or the payload was changed.
    if (!read(c))
        goto fin;
    if (c == CODE_RAZ) {
        width = 9;
        codeMask = 511;
        if (!read(c))
            goto fin;
    }
    if (c != CODE_FIN || inPos != inEnd || nbBits >= 8)
        goto fin;
    result = total;
fin:
    _Term();
    return result;
}
