#include "containers/CDatHeur.h"

#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const int gnTabNbJourMoisBissextile[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
const int gnTabJourCumule[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

namespace {

const long kCentiemesParJour = 8640000;

bool bChiffre(char c)
{
    return c >= '0' && c <= '9';
}

// Value of n digits known to be digits.
int nChiffres(const char *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

int nJoursDuMois(int month, int year)
{
    if (month == 2)
        return nBissextille(year) ? 29 : 28;
    return gnTabNbJourMoisBissextile[month - 1];
}

// The calendar reform as this system places it: 4 November 1582 (Julian) is
// followed by 15 November 1582 (Gregorian); the days in between do not exist.
bool bDansLaReforme(int day, int month, int year)
{
    return year == 1582 && month == 11 && day > 4 && day < 15;
}

bool bAvantLaReforme(int day, int month, int year)
{
    return year < 1582 || (year == 1582 && (month < 11 || (month == 11 && day <= 4)));
}

// Day numbers count every existing day once, in order:
//  - from 15 November 1582 on (Gregorian calendar)
//      N = d + cumul[m-1] + 365y + y/4 - y/100 + y/400 + leap(m >= 3) - 657071
//    with y = year - 1, so 1 January 1800 is day 1 and 1 January 2000 day 73049;
//  - up to 4 November 1582 (Julian calendar, a leap year every 4 years)
//      N = d + cumul[m-1] + 365y + y/4 + leap(m >= 3) - 657073
//    whose constant makes 4 November 1582 the day before 15 November 1582.
// Consecutive valid dates thus always differ by exactly one day.
int64_t nNumeroJour(int day, int month, int year)
{
    const int64_t y = static_cast<int64_t>(year) - 1;
    int64_t n = day + gnTabJourCumule[month - 1] + 365 * y + y / 4 + (month >= 3 ? nBissextille(year) : 0);
    if (bAvantLaReforme(day, month, year))
        return n - 657073;
    return n - y / 100 + y / 400 - 657071;
}

// Case-insensitive match of the format against ASCII upper-case letters
// (clearing bit 5 folds exactly the lower-case letter onto its capital).
inline bool bLettres(const char *pszFormat, const char *pszLettres)
{
    for (; *pszLettres; ++pszFormat, ++pszLettres)
        if ((*pszFormat & ~0x20) != *pszLettres)
            return false;
    return true;
}

// First handler that can match at a format character: the ones before it
// refuse that character anyway, so the walk skips them. `nDecalage` is 1 for
// the layout table, which has two year handlers.
int nPremierTraitement(char c, int nDecalage)
{
    switch (c & ~0x20) {
    case 'A':
    case 'Y':
        return 0;
    case 'M':
        return 1 + nDecalage;
    case 'J':
    case 'D':
        return 2 + nDecalage;
    default:
        return 3 + nDecalage;
    }
}

// The text holds at least n more characters (n is at most 4 here).
inline bool bAuMoins(const char *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (!p[i])
            return false;
    return true;
}

// Copies an n-character field of the text, or ends the walk when the text
// stops inside it.
bool bPrendChamp(_stANALYSEDATE &st, char *pszChamp, int n, int nLettres)
{
    if (!bAuMoins(st.pszTexte, n)) {
        st.bFin = true;
        return true;
    }
    memcpy(pszChamp, st.pszTexte, static_cast<size_t>(n));
    pszChamp[n] = 0;
    st.pszTexte += n;
    st.pszFormat += nLettres;
    return true;
}

bool bTraiteAnnee(_stANALYSEDATE &st)
{
    if (bLettres(st.pszFormat, "AAAA") || bLettres(st.pszFormat, "YYYY")) {
        bPrendChamp(st, st.szAnnee, 4, 4);
        st.bAnnee = st.bAnnee || !st.bFin;
        return true;
    }
    if (!bLettres(st.pszFormat, "AA") && !bLettres(st.pszFormat, "YY"))
        return false;
    if (st.pszFormat[2] == 'A') {
        ++st.pszFormat;
        ++st.pszTexte;
        return false;
    }
    if (!bAuMoins(st.pszTexte, 2)) {
        st.bFin = true;
        return true;
    }
    if (!bLettres(st.pszFormat + 2, "MM")) {
        const int n = nAtoiBorne(st.pszTexte);
        if (!(n < 100 && (n != 0 || st.pszTexte[0] == '0')))
            return false;
    }
    const char szDeux[3] = {st.pszTexte[0], st.pszTexte[1], 0};
    // Two-digit years pivot at 50: 51..99 are 1951..1999, 00..50 are 2000..2050.
    st.szAnnee[0] = nAtoiBorne(szDeux) > 50 ? '1' : '2';
    st.szAnnee[1] = nAtoiBorne(szDeux) > 50 ? '9' : '0';
    st.szAnnee[2] = szDeux[0];
    st.szAnnee[3] = szDeux[1];
    st.szAnnee[4] = 0;
    st.bAnnee = true;
    st.pszTexte += 2;
    st.pszFormat += 2;
    return true;
}

bool bTraiteMois(_stANALYSEDATE &st)
{
    if (!bLettres(st.pszFormat, "MM"))
        return false;
    bPrendChamp(st, st.szMois, 2, 2);
    st.bMois = st.bMois || !st.bFin;
    return true;
}

bool bTraiteJour(_stANALYSEDATE &st)
{
    if (!bLettres(st.pszFormat, "JJ") && !bLettres(st.pszFormat, "DD"))
        return false;
    bPrendChamp(st, st.szJour, 2, 2);
    st.bJour = st.bJour || !st.bFin;
    return true;
}

bool bTraiteAutre(_stANALYSEDATE &st)
{
    ++st.pszTexte;
    ++st.pszFormat;
    return true;
}

bool bAjoute(_stMISEENFORME &st, const char *p, int n, int nLettres)
{
    memcpy(st.pszSortie, p, static_cast<size_t>(n));
    st.pszSortie += n;
    st.pszFormat += nLettres;
    return true;
}

bool bFormatAnnee4(_stMISEENFORME &st)
{
    return (bLettres(st.pszFormat, "AAAA") || bLettres(st.pszFormat, "YYYY")) && bAjoute(st, st.pszDate, 4, 4);
}

bool bFormatAnnee2(_stMISEENFORME &st)
{
    return (bLettres(st.pszFormat, "AA") || bLettres(st.pszFormat, "YY")) && bAjoute(st, st.pszDate + 2, 2, 2);
}

bool bFormatMois(_stMISEENFORME &st)
{
    return bLettres(st.pszFormat, "MM") && bAjoute(st, st.pszDate + 4, 2, 2);
}

bool bFormatJour(_stMISEENFORME &st)
{
    return (bLettres(st.pszFormat, "JJ") || bLettres(st.pszFormat, "DD")) && bAjoute(st, st.pszDate + 6, 2, 2);
}

bool bFormatAutre(_stMISEENFORME &st)
{
    return bAjoute(st, st.pszFormat, 1, 1);
}

// Handler i of each table, called directly so that the walks inline them.
inline bool bTraiteDate(int i, _stANALYSEDATE &st)
{
    switch (i) {
    case 0:
        return bTraiteAnnee(st);
    case 1:
        return bTraiteMois(st);
    case 2:
        return bTraiteJour(st);
    default:
        return bTraiteAutre(st);
    }
}

inline bool bTraiteDateFormat(int i, _stMISEENFORME &st)
{
    switch (i) {
    case 0:
        return bFormatAnnee4(st);
    case 1:
        return bFormatAnnee2(st);
    case 2:
        return bFormatMois(st);
    case 3:
        return bFormatJour(st);
    default:
        return bFormatAutre(st);
    }
}

template <class T> void Zero(T *p)
{
    if (p)
        *p = 0;
}

} // namespace

const PFNBTRAITEDATE gpfnbTabTraiteDate[4] = {bTraiteAnnee, bTraiteMois, bTraiteJour, bTraiteAutre};
const PFNBTRAITEDATEFORMAT gpfnbTabTraiteDateFormat[5] = {bFormatAnnee4, bFormatAnnee2, bFormatMois, bFormatJour,
                                                         bFormatAutre};

int nBissextille(int year)
{
    if (year % 4 != 0)
        return 0;
    if (year <= 1582) // Julian rule before the reform
        return 1;
    return (year % 100 != 0 || year % 400 == 0) ? 1 : 0;
}

bool bJourGregorien(int day, int month, int year, long *dayNumber)
{
    Zero(dayNumber);
    if (year <= 0 || month < 1 || month > 12 || day <= 0 || day > nJoursDuMois(month, year) ||
        bDansLaReforme(day, month, year))
        return false;
    const int64_t n = nNumeroJour(day, month, year);
    if (n < LONG_MIN || n > LONG_MAX)
        return false;
    if (dayNumber)
        *dayNumber = static_cast<long>(n);
    return true;
}

bool bDateVerif(const char *date, int *year, int *month, int *day)
{
    Zero(year);
    Zero(month);
    Zero(day);
    if (!date || strnlen(date, 9) != 8)
        return false;
    for (int i = 0; i < 8; ++i)
        if (!bChiffre(date[i]))
            return false;
    const int nAnnee = nChiffres(date, 4), nMois = nChiffres(date + 4, 2), nJour = nChiffres(date + 6, 2);
    if (nAnnee <= 0 || nMois < 1 || nMois > 12 || nJour <= 0 || nJour > nJoursDuMois(nMois, nAnnee) ||
        bDansLaReforme(nJour, nMois, nAnnee))
        return false;
    if (year)
        *year = nAnnee;
    if (month)
        *month = nMois;
    if (day)
        *day = nJour;
    return true;
}

bool bDateValide(const char *date)
{
    return bDateVerif(date, nullptr, nullptr, nullptr);
}

bool bHeureVerif(const char *time, int *hours, int *minutes, int *seconds, int *hundredths)
{
    Zero(hours);
    Zero(minutes);
    Zero(seconds);
    Zero(hundredths);
    if (!time)
        return false;
    char sz[8];
    const size_t n = strnlen(time, 8);
    for (size_t i = 0; i < 8; ++i) {
        if (i < n && !bChiffre(time[i]))
            return false;
        sz[i] = i < n ? time[i] : '0';
    }
    const int nH = nChiffres(sz, 2), nM = nChiffres(sz + 2, 2), nS = nChiffres(sz + 4, 2);
    if (nH >= 24 || nM >= 60 || nS >= 60)
        return false;
    if (hours)
        *hours = nH;
    if (minutes)
        *minutes = nM;
    if (seconds)
        *seconds = nS;
    if (hundredths)
        *hundredths = nChiffres(sz + 6, 2);
    return true;
}

bool bHeureValide(const char *time)
{
    return bHeureVerif(time, nullptr, nullptr, nullptr, nullptr);
}

bool bExtraitDateHeure(const char *dateTime, char *date, char *time)
{
    if (date)
        date[0] = 0;
    if (time)
        time[0] = 0;
    if (!dateTime || strnlen(dateTime, 8) < 8)
        return false;
    if (date) {
        memcpy(date, dateTime, 8);
        date[8] = 0;
    }
    if (time) {
        const size_t n = strnlen(dateTime + 8, 8);
        memcpy(time, dateTime + 8, n);
        time[n] = 0;
    }
    return true;
}

bool bDateHeureValide(const char *dateTime)
{
    char szDate[9];
    return bExtraitDateHeure(dateTime, szDate, nullptr) && bDateValide(szDate) && bHeureValide(dateTime + 8);
}

bool bNbJour(const char *date, long *dayNumber)
{
    int nAnnee, nMois, nJour;
    Zero(dayNumber);
    return bDateVerif(date, &nAnnee, &nMois, &nJour) && bJourGregorien(nJour, nMois, nAnnee, dayNumber);
}

bool bNbCentieme(const char *time, long *hundredths)
{
    int nH, nM, nS, nC;
    Zero(hundredths);
    if (!bHeureVerif(time, &nH, &nM, &nS, &nC))
        return false;
    if (hundredths)
        *hundredths = nH * 360000L + nM * 6000L + nS * 100L + nC;
    return true;
}

bool bJourCentieme(const char *dateTime, long *dayNumber, long *hundredths)
{
    char szDate[9], szHeure[9];
    Zero(dayNumber);
    Zero(hundredths);
    if (!bExtraitDateHeure(dateTime, szDate, szHeure))
        return false;
    long nJour = 0, nCentieme = 0;
    if (!bNbJour(szDate, &nJour) || !bNbCentieme(szHeure, &nCentieme))
        return false;
    if (dayNumber)
        *dayNumber = nJour;
    if (hundredths)
        *hundredths = nCentieme;
    return true;
}

bool bDateDifference(const char *first, const char *second, long *days)
{
    long n1, n2;
    Zero(days);
    if (!bNbJour(first, &n1) || !bNbJour(second, &n2))
        return false;
    if (days)
        *days = n2 - n1; // at most 3652059 days apart: fits every long
    return true;
}

bool bHeureDifference(const char *first, const char *second, long *hundredths)
{
    long n1, n2;
    Zero(hundredths);
    if (!bNbCentieme(first, &n1) || !bNbCentieme(second, &n2))
        return false;
    if (hundredths)
        *hundredths = n2 - n1;
    return true;
}

bool bDateHeureDifference(const char *first, const char *second, char *out)
{
    if (out)
        out[0] = 0;
    long nJ1, nC1, nJ2, nC2;
    if (!bJourCentieme(first, &nJ1, &nC1) || !bJourCentieme(second, &nJ2, &nC2))
        return false;
    // Ten thousand years of hundredths need 45 bits: 64-bit in every tree.
    int64_t n = (static_cast<int64_t>(nJ2) - nJ1) * kCentiemesParJour + (static_cast<int64_t>(nC2) - nC1);
    const char *pszSigne = n < 0 ? "-" : "+";
    if (n < 0)
        n = -n;
    const int64_t nJours = n / kCentiemesParJour;
    n %= kCentiemesParJour;
    const int64_t nHeures = n / 360000;
    n %= 360000;
    const int64_t nMinutes = n / 6000;
    n %= 6000;
    const int64_t nSecondes = n / 100;
    const int64_t nCentiemes = n % 100;
    // Days stay below 10^7 (years 1 to 9999), so the text is 16 characters.
    char sz[64];
    snprintf(sz, sizeof sz, "%s%07" PRId64 "%02" PRId64 "%02" PRId64 "%02" PRId64 "%02" PRId64, pszSigne, nJours,
             nHeures, nMinutes, nSecondes, nCentiemes);
    if (out) {
        memcpy(out, sz, 16);
        out[16] = 0;
    }
    return true;
}

bool bChaineVersDate(const char *text, const char *format, char *date)
{
    if (date)
        date[0] = 0;
    if (!text || !format)
        return false;
    _stANALYSEDATE st = {};
    st.pszTexte = text;
    st.pszFormat = format;
    while (*st.pszFormat && *st.pszTexte && !st.bFin) {
        for (int i = nPremierTraitement(*st.pszFormat, 0); i < 4; ++i) {
            // A handler that steps without matching may reach an end.
            if (!*st.pszFormat || !*st.pszTexte)
                break;
            if (bTraiteDate(i, st))
                break;
        }
    }
    if (!st.bAnnee || !st.bMois || !st.bJour)
        return false;
    if (date) {
        memcpy(date, st.szAnnee, 4);
        memcpy(date + 4, st.szMois, 2);
        memcpy(date + 6, st.szJour, 2);
        date[8] = 0;
    }
    return true;
}

bool bDateVersChaine(const char *date, const char *format, char *out)
{
    if (out)
        out[0] = 0;
    if (!date || !format || !out || strnlen(date, 8) < 8)
        return false;
    _stMISEENFORME st = {date, format, out};
    while (*st.pszFormat) {
        for (int i = nPremierTraitement(*st.pszFormat, 1); i < 5; ++i)
            if (bTraiteDateFormat(i, st))
                break;
    }
    *st.pszSortie = 0;
    return true;
}
