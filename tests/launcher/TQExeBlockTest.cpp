#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compression/Compresseur.h"
#include "containers/SimpleBuffer.h"
#include "launcher/TQExe.h"
#include "support/TestSupport.h"

namespace {

// A launcher object reading a file of the test's choice as its own.
class CTQExeSurFichier : public CTQExe {
public:
    explicit CTQExeSurFichier(const std::string &sFichier) : CTQExe(nullptr, nullptr, "")
    {
        m_clNomModule.Set(sFichier.c_str());
    }
};

std::string Bloc(const std::string &sDonnees)
{
    std::string in(sDonnees), out(in.size() + 7, '\0');
    uint32_t n = CCompresseur::ms_clCompresseurZLW.dwCompression(
        reinterpret_cast<unsigned char *>(&in[0]), in.size(), reinterpret_cast<unsigned char *>(&out[0]), out.size());
    out.resize(n);
    return out;
}

// The 526-byte record carrying the size, then the block.
std::string Porte(const std::string &sBloc)
{
    std::string s(526, 'R');
    uint32_t n = static_cast<uint32_t>(sBloc.size());
    memcpy(&s[522], &n, 4);
    return s + sBloc;
}

_stINFODLL Info(uint32_t dwTaille)
{
    _stINFODLL st;
    memset(&st, 0, sizeof st);
    st.dwTailleCompressee = dwTaille;
    return st;
}

std::string Texte(size_t n)
{
    std::string s;
    while (s.size() < n)
        s += "the carried library block, line " + std::to_string(s.size() % 97) + "\n";
    s.resize(n);
    return s;
}

} // namespace

TEST(TQExeBlock, ChargeBlockReadsInsideTheFileOnly)
{
    tqtest::CTempDir dir;
    std::string f = dir.sFichier("exe");
    ASSERT_TRUE(tqtest::bEcritFichier(f, "0123456789"));
    CTQExeSurFichier exe(f);
    char buf[8] = {};
    EXPECT_TRUE(exe.bChargeBlock(3, 4, buf));
    EXPECT_EQ(std::string(buf, 4), "3456");
    EXPECT_TRUE(exe.bChargeBlock(10, 0, buf));
    EXPECT_FALSE(exe.bChargeBlock(8, 4, buf));  // runs past the end
    EXPECT_FALSE(exe.bChargeBlock(50, 1, buf)); // fails through the read
    EXPECT_FALSE(exe.bChargeBlock(-1, 4, buf)); // would read from the start
    CTQExeSurFichier absent(dir.sFichier("none"));
    EXPECT_FALSE(absent.bChargeBlock(0, 1, buf));
}

TEST(TQExeBlock, DecompresseDLLUnpacksCarriedBlocks)
{
    tqtest::CTempDir dir;
    std::string f = dir.sFichier("exe");
    std::string texte = Texte(50000), petit = "tiny";
    std::string zlw = Bloc(texte), stored = Bloc(petit);
    ASSERT_EQ(zlw[0], 4);
    ASSERT_EQ(stored[0], 0);
    std::string image = std::string(1000, 'E');
    long long o1 = static_cast<long long>(image.size());
    image += Porte(zlw);
    long long o2 = static_cast<long long>(image.size());
    image += Porte(stored);
    ASSERT_TRUE(tqtest::bEcritFichier(f, image));
    CTQExeSurFichier exe(f);

    CSimpleBuffer out;
    unsigned int n = 99;
    ASSERT_TRUE(exe.__bDecompresseDLL(o1, Info(static_cast<uint32_t>(zlw.size())), &out, &n));
    ASSERT_EQ(n, texte.size());
    EXPECT_EQ(std::string(reinterpret_cast<char *>(out.pGetBuffer()), n), texte);
    ASSERT_TRUE(exe.__bDecompresseDLL(o2, Info(static_cast<uint32_t>(stored.size())), &out, &n));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(out.pGetBuffer()), n), petit);

    // A record claiming more bytes than the file holds: unreadable, nothing
    // written, and no allocation of that size.
    n = 99;
    EXPECT_FALSE(exe.__bDecompresseDLL(o2, Info(0xFFFFFFF0u), &out, &n));
    EXPECT_EQ(n, 99u);
    EXPECT_FALSE(exe.__bDecompresseDLL(-5, Info(10), &out, &n));
}

TEST(TQExeBlock, DecompresseDLLRefusesImpossibleSizes)
{
    tqtest::CTempDir dir;
    std::string texte = Texte(3000);
    std::string zlw = Bloc(texte);
    auto ecrit = [&](const std::string &bloc) {
        std::string f = dir.sFichier("exe" + std::to_string(bloc.size()) + std::to_string(bloc[5] & 0xFF));
        EXPECT_TRUE(tqtest::bEcritFichier(f, Porte(bloc)));
        return f;
    };
    CSimpleBuffer out;
    unsigned int n = 7;

    // Announced decoded size of 4 GB for a payload of a few hundred bytes.
    std::string enorme(zlw);
    enorme[5] = enorme[6] = enorme[7] = enorme[8] = '\xFF';
    CTQExeSurFichier a(ecrit(enorme));
    EXPECT_FALSE(a.__bDecompresseDLL(0, Info(static_cast<uint32_t>(enorme.size())), &out, &n));
    EXPECT_EQ(n, 7u);

    // Unknown method, and method 2 with a size: nothing can decode them.
    std::string inconnu(zlw);
    inconnu[0] = 9;
    CTQExeSurFichier b(ecrit(inconnu));
    EXPECT_FALSE(b.__bDecompresseDLL(0, Info(static_cast<uint32_t>(inconnu.size())), &out, &n));
    std::string deux(zlw);
    deux[0] = 2;
    CTQExeSurFichier c(ecrit(deux));
    EXPECT_FALSE(c.__bDecompresseDLL(0, Info(static_cast<uint32_t>(deux.size())), &out, &n));

    // Stored size larger than the bytes carried.
    std::string copie = Bloc("abcdef");
    copie[1] = 40;
    CTQExeSurFichier d(ecrit(copie));
    EXPECT_FALSE(d.__bDecompresseDLL(0, Info(static_cast<uint32_t>(copie.size())), &out, &n));

    // A plausible size over a damaged stream: read, decoded to nothing.
    std::string abime(zlw);
    for (size_t i = 20; i < abime.size(); i += 3)
        abime[i] = static_cast<char>(abime[i] ^ 0x5A);
    CTQExeSurFichier e(ecrit(abime));
    EXPECT_TRUE(e.__bDecompresseDLL(0, Info(static_cast<uint32_t>(abime.size())), &out, &n));
    EXPECT_EQ(n, 0u);

    // A decoded size shrunk by one: the stream goes on past it, so nothing
    // comes out rather than a cut text.
    std::string court(zlw);
    court[5] = static_cast<char>(court[5] - 1);
    CTQExeSurFichier g(ecrit(court));
    n = 7;
    EXPECT_TRUE(g.__bDecompresseDLL(0, Info(static_cast<uint32_t>(court.size())), &out, &n));
    EXPECT_EQ(n, 0u);
}
