// tqpack deb on this tree's launcher: what it refuses, and that its packages are
// reproducible. Installing and running the packages is tests/install/deb_test.sh.
#include <gtest/gtest.h>
#include <dirent.h>

#include <algorithm>
#include <cstring>

#include "LauncherFixture.h"

using namespace tqtest;

namespace {

const char gszMaintainer[] = "--maintainer=Jo Doe <jo@example.org>";

stRESULTATPROCESSUS Deb(const std::vector<std::string> &tabArgs, const std::string &sRep,
                        const std::vector<std::string> &tabEnv = {"SOURCE_DATE_EPOCH=1700000000"})
{
    std::vector<std::string> tabArgv = {sBin("tqpack"), "deb"};
    tabArgv.insert(tabArgv.end(), tabArgs.begin(), tabArgs.end());
    return Execute(tabArgv, tabEnv, sRep);
}

size_t nEntrees(const std::string &sRep)
{
    size_t n = 0;
    DIR *pRep = opendir(sRep.c_str());
    while (struct dirent *p = pRep ? readdir(pRep) : nullptr)
        n += strcmp(p->d_name, ".") != 0 && strcmp(p->d_name, "..") != 0;
    if (pRep)
        closedir(pRep);
    return n;
}

} // namespace

TEST(TqpackDeb, RefusesWithOneLineAndWritesNothing)
{
    CTempDir dir;
    const std::string tql = sSource("examples/hello/hello.TQL"), exe = sBin("tqexe");
    ASSERT_TRUE(bEcritFichier(dir.sFichier("pas-un-lanceur"), "#!/bin/sh\necho\n", 0755));
    struct stCAS {
        std::vector<std::string> tabArgs;
        int nStatut;
        const char *pszMessage;
    } tabCas[] = {
        {{"--name", "Hello", "--version", "1.0", "--tql", tql, exe}, 1, "not a valid Debian package name"},
        {{"--name", "h", "--version", "1.0", "--tql", tql, exe}, 1, "not a valid Debian package name"},
        {{"--name", "-hello", "--version", "1.0", "--tql", tql, exe}, 1, "not a valid Debian package name"},
        {{"--name", "hel_lo", "--version", "1.0", "--tql", tql, exe}, 1, "not a valid Debian package name"},
        {{"--name", "hello", "--version", "v1.0", "--tql", tql, exe}, 1, "not a version Debian accepts"},
        {{"--name", "hello", "--version", "1.0-", "--tql", tql, exe}, 1, "not a version Debian accepts"},
        {{"--name", "hello", "--version", "x:1.0", "--tql", tql, exe}, 1, "not a version Debian accepts"},
        {{"--name", "hello", "--version", "1.0 beta", "--tql", tql, exe}, 1, "not a version Debian accepts"},
        {{"--name", "hello", "--version", "1:2.0-3_4", "--tql", tql, exe}, 1, "not a version Debian accepts"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, dir.sFichier("pas-un-lanceur")}, 1, "not a launcher"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, dir.sFichier("absent")}, 1, "No such file"},
        {{"--name", "hello", "--version", "1.0", "--tql", dir.sFichier("absent.TQL"), exe}, 1, "absent.TQL: No such"},
        {{"--name", "hello", "--version", "1.0", "--tql", dir.sChemin(), exe}, 1, "not a regular file"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, "--user", "x", exe}, 2, "belong to --service"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, "--service", "--user", "r00t;rm", exe}, 1, "user name"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, "--service", "--directory", "var/x", exe}, 1,
         "absolute path"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, "--description", "a\nDepends: evil", exe}, 1,
         "one line each"},
        {{"--name", "hello", "--version", "1.0", exe}, 2, "are required"},
        {{"--name", "hello", "--version", "1.0", "--tql", tql, "-o", dir.sFichier("pas-un-lanceur"),
          dir.sFichier("pas-un-lanceur")}, 1, "names an input"},
    };
    for (const stCAS &c : tabCas) {
        std::vector<std::string> tabArgs = c.tabArgs;
        tabArgs.insert(tabArgs.begin(), gszMaintainer);
        auto r = Deb(tabArgs, dir.sChemin());
        SCOPED_TRACE(tabArgs[2] + " " + tabArgs[4] + " " + tabArgs.back());
        EXPECT_EQ(r.nStatut, c.nStatut) << r.sErreur;
        EXPECT_NE(r.sErreur.find(c.pszMessage), std::string::npos) << r.sErreur;
        if (c.nStatut == 1) {
            EXPECT_EQ(std::count(r.sErreur.begin(), r.sErreur.end(), '\n'), 1) << r.sErreur;
        }
        EXPECT_EQ(r.sSortie, "");
        // Only the test's own fake launcher: no package, no working directory left.
        EXPECT_EQ(nEntrees(dir.sChemin()), 1u);
    }
    // Without a maintainer or DEBEMAIL there is no valid Maintainer field to write.
    auto r = Deb({"--name", "hello", "--version", "1.0", "--tql", tql, exe}, dir.sChemin(), {"DEBEMAIL"});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_NE(r.sErreur.find("no maintainer"), std::string::npos) << r.sErreur;
}

