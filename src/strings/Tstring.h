// CTString: the owned 8-bit text string carried by every subsystem.
//
// One pointer to a malloc'd block of exactly length + 1 bytes (no stored length,
// no capacity, no growth factor). Null and "" are both empty; pszGet never
// returns null. Positions are 0-based byte offsets, -1 means "not found".
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cwchar>

#if defined(__GNUC__)
#define TQ_PRINTF_FMT(f, a) __attribute__((format(printf, f, a)))
#else
#define TQ_PRINTF_FMT(f, a)
#endif

class CTString {
public:
    // Construction and assignment
    CTString();
    CTString(std::nullptr_t);
    CTString(const char* psz);
    CTString(const char* psz, long n);
    CTString(const CTString& other);
    CTString(const wchar_t* pwsz);
    ~CTString();

    CTString& operator=(const char* psz);
    CTString& operator=(char* psz);
    CTString& operator=(const CTString& other);
    CTString& operator=(const wchar_t* pwsz);
    CTString& operator=(char ch);
    CTString& operator=(std::nullptr_t);

    // Access
    int bEstVide() const;
    const char* pszGet() const;
    long nTaille() const;
    char cGetChar(long pos) const;
    void SetChar(long pos, char ch);

    // Setters
    void Set(const char* psz);
    void Set(const char* psz, unsigned n);
    void Set(const char* a, const char* b, const char* c);
    void Set(const CTString& other);
    void Set(char ch);
    void SetFromBinary(const void* src, long n);
    void SetI4(int v);
    void SetStandard(const char* psz);
    void SetANSI(const char* psz, unsigned unused = 0);
    void SetBuffer(char* p);
    void Vide();

    // Wide and UTF-8 conversions
    void SetWide(const wchar_t* pwsz, unsigned codepage = 1252);
    void SetUNICODE(const wchar_t* pwsz);
    void SetUTF8(const char* pszUtf8, unsigned codepage = 1252);
    void SetXUTF8(const char* psz, unsigned mapflags = 0);
    int bGetWide(wchar_t* out, int* count) const;

    // Appending and inserting
    void Add(const char* src, long n);
    void Add(const char* src);
    void Add(const CTString& other);
    void Add(char ch);
    void Insert(const char* psz);
    void Insert(char ch);
    void AddPrintf(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);
    CTString operator+(const char* psz) const;

    // Searching
    long nPos(char ch, long start = 0) const;
    long nPos(const char* s, long start = 0) const;
    long nRPos(char ch) const;
    long nRPos(const char* s) const;
    long nUpPos(const char* s, long start = 0) const;
    long nPosParmi(const char* set) const;
    long nNbOcc(const char* s) const;

    // Comparison
    int bEstEgal(const char* s) const;
    int bEstEgalI(const char* s) const;
    int bEstEgalI(const CTString& other) const;
    bool operator==(const CTString& other) const;
    bool operator!=(const CTString& other) const;
    bool operator==(const char* s) const;
    bool operator!=(const char* s) const;
    int bCommencePar(const char* s) const;
    int bTerminePar(const char* s) const;
    int bCommenceParI(const char* s) const;
    int bTermineParI(const char* s) const;

    // Extraction
    CTString clMilieu(long pos, long len) const;
    CTString clMilieu(long pos) const;
    CTString clGauche(long len) const;
    CTString clDroite(long len) const;
    CTString clExclu(const char* set) const;
    CTString clContientUniquement(const char* set) const;
    int bExtraitChainePos(unsigned long k, char sep, const char** start, long* len) const;
    int bExtraitChainePos(long k, const char* sep, const char** start, long* len) const;
    int bExtraitChaine(unsigned long k, char sep, CTString* out) const;
    int bExtraitChaine(long k, const char* sep, CTString* out) const;
    int bExtraitPosTailleChaine(long k, const char* sep, int* pos, long* len) const;
    int bExtraitChaineTok(long k, const char* delims, CTString* out) const;
    int bExtraitEtRemplaceChaine(long k, const char* sep, const char* text);

    const char* pszSetDebutPremier(const char* s, char ch);
    const char* pszSetDebutDernier(const char* s, char ch);
    const char* pszSetFinPremier(const char* s, char ch);
    const char* pszSetFinDernier(const char* s, char ch);
    const char* pszSetDebutPremierExistant(const char* s, char ch);
    const char* pszSetDebutDernierExistant(const char* s, char ch);
    const char* pszSetFinPremierExistant(const char* s, char ch);
    const char* pszSetFinDernierExistant(const char* s, char ch);

    // Modification (nothing happens on an empty string unless stated)
    void Remplace(char from, char to, long start = 0);
    void Remplace(long pos, long len, const char* text);
    void Remplace(const char* from, const char* to, long start = 0);
    void RemplaceI(const char* from, const char* to, long start = 0);
    void Insecable();
    void Tronque(long len);
    void TronqueDebut(long n);
    void Coupe(long pos, long n);
    void Complete(long len, char ch);
    void Renverse();
    void SansEspace();
    void Trim();
    void Trim(char ch);
    void LTrim(char ch);
    void Majuscule();
    void Minuscule();
    void SansAccent();
    void MapStringEx(unsigned flags);

    // Numbers, files and formatting
    int64_t nVal(int base = 10, int start = 0, int len = -1) const;
    void FichierTemporaire(const char* prefix);
    int FormatV(const char* fmt, va_list args);
    int printf(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);
    uint32_t FormatMessageWin(const char* fmt, ...);
    uint32_t FormatMessageA(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);

    // The capacity the format scan predicts for fmt (characters, terminator not
    // included); exposed for tests and callers that size their own buffers.
    static long s_nEstimeFormat(const char* fmt, va_list args);

protected:
    // Resizes the block to exactly n + 1 bytes.
    void _SetBufferSize(long n);

    char* _psz;

private:
    int _bExtraitChaineSep(long k, const char* sep, long lsep, const char** start, long* len) const;
    void _RemplaceTout(const char* from, const char* to, long start, const unsigned char* pUpper);
};

static_assert(sizeof(CTString) == sizeof(void*), "CTString is one pointer");

// A CTString filled from a printf format.
class CTStringFormat : public CTString {
public:
    explicit CTStringFormat(const char* fmt, ...) TQ_PRINTF_FMT(2, 3);
};

// A CTString filled from a message format (numbered printf inserts such as "%1$s").
class CTStringFormatMessage : public CTString {
public:
    explicit CTStringFormatMessage(const char* fmt, ...);
};
