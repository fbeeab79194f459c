// The two message formatters: FormatMessageA (printf-style) and FormatMessageWin
// (Windows inserts %1 .. %99 with optional !fmt!, %n, %0).
#include "platform/WinApi.h"
#include "platform/WinApiInternal.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// ---------------------------------------------------------------------------
// Shared delivery
// ---------------------------------------------------------------------------

// Hands the text over: a malloc'd block of at least nSize bytes stored through the buffer
// (allocate flag), or a copy cut to nSize - 1 characters. Answers the length delivered.
DWORD Deliver(DWORD dwFlags, const std::string &clText, LPSTR pszBuffer, DWORD nSize)
{
    if (pszBuffer == nullptr)
        return 0;
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        size_t nBlock = clText.size() + 1 > nSize ? clText.size() + 1 : nSize;
        char *pszBlock = static_cast<char *>(malloc(nBlock));
        if (pszBlock == nullptr)
            return 0;
        memcpy(pszBlock, clText.c_str(), clText.size() + 1);
        *reinterpret_cast<char **>(pszBuffer) = pszBlock;
        return static_cast<DWORD>(clText.size());
    }
    return tqwinapi::CopyCut(pszBuffer, nSize, clText.data(), clText.size());
}

const char *SourceText(DWORD dwFlags, const void *pSource)
{
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0)
        return strerror(errno);
    return static_cast<const char *>(pSource);
}

// ---------------------------------------------------------------------------
// Insert conversions of FormatMessageWin
// ---------------------------------------------------------------------------

// What an insert's argument is, by its conversion.
enum eKIND {
    eKIND_NONE,  // not referred to: skipped as one pointer-sized argument
    eKIND_INT,
    eKIND_LONG,
    eKIND_LLONG,
    eKIND_SIZE,
    eKIND_PTRDIFF,
    eKIND_INTMAX,
    eKIND_PTR,
    eKIND_STR,
    eKIND_WSTR,
    eKIND_WCHAR,
};

// A checked printf conversion: only what can be printed safely from one argument.
struct CSpec {
    bool bValid = false;
    eKIND nKind = eKIND_NONE;
    std::string clFlags;   // flags, width and precision as written
    std::string clLength;  // "", "h" or "hh" (eKIND_INT) or "l" (eKIND_LONG)
    char cConversion = 's';
};

// Width and precision beyond this would only serve to exhaust memory.
const int knMaxField = 9999;

CSpec ParseSpec(const std::string &clSpec)
{
    CSpec stSpec;
    size_t i = 0;
    size_t n = clSpec.size();
    while (i < n && strchr("-+ #0", clSpec[i]) != nullptr)
        i++;
    for (int nPart = 0; nPart < 2; nPart++) {
        long nValue = 0;
        while (i < n && clSpec[i] >= '0' && clSpec[i] <= '9') {
            nValue = nValue * 10 + (clSpec[i] - '0');
            if (nValue > knMaxField)
                return stSpec;
            i++;
        }
        if (nPart == 0 && i < n && clSpec[i] == '.')
            i++;
        else
            break;
    }
    stSpec.clFlags = clSpec.substr(0, i);
    std::string clLength;
    while (i < n && strchr("hlLqjztwI", clSpec[i]) != nullptr) {
        if (clSpec[i] == 'I') {
            if (clSpec.compare(i, 3, "I64") == 0 || clSpec.compare(i, 3, "I32") == 0) {
                clLength += clSpec.substr(i, 3);
                i += 3;
                continue;
            }
            return stSpec;
        }
        clLength += clSpec[i++];
    }
    if (i + 1 != n)
        return stSpec;
    char c = clSpec[i];
    stSpec.cConversion = c;
    bool bWide = clLength == "l" || clLength == "w";
    if (c == 's' || c == 'S') {
        if (c == 'S' || bWide)
            stSpec.nKind = eKIND_WSTR;
        else if (clLength.empty() || clLength == "h")
            stSpec.nKind = eKIND_STR;
        else
            return stSpec;
        stSpec.cConversion = 's';
    } else if (c == 'c' || c == 'C') {
        if (c == 'C' || bWide)
            stSpec.nKind = eKIND_WCHAR;
        else if (clLength.empty() || clLength == "h")
            stSpec.nKind = eKIND_INT;
        else
            return stSpec;
        stSpec.cConversion = 'c';
    } else if (c == 'p') {
        if (!clLength.empty())
            return stSpec;
        stSpec.nKind = eKIND_PTR;
    } else if (strchr("diouxX", c) != nullptr) {
        if (clLength.empty() || clLength == "h" || clLength == "hh" || clLength == "I32") {
            stSpec.nKind = eKIND_INT;
            stSpec.clLength = clLength == "I32" ? "" : clLength;
        } else if (clLength == "l") {
            stSpec.nKind = eKIND_LONG;
            stSpec.clLength = "l";
        } else if (clLength == "ll" || clLength == "q" || clLength == "L" || clLength == "I64") {
            stSpec.nKind = eKIND_LLONG;
        } else if (clLength == "z") {
            stSpec.nKind = eKIND_SIZE;
        } else if (clLength == "t") {
            stSpec.nKind = eKIND_PTRDIFF;
        } else if (clLength == "j") {
            stSpec.nKind = eKIND_INTMAX;
        } else {
            return stSpec;
        }
    } else {
        // Floating conversions are not supported by inserts; anything else is no conversion.
        return stSpec;
    }
    stSpec.bValid = true;
    return stSpec;
}

