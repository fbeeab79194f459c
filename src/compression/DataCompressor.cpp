// Unpacking of packed texts (see DataCompressor.h).
#include "compression/DataCompressor.h"

#include <climits>
#include <cstdlib>
#include <cstring>

// Table 1: lower case, blank and the usual punctuation of running text.
const unsigned char tabCharset1[32] = {
    0x20, 0x27, 0x2C, 0x2D, 0x2E, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k',
    'l',  'm',  'n',  'o',  'p',  'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', 0xE9,
};
// Table 2: upper case, brackets and the signs around arguments.
const unsigned char tabCharset2[32] = {
    0x28, 0x29, 0x3A, 0x3C, 0x3E, 0x3F, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
    'K',  'L',  'M',  'N',  'O',  'P',  'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z',
};
// Table 3: digits, line ends and the remaining ASCII signs.
const unsigned char tabCharset3[32] = {
    0x09, 0x0A, 0x0D, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2A, 0x2B, 0x2F, '0', '1', '2', '3',
    '4',  '5',  '6',  '7',  '8',  '9',  0x3B, 0x3D, 0x40, 0x5B, 0x5C, 0x5D, 0x5F, 0x60, 0x7B, 0x7D,
};
// Table 4 (code page 1252): accented letters and typography. Its last two entries
// are reachable by single shift only: while table 4 is current, their symbols
// are the escapes.
const unsigned char tabCharset4[32] = {
    0x7C, 0x80, 0x85, 0x92, 0x9C, 0xA0, 0xA7, 0xAB, 0xB0, 0xBB, 0xC0, 0xC2, 0xC7, 0xC8, 0xC9, 0xCA,
    0xCE, 0xD4, 0xD9, 0xE0, 0xE2, 0xE7, 0xE8, 0xEA, 0xEB, 0xEE, 0xEF, 0xF4, 0xF9, 0xFB, 0xFC, 0xFF,
};

namespace {
const unsigned char* const s_tabTables[4] = {tabCharset1, tabCharset2, tabCharset3, tabCharset4};
}

CDataCompressor::CDataCompressor()
    : m_pbyEntree(nullptr), m_nTailleEntree(0), m_nPos(0), m_pbySortie(nullptr), m_nCapacite(0),
      m_nTailleSortie(0), m_eCourant(CHARSET_1), m_eDecalage(SHIFT_NONE)
{
}

const unsigned char* CDataCompressor::s_pbyGetTable(int table)
{
    return (table >= 0 && table < 4) ? s_tabTables[table] : nullptr;
}

int CDataCompressor::_nGetCharsetSwitch(eCHARSET table)
{
    if (table < CHARSET_1 || table > CHARSET_4)
        return SHIFT_NONE;
    return LOCK_1 + table;
}

int CDataCompressor::_nGetValue(unsigned int byte, eCHARSET table)
{
    const unsigned char* tab = s_pbyGetTable(table);
    if (tab == nullptr || byte > 0xFF)
        return -1;
    int bas = 0, haut = 31;
    while (bas <= haut) {
        int milieu = (bas + haut) / 2;
        if (tab[milieu] == byte)
            return milieu + SYMBOLE_CAR;
        if (tab[milieu] < byte)
            bas = milieu + 1;
        else
            haut = milieu - 1;
    }
    return -1;
}

int CDataCompressor::_nGetCharset(eCHARSETSHIFT shift)
{
    if (shift < SHIFT_1 || shift > LOCK_4)
        return -1;
    return shift & 3;
}

void CDataCompressor::_Sortie(unsigned char octet)
{
    // The length is counted even past the capacity so the caller learns the size needed.
    if (m_nTailleSortie < m_nCapacite - 1)
        m_pbySortie[m_nTailleSortie] = octet;
    if (m_nTailleSortie < LONG_MAX)
        ++m_nTailleSortie;
}

void CDataCompressor::_Symbole(int symbole)
{
    if (symbole < 0 || symbole >= NB_SYMBOLES)
        return; // only malformed input gets here (v >= 64000 or a stray trailing byte)
    if (symbole < LOCK_1) {
        m_eDecalage = static_cast<eCHARSETSHIFT>(symbole);
    } else if (symbole < SYMBOLE_CAR) {
        m_eCourant = static_cast<eCHARSET>(symbole - LOCK_1);
        m_eDecalage = SHIFT_NONE;
    } else {
        int table = (m_eDecalage != SHIFT_NONE) ? static_cast<int>(m_eDecalage) : static_cast<int>(m_eCourant);
        m_eDecalage = SHIFT_NONE;
        _Sortie(s_tabTables[table][symbole - SYMBOLE_CAR]);
    }
}

