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
// byte at a time; its top bits index the table.
const uint32_t MULT_HASH = 0x9E3779B1u;

inline uint32_t dwHashDebut(uint32_t byte)
{
    return (byte + 1) * MULT_HASH;
}

inline uint32_t dwHashSuite(uint32_t h, uint32_t byte)
{
    return (h ^ byte) * MULT_HASH;
}

// Lookup slots carry the dictionary generation in their top key byte, so a
// reset only moves to the next generation; the table is cleared when the
// generations run out.
const uint32_t EPOQUE_MAX = 255;

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

// Bit reader of the decoder: never reads past `end`; a code whose bits are
// not all there is reported as missing.
class CLecteur {
public:
    CLecteur(const unsigned char *in, uint32_t pos, uint32_t end) : m_pIn(in), m_dwPos(pos), m_dwFin(end) {}

    bool bLit(uint32_t width, uint32_t &code)
    {
        if (m_dwNbBits < width) {
            if (m_dwFin - m_dwPos >= 8) {
                m_qwBits |= qwLitLE64(m_pIn + m_dwPos) << m_dwNbBits;
                m_dwPos += (63 - m_dwNbBits) >> 3;
                m_dwNbBits |= 56;
            } else {
                while (m_dwNbBits <= 56 && m_dwPos < m_dwFin) {
                    m_qwBits |= static_cast<uint64_t>(m_pIn[m_dwPos++]) << m_dwNbBits;
                    m_dwNbBits += 8;
                }
                if (m_dwNbBits < width)
                    return false;
            }
        }
        code = static_cast<uint32_t>(m_qwBits) & ((1u << width) - 1);
        m_qwBits >>= width;
        m_dwNbBits -= width;
        return true;
    }

private:
    const unsigned char *m_pIn;
    uint32_t m_dwPos;
    uint32_t m_dwFin;
    uint64_t m_qwBits = 0;
    uint32_t m_dwNbBits = 0;
};

} // namespace

CZLWCompresseur::CZLWCompresseur()
    : m_pstTable(nullptr), m_pdwOccupe(nullptr), m_pstChaines(nullptr), m_dwLargeur(9), m_dwSeuilLargeur(512),
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

