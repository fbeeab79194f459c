// The reference engine's host-script language on arbitrary text: the first line
// is an expression, the rest a file opened by a host; every procedure it defines
// is then called with two arguments. Nothing may crash, hang or leak.
#include <cstdio>
#include <string>

#include "EngineHostLangage.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Scripts may print; keep the fuzzer's own output readable.
    if (!freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *pData, size_t nTaille)
{
    std::string sTexte(reinterpret_cast<const char *>(pData), nTaille);
    size_t nFin = sTexte.find('\n');
    std::string sExpression = sTexte.substr(0, nFin);
    std::string sScript = nFin == std::string::npos ? std::string() : sTexte.substr(nFin + 1);
    stMONDEH stMonde;
    stERREURH stErreur;
    stVALEURH v;
    bEvalueH(stMonde, sExpression, {stVALEURH::Entier(3)}, {"p"}, false, &v, &stErreur);
    bEvalueH(stMonde, sExpression, {}, {}, true, &v, &stErreur);
    if (!bChargeH(stMonde, sScript, "fuzz.TQL", "", &stErreur))
        return 0;
    bEvalueH(stMonde, sExpression, {}, {}, false, &v, &stErreur);
    const std::vector<stVALEURH> tabArgs = {stVALEURH::Entier(7), stVALEURH::Texte("t")};
    std::vector<std::string> tabNoms;
    for (const auto &st : stMonde.mapProcedures)
        tabNoms.push_back(st.first);
    for (const std::string &sNom : tabNoms)
        bAppelleH(stMonde, sNom, tabArgs, &v, &stErreur);
    return 0;
}
