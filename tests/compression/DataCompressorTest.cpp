// Packed-text unpacking, the packer lookups, malformed input and the round trip
// through the build's packer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "../../tools/resbloc/Packer.h"
#include "compression/DataCompressor.h"

namespace {

typedef CDataCompressor CDC;

// Two bytes carrying three symbols.
std::string Paire(int s1, int s2, int s3)
{
    unsigned v = static_cast<unsigned>(s1 * 1600 + s2 * 40 + s3);
    return std::string{static_cast<char>(v / 255 + 1), static_cast<char>(v % 255 + 1)};
}

// Character symbol of b in a table.
int Sym(unsigned char b, int table)
{
    return CDC::_nGetValue(b, static_cast<CDC::eCHARSET>(table));
}

// Unpacks with a given capacity; returns the text written, the result and size.
struct stRes {
    int nRet;
    int nTaille;
    std::string sTexte;
};

stRes Unpack(const std::string& packe, int nCapacite)
{
    std::string buf(static_cast<size_t>(nCapacite) + 8, '#');
    stRes r;
    r.nTaille = nCapacite;
    r.nRet = CDC::s_nDeCompress(&buf[0], &r.nTaille, packe.c_str());
    r.sTexte = buf.substr(0, buf.find('\0'));
    EXPECT_EQ(buf.substr(static_cast<size_t>(nCapacite)), std::string(8, '#')) << "written past the capacity";
    return r;
}

std::string Unpacked(const std::string& packe)
{
    char* psz = CDC::s_pszDeCompress(packe.c_str());
    EXPECT_NE(psz, nullptr);
    std::string s = psz ? psz : "";
    free(psz);
    return s;
}

} // namespace

TEST(DataCompressor, TablesAreSortedDistinctAndFoundByTheLookup)
{
    for (int t = 0; t < 4; ++t) {
        const unsigned char* tab = CDC::s_pbyGetTable(t);
        ASSERT_NE(tab, nullptr);
        for (int i = 0; i < 32; ++i) {
            if (i > 0) {
                EXPECT_LT(tab[i - 1], tab[i]) << "table " << t << " entry " << i;
            }
            EXPECT_NE(tab[i], 0);
            EXPECT_EQ(Sym(tab[i], t), i + 8);
        }
    }
    EXPECT_EQ(CDC::s_pbyGetTable(4), nullptr);
    EXPECT_EQ(Sym('a', CDC::CHARSET_1), 8 + 5);
    EXPECT_EQ(Sym('A', CDC::CHARSET_1), -1);
    EXPECT_EQ(CDC::_nGetValue(0x161, CDC::CHARSET_1), -1);
    EXPECT_EQ(CDC::_nGetValue('a', static_cast<CDC::eCHARSET>(4)), -1);

    EXPECT_EQ(CDC::_nGetCharsetSwitch(CDC::CHARSET_1), 4);
    EXPECT_EQ(CDC::_nGetCharsetSwitch(CDC::CHARSET_4), 7);
    EXPECT_EQ(CDC::_nGetCharsetSwitch(static_cast<CDC::eCHARSET>(4)), 8);
    EXPECT_EQ(CDC::_nGetCharsetSwitch(static_cast<CDC::eCHARSET>(-1)), 8);
    EXPECT_EQ(CDC::_nGetCharset(CDC::SHIFT_2), 1);
    EXPECT_EQ(CDC::_nGetCharset(CDC::LOCK_3), 2);
    EXPECT_EQ(CDC::_nGetCharset(CDC::SHIFT_NONE), -1);
}

TEST(DataCompressor, SymbolsShiftsLocksAndTrailingByte)
{
    const int a = Sym('a', 0), b = Sym('b', 0), c = Sym('c', 0), d = Sym('d', 0);
    const int A = Sym('A', 1), B = Sym('B', 1), un = Sym('1', 2);

    EXPECT_EQ(Unpacked(Paire(a, b, c)), "abc");
    // Odd length: the last byte is one symbol plus one.
    EXPECT_EQ(Unpacked(Paire(a, b, c) + std::string(1, static_cast<char>(d + 1))), "abcd");
    // A single shift applies to the next character only.
    EXPECT_EQ(Unpacked(Paire(CDC::SHIFT_2, A, a)), "Aa");
    // A lock stays until the next lock; a shift inside it still works.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_2, A, B) + Paire(CDC::SHIFT_3, un, A) + Paire(CDC::LOCK_1, a, a)), "AB1Aaa");
    // A pending shift is cleared by a lock.
    EXPECT_EQ(Unpacked(Paire(CDC::SHIFT_2, CDC::LOCK_1, a)), "a");

    stRes r = Unpack("", 4);
    EXPECT_EQ(r.nRet, 0);
    EXPECT_EQ(r.nTaille, 0);
    EXPECT_EQ(r.sTexte, "");
    EXPECT_EQ(Unpacked(""), "");
}

