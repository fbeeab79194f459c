// What the launcher adds to a run: tqexe running an application whose script ends at
// once, against a minimal C program that dlopens the same engine and makes the same
// calls in the same order. Both are run alternately, many times, from the same
// temporary directory; the counters give the median times and their ratio
// (goal: ratio <= 1.10). The C program is compiled here with the system's cc, once
// as is and once linked with the C++ runtime at start-up as the launcher is: the
// plain host pays for loading that runtime inside dlopen with immediate binding,
// which the second one (ratio_same_runtime) does not.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

const char gszHoteC[] = R"(
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

typedef int (*PFN_INIT)(void *);
typedef void *(*PFN_PROXY)(int32_t);
typedef void (*PFN_TERM)(void);
typedef int32_t (*PFN_TQL)(const char *, int64_t);
typedef void (*PFN_REP)(const char *);
typedef intptr_t (*PFN_PARAM)(int32_t, intptr_t);
typedef int32_t (*PFN_RUN)(uint32_t, const char *, const char *, int32_t *);
typedef void (*PFN_ENREGISTRE)(void *, int (*)(const void *, unsigned long, unsigned int), unsigned long, unsigned int);

static int Rappel(const void *e, unsigned long a, unsigned int b) { (void)e; (void)a; (void)b; return 0; }

int main(int argc, char **argv)
{
    char chemin[4096];
    ssize_t n = readlink("/proc/self/exe", chemin, sizeof(chemin) - 32);
    if (n <= 0) return 255;
    chemin[n] = 0;
    strcpy(strrchr(chemin, '/') + 1, "tq150vm.so");
    void *h = dlopen(chemin, RTLD_NOW);
    if (!h) return 255;
    PFN_INIT init = (PFN_INIT)dlsym(h, "bInitLibrary");
    if (!init || !init(h)) return 255;
    PFN_PROXY proxy = (PFN_PROXY)dlsym(h, "pQueryProxy");
    void *objet = proxy ? proxy(100) : NULL;
    if (!objet) return 255;
    ((PFN_ENREGISTRE)((*(void ***)objet)[16]))(objet, Rappel, 0, 0);
    PFN_TERM term = (PFN_TERM)dlsym(h, "TermLibrary");
    PFN_TQL tql = (PFN_TQL)dlsym(h, "QS_DonneTQL");
    PFN_REP rep = (PFN_REP)dlsym(h, "QS_DonneREP");
    PFN_PARAM param = (PFN_PARAM)dlsym(h, "QS_SetParam");
    PFN_RUN run = (PFN_RUN)dlsym(h, "QS_Run_Res");
    char ligne[1025] = "";
    for (int i = 1; i < argc; ++i) { strncat(ligne, argv[i], 1000 - strlen(ligne)); strcat(ligne, " "); }
    int32_t resultat = 0;
    if (!tql || !tql("app.TQL", 0)) return 255;
    rep(".");
    param(1028, 0);
    int ok = run(5, "default.tqp", ligne, &resultat);
    param(1012, 0);
    if (term) term();
    dlclose(h);
    return ok ? resultat : 255;
}
)";

struct stBANC {
    std::string sRep;
    std::string sErreur;
    ~stBANC()
    {
        std::error_code ec;
        if (!sRep.empty())
            std::filesystem::remove_all(sRep, ec);
    }
};

int nLance(const std::vector<std::string> &tabArgv, const std::string &sRep)
{
    posix_spawn_file_actions_t stActions;
    posix_spawn_file_actions_init(&stActions);
    posix_spawn_file_actions_addopen(&stActions, 1, "/dev/null", O_WRONLY, 0);
    if (!sRep.empty())
        posix_spawn_file_actions_addchdir_np(&stActions, sRep.c_str());
    std::vector<char *> tabP;
    for (const std::string &s : tabArgv)
        tabP.push_back(const_cast<char *>(s.c_str()));
    tabP.push_back(nullptr);
    pid_t pid;
    int nErreur = posix_spawnp(&pid, tabP[0], &stActions, nullptr, tabP.data(), environ);
    posix_spawn_file_actions_destroy(&stActions);
    if (nErreur)
        return -1;
    int nStatut = 0;
    waitpid(pid, &nStatut, 0);
    return WIFEXITED(nStatut) ? WEXITSTATUS(nStatut) : -1;
}

