#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "containers/CDatHeur.h"

namespace {

// Julian Day Number of a date, by the textbook formulas: an independent model
// of the day count (Julian calendar up to 4 November 1582, Gregorian after).
long long nJDN(int y, int m, int d)
{
    const long long a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    const long long n = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4;
    const bool bJulien = y < 1582 || (y == 1582 && (m < 11 || (m == 11 && d <= 4)));
    return bJulien ? n - 32083 : n - yy / 100 + yy / 400 - 32045;
}

long long nModele(int y, int m, int d)
{
    return nJDN(y, m, d) - nJDN(1800, 1, 1) + 1;
}

std::string Date(int y, int m, int d)
{
    char sz[16];
    snprintf(sz, sizeof sz, "%04d%02d%02d", y % 10000, m % 100, d % 100);
    return sz;
}

} // namespace

TEST(DatHeur, ValidationOfTheCalendarEdges)
{
    struct { const char *psz; bool bValide; } cas[] = {
        {"20000229", true},  {"19000229", false}, {"15000229", true},  {"15821110", false},
        {"15821104", true},  {"15821115", true},  {"15821010", true},  {"15821105", false},
        {"15821114", false}, {"15821130", true},  {"15821131", false}, {"00000101", false},
        {"00010101", true},  {"99991231", true},  {"20001301", false}, {"20000100", false},
        {"2000010", false},  {"200001011", false}, {"2000a101", false}, {"", false},
        {"16000229", true},  {"17000229", false}, {"21000229", false}, {"24000229", true},
    };
    for (const auto &c : cas)
        EXPECT_EQ(bDateValide(c.psz), c.bValide) << c.psz;
    EXPECT_FALSE(bDateValide(nullptr));

    // Every month end across the leap rules: the last day is valid, the day
    // after it is not; February follows Julian then Gregorian leap years.
    struct { int nAnnee; bool bBissextile; } annees[] = {
        {1500, true}, {1580, true}, {1582, false}, {1584, true}, {1600, true},  {1700, false},
        {1800, false}, {1900, false}, {1996, true}, {2000, true}, {2100, false}, {2400, true},
    };
    const int nFin[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (const auto &a : annees) {
        EXPECT_EQ(nBissextille(a.nAnnee), a.bBissextile ? 1 : 0) << a.nAnnee;
        for (int m = 1; m <= 12; ++m) {
            const int nDernier = nFin[m - 1] + (m == 2 && a.bBissextile ? 1 : 0);
            EXPECT_TRUE(bDateValide(Date(a.nAnnee, m, nDernier).c_str())) << a.nAnnee << "/" << m;
            EXPECT_FALSE(bDateValide(Date(a.nAnnee, m, nDernier + 1).c_str())) << a.nAnnee << "/" << m;
        }
    }

    int y, m, d;
    ASSERT_TRUE(bDateVerif("20240705", &y, &m, &d));
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240705);
    EXPECT_FALSE(bDateVerif("20241305", &y, &m, &d));
    EXPECT_EQ(y + m + d, 0);
}

