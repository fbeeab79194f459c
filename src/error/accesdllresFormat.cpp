// Message resources: loading into a string, singular and plural halves, and
// formatting with arguments (see accesdllres.h).
#include "error/accesdllres.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "compression/DataCompressor.h"
#include "platform/WinApi.h"
#include "strings/Tstring.h"

const char pszSeparateurSingulierPluriel[4] = "\n\xA7\n";

namespace {

// The caller's argument slot holds the address of a va_list; null means none.
va_list* pArgs(char** args)
{
    return reinterpret_cast<va_list*>(args);
}

} // namespace

bool DLLRES_bLoadString(unsigned int id, CTString* pclOut)
{
    const char* packe = CResAnsi::s_pszTrouveTexte(id);
    if (packe == nullptr)
        return false;
    char* psz = CDataCompressor::s_pszDeCompress(packe);
    if (psz == nullptr)
        return false;
    if (pclOut != nullptr)
        pclOut->SetBuffer(psz);
    else
        free(psz);
    return true;
}

uint32_t DLLRES_dwFormatMessage(const char* pszFormat, char** ppszOut, char** args)
{
    if (ppszOut == nullptr)
        return 0;
    *ppszOut = nullptr;
    if (pszFormat == nullptr)
        return 0;
    return FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING, pszFormat, 0, 0,
                          reinterpret_cast<LPSTR>(ppszOut), 0, pArgs(args));
}

uint32_t DLLRES_dwFormatMessage(const char* pszFormat, CTString* pclOut, char** args)
{
    char* psz = nullptr;
    uint32_t n = DLLRES_dwFormatMessage(pszFormat, &psz, args);
    if (psz != nullptr) {
        if (n != 0 && pclOut != nullptr)
            pclOut->Set(psz);
        free(psz);
    }
    return n;
}

bool DLLRES_bFormatMessageList(unsigned int id, CTString* pclOut, char** args)
{
    CTString clTexte;
    if (!DLLRES_bLoadString(id, &clTexte))
        return false;
    return DLLRES_dwFormatMessage(clTexte.pszGet(), pclOut, args) != 0;
}

bool DLLRES_bFormatMessage(unsigned int id, CTString* pclOut, ...)
{
    va_list ap;
    va_start(ap, pclOut);
    bool b = DLLRES_bFormatMessageList(id, pclOut, reinterpret_cast<char**>(&ap));
    va_end(ap);
    return b;
}

int DLLRES_nFormatMessageList(unsigned int id, char** ppszOut, char** args)
{
    if (ppszOut != nullptr)
        *ppszOut = nullptr;
    CTString clTexte;
    if (!DLLRES_bLoadString(id, &clTexte))
        return 0;
    return static_cast<int>(DLLRES_dwFormatMessage(clTexte.pszGet(), ppszOut, args));
}

int DLLRES_nFormatMessage(unsigned int id, char** ppszOut, ...)
{
    va_list ap;
    va_start(ap, ppszOut);
    int n = DLLRES_nFormatMessageList(id, ppszOut, reinterpret_cast<char**>(&ap));
    va_end(ap);
    return n;
}

bool __bLoadStringSingulierPluriel(int bPluriel, unsigned int id, CTString& clOut)
{
    CTString clTexte;
    if (!DLLRES_bLoadString(id, &clTexte))
        return false;
    const char* psz = clTexte.pszGet();
    const char* sep = strstr(psz, pszSeparateurSingulierPluriel);
    if (sep == nullptr || sep == psz)
        clOut.Set(psz);
    else if (bPluriel)
        clOut.Set(sep + strlen(pszSeparateurSingulierPluriel));
    else
        clOut.Set(psz, static_cast<unsigned>(sep - psz));
    return true;
}

bool DLLRES_bFormatMessageSingulierPlurielList(int bPluriel, unsigned int id, CTString* pclOut, char** args)
{
    CTString clTexte;
    if (!__bLoadStringSingulierPluriel(bPluriel, id, clTexte))
        return false;
    return DLLRES_dwFormatMessage(clTexte.pszGet(), pclOut, args) != 0;
}

bool DLLRES_bFormatMessageSingulierPluriel(int bPluriel, unsigned int id, CTString* pclOut, ...)
{
    va_list ap;
    va_start(ap, pclOut);
    bool b = DLLRES_bFormatMessageSingulierPlurielList(bPluriel, id, pclOut, reinterpret_cast<char**>(&ap));
    va_end(ap);
    return b;
}

