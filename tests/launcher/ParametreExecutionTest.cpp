#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "launcher/ParametreExecution.h"
#include "support/TestSupport.h"

namespace {

// Reads the section "S" instead of whatever is asked: shows that the section-less forms
// go through the virtual table.
class CParametreDerive : public CParametreExecution {
public:
    int nLitChaineSection(const char *, const char *pszCle, const char *pszDefaut, char *pszSortie,
                          int nTaille) override
    {
        return CParametreExecution::nLitChaineSection("S", pszCle, pszDefaut, pszSortie, nTaille);
    }
    int nLitEntierSection(const char *, const char *pszCle, int nDefaut) override
    {
        return CParametreExecution::nLitEntierSection("S", pszCle, nDefaut);
    }
    bool bEcritChaineSection(const char *, const char *pszCle, const char *pszValeur) override
    {
        return CParametreExecution::bEcritChaineSection("S", pszCle, pszValeur);
    }
};

}  // namespace

TEST(ParametreExecution, NamesFromTheExecutablePath)
{
    CParametreExecution cl;
    cl.Initialise("/opt/app/billing");
    EXPECT_STREQ(cl.pszGetNomPhysiqueComplet(), "/opt/app/billing.TX");
    EXPECT_STREQ(cl.pszGetNomStandardApplication(), "billing");
    EXPECT_STREQ(cl.pszGetNomApplication(), "BILLING");
    EXPECT_STREQ(cl.pszGetCleCryptage(), "");

    cl.Initialise("/opt/app/\xC9l\xE8ve app.bin");
    EXPECT_STREQ(cl.pszGetNomPhysiqueComplet(), "/opt/app/\xC9l\xE8ve app.TX");
    EXPECT_STREQ(cl.pszGetNomStandardApplication(), "\xC9l\xE8ve app");
    EXPECT_STREQ(cl.pszGetNomApplication(), "ELEVEAPP");

    EXPECT_EQ(cl.nGetVersion(), 4);
    EXPECT_EQ(cl.nGetCompatSince(), 1);
    EXPECT_EQ(cl.nGetDllNum(), 0);
}

TEST(ParametreExecution, SlotOrderSeenByTheEngine)
{
    CParametreExecution cl;
    cl.Initialise("/opt/app/billing");
    // The engine calls through the table by position: check the positions it relies on.
    typedef int (*PFN_INT)(void *);
    typedef const char *(*PFN_TEXT)(void *);
    void **ppTable = *reinterpret_cast<void ***>(&cl);
    EXPECT_EQ(reinterpret_cast<PFN_INT>(ppTable[0])(&cl), 4);
    EXPECT_EQ(reinterpret_cast<PFN_INT>(ppTable[1])(&cl), 1);
    EXPECT_EQ(reinterpret_cast<PFN_INT>(ppTable[2])(&cl), 0);
    EXPECT_STREQ(reinterpret_cast<PFN_TEXT>(ppTable[6])(&cl), "BILLING");
    EXPECT_STREQ(reinterpret_cast<PFN_TEXT>(ppTable[7])(&cl), "/opt/app/billing.TX");
    EXPECT_STREQ(reinterpret_cast<PFN_TEXT>(ppTable[13])(&cl), "");
    EXPECT_STREQ(reinterpret_cast<PFN_TEXT>(ppTable[18])(&cl), "billing");
}

