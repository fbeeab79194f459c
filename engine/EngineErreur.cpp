// The script command "error" (see EngineErreur.h).
#include "EngineErreur.h"

#include <cerrno>
#include <cstdlib>

#include "error/XError.h"

namespace {

// Splits "N TEXT"; false when N is not an unsigned 32-bit number.
bool bDecoupe(const std::string &sArgument, unsigned int *pnCode, std::string *psTexte)
{
    size_t nFin = sArgument.find(' ');
    std::string sCode = sArgument.substr(0, nFin);
    if (sCode.empty() || sCode.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    unsigned long long n = strtoull(sCode.c_str(), nullptr, 10);
    if (errno || n > 0xFFFFFFFFull)
        return false;
    *pnCode = static_cast<unsigned int>(n);
    *psTexte = nFin == std::string::npos ? std::string() : sArgument.substr(nFin + 1);
    return true;
}

} // namespace

bool bValideErreurScript(const std::string &sArgument, std::string *psErreur)
{
    unsigned int nCode;
    std::string sTexte, sInconnu;
    if (!bDecoupe(sArgument, &nCode, &sTexte)) {
        *psErreur = "error needs an unsigned 32-bit code, then its message";
        return false;
    }
    if (!CScriptTQL::s_bRemplaceChamps(sTexte, nullptr, nullptr, &sInconnu)) {
        *psErreur = "unknown field {" + sInconnu + "}";
        return false;
    }
    return true;
}

void LeveErreurScript(const std::string &sArgument, const stCONTEXTESCRIPT &stContexte)
{
    if (stContexte.pfnCallBackErreur == nullptr)
        return;
    unsigned int nCode = 0;
    std::string sBrut, sTexte;
    bDecoupe(sArgument, &nCode, &sBrut);
    CScriptTQL::s_bRemplaceChamps(sBrut, &stContexte, &sTexte, nullptr);

    // The cause: what the engine itself was doing.
    CXError clCause;
    clCause.SetErrorLevel(CXError::EL_ERREUR);
    clCause.AddUserMessage(30000u);
    clCause.InitModName("tq150vm.so");
    clCause.InitModVersion("15.00Ab");

    CXError clErreur;
    clErreur.SetErrorLevel(CXError::EL_ERREUR);
    clErreur.SetUserErrorCode(nCode);
    clErreur.AddUserMessageNoFormat(sTexte.c_str()); // the script's text is never a format
    clErreur.InitModName("tq150vm.so");
    clErreur.InitModVersion("15.00Ab");
    clErreur.AddDebugMessage(30008u, stContexte.sNomTQL.c_str(), sTexte.c_str());
    int32_t nBase = static_cast<int32_t>(nCode);
    clErreur.AddInfo(CXError::EIT_SRCFILE, stContexte.sNomTQL.c_str());
    clErreur.AddInfo(CXError::EIT_BASECODE, &nBase);
    clErreur.AddSubErrorLightNoUserMessage(&clCause);
    stContexte.pfnCallBackErreur(&clErreur, 0, 0);
}
