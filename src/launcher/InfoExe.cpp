// The built-in information block, data directory and version markers.
#include "launcher/InfoExe.h"

#include <cstring>

// Each object sits alone in its section so that the packaging tool finds it by name
// and size; "used" keeps the markers, which nothing reads, in the image.
#define TQ_DANS_SECTION(nom) __attribute__((section(nom), used))

TQ_DANS_SECTION(TQ_SECTION_INFOEXE)
_stINFOEXE gstInfoExe = {
    {0},
    TQ_INFOEXE_NOMVM_DEFAUT,
    TQ_INFOEXE_NOMTQL_DEFAUT,
    0,
    {0},
    0,
    {0},
    TQ_INFOEXE_RESERVE831,
    TQ_INFOEXE_PROJET_DEFAUT,
    TQ_INFOEXE_RESERVE1116,
    0,
    {0},
    0,
    {0},
};

// "." then its terminator, then the marker by which a tool recognises the field.
TQ_DANS_SECTION(TQ_SECTION_FILEPATH)
char gszFilePath[TQ_TAILLE_FILEPATH] = ".\0" TQ_FILEPATH_MARQUEUR;

TQ_DANS_SECTION(TQ_SECTION_VERSION) extern const char gszVersionPR[] = TQ_VERSION_PR;
TQ_DANS_SECTION(TQ_SECTION_VERSION) extern const char gszVersionVI[] = TQ_VERSION_VI;

size_t InfoExe_nLongueurChamp(const char *pszChamp, size_t nTailleChamp)
{
    return strnlen(pszChamp, nTailleChamp);
}

static void BorneChamp(char *pszChamp, size_t nTailleChamp)
{
    if (InfoExe_nLongueurChamp(pszChamp, nTailleChamp) == nTailleChamp)
        pszChamp[nTailleChamp - 1] = '\0';
}

void InfoExe_BorneChamps(_stINFOEXE *pstInfo)
{
    BorneChamp(pstInfo->szNomVM, sizeof(pstInfo->szNomVM));
    BorneChamp(pstInfo->szNomTQL, sizeof(pstInfo->szNomTQL));
    BorneChamp(pstInfo->szNomProjet, sizeof(pstInfo->szNomProjet));
}

void InfoExe_Copie(_stINFOEXE *pstOut)
{
    // The packaging tool rewrites the block in the file: make sure the copy comes from
    // memory at run time, whatever the optimiser knows about the initialiser.
    const void *pSource = &gstInfoExe;
    __asm__ volatile("" : "+r"(pSource) : : "memory");
    memcpy(pstOut, pSource, sizeof(_stINFOEXE));
    InfoExe_BorneChamps(pstOut);
}

void InfoExe_CopieFilePath(char *pszOut)
{
    const void *pSource = gszFilePath;
    __asm__ volatile("" : "+r"(pSource) : : "memory");
    memcpy(pszOut, pSource, TQ_TAILLE_FILEPATH);
    BorneChamp(pszOut, TQ_TAILLE_FILEPATH);
}