TEST(ParametreExecution, ReadAndWriteSlotsSeenByTheEngine)
{
    tqtest::CTempDir clDir;
    std::string clTx = clDir.sFichier("prog.TX");
    ASSERT_TRUE(tqtest::bEcritFichier(clTx, "[S]\nk = value\nn = 5\n"));
    CParametreExecution cl;
    cl.Initialise(clDir.sFichier("prog").c_str());
    void **ppTable = *reinterpret_cast<void ***>(&cl);
    typedef bool (*PFN_BOOL)(void *);
    typedef int (*PFN_LIT_SECTION)(void *, const char *, const char *, const char *, char *, int);
    typedef int (*PFN_ENTIER_SECTION)(void *, const char *, const char *, int);
    typedef int (*PFN_LIT_SECTION_ML)(void *, const char *, const char *, const char *, const char *, const char *,
                                      char *, int);
    typedef int (*PFN_ENTIER_SECTION_ML)(void *, const char *, const char *, const char *, const char *, int);
    typedef bool (*PFN_ECRIT_SECTION)(void *, const char *, const char *, const char *);
    typedef bool (*PFN_ECRIT_ENTIER_SECTION)(void *, const char *, const char *, int);
    typedef int (*PFN_LIT)(void *, const char *, const char *, char *, int);
    typedef int (*PFN_ENTIER)(void *, const char *, int);

    char szOut[64];
    EXPECT_TRUE(reinterpret_cast<PFN_BOOL>(ppTable[8])(&cl));
    EXPECT_EQ(reinterpret_cast<PFN_LIT_SECTION>(ppTable[10])(&cl, "S", "k", "", szOut, sizeof szOut), 5);
    EXPECT_STREQ(szOut, "value");
    EXPECT_EQ(reinterpret_cast<PFN_ENTIER_SECTION>(ppTable[12])(&cl, "S", "n", 0), 5);
    EXPECT_EQ(reinterpret_cast<PFN_LIT_SECTION_ML>(ppTable[15])(&cl, "S", "none", "S", "k", "", szOut, sizeof szOut),
              5);
    EXPECT_EQ(reinterpret_cast<PFN_ENTIER_SECTION_ML>(ppTable[17])(&cl, "S", "none", "S", "n", 0), 5);
    EXPECT_TRUE(reinterpret_cast<PFN_ECRIT_SECTION>(ppTable[20])(&cl, "S", "w", "x"));
    EXPECT_TRUE(reinterpret_cast<PFN_ECRIT_ENTIER_SECTION>(ppTable[22])(&cl, "S", "m", -5));
    EXPECT_EQ(tqtest::sLitFichier(clTx), "[S]\nk = value\nn = 5\nw = x\nm = -5\n");

    // The section-less slots answer what the direct calls answer.
    char szDirect[64];
    EXPECT_EQ(reinterpret_cast<PFN_LIT>(ppTable[9])(&cl, "k", "d", szOut, sizeof szOut),
              cl.nLitChaine("k", "d", szDirect, sizeof szDirect));
    EXPECT_STREQ(szOut, szDirect);
    EXPECT_EQ(reinterpret_cast<PFN_ENTIER>(ppTable[11])(&cl, "n", 3), cl.nLitEntier("n", 3));
    EXPECT_TRUE(reinterpret_cast<bool (*)(void *, const char *, const char *)>(ppTable[19])(&cl, "e", "1"));
    EXPECT_TRUE(reinterpret_cast<bool (*)(void *, const char *, int)>(ppTable[21])(&cl, "f", 2));
    EXPECT_EQ(tqtest::sLitFichier(clTx), "[S]\nk = value\nn = 5\nw = x\nm = -5\n[]\ne = 1\nf = 2\n");
}

TEST(ParametreExecution, WithoutFileNameReadsGiveZero)
{
    CParametreExecution cl;
    char szOut[16] = "untouched";
    EXPECT_EQ(cl.nLitEntierSection("S", "k", 9), 0);
    EXPECT_EQ(cl.nLitEntier("k", 9), 0);
    EXPECT_EQ(cl.nLitChaineSection("S", "k", "dflt", szOut, sizeof szOut), 0);
    EXPECT_STREQ(szOut, "untouched");
    EXPECT_EQ(cl.nLitChaineSectionML("S", "a", "S", "b", "dflt", szOut, sizeof szOut), 0);
    EXPECT_EQ(cl.nLitEntierSectionML("S", "a", "S", "b", 5), 0);
    EXPECT_FALSE(cl.bDisponible());
    EXPECT_FALSE(cl.bEcritChaineSection("S", "k", "v"));
}

