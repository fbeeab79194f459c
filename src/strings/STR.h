// The STR_ family: free functions over NUL-terminated 8-bit text (and, for the
// names ending in W, 4-byte wide text): mapping, comparisons, bounded copies,
// trimming, heap copies and code page conversions. Character knowledge comes
// from the tables of strings/CharTab.h.
#pragma once

#include <cstddef>
#include <cwchar>

#include "strings/CharTab.h"

// Map flags (low three bits combine; bit 28 selects the local alphabet).
enum {
    STR_MAP_CASE = 0x1,      // upper case (lower case when the upper argument is 0)
    STR_MAP_NOACCENT = 0x2,  // unaccented form
    STR_MAP_DROPSEP = 0x4,   // drop separators (white space, controls, punctuation)
    STR_MAP_STANDARD = 0x3,  // upper case without accents
    STR_MAP_LOCAL = 0x10000000,
    STR_CMP_LEXICO = 0x20000000, // numeric-aware compare: characters by collation rank
};

// Language comparison options of STR_ChaineCompare / STR_PrepareChaine.
enum {
    QS_CMP_TRIM = 0x01,
    QS_CMP_NOPUNCT = 0x02,
    QS_CMP_NOACCENT = 0x04,
    QS_CMP_LEXICO = 0x08,
    QS_CMP_NOCASE = 0x10,
    QS_CMP_NOCASE2 = 0x20,
    QS_CMP_NOCASE_LOWER = 0x40,
    QS_CMP_NUMERIC = 0x80,
};

enum eELLIPSISPOSITION : int {
    eELLIPSIS_FIN = 0,
    eELLIPSIS_MILIEU = 1,
    eELLIPSIS_DEBUT = 2,
};

// ---- Mapping -------------------------------------------------------------
int STR_nMapStringEx(unsigned int nFlags, char *pszDst, int nSize, const char *pszSrc, int nLen, int bUpper);
int STR_nGetMapStringLenEx(unsigned int nFlags, const char *pszSrc, int nLen);
int STR_nCreateMapString(unsigned int nFlags, char **ppszOut, const char *pszSrc);
char *STR_pszCreateStandard(const char *pszSrc);
int STR_nMapCharEx(unsigned int nFlags, char *pcOut, char c, int bUpper);
int STR_nMapCharIgnoreCaseAccent(char *pcOut, char c);
int STR_nTransforme(unsigned int nFlags, char *pszDst, int nSize, const char *pszSrc, int nLen);
// Returns the number of ranks written from src (the rest of dst is zero-filled).
int STR_MapStringSortEx(char *pDst, int nSize, const char *pszSrc, int nLen, int bLocal);
char *STR_ToUpper(char *psz);
char *STR_ToLower(char *psz);
int STR_PrepareChaine(char *pDst, const char *pSrc, int nCount, int nOptions);
int STR_PrepareChaineW(wchar_t *pDst, const wchar_t *pSrc, int nCount, int nOptions);
unsigned int OptionQS2FlagSTR(int nOptions);

// ---- Comparison ------------------------------------------------------------
// 1: a smaller, 2: equal, 3: a greater. Lengths of -1 mean up to the NUL.
int STR_CompareStringEx(unsigned int nMode, const char *pszA, int nLenA, const char *pszB, int nLenB);
// -1, 0, 1.
int STR_nCompare(const char *pszA, const char *pszB, unsigned int nFlags);
int STR_nUpCompare(const char *pszA, const char *pszB, unsigned int nFlags);
int STR_nAcCompare(const char *pszA, const char *pszB, unsigned int nFlags);
int STR_nNCompare(const char *pszA, const char *pszB, int n, unsigned int nFlags);
int STR_nNullCompare(const char *pszA, const char *pszB, unsigned int nFlags);
int STR_nNullNCompare(const char *pszA, const char *pszB, int n, unsigned int nFlags);
int STR_nEmptyNullCompare(const char *pszA, const char *pszB, unsigned int nFlags);
int STR_bDebut(const char *pszPrefix, const char *psz);
int STR_nCmpLogiqueAnsiFast(const char *pszA, const char *pszB);
int STR_nCompareCharLexico(char a, char b, unsigned int nFlags);
int STR_nCompareCharSouple(char a, char b);
int STR_nCompareRespecteNumerique(const char *pA, int nLenA, const char *pB, int nLenB, unsigned int nFlags);
int STR_ChaineCompare(const char *pA, int nLenA, const char *pB, int nLenB, int nOptions);
int STR_ChaineCompareW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, int nOptions);
int STR_nCompareStringLexicoW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, unsigned int nFlags);
int STR_nCompareRespecteNumeriqueW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, unsigned int nFlags);
int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned int nFlags);
int STR_nCompareCharSoupleW(wchar_t a, wchar_t b);