TEST(DatHeur, TimesAndDateTimes)
{
    struct { const char *psz; bool bValide; long nCentiemes; } cas[] = {
        {"2359", true, 23 * 360000L + 59 * 6000L}, {"2400", false, 0},  {"12", true, 12 * 360000L},
        {"", true, 0},                           {"00000099", true, 99}, {"23595999", true, 8639999},
        {"0060", false, 0},                      {"000060", false, 0}, {"12a0", false, 0},
        {"235959991", true, 8639999}, // only the first 8 characters count
    };
    for (const auto &c : cas) {
        long n = -1;
        EXPECT_EQ(bHeureValide(c.psz), c.bValide) << c.psz;
        EXPECT_EQ(bNbCentieme(c.psz, &n), c.bValide) << c.psz;
        EXPECT_EQ(n, c.nCentiemes) << c.psz;
    }

    char szDate[9], szHeure[9];
    ASSERT_TRUE(bExtraitDateHeure("2024070512345678999", szDate, szHeure));
    EXPECT_STREQ(szDate, "20240705");
    EXPECT_STREQ(szHeure, "12345678");
    EXPECT_FALSE(bExtraitDateHeure("2024070", szDate, szHeure));
    EXPECT_STREQ(szDate, "");
    EXPECT_TRUE(bDateHeureValide("20240705"));
    EXPECT_TRUE(bDateHeureValide("2024070523"));
    EXPECT_FALSE(bDateHeureValide("2024070524"));
    EXPECT_FALSE(bDateHeureValide("2024023012"));

    long n;
    ASSERT_TRUE(bHeureDifference("12", "1130", &n));
    EXPECT_EQ(n, -30 * 6000L);

    char sz[17];
    struct { const char *pszDe, *pszA, *pszAttendu; } diff[] = {
        {"2000010100000000", "2000010201020304", "+000000101020304"},
        {"2000010201020304", "2000010100000000", "-000000101020304"},
        {"20000101", "20000101", "+000000000000000"},
        {"1582110423595999", "15821115", "+000000000000001"},
    };
    for (const auto &c : diff) {
        ASSERT_TRUE(bDateHeureDifference(c.pszDe, c.pszA, sz)) << c.pszDe;
        EXPECT_STREQ(sz, c.pszAttendu);
    }
    EXPECT_FALSE(bDateHeureDifference("20000230", "20000101", sz));
    EXPECT_STREQ(sz, "");

    // The whole range in hundredths needs more than 32 bits.
    ASSERT_TRUE(bDateHeureDifference("00010101", "9999123123595999", sz));
    char szAttendu[32];
    snprintf(szAttendu, sizeof szAttendu, "+%07lld23595999", nModele(9999, 12, 31) - nModele(1, 1, 1));
    EXPECT_STREQ(sz, szAttendu);
}

TEST(DatHeur, DayNumbersStepByOneOverTheWholeRange)
{
    long n = 0;
    ASSERT_TRUE(bNbJour("18000101", &n));
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(bNbJour("20000101", &n));
    EXPECT_EQ(n, 73049);
    ASSERT_TRUE(bDateDifference("19991231", "20000101", &n));
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(bDateDifference("20000101", "19991231", &n));
    EXPECT_EQ(n, -1);
    ASSERT_TRUE(bDateDifference("15821104", "15821115", &n));
    EXPECT_EQ(n, 1);
    EXPECT_FALSE(bJourGregorien(10, 11, 1582, &n));
    EXPECT_EQ(n, 0);

    // Every candidate date from year 1 to 9999: the valid ones must each be
    // the day after the previous valid one and agree with the model.
    long nPrecedent = 0;
    bool bPremier = true;
    int nValides = 0;
    for (int y = 1; y <= 9999; ++y) {
        int nAnnee = 0;
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= 31; ++d) {
                long nJour;
                if (!bJourGregorien(d, m, y, &nJour))
                    continue;
                ++nAnnee;
                if (!bPremier && nJour != nPrecedent + 1) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << ": " << nJour << " after " << nPrecedent;
                    return;
                }
                if (nJour != nModele(y, m, d)) {
                    ADD_FAILURE() << y << "-" << m << "-" << d << ": " << nJour << " vs model " << nModele(y, m, d);
                    return;
                }
                bPremier = false;
                nPrecedent = nJour;
            }
        nValides += nAnnee;
        const int nAttendu = y == 1582 ? 355 : 365 + nBissextille(y);
        if (nAnnee != nAttendu) {
            ADD_FAILURE() << y << ": " << nAnnee << " days";
            return;
        }
    }
    EXPECT_EQ(nValides, nPrecedent - nModele(1, 1, 1) + 1);
    // The digit form agrees with the numeric one at the ends.
    ASSERT_TRUE(bNbJour("99991231", &n));
    EXPECT_EQ(n, nPrecedent);
}

