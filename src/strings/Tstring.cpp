// CTString core: construction, assignment, appending, searching, comparison,
// extraction and in-place modification.
#include "strings/Tstring.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "charset/xEmulCRT.h"

namespace {

const char gszVide[] = "";

// Heap copy used when a source text lies inside the block about to be resized.
class CCopieTemp {
public:
    CCopieTemp(const char* p, size_t n) : _p(static_cast<char*>(malloc(n + 1))) {
        if (!_p) throw std::bad_alloc();
        memcpy(_p, p, n);
        _p[n] = 0;
    }
    ~CCopieTemp() { free(_p); }
    CCopieTemp(const CCopieTemp&) = delete;
    CCopieTemp& operator=(const CCopieTemp&) = delete;
    const char* p() const { return _p; }

private:
    char* _p;
};

}  // namespace

// ---------------------------------------------------------------------------
// Block management

void CTString::_SetBufferSize(long n) {
    if (n < 0) n = 0;
    void* p = _psz ? realloc(_psz, static_cast<size_t>(n) + 1) : malloc(static_cast<size_t>(n) + 1);
    // Keep the old block on failure: nothing is lost and the string stays valid.
    if (!p) throw std::bad_alloc();
    _psz = static_cast<char*>(p);
}

static bool bDansBloc(const char* block, const char* p) {
    if (!block || !p) return false;
    uintptr_t b = reinterpret_cast<uintptr_t>(block);
    uintptr_t q = reinterpret_cast<uintptr_t>(p);
    return q >= b && q <= b + strlen(block);
}

// ---------------------------------------------------------------------------
// Construction and assignment

CTString::CTString() : _psz(nullptr) {}
CTString::CTString(std::nullptr_t) : _psz(nullptr) {}
CTString::CTString(const char* psz) : _psz(nullptr) { Set(psz); }
CTString::CTString(const char* psz, long n) : _psz(nullptr) {
    Set(psz, n < 0 ? static_cast<unsigned>(-1) : static_cast<unsigned>(n));
}
CTString::CTString(const CTString& other) : _psz(nullptr) { Set(other._psz); }
CTString::CTString(const wchar_t* pwsz) : _psz(nullptr) { SetWide(pwsz, 1252); }
CTString::~CTString() { free(_psz); }

CTString& CTString::operator=(const char* psz) { Set(psz); return *this; }
CTString& CTString::operator=(char* psz) { Set(psz); return *this; }
CTString& CTString::operator=(std::nullptr_t) { Vide(); return *this; }
CTString& CTString::operator=(const CTString& other) {
    if (this != &other) Set(other._psz);
    return *this;
}
CTString& CTString::operator=(const wchar_t* pwsz) { SetWide(pwsz, 1252); return *this; }
CTString& CTString::operator=(char ch) { Set(ch); return *this; }

// ---------------------------------------------------------------------------
// Access

int CTString::bEstVide() const { return !_psz || !*_psz; }
const char* CTString::pszGet() const { return _psz ? _psz : gszVide; }
long CTString::nTaille() const { return _psz ? static_cast<long>(strlen(_psz)) : 0; }

char CTString::cGetChar(long pos) const {
    if (!_psz || pos < 0 || pos >= nTaille()) return 0;
    return _psz[pos];
}

void CTString::SetChar(long pos, char ch) {
    if (!_psz || pos < 0 || pos >= nTaille()) return;
    _psz[pos] = ch;
}

// ---------------------------------------------------------------------------
// Setters

void CTString::Set(const char* psz) {
    if (!psz) { Vide(); return; }
    if (psz == _psz) return;
    if (bDansBloc(_psz, psz)) {
        CCopieTemp tmp(psz, strlen(psz));
        Set(tmp.p());
        return;
    }
    size_t n = strlen(psz);
    if (!_psz || strlen(_psz) != n) _SetBufferSize(static_cast<long>(n));
    memcpy(_psz, psz, n + 1);
}

