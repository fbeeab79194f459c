// The Latin-1 tables checked byte by byte against their reference listings,
// written here as text and parsed, plus the alphabet selection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "strings/CharTab.h"
#include "strings/STR.h"

namespace {

// "0x41-0x5A" or "41-5A" style ranges separated by commas.
std::vector<int> Octets(const std::string &sListe)
{
    std::vector<int> v;
    std::stringstream ss(sListe);
    std::string sPart;
    while (std::getline(ss, sPart, ',')) {
        const size_t nTiret = sPart.find('-');
        const int a = static_cast<int>(strtol(sPart.substr(0, nTiret).c_str(), nullptr, 16));
        const int b = nTiret == std::string::npos ? a : static_cast<int>(strtol(sPart.substr(nTiret + 1).c_str(), nullptr, 16));
        for (int c = a; c <= b; ++c)
            v.push_back(c);
    }
    return v;
}

// Mapping rules "61-7A>41-5A" (a range onto a range of the same size).
std::vector<int> Table(const std::vector<std::string> &vRegles)
{
    std::vector<int> t(256);
    for (int c = 0; c < 256; ++c)
        t[c] = c;
    for (const std::string &s : vRegles) {
        const size_t nFleche = s.find('>');
        const std::vector<int> vDe = Octets(s.substr(0, nFleche)), vVers = Octets(s.substr(nFleche + 1));
        EXPECT_TRUE(vVers.size() == vDe.size() || vVers.size() == 1) << s;
        for (size_t i = 0; i < vDe.size(); ++i)
            t[vDe[i]] = vVers.size() == 1 ? vVers[0] : vVers[i];
    }
    return t;
}

std::vector<int> Upper()
{
    return Table({"61-7A>41-5A", "9A>8A", "9C>8C", "9E>8E", "E0-F6>C0-D6", "F8-FE>D8-DE", "FF>9F"});
}

std::vector<int> NoAccent()
{
    return Table({"C0-C5>41", "E0-E5>61", "C7>43", "E7>63", "C8-CB>45", "E8-EB>65", "CC-CF>49", "EC-EF>69",
                  "D1>4E", "F1>6E", "D2-D6>4F", "D8>4F", "F2-F6>6F", "F8>6F", "D9-DC>55", "F9-FC>75",
                  "DD>59", "9F>59", "FD>79", "FF>79", "8A>53", "9A>73", "8E>5A", "9E>7A"});
}

} // namespace

TEST(CharTab, CaseTablesEveryByte)
{
    const std::vector<int> vUp = Upper();
    const std::vector<int> vLow =
        Table({"41-5A>61-7A", "8A>9A", "8C>9C", "8E>9E", "9F>FF", "C0-D6>E0-F6", "D8-DE>F8-FE"});
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(pToUpper_Latin1[c], vUp[c]) << "upper " << c;
        EXPECT_EQ(pToLower_Latin1[c], vLow[c]) << "lower " << c;
        EXPECT_EQ(gstCharTab.pbyToUpper[c], vUp[c]);
        EXPECT_EQ(gstCharTab.pbyToLower[c], vLow[c]);
    }
    EXPECT_EQ(pToUpper_Latin1[0xFF], 0x9F);
    EXPECT_EQ(pToLower_Latin1[0x9F], 0xFF);
    EXPECT_EQ(pToUpper_Latin1[0xDF], 0xDF);
    EXPECT_EQ(pToUpper_Latin1[0xB5], 0xB5);
    EXPECT_EQ(pToUpper_Latin1[0xF7], 0xF7);
}

TEST(CharTab, UnaccentedTablesEveryByte)
{
    const std::vector<int> vNa = NoAccent(), vUp = Upper();
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(pToNoAccent_Latin1[c], vNa[c]) << c;
        EXPECT_EQ(gstCharTab.pbyToNoAccent[c], vNa[c]);
        EXPECT_EQ(pToNoAccentUpper_Latin1[c], vUp[vNa[c]]) << c;
    }
    for (int c : Octets("8C,9C,C6,E6,D0,F0,DE,FE,DF"))
        EXPECT_EQ(pToNoAccent_Latin1[c], c) << c;
    EXPECT_EQ(pToNoAccent_Latin1[0x9F], 'Y');
}

