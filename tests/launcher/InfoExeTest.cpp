// The information block: its built-in values, bounded reading, and how a tool
// finds it in ELF32 and ELF64 launchers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"
#include "support/TestSupport.h"

using namespace tqtest;

namespace {

template <typename T> void Pose(std::vector<uint8_t> &tab, size_t nOffset, T nValeur)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        tab[nOffset + i] = static_cast<uint8_t>(static_cast<uint64_t>(nValeur) >> (8 * i));
}

void PoseTexte(std::vector<uint8_t> &tab, size_t nOffset, const char *psz)
{
    memcpy(tab.data() + nOffset, psz, strlen(psz));
}

std::vector<uint8_t> tabBlocAttendu()
{
    std::vector<uint8_t> tab(2234, 0);
    PoseTexte(tab, 8, "tq150vm.so");
    PoseTexte(tab, 530, "default.tql");
    Pose<int32_t>(tab, 831, 1);
    PoseTexte(tab, 835, "default.tqp");
    Pose<int32_t>(tab, 1116, -1);
    return tab;
}

} // namespace

TEST(InfoExe, BuiltInValuesByteForByte)
{
    std::vector<uint8_t> tabAttendu = tabBlocAttendu();
    EXPECT_EQ(memcmp(&gstInfoExe, tabAttendu.data(), tabAttendu.size()), 0);

    std::vector<uint8_t> tabChemin(261, 0);
    PoseTexte(tabChemin, 0, ".");
    PoseTexte(tabChemin, 2, "**** Rep. Fichiers ****");
    EXPECT_EQ(memcmp(gszFilePath, tabChemin.data(), tabChemin.size()), 0);
    EXPECT_STREQ(gszVersionPR, "VersionPR: 15.00Ab");
    EXPECT_STREQ(gszVersionVI, "VersionVI: 01F150063j");
}

TEST(InfoExe, CopiesAreBoundedByTheirFields)
{
    _stINFOEXE st;
    InfoExe_Copie(&st);
    EXPECT_EQ(memcmp(&st, &gstInfoExe, sizeof(st)), 0);

    // A faulty tool left fields without their terminator: each is cut at its end.
    memset(st.szNomVM, 'v', sizeof(st.szNomVM));
    memset(st.szNomTQL, 't', sizeof(st.szNomTQL));
    memset(st.szNomProjet, 'p', sizeof(st.szNomProjet));
    st.nOuvertureDirecte = 0x01020304;
    InfoExe_BorneChamps(&st);
    EXPECT_EQ(strlen(st.szNomVM), sizeof(st.szNomVM) - 1);
    EXPECT_EQ(strlen(st.szNomTQL), sizeof(st.szNomTQL) - 1);
    EXPECT_EQ(strlen(st.szNomProjet), sizeof(st.szNomProjet) - 1);
    EXPECT_EQ(+st.nOuvertureDirecte, 0x01020304); // the neighbours are untouched
    EXPECT_EQ(+st.oOffsetTQL, 0);

    // A terminated field keeps all its bytes.
    memset(st.szNomTQL, 0, sizeof(st.szNomTQL));
    memset(st.szNomTQL, 'a', sizeof(st.szNomTQL) - 1);
    InfoExe_BorneChamps(&st);
    EXPECT_EQ(strlen(st.szNomTQL), sizeof(st.szNomTQL) - 1);
    EXPECT_EQ(InfoExe_nLongueurChamp("abc\0def", 7), 3u);
    EXPECT_EQ(InfoExe_nLongueurChamp("abcdefg", 4), 4u);

    char szRep[TQ_TAILLE_FILEPATH];
    InfoExe_CopieFilePath(szRep);
    EXPECT_STREQ(szRep, ".");
}

