#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "containers/SimpleBuffer.h"
#include "launcher/TQExe.h"
#include "support/TestSupport.h"

namespace {

using tqtest::Execute;

std::string Tqpack()
{
    return tqtest::sBin("tqpack");
}

class CTQExeSurFichier : public CTQExe {
public:
    explicit CTQExeSurFichier(const std::string &sFichier) : CTQExe(nullptr, nullptr, "")
    {
        m_clNomModule.Set(sFichier.c_str());
    }
};

// Reads the record at `offset` of `exe` and unpacks its block as the
// launcher does.
std::string Deballe(const std::string &exe, long long offset, bool *pbOk)
{
    CTQExeSurFichier clExe(exe);
    _stINFODLL stInfo;
    *pbOk = clExe.bChargeBlock(offset, sizeof(stInfo), &stInfo);
    CSimpleBuffer clSortie;
    unsigned int n = 0;
    *pbOk = *pbOk && clExe.__bDecompresseDLL(offset, stInfo, &clSortie, &n);
    return std::string(reinterpret_cast<char *>(clSortie.pGetBuffer()), n);
}

long long Offset(const std::string &sortie)
{
    size_t n = sortie.find("block at offset ");
    return n == std::string::npos ? -1 : atoll(sortie.c_str() + n + 16);
}

} // namespace

TEST(TqpackEmbed, AppendsBlocksTheLauncherCanUnpack)
{
    tqtest::CTempDir dir;
    std::string in = tqtest::sBin("tqexe"), a = dir.sFichier("a"), b = dir.sFichier("b");
    std::string script, petit = "short";
    for (int i = 0; i < 400; ++i)
        script += "echo line " + std::to_string(i % 40) + " of the carried application\n";
    ASSERT_TRUE(tqtest::bEcritFichier(dir.sFichier("app.tql"), script));
    ASSERT_TRUE(tqtest::bEcritFichier(dir.sFichier("petit"), petit));

    auto r1 = Execute({Tqpack(), "embed", in, a, dir.sFichier("app.tql"), "--application"});
    ASSERT_EQ(r1.nStatut, 0) << r1.sErreur;
    auto r2 = Execute({Tqpack(), "embed", a, b, dir.sFichier("petit"), "--name", "extra"});
    ASSERT_EQ(r2.nStatut, 0) << r2.sErreur;
    long long o1 = Offset(r1.sSortie), o2 = Offset(r2.sSortie);
    ASSERT_GT(o1, 0);
    EXPECT_EQ(static_cast<size_t>(o1), tqtest::sLitFichier(in).size());
    EXPECT_EQ(tqtest::nModeFichier(b) & 0777, tqtest::nModeFichier(in) & 0777);

    bool ok = false;
    EXPECT_EQ(Deballe(b, o1, &ok), script);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Deballe(b, o2, &ok), petit);
    EXPECT_TRUE(ok);

    auto insp = Execute({Tqpack(), "inspect", b});
    ASSERT_EQ(insp.nStatut, 0) << insp.sErreur;
    EXPECT_NE(insp.sSortie.find("application library offset: " + std::to_string(o1) + "\n"), std::string::npos);
    EXPECT_NE(insp.sSortie.find("carried blocks: 2\n"), std::string::npos) << insp.sSortie;
    EXPECT_NE(insp.sSortie.find("offset " + std::to_string(o1) + ": \"app.tql\""), std::string::npos);
    EXPECT_NE(insp.sSortie.find("decodes (the application library)"), std::string::npos);
    EXPECT_NE(insp.sSortie.find("offset " + std::to_string(o2) + ": \"extra\", 10 bytes, stored, 5 bytes decoded, decodes"),
              std::string::npos)
        << insp.sSortie;

    // A launcher without blocks lists none.
    auto plain = Execute({Tqpack(), "inspect", in});
    EXPECT_NE(plain.sSortie.find("carried blocks: 0\n"), std::string::npos);
}