void CTString::Set(const char* psz, unsigned n) {
    if (!psz) { Vide(); return; }
    size_t l = strnlen(psz, n);
    if (bDansBloc(_psz, psz)) {
        CCopieTemp tmp(psz, l);
        Set(tmp.p(), static_cast<unsigned>(l));
        return;
    }
    _SetBufferSize(static_cast<long>(l));
    memcpy(_psz, psz, l);
    _psz[l] = 0;
}

void CTString::Set(const char* a, const char* b, const char* c) {
    if (!a) a = gszVide;
    if (!b) b = gszVide;
    if (!c) c = gszVide;
    size_t la = strlen(a), lb = strlen(b), lc = strlen(c);
    if (bDansBloc(_psz, a) || bDansBloc(_psz, b) || bDansBloc(_psz, c)) {
        CTString tmp;
        tmp.Set(a, b, c);
        Set(tmp._psz);
        return;
    }
    size_t n = la + lb + lc;
    if (!_psz || strlen(_psz) != n) _SetBufferSize(static_cast<long>(n));
    memcpy(_psz, a, la);
    memcpy(_psz + la, b, lb);
    memcpy(_psz + la + lb, c, lc + 1);
}

void CTString::Set(const CTString& other) {
    if (this != &other) Set(other._psz);
}

void CTString::Set(char ch) {
    if (!ch) { Vide(); return; }
    _SetBufferSize(1);
    _psz[0] = ch;
    _psz[1] = 0;
}

void CTString::SetFromBinary(const void* src, long n) {
    if (!src) { Vide(); return; }
    if (n < 0) n = 0;
    const char* p = static_cast<const char*>(src);
    if (_psz && p >= _psz && p <= _psz + strlen(_psz)) {
        CCopieTemp tmp(p, static_cast<size_t>(n));
        SetFromBinary(tmp.p(), n);
        return;
    }
    _SetBufferSize(n);
    memcpy(_psz, p, static_cast<size_t>(n));
    _psz[n] = 0;
}

void CTString::SetI4(int v) {
    char buf[16];
    itoa(v, buf, 10);
    long n = static_cast<long>(strlen(buf));
    _SetBufferSize(n);
    memcpy(_psz, buf, static_cast<size_t>(n) + 1);
}

void CTString::SetBuffer(char* p) {
    if (p == _psz) return;
    free(_psz);
    _psz = p;
}

void CTString::Vide() {
    free(_psz);
    _psz = nullptr;
}

// ---------------------------------------------------------------------------
// Appending and inserting

void CTString::Add(const char* src, long n) {
    if (!src || n <= 0) return;
    if (src[n - 1] == 0) --n;
    if (n == 0) return;
    if (bEstVide()) { SetFromBinary(src, n); return; }
    size_t len = strlen(_psz);
    if (bDansBloc(_psz, src)) {
        // The block may move: keep the source as an offset into it.
        size_t off = static_cast<size_t>(src - _psz);
        if (off + static_cast<size_t>(n) > len) {
            CCopieTemp tmp(src, static_cast<size_t>(n));
            Add(tmp.p(), n);
            return;
        }
        _SetBufferSize(static_cast<long>(len) + n);
        memmove(_psz + len, _psz + off, static_cast<size_t>(n));
    } else {
        _SetBufferSize(static_cast<long>(len) + n);
        memcpy(_psz + len, src, static_cast<size_t>(n));
    }
    _psz[len + static_cast<size_t>(n)] = 0;
}

void CTString::Add(const char* src) {
    if (!src) return;
    Add(src, static_cast<long>(strlen(src)));
}

void CTString::Add(const CTString& other) {
    if (this == &other) {
        CTString tmp(other);
        Add(tmp._psz);
        return;
    }
    Add(other._psz);
}