TEST(DatHeur, ParsingAndLayoutRoundTrips)
{
    struct { const char *pszTexte, *pszFormat; const char *pszDate; } cas[] = {
        {"31/12/99", "JJ/MM/AA", "19991231"},     {"31/12/49", "JJ/MM/AA", "20491231"},
        {"31/12/50", "JJ/MM/AA", "20501231"},     {"31/12/51", "JJ/MM/AA", "19511231"},
        {"05.07.2024", "JJ.MM.AAAA", "20240705"}, {"2024-07-05", "yyyy-mm-dd", "20240705"},
        {"990705", "AAMMJJ", "19990705"},         {"07/05/00", "MM/DD/YY", "20000705"},
        {"31/12", "JJ/MM/AAAA", nullptr},          {"31/12/2", "JJ/MM/AAAA", nullptr},
        {"31/12/ab", "JJ/MM/AA", nullptr},         {"", "JJ/MM/AAAA", nullptr},
        {"31/12/1999", "", nullptr},
    };
    for (const auto &c : cas) {
        char sz[9] = "xxxxxxx";
        EXPECT_EQ(bChaineVersDate(c.pszTexte, c.pszFormat, sz), c.pszDate != nullptr) << c.pszTexte;
        EXPECT_STREQ(sz, c.pszDate ? c.pszDate : "") << c.pszTexte;
    }

    char szSortie[64];
    ASSERT_TRUE(bDateVersChaine("20240705", "JJ.MM.AAAA", szSortie));
    EXPECT_STREQ(szSortie, "05.07.2024");
    ASSERT_TRUE(bDateVersChaine("20240705", "Le dd/mm/yy", szSortie));
    EXPECT_STREQ(szSortie, "Le 05/07/24");
    EXPECT_FALSE(bDateVersChaine("2024070", "JJ", szSortie));

    // Every format letter, upper and lower case, over dates from each era:
    // layout then parse gives the date back (two-digit years within the pivot).
    const char *tabFormats[] = {"JJ/MM/AAAA", "dd-mm-yyyy", "AAAAMMJJ", "YYYY.MM.DD", "jj mm aaaa",
                                "MM/JJ/AA",   "aammjj",     "YY-MM-DD", "DD.MM.YY"};
    for (const char *pszFormat : tabFormats) {
        const bool bDeuxChiffres = strstr(pszFormat, "AAAA") == nullptr && strstr(pszFormat, "aaaa") == nullptr &&
                                   strstr(pszFormat, "YYYY") == nullptr && strstr(pszFormat, "yyyy") == nullptr;
        for (int y = 1; y <= 9999; y += bDeuxChiffres ? 1 : 7) {
            if (bDeuxChiffres && (y < 1951 || y > 2050))
                continue;
            const std::string sDate = Date(y, (y % 12) + 1, (y % 28) + 1);
            ASSERT_TRUE(bDateVersChaine(sDate.c_str(), pszFormat, szSortie));
            ASSERT_EQ(strlen(szSortie), strlen(pszFormat));
            char szRetour[9];
            ASSERT_TRUE(bChaineVersDate(szSortie, pszFormat, szRetour)) << szSortie << " " << pszFormat;
            ASSERT_STREQ(szRetour, sDate.c_str()) << pszFormat;
        }
    }
}

TEST(CnvChNb, NumericText)
{
    EXPECT_TRUE(bCaractereNumerique('7', 0));
    EXPECT_FALSE(bCaractereNumerique('-', 0));
    EXPECT_TRUE(bCaractereNumerique('-', 1));
    EXPECT_FALSE(bCaractereNumerique('a', 1));

    struct { const char *psz; unsigned n; int bMoins; bool bAttendu; } cas[] = {
        {"1234", 4, 0, true}, {"12a4", 4, 0, false}, {"12a4", 2, 0, true},  {"-123", 4, 1, true},
        {"-123", 4, 0, false}, {"1-23", 4, 1, false}, {"12", 4, 0, false},   {"", 0, 0, true},
    };
    for (const auto &c : cas)
        EXPECT_EQ(bChaineNumerique(c.psz, c.n, c.bMoins), c.bAttendu) << c.psz << " " << c.n;

    int n = -1;
    EXPECT_TRUE(bChaineVersEntier("42abc", &n, 0));
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(bChaineVersEntier("-42", &n, 1));
    EXPECT_EQ(n, -42);
    EXPECT_FALSE(bChaineVersEntier("-42", &n, 0));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(bChaineVersEntier(" 42", &n, 0));
    EXPECT_TRUE(bChaineVersEntier("99999999999999999999", &n, 0));
    EXPECT_EQ(n, 2147483647);
}