long CDataCompressor::_nEchappement(int symbole)
{
    // Raw bytes follow the pair (or the trailing byte) at m_nPos + 2; a text that
    // ends before them simply ends.
    long n = m_nTailleEntree;
    long debut = m_nPos + 2;
    if (debut >= n)
        return n;
    if (symbole == SYMBOLE_ESC_OCTET) {
        _Sortie(m_pbyEntree[debut]);
        return debut + 1;
    }
    long k = m_pbyEntree[debut];
    long dispo = n - (debut + 1);
    long copie = k < dispo ? k : dispo;
    for (long j = 0; j < copie; ++j)
        _Sortie(m_pbyEntree[debut + 1 + j]);
    return (k <= dispo) ? debut + 1 + k : n;
}

int CDataCompressor::nDeCompress(unsigned char* out, int* size, const unsigned char* packed)
{
    m_pbyEntree = packed;
    m_nTailleEntree = packed ? static_cast<long>(strlen(reinterpret_cast<const char*>(packed))) : 0;
    m_nPos = 0;
    m_pbySortie = out;
    m_nCapacite = (out != nullptr && size != nullptr && *size > 0) ? *size : 0;
    m_nTailleSortie = 0;
    m_eCourant = CHARSET_1;
    m_eDecalage = SHIFT_NONE;

    const long n = m_nTailleEntree;
    while (m_nPos + 1 < n) {
        long v = (static_cast<long>(m_pbyEntree[m_nPos]) - 1) * 255 + (static_cast<long>(m_pbyEntree[m_nPos + 1]) - 1);
        const int symboles[3] = {static_cast<int>(v / 1600), static_cast<int>((v % 1600) / 40), static_cast<int>(v % 40)};
        bool echappe = false;
        for (int s : symboles) {
            if (m_eCourant == CHARSET_4 && (s == SYMBOLE_ESC_OCTET || s == SYMBOLE_ESC_SUITE)) {
                m_nPos = _nEchappement(s);
                echappe = true;
                break;
            }
            _Symbole(s);
        }
        if (!echappe)
            m_nPos += 2;
    }
    if (m_nPos == n - 1) {
        int s = m_pbyEntree[m_nPos] - 1;
        if (m_eCourant == CHARSET_4 && (s == SYMBOLE_ESC_OCTET || s == SYMBOLE_ESC_SUITE))
            _nEchappement(s);
        else
            _Symbole(s);
    }

    int nTotal = m_nTailleSortie > INT_MAX ? INT_MAX : static_cast<int>(m_nTailleSortie);
    int nRet = 0;
    if (m_nTailleSortie < m_nCapacite) {
        m_pbySortie[m_nTailleSortie] = 0;
    } else {
        if (m_nCapacite > 0)
            m_pbySortie[m_nCapacite - 1] = 0;
        nRet = 2;
    }
    if (size != nullptr)
        *size = nTotal;
    return nRet;
}

int CDataCompressor::s_nDeCompress(char* out, int* size, const char* packed)
{
    CDataCompressor clTemp;
    return clTemp.nDeCompress(reinterpret_cast<unsigned char*>(out), size, reinterpret_cast<const unsigned char*>(packed));
}

char* CDataCompressor::s_pszDeCompress(const char* packed)
{
    if (packed == nullptr)
        return nullptr;
    // Three characters per two bytes at most, plus a trailing symbol and the zero.
    size_t n = strlen(packed);
    if (n > (static_cast<size_t>(INT_MAX) - 2) / 3 * 2)
        return nullptr;
    int nTaille = static_cast<int>(n * 3 / 2 + 2);
    char* psz = static_cast<char*>(malloc(static_cast<size_t>(nTaille)));
    if (psz == nullptr)
        return nullptr;
    if (s_nDeCompress(psz, &nTaille, packed) != 0) {
        free(psz);
        return nullptr;
    }
    return psz;
}