TEST(TqpackEmbed, DamageAndErrorsAreReported)
{
    tqtest::CTempDir dir;
    std::string in = tqtest::sBin("tqexe"), a = dir.sFichier("a");
    std::string data(5000, 'x');
    for (size_t i = 0; i < data.size(); i += 7)
        data[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(tqtest::bEcritFichier(dir.sFichier("d"), data));
    auto r = Execute({Tqpack(), "embed", in, a, dir.sFichier("d")});
    ASSERT_EQ(r.nStatut, 0) << r.sErreur;
    long long o = Offset(r.sSortie);

    // Damage the payload: inspect says the block does not decode.
    std::string image = tqtest::sLitFichier(a);
    for (size_t i = static_cast<size_t>(o) + 526 + 30; i < image.size(); i += 5)
        image[i] = static_cast<char>(image[i] ^ 0x33);
    std::string abime = dir.sFichier("abime");
    ASSERT_TRUE(tqtest::bEcritFichier(abime, image, 0755));
    auto insp = Execute({Tqpack(), "inspect", abime});
    EXPECT_NE(insp.sSortie.find("does not decode: corrupt data"), std::string::npos) << insp.sSortie;

    // A tail that is not a carried block: reported, and embed refuses to
    // append after it.
    std::string queue = dir.sFichier("queue");
    ASSERT_TRUE(tqtest::bEcritFichier(queue, tqtest::sLitFichier(in) + "trailing junk", 0755));
    insp = Execute({Tqpack(), "inspect", queue});
    EXPECT_NE(insp.sSortie.find("13 bytes at offset"), std::string::npos) << insp.sSortie;
    auto e = Execute({Tqpack(), "embed", queue, dir.sFichier("q2"), dir.sFichier("d")});
    EXPECT_EQ(e.nStatut, 1);
    EXPECT_FALSE(tqtest::bExiste(dir.sFichier("q2")));

    EXPECT_EQ(Execute({Tqpack(), "embed", in, dir.sFichier("x"), dir.sFichier("missing")}).nStatut, 1);
    EXPECT_FALSE(tqtest::bExiste(dir.sFichier("x")));
    EXPECT_EQ(Execute({Tqpack(), "embed", a, a, dir.sFichier("d")}).nStatut, 1);
    EXPECT_EQ(Execute({Tqpack(), "embed", dir.sFichier("d"), dir.sFichier("x"), dir.sFichier("d")}).nStatut, 1);
    EXPECT_EQ(Execute({Tqpack(), "embed", in, dir.sFichier("x")}).nStatut, 2);
    EXPECT_EQ(Execute({Tqpack(), "embed", in, dir.sFichier("x"), dir.sFichier("d"), "--bogus"}).nStatut, 2);
}

// One executable, no application library beside it: the engine takes the
// application from the block the launcher carries.
TEST(TqpackEmbed, SingleFileApplicationRuns)
{
    tqtest::CTempDir dir;
    std::string app = dir.sFichier("single");
    ASSERT_TRUE(tqtest::bEcritFichier(dir.sFichier("script"), "print carried {args} at {offset}\nexit 3\n"));
    auto r = Execute({Tqpack(), "embed", tqtest::sBin("tqexe"), app, dir.sFichier("script"), "--application"});
    ASSERT_EQ(r.nStatut, 0) << r.sErreur;
    ASSERT_TRUE(tqtest::bCopieFichier(tqtest::sBin("tq150vm.so"), dir.sFichier("tq150vm.so")));
    ASSERT_EQ(unlink(dir.sFichier("script").c_str()), 0);
    auto run = Execute({app, "one", "two"}, {"LD_LIBRARY_PATH"}, dir.sChemin());
    EXPECT_EQ(run.nStatut, 3) << run.sErreur;
    EXPECT_EQ(run.sSortie.find("carried one two"), 0u) << run.sSortie << run.sErreur;
    EXPECT_NE(run.sSortie.find(" at " + std::to_string(Offset(r.sSortie)) + "\n"), std::string::npos) << run.sSortie;
    EXPECT_FALSE(tqtest::bExiste(dir.sFichier("single.TQL")));

    // A damaged block is not run: the launch fails.
    std::string image = tqtest::sLitFichier(app);
    image[image.size() - 3] = static_cast<char>(image[image.size() - 3] ^ 0x5A);
    std::string bad = dir.sFichier("bad");
    ASSERT_TRUE(tqtest::bEcritFichier(bad, image, 0755));
    auto fail = Execute({bad}, {"LD_LIBRARY_PATH"}, dir.sChemin());
    EXPECT_NE(fail.nStatut, 0);
    EXPECT_EQ(fail.sSortie.find("carried"), std::string::npos);
}
