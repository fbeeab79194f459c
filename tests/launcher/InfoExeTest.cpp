// The information block: its built-in values, bounded reading, and how a tool
// finds it in ELF32 and ELF64 launchers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ElfSynthetique.h"
#include "launcher/InfoExe.h"
#include "launcher/InfoExeElf.h"
#include "support/TestSupport.h"

using namespace tqtest;


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