// ---- Classification --------------------------------------------------------
int STR_bWhiteCharOrPunct(char c);
int STR_bWhiteCharOrPunctW(wchar_t c);
int STR_bContainSpace(const char *psz);
int STR_bNeContientRienDeLisible(const char *psz);
int bEstUnChiffre(char c);
int nGetChiffre(char c);
int bEstUnNombreEntierNaturel(const char *psz);
int bExtendedASCII(char c);
int bMajuscule(char c);
int bMinuscule(char c);
int bUnprintable(char c);
int bPonctuation(char c);
int bEstDuTexteRTF(const char *psz);

// ---- Search ----------------------------------------------------------------
char *STR_pszUpStrstr(const char *psz, const char *pszSub);
char *STR_StrIStr(const char *psz, const char *pszSub);
char *STR_strnistrA(const char *psz, const char *pszSub, int n);
char *STR_strnstrA(const char *psz, const char *pszSub, int n);
char *STRRSTR(const char *pData, int nLen, const char *pszSub);
char *STRRSTRA(const char *pData, int nLen, const char *pszSub);
char *STRRPBRK(const char *psz, const char *pszSet);
int STR_nNbOccurrence(const char *psz, char c);
int STR_nLen(const char *psz, int n);
int STR_nLenW(const wchar_t *psz, int n);

// ---- Copy, concatenation, padding ---------------------------------------------
// Sizes are buffer sizes in characters, terminator included.
int STR_nCopy(char *pszDst, int nSize, const char *pszSrc, int n);
int STR_nCat(char *pszDst, int nSize, const char *pszSrc, int n);
int STR_nCut(char *pszDst, int nSize, const char *pszSrc);
int STR_nCatCut(char *pszDst, int nSize, const char *pszSrc);
int STR_nCopyW(wchar_t *pszDst, int nSize, const wchar_t *pszSrc, int n);
int STR_nCatW(wchar_t *pszDst, int nSize, const wchar_t *pszSrc, int n);
int STR_Complete(char *psz, int nSize, char c);
// Returns dst, or src when max <= 2 (dst untouched then).
const char *STR_Ellipsis(char *pszDst, const char *pszSrc, int nMax, eELLIPSISPOSITION ePosition);

// ---- Trimming (in place; null accepted) --------------------------------------
char *STR_SuppressLeftSpaces(char *psz);
char *STR_SuppressRightSpaces(char *psz);
char *STR_SuppressSideSpaces(char *psz);
char *STR_SuppressLeftSpacesA(char *psz);
char *STR_SuppressRightSpacesA(char *psz);
wchar_t *STR_SuppressRightSpacesW(wchar_t *psz);
char *STR_SuppressAllSpaces(char *psz);
char *STR_SuppressLeftCar(char *psz, char c);
char *STR_SuppressRightCar(char *psz, char c);
char *STR_SuppressSideCar(char *psz, char c);

// ---- Creation, deletion --------------------------------------------------------
char *STR_pszCreate(unsigned int nLen);
char *STR_pszCreateA(unsigned long nLen);
wchar_t *STR_pszCreateW(unsigned long nLen);
char *STR_pszCreate(const char *psz);
char *STR_pszCreateA(const char *psz);
wchar_t *STR_pszCreateW(const wchar_t *psz);
char *STR_pszCreate(unsigned int nLen, const char *psz);
wchar_t *STR_pszCreateW(unsigned int nLen, const wchar_t *psz);
char *STR_pszCreate(const char *pszA, const char *pszB);
wchar_t *STR_pszCreateW(const wchar_t *pszA, const wchar_t *pszB);
char *STR_pszConcat(const char *pszA, const char *pszB, const char *pszC);
char *STR_pszConcatPoint(const char *pszA, const char *pszB);
int STR_bRedefine(char **ppsz, const char *psz);
int STR_bResize(char **ppsz, long nSize);
void STR_Delete(void *p);
void STR_DeleteA(void *p);
void STR_DeleteW(void *p);
wchar_t *STR_RemplaceW(const wchar_t *psz, const wchar_t *pszFrom, const wchar_t *pszTo);

// ---- Code page conversions -----------------------------------------------------
char *STR_pszCreateToXUTF8(const char *psz);
char *STR_pszCreateFromXUTF8(const char *psz);
int __STR_WCharToChar(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen, unsigned int nCodePage);
int STR_WCharToChar_AnyCodepage(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen, unsigned int nCodePage);
int __STR_CharToWChar(const char *psz, int n, unsigned int nCodePage, wchar_t **ppwszOut, int *pnOutLen,
                      unsigned int nFlags);
int STR_CharToWChar_AnyCodepage(const char *psz, int n, unsigned int nCodePage, wchar_t **ppwszOut, int *pnOutLen,
                                unsigned int nFlags);
int STR_CharToWChar(wchar_t **ppwszOut, const char *psz);
wchar_t STR_CharToWChar(char c, unsigned int nFlags, unsigned int nCodePage);
int STR_CharToWChar_CurrentCharset(const char *psz, int n, wchar_t **ppwszOut, int *pnOutLen, unsigned int nFlags);
int STR_WCharToChar_CurrentCharset(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen);
int STR_CharToChar_AnyCodepage(const char *psz, int n, unsigned int nCodePageFrom, char **ppszOut, int *pnOutLen,
                               unsigned int nCodePageTo);