TEST(ParametreExecution, ReadsWritesAndFallbacks)
{
    tqtest::CTempDir clDir;
    std::string clExe = clDir.sFichier("prog");
    std::string clTx = clDir.sFichier("prog.TX");
    ASSERT_TRUE(tqtest::bEcritFichier(clTx, "[FRAMEWORK]\nVMPATH = /x/y\n[ML]\nfirst =\nsecond = two\n"
                                             "n1 = -1886417009\nn2 = 12\nn3 = 7\n"));
    CParametreExecution cl;
    cl.Initialise(clExe.c_str());
    EXPECT_EQ(std::string(cl.pszGetNomPhysiqueComplet()), clTx);
    EXPECT_TRUE(cl.bDisponible());

    char szOut[260];
    EXPECT_EQ(cl.nLitChaineSection("FRAMEWORK", "VMPATH", "", szOut, sizeof szOut), 4);
    EXPECT_STREQ(szOut, "/x/y");
    EXPECT_EQ(cl.nLitChaineSection("FRAMEWORK", "MISSING", "dflt", szOut, sizeof szOut), 4);
    EXPECT_STREQ(szOut, "dflt");

    // An empty first value falls back to the second key; a missing second gives the default.
    EXPECT_EQ(cl.nLitChaineSectionML("ML", "first", "ML", "second", "dflt", szOut, sizeof szOut), 3);
    EXPECT_STREQ(szOut, "two");
    EXPECT_EQ(cl.nLitChaineSectionML("ML", "second", "ML", "first", "dflt", szOut, sizeof szOut), 3);
    EXPECT_EQ(cl.nLitChaineSectionML("ML", "none", "ML", "none2", "dflt", szOut, sizeof szOut), 4);
    EXPECT_STREQ(szOut, "dflt");

    EXPECT_EQ(cl.nLitEntierSectionML("ML", "n3", "ML", "n2", 1), 7);
    EXPECT_EQ(cl.nLitEntierSectionML("ML", "absent", "ML", "n2", 1), 12);
    EXPECT_EQ(cl.nLitEntierSectionML("ML", "absent", "ML", "absent2", -4), -4);
    // A stored value equal to the sentinel counts as absent.
    EXPECT_EQ(cl.nLitEntierSectionML("ML", "n1", "ML", "n2", 1), 12);

    EXPECT_TRUE(cl.bEcritEntierSection("ML", "neg", -5));
    EXPECT_EQ(cl.nLitEntierSection("ML", "neg", 0), -5);
    EXPECT_NE(tqtest::sLitFichier(clTx).find("neg = -5\n"), std::string::npos);
    EXPECT_TRUE(cl.bEcritChaineSection("NEW", "k", "v"));
    EXPECT_EQ(cl.nLitChaineSection("new", "K", "", szOut, sizeof szOut), 1);

    unlink(clTx.c_str());
    EXPECT_FALSE(cl.bDisponible());
}

TEST(ParametreExecution, SectionlessFormsUseTheVirtualSectionForms)
{
    tqtest::CTempDir clDir;
    std::string clTx = clDir.sFichier("prog.TX");
    ASSERT_TRUE(tqtest::bEcritFichier(clTx, "[S]\nk = text\nn = 42\n"));
    CParametreDerive cl;
    cl.Initialise(clDir.sFichier("prog").c_str());
    char szOut[32];
    EXPECT_EQ(cl.nLitChaine("k", "", szOut, sizeof szOut), 4);
    EXPECT_STREQ(szOut, "text");
    EXPECT_EQ(cl.nLitEntier("n", 0), 42);
    EXPECT_EQ(cl.nLitChaineML("none", "k", "", szOut, sizeof szOut), 4);
    EXPECT_EQ(cl.nLitEntierML("none", "n", 0), 42);
    EXPECT_TRUE(cl.bEcritEntier("m", 3));
    EXPECT_EQ(cl.nLitEntier("m", 0), 3);
    EXPECT_EQ(tqtest::sLitFichier(clTx), "[S]\nk = text\nn = 42\nm = 3\n");
}
