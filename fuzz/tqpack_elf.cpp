// tqpack's reading and writing of a launcher file on mutated launchers: a stamp that
// succeeds writes only the fields of the located sections, leaves the file's size
// alone and gives a file that still locates at the same places with the values
// asked; reading the carried blocks never reads outside the bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Blocks.h"
#include "Commands.h"
#include "FuzzScratch.h"
#include "Image.h"

namespace {

std::string gsEntree, gsSortie;

void Efface()
{
    unlink(gsEntree.c_str());
    unlink(gsSortie.c_str());
}

bool bEcrit(const std::string &sChemin, const uint8_t *p, size_t n)
{
    FILE *pFichier = fopen(sChemin.c_str(), "wb");
    bool bOk = pFichier && fwrite(p, 1, n, pFichier) == n;
    if (pFichier)
        fclose(pFichier);
    return bOk;
}

bool bDansChamp(size_t i, uint64_t o, uint64_t n)
{
    return i >= o && i - o < n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const std::string sRep = FuzzScratchDir() + "/tqpack_elf." + std::to_string(getpid());
    gsEntree = sRep + ".in";
    gsSortie = sRep + ".out";
    atexit(Efface);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nTaille)
{
    std::string sReste;
    for (const stBLOCPORTE &st : tabBlocsPortes(pData, nTaille, &sReste))
        if (st.oOffset + sizeof(_stINFODLL) + st.dwTailleBloc > nTaille)
            abort();

    _stLOCINFOEXE stLoc;
    // The stamp locates with the same reader: only what it locates is stamped, and
    // the refusals' lines stay off the run's output.
    if (!ElfInfoExe_bLocalise(pData, nTaille, &stLoc) || !bEcrit(gsEntree, pData, nTaille))
        return 0;
    unlink(gsSortie.c_str());
    char szStamp[] = "stamp", szDir[] = "--data-dir", szRep[] = "/srv/fuzz", szProjet[] = "--project",
         szNomProjet[] = "fuzz.tqp", szVersion[] = "--version", szNum[] = "-7";
    std::vector<char *> tabArgv = {szStamp,     &gsEntree[0], &gsSortie[0], szDir, szRep, szProjet,
                                   szNomProjet, szVersion,    szNum,        nullptr};
    const int nStatut = nTqpackStamp(static_cast<int>(tabArgv.size()) - 1, tabArgv.data());
    if (nStatut != 0)
        abort();

    std::vector<uint8_t> tabSortie;
    std::string sErreur;
    if (!bLitFichierEntier(gsSortie, &tabSortie, &sErreur) || tabSortie.size() != nTaille)
        abort();
    for (size_t i = 0; i < nTaille; ++i)
        if (tabSortie[i] != pData[i] && !bDansChamp(i, stLoc.oInfoExe, sizeof(_stINFOEXE)) &&
            !bDansChamp(i, stLoc.oFilePath, TQ_TAILLE_FILEPATH))
            abort();
    _stLOCINFOEXE stApres;
    if (!ElfInfoExe_bLocalise(tabSortie.data(), tabSortie.size(), &stApres) || stApres.oInfoExe != stLoc.oInfoExe ||
        stApres.oFilePath != stLoc.oFilePath || stApres.oVersion != stLoc.oVersion)
        abort();
    _stINFOEXE stInfo;
    memcpy(&stInfo, tabSortie.data() + stApres.oInfoExe, sizeof(stInfo));
    if (strcmp(stInfo.szNomProjet, szNomProjet) != 0 || stInfo.nVersionActive != -7 ||
        strcmp(reinterpret_cast<const char *>(tabSortie.data() + stApres.oFilePath), szRep) != 0)
        abort();
    return 0;
}
