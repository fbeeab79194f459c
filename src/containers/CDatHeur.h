// Dates and times as fixed-width digit strings: a date is YYYYMMDD, a time
// HHMMSSCC (hundredths last), a date-time the date followed by the time.
// Validation, day numbers, hundredths, differences, and the conversion between
// the digit form and text laid out by a user format such as "JJ/MM/AAAA".
#pragma once

#include "containers/CCnvChNb.h"

extern const int gnTabNbJourMoisBissextile[12];
extern const int gnTabJourCumule[12];

// State of one parse walk; the handlers advance its two cursors.
struct _stANALYSEDATE {
    const char *pszTexte;
    const char *pszFormat;
    char szAnnee[5];
    char szMois[3];
    char szJour[3];
    bool bAnnee, bMois, bJour;
    bool bFin; // the text ran out inside a field
};
// State of one layout walk.
struct _stMISEENFORME {
    const char *pszDate;
    const char *pszFormat;
    char *pszSortie;
};
typedef bool (*PFNBTRAITEDATE)(_stANALYSEDATE &);
typedef bool (*PFNBTRAITEDATEFORMAT)(_stMISEENFORME &);
// Parse handlers in the order tried: year, month, day, other.
extern const PFNBTRAITEDATE gpfnbTabTraiteDate[4];
// Layout handlers in the order tried: four-digit year, two-digit year, month,
// day, other.
extern const PFNBTRAITEDATEFORMAT gpfnbTabTraiteDateFormat[5];

// Outputs are zeroed (texts emptied) before anything else.
int nBissextille(int year);
bool bJourGregorien(int day, int month, int year, long *dayNumber);
bool bDateVerif(const char *date, int *year, int *month, int *day);
bool bDateValide(const char *date);
bool bHeureVerif(const char *time, int *hours, int *minutes, int *seconds, int *hundredths);
bool bHeureValide(const char *time);
// `date` and `time` hold 9 bytes each.
bool bExtraitDateHeure(const char *dateTime, char *date, char *time);
bool bDateHeureValide(const char *dateTime);
bool bNbJour(const char *date, long *dayNumber);
bool bNbCentieme(const char *time, long *hundredths);
bool bJourCentieme(const char *dateTime, long *dayNumber, long *hundredths);
bool bDateDifference(const char *first, const char *second, long *days);
bool bHeureDifference(const char *first, const char *second, long *hundredths);
// `out` (17 bytes) receives the sign, 7 digits of days and 2 each of hours,
// minutes, seconds and hundredths of the duration from `first` to `second`.
bool bDateHeureDifference(const char *first, const char *second, char *out);
// `date` holds 9 bytes; it receives the fields found, not validated.
bool bChaineVersDate(const char *text, const char *format, char *date);
// `out` holds strlen(format) + 1 bytes: no format element writes more
// characters than it spans. False (out empty) when `date` is shorter than 8.
bool bDateVersChaine(const char *date, const char *format, char *out);