// The application directory, prepared once: launcher, engine, script and the C host.
const stBANC &stPrepare()
{
    static stBANC st = [] {
        stBANC s;
        char szModele[] = "/tmp/tqbench.XXXXXX";
        if (!mkdtemp(szModele)) {
            s.sErreur = "mkdtemp failed";
            return s;
        }
        s.sRep = szModele;
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::copy_file(TQ_BIN_DIR "/tqexe", s.sRep + "/app", ec);
        if (!ec)
            fs::copy_file(TQ_BIN_DIR "/tq150vm.so", s.sRep + "/tq150vm.so", ec);
        if (ec) {
            s.sErreur = "cannot copy the launcher or the engine from " TQ_BIN_DIR;
            return s;
        }
        chmod((s.sRep + "/app").c_str(), 0755);
        std::ofstream(s.sRep + "/app.TQL") << "exit 0\n";
        std::ofstream(s.sRep + "/host.c") << gszHoteC;
        if (nLance({"cc", "-O2", "-o", s.sRep + "/host", s.sRep + "/host.c", "-ldl"}, std::string()) != 0 ||
            nLance({"cc", "-O2", "-o", s.sRep + "/hostxx", s.sRep + "/host.c", "-ldl", "-Wl,--no-as-needed",
                    "-lstdc++", "-lm"},
                   std::string()) != 0)
            s.sErreur = "cannot compile the C host with cc";
        return s;
    }();
    return st;
}

double dMediane(std::vector<double> tab)
{
    std::sort(tab.begin(), tab.end());
    return tab.empty() ? 0 : tab[tab.size() / 2];
}

void BM_LanceurContreHoteC(benchmark::State &state)
{
    const stBANC &st = stPrepare();
    if (!st.sErreur.empty()) {
        state.SkipWithError(st.sErreur.c_str());
        return;
    }
    const std::vector<std::string> tabProgrammes = {"host", "hostxx", "app"};
    std::vector<std::vector<double>> tabDurees(tabProgrammes.size());
    using Horloge = std::chrono::steady_clock;
    size_t nPremier = 0;
    for (auto _ : state) {
        // Each program once per iteration, the first one rotating, so that a busy
        // machine and the order of the runs weigh on all of them alike.
        for (size_t k = 0; k < tabProgrammes.size(); ++k) {
            size_t i = (nPremier + k) % tabProgrammes.size();
            auto t0 = Horloge::now();
            int nStatut = nLance({st.sRep + "/" + tabProgrammes[i], "a", "b"}, st.sRep);
            tabDurees[i].push_back(std::chrono::duration<double, std::micro>(Horloge::now() - t0).count());
            if (nStatut != 0) {
                state.SkipWithError("a run did not end with status 0");
                return;
            }
        }
        nPremier = (nPremier + 1) % tabProgrammes.size();
    }
    const double dHote = dMediane(tabDurees[0]), dHoteXX = dMediane(tabDurees[1]), dLanceur = dMediane(tabDurees[2]);
    state.counters["host_us"] = dHote;
    state.counters["host_same_runtime_us"] = dHoteXX;
    state.counters["launcher_us"] = dLanceur;
    state.counters["ratio"] = dHote > 0 ? dLanceur / dHote : 0;
    state.counters["ratio_same_runtime"] = dHoteXX > 0 ? dLanceur / dHoteXX : 0;
}

} // namespace

BENCHMARK(BM_LanceurContreHoteC)->Iterations(500)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
