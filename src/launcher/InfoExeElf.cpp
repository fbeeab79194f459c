// Locating the launcher's values in its ELF file image. Every offset read from the
// file is checked against the image size before use.
#include "launcher/InfoExeElf.h"

#include <cstdio>
#include <cstring>

#include "launcher/InfoExe.h"

namespace {

const uint16_t SHN_XINDEX_ = 0xFFFF;
const uint32_t SHT_NOBITS_ = 8;

uint16_t nLit16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t nLit32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t nLit64(const uint8_t *p)
{
    return static_cast<uint64_t>(nLit32(p)) | (static_cast<uint64_t>(nLit32(p + 4)) << 32);
}

// True when [oDebut, oDebut + nLongueur) lies inside an image of nTaille bytes.
bool bDansImage(uint64_t oDebut, uint64_t nLongueur, size_t nTaille)
{
    return oDebut <= nTaille && nLongueur <= nTaille - oDebut;
}

void Raison(const char **ppszRaison, const char *pszRaison)
{
    if (ppszRaison)
        *ppszRaison = pszRaison;
}

// One section header, whatever the class.
struct stSECTION {
    uint32_t nNom;
    uint32_t nType;
    uint64_t nAdresse;
    uint64_t oOffset;
    uint64_t nTaille;
    uint32_t nLien;
};

struct stTABLESECTIONS {
    int nClasse;
    uint64_t oTable;
    uint64_t nEntree;
    uint64_t nNombre;
    uint64_t nIndexNoms;
};

bool bLitSection(const uint8_t *pImage, const stTABLESECTIONS &t, uint64_t nIndex, stSECTION *pst)
{
    const uint8_t *p = pImage + t.oTable + nIndex * t.nEntree;
    pst->nNom = nLit32(p);
    pst->nType = nLit32(p + 4);
    if (t.nClasse == 64) {
        pst->nAdresse = nLit64(p + 16);
        pst->oOffset = nLit64(p + 24);
        pst->nTaille = nLit64(p + 32);
        pst->nLien = nLit32(p + 40);
    } else {
        pst->nAdresse = nLit32(p + 12);
        pst->oOffset = nLit32(p + 16);
        pst->nTaille = nLit32(p + 20);
        pst->nLien = nLit32(p + 24);
    }
    return true;
}

bool bTableSections(const uint8_t *pImage, size_t nTaille, stTABLESECTIONS *pt, const char **ppszRaison)
{
    _stELFENTETE stEntete;
    if (!ElfInfoExe_bLitEntete(pImage, nTaille, &stEntete, ppszRaison))
        return false;
    pt->nClasse = stEntete.nClasse;
    const bool b64 = stEntete.nClasse == 64;
    pt->oTable = b64 ? nLit64(pImage + 40) : nLit32(pImage + 32);
    pt->nEntree = nLit16(pImage + (b64 ? 58 : 46));
    pt->nNombre = nLit16(pImage + (b64 ? 60 : 48));
    pt->nIndexNoms = nLit16(pImage + (b64 ? 62 : 50));
    const uint64_t nEntreeMin = b64 ? 64 : 40;
    if (pt->oTable == 0 || pt->nEntree < nEntreeMin || !bDansImage(pt->oTable, pt->nEntree, nTaille)) {
        Raison(ppszRaison, "the file has no section table");
        return false;
    }
    // Many sections: the real count and name index sit in section 0.
    stSECTION stZero;
    bLitSection(pImage, *pt, 0, &stZero);
    if (pt->nNombre == 0)
        pt->nNombre = stZero.nTaille;
    if (pt->nIndexNoms == SHN_XINDEX_)
        pt->nIndexNoms = stZero.nLien;
    if (pt->nNombre == 0 || pt->nNombre > (nTaille - pt->oTable) / pt->nEntree || pt->nIndexNoms >= pt->nNombre) {
        Raison(ppszRaison, "the section table lies outside the file");
        return false;
    }
    return true;
}

} // namespace

