// ar, ustar and xz writers and the checksums they need.
//
// xz: the project takes no compression library, and the 32-bit tree would need an
// i386 liblzma on every build machine. The container is small and well defined, so
// the package's members are written as .xz streams whose LZMA2 chunks are stored:
// every xz decoder (dpkg-deb, xz -t) reads them, and the output depends on nothing
// but the input bytes. The launcher and the application make the bulk of a package,
// so the size given up is small.
#include "DebArchive.h"

#include <cstdio>
#include <cstring>

namespace {

void AjouteLE(tOCTETS *ptab, uint64_t v, int nOctets)
{
    for (int i = 0; i < nOctets; ++i)
        ptab->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The variable-length integers of the xz headers and index: 7 bits a byte.
void AjouteVli(tOCTETS *ptab, uint64_t v)
{
    while (v >= 0x80) {
        ptab->push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    ptab->push_back(static_cast<uint8_t>(v));
}

void Aligne4(tOCTETS *ptab, size_t oDebut)
{
    while ((ptab->size() - oDebut) % 4)
        ptab->push_back(0);
}

void AjouteCrc32(tOCTETS *ptab, size_t oDebut)
{
    AjouteLE(ptab, dwCrc32(ptab->data() + oDebut, ptab->size() - oDebut), 4);
}

const uint8_t gabFlagsFlux[2] = {0x00, 0x04}; // check: CRC64

uint32_t dwRotG(uint32_t v, int n)
{
    return v << n | v >> (32 - n);
}

} // namespace

uint32_t dwCrc32(const uint8_t *p, size_t n, uint32_t dwCrc)
{
    dwCrc = ~dwCrc;
    for (size_t i = 0; i < n; ++i) {
        dwCrc ^= p[i];
        for (int k = 0; k < 8; ++k)
            dwCrc = dwCrc >> 1 ^ (0xEDB88320u & (0u - (dwCrc & 1)));
    }
    return ~dwCrc;
}

uint64_t qwCrc64(const uint8_t *p, size_t n, uint64_t qwCrc)
{
    static uint64_t s_tab[256];
    if (!s_tab[1])
        for (uint64_t i = 0; i < 256; ++i) {
            uint64_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c >> 1 ^ (0xC96C5795D7870F42ull & (0ull - (c & 1)));
            s_tab[i] = c;
        }
    qwCrc = ~qwCrc;
    for (size_t i = 0; i < n; ++i)
        qwCrc = s_tab[(qwCrc ^ p[i]) & 0xFF] ^ qwCrc >> 8;
    return ~qwCrc;
}

std::string sMd5Hex(const uint8_t *p, size_t n)
{
    static const uint32_t s_tabK[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int s_tabR[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};
    tOCTETS tab(p, p + n);
    tab.push_back(0x80);
    while (tab.size() % 64 != 56)
        tab.push_back(0);
    AjouteLE(&tab, static_cast<uint64_t>(n) * 8, 8);
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (size_t o = 0; o < tab.size(); o += 64) {
        uint32_t m[16];
        for (int i = 0; i < 16; ++i)
            m[i] = tab[o + 4 * i] | tab[o + 4 * i + 1] << 8 | tab[o + 4 * i + 2] << 16 |
                   static_cast<uint32_t>(tab[o + 4 * i + 3]) << 24;
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = 7 * i % 16;
            }
            uint32_t t = d;
            d = c;
            c = b;
            b += dwRotG(a + f + s_tabK[i] + m[g], s_tabR[i / 16 * 4 + i % 4]);
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    std::string s;
    char sz[3];
    for (uint32_t v : h)
        for (int i = 0; i < 4; ++i) {
            snprintf(sz, sizeof(sz), "%02x", (v >> (8 * i)) & 0xFF);
            s += sz;
        }
    return s;
}

tOCTETS tabXzStocke(const tOCTETS &tabDonnees)
{
    tOCTETS tab = {0xFD, '7', 'z', 'X', 'Z', 0x00, gabFlagsFlux[0], gabFlagsFlux[1]};
    AjouteLE(&tab, dwCrc32(gabFlagsFlux, 2), 4);

    // Block header: its size in 4-byte units less one, no sizes given, one filter
    // (LZMA2 with a 128 KiB dictionary, enough for any stored chunk), padding, CRC32.
    const size_t oBloc = tab.size();
    tab.insert(tab.end(), {0x02, 0x00, 0x21, 0x01, 10});
    Aligne4(&tab, oBloc);
    AjouteCrc32(&tab, oBloc);
    const size_t nEnteteBloc = tab.size() - oBloc;

    // Stored chunks of at most 64 KiB: the first resets the dictionary.
    const size_t oDonnees = tab.size();
    const size_t nChunk = 65536;
    for (size_t o = 0; o < tabDonnees.size(); o += nChunk) {
        size_t n = std::min(nChunk, tabDonnees.size() - o);
        tab.push_back(o == 0 ? 0x01 : 0x02);
        tab.push_back(static_cast<uint8_t>((n - 1) >> 8));
        tab.push_back(static_cast<uint8_t>(n - 1));
        tab.insert(tab.end(), tabDonnees.begin() + o, tabDonnees.begin() + o + n);
    }
    tab.push_back(0x00);
    const uint64_t nNonComplete = nEnteteBloc + (tab.size() - oDonnees) + 8;
    Aligne4(&tab, oBloc);
    AjouteLE(&tab, qwCrc64(tabDonnees.data(), tabDonnees.size()), 8);

    const size_t oIndex = tab.size();
    tab.push_back(0x00);
    AjouteVli(&tab, 1);
    AjouteVli(&tab, nNonComplete);
    AjouteVli(&tab, tabDonnees.size());
    Aligne4(&tab, oIndex);
    AjouteCrc32(&tab, oIndex);
    const uint32_t dwRecul = static_cast<uint32_t>((tab.size() - oIndex) / 4 - 1);

    const size_t oPied = tab.size();
    tab.insert(tab.end(), 4, 0);
    AjouteLE(&tab, dwRecul, 4);
    tab.insert(tab.end(), gabFlagsFlux, gabFlagsFlux + 2);
    const uint32_t dwCrcPied = dwCrc32(tab.data() + oPied + 4, 6);
    for (int i = 0; i < 4; ++i)
        tab[oPied + i] = static_cast<uint8_t>(dwCrcPied >> (8 * i));
    tab.push_back('Y');
    tab.push_back('Z');
    return tab;
}

bool bNomTarValide(const std::string &sNom)
{
    if (sNom.size() <= 100)
        return true;
    size_t o = sNom.find('/', sNom.size() > 101 ? sNom.size() - 101 : 0);
    return o != std::string::npos && o <= 155 && sNom.size() - o - 1 <= 100 && sNom.size() - o - 1 > 0;
}

void CTarUstar::Entete(const std::string &sNom, char cType, unsigned nMode, uint64_t nTaille,
                       const std::string &sLien)
{
    char e[512];
    memset(e, 0, sizeof(e));
    std::string sPrefixe, sReste = sNom;
    if (sNom.size() > 100) {
        size_t o = sNom.find('/', sNom.size() - 101);
        sPrefixe = sNom.substr(0, o);
        sReste = sNom.substr(o + 1);
    }
    memcpy(e, sReste.data(), std::min<size_t>(sReste.size(), 100));
    snprintf(e + 100, 8, "%07o", nMode & 07777);
    snprintf(e + 108, 8, "%07o", 0);
    snprintf(e + 116, 8, "%07o", 0);
    snprintf(e + 124, 12, "%011llo", static_cast<unsigned long long>(nTaille));
    snprintf(e + 136, 12, "%011llo", static_cast<unsigned long long>(m_qwDate));
    e[156] = cType;
    memcpy(e + 157, sLien.data(), std::min<size_t>(sLien.size(), 100));
    memcpy(e + 257, "ustar", 6);
    memcpy(e + 263, "00", 2);
    memcpy(e + 265, "root", 4);
    memcpy(e + 297, "root", 4);
    memcpy(e + 345, sPrefixe.data(), std::min<size_t>(sPrefixe.size(), 155));
    // The checksum counts its own field as spaces.
    memset(e + 148, ' ', 8);
    unsigned nSomme = 0;
    for (unsigned char c : e)
        nSomme += c;
    snprintf(e + 148, 8, "%06o", nSomme);
    m_tab.insert(m_tab.end(), e, e + sizeof(e));
}

void CTarUstar::Repertoire(const std::string &sNom, unsigned nMode)
{
    Entete(sNom, '5', nMode, 0, "");
}

void CTarUstar::Fichier(const std::string &sNom, unsigned nMode, const tOCTETS &tab)
{
    Entete(sNom, '0', nMode, tab.size(), "");
    m_tab.insert(m_tab.end(), tab.begin(), tab.end());
    m_tab.resize((m_tab.size() + 511) / 512 * 512, 0);
}

void CTarUstar::Lien(const std::string &sNom, const std::string &sCible)
{
    Entete(sNom, '2', 0777, 0, sCible);
}

tOCTETS CTarUstar::tabTermine() const
{
    tOCTETS tab = m_tab;
    tab.resize(tab.size() + 1024, 0);
    return tab;
}

tOCTETS tabArchiveAr(const std::vector<stMEMBREAR> &tabMembres, uint64_t qwDate)
{
    static const char s_szMagique[] = "!<arch>\n";
    tOCTETS tab(s_szMagique, s_szMagique + 8);
    for (const stMEMBREAR &st : tabMembres) {
        char e[61];
        snprintf(e, sizeof(e), "%-16.16s%-12llu%-6u%-6u%-8o%-10zu`\n", st.sNom.c_str(),
                 static_cast<unsigned long long>(qwDate), 0u, 0u, 0100644u, st.tab.size());
        tab.insert(tab.end(), e, e + 60);
        tab.insert(tab.end(), st.tab.begin(), st.tab.end());
        if (st.tab.size() % 2)
            tab.push_back('\n');
    }
    return tab;
}

tOCTETS tabGzipStocke(const tOCTETS &tabDonnees)
{
    tOCTETS tab = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0x00, 0x03}; // deflate, no flags, date 0, Unix
    size_t o = 0;
    do {
        size_t n = std::min<size_t>(65535, tabDonnees.size() - o);
        tab.push_back(o + n == tabDonnees.size() ? 0x01 : 0x00); // final bit, stored type
        AjouteLE(&tab, n, 2);
        AjouteLE(&tab, ~n & 0xFFFF, 2);
        tab.insert(tab.end(), tabDonnees.begin() + o, tabDonnees.begin() + o + n);
        o += n;
    } while (o < tabDonnees.size());
    AjouteLE(&tab, dwCrc32(tabDonnees.data(), tabDonnees.size()), 4);
    AjouteLE(&tab, tabDonnees.size() & 0xFFFFFFFF, 4);
    return tab;
}
