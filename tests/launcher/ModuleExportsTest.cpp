// What the engine, the component library and their variants export: the contract's
// entry points and nothing else, less exactly the entries each variant leaves out.
// The variants share one compilation of the engine and hide entries when linked, so a
// wrong hiding list or a leaked helper shows here first.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "LauncherFixture.h"
#include "launcher/TQExtern.h"
#include "launcher/TQVMContrat.h"

namespace {

using tqextern::gtabNomsEntrees;
typedef std::set<std::string> tsetNoms;

// Each library's defined dynamic symbols, without the linker's and runtimes' own
// (their names start with an underscore; no entry point's does). One nm for all.
std::map<std::string, tsetNoms> mapExports(const std::vector<std::string> &tabLibs)
{
    std::vector<std::string> tabArgv = {"/bin/sh", "-c", "exec nm -D --defined-only -A \"$@\"", "nm"};
    tabArgv.insert(tabArgv.end(), tabLibs.begin(), tabLibs.end());
    tqtest::stRESULTATPROCESSUS r = tqtest::Execute(tabArgv);
    EXPECT_EQ(r.nStatut, 0) << r.sErreur;
    std::map<std::string, tsetNoms> map;
    for (const std::string &sLib : tabLibs)
        map[sLib];
    // "library:address type name"
    std::istringstream clLignes(r.sSortie);
    std::string sLigne;
    while (std::getline(clLignes, sLigne)) {
        size_t nDeuxPoints = sLigne.rfind(':', sLigne.find(' '));
        std::string sNom = sLigne.substr(sLigne.find_last_of(' ') + 1);
        if (nDeuxPoints != std::string::npos && !sNom.empty() && sNom[0] != '_')
            map[sLigne.substr(0, nDeuxPoints)].insert(sNom);
    }
    EXPECT_EQ(map.size(), tabLibs.size()) << "nm named a library it was not given";
    return map;
}

tsetNoms setEntreesMoteur()
{
    tsetNoms set = {TQVM_EXPORT_INITLIBRARY, TQVM_EXPORT_QUERYPROXY, TQVM_EXPORT_TERMLIBRARY, TQVM_EXPORT_RUN,
                    TQVM_EXPORT_RUNSRV,      TQVM_EXPORT_TERMSRV,    TQVM_EXPORT_DBG,         TQVM_EXPORT_DLL,
                    TQVM_EXPORT_TQL,         TQVM_EXPORT_REP,        TQVM_EXPORT_MBR,         TQVM_EXPORT_FININT,
                    TQVM_EXPORT_GOQUERY,     TQVM_EXPORT_LTQL,       TQVM_EXPORT_PARAM,       "nQSEInitEx"};
    for (int i = 0; i < tqextern::eENTREE_NB; ++i)
        set.insert(gtabNomsEntrees[i]);
    return set;
}

tsetNoms setSans(tsetNoms set, const tsetNoms &setOtes)
{
    for (const std::string &s : setOtes)
        EXPECT_EQ(set.erase(s), 1u) << s << " is no entry point";
    return set;
}

} // namespace

TEST(ModuleExports, EngineAndVariants)
{
    const tsetNoms setTout = setEntreesMoteur();
    tsetNoms setQS;
    for (const std::string &s : setTout)
        if (s.compare(0, 3, "QS_") == 0 && s != TQVM_EXPORT_PARAM)
            setQS.insert(s);
    tsetNoms setOptionnelles;
    for (int i = tqextern::eENTREE_NB_REQUISES; i < tqextern::eENTREE_NB; ++i)
        setOptionnelles.insert(gtabNomsEntrees[i]);
    ASSERT_EQ(setOptionnelles.size(), 7u);

    const struct {
        const char *pszVariante;
        tsetNoms setAttendu;
    } tabCas[] = {
        {"", setTout},
        {"record", setTout},
        {"init_false", setTout},
        {"proxy_null", setTout},
        {"tql_false", setTout},
        {"run_false", setTout},
        {"runsrv_false", setTout},
        {"slow_service", setTout},
        {"host_initex_fails", setTout},
        {"host_opmt_refuses", setTout},
        {"host_record", setTout},
        {"no_init", setSans(setTout, {TQVM_EXPORT_INITLIBRARY})},
        {"no_proxy", setSans(setTout, {TQVM_EXPORT_QUERYPROXY})},
        {"only_setparam", setSans(setTout, setQS)},
        {"host_no_initex", setSans(setTout, {"nQSEInitEx"})},
        {"host_no_last", setSans(setTout, {"nQSESetPECallback"})},
        {"host_no_optional", setSans(setTout, setOptionnelles)},
    };
    std::vector<std::string> tabLibs;
    for (const auto &c : tabCas)
        tabLibs.push_back(tqtest::sMoteur(c.pszVariante));
    std::map<std::string, tsetNoms> map = mapExports(tabLibs);
    for (const auto &c : tabCas) {
        SCOPED_TRACE(std::string("engine variant '") + c.pszVariante + "'");
        EXPECT_EQ(map[tqtest::sMoteur(c.pszVariante)], c.setAttendu);
    }
}

TEST(ModuleExports, ComponentLibraryAndVariants)
{
    const tsetNoms setTout = {"bInitLibrary", "TermLibrary", "pQueryProxy", "pQueryProxyEx",
                              "DeclareProxy", "CommandeComposante", "Execution", "InitDLL",
                              "InitDLLEx", "TermDLL", "pclQueryIMGFactory"};
    const std::string sImg = tqtest::sBin("tq150img.so");
    const std::string sRefuse = tqtest::sBin("variants/img_refuse/tq150img.so");
    const std::string sNu = tqtest::sBin("variants/img_bare/tq150img.so");
    std::map<std::string, tsetNoms> map = mapExports({sImg, sRefuse, sNu});
    EXPECT_EQ(map[sImg], setTout);
    EXPECT_EQ(map[sRefuse], setTout);
    EXPECT_EQ(map[sNu], tsetNoms{"bInitLibrary"});
}