bool ElfInfoExe_bLitEntete(const uint8_t *pImage, size_t nTaille, _stELFENTETE *pstEntete, const char **ppszRaison)
{
    if (!pImage || nTaille < 52 || memcmp(pImage, "\x7F" "ELF", 4) != 0) {
        Raison(ppszRaison, "not an ELF file");
        return false;
    }
    if (pImage[4] != 1 && pImage[4] != 2) {
        Raison(ppszRaison, "unknown ELF class");
        return false;
    }
    if (pImage[5] != 1) {
        Raison(ppszRaison, "not a little-endian ELF file");
        return false;
    }
    pstEntete->nClasse = pImage[4] == 2 ? 64 : 32;
    if (pstEntete->nClasse == 64 && nTaille < 64) {
        Raison(ppszRaison, "truncated ELF header");
        return false;
    }
    pstEntete->nType = nLit16(pImage + 16);
    pstEntete->nMachine = nLit16(pImage + 18);
    return true;
}

namespace {

bool bTrouveSection(const uint8_t *pImage, size_t nTaille, const char *pszNom, stSECTION *pstTrouvee,
                    const char **ppszRaison)
{
    stTABLESECTIONS t;
    if (!bTableSections(pImage, nTaille, &t, ppszRaison))
        return false;
    stSECTION stNoms;
    bLitSection(pImage, t, t.nIndexNoms, &stNoms);
    if (stNoms.nType == SHT_NOBITS_ || !bDansImage(stNoms.oOffset, stNoms.nTaille, nTaille)) {
        Raison(ppszRaison, "the section names lie outside the file");
        return false;
    }
    const size_t nLongueurNom = strlen(pszNom);
    for (uint64_t i = 0; i < t.nNombre; ++i) {
        stSECTION st;
        bLitSection(pImage, t, i, &st);
        // The name and its terminator must lie inside the name table.
        if (st.nNom >= stNoms.nTaille || stNoms.nTaille - st.nNom < nLongueurNom + 1)
            continue;
        const char *pszCandidat = reinterpret_cast<const char *>(pImage + stNoms.oOffset + st.nNom);
        if (memcmp(pszCandidat, pszNom, nLongueurNom + 1) != 0)
            continue;
        if (st.nType == SHT_NOBITS_ || !bDansImage(st.oOffset, st.nTaille, nTaille)) {
            Raison(ppszRaison, "a launcher section has no bytes in the file");
            return false;
        }
        *pstTrouvee = st;
        return true;
    }
    Raison(ppszRaison, "no information block (not a launcher)");
    return false;
}

// [o, o + n) and [o2, o2 + n2) share a byte; ends past 2^64 count as 2^64.
bool bChevauche(uint64_t o, uint64_t n, uint64_t o2, uint64_t n2)
{
    const uint64_t nFin = n > UINT64_MAX - o ? UINT64_MAX : o + n;
    const uint64_t nFin2 = n2 > UINT64_MAX - o2 ? UINT64_MAX : o2 + n2;
    return n && n2 && o < nFin2 && o2 < nFin;
}

// The bytes a writer of the launcher's values may change: each of the three sections
// overlaps neither another nor the ELF header, the header tables or any other
// section, and, when the file has segments, is what a loadable segment maps at the
// section's address, so that the launcher reads what was written.
bool bZonesEcrivables(const uint8_t *pImage, size_t nTaille, const stSECTION (&tabZones)[3], const char **ppszRaison)
{
    stTABLESECTIONS t;
    if (!bTableSections(pImage, nTaille, &t, ppszRaison))
        return false;
    const bool b64 = t.nClasse == 64;
    const uint64_t oPh = b64 ? nLit64(pImage + 32) : nLit32(pImage + 28);
    const uint64_t nPhEntree = nLit16(pImage + (b64 ? 54 : 42)), nPh = nLit16(pImage + (b64 ? 56 : 44));
    const uint64_t tabInterdits[3][2] = {
        {0, b64 ? 64u : 52u}, {oPh, nPhEntree * nPh}, {t.oTable, t.nEntree * t.nNombre}};
    for (size_t i = 0; i < 3; ++i) {
        const stSECTION &z = tabZones[i];
        for (const uint64_t(&r)[2] : tabInterdits)
            if (bChevauche(z.oOffset, z.nTaille, r[0], r[1])) {
                Raison(ppszRaison, "a launcher section overlaps the ELF header or its tables (forged offset)");
                return false;
            }
        for (size_t j = 0; j < i; ++j)
            if (bChevauche(z.oOffset, z.nTaille, tabZones[j].oOffset, tabZones[j].nTaille)) {
                Raison(ppszRaison, "two launcher sections overlap (forged offset)");
                return false;
            }
        for (uint64_t k = 0; k < t.nNombre; ++k) {
            stSECTION st;
            bLitSection(pImage, t, k, &st);
            if (st.nType == SHT_NOBITS_ || (st.oOffset == z.oOffset && st.nTaille == z.nTaille))
                continue;
            if (bChevauche(z.oOffset, z.nTaille, st.oOffset, st.nTaille)) {
                Raison(ppszRaison, "a launcher section overlaps another section (forged offset)");
                return false;
            }
        }
        if (nPh == 0 || z.nTaille == 0)
            continue;
        if (nPhEntree < (b64 ? 56u : 32u) || !bDansImage(oPh, nPhEntree * nPh, nTaille)) {
            Raison(ppszRaison, "the program header table lies outside the file");
            return false;
        }
        bool bMappee = false;
        for (uint64_t k = 0; k < nPh && !bMappee; ++k) {
            const uint8_t *p = pImage + oPh + k * nPhEntree;
            const uint64_t oSeg = b64 ? nLit64(p + 8) : nLit32(p + 4);
            const uint64_t nAdresse = b64 ? nLit64(p + 16) : nLit32(p + 8);
            const uint64_t nFichier = b64 ? nLit64(p + 32) : nLit32(p + 16);
            bMappee = nLit32(p) == 1 && z.oOffset >= oSeg && z.oOffset - oSeg <= nFichier &&
                      z.nTaille <= nFichier - (z.oOffset - oSeg) && z.nAdresse - nAdresse == z.oOffset - oSeg;
        }
        if (!bMappee) {
            Raison(ppszRaison, "a launcher section is not where the loader maps it (forged offset)");
            return false;
        }
    }
    return true;
}

} // namespace

