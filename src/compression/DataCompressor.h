// Packed texts: three symbols of a 40-symbol alphabet in every two bytes, four
// character tables chosen by shift and lock symbols, escapes for raw bytes.
// A packed text never holds a zero byte. Only unpacking is provided here, with
// the lookups a packer needs; the packer itself is a build tool.
#pragma once

#include <cstdint>

// The four character tables, 32 distinct bytes each in ascending order.
extern const unsigned char tabCharset1[32];
extern const unsigned char tabCharset2[32];
extern const unsigned char tabCharset3[32];
extern const unsigned char tabCharset4[32];

class CDataCompressor {
public:
    enum eCHARSET {
        CHARSET_1 = 0,
        CHARSET_2 = 1,
        CHARSET_3 = 2,
        CHARSET_4 = 3,
    };
    // Single shifts 0..3, locks 4..7, and "no shift pending".
    enum eCHARSETSHIFT {
        SHIFT_1 = 0,
        SHIFT_2 = 1,
        SHIFT_3 = 2,
        SHIFT_4 = 3,
        LOCK_1 = 4,
        LOCK_2 = 5,
        LOCK_3 = 6,
        LOCK_4 = 7,
        SHIFT_NONE = 8,
    };
    enum {
        NB_SYMBOLES = 40,
        SYMBOLE_CAR = 8,             // first character symbol
        SYMBOLE_ESC_OCTET = 38,      // in table 4: one raw byte follows
        SYMBOLE_ESC_SUITE = 39,      // in table 4: a count and that many raw bytes follow
        VALEUR_PAIRE_MAX = 64000,    // a valid pair holds v < 64000
    };

    CDataCompressor();

    // Unpacks into out (capacity *size bytes). 0: text and zero fit; 2: truncated to
    // *size - 1 bytes and a zero. *size receives the full unpacked length.
    static int s_nDeCompress(char* out, int* size, const char* packed);
    // Unpacks into a malloc'd buffer; null when allocation fails or it did not fit.
    static char* s_pszDeCompress(const char* packed);

    int nDeCompress(unsigned char* out, int* size, const unsigned char* packed);

    // Lookups for a packer.
    static int _nGetCharsetSwitch(eCHARSET table);
    static int _nGetValue(unsigned int byte, eCHARSET table);
    static int _nGetCharset(eCHARSETSHIFT shift);

    // Table n (0..3), null for any other number.
    static const unsigned char* s_pbyGetTable(int table);

private:
    void _Symbole(int symbole);
    void _Sortie(unsigned char octet);
    // Handles an escape met in the pair at m_nPos; returns the next input position.
    long _nEchappement(int symbole);

    const unsigned char* m_pbyEntree;
    long m_nTailleEntree;
    long m_nPos;
    unsigned char* m_pbySortie;
    long m_nCapacite;
    long m_nTailleSortie;
    eCHARSET m_eCourant;
    eCHARSETSHIFT m_eDecalage;
};
