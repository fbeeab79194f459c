// What the engine, the component library and their variants export: the contract's
// entry points and nothing else, less exactly the entries each variant leaves out.
// The variants share one compilation of the engine and hide entries when linked, so a
// wrong hiding list or a leaked helper shows here first.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "LauncherFixture.h"
#include "launcher/TQExtern.h"
#include "launcher/TQVMContrat.h"

namespace {

using tqextern::eENTREE;
using tqextern::gtabNomsEntrees;
typedef std::set<std::string> tsetNoms;

// The library's defined dynamic symbols, without the linker's and runtimes' own
// (their names start with an underscore; no entry point's does).
tsetNoms setExports(const std::string &sLib)
{
    tqtest::stRESULTATPROCESSUS r = tqtest::Execute({"/bin/sh", "-c", "exec nm -D --defined-only \"$0\"", sLib});
    EXPECT_EQ(r.nStatut, 0) << sLib << ": " << r.sErreur;
    tsetNoms set;
    std::istringstream clLignes(r.sSortie);
    std::string sLigne;
    while (std::getline(clLignes, sLigne)) {
        std::string sNom = sLigne.substr(sLigne.find_last_of(' ') + 1);
        if (!sNom.empty() && sNom[0] != '_')
            set.insert(sNom);
    }
    return set;
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
    for (const auto &c : tabCas) {
        SCOPED_TRACE(std::string("engine variant '") + c.pszVariante + "'");
        EXPECT_EQ(setExports(tqtest::sMoteur(c.pszVariante)), c.setAttendu);
    }
}

TEST(ModuleExports, ComponentLibraryAndVariants)
{
    const tsetNoms setTout = {"bInitLibrary", "TermLibrary", "pQueryProxy", "pQueryProxyEx",
                              "DeclareProxy", "CommandeComposante", "Execution", "InitDLL",
                              "InitDLLEx", "TermDLL", "pclQueryIMGFactory"};
    EXPECT_EQ(setExports(tqtest::sBin("tq150img.so")), setTout);
    EXPECT_EQ(setExports(tqtest::sBin("variants/img_refuse/tq150img.so")), setTout);
    EXPECT_EQ(setExports(tqtest::sBin("variants/img_bare/tq150img.so")), tsetNoms{"bInitLibrary"});
}
