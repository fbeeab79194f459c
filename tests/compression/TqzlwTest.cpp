#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using tqtest::Execute;

std::string Tqzlw()
{
    return tqtest::sBin("tqzlw");
}

std::string Donnees(size_t n)
{
    std::string s;
    uint32_t x = 7;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += (x >> 20) % 3 ? "alpha beta gamma " : std::string(1, static_cast<char>(x >> 24));
    }
    s.resize(n);
    return s;
}

// Runs the tool through a shell so that standard input can be a file.
tqtest::stRESULTATPROCESSUS Shell(const std::string &cmd)
{
    return Execute({"/bin/sh", "-c", cmd});
}

} // namespace

TEST(Tqzlw, RoundTripsThroughFilesAndPipes)
{
    tqtest::CTempDir dir;
    for (size_t n : {0, 1, 19, 20, 21, 100000}) {
        std::string in = dir.sFichier("in"), z = dir.sFichier("in.z"), back = dir.sFichier("back");
        std::string data = Donnees(n);
        ASSERT_TRUE(tqtest::bEcritFichier(in, data));
        auto c = Execute({Tqzlw(), "-c", "-o", z, in});
        ASSERT_EQ(c.nStatut, 0) << c.sErreur;
        std::string block = tqtest::sLitFichier(z);
        if (n <= 19 || n == 100000) {
            EXPECT_EQ(block[0], n > 19 ? 4 : 0);
        }
        auto d = Execute({Tqzlw(), "-d", "-o", back, z});
        ASSERT_EQ(d.nStatut, 0) << d.sErreur;
        EXPECT_EQ(tqtest::sLitFichier(back), data) << n;
        EXPECT_EQ(tqtest::nModeFichier(back) & 0600, 0600);
        // Standard input to standard output gives the same bytes.
        auto p = Shell("'" + Tqzlw() + "' -c < '" + in + "' | '" + Tqzlw() + "' -d");
        EXPECT_EQ(p.nStatut, 0);
        EXPECT_EQ(p.sSortie, data);
        auto s = Shell("'" + Tqzlw() + "' -c < '" + in + "'");
        EXPECT_EQ(s.sSortie, block);
    }
}

TEST(Tqzlw, BadBlocksFailWithoutOutput)
{
    tqtest::CTempDir dir;
    std::string in = dir.sFichier("in"), z = dir.sFichier("in.z"), out = dir.sFichier("out");
    ASSERT_TRUE(tqtest::bEcritFichier(in, Donnees(20000)));
    ASSERT_EQ(Execute({Tqzlw(), "-c", "-o", z, in}).nStatut, 0);
    std::string block = tqtest::sLitFichier(z);

    struct Case {
        std::string name, bytes;
    } cases[] = {
        {"truncated", block.substr(0, block.size() / 2)},
        {"header", block.substr(0, 7)},
        {"foreign", "plain text, not a block at all\n"},
        {"trailing", block + "xx"},
        {"method2", std::string(1, '\2') + block.substr(1)},
        {"damaged", block.substr(0, 40) + std::string(block.size() - 40, '\x55')},
        {"oversized", block.substr(0, 5) + std::string("\xFF\xFF\xFF\x7F", 4) + block.substr(9)},
        // Decoded size one short: the stream holds codes past it.
        {"shrunk", block.substr(0, 5) + std::string("\x1F\x4E\0\0", 4) + block.substr(9)},
    };
    for (const Case &c : cases) {
        std::string bad = dir.sFichier(c.name);
        ASSERT_TRUE(tqtest::bEcritFichier(bad, c.bytes));
        auto r = Execute({Tqzlw(), "-d", "-o", out, bad});
        EXPECT_EQ(r.nStatut, 1) << c.name;
        // One line naming the input.
        EXPECT_EQ(r.sErreur.find("tqzlw: " + bad + ": "), 0u) << r.sErreur;
        EXPECT_EQ(r.sErreur.find('\n'), r.sErreur.size() - 1) << r.sErreur;
        EXPECT_FALSE(tqtest::bExiste(out)) << c.name;
    }
    // An existing output survives a failed run untouched, and no temporary
    // file is left beside it.
    ASSERT_TRUE(tqtest::bEcritFichier(out, "keep"));
    EXPECT_EQ(Execute({Tqzlw(), "-d", "-o", out, dir.sFichier("truncated")}).nStatut, 1);
    EXPECT_EQ(tqtest::sLitFichier(out), "keep");
    auto ls = Shell("ls '" + dir.sChemin() + "' | grep -c 'out\\.'");
    EXPECT_EQ(ls.sSortie, "0\n");

    auto piped = Shell("printf 'nope' | '" + Tqzlw() + "' -d");
    EXPECT_EQ(piped.nStatut, 1);
    EXPECT_NE(piped.sErreur.find("(stdin)"), std::string::npos);
    EXPECT_TRUE(piped.sSortie.empty());

    EXPECT_EQ(Execute({Tqzlw(), "-d", dir.sFichier("missing")}).nStatut, 1);
    EXPECT_EQ(Execute({Tqzlw()}).nStatut, 1);
    EXPECT_EQ(Execute({Tqzlw(), "-c", "-d", in}).nStatut, 1);
}

TEST(Tqzlw, RefusesInputsTooLargeForABlock)
{
    tqtest::CTempDir dir;
    std::string big = dir.sFichier("big");
    // A sparse file of 4 GiB: refused from its size, before any reading.
    auto t = Shell("truncate -s 4294967296 '" + big + "'");
    ASSERT_EQ(t.nStatut, 0);
    auto r = Execute({Tqzlw(), "-c", "-o", dir.sFichier("big.z"), big});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_NE(r.sErreur.find("too large"), std::string::npos) << r.sErreur;
    EXPECT_FALSE(tqtest::bExiste(dir.sFichier("big.z")));
}
