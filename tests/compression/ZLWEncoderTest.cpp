// The encoder looks strings up through its own structures; its blocks must
// stay byte-identical to those of a plain writer that follows the stream
// rules literally (hashed dictionary of 131072 slots, unbounded lookup,
// 11-probe insertion, byte-at-a-time bit writer).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ZLWReference.h"
#include "compression/Compresseur.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes PlainEncode(const Bytes &in)
{
    const uint32_t n = static_cast<uint32_t>(in.size());
    Bytes out(n + 7, 0);
    auto stored = [&]() {
        Bytes s = {0, static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                   static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
        s.insert(s.end(), in.begin(), in.end());
        return s;
    };
    if (n <= 19)
        return stored();
    std::vector<uint16_t> hash(131072, 0);
    std::vector<uint16_t> prefix(65536, 0);
    std::vector<unsigned char> last(65536, 0);
    uint32_t width = 9, threshold = 512, next = 258, pos = 0, streamPos = 11, bitBuf = 0, bitCount = 0;
    uint64_t written = 0;
    double best = 0;
    auto write = [&](uint32_t code) {
        bitBuf |= code << bitCount;
        bitCount += width;
        while (bitCount > 7) {
            out[streamPos++] = static_cast<unsigned char>(bitBuf);
            ++written;
            bitBuf >>= 8;
            bitCount -= 8;
        }
    };
    auto reset = [&]() {
        std::fill(hash.begin(), hash.end(), 0);
        width = 9;
        threshold = 512;
        next = 258;
        best = 0;
    };
    auto probe = [](uint32_t h, uint32_t k) { return ((h + k + 1019) % 65536) * 2; };
    auto lookup = [&](uint32_t p, uint32_t b) -> uint32_t {
        uint32_t h = (b * 512 + p * 2 + 1) % 131072;
        for (uint32_t k = 0;; ++k) {
            uint32_t c = hash[h];
            if (c == 0)
                return 0;
            if (prefix[c] == p && last[c] == b)
                return c;
            h = probe(h, k);
        }
    };
    auto insert = [&](uint32_t p, uint32_t b) {
        if (next == 65536) {
            if (CZLWCompresseur::s_bVerifieGain(written, pos, best)) {
                write(0);
                reset();
            }
            return;
        }
        uint32_t h = (b * 512 + p * 2 + 1) % 131072;
        for (uint32_t k = 0; k < 11; ++k) {
            if (hash[h] == 0) {
                hash[h] = static_cast<uint16_t>(next);
                prefix[next] = static_cast<uint16_t>(p);
                last[next] = static_cast<unsigned char>(b);
                ++next;
                if (width <= 15 && next > threshold) {
                    ++width;
                    threshold *= 2;
                }
                return;
            }
            h = probe(h, k);
        }
        if (width <= 15 && next == threshold)
            ++width;
        write(0);
        reset();
    };
    while (pos < n) {
        if (streamPos >= n + 3)
            return stored();
        uint32_t code = in[pos] + 1u;
        for (++pos; pos < n; ++pos) {
            uint32_t v = lookup(code, in[pos]);
            if (v == 0)
                break;
            code = v;
        }
        write(code);
        insert(code, pos < n ? in[pos] : 15);
    }
    if (streamPos >= n + 3)
        return stored();
    write(257);
    if (bitCount > 0)
        out[streamPos++] = static_cast<unsigned char>(bitBuf);
    const uint32_t payload = streamPos - 11;
    Bytes head = {4,
                  static_cast<unsigned char>(payload),
                  static_cast<unsigned char>(payload >> 8),
                  static_cast<unsigned char>(payload >> 16),
                  static_cast<unsigned char>(payload >> 24),
                  static_cast<unsigned char>(n),
                  static_cast<unsigned char>(n >> 8),
                  static_cast<unsigned char>(n >> 16),
                  static_cast<unsigned char>(n >> 24),
                  0,
                  0};
    std::copy(head.begin(), head.end(), out.begin());
    out.resize(streamPos);
    return out;
}

Bytes Encode(const Bytes &in)
{
    Bytes data(in), out(in.size() + 7);
    uint32_t size =
        CCompresseur::ms_clCompresseurZLW.dwCompression(data.data(), data.size(), out.data(), out.size());
    out.resize(size);
    return out;
}

// Fixed-size records with counters, names and random fields, as binary
// files hold them.
Bytes Records(size_t n, uint32_t seed)
{
    Bytes noise = TestRandom(n, seed), v;
    uint32_t id = 5000;
    for (size_t i = 0; v.size() < n; ++i) {
        id += 1 + noise[i % n] % 3;
        const unsigned char rec[12] = {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8), 0, 0,
                                       'n', 'a', 'm', static_cast<unsigned char>('a' + noise[(i * 7) % n] % 4),
                                       noise[(i * 13) % n], 0, 0, static_cast<unsigned char>(i % 3)};
        v.insert(v.end(), rec, rec + sizeof rec);
    }
    v.resize(n);
    return v;
}

} // namespace

