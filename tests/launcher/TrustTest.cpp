// What the launcher agrees to load and read, through the real tqexe: as root nothing
// another user can write, never a library whose headers run past its end, never a
// parameter file that is not a small regular file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "LauncherFixture.h"
#include "error/XError.h"
#include "launcher/Proxy.h"

using namespace tqtest;

namespace {

const int gnDelaiMs = 20000;
const char gszScript[] = "print {engine}\nexit 0\n";

uid_t nUidNobody()
{
    struct passwd *p = getpwnam("nobody");
    return p ? p->pw_uid : 65534;
}

// The application of CAppli with a fallback engine outside its directory, on
// LD_LIBRARY_PATH: a refused candidate shows as the fallback being used.
struct stSCENE {
    CAppli clAppli;
    CTempDir clRepli;
    stSCENE()
    {
        bCopieFichier(sMoteur(""), clRepli.sFichier("tq150vm.so"));
        clAppli.bPoseScript(gszScript);
    }
    std::string sRepli() const { return clRepli.sFichier("tq150vm.so"); }
    stRESULTATPROCESSUS Lance(const std::string &sRepertoire = std::string()) const
    {
        return Execute({clAppli.sExe()}, {"LD_LIBRARY_PATH=" + clRepli.sChemin(), "TQE_RECORD_FILE"},
                       sRepertoire.empty() ? clAppli.sRep() : sRepertoire, gnDelaiMs);
    }
    bool bTX(const std::string &sContenu, unsigned nMode = 0644) const
    {
        return bEcritFichier(clAppli.sFichier("app.TX"), sContenu, nMode);
    }
};

struct stCAS {
    const char *pszNom;
    std::function<bool(const stSCENE &)> pfnPrepare;
    std::string (*pfnAttendu)(const stSCENE &); // the engine that must run
    const char *pszRefus;                        // in the refusal line; null: none
};

std::string sBeside(const stSCENE &s)
{
    return s.clAppli.sFichier("tq150vm.so");
}
std::string sExplicite(const stSCENE &s)
{
    return s.clAppli.sFichier("explicit/tq150vm.so");
}
std::string sRepli(const stSCENE &s)
{
    return s.sRepli();
}

void Joue(const std::vector<stCAS> &tabCas)
{
    for (const stCAS &c : tabCas) {
        SCOPED_TRACE(c.pszNom);
        stSCENE s;
        ASSERT_TRUE(c.pfnPrepare(s));
        stRESULTATPROCESSUS st = s.Lance();
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sSortie, c.pfnAttendu(s) + "\n") << st.sErreur;
        if (c.pszRefus) {
            EXPECT_NE(st.sErreur.find(": refused: "), std::string::npos) << st.sErreur;
            EXPECT_NE(st.sErreur.find(c.pszRefus), std::string::npos) << st.sErreur;
        } else {
            EXPECT_EQ(st.sErreur.find("refused"), std::string::npos) << st.sErreur;
        }
    }
}

bool bMoteurBeside(const stSCENE &s, unsigned nMode)
{
    return s.clAppli.bPoseMoteur("") && chmod(sBeside(s).c_str(), nMode) == 0;
}

// The engine beside the launcher and another one the .TX names.
bool bDeuxMoteurs(const stSCENE &s)
{
    return s.clAppli.bPoseMoteur("") && s.clAppli.bPoseMoteur("", "explicit");
}

// Where the last segment's file bytes end (little-endian ELF32 or ELF64).
size_t nFinSegments(const std::string &s)
{
    auto nLit = [&s](size_t o, int n) {
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | static_cast<uint8_t>(s[o + static_cast<size_t>(i)]);
        return static_cast<size_t>(v);
    };
    const bool b64 = s[4] == 2;
    const size_t oTable = b64 ? nLit(32, 8) : nLit(28, 4), nEntree = nLit(b64 ? 54 : 42, 2);
    size_t nFin = 0;
    for (size_t i = 0; i < nLit(b64 ? 56 : 44, 2); ++i) {
        const size_t o = oTable + i * nEntree;
        const size_t nBout = b64 ? nLit(o + 8, 8) + nLit(o + 32, 8) : nLit(o + 4, 4) + nLit(o + 16, 4);
        nFin = nBout > nFin ? nBout : nFin;
    }
    return nFin;
}

} // namespace

