// Synthetic launcher images for the tests: the built-in block and a minimal ELF
// file of either class holding the launcher's three sections.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tqtest {

template <typename T> inline void Pose(std::vector<uint8_t> &tab, size_t nOffset, T nValeur)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        tab[nOffset + i] = static_cast<uint8_t>(static_cast<uint64_t>(nValeur) >> (8 * i));
}

inline void PoseTexte(std::vector<uint8_t> &tab, size_t nOffset, const char *psz)
{
    memcpy(tab.data() + nOffset, psz, strlen(psz));
}

inline std::vector<uint8_t> tabBlocAttendu()
{
    std::vector<uint8_t> tab(2234, 0);
    PoseTexte(tab, 8, "tq150vm.so");
    PoseTexte(tab, 530, "default.tql");
    Pose<int32_t>(tab, 831, 1);
    PoseTexte(tab, 835, "default.tqp");
    Pose<int32_t>(tab, 1116, -1);
    return tab;
}

// A minimal ELF image of either class holding the launcher's three sections.
struct stSECTIONTEST {
    std::string sNom;
    std::vector<uint8_t> tabOctets;
    uint32_t nType;
};

inline std::vector<uint8_t> tabImageElf(int nClasse, const std::vector<stSECTIONTEST> &tabSections)
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

inline std::vector<stSECTIONTEST> tabSectionsLanceur()
{
    std::string sVersions = std::string("VersionPR: 15.00Ab") + '\0' + "VersionVI: 01F150063j" + '\0';
    return {{"tqversion", std::vector<uint8_t>(sVersions.begin(), sVersions.end()), 1},
            {"tqinfoexe", tabBlocAttendu(), 1},
            {"tqfilepath", std::vector<uint8_t>(261, 0), 1}};
}

} // namespace tqtest