TEST(InfoExe, FoundInTheBuiltLauncher)
{
    std::string sImage = sLitFichier(sBin("tqexe"));
    ASSERT_FALSE(sImage.empty());
    const uint8_t *p = reinterpret_cast<const uint8_t *>(sImage.data());
    _stLOCINFOEXE stLoc;
    const char *pszRaison = "";
    ASSERT_TRUE(ElfInfoExe_bLocalise(p, sImage.size(), &stLoc, &pszRaison)) << pszRaison;
    EXPECT_EQ(stLoc.stEntete.nClasse, static_cast<int>(sizeof(void *) * 8));
    EXPECT_EQ(stLoc.stEntete.nMachine, sizeof(void *) == 8 ? 62 : 3);
    // The file holds exactly the values the launcher was built with.
    EXPECT_EQ(memcmp(p + stLoc.oInfoExe, &gstInfoExe, sizeof(gstInfoExe)), 0);
    EXPECT_EQ(memcmp(p + stLoc.oFilePath, gszFilePath, sizeof(gszFilePath)), 0);

    // An engine library carries no block.
    std::string sMoteur = sLitFichier(sBin("tq150vm.so"));
    EXPECT_FALSE(ElfInfoExe_bLocalise(reinterpret_cast<const uint8_t *>(sMoteur.data()), sMoteur.size(), &stLoc,
                                      &pszRaison));
}

namespace {

// A minimal ELF image of either class holding the launcher's three sections.
struct stSECTIONTEST {
    std::string sNom;
    std::vector<uint8_t> tabOctets;
    uint32_t nType;
};

std::vector<uint8_t> tabImageElf(int nClasse, const std::vector<stSECTIONTEST> &tabSections)
{
    const bool b64 = nClasse == 64;
    const size_t nEntete = b64 ? 64 : 52, nEntree = b64 ? 64 : 40;
    std::vector<uint8_t> tab(nEntete, 0);
    memcpy(tab.data(), "\x7F" "ELF", 4);
    tab[4] = b64 ? 2 : 1;
    tab[5] = 1;
    tab[6] = 1;
    Pose<uint16_t>(tab, 16, 3);
    Pose<uint16_t>(tab, 18, b64 ? 62 : 3);
    // Section names, then each section's bytes.
    std::string sNoms(1, '\0');
    std::vector<uint32_t> tabNoms;
    for (const stSECTIONTEST &st : tabSections) {
        tabNoms.push_back(static_cast<uint32_t>(sNoms.size()));
        sNoms += st.sNom + '\0';
    }
    const uint32_t nNomShstrtab = static_cast<uint32_t>(sNoms.size());
    sNoms += std::string(".shstrtab") + '\0';
    std::vector<uint64_t> tabOffsets;
    for (const stSECTIONTEST &st : tabSections) {
        tabOffsets.push_back(tab.size());
        tab.insert(tab.end(), st.tabOctets.begin(), st.tabOctets.end());
    }
    const uint64_t oNoms = tab.size();
    tab.insert(tab.end(), sNoms.begin(), sNoms.end());
    const uint64_t oTable = tab.size();
    const size_t nSections = tabSections.size() + 2; // null section first, names last
    tab.resize(oTable + nSections * nEntree, 0);
    auto EcritEntree = [&](size_t i, uint32_t nNom, uint32_t nType, uint64_t oOffset, uint64_t nTaille) {
        size_t o = oTable + i * nEntree;
        Pose<uint32_t>(tab, o, nNom);
        Pose<uint32_t>(tab, o + 4, nType);
        if (b64) {
            Pose<uint64_t>(tab, o + 24, oOffset);
            Pose<uint64_t>(tab, o + 32, nTaille);
        } else {
            Pose<uint32_t>(tab, o + 16, static_cast<uint32_t>(oOffset));
            Pose<uint32_t>(tab, o + 20, static_cast<uint32_t>(nTaille));
        }
    };
    for (size_t i = 0; i < tabSections.size(); ++i)
        EcritEntree(i + 1, tabNoms[i], tabSections[i].nType, tabOffsets[i], tabSections[i].tabOctets.size());
    EcritEntree(nSections - 1, nNomShstrtab, 3, oNoms, sNoms.size());
    if (b64) {
        Pose<uint64_t>(tab, 40, oTable);
        Pose<uint16_t>(tab, 58, static_cast<uint16_t>(nEntree));
        Pose<uint16_t>(tab, 60, static_cast<uint16_t>(nSections));
        Pose<uint16_t>(tab, 62, static_cast<uint16_t>(nSections - 1));
    } else {
        Pose<uint32_t>(tab, 32, static_cast<uint32_t>(oTable));
        Pose<uint16_t>(tab, 46, static_cast<uint16_t>(nEntree));
        Pose<uint16_t>(tab, 48, static_cast<uint16_t>(nSections));
        Pose<uint16_t>(tab, 50, static_cast<uint16_t>(nSections - 1));
    }
    return tab;
}

std::vector<stSECTIONTEST> tabSectionsLanceur()
{
    std::string sVersions = std::string("VersionPR: 15.00Ab") + '\0' + "VersionVI: 01F150063j" + '\0';
    return {{"tqversion", std::vector<uint8_t>(sVersions.begin(), sVersions.end()), 1},
            {"tqinfoexe", tabBlocAttendu(), 1},
            {"tqfilepath", std::vector<uint8_t>(261, 0), 1}};
}

bool bLocalise(const std::vector<uint8_t> &tab, _stLOCINFOEXE *pst = nullptr)
{
    _stLOCINFOEXE st;
    return ElfInfoExe_bLocalise(tab.data(), tab.size(), pst ? pst : &st);
}

} // namespace