// One argument, kept in the widest form of its kind.
struct CArgument {
    long long nSigned = 0;
    unsigned long long nUnsigned = 0;
    const void *pPointer = nullptr;
};

// Reads argument n (1-based) in the kind its first insert gives it.
class CArguments {
public:
    CArguments(DWORD dwFlags, va_list *pArguments) : m_pArguments(pArguments)
    {
        m_bArray = (dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0;
    }

    bool bPresent() const { return m_pArguments != nullptr; }

    // A variable argument list is read once, in order, with the kinds noted beforehand.
    void Note(int n, eKIND nKind)
    {
        if (m_nKinds[n] == eKIND_NONE)
            m_nKinds[n] = nKind;
        if (n > m_nMax)
            m_nMax = n;
    }

    void Load()
    {
        if (m_pArguments == nullptr)
            return;
        if (m_bArray) {
            const uintptr_t *pSlots = reinterpret_cast<const uintptr_t *>(m_pArguments);
            for (int n = 1; n <= m_nMax; n++)
                FromSlot(n, pSlots[n - 1]);
            return;
        }
        va_list ap;
        va_copy(ap, *m_pArguments);
        for (int n = 1; n <= m_nMax; n++)
            FromList(n, ap);
        va_end(ap);
    }

    const CArgument &Get(int n) const { return m_stValues[n]; }

private:
    void FromSlot(int n, uintptr_t nSlot)
    {
        CArgument &st = m_stValues[n];
        switch (m_nKinds[n]) {
        case eKIND_INT:
        case eKIND_WCHAR:
            st.nSigned = static_cast<int>(nSlot);
            st.nUnsigned = static_cast<unsigned int>(nSlot);
            break;
        default:
            st.nSigned = static_cast<intptr_t>(nSlot);
            st.nUnsigned = nSlot;
            break;
        }
        st.pPointer = reinterpret_cast<const void *>(nSlot);
    }

    void FromList(int n, va_list &ap)
    {
        CArgument &st = m_stValues[n];
        switch (m_nKinds[n]) {
        case eKIND_INT: {
            int v = va_arg(ap, int);
            st.nSigned = v;
            st.nUnsigned = static_cast<unsigned int>(v);
            break;
        }
        case eKIND_WCHAR: {
            wint_t v = va_arg(ap, wint_t);
            st.nSigned = static_cast<long long>(v);
            st.nUnsigned = static_cast<unsigned long long>(v);
            break;
        }
        case eKIND_LONG: {
            long v = va_arg(ap, long);
            st.nSigned = v;
            st.nUnsigned = static_cast<unsigned long>(v);
            break;
        }
        case eKIND_LLONG: {
            long long v = va_arg(ap, long long);
            st.nSigned = v;
            st.nUnsigned = static_cast<unsigned long long>(v);
            break;
        }
        case eKIND_SIZE: {
            size_t v = va_arg(ap, size_t);
            st.nSigned = static_cast<long long>(static_cast<ptrdiff_t>(v));
            st.nUnsigned = v;
            break;
        }
        case eKIND_PTRDIFF: {
            ptrdiff_t v = va_arg(ap, ptrdiff_t);
            st.nSigned = v;
            st.nUnsigned = static_cast<size_t>(v);
            break;
        }
        case eKIND_INTMAX: {
            intmax_t v = va_arg(ap, intmax_t);
            st.nSigned = v;
            st.nUnsigned = static_cast<uintmax_t>(v);
            break;
        }
        default:
            st.pPointer = va_arg(ap, const void *);
            break;
        }
    }

    va_list *m_pArguments;
    bool m_bArray = false;
    int m_nMax = 0;
    eKIND m_nKinds[100] = {};
    CArgument m_stValues[100];
};

// Wide text in the multibyte encoding of the current locale; unconvertible characters become '?'.
std::string WideToMultiByte(const wchar_t *pszWide)
{
    std::string clOut;
    mbstate_t stState;
    memset(&stState, 0, sizeof stState);
    char szChar[MB_LEN_MAX];
    for (; *pszWide != L'\0'; pszWide++) {
        size_t nLen = wcrtomb(szChar, *pszWide, &stState);
        if (nLen == static_cast<size_t>(-1)) {
            clOut += '?';
            memset(&stState, 0, sizeof stState);
        } else {
            clOut.append(szChar, nLen);
        }
    }
    return clOut;
}

template <typename T>
void AppendFormatted(std::string &clOut, const std::string &clFormat, T value)
{
    char szSmall[100];
    int nLen = snprintf(szSmall, sizeof szSmall, clFormat.c_str(), value);
    if (nLen < 0)
        return;
    if (static_cast<size_t>(nLen) < sizeof szSmall) {
        clOut.append(szSmall, static_cast<size_t>(nLen));
        return;
    }
    std::string clLarge(static_cast<size_t>(nLen) + 1, '\0');
    snprintf(&clLarge[0], clLarge.size(), clFormat.c_str(), value);
    clOut.append(clLarge.data(), static_cast<size_t>(nLen));
}

void AppendInsert(std::string &clOut, const CSpec &stSpec, const CArgument &stArg)
{
    std::string clFormat = "%" + stSpec.clFlags;
    bool bUnsigned = strchr("ouxX", stSpec.cConversion) != nullptr;
    switch (stSpec.nKind) {
    case eKIND_STR: {
        const char *psz = static_cast<const char *>(stArg.pPointer);
        AppendFormatted(clOut, clFormat + "s", psz != nullptr ? psz : "(null)");
        break;
    }
    case eKIND_WSTR: {
        const wchar_t *psz = static_cast<const wchar_t *>(stArg.pPointer);
        std::string clText = psz != nullptr ? WideToMultiByte(psz) : std::string("(null)");
        AppendFormatted(clOut, clFormat + "s", clText.c_str());
        break;
    }
    case eKIND_WCHAR: {
        wchar_t szWide[2] = {static_cast<wchar_t>(stArg.nUnsigned), L'\0'};
        std::string clText = WideToMultiByte(szWide);
        AppendFormatted(clOut, clFormat + "s", clText.c_str());
        break;
    }
    case eKIND_PTR:
        AppendFormatted(clOut, clFormat + "p", stArg.pPointer);
        break;
    case eKIND_INT:
        clFormat += stSpec.clLength + stSpec.cConversion;
        if (bUnsigned)
            AppendFormatted(clOut, clFormat, static_cast<unsigned int>(stArg.nUnsigned));
        else
            AppendFormatted(clOut, clFormat, static_cast<int>(stArg.nSigned));
        break;
    case eKIND_LONG:
        clFormat += std::string("l") + stSpec.cConversion;
        if (bUnsigned)
            AppendFormatted(clOut, clFormat, static_cast<unsigned long>(stArg.nUnsigned));
        else
            AppendFormatted(clOut, clFormat, static_cast<long>(stArg.nSigned));
        break;
    default:
        clFormat += std::string("ll") + stSpec.cConversion;
        if (bUnsigned)
            AppendFormatted(clOut, clFormat, stArg.nUnsigned);
        else
            AppendFormatted(clOut, clFormat, stArg.nSigned);
        break;
    }
}

// One piece of the parsed source: literal text or an insert.
struct CInsert {
    int n;                // 1 to 99
    bool bHasSpec;        // written with !fmt!
    std::string clWritten;  // the insert as it stands in the source
    CSpec stSpec;
};

// Reads "%<digits>[!fmt!]" at p (p on the first digit); advances p past it.
CInsert ReadInsert(const char *&p)
{
    CInsert stInsert;
    const char *pStart = p - 1;
    stInsert.n = *p++ - '0';
    if (*p >= '0' && *p <= '9')
        stInsert.n = stInsert.n * 10 + (*p++ - '0');
    stInsert.bHasSpec = *p == '!';
    std::string clSpec = "s";
    if (stInsert.bHasSpec) {
        const char *pClose = strchr(p + 1, '!');
        // Without its closing '!' the rest of the text is the conversion.
        const char *pEnd = pClose != nullptr ? pClose : p + strlen(p);
        clSpec.assign(p + 1, pEnd);
        p = pClose != nullptr ? pClose + 1 : pEnd;
    }
    stInsert.clWritten.assign(pStart, p);
    stInsert.stSpec = ParseSpec(clSpec);
    return stInsert;
}

// Walks the source; with bExpand false it only notes the kinds of the arguments.
void Expand(const char *pszSource, CArguments &clArgs, bool bExpand, std::string &clOut)
{
    for (const char *p = pszSource; *p != '\0';) {
        char c = *p++;
        if (c == '%') {
            if (*p == '\0') {
                clOut += '%';
                break;
            }
            if (*p == '0')
                break;
            if (*p >= '1' && *p <= '9') {
                CInsert stInsert = ReadInsert(p);
                if (!bExpand) {
                    if (stInsert.stSpec.bValid)
                        clArgs.Note(stInsert.n, stInsert.stSpec.nKind);
                    continue;
                }
                if (!clArgs.bPresent() || !stInsert.stSpec.bValid) {
                    // No argument to print, or no conversion that can be printed safely.
                    if (stInsert.bHasSpec)
                        clOut += stInsert.clWritten;
                    continue;
                }
                AppendInsert(clOut, stInsert.stSpec, clArgs.Get(stInsert.n));
                continue;
            }
            if (*p == 'n') {
                clOut += "\r\n";
                p++;
                continue;
            }
            clOut += *p++;
        } else if (c == '\r') {
            clOut += ' ';
            if (*p == '\n')
                p++;
        } else if (c == '\n') {
            clOut += "\r\n";
        } else {
            clOut += c;
        }
    }
}

// With no arguments a printf format can only have its "%%" turned into '%'; every other
// conversion stays as written rather than reading arguments that do not exist.
std::string FormatWithoutArguments(const char *pszFormat)
{
    std::string clOut;
    for (const char *p = pszFormat; *p != '\0'; p++) {
        clOut += *p;
        if (p[0] == '%' && p[1] == '%')
            p++;
    }
    return clOut;
}

}  // namespace

