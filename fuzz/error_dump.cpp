// Error objects built from arbitrary operations (messages, items, levels,
// nesting, copies), then reported with arbitrary masks.
#include <cstdint>
#include <cstring>
#include <string>

#include "error/XError.h"
#include "strings/Tstring.h"

namespace {

struct CLecteur {
    const uint8_t* p;
    size_t n;
    uint8_t Octet() { return n ? (--n, *p++) : 0; }
    uint32_t Mot()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | Octet();
        return v;
    }
    std::string Texte()
    {
        size_t len = Octet() % 24;
        std::string s;
        for (size_t i = 0; i < len && n; ++i) {
            char c = static_cast<char>(Octet());
            if (c != '\0')
                s += c;
        }
        return s;
    }
};

int nNoeuds(const CXError& e)
{
    int n = 1;
    for (int i = 0; i < e.nGetNbSubError(); ++i)
        n += nNoeuds(*e.pclGetSubError(i));
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CLecteur l{data, size};
    CXError tab[3];
    for (int nOp = 0; nOp < 96 && l.n; ++nOp) {
        CXError& e = tab[l.Octet() % 3];
        CXError& autre = tab[l.Octet() % 3];
        switch (l.Octet() % 22) {
        case 0: e.AddUserMessage(l.Texte().c_str()); break;
        case 1: e.AddDebugMessageNoFormat(l.Texte().c_str()); break;
        case 2: e.SetUserErrorCode(l.Mot()); break;
        case 3: e.SetErrorLevel(static_cast<CXError::eERRORLEVEL>(l.Mot())); break;
        case 4: {
            auto t = static_cast<CXError::eERRORINFOTYPE>(l.Octet() % 40);
            std::string s = l.Texte();
            int64_t n64 = static_cast<int64_t>((static_cast<uint64_t>(l.Mot()) << 32) | l.Mot());
            std::wstring w(s.begin(), s.end());
            if (t == CXError::EIT_RECNUM || t == CXError::EIT_BASECODE || t == CXError::EIT_NATIVECODE ||
                t == CXError::EIT_ADOCODE || t == CXError::EIT_XINFO || t == CXError::EIT_POINTEUR)
                e.AddInfo(t, &n64);
            else if (t == CXError::EIT_SRCFILEUNICODE || t == CXError::EIT_DSTFILEUNICODE)
                e.AddInfo(t, w.c_str());
            else if (t == CXError::EIT_DATAACCESS)
                e.AddInfo(t, nullptr);
            else
                e.AddInfo(t, s.c_str());
            break;
        }
        case 5:
        case 6:
        case 7:
            if (nNoeuds(e) + nNoeuds(autre) < 64) {
                int nMode = l.Octet() % 3;
                if (nMode == 0)
                    e.AddSubError(&autre);
                else if (nMode == 1)
                    e.AddSubErrorLight(&autre);
                else
                    e.AddSubErrorLightNoUserMessage(&autre);
            }
            break;
        case 8: {
            std::string a = l.Texte(), b = l.Texte();
            e.SetVMContext(a.c_str(), b.c_str(), static_cast<unsigned short>(l.Mot()), static_cast<unsigned short>(l.Mot()));
            break;
        }
        case 9: e.SetFunctionName(l.Texte().c_str(), l.Octet()); break;
        case 10: e.SetSystemErrorMessage(l.Mot(), "%s", l.Texte().c_str()); break;
        case 11:
            if (nNoeuds(e) + nNoeuds(autre) < 64)
                e.Copy(autre);
            break;
        case 12: e.LightCopy(&autre); break;
        case 13: e.RAZ(); break;
        case 14: e.DeleteInfo(static_cast<CXError::eERRORINFOTYPE>(l.Octet() % 40)); break;
        case 15: e.SetUserError(l.Octet() % 5); break;
        case 16: {
            static const unsigned tabId[] = {30010, 30011, 28851, 4242, 0, 65024};
            unsigned id = tabId[l.Octet() % 6];
            if (l.Octet() & 1)
                e.AddUserMessage(id, 7u, 8u);
            else
                e.AddUserMessageFirst(id, 7u, 8u);
            break;
        }
        case 17: e.AddUserMessageFirst(l.Texte().c_str()); break;
        case 18: e.AddDebugMessageFirst(l.Texte().c_str()); break;
        case 19: e.SetUserErrorMessage(l.Octet() % 5, l.Texte().c_str()); break;
        case 20:
        case 21:
            // Moves and copies within one tree: a sub-error and its ancestor.
            if (e.nGetNbSubError() > 0) {
                CXError* pSous = e.pclGetSubError(l.Octet() % e.nGetNbSubError());
                int nMode = l.Octet() % 4;
                if (nMode == 0)
                    e.LightCopy(pSous);
                else if (nMode == 1)
                    pSous->LightCopy(&e);
                else if (nMode == 2)
                    pSous->AddSubErrorLight(&e);
                else if (nNoeuds(e) < 32)
                    pSous->AddSubError(&e);
            }
            break;
        }
    }
    uint32_t nMask = l.Mot();
    for (CXError& e : tab) {
        CTString cl = e.StringDump(nMask);
        CTString cl2 = e.StringDump(0x80000FFF);
        CTString cl3;
        e.StringDump(cl3, 0x00000FFF);
        if (cl3.nTaille() < cl2.nTaille())
            __builtin_trap(); // absent lines only add
    }
    return 0;
}