TEST(TqpackDeb, SameInputsGiveTheSameBytes)
{
    CTempDir dir;
    const std::string tql = sSource("examples/service/tqsample.TQL");
    ASSERT_TRUE(bEcritFichier(dir.sFichier("app.TQL"), sLitFichier(tql)));
    const std::vector<std::string> tabArgs = {gszMaintainer, "--name",    "tqsample",      "--version",
                                              "2:1.0~rc1-3",  "--tql",     "app.TQL",       "--service",
                                              "--user",       "nobody",    "--directory",   "/var/lib/tqsample",
                                              sBin("tqexe")};
    auto r1 = Deb(tabArgs, dir.sChemin());
    ASSERT_EQ(r1.nStatut, 0) << r1.sErreur;
    // The epoch is not part of the file name; the architecture is the launcher's.
    const std::string sArch = sizeof(void *) == 8 ? "amd64" : "i386";
    const std::string sPaquet = dir.sFichier("tqsample_1.0~rc1-3_" + sArch + ".deb");
    const std::string s1 = sLitFichier(sPaquet);
    ASSERT_FALSE(s1.empty()) << r1.sSortie;
    EXPECT_EQ(nModeFichier(sPaquet) & 0777, 0644);
    ASSERT_EQ(s1.compare(0, 8, "!<arch>\n"), 0);
    // Every ar member dated SOURCE_DATE_EPOCH, owned by 0:0.
    EXPECT_EQ(s1.substr(8, 60), "debian-binary   1700000000  0     0     100644  4         `\n");

    // A newer input file does not change the package while SOURCE_DATE_EPOCH is set.
    ASSERT_TRUE(bEcritFichier(dir.sFichier("app.TQL"), sLitFichier(tql)));
    ASSERT_EQ(Deb(tabArgs, dir.sChemin()).nStatut, 0);
    EXPECT_TRUE(sLitFichier(sPaquet) == s1) << "two builds differ";
    // Another date gives another package.
    ASSERT_EQ(Deb(tabArgs, dir.sChemin(), {"SOURCE_DATE_EPOCH=1700000001"}).nStatut, 0);
    EXPECT_FALSE(sLitFichier(sPaquet) == s1);
    auto r = Deb(tabArgs, dir.sChemin(), {"SOURCE_DATE_EPOCH=yesterday"});
    EXPECT_EQ(r.nStatut, 1);
    EXPECT_NE(r.sErreur.find("SOURCE_DATE_EPOCH"), std::string::npos);
    EXPECT_EQ(nEntrees(dir.sChemin()), 2u); // app.TQL and the package
}