bool ElfInfoExe_bTrouveSection(const uint8_t *pImage, size_t nTaille, const char *pszNom, uint64_t *poOffset,
                               uint64_t *pnTailleSection, const char **ppszRaison)
{
    stSECTION st;
    if (!bTrouveSection(pImage, nTaille, pszNom, &st, ppszRaison))
        return false;
    *poOffset = st.oOffset;
    *pnTailleSection = st.nTaille;
    return true;
}

static bool bContient(const uint8_t *pDebut, uint64_t nTaille, const char *pszTexte)
{
    const size_t n = strlen(pszTexte) + 1; // with its terminator
    for (uint64_t i = 0; nTaille >= n && i <= nTaille - n; ++i)
        if (memcmp(pDebut + i, pszTexte, n) == 0)
            return true;
    return false;
}

bool ElfInfoExe_bLocalise(const uint8_t *pImage, size_t nTaille, _stLOCINFOEXE *pstLoc, const char **ppszRaison)
{
    if (!ElfInfoExe_bLitEntete(pImage, nTaille, &pstLoc->stEntete, ppszRaison))
        return false;
    stSECTION tabZones[3];
    if (!bTrouveSection(pImage, nTaille, TQ_SECTION_INFOEXE, &tabZones[0], ppszRaison) ||
        !bTrouveSection(pImage, nTaille, TQ_SECTION_FILEPATH, &tabZones[1], ppszRaison) ||
        !bTrouveSection(pImage, nTaille, TQ_SECTION_VERSION, &tabZones[2], ppszRaison))
        return false;
    pstLoc->oInfoExe = tabZones[0].oOffset;
    pstLoc->oFilePath = tabZones[1].oOffset;
    pstLoc->oVersion = tabZones[2].oOffset;
    pstLoc->nTailleVersion = tabZones[2].nTaille;
    const uint64_t nTailleInfo = tabZones[0].nTaille, nTailleChemin = tabZones[1].nTaille;
    if (nTailleInfo != sizeof(_stINFOEXE) || nTailleChemin != TQ_TAILLE_FILEPATH) {
        Raison(ppszRaison, "the information block has the wrong size");
        return false;
    }
    const uint8_t *pInfo = pImage + pstLoc->oInfoExe;
    if (static_cast<int32_t>(nLit32(pInfo + offsetof(_stINFOEXE, nReserve831))) != TQ_INFOEXE_RESERVE831 ||
        static_cast<int32_t>(nLit32(pInfo + offsetof(_stINFOEXE, nReserve1116))) != TQ_INFOEXE_RESERVE1116) {
        Raison(ppszRaison, "the information block does not carry the launcher's signature");
        return false;
    }
    const uint8_t *pVersion = pImage + pstLoc->oVersion;
    if (!bContient(pVersion, pstLoc->nTailleVersion, TQ_VERSION_PR) ||
        !bContient(pVersion, pstLoc->nTailleVersion, TQ_VERSION_VI)) {
        Raison(ppszRaison, "the version markers are missing");
        return false;
    }
    return bZonesEcrivables(pImage, nTaille, tabZones, ppszRaison);
}