DWORD FormatMessageA(DWORD dwFlags, const void *pSource, DWORD, DWORD, LPSTR pszBuffer, DWORD nSize,
                     va_list *pArguments)
{
    const char *pszFormat = SourceText(dwFlags, pSource);
    if (pszFormat == nullptr || pszBuffer == nullptr)
        return 0;
    if (pArguments == nullptr)
        return Deliver(dwFlags, FormatWithoutArguments(pszFormat), pszBuffer, nSize);

    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        char *pszBlock = nullptr;
        va_list ap;
        va_copy(ap, *pArguments);
        int nLen = vasprintf(&pszBlock, pszFormat, ap);
        va_end(ap);
        if (nLen < 0)
            return 0;
        if (static_cast<DWORD>(nLen) < nSize) {
            char *pszLarger = static_cast<char *>(realloc(pszBlock, nSize));
            if (pszLarger == nullptr) {
                free(pszBlock);
                return 0;
            }
            pszBlock = pszLarger;
        }
        *reinterpret_cast<char **>(pszBuffer) = pszBlock;
        return static_cast<DWORD>(nLen);
    }
    if (nSize == 0)
        return 0;
    va_list ap;
    va_copy(ap, *pArguments);
    int nLen = vsnprintf(pszBuffer, nSize, pszFormat, ap);
    va_end(ap);
    if (nLen < 0)
        return 0;
    // A cut text answers what the buffer really holds.
    return static_cast<DWORD>(nLen) < nSize ? static_cast<DWORD>(nLen) : nSize - 1;
}

DWORD FormatMessageWin(DWORD dwFlags, const void *pSource, DWORD, DWORD, LPSTR pszBuffer, DWORD nSize,
                       va_list *pArguments)
{
    const char *pszSource = SourceText(dwFlags, pSource);
    if (pszSource == nullptr || pszBuffer == nullptr)
        return 0;
    if ((dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0)
        return Deliver(dwFlags, pszSource, pszBuffer, nSize);

    CArguments clArgs(dwFlags, pArguments);
    std::string clOut;
    if (clArgs.bPresent()) {
        std::string clScratch;
        Expand(pszSource, clArgs, false, clScratch);
        clArgs.Load();
    }
    clOut.reserve(100);
    Expand(pszSource, clArgs, true, clOut);
    return Deliver(dwFlags, clOut, pszBuffer, nSize);
}