TEST(ZLWEncoder, SameBlocksAsThePlainWriter)
{
    std::vector<Bytes> inputs;
    // Around the stored/coded decision and the lookup table's size steps.
    for (size_t n : {20, 21, 22, 23, 31, 32, 33, 40, 64, 65, 4096, 32767, 32768, 32769, 65536, 65537})
        inputs.push_back(TestText(n, static_cast<uint32_t>(n), 3));
    for (size_t n : {20, 24, 28, 32, 36, 40, 100})
        inputs.push_back(TestRandom(n, static_cast<uint32_t>(n) + 1));
    // Long strings of one byte and of a short period: strings whose bytes
    // differ only in length or phase.
    inputs.push_back(Bytes(200000, 0));
    Bytes period;
    for (int i = 0; i < 150000; ++i)
        period.push_back(static_cast<unsigned char>("abcabd"[i % 6]));
    inputs.push_back(period);
    // Text large enough for resets by the 11-probe rule, binary records,
    // and text followed by noise, which fills every code and makes the
    // gain watch reset.
    inputs.push_back(TestText(600000, 11, 26));
    inputs.push_back(Records(400000, 5));
    Bytes mixed = TestText(400000, 1, 3), noise = TestRandom(400000, 1);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    inputs.push_back(mixed);
    // Periodic inputs of short and long periods, whose strings end at every
    // distance from the end of the input; small inputs get small lookup
    // tables, where most slots are taken.
    for (size_t per : {1, 2, 3, 7, 8, 9, 15, 16, 17, 24})
        for (size_t n : {21, 37, 70, 517, 5003}) {
            Bytes v(n);
            for (size_t i = 0; i < n; ++i)
                v[i] = static_cast<unsigned char>("\0\1\0\2\0\3\0\4\0\5\0\6\0\7\0\x08\0\x09\0\x0A\0\x0B\0\x0C"[i % per] + i / 4096);
            inputs.push_back(v);
        }
    // Incompressible after a compressible start: the stored fallback is
    // decided in the middle of the input.
    Bytes late = TestText(3000, 4, 2), rnd = TestRandom(40000, 8);
    late.insert(late.end(), rnd.begin(), rnd.end());
    inputs.push_back(late);

    bool sawStored = false, sawProbeReset = false, sawGainReset = false;
    for (const Bytes &in : inputs) {
        Bytes expected = PlainEncode(in), got = Encode(in);
        ASSERT_EQ(got.size(), expected.size()) << "input of " << in.size() << " bytes";
        EXPECT_TRUE(got == expected) << "input of " << in.size() << " bytes";
        if (got[0] == 0) {
            sawStored = true;
        } else {
            ZLWTrace t = ZLWReferenceDecode(got);
            EXPECT_TRUE(t.ok && t.data == in);
            sawProbeReset |= t.probeResets > 0;
            sawGainReset |= t.gainResets > 0;
        }
    }
    // The inputs do reach the paths they are meant for.
    EXPECT_TRUE(sawStored);
    EXPECT_TRUE(sawProbeReset);
    EXPECT_TRUE(sawGainReset);
}

// The shared codec gives the same block for the same input whatever it
// compressed before (its lookup tables start clean on every call).
TEST(ZLWEncoder, CallsDoNotInfluenceEachOther)
{
    Bytes a = TestText(70000, 2, 4), b = Records(50000, 3);
    Bytes first = Encode(a);
    Encode(b);
    Encode(Bytes(30, 'x'));
    EXPECT_TRUE(Encode(a) == first);
}