TEST(CharTab, CharacterTypeEveryByte)
{
    struct {
        int nType;
        const char *pszOctets;
    } const tab[] = {
        {0x00, "0x00, 0x41-0x5A, 0x83, 0x8C, 0x99, 0xAA, 0xB2-0xB3, 0xB9-0xBA, 0xBC-0xBE, 0xC6, 0xD0, 0xDE-0xDF"},
        {0x01, "0x30-0x39"},
        {0x02, "0x61-0x7A, 0x9C, 0xE6, 0xF0, 0xFE"},
        {0x04, "0x8A, 0x8E, 0x9F, 0xC0-0xC5, 0xC7-0xCF, 0xD1-0xD6, 0xD8-0xDD"},
        {0x06, "0x9A, 0x9E, 0xE0-0xE5, 0xE7-0xEF, 0xF1-0xF6, 0xF8-0xFD, 0xFF"},
        {0x08, "0x01-0x08, 0x0B-0x0C, 0x0E-0x1F, 0x21-0x2F, 0x3A-0x40, 0x5B-0x60, 0x7B-0x82, 0x84-0x89, 0x8B, "
               "0x8D, 0x8F-0x98, 0x9B, 0x9D, 0xA1-0xA9, 0xAB-0xB1, 0xB4-0xB8, 0xBB, 0xBF, 0xD7, 0xF7"},
        {0x18, "0x09-0x0A, 0x0D, 0x20, 0xA0"},
    };
    std::vector<int> vVu(256, 0);
    for (const auto &ligne : tab) {
        for (int c : Octets(ligne.pszOctets)) {
            ++vVu[c];
            EXPECT_EQ(pbyCharType_Latin1[c], ligne.nType) << c;
            EXPECT_EQ(gstCharTab.pbyCharType[c], ligne.nType) << c;
        }
    }
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(vVu[c], 1) << "listed once: " << c;
    EXPECT_EQ(pbyCharType_Latin1[0xA0], 0x18);
    EXPECT_EQ(pbyCharType_Latin1[0x5F], 0x08);
    EXPECT_EQ(pbyCharType_Latin1[0xAA], 0x00);
}

TEST(CharTab, CollationOrderWholeSequence)
{
    const std::string sSequence =
        "00 01 02 03 04 05 06 07 08 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 7F 81 8D 8F 90 9D 27 2D "
        "AD 96 97 20 A0 09 0A 0B 0C 0D 21 22 23 24 25 26 28 29 2A 2C 2E 2F 3A 3B 3F 40 5B 5C 5D 5E 88 5F 60 7B 7C "
        "7D 7E A1 A6 A8 AF B4 B8 BF 98 91 92 82 93 94 84 8B 9B 2B 3C 3D 3E B1 AB BB D7 F7 A2 A3 A4 A5 A7 A9 AC AE "
        "B0 B5 B6 B7 86 87 95 85 89 80 30 BC BD BE 31 B9 32 B2 33 B3 34 35 36 37 38 39 61 41 AA E1 C1 E0 C0 E2 C2 "
        "E4 C4 E3 C3 E5 C5 E6 C6 62 42 63 43 E7 C7 64 44 F0 D0 65 45 E9 C9 E8 C8 EA CA EB CB 66 46 83 67 47 68 48 "
        "69 49 ED CD EC CC EE CE EF CF 6A 4A 6B 4B 6C 4C 6D 4D 6E 4E F1 D1 6F 4F BA F3 D3 F2 D2 F4 D4 F6 D6 F5 D5 "
        "F8 D8 9C 8C 70 50 71 51 72 52 73 53 9A 8A DF 74 54 FE DE 99 75 55 FA DA F9 D9 FB DB FC DC 76 56 77 57 78 "
        "58 79 59 FD DD 9F 7A 5A 9E 8E FF";
    std::stringstream ss(sSequence);
    std::string sOctet;
    std::set<int> vus;
    int nRang = 0;
    while (ss >> sOctet) {
        const int c = static_cast<int>(strtol(sOctet.c_str(), nullptr, 16));
        EXPECT_TRUE(vus.insert(c).second) << "twice: " << sOctet;
        EXPECT_EQ(pwCharOrder_Latin1[c], nRang) << sOctet; // high byte 0 as well
        EXPECT_EQ(gstCharTab.pwCharOrder[c], nRang);
        ++nRang;
    }
    EXPECT_EQ(nRang, 256);
    auto rang = [](unsigned char c) { return pwCharOrder_Latin1[c]; };
    EXPECT_LT(rang('a'), rang('A'));
    EXPECT_LT(rang('A'), rang(0xE1));
    EXPECT_LT(rang(0xE1), rang(0xC1));
    EXPECT_LT(rang(0xC1), rang(0xE0));
    EXPECT_LT(rang(0xE0), rang('b'));
    EXPECT_LT(rang('9'), rang('a'));
    EXPECT_LT(rang(' '), rang('!'));
    EXPECT_LT(rang('\''), rang('-'));
    EXPECT_LT(rang('-'), rang(' '));
}