void CTString::Add(char ch) {
    if (bEstVide()) { Set(ch); return; }
    if (!ch) return;
    size_t len = strlen(_psz);
    _SetBufferSize(static_cast<long>(len) + 1);
    _psz[len] = ch;
    _psz[len + 1] = 0;
}

void CTString::Insert(const char* psz) {
    if (bEstVide()) { Set(psz); return; }
    if (!psz || !*psz) return;
    if (bDansBloc(_psz, psz)) {
        CCopieTemp tmp(psz, strlen(psz));
        Insert(tmp.p());
        return;
    }
    size_t len = strlen(_psz), l = strlen(psz);
    _SetBufferSize(static_cast<long>(len + l));
    memmove(_psz + l, _psz, len + 1);
    memcpy(_psz, psz, l);
}

void CTString::Insert(char ch) {
    if (bEstVide()) { Set(ch); return; }
    if (!ch) return;
    size_t len = strlen(_psz);
    _SetBufferSize(static_cast<long>(len) + 1);
    memmove(_psz + 1, _psz, len + 1);
    _psz[0] = ch;
}

void CTString::AddPrintf(const char* fmt, ...) {
    CTString tmp;
    va_list args;
    va_start(args, fmt);
    tmp.FormatV(fmt, args);
    va_end(args);
    Add(tmp._psz);
}

CTString CTString::operator+(const char* psz) const {
    CTString r(*this);
    r.Add(psz);
    return r;
}

// ---------------------------------------------------------------------------
// Searching

long CTString::nPos(char ch, long start) const {
    long len = nTaille();
    if (!len || !ch || start < 0 || start > len) return -1;
    const void* p = memchr(_psz + start, ch, static_cast<size_t>(len - start));
    return p ? static_cast<const char*>(p) - _psz : -1;
}

long CTString::nPos(const char* s, long start) const {
    long len = nTaille();
    if (!len || !s || !*s || start < 0 || start > len) return -1;
    const char* p = strstr(_psz + start, s);
    return p ? p - _psz : -1;
}

long CTString::nRPos(char ch) const {
    if (bEstVide() || !ch) return -1;
    const char* p = strrchr(_psz, ch);
    return p ? p - _psz : -1;
}

long CTString::nRPos(const char* s) const {
    if (bEstVide() || !s || !*s) return -1;
    long last = -1;
    for (const char* p = strstr(_psz, s); p; p = strstr(p + 1, s)) last = p - _psz;
    return last;
}

long CTString::nUpPos(const char* s, long start) const {
    long len = nTaille();
    if (!len || !s || !*s || start < 0) return -1;
    long ls = static_cast<long>(strlen(s));
    for (long i = start; i <= len - ls; ++i) {
        long j = 0;
        while (j < ls && toupper(static_cast<unsigned char>(_psz[i + j])) ==
                             toupper(static_cast<unsigned char>(s[j])))
            ++j;
        if (j == ls) return i;
    }
    return -1;
}

long CTString::nPosParmi(const char* set) const {
    if (bEstVide() || !set) return -1;
    const char* p = strpbrk(_psz, set);
    return p ? p - _psz : -1;
}

