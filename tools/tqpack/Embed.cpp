// tqpack embed: copies a launcher and appends a file as a carried block (the
// component record, then the file compressed in one block).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Blocks.h"
#include "Commands.h"
#include "Image.h"
#include "compression/Compresseur.h"

static const char gszUsageEmbed[] = "usage: tqpack embed IN OUT FILE [--application] [--name NAME]\n";
static const char gszAideEmbed[] =
    "\n"
    "Copies the launcher IN to OUT and appends FILE as a carried block: a 526-byte\n"
    "record (NAME, default FILE's base name, in its first bytes; the block size in\n"
    "its last four) followed by FILE compressed in one block. Blocks already carried\n"
    "by IN are kept; the new one goes after them. IN is never changed; OUT is\n"
    "written atomically with IN's mode bits.\n"
    "\n"
    "  --application   also write the record's offset into OUT's information block as\n"
    "                  the application library offset, so that the engine loads the\n"
    "                  application from this block instead of a file beside the launcher\n"
    "  --name NAME     the name kept in the record (at most 260 bytes)\n";

int nTqpackEmbed(int argc, char **argv)
{
    std::vector<const char *> tabPositionnels;
    bool bApplication = false;
    const char *pszNom = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *pszArg = argv[i];
        if (strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0) {
            printf("%s%s", gszUsageEmbed, gszAideEmbed);
            return TQPACK_OK;
        }
        if (strcmp(pszArg, "--application") == 0) {
            bApplication = true;
        } else if (strcmp(pszArg, "--name") == 0 || strncmp(pszArg, "--name=", 7) == 0) {
            if (pszArg[6] == '=')
                pszNom = pszArg + 7;
            else if (i + 1 < argc)
                pszNom = argv[++i];
            else
                return nErreurUsage("embed", gszUsageEmbed, "--name needs a value");
        } else if (strncmp(pszArg, "--", 2) == 0) {
            return nErreurUsage("embed", gszUsageEmbed, std::string("unknown option '") + pszArg + "'");
        } else if (tabPositionnels.size() == 3) {
            return nErreurUsage("embed", gszUsageEmbed, std::string("unexpected argument '") + pszArg + "'");
        } else {
            tabPositionnels.push_back(pszArg);
        }
    }
    if (tabPositionnels.size() != 3)
        return nErreurUsage("embed", gszUsageEmbed, "IN, OUT and FILE are required");
    const std::string sEntree = tabPositionnels[0], sSortie = tabPositionnels[1], sDonnees = tabPositionnels[2];
    std::string sNom = pszNom ? pszNom : sDonnees.substr(sDonnees.rfind('/') + 1);
    if (sNom.size() > 260)
        return nErreurUsage("embed", gszUsageEmbed, "--name holds at most 260 bytes");

    struct stat stEntree, stSortie, stFichier;
    if (stat(sEntree.c_str(), &stEntree) != 0)
        return nErreur(sEntree + ": " + strerror(errno));
    if (!S_ISREG(stEntree.st_mode))
        return nErreur(sEntree + ": not a regular file");
    if (stat(sSortie.c_str(), &stSortie) == 0 && stSortie.st_dev == stEntree.st_dev &&
        stSortie.st_ino == stEntree.st_ino)
        return nErreur(sSortie + ": OUT is IN; IN is never changed, choose another OUT");
    if (stat(sDonnees.c_str(), &stFichier) != 0)
        return nErreur(sDonnees + ": " + strerror(errno));
    // The block's sizes are 32-bit.
    if (static_cast<uint64_t>(stFichier.st_size) > UINT32_MAX - 7)
        return nErreur(sDonnees + ": too large for a block (more than " + std::to_string(UINT32_MAX - 7) + " bytes)");

    stIMAGELANCEUR stImage;
    std::string sErreur;
    if (!bChargeLanceur(sEntree, &stImage, &sErreur))
        return nErreur(sErreur);
    std::string sReste;
    tabBlocsPortes(stImage.tabOctets.data(), stImage.tabOctets.size(), &sReste);
    if (!sReste.empty())
        return nErreur(sEntree + ": the end of the file holds something else than carried blocks (" + sReste + ")");
    std::vector<uint8_t> tabDonnees;
    if (!bLitFichierEntier(sDonnees, &tabDonnees, &sErreur))
        return nErreur(sErreur);
    if (tabDonnees.size() > UINT32_MAX - 7)
        return nErreur(sDonnees + ": too large for a block");

    std::vector<uint8_t> tabBloc(tabDonnees.size() + 7);
    uint32_t dwBloc = CCompresseur::ms_clCompresseurZLW.dwCompression(tabDonnees.data(), tabDonnees.size(),
                                                                      tabBloc.data(), tabBloc.size());
    if (dwBloc == 0)
        return nErreur(sDonnees + ": compression failed");

    _stINFODLL stRecord;
    memset(&stRecord, 0, sizeof(stRecord));
    memcpy(stRecord.abReserve, sNom.data(), sNom.size());
    stRecord.dwTailleCompressee = dwBloc;
    const uint64_t oRecord = stImage.tabOctets.size();
    const uint8_t *pRecord = reinterpret_cast<const uint8_t *>(&stRecord);
    stImage.tabOctets.insert(stImage.tabOctets.end(), pRecord, pRecord + sizeof(stRecord));
    stImage.tabOctets.insert(stImage.tabOctets.end(), tabBloc.begin(), tabBloc.begin() + dwBloc);
    if (bApplication) {
        _stINFOEXE stInfo = stImage.stInfo();
        stInfo.oOffsetTQL = static_cast<int64_t>(oRecord);
        stImage.EcritInfo(stInfo);
    }
    if (!bEcritImageAtomique(sSortie, stImage.tabOctets, stEntree.st_mode & 07777, &sErreur))
        return nErreur(sErreur);
    printf("%s: block at offset %llu, %u bytes for %zu (%s)%s\n", sSortie.c_str(),
           static_cast<unsigned long long>(oRecord), dwBloc, tabDonnees.size(), tabBloc[0] == 4 ? "ZLW" : "stored",
           bApplication ? ", application library offset set" : "");
    return TQPACK_OK;
}