TEST(CharTab, SideTables)
{
    for (int c = 0; c < 256; ++c) {
        int nAttendu = c < 0x80 ? 1 : c < 0xC0 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : c < 0xFC ? 5 : 6;
        EXPECT_EQ(TabUTF8len[c >> 2], nAttendu) << c;
    }
    std::vector<bool> vAlnum(256, false);
    for (int c : Octets("0x30-0x39, 0x41-0x5A, 0x61-0x7A, 0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E-0x9F, 0xB2-0xB3, "
                        "0xB9, 0xC0-0xD6, 0xD8-0xF6, 0xF8-0xFF"))
        vAlnum[c] = true;
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(((gpbyIsChaAlphaNumeric_Latin1[c >> 3] >> (c & 7)) & 1) != 0, vAlnum[c]) << c;
        EXPECT_EQ(((pbyIsCharAlphaNumeric[c >> 3] >> (c & 7)) & 1) != 0, vAlnum[c]) << c;
    }
    for (uintptr_t nAdresse = 0; nAdresse < 16; ++nAdresse)
        EXPECT_EQ((nAdresse + XALIGN_gnTabAlignement[nAdresse & 3]) % 4, 0u);
    EXPECT_EQ(XALIGN_gnTabAlignement[0], 0);
}

namespace {

// A host provider: slot 2 answers the charset, slot 4 the table set.
class CFournisseur : public ICtxInfoAlphabet {
public:
    int m_nCharset = 0;
    _stCHARTAB *m_pst = nullptr;
    int m_nAppelsReserves = 0;
    void vReserve1() override { ++m_nAppelsReserves; }
    int nGetCharset() override { return m_nCharset; }
    void vReserve3() override { ++m_nAppelsReserves; }
    _stCHARTAB *pstGetCharTab() override { return m_pst; }
};

// The fixed set with every byte's upper case replaced by 'Q': easy to see
// whether a function used the local alphabet.
unsigned char gbyToutQ[256];
_stCHARTAB CreeTablesQ()
{
    for (int c = 0; c < 256; ++c)
        gbyToutQ[c] = 'Q';
    _stCHARTAB st = gstCharTab;
    st.pbyToUpper = gbyToutQ;
    return st;
}

} // namespace

TEST(CharTab, AlphabetSelection)
{
    EXPECT_EQ(STR_pstGetCharTabLocal(), &gstCharTab);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 0);

    _stCHARTAB stQ = CreeTablesQ();
    char sz[8];
    STR_ChangeAlphabet(127, &stQ);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
    EXPECT_EQ(STR_pstGetCharTabLocal(), &stQ);
    STR_nMapStringEx(1 | STR_MAP_LOCAL, sz, sizeof sz, "ab", -1, 1);
    EXPECT_STREQ(sz, "QQ");
    STR_nMapStringEx(1, sz, sizeof sz, "ab", -1, 1);
    EXPECT_STREQ(sz, "AB");

    // A provider takes precedence over the stored selection.
    CFournisseur fournisseur;
    fournisseur.m_nCharset = 204;
    fournisseur.m_pst = const_cast<_stCHARTAB *>(&gstCharTab);
    STR_SetCtxInfoAlphabet(&fournisseur);
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 204);
    EXPECT_EQ(STR_pstGetCharTabLocal(), &gstCharTab);
    STR_nMapStringEx(1 | STR_MAP_LOCAL, sz, sizeof sz, "ab", -1, 1);
    EXPECT_STREQ(sz, "AB");
    fournisseur.m_nCharset = 127;
    EXPECT_EQ(STR_nGetCurrentChangeCharset(), 0);
    EXPECT_EQ(STR_nGetCurrentChangeCharsetInterne(), 127);
    // A provider without a table set leaves the fixed one in use.
    fournisseur.m_pst = nullptr;
    EXPECT_EQ(STR_pstGetCharTabLocal(), &gstCharTab);
    EXPECT_EQ(fournisseur.m_nAppelsReserves, 0);
    STR_SetCtxInfoAlphabet(nullptr);
    EXPECT_EQ(STR_pstGetCharTabLocal(), &stQ);

    // A null set cannot be selected: the fixed set stands in.
    STR_ChangeAlphabet(0, nullptr);
    EXPECT_EQ(STR_pstGetCharTabLocal(), &gstCharTab);
    STR_ChangeAlphabet(0, const_cast<_stCHARTAB *>(&gstCharTab));
}
