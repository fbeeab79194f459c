// Call recording of the test engine.
#include "EngineRecord.h"

#include <cstdio>
#include <cstdlib>

void Enregistre(const std::string &sLigne)
{
    if (!gbEnregistre)
        return;
    const char *pszFichier = getenv("TQE_RECORD_FILE");
    if (!pszFichier || !*pszFichier)
        return;
    // Opened for each line so that a record survives whatever the process does next.
    FILE *pFichier = fopen(pszFichier, "a");
    if (!pFichier)
        return;
    fprintf(pFichier, "%s\n", sLigne.c_str());
    fclose(pFichier);
}

std::string sTexteEnregistre(const char *pszTexte)
{
    if (!pszTexte)
        return "null";
    std::string s = "\"";
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(pszTexte); *p; ++p) {
        if (*p == '\\' || *p == '"') {
            s += '\\';
            s += static_cast<char>(*p);
        } else if (*p < 0x20 || *p > 0x7E) {
            char szHex[8];
            snprintf(szHex, sizeof(szHex), "\\x%02X", *p);
            s += szHex;
        } else {
            s += static_cast<char>(*p);
        }
    }
    return s + "\"";
}
