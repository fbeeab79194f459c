// Temporary files beside their target: replaced whole, or gone, even when a signal
// ends the process midway.
#include <gtest/gtest.h>
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "files/FichierTemporaire.h"
#include "support/TestSupport.h"

using namespace tqtest;

namespace {

std::vector<std::string> tabEntrees(const std::string &sRep)
{
    std::vector<std::string> tab;
    DIR *p = opendir(sRep.c_str());
    while (struct dirent *e = p ? readdir(p) : nullptr)
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            tab.push_back(e->d_name);
    if (p)
        closedir(p);
    return tab;
}

} // namespace

TEST(FichierTemporaire, ReplacesTheTargetWholeWithTheModeAsked)
{
    CTempDir clRep;
    const std::string sCible = clRep.sFichier("out");
    ASSERT_TRUE(bEcritFichier(sCible, "old", 0600));
    {
        CFichierTemporaire cl;
        std::string sErreur;
        ASSERT_TRUE(cl.bCree(sCible, ".t.", &sErreur)) << sErreur;
        EXPECT_EQ(nModeFichier(cl.sNom()), 0600);
        EXPECT_EQ(cl.sNom().rfind(sCible + ".t.", 0), 0u);
        ASSERT_TRUE(cl.bEcrit("new bytes", 9, &sErreur));
        EXPECT_EQ(sLitFichier(sCible), "old"); // not before the rename
        ASSERT_TRUE(cl.bRemplace(0750, &sErreur)) << sErreur;
    }
    EXPECT_EQ(sLitFichier(sCible), "new bytes");
    EXPECT_EQ(nModeFichier(sCible), 0750);
    EXPECT_EQ(tabEntrees(clRep.sChemin()), std::vector<std::string>({"out"}));

    // Never replaced: removed with the object, the target untouched.
    {
        CFichierTemporaire cl;
        std::string sErreur;
        ASSERT_TRUE(cl.bCree(sCible, ".t.", &sErreur));
        ASSERT_TRUE(cl.bEcrit("x", 1, &sErreur));
    }
    EXPECT_EQ(sLitFichier(sCible), "new bytes");
    EXPECT_EQ(tabEntrees(clRep.sChemin()), std::vector<std::string>({"out"}));
}

TEST(FichierTemporaire, SignalsThatEndAToolRemoveIt)
{
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(nSignal);
        CTempDir clRep;
        const std::string sCible = clRep.sFichier("out");
        fflush(nullptr);
        pid_t nPid = fork();
        if (nPid == 0) {
            CFichierTemporaire cl;
            std::string sErreur;
            if (!cl.bCree(sCible, ".t.", &sErreur) || !cl.bEcrit("partial", 7, &sErreur))
                _exit(3);
            raise(nSignal);
            _exit(4); // the signal must end the process
        }
        ASSERT_GT(nPid, 0);
        int nBrut = 0;
        ASSERT_EQ(waitpid(nPid, &nBrut, 0), nPid);
        EXPECT_TRUE(WIFSIGNALED(nBrut) && WTERMSIG(nBrut) == nSignal) << nBrut;
        EXPECT_TRUE(tabEntrees(clRep.sChemin()).empty());
    }
    // After a replacement the handlers are the process's own again.
    struct sigaction stAvant, stApres;
    sigaction(SIGTERM, nullptr, &stAvant);
    {
        CTempDir clRep;
        CFichierTemporaire cl;
        std::string sErreur;
        ASSERT_TRUE(cl.bCree(clRep.sFichier("out"), ".t.", &sErreur));
        ASSERT_TRUE(cl.bRemplace(0644, &sErreur));
    }
    sigaction(SIGTERM, nullptr, &stApres);
    EXPECT_EQ(stAvant.sa_handler, stApres.sa_handler);
}
