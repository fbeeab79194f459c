// Call recording of the test engine (built with TQE_RECORD): every call the launcher
// makes is appended, one line each, to the file named by the environment variable
// TQE_RECORD_FILE. Without the variable, or in an engine built without TQE_RECORD,
// nothing is written.
#pragma once

#include <string>

// Whether this library records at all: set by the unit built per library variant.
extern const bool gbEnregistre __attribute__((visibility("hidden")));

// Appends one line.
void Enregistre(const std::string &sLigne);
// A text argument as it appears in a record: quoted, with \\, \" and bytes outside
// printable ASCII written as \xNN; a null pointer is written null.
std::string sTexteEnregistre(const char *pszTexte);