TEST(Trust, AsRootOnlyFilesNobodyElseCanWriteAreUsed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const uid_t nNobody = nUidNobody();
    const std::string sVmpath = "[FRAMEWORK]\nVMPATH=explicit/tq150vm.so\n";
    Joue({
        {"root's engine, mode 0644", [](const stSCENE &s) { return bMoteurBeside(s, 0644); }, sBeside, nullptr},
        {"engine of mode 0666", [](const stSCENE &s) { return bMoteurBeside(s, 0666); }, sRepli,
         "tq150vm.so: refused: writable by others (mode 0666)"},
        {"engine writable by its group", [](const stSCENE &s) { return bMoteurBeside(s, 0664); }, sRepli,
         "writable by others (mode 0664)"},
        {"engine owned by nobody",
         [nNobody](const stSCENE &s) { return bMoteurBeside(s, 0755) && chown(sBeside(s).c_str(), nNobody, 0) == 0; },
         sRepli, "owned by uid"},
        {"world-writable application directory",
         [](const stSCENE &s) { return bMoteurBeside(s, 0755) && chmod(s.clAppli.sRep().c_str(), 0777) == 0; }, sRepli,
         "is writable by others (mode 0777)"},
        {"application directory owned by nobody",
         [nNobody](const stSCENE &s) {
             return bMoteurBeside(s, 0755) && chown(s.clAppli.sRep().c_str(), nNobody, 0) == 0;
         },
         sRepli, "is owned by uid"},
        {"sticky world-writable directory",
         [](const stSCENE &s) { return bMoteurBeside(s, 0755) && chmod(s.clAppli.sRep().c_str(), 01777) == 0; },
         sBeside, nullptr},
        {"link to an engine of mode 0666 elsewhere",
         [](const stSCENE &s) {
             return bCopieFichier(sMoteur(""), s.clAppli.sFichier("real.so")) &&
                    chmod(s.clAppli.sFichier("real.so").c_str(), 0666) == 0 &&
                    symlink(s.clAppli.sFichier("real.so").c_str(), sBeside(s).c_str()) == 0;
         },
         sRepli, "real.so"},
        {"root's .TX", [sVmpath](const stSCENE &s) { return bDeuxMoteurs(s) && s.bTX(sVmpath); }, sExplicite, nullptr},
        {".TX owned by nobody",
         [sVmpath, nNobody](const stSCENE &s) {
             return bDeuxMoteurs(s) && s.bTX(sVmpath) && chown(s.clAppli.sFichier("app.TX").c_str(), nNobody, 0) == 0;
         },
         sBeside, "app.TX: refused: owned by uid"},
        {".TX of mode 0666", [sVmpath](const stSCENE &s) { return bDeuxMoteurs(s) && s.bTX(sVmpath, 0666); },
         sBeside, "app.TX: refused: writable by others"},
    });
}

TEST(Trust, RelativeVmpathIsTakenFromTheExecutableDirectory)
{
    // The caller's directory holds an engine at the same relative path: it must not be used.
    for (const char *pszValeur : {"explicit/tq150vm.so", "./explicit/../explicit/tq150vm.so"}) {
        SCOPED_TRACE(pszValeur);
        stSCENE s;
        CTempDir clAilleurs;
        ASSERT_TRUE(bDeuxMoteurs(s));
        ASSERT_TRUE(bCreeRepertoire(clAilleurs.sFichier("explicit")));
        ASSERT_TRUE(bCopieFichier(sMoteur("record"), clAilleurs.sFichier("explicit/tq150vm.so")));
        ASSERT_TRUE(s.bTX(std::string("[FRAMEWORK]\nVMPATH=") + pszValeur + "\n"));
        stRESULTATPROCESSUS st = s.Lance(clAilleurs.sChemin());
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sSortie.find(s.clAppli.sRep() + "/"), 0u) << st.sSortie;
        EXPECT_NE(st.sSortie.find("explicit/tq150vm.so"), std::string::npos) << st.sSortie;
    }
}

