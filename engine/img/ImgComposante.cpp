// A small component library (tq150img.so) for the component proxy's tests: it
// exports every entry the proxy and the image interface look up and records each
// call (EngineRecord.h). Its variants: a bare one that exports bInitLibrary alone
// (the others hidden when it is linked, engine/img/CMakeLists.txt) and a refusing one
// that refuses everything it is asked (initialisation, execution, its factory).
#include <cstdint>
#include <string>

#include "EngineRecord.h"
#include "launcher/interfaceIMG.h"

#define TQIMG_EXPORTE extern "C" __attribute__((visibility("default")))
// The entries the bare variant leaves out.
#define TQIMG_EXPORTE_OPT TQIMG_EXPORTE

// Set by the unit built per variant (ImgVariante.cpp).
extern const bool gbImgRefuse __attribute__((visibility("hidden")));

namespace {

std::string sN(long long n)
{
    return std::to_string(n);
}

std::string sP(const void *p)
{
    return p ? "set" : "null";
}

// The component's factory; its count is recorded so that tests see each release.
class CFabrique : public IIMGFactory {
public:
    int32_t nQueryInterface(const void *, void **ppObjet) override
    {
        Enregistre("Factory.QueryInterface()");
        if (ppObjet)
            *ppObjet = nullptr;
        return -1;
    }
    uint32_t dwAddRef() override
    {
        ++m_nReferences;
        Enregistre("Factory.AddRef() -> " + sN(m_nReferences));
        return m_nReferences;
    }
    uint32_t dwRelease() override
    {
        if (m_nReferences)
            --m_nReferences;
        Enregistre("Factory.Release() -> " + sN(m_nReferences));
        return m_nReferences;
    }

private:
    uint32_t m_nReferences = 0;
};

int gnProxy; // what pQueryProxy answers: an address inside the library

int32_t nReponse()
{
    return gbImgRefuse ? 0 : 1;
}

} // namespace

TQIMG_EXPORTE int32_t bInitLibrary(void *hLibrairie)
{
    Enregistre("img.bInitLibrary(" + sP(hLibrairie) + ")");
    return nReponse();
}

TQIMG_EXPORTE_OPT void TermLibrary(void)
{
    Enregistre("img.TermLibrary()");
}

TQIMG_EXPORTE_OPT void *pQueryProxy(int32_t nQuoi)
{
    Enregistre("img.pQueryProxy(" + sN(nQuoi) + ")");
    return &gnProxy;
}

TQIMG_EXPORTE_OPT void *pQueryProxyEx(int32_t nQuoi, void *pParam)
{
    Enregistre("img.pQueryProxyEx(" + sN(nQuoi) + ", " + sP(pParam) + ")");
    return &gnProxy;
}

TQIMG_EXPORTE_OPT void DeclareProxy(int32_t *pn1, int16_t *pw1, int32_t *pn2, int16_t *pw2)
{
    Enregistre("img.DeclareProxy()");
    *pn1 = 25; // the image component's number
    *pw1 = 1;
    *pn2 = 2;
    *pw2 = 3;
}

TQIMG_EXPORTE_OPT int32_t CommandeComposante(int32_t nCommande, void *pRecord)
{
    Enregistre("img.CommandeComposante(" + sN(nCommande) + ", " + sP(pRecord) + ")");
    return nReponse();
}

TQIMG_EXPORTE_OPT int32_t Execution(int32_t nCode, void *pRecord)
{
    std::string s = "img.Execution(" + sN(nCode) + ", ";
    if (pRecord) {
        const int32_t *p = static_cast<const int32_t *>(pRecord);
        s += "{" + sN(p[0]) + "," + sN(p[1]) + "," + sN(p[2]) + "," + sN(p[3]) + "})";
    } else {
        s += "null)";
    }
    Enregistre(s);
    return nReponse();
}

TQIMG_EXPORTE_OPT int32_t InitDLL(void *hModule)
{
    Enregistre("img.InitDLL(" + sP(hModule) + ")");
    return nReponse();
}

TQIMG_EXPORTE_OPT int32_t InitDLLEx(void *hModule, uint32_t dwFlags, int32_t nReserve)
{
    Enregistre("img.InitDLLEx(" + sP(hModule) + ", " + sN(dwFlags) + ", " + sN(nReserve) + ")");
    return nReponse();
}

TQIMG_EXPORTE_OPT void TermDLL(void *hModule)
{
    Enregistre("img.TermDLL(" + sP(hModule) + ")");
}

TQIMG_EXPORTE_OPT IIMGFactory *pclQueryIMGFactory(void)
{
    Enregistre("img.pclQueryIMGFactory()");
    if (gbImgRefuse)
        return nullptr;
    static CFabrique clFabrique;
    clFabrique.dwAddRef();
    return &clFabrique;
}
