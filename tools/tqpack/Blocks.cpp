// Finding and checking the blocks carried at the end of a launcher file.
#include "Blocks.h"

#include <cstdio>
#include <cstring>

#include "compression/Compresseur.h"
#include "launcher/InfoExe.h"

namespace {

uint64_t qwLit(const uint8_t *p, int nOctets)
{
    uint64_t v = 0;
    for (int i = nOctets - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

uint64_t qwMax(uint64_t a, uint64_t b)
{
    return a > b ? a : b;
}

// a + b, or the largest value when the sum passes it: forged offsets never wrap.
uint64_t qwSomme(uint64_t a, uint64_t b)
{
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

} // namespace

uint64_t qwFinImageElf(const uint8_t *p, size_t n)
{
    if (n < 52 || memcmp(p, "\x7F" "ELF", 4) != 0 || p[5] != 1)
        return 0;
    const bool b64 = p[4] == 2;
    if (!b64 && p[4] != 1)
        return 0;
    if (b64 && n < 64)
        return 0;
    // Field positions of the 32- and 64-bit headers.
    const uint64_t oPh = b64 ? qwLit(p + 32, 8) : qwLit(p + 28, 4);
    const uint64_t oSh = b64 ? qwLit(p + 40, 8) : qwLit(p + 32, 4);
    const uint64_t nPhTaille = qwLit(p + (b64 ? 54 : 42), 2), nPh = qwLit(p + (b64 ? 56 : 44), 2);
    const uint64_t nShTaille = qwLit(p + (b64 ? 58 : 46), 2), nSh = qwLit(p + (b64 ? 60 : 48), 2);
    uint64_t oFin = b64 ? 64 : 52;
    oFin = qwMax(oFin, qwSomme(oPh, nPh * nPhTaille));
    oFin = qwMax(oFin, qwSomme(oSh, nSh * nShTaille));
    // Entries shorter than their class's are not read: their fields would lie past them.
    const uint64_t nPhMin = b64 ? 56 : 32, nShMin = b64 ? 64 : 40;
    for (uint64_t i = 0; nPhTaille >= nPhMin && i < nPh && qwSomme(oPh, (i + 1) * nPhTaille) <= n; ++i) {
        const uint8_t *e = p + oPh + i * nPhTaille;
        uint64_t oOff = b64 ? qwLit(e + 8, 8) : qwLit(e + 4, 4);
        uint64_t nTaille = b64 ? qwLit(e + 32, 8) : qwLit(e + 16, 4);
        oFin = qwMax(oFin, qwSomme(oOff, nTaille));
    }
    for (uint64_t i = 0; nShTaille >= nShMin && i < nSh && qwSomme(oSh, (i + 1) * nShTaille) <= n; ++i) {
        const uint8_t *e = p + oSh + i * nShTaille;
        if (qwLit(e + 4, 4) == 8) // SHT_NOBITS: no bytes in the file
            continue;
        uint64_t oOff = b64 ? qwLit(e + 24, 8) : qwLit(e + 16, 4);
        uint64_t nTaille = b64 ? qwLit(e + 32, 8) : qwLit(e + 20, 4);
        oFin = qwMax(oFin, qwSomme(oOff, nTaille));
    }
    return oFin;
}

std::vector<stBLOCPORTE> tabBlocsPortes(const uint8_t *p, size_t n, std::string *psReste)
{
    std::vector<stBLOCPORTE> tab;
    psReste->clear();
    uint64_t o = qwFinImageElf(p, n);
    if (o == 0 || o > n) {
        *psReste = "not an ELF image";
        return tab;
    }
    while (o < n) {
        if (n - o < sizeof(_stINFODLL)) {
            *psReste = std::to_string(n - o) + " bytes at offset " + std::to_string(o) + " are not a carried block";
            return tab;
        }
        stBLOCPORTE st;
        st.oOffset = o;
        st.sNom.assign(reinterpret_cast<const char *>(p + o), strnlen(reinterpret_cast<const char *>(p + o), 261));
        st.dwTailleBloc = static_cast<uint32_t>(qwLit(p + o + 522, 4));
        uint64_t oBloc = o + sizeof(_stINFODLL);
        if (st.dwTailleBloc > n - oBloc) {
            *psReste = "record at offset " + std::to_string(o) + " announces " + std::to_string(st.dwTailleBloc) +
                       " bytes, past the end of the file";
            return tab;
        }
        unsigned char byMethode;
        uint64_t qwBloc;
        uint32_t dwDecode;
        std::vector<unsigned char> tabBloc(p + oBloc, p + oBloc + st.dwTailleBloc);
        if (!CCompresseurBase::s_bLitEntete(tabBloc.data(), tabBloc.size(), byMethode, qwBloc, dwDecode)) {
            st.sProbleme = "not a compressed block";
        } else {
            st.nMethode = byMethode;
            st.dwTailleDecodee = dwDecode;
            uint64_t qwMaxDecode = byMethode == CCompresseurBase::eCOMPRESSEUR_COPIE
                                       ? qwBloc - CCompresseurBase::TAILLE_ENTETE_COPIE
                                   : byMethode == CCompresseurBase::eCOMPRESSEUR_ZLW
                                       ? CZLWCompresseur::s_qwTailleDecodeeMax(qwBloc - CCompresseurBase::TAILLE_ENTETE_CODE)
                                       : 0;
            if (qwBloc != st.dwTailleBloc)
                st.sProbleme = "block of " + std::to_string(qwBloc) + " bytes in a record of " +
                               std::to_string(st.dwTailleBloc);
            else if (byMethode == CCompresseurBase::eCOMPRESSEUR_CODE2)
                st.sProbleme = "method 2 has no decoder";
            else if (dwDecode > qwMaxDecode)
                st.sProbleme = "announced size impossible for the payload";
        }
        if (st.sProbleme.empty()) {
            std::vector<unsigned char> tabSortie(st.dwTailleDecodee);
            CCompresseur clCompresseur(CCompresseurBase::eCOMPRESSEUR_ZLW);
            clCompresseur.m_pbyEntree = tabBloc.data();
            clCompresseur.m_dwTailleEntree = st.dwTailleBloc;
            clCompresseur.m_pbySortie = tabSortie.data();
            clCompresseur.m_dwTailleSortie = st.dwTailleDecodee;
            st.bDecode = clCompresseur.dwDecompression(CCompresseurBase::eCOMPRESSEUR_AUCUN) == st.dwTailleDecodee;
            if (!st.bDecode)
                st.sProbleme = "corrupt data";
        }
        tab.push_back(st);
        o = oBloc + st.dwTailleBloc;
    }
    return tab;
}

void AfficheBlocsPortes(const uint8_t *p, size_t n, int64_t oOffsetTQL)
{
    std::string sReste;
    std::vector<stBLOCPORTE> tab = tabBlocsPortes(p, n, &sReste);
    printf("carried blocks: %zu\n", tab.size());
    bool bTrouve = false;
    for (const stBLOCPORTE &st : tab) {
        const char *pszMethode = st.nMethode == 0 ? "stored" : st.nMethode == 4 ? "ZLW" : st.nMethode == 2 ? "method 2" : "?";
        printf("  offset %llu: \"%s\", %u bytes, %s", static_cast<unsigned long long>(st.oOffset), st.sNom.c_str(),
               st.dwTailleBloc, pszMethode);
        if (st.nMethode >= 0)
            printf(", %u bytes decoded", st.dwTailleDecodee);
        printf(", %s", st.bDecode ? "decodes" : ("does not decode: " + st.sProbleme).c_str());
        if (oOffsetTQL != 0 && static_cast<uint64_t>(oOffsetTQL) == st.oOffset) {
            printf(" (the application library)");
            bTrouve = true;
        }
        printf("\n");
    }
    if (!sReste.empty() && sReste != "not an ELF image")
        printf("  %s\n", sReste.c_str());
    if (oOffsetTQL != 0 && !bTrouve)
        printf("  no carried block starts at the application library offset %lld\n", static_cast<long long>(oOffsetTQL));
}