const char *ElfInfoExe_pszMachine(uint16_t nMachine, char *pszTampon, size_t nTailleTampon)
{
    switch (nMachine) {
    case 3:
        return "i386";
    case 62:
        return "x86-64";
    default:
        snprintf(pszTampon, nTailleTampon, "machine %u", static_cast<unsigned>(nMachine));
        return pszTampon;
    }
}

namespace {

struct stTABLESEGMENTS {
    bool b64;
    uint64_t oTable, nEntree, nNombre;
};

bool bTableSegments(const uint8_t *pImage, size_t nLu, stTABLESEGMENTS *pt, const char **ppszRaison)
{
    _stELFENTETE stEntete;
    if (!ElfInfoExe_bLitEntete(pImage, nLu, &stEntete, ppszRaison))
        return false;
    pt->b64 = stEntete.nClasse == 64;
    pt->oTable = pt->b64 ? nLit64(pImage + 32) : nLit32(pImage + 28);
    pt->nEntree = nLit16(pImage + (pt->b64 ? 54 : 42));
    pt->nNombre = nLit16(pImage + (pt->b64 ? 56 : 44));
    if (pt->nNombre == 0 || pt->oTable == 0 || pt->nEntree != (pt->b64 ? 56u : 32u)) {
        Raison(ppszRaison, "the file has no usable program header table");
        return false;
    }
    // At most 65535 entries of 56 bytes: the product cannot overflow, the sum is checked.
    if (pt->oTable > UINT64_MAX - pt->nEntree * pt->nNombre) {
        Raison(ppszRaison, "the program header table lies outside the file");
        return false;
    }
    return true;
}

} // namespace

uint64_t ElfInfoExe_nFinTableSegments(const uint8_t *pImage, size_t nLu, const char **ppszRaison)
{
    stTABLESEGMENTS t;
    return bTableSegments(pImage, nLu, &t, ppszRaison) ? t.oTable + t.nEntree * t.nNombre : 0;
}

bool ElfInfoExe_bVerifieSegments(const uint8_t *pImage, size_t nLu, uint64_t nTailleFichier, const char **ppszRaison)
{
    stTABLESEGMENTS t;
    if (!bTableSegments(pImage, nLu, &t, ppszRaison))
        return false;
    const uint64_t nFinTable = t.oTable + t.nEntree * t.nNombre;
    if (nFinTable > nTailleFichier || nFinTable > nLu) {
        Raison(ppszRaison, "truncated: the program header table lies past the end of the file");
        return false;
    }
    for (uint64_t i = 0; i < t.nNombre; ++i) {
        const uint8_t *p = pImage + t.oTable + i * t.nEntree;
        const uint64_t oSegment = t.b64 ? nLit64(p + 8) : nLit32(p + 4);
        const uint64_t nFichier = t.b64 ? nLit64(p + 32) : nLit32(p + 16);
        const uint64_t nMemoire = t.b64 ? nLit64(p + 40) : nLit32(p + 20);
        if (nFichier > 0 && !(oSegment <= nTailleFichier && nFichier <= nTailleFichier - oSegment)) {
            Raison(ppszRaison, "truncated: a segment lies past the end of the file");
            return false;
        }
        if (nLit32(p) == 1 && nFichier > nMemoire) { // PT_LOAD
            Raison(ppszRaison, "a loadable segment holds more file bytes than memory");
            return false;
        }
    }
    return true;
}