long CTString::nNbOcc(const char* s) const {
    if (bEstVide() || !s || !*s) return 0;
    size_t ls = strlen(s);
    long n = 0;
    for (const char* p = strstr(_psz, s); p; p = strstr(p + ls, s)) ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Comparison

int CTString::bEstEgal(const char* s) const {
    if (!s) s = gszVide;
    if (bEstVide()) return *s == 0;
    return strcmp(_psz, s) == 0;
}

bool CTString::operator==(const CTString& other) const { return strcmp(pszGet(), other.pszGet()) == 0; }
bool CTString::operator!=(const CTString& other) const { return !(*this == other); }
bool CTString::operator==(const char* s) const { return strcmp(pszGet(), s ? s : gszVide) == 0; }
bool CTString::operator!=(const char* s) const { return !(*this == s); }

int CTString::bCommencePar(const char* s) const {
    if (!s) return 0;
    size_t l = strlen(s);
    return static_cast<size_t>(nTaille()) >= l && memcmp(pszGet(), s, l) == 0;
}

int CTString::bTerminePar(const char* s) const {
    if (!s) return 0;
    size_t l = strlen(s), len = static_cast<size_t>(nTaille());
    return len >= l && memcmp(pszGet() + len - l, s, l) == 0;
}

// ---------------------------------------------------------------------------
// Extraction

CTString CTString::clMilieu(long pos, long len) const {
    CTString r;
    long t = nTaille();
    if (!t || pos < 0 || pos > t) return r;
    if (len < 0 || len > t - pos) len = t - pos;
    r.Set(_psz + pos, static_cast<unsigned>(len));
    return r;
}

CTString CTString::clMilieu(long pos) const { return clMilieu(pos, -1); }
CTString CTString::clGauche(long len) const { return clMilieu(0, len < 0 ? 0 : len); }

CTString CTString::clDroite(long len) const {
    CTString r;
    long t = nTaille();
    if (len <= 0 || !t) return r;
    if (len > t) len = t;
    r.Set(_psz + t - len);
    return r;
}

CTString CTString::clExclu(const char* set) const {
    CTString r;
    if (bEstVide()) return r;
    r.Set(_psz, static_cast<unsigned>(set ? strcspn(_psz, set) : strlen(_psz)));
    return r;
}

CTString CTString::clContientUniquement(const char* set) const {
    CTString r;
    if (bEstVide() || !set) return r;
    r.Set(_psz, static_cast<unsigned>(strspn(_psz, set)));
    return r;
}

// Field k of the text split at sep (lsep bytes). An empty separator splits nothing.
int CTString::_bExtraitChaineSep(long k, const char* sep, long lsep, const char** start,
                                 long* len) const {
    if (!_psz || k < 0) return 0;
    const char* p = _psz;
    const char* end = _psz + strlen(_psz);
    auto chercher = [&](const char* from) -> const char* {
        if (lsep <= 0) return nullptr;
        if (lsep == 1) return static_cast<const char*>(memchr(from, *sep, static_cast<size_t>(end - from)));
        return strstr(from, sep);
    };
    for (long i = 0; i < k; ++i) {
        const char* q = chercher(p);
        if (!q) return 0;
        p = q + lsep;
    }
    const char* q = chercher(p);
    if (start) *start = p;
    if (len) *len = (q ? q : end) - p;
    return 1;
}

int CTString::bExtraitChainePos(unsigned long k, char sep, const char** start, long* len) const {
    if (bEstVide() || k > static_cast<unsigned long>(LONG_MAX)) return 0;
    char s[2] = {sep, 0};
    return _bExtraitChaineSep(static_cast<long>(k), s, sep ? 1 : 0, start, len);
}

int CTString::bExtraitChainePos(long k, const char* sep, const char** start, long* len) const {
    if (!_psz || !sep) return 0;
    return _bExtraitChaineSep(k, sep, static_cast<long>(strlen(sep)), start, len);
}

int CTString::bExtraitChaine(unsigned long k, char sep, CTString* out) const {
    const char* start;
    long len;
    if (!bExtraitChainePos(k, sep, &start, &len)) return 0;
    if (out) out->Set(start, static_cast<unsigned>(len));
    return 1;
}

int CTString::bExtraitChaine(long k, const char* sep, CTString* out) const {
    const char* start;
    long len;
    if (!bExtraitChainePos(k, sep, &start, &len)) return 0;
    if (out) out->Set(start, static_cast<unsigned>(len));
    return 1;
}

int CTString::bExtraitPosTailleChaine(long k, const char* sep, int* pos, long* len) const {
    const char* start;
    long l;
    if (!bExtraitChainePos(k, sep, &start, &l)) return 0;
    if (pos) *pos = static_cast<int>(start - _psz);
    if (len) *len = l;
    return 1;
}

int CTString::bExtraitChaineTok(long k, const char* delims, CTString* out) const {
    if (k < 0) {
        if (out) out->Vide();
        return 1;
    }
    if (!_psz || !delims) return 0;
    CCopieTemp copie(_psz, strlen(_psz));
    char* work = const_cast<char*>(copie.p());
    char* save = nullptr;
    long i = 0;
    for (char* tok = strtok_r(work, delims, &save); tok; tok = strtok_r(nullptr, delims, &save), ++i) {
        if (i == k) {
            if (out) out->Set(tok);
            return 1;
        }
    }
    return 0;
}

int CTString::bExtraitEtRemplaceChaine(long k, const char* sep, const char* text) {
    const char* start;
    long len;
    if (!bExtraitChainePos(k, sep, &start, &len)) return 0;
    long pos = start - _psz;
    if (pos < nTaille())
        Remplace(pos, len, text);
    else
        Add(text);
    return 1;
}

// The eight "set from s around ch" helpers. A NUL ch is never found.
static const char* pszCherche(const char* s, char ch, bool bDernier) {
    if (!s || !ch) return nullptr;
    return bDernier ? strrchr(s, ch) : strchr(s, ch);
}

const char* CTString::pszSetDebutPremier(const char* s, char ch) {
    const char* p = pszCherche(s, ch, false);
    if (!p) { Set(s); return nullptr; }
    Set(s, static_cast<unsigned>(p - s));
    return p + 1;
}

const char* CTString::pszSetDebutDernier(const char* s, char ch) {
    const char* p = pszCherche(s, ch, true);
    if (!p) { Set(s); return nullptr; }
    Set(s, static_cast<unsigned>(p - s));
    return p + 1;
}

const char* CTString::pszSetFinPremier(const char* s, char ch) {
    const char* p = pszCherche(s, ch, false);
    if (!p) { Set(s); return nullptr; }
    Set(p + 1);
    return p + 1;
}

const char* CTString::pszSetFinDernier(const char* s, char ch) {
    const char* p = pszCherche(s, ch, true);
    if (!p) { Set(s); return nullptr; }
    Set(p + 1);
    return p + 1;
}

const char* CTString::pszSetDebutPremierExistant(const char* s, char ch) {
    if (!pszCherche(s, ch, false)) { Vide(); return s; }
    return pszSetDebutPremier(s, ch);
}

const char* CTString::pszSetDebutDernierExistant(const char* s, char ch) {
    if (!pszCherche(s, ch, true)) { Vide(); return s; }
    return pszSetDebutDernier(s, ch);
}

const char* CTString::pszSetFinPremierExistant(const char* s, char ch) {
    if (!pszCherche(s, ch, false)) { Vide(); return s; }
    return pszSetFinPremier(s, ch);
}

const char* CTString::pszSetFinDernierExistant(const char* s, char ch) {
    if (!pszCherche(s, ch, true)) { Vide(); return s; }
    return pszSetFinDernier(s, ch);
}

// ---------------------------------------------------------------------------
// Modification

void CTString::Remplace(char from, char to, long start) {
    long len = nTaille();
    if (!len || !from || start > len) return;
    if (start < 0) start = 0;
    for (long i = start; i < len; ++i)
        if (_psz[i] == from) _psz[i] = to;
}

void CTString::Remplace(long pos, long len, const char* text) {
    long t = nTaille();
    if (!t || pos < 0 || pos > t) return;
    if (len < 0) len = 0;
    if (len > t - pos) len = t - pos;
    if (!text) text = gszVide;
    long lt = static_cast<long>(strlen(text));
    long n = t - len + lt;
    CTString tmp;
    tmp._SetBufferSize(n);
    memcpy(tmp._psz, _psz, static_cast<size_t>(pos));
    memcpy(tmp._psz + pos, text, static_cast<size_t>(lt));
    memcpy(tmp._psz + pos + lt, _psz + pos + len, static_cast<size_t>(t - pos - len) + 1);
    _SetBufferSize(n);
    memcpy(_psz, tmp._psz, static_cast<size_t>(n) + 1);
}

// Whether from matches at p, compared through the upper-case table when given.
static bool bCorrespond(const char* p, const char* from, size_t lf,
                        const unsigned char* pUpper) {
    if (!pUpper) return memcmp(p, from, lf) == 0;
    for (size_t i = 0; i < lf; ++i)
        if (pUpper[static_cast<unsigned char>(p[i])] != pUpper[static_cast<unsigned char>(from[i])])
            return false;
    return true;
}

void CTString::_RemplaceTout(const char* from, const char* to, long start,
                             const unsigned char* pUpper) {
    long t = nTaille();
    if (!t || !from || !*from || start < 0 || start > t) return;
    if (!to) to = gszVide;
    size_t lf = strlen(from), lto = strlen(to);
    // Count the non-overlapping occurrences first.
    long k = 0;
    for (long i = start; i + static_cast<long>(lf) <= t;) {
        if (bCorrespond(_psz + i, from, lf, pUpper)) { ++k; i += static_cast<long>(lf); }
        else ++i;
    }
    if (!k) return;
    long n = t + k * (static_cast<long>(lto) - static_cast<long>(lf));
    char pile[1025];
    char* work = pile;
    char* tas = nullptr;
    if (n > 1024) {
        tas = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
        if (!tas) throw std::bad_alloc();
        work = tas;
    }
    memcpy(work, _psz, static_cast<size_t>(start));
    long o = start;
    long i = start;
    while (i < t) {
        if (i + static_cast<long>(lf) <= t && bCorrespond(_psz + i, from, lf, pUpper)) {
            memcpy(work + o, to, lto);
            o += static_cast<long>(lto);
            i += static_cast<long>(lf);
        } else {
            work[o++] = _psz[i++];
        }
    }
    work[o] = 0;
    _SetBufferSize(n);
    memcpy(_psz, work, static_cast<size_t>(n) + 1);
    free(tas);
}

void CTString::Remplace(const char* from, const char* to, long start) {
    _RemplaceTout(from, to, start, nullptr);
}

void CTString::Insecable() { Remplace(' ', '\xA0', 0); }

void CTString::Tronque(long len) {
    if (!_psz || len < 0 || len > nTaille()) return;
    _psz[len] = 0;
}

void CTString::TronqueDebut(long n) {
    long t = nTaille();
    if (!t || n <= 0) return;
    if (n > t) n = t;
    memmove(_psz, _psz + n, static_cast<size_t>(t - n) + 1);
}

void CTString::Coupe(long pos, long n) {
    long t = nTaille();
    if (!t || pos < 0 || pos > t || n <= 0) return;
    if (n >= t - pos) { Tronque(pos); return; }
    memmove(_psz + pos, _psz + pos + n, static_cast<size_t>(t - pos - n) + 1);
}

void CTString::Complete(long len, char ch) {
    long t = nTaille();
    if (!t || len < 0) return;
    _SetBufferSize(len);
    for (long i = t; i < len; ++i) _psz[i] = ch;
    _psz[len] = 0;
}

void CTString::Renverse() {
    long t = nTaille();
    for (long i = 0, j = t - 1; i < j; ++i, --j) {
        char c = _psz[i];
        _psz[i] = _psz[j];
        _psz[j] = c;
    }
}

void CTString::SansEspace() {
    long t = nTaille();
    while (t > 0 && _psz[t - 1] == ' ') --t;
    if (_psz) _psz[t] = 0;
}

// ---------------------------------------------------------------------------
// Numbers

int64_t CTString::nVal(int base, int start, int len) const {
    CTString part = clMilieu(start, len);
    uint64_t v = 0;
    for (const char* p = part.pszGet(); *p; ++p) {
        int d;
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
        else break;
        if (d >= base) break;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    return static_cast<int64_t>(v);
}