TEST(DataCompressor, EscapesCarryRawBytes)
{
    const int a = Sym('a', 0), b = Sym('b', 0);
    // Escape 38: one raw byte after the pair; the rest of the pair is ignored.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::SYMBOLE_ESC_OCTET, a) + "\x01" + Paire(CDC::LOCK_1, a, b)),
              std::string("\x01" "ab"));
    // Escape 39: a count, then that many raw bytes.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::SYMBOLE_ESC_SUITE, a) + "\x03xyz" + Paire(CDC::LOCK_1, b, b)), "xyzbb");
    // The escape test uses the table left by the previous symbol of the same pair.
    EXPECT_EQ(Unpacked(Paire(a, CDC::LOCK_4, CDC::SYMBOLE_ESC_OCTET) + "Z"), "aZ");
    // Outside table 4, 38 and 39 are characters, even under a shift to table 4.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::LOCK_1, CDC::SYMBOLE_ESC_OCTET)), "z");
    EXPECT_EQ(Unpacked(Paire(CDC::SHIFT_4, CDC::SYMBOLE_ESC_OCTET, a)), std::string("\xFC" "a"));
}

TEST(DataCompressor, CapacityTruncatesButCountsTheFullLength)
{
    const int a = Sym('a', 0), b = Sym('b', 0), c = Sym('c', 0);
    std::string p = Paire(a, b, c) + Paire(a, b, c);
    stRes r = Unpack(p, 7);
    EXPECT_EQ(r.nRet, 0);
    EXPECT_EQ(r.nTaille, 6);
    EXPECT_EQ(r.sTexte, "abcabc");
    r = Unpack(p, 6);
    EXPECT_EQ(r.nRet, 2);
    EXPECT_EQ(r.nTaille, 6);
    EXPECT_EQ(r.sTexte, "abcab");
    r = Unpack(p, 1);
    EXPECT_EQ(r.nRet, 2);
    EXPECT_EQ(r.nTaille, 6);
    EXPECT_EQ(r.sTexte, "");
    // No capacity at all: nothing is written, not even the zero.
    r = Unpack(p, 0);
    EXPECT_EQ(r.nRet, 2);
    EXPECT_EQ(r.nTaille, 6);
    int n = 5;
    EXPECT_EQ(CDC::s_nDeCompress(nullptr, &n, p.c_str()), 2);
    EXPECT_EQ(n, 6);
}

TEST(DataCompressor, MalformedInputStaysInsideTheBuffers)
{
    const int a = Sym('a', 0);
    // v >= 64000: the first symbol (40) is dropped, the others are read.
    EXPECT_EQ(Unpacked("\xFF\xFF"), "ml");
    // A trailing byte above 40 is no symbol.
    EXPECT_EQ(Unpacked(Paire(a, a, a) + "\xC8"), "aaa");
    // Escapes that run past the end of the text end it.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::SYMBOLE_ESC_OCTET, 0)), "");
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::SYMBOLE_ESC_SUITE, 0)), "");
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::SYMBOLE_ESC_SUITE, 0) + "\x09" "abc"), "abc");
    // An escape as the trailing byte has nothing after it.
    EXPECT_EQ(Unpacked(Paire(CDC::LOCK_4, CDC::LOCK_4, CDC::LOCK_4) + std::string(1, CDC::SYMBOLE_ESC_SUITE + 1)), "");
    // s_pszDeCompress's buffer always fits: three characters per pair at most.
    std::string p;
    for (int i = 0; i < 50; ++i)
        p += Paire(a, a, a);
    EXPECT_EQ(Unpacked(p), std::string(150, 'a'));
    EXPECT_EQ(CDC::s_pszDeCompress(nullptr), nullptr);
}

TEST(DataCompressor, PackerRoundTripOverEveryByteValue)
{
    auto RoundTrip = [](const std::string& texte) {
        std::string packe;
        ASSERT_TRUE(CPackeurTexte::s_bPack(texte, packe));
        ASSERT_EQ(packe.find('\0'), std::string::npos);
        // Every pair the packer writes is valid (v < 64000).
        EXPECT_EQ(Unpacked(packe), texte);
        stRes r = Unpack(packe, static_cast<int>(texte.size()) + 1);
        EXPECT_EQ(r.nRet, 0);
        EXPECT_EQ(r.nTaille, static_cast<int>(texte.size()));
    };
    std::string tous;
    for (int b = 1; b < 256; ++b) {
        RoundTrip(std::string(1, static_cast<char>(b)));
        RoundTrip(std::string(2, static_cast<char>(b)) + "a");
        RoundTrip("z" + std::string(1, static_cast<char>(b)) + "Z");
        tous += static_cast<char>(b);
    }
    RoundTrip(tous);
    RoundTrip(std::string(tous.rbegin(), tous.rend()));
    RoundTrip(std::string(300, '\x01')); // longer than one escape run
    std::mt19937 gen(12345);
    for (int n = 0; n < 300; ++n) {
        std::string s;
        size_t len = gen() % 40;
        for (size_t i = 0; i < len; ++i)
            s += static_cast<char>(1 + gen() % 255);
        RoundTrip(s);
    }
    std::string packe;
    EXPECT_FALSE(CPackeurTexte::s_bPack(std::string("a\0b", 3), packe));
}
