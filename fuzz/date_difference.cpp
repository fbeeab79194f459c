// Date and date-time differences against the Julian Day Number model (Julian
// calendar up to 4 November 1582, Gregorian after), with the validity of
// arbitrary digit strings checked against the same model.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "containers/CDatHeur.h"

namespace {

void Verifie(bool b)
{
    if (!b)
        abort();
}

bool bJulien(int y, int m, int d)
{
    return y < 1582 || (y == 1582 && (m < 11 || (m == 11 && d <= 4)));
}

long long nJDN(int y, int m, int d)
{
    const long long a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    const long long n = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4;
    return bJulien(y, m, d) ? n - 32083 : n - yy / 100 + yy / 400 - 32045;
}

// Valid when the day is where the model puts it: the JDN of the next day is
// one more, and the day exists in that month.
bool bModeleValide(int y, int m, int d)
{
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    if (y == 1582 && m == 11 && d > 4 && d < 15)
        return false;
    const bool bBis = y % 4 == 0 && (y <= 1582 || y % 100 != 0 || y % 400 == 0);
    static const int tab[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return d <= tab[m - 1] + (m == 2 && bBis ? 1 : 0);
}

// A 16-digit date-time from 7 bytes, biased toward valid values.
std::string DateHeure(const uint8_t *p, int *y, int *m, int *d, long long *c)
{
    *y = (p[0] | (p[1] << 8)) % 10000;
    *m = p[2] % 14;
    *d = p[3] % 33;
    const int h = p[4] % 25, mi = p[5] % 61, s = p[6] % 61, cc = (p[4] ^ p[6]) % 100;
    char sz[32];
    snprintf(sz, sizeof sz, "%04d%02d%02d%02d%02d%02d%02d", *y, *m, *d, h, mi, s, cc);
    *c = (h < 24 && mi < 60 && s < 60) ? h * 360000LL + mi * 6000LL + s * 100LL + cc : -1;
    return sz;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    if (nData < 14)
        return 0;
    int y1, m1, d1, y2, m2, d2;
    long long c1, c2;
    const std::string s1 = DateHeure(pData, &y1, &m1, &d1, &c1);
    const std::string s2 = DateHeure(pData + 7, &y2, &m2, &d2, &c2);
    const bool b1 = bModeleValide(y1, m1, d1), b2 = bModeleValide(y2, m2, d2);
    Verifie(bDateValide(s1.substr(0, 8).c_str()) == b1);
    Verifie(bDateHeureValide(s1.c_str()) == (b1 && c1 >= 0));

    long nJours = 0;
    Verifie(bDateDifference(s1.substr(0, 8).c_str(), s2.substr(0, 8).c_str(), &nJours) == (b1 && b2));
    if (b1 && b2)
        Verifie(nJours == nJDN(y2, m2, d2) - nJDN(y1, m1, d1));

    char sz[17], szInverse[17];
    const bool bOk = b1 && b2 && c1 >= 0 && c2 >= 0;
    Verifie(bDateHeureDifference(s1.c_str(), s2.c_str(), sz) == bOk);
    Verifie(bDateHeureDifference(s2.c_str(), s1.c_str(), szInverse) == bOk);
    if (!bOk) {
        Verifie(sz[0] == 0);
        return 0;
    }
    long long n = (nJDN(y2, m2, d2) - nJDN(y1, m1, d1)) * 8640000LL + (c2 - c1);
    char szAttendu[40];
    const long long a = n < 0 ? -n : n;
    snprintf(szAttendu, sizeof szAttendu, "%s%07lld%02lld%02lld%02lld%02lld", n < 0 ? "-" : "+", a / 8640000,
             a / 360000 % 24, a / 6000 % 60, a / 100 % 60, a % 100);
    Verifie(strcmp(sz, szAttendu) == 0);
    Verifie(strcmp(sz + 1, szInverse + 1) == 0);
    Verifie(n == 0 || sz[0] != szInverse[0]);
    return 0;
}