bool CZLWCompresseur::_bAlloueTables(bool withHash, uint32_t bits)
{
    if (withHash) {
        if (!m_pstTable)
            m_pstTable = static_cast<_stENTREE *>(calloc(size_t(1) << bits, sizeof(_stENTREE)));
        if (!m_pdwOccupe)
            m_pdwOccupe = static_cast<uint32_t *>(malloc(TAILLE_HASH / 8));
        return m_pstTable && m_pdwOccupe;
    }
    if (!m_pstChaines)
        m_pstChaines = static_cast<_stCHAINE *>(malloc(NB_CODES * sizeof(_stCHAINE)));
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
    free(m_pstTable);
    free(m_pdwOccupe);
    free(m_pstChaines);
    m_pstTable = nullptr;
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
    if (!_bAlloueTables(true, bits)) {
        _Term();
        return _dwCompresseCopie();
    }
    _RAZDico(true);

    _stENTREE *const table = m_pstTable;
    uint32_t *const occupied = m_pdwOccupe;
    const uint32_t shift = 32 - bits, mask = (1u << bits) - 1;
    const uint32_t limit = n + 3;
    CEcrivain out(m_pbySortie, n + 7);
    uint32_t epoch = 1, width = 9, threshold = 512, next = PREMIER_CODE;
    double bestGain = 0;
    uint32_t pos = 0;

    while (pos < n) {
        if (out.dwPosition() >= limit)
            break;
        // Longest match. Strings are looked up by a hash of their bytes, not
        // of (prefix code, byte): the address of each lookup is known from
        // the input alone, so lookups along a string overlap instead of each
        // waiting for the code the previous one found. `suite` is the key of
        // the current string's extensions, without their byte.
        uint32_t suite = epoch << 24 | (in[pos] + 1u) << 8;
        uint32_t h = dwHashDebut(in[pos]);
        uint32_t slot = 0;
        for (++pos; pos < n; ++pos) {
            const uint32_t byte = in[pos];
            h = dwHashSuite(h, byte);
            const uint32_t key = suite | byte;
            slot = h >> shift;
            // Two neighbouring slots per step: a string sits at the first
            // free slot of its probe run, so when the first slot is free the
            // second cannot hold it. One branch then settles the usual case.
            for (;;) {
                const _stENTREE e0 = table[slot], e1 = table[(slot + 1) & mask];
                const uint32_t m0 = e0.dwCle == key, m1 = e1.dwCle == key;
                if (m0 | m1) {
                    suite = m0 ? e0.dwSuite : e1.dwSuite;
                    goto trouve;
                }
                if (e0.dwCle >> 24 != epoch) // free in this dictionary
                    goto fin;
                slot = (slot + 1) & mask;
            }
        trouve:;
        }
    fin:
        const uint32_t code = suite >> 8 & 0xFFFF;
        out.Ecrit(code, width);
        // The last insertion (byte 15) fixes the width of the end code and
        // may itself emit a reset, so it is made although nothing follows.
        const uint32_t byte = pos < n ? in[pos] : 15;
        if (__builtin_expect(next == NB_CODES, 0)) {
            if (s_bVerifieGain(out.dwPosition() - TAILLE_ENTETE_CODE, pos, bestGain)) {
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
        if (pos < n) {
            table[slot].dwCle = suite | byte;
            table[slot].dwSuite = epoch << 24 | next << 8;
        }
        ++next;
        if (width <= 15 && next > threshold) {
            ++width;
            threshold *= 2;
        }
        continue;
    raz:
        memset(occupied, 0, TAILLE_HASH / 8);
        if (++epoch > EPOQUE_MAX) {
            memset(table, 0, sizeof(_stENTREE) << bits);
            epoch = 1;
        }
        width = 9;
        threshold = 512;
        next = PREMIER_CODE;
        bestGain = 0;
    }
    if (pos < n || out.dwPosition() >= limit) {
        _Term();
        return _dwCompresseCopie();
    }
    out.Ecrit(CODE_FIN, width);
    const uint32_t end = out.dwFin();
    _EcritEntete(eCOMPRESSEUR_ZLW, end - TAILLE_ENTETE_CODE);
    m_dwLargeur = width;
    m_dwSeuilLargeur = threshold;
    m_dwCodeSuivant = next;
    m_dGainMax = bestGain;
    _Term();
    return end;
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
    if (!_bAlloueTables(false)) {
        _Term();
        return 0;
    }
    _RAZDico(false);

    _stCHAINE *const strings = m_pstChaines;
    CLecteur reader(in, TAILLE_ENTETE_CODE, static_cast<uint32_t>(blockEnd));
    uint32_t width = 9, threshold = 512, next = PREMIER_CODE;
    uint32_t pos = 0;
    // The previous code's string: where it stands in the output, its length.
    uint32_t prevStart = 0, prevLength = 0;
    uint32_t result = 0;
    uint32_t c;

    // Entry `next` is the previous string plus the first byte of the current
    // one, which follows it directly in the output.
    auto insert = [&]() {
        if (next >= NB_CODES)
            return;
        strings[next].dwDebut = prevStart;
        strings[next].dwLongueur = prevLength + 1;
        ++next;
        if (width <= 15 && next >= threshold) {
            ++width;
            threshold *= 2;
        }
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
    // Copies `length` bytes from `from` (which ends before `pos`) to `pos`.
    auto copy = [&](uint32_t from, uint32_t length) {
        if (length <= 16 && total - pos >= 16) {
            // One wide move; the bytes past `length` are overwritten later.
            uint64_t a = qwLitLE64(out + from), b = qwLitLE64(out + from + 8);
            memcpy(out + pos, &a, 8);
            memcpy(out + pos + 8, &b, 8);
        } else {
            memcpy(out + pos, out + from, length);
        }
    };

    if (!reader.bLit(width, c) || !literal(c))
        goto fin;
    while (pos < total) {
        if (!reader.bLit(width, c))
            goto fin;
        if (c == CODE_RAZ) {
            _RAZDico(false);
            width = 9;
            threshold = 512;
            next = PREMIER_CODE;
            if (!reader.bLit(width, c) || !literal(c))
                goto fin;
            continue;
        }
        if (c == CODE_FIN)
            goto fin; // the stream ends before the announced size
        uint32_t length;
        if (c <= 256) {
            length = 1;
            out[pos] = static_cast<unsigned char>(c - 1);
        } else if (c < next) {
            length = strings[c].dwLongueur;
            if (length > total - pos)
                goto fin;
            copy(strings[c].dwDebut, length);
        } else if (c == next) {
            // The string being defined: previous string plus its own first byte.
            length = prevLength + 1;
            if (length > total - pos)
                goto fin;
            copy(prevStart, prevLength);
            out[pos + prevLength] = out[prevStart];
        } else {
            goto fin; // a code not defined yet
        }
        insert();
        prevStart = pos;
        prevLength = length;
        pos += length;
    }
    result = total;
fin:
    _Term();
    return result;
}
