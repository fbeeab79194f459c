// Character tables: case, accents, character classes and collation order of
// the 8-bit alphabets, the local alphabet selection and a few side tables.
#pragma once

#include <cstdint>

// One table set per alphabet; every string function reads its character
// knowledge from one of these. The engine hands in sets of this layout.
struct _stCHARTAB {
    const unsigned char *pbyToUpper;   // 256 bytes
    const unsigned char *pbyToLower;   // 256 bytes
    const unsigned char *pbyToNoAccent;// 256 bytes
    const unsigned char *pbyCharType;  // 256 bytes of CHARTYPE_ bits
    const uint16_t *pwCharOrder;       // 256 collation ranks (low byte used)
    const void *pReserve;              // null in the fixed set
};
static_assert(sizeof(_stCHARTAB) == 6 * sizeof(void *), "six table pointers");

// Character type bits.
enum {
    CHARTYPE_DIGIT = 0x01,
    CHARTYPE_LOWER = 0x02,
    CHARTYPE_ACCENT = 0x04,
    CHARTYPE_SEPARATOR = 0x08, // white space, controls, punctuation, symbols
    CHARTYPE_SPACE = 0x10,
};

// The fixed set (Windows code page 1252).
extern const unsigned char pToUpper_Latin1[256];
extern const unsigned char pToLower_Latin1[256];
extern const unsigned char pToNoAccent_Latin1[256];
extern const unsigned char pbyCharType_Latin1[256];
extern const uint16_t pwCharOrder_Latin1[256];
// Upper case of the unaccented form of every byte.
extern const unsigned char pToNoAccentUpper_Latin1[256];
extern const _stCHARTAB gstCharTab;

// Side tables.
// Length of a UTF-8 sequence by its lead byte >> 2 (0 for continuation bytes).
extern const unsigned char TabUTF8len[64];
// 256-bit sets of the alphanumeric bytes (bit c & 7 of byte c >> 3); same content.
extern const unsigned char gpbyIsChaAlphaNumeric_Latin1[32];
extern const unsigned char pbyIsCharAlphaNumeric[32];
// Bytes that bring an address whose low two bits are i up to a multiple of 4.
extern const int XALIGN_gnTabAlignement[4];

// Supplied by the host to choose the local alphabet per context. Only the
// slot order matters to the host: the second slot answers the charset code,
// the fourth the table set; the first and third are not called here.
class ICtxInfoAlphabet {
public:
    virtual void vReserve1() = 0;
    virtual int nGetCharset() = 0;
    virtual void vReserve3() = 0;
    virtual _stCHARTAB *pstGetCharTab() = 0;
};

// Alphabet selection state (process-wide, unlocked).
extern const _stCHARTAB *gpstCharTabLocal;
extern int gnCurrentChangeCharset;
extern ICtxInfoAlphabet *gpiCtxInfoAlphabet;

void STR_ChangeAlphabet(int nCharset, _stCHARTAB *pstCharTab);
void STR_SetCtxInfoAlphabet(ICtxInfoAlphabet *piProvider);
const _stCHARTAB *STR_pstGetCharTabLocal();
// The charset code 127 is reported as 0.
int STR_nGetCurrentChangeCharset();
int STR_nGetCurrentChangeCharsetInterne();
