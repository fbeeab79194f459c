// The small language the reference engine runs for host programs (the call
// interface, tqhost.h): typed values, expressions, statements and procedures.
//
// An application opened by a host is a text file, one statement a line:
//
//   # comment
//   set NAME EXPR            variable
//   setprop ELEM.PROP EXPR   property (ELEM.PROP[I] or [I,J] for an indexed one)
//   print EXPR               writes the value's text and a line feed on stdout
//   fail CODE EXPR           the call fails with error CODE and the value's text
//   return [EXPR]            ends a procedure (or an executed text) with a result
//   proc NAME [PARAM ...]    starts a procedure; its lines run when it is called
//   end                      ends it
//
// Statements outside procedures run when the file is opened. Expressions: 42
// (32-bit), 42L or a larger number (64-bit), 1.5, "text" (\" \\ \n \t), true,
// false, null, $1 (first argument), a parameter or variable name, ELEM.PROP, a
// procedure call NAME(EXPR, ...), the functions len text binary int64 double,
// parentheses, unary -, * / + - with the usual precedence. + joins texts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tqhost.h"

struct stVALEURH {
    uint16_t wType = TQTYPE_AUCUN;
    bool bNull = true;
    int64_t nEntier = 0;     // boolean, 32-bit and 64-bit integers
    double dReel = 0.0;
    std::string sOctets;     // text or binary

    static stVALEURH Null() { return stVALEURH(); }
    static stVALEURH Booleen(bool b);
    static stVALEURH Entier(int64_t n);   // 32-bit type when it fits, else 64-bit
    static stVALEURH Entier64(int64_t n);
    static stVALEURH Reel(double d);
    static stVALEURH Texte(const std::string &s);
    static stVALEURH Binaire(const std::string &s);
    // Text form: numbers in decimal, booleans true/false, null empty.
    std::string sTexte() const;
};

struct stERREURH {
    int nCode = 0;
    std::string sTexte;
};

struct stPROCEDUREH {
    std::vector<std::string> tabParametres;
    std::vector<std::pair<int, std::string>> tabLignes; // line number, text
    std::string sSource;
    std::string sMarque; // the opening that brought it (closing removes it)
};

// Everything the applications opened by hosts share.
struct stMONDEH {
    std::map<std::string, stVALEURH> mapVariables;
    std::map<std::string, stVALEURH> mapProprietes; // "ELEM.PROP" or "ELEM.PROP[I]"
    std::map<std::string, stPROCEDUREH> mapProcedures;
    std::string sProjet;
};

// Evaluates one expression; bVerifie only checks the syntax (every name is null).
// The integer part of a real when a 64-bit integer holds it (false for
// infinities, NaN and magnitudes of 2^63 or more, whose conversion is undefined).
inline bool bReelVersEntier64(double d, int64_t *pn)
{
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        return false;
    *pn = static_cast<int64_t>(d);
    return true;
}

bool bEvalueH(stMONDEH &stMonde, const std::string &sExpression, const std::vector<stVALEURH> &tabArguments,
              const std::vector<std::string> &tabParametres, bool bVerifie, stVALEURH *pstValeur,
              stERREURH *pstErreur);
// Runs statement lines; *pbRetour tells whether a return gave *pstRetour.
bool bExecuteH(stMONDEH &stMonde, const std::vector<std::pair<int, std::string>> &tabLignes,
               const std::string &sSource, const std::vector<stVALEURH> &tabArguments,
               const std::vector<std::string> &tabParametres, bool bVerifie, stVALEURH *pstRetour,
               bool *pbRetour, stERREURH *pstErreur);
// Calls a procedure by name.
bool bAppelleH(stMONDEH &stMonde, const std::string &sNom, const std::vector<stVALEURH> &tabArguments,
               stVALEURH *pstRetour, stERREURH *pstErreur);
// Parses a file's text: procedures go into the world (marked sMarque), the other
// statements run. Nothing of the file stays when it holds an error.
bool bChargeH(stMONDEH &stMonde, const std::string &sTexte, const std::string &sSource, const std::string &sMarque,
              stERREURH *pstErreur);
// Splits a text into numbered lines (\n, \r\n).
std::vector<std::pair<int, std::string>> tabLignesH(const std::string &sTexte);
