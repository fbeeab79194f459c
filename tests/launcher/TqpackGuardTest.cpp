// tqpack on hostile inputs: what is not a regular file, and launchers whose section
// headers were forged to make a stamp write over something else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "LauncherFixture.h"

using namespace tqtest;

namespace {

const int gnDelaiMs = 20000;

stRESULTATPROCESSUS Tqpack(const std::vector<std::string> &tabArgs)
{
    std::vector<std::string> tabArgv = {sBin("tqpack")};
    tabArgv.insert(tabArgv.end(), tabArgs.begin(), tabArgs.end());
    return Execute(tabArgv, {}, "", gnDelaiMs);
}

uint64_t nLit(const std::string &s, size_t o, int n)
{
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(s[o + static_cast<size_t>(i)]);
    return v;
}

void Ecrit(std::string &s, size_t o, int n, uint64_t v)
{
    for (int i = 0; i < n; ++i)
        s[o + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// A launcher image and its section headers, by name.
struct stIMAGE {
    std::string s;
    bool b64;
    size_t oTable, nEntree, nNombre;
    explicit stIMAGE(const std::string &sFichier) : s(sLitFichier(sFichier))
    {
        b64 = s[4] == 2;
        oTable = nLit(s, b64 ? 40 : 32, b64 ? 8 : 4);
        nEntree = nLit(s, b64 ? 58 : 46, 2);
        nNombre = nLit(s, b64 ? 60 : 48, 2);
    }
    size_t oEntree(const std::string &sNom) const
    {
        const size_t oNoms = nOffset(nLit(s, b64 ? 62 : 50, 2));
        for (size_t i = 0; i < nNombre; ++i)
            if (strcmp(s.c_str() + oNoms + nLit(s, oTable + i * nEntree, 4), sNom.c_str()) == 0)
                return oTable + i * nEntree;
        return 0;
    }
    size_t nOffset(size_t nIndex) const
    {
        return nLit(s, oTable + nIndex * nEntree + (b64 ? 24 : 16), b64 ? 8 : 4);
    }
    uint64_t oSection(const std::string &sNom) const
    {
        return nLit(s, oEntree(sNom) + (b64 ? 24 : 16), b64 ? 8 : 4);
    }
    void Deplace(const std::string &sNom, uint64_t oNouveau)
    {
        Ecrit(s, oEntree(sNom) + (b64 ? 24 : 16), b64 ? 8 : 4, oNouveau);
    }
};

} // namespace

TEST(TqpackGuard, InputsThatAreNotRegularFilesAreRefusedAtOnce)
{
    CTempDir clRep;
    const std::string sFifo = clRep.sFichier("fifo"), sOut = clRep.sFichier("out");
    ASSERT_EQ(mkfifo(sFifo.c_str(), 0600), 0);
    for (const std::string &sEntree : {clRep.sChemin(), sFifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        for (const std::vector<std::string> &tabArgs :
             {std::vector<std::string>{"inspect", sEntree}, std::vector<std::string>{"stamp", sEntree, sOut},
              std::vector<std::string>{"embed", sEntree, sOut, sBin("tq150vm.so")},
              std::vector<std::string>{"embed", sBin("tqexe"), sOut, sEntree}}) {
            SCOPED_TRACE(tabArgs[0] + " " + sEntree);
            stRESULTATPROCESSUS st = Tqpack(tabArgs);
            EXPECT_EQ(st.nStatut, 1) << st.sErreur;
            EXPECT_EQ(st.sErreur.rfind("tqpack: " + sEntree + ": ", 0), 0u) << st.sErreur;
            EXPECT_EQ(st.sErreur.find('\n'), st.sErreur.size() - 1) << st.sErreur;
            EXPECT_FALSE(bExiste(sOut));
        }
    }
}

TEST(TqpackGuard, ForgedSectionOffsetsAreRefusedBeforeAnythingIsWritten)
{
    CTempDir clRep;
    const stIMAGE stOrigine(sBin("tqexe"));
    ASSERT_NE(stOrigine.oEntree("tqfilepath"), 0u);
    struct stFORGE {
        const char *pszNom;
        const char *pszSection;
        uint64_t oNouveau;
    };
    const std::vector<stFORGE> tabForges = {
        {"data directory over the ELF header", "tqfilepath", 0},
        {"data directory over the information block", "tqfilepath", stOrigine.oSection("tqinfoexe") + 100},
        {"data directory over the section table", "tqfilepath", stOrigine.oTable},
        {"data directory over the code", "tqfilepath", stOrigine.oSection(".text")},
        {"data directory where the loader maps nothing", "tqfilepath", stOrigine.s.size() - 300},
        {"information block over the section names", "tqinfoexe", stOrigine.nOffset(nLit(stOrigine.s, stOrigine.b64 ? 62 : 50, 2))},
    };
    for (const stFORGE &f : tabForges) {
        SCOPED_TRACE(f.pszNom);
        stIMAGE st = stOrigine;
        st.Deplace(f.pszSection, f.oNouveau);
        const std::string sForge = clRep.sFichier("forged"), sOut = clRep.sFichier("out");
        ASSERT_TRUE(bEcritFichier(sForge, st.s, 0755));
        stRESULTATPROCESSUS stRes = Tqpack({"stamp", sForge, sOut, "--data-dir", "/x", "--project", "p"});
        EXPECT_EQ(stRes.nStatut, 1) << stRes.sErreur;
        EXPECT_NE(stRes.sErreur.find("not a launcher: "), std::string::npos) << stRes.sErreur;
        EXPECT_FALSE(bExiste(sOut));
        EXPECT_EQ(Tqpack({"inspect", sForge}).nStatut, 1);
    }
    // The untouched launcher still stamps, and only inside its fields.
    const std::string sOut = clRep.sFichier("out");
    ASSERT_EQ(Tqpack({"stamp", sBin("tqexe"), sOut, "--data-dir", "/x"}).nStatut, 0);
    const std::string sStampe = sLitFichier(sOut);
    ASSERT_EQ(sStampe.size(), stOrigine.s.size());
    const uint64_t oChamp = stOrigine.oSection("tqfilepath");
    for (size_t i = 0; i < sStampe.size(); ++i) {
        if (sStampe[i] != stOrigine.s[i]) {
            ASSERT_TRUE(i >= oChamp && i < oChamp + 261) << i;
        }
    }
}