TEST(InfoExeElf, LocatesTheBlockInBothClasses)
{
    for (int nClasse : {32, 64}) {
        SCOPED_TRACE(nClasse);
        std::vector<uint8_t> tab = tabImageElf(nClasse, tabSectionsLanceur());
        _stLOCINFOEXE st;
        ASSERT_TRUE(bLocalise(tab, &st));
        EXPECT_EQ(st.stEntete.nClasse, nClasse);
        EXPECT_EQ(memcmp(tab.data() + st.oInfoExe, tabBlocAttendu().data(), 2234), 0);
        EXPECT_EQ(st.oFilePath, st.oInfoExe + 2234);
    }
}

TEST(InfoExeElf, RefusesWhatIsNotALauncher)
{
    for (int nClasse : {32, 64}) {
        SCOPED_TRACE(nClasse);
        const std::vector<stSECTIONTEST> tabBon = tabSectionsLanceur();
        // Wrong size, wrong signature, missing marker, section without file bytes, missing section.
        std::vector<stSECTIONTEST> tab = tabBon;
        tab[1].tabOctets.push_back(0);
        EXPECT_FALSE(bLocalise(tabImageElf(nClasse, tab)));
        tab = tabBon;
        tab[1].tabOctets[831] = 2;
        EXPECT_FALSE(bLocalise(tabImageElf(nClasse, tab)));
        tab = tabBon;
        tab[0].tabOctets[3] = 'x';
        EXPECT_FALSE(bLocalise(tabImageElf(nClasse, tab)));
        tab = tabBon;
        tab[1].nType = 8;
        EXPECT_FALSE(bLocalise(tabImageElf(nClasse, tab)));
        tab = tabBon;
        tab.erase(tab.begin() + 2);
        EXPECT_FALSE(bLocalise(tabImageElf(nClasse, tab)));

        // Every truncation of a good image is refused without reading past its end.
        std::vector<uint8_t> tabImage = tabImageElf(nClasse, tabBon);
        for (size_t n = 0; n < tabImage.size(); n += 7) {
            std::vector<uint8_t> tabCourt(tabImage.begin(), tabImage.begin() + static_cast<long>(n));
            EXPECT_FALSE(bLocalise(tabCourt)) << n;
        }
        // Section table counts and indexes that point outside the file.
        std::vector<uint8_t> tabFaux = tabImage;
        Pose<uint16_t>(tabFaux, nClasse == 64 ? 62 : 50, 200);
        EXPECT_FALSE(bLocalise(tabFaux));
        tabFaux = tabImage;
        Pose<uint16_t>(tabFaux, nClasse == 64 ? 60 : 48, 0xFFF0);
        EXPECT_FALSE(bLocalise(tabFaux));
    }
    std::vector<uint8_t> tabTexte(100, 'a');
    EXPECT_FALSE(bLocalise(tabTexte));
    _stELFENTETE stEntete;
    std::vector<uint8_t> tabGrand = tabImageElf(64, tabSectionsLanceur());
    tabGrand[5] = 2; // big-endian
    EXPECT_FALSE(ElfInfoExe_bLitEntete(tabGrand.data(), tabGrand.size(), &stEntete));
}
