#include "containers/CCnvChNb.h"

#include <climits>

bool bCaractereNumerique(char c, int minusAllowed)
{
    return (c >= '0' && c <= '9') || (minusAllowed && c == '-');
}

bool bChaineNumerique(const char *text, unsigned int length, int minusAllowed)
{
    if (!text)
        return false;
    for (unsigned int i = 0; i < length; ++i) {
        if (!bCaractereNumerique(text[i], minusAllowed && i == 0))
            return false; // the terminator is not numeric: no read beyond it
    }
    return true;
}

int nAtoiBorne(const char *text)
{
    if (!text)
        return 0;
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool bNegatif = false;
    if (*p == '+' || *p == '-')
        bNegatif = *p++ == '-';
    long long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (n <= static_cast<long long>(INT_MAX) + 1)
            n = n * 10 + (*p - '0');
    }
    if (bNegatif)
        n = -n;
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

bool bChaineVersEntier(const char *text, int *value, int minusAllowed)
{
    if (value)
        *value = 0;
    if (!text || !bCaractereNumerique(text[0], minusAllowed))
        return false;
    if (value)
        *value = nAtoiBorne(text);
    return true;
}