TEST(Trust, ParameterFileIsReadOnlyAsASmallRegularFile)
{
    const std::string sVmpath = "[FRAMEWORK]\nVMPATH=explicit/tq150vm.so\n";
    Joue({
        {"FIFO", [](const stSCENE &s) { return bDeuxMoteurs(s) && mkfifo(s.clAppli.sFichier("app.TX").c_str(), 0644) == 0; },
         sBeside, "app.TX: refused: not a regular file"},
        {"link to /dev/zero",
         [](const stSCENE &s) { return bDeuxMoteurs(s) && symlink("/dev/zero", s.clAppli.sFichier("app.TX").c_str()) == 0; },
         sBeside, "not a regular file"},
        {"link to /dev/urandom",
         [](const stSCENE &s) {
             return bDeuxMoteurs(s) && symlink("/dev/urandom", s.clAppli.sFichier("app.TX").c_str()) == 0;
         },
         sBeside, "not a regular file"},
        {"more than 1 MiB",
         [sVmpath](const stSCENE &s) { return bDeuxMoteurs(s) && s.bTX(sVmpath + std::string(2 << 20, '\n')); },
         sBeside, "app.TX: refused: larger than 1048576 bytes"},
        {"exactly 1 MiB",
         [sVmpath](const stSCENE &s) {
             return bDeuxMoteurs(s) && s.bTX(sVmpath + std::string((1 << 20) - sVmpath.size(), '\n'));
         },
         sExplicite, nullptr},
    });

    // A writer's lock on the file does not stall the launch.
    stSCENE s;
    ASSERT_TRUE(bDeuxMoteurs(s));
    ASSERT_TRUE(s.bTX(sVmpath));
    int nFd = open(s.clAppli.sFichier("app.TX").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(nFd, 0);
    struct flock stVerrou = {};
    stVerrou.l_type = F_WRLCK;
    stVerrou.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(nFd, F_SETLK, &stVerrou), 0);
    stRESULTATPROCESSUS st = s.Lance();
    close(nFd);
    EXPECT_EQ(st.nStatut, 0) << st.sErreur;
    EXPECT_EQ(st.sSortie, sExplicite(s) + "\n");
}

TEST(Trust, TruncatedEngineIsRefusedBeforeTheLoaderMapsIt)
{
    const std::string sMoteurComplet = sLitFichier(sMoteur(""));
    ASSERT_GT(sMoteurComplet.size(), 4096u);
    struct stTRONCATURE {
        size_t nOctets;
        const char *pszRaison;
    };
    for (const stTRONCATURE &t : {stTRONCATURE{40, "not an ELF file"}, stTRONCATURE{80, "program header"},
                                  stTRONCATURE{nFinSegments(sMoteurComplet) - 1, "a segment lies past the end"}}) {
        SCOPED_TRACE(t.nOctets);
        stSCENE s;
        ASSERT_TRUE(bEcritFichier(sBeside(s), sMoteurComplet.substr(0, t.nOctets), 0755));
        stRESULTATPROCESSUS st = s.Lance();
        EXPECT_EQ(st.nStatut, 0) << st.sErreur;
        EXPECT_EQ(st.sSortie, s.sRepli() + "\n") << st.sErreur;
        EXPECT_NE(st.sErreur.find(sBeside(s) + ": refused: "), std::string::npos) << st.sErreur;
        EXPECT_NE(st.sErreur.find(t.pszRaison), std::string::npos) << st.sErreur;

        // inspect gives the same verdict instead of calling it a match.
        stRESULTATPROCESSUS stInspect = Execute({sBin("tqpack"), "inspect", s.clAppli.sExe()},
                                                {"LD_LIBRARY_PATH=" + s.clRepli.sChemin()}, "", gnDelaiMs);
        EXPECT_EQ(stInspect.nStatut, 0) << stInspect.sErreur;
        EXPECT_NE(stInspect.sSortie.find(sBeside(s) + ": refused: "), std::string::npos) << stInspect.sSortie;
        EXPECT_NE(stInspect.sSortie.find("outcome: the launcher opens " + s.sRepli()), std::string::npos)
            << stInspect.sSortie;
    }
}

TEST(Trust, ComponentLibraryPassesTheSameAdmission)
{
    CTempDir clRep;
    const std::string sImg = clRep.sFichier("tq150img.so");
    const std::string sComplet = sLitFichier(sBin("tq150img.so"));
    struct stCASIMG {
        const char *pszNom;
        std::string sContenu;
        unsigned nMode;
        bool bRacineSeulement;
        const char *pszRaison;
    };
    for (const stCASIMG &c : {stCASIMG{"truncated", sComplet.substr(0, nFinSegments(sComplet) - 1), 0755, false,
                                       "a segment lies past the end"},
                              stCASIMG{"mode 0666", sComplet, 0666, true, "writable by others"}}) {
        SCOPED_TRACE(c.pszNom);
        if (c.bRacineSeulement && geteuid() != 0)
            continue;
        ASSERT_TRUE(bEcritFichier(sImg, c.sContenu, c.nMode));
        CProxyDll clProxy;
        CXError clErreur;
        EXPECT_FALSE(clProxy.bLoad("tq150img.so", &clErreur, clRep.sChemin().c_str(), nullptr));
        EXPECT_EQ(clProxy.m_hLibrairie, nullptr);
        const std::string sMessage = clErreur.pszGetSystemErrorMessage();
        EXPECT_NE(sMessage.find(sImg + ": refused: "), std::string::npos) << sMessage;
        EXPECT_NE(sMessage.find(c.pszRaison), std::string::npos) << sMessage;
    }
}
