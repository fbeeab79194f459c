// CXError: the text report (StringDump) and its information item lines.
#include <cstdint>
#include <cstring>
#include <functional>

#include "error/XError.h"
#include "error/accesdllres.h"
#include "strings/Tstring.h"

namespace {

const char* const CRLF = "\r\n";

// Report lines: message resources by number.
enum {
    RES_NIVEAU_FATAL = 25311,
    RES_MODULE = 28842,
    RES_MODULE_ABSENT = 28843,
    RES_CONTEXTE = 28844,
    RES_TRAITEMENT = 28845,
    RES_FONCTION = 28846,
    RES_NIVEAU_1 = 28847,
    RES_NIVEAU_2 = 28848,
    RES_NIVEAU_3 = 28849,
    RES_NIVEAU_AUTRE = 28850,
    RES_CODE = 28851,
    RES_CODE55 = 28852,
    RES_CODE_SYSTEME = 28853,
    RES_CODE_SYSTEME_ABSENT = 28854,
    RES_MESSAGE_SYSTEME = 28855,
    RES_MESSAGE_SYSTEME_ABSENT = 28856,
    RES_MESSAGE = 28857,
    RES_MESSAGE_ABSENT = 28858,
    RES_DEBUG = 28859,
    RES_DEBUG_ABSENT = 28860,
    RES_INFOS = 28861,
    RES_INFOS_ABSENT = 28862,
    RES_DETAIL = 28863,
    RES_DETAIL_ABSENT = 28864,
    RES_SOUS_ERREUR = 28865,
};

// Appends resource nId formatted with the arguments; a text that cannot be
// loaded contributes nothing.
void Ligne(CTString& clOut, unsigned int nId, ...)
{
    va_list ap;
    va_start(ap, nId);
    CTString cl;
    DLLRES_bFormatMessageList(nId, &cl, reinterpret_cast<char**>(&ap));
    va_end(ap);
    clOut.Add(cl.pszGet());
}

bool bVide(const char* psz)
{
    return psz == nullptr || *psz == '\0';
}

// Wide text shown in the report's code page: characters above 0xFF become '?'.
void AjouteLarge(CTString& clOut, const wchar_t* pwsz)
{
    if (pwsz == nullptr)
        return;
    for (; *pwsz != 0; ++pwsz) {
        uint32_t c = static_cast<uint32_t>(*pwsz);
        clOut.Add(static_cast<char>(c <= 0xFF ? c : '?'));
    }
}

// Line formats of the string items by type; null for the others.
const char* pszFormatTexte(CXError::eERRORINFOTYPE e)
{
    switch (e) {
    case CXError::EIT_SRCFILE: return "EIT_SRCFILE : <%s>";
    case CXError::EIT_DSTFILE: return "EIT_DSTFILE : <%s>";
    case CXError::EIT_USERNAME: return "EIT_USERNAME : <%s>";
    case CXError::EIT_HELPFILE: return "EIT_HELPFILE : <%s>";
    case CXError::EIT_PATHTQD: return "EIT_PATHTQD : <%s>";
    case CXError::EIT_LOGICALTABLENAME: return "EIT_LOGICALTABLENAME : <%s>";
    case CXError::EIT_ITEMNAME: return "EIT_ITEMNAME : <%s>";
    case CXError::EIT_PATHFIC: return "EIT_PATHFIC : <%s>";
    case CXError::EIT_PATHNDX: return "EIT_PATHNDX : <%s>";
    case CXError::EIT_PATHMMO: return "EIT_PATHMMO : <%s>";
    case CXError::EIT_LINKNAME: return "EIT_LINKNAME : <%s>";
    case CXError::EIT_ODBCCODE: return "EIT_ODBCCODE : <%s>";
    case CXError::EIT_ODBCDESCRIPTION: return "EIT_ODBCDESCRIPTION : <%s>";
    case CXError::EIT_BASEMESSAGE: return "EIT_BASEMESSAGE : <%s>";
    case CXError::EIT_NATIVEMESSAGE: return "EIT_NATIVEMESSAGE : <%s>";
    case CXError::EIT_ADOMESSAGE: return "EIT_ADOMESSAGE : <%s>";
    case CXError::EIT_INFOCLIENT: return "EIT_INFOCLIENT : <%s>";
    case CXError::EIT_INFOSERVEUR: return "EIT_INFOSERVEUR : <%s>";
    case CXError::EIT_PILEQS: return "EIT_PILEQS :\r\n%s";
    case CXError::EIT_DATEHEURE: return "EIT_DATEHEURE : %s";
    case CXError::EIT_LOCKINFO: return "EIT_LOCKINFO : %s";
    case CXError::EIT_CORRIGE_ETAT: return "EIT_CORRIGE_ETAT : %s";
    case CXError::EIT_INFOCS: return "EIT_INFOCS : <%s>";
    case CXError::EIT_COMPOSANT: return "EIT_COMPOSANT :\r\n%s";
    case CXError::EIT_SERVEURCS: return "EIT_SERVEURCS : <%s>";
    case CXError::EIT_PILEC: return "EIT_PILEC :\r\n%s";
    default: return nullptr;
    }
}

const char* pszFormatEntier(CXError::eERRORINFOTYPE e)
{
    switch (e) {
    case CXError::EIT_BASECODE: return "EIT_BASECODE : <%d>";
    case CXError::EIT_NATIVECODE: return "EIT_NATIVECODE : <%d>";
    case CXError::EIT_ADOCODE: return "EIT_ADOCODE : <%d>";
    case CXError::EIT_XINFO: return "EIT_XINFO : <%d>";
    default: return nullptr;
    }
}

// Appends the format with its one "%s" replaced by a text taken as it is (the
// text is never read as a format).
void AjouteAvecTexte(CTString& clOut, const char* pszFormat, const char* pszTexte)
{
    const char* p = strstr(pszFormat, "%s");
    clOut.Add(pszFormat, static_cast<long>(p - pszFormat));
    clOut.Add(pszTexte);
    clOut.Add(p + 2);
}

} // namespace

// bEmptyText: format string items even when their text is empty (DumpInfo);
// the report leaves such items out.
void CXError::_DumpItem(const _stERRORINFO& st, CTString& clOut, bool bEmptyText) const
{
    if (const char* pszFormat = pszFormatTexte(st.eType)) {
        const char* psz = reinterpret_cast<const char*>(st.dwValeur);
        if (bVide(psz) && !bEmptyText)
            return;
        AjouteAvecTexte(clOut, pszFormat, psz ? psz : "");
    } else if (const char* pszFormatN = pszFormatEntier(st.eType)) {
        clOut.AddPrintf(pszFormatN, static_cast<int>(static_cast<uint32_t>(st.dwValeur)));
    } else if (st.eType == EIT_RECNUM) {
        uint64_t n = (static_cast<uint64_t>(st.dwExtra) << 32) | static_cast<uint32_t>(st.dwValeur);
        clOut.AddPrintf("EIT_RECNUM : <%lld>", static_cast<long long>(n));
    } else if (st.eType == EIT_DATAACCESS) {
        clOut.AddPrintf("EIT_DATAACCESS : <%p>", reinterpret_cast<const void*>(st.dwValeur));
    } else if (st.eType == EIT_SRCFILEUNICODE || st.eType == EIT_DSTFILEUNICODE) {
        const wchar_t* pwsz = reinterpret_cast<const wchar_t*>(st.dwValeur);
        if ((pwsz == nullptr || *pwsz == 0) && !bEmptyText)
            return;
        clOut.Add(st.eType == EIT_SRCFILEUNICODE ? "EIT_SRCFILEUNICODE : <" : "EIT_DSTFILEUNICODE : <");
        AjouteLarge(clOut, pwsz);
        clOut.Add('>');
    }
}

void CXError::DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut) const
{
    if (pclOut == nullptr || eType == EIT_NONE || eType > EIT_DERNIER)
        return;
    _stERRORINFO st;
    st.eType = eType;
    st.dwValeur = 0;
    st.dwExtra = 0;
    if (eType == EIT_RECNUM) {
        if (pValue == nullptr)
            return;
        int64_t n;
        memcpy(&n, pValue, sizeof n);
        st.dwValeur = static_cast<uint32_t>(static_cast<uint64_t>(n));
        st.dwExtra = static_cast<uint32_t>(static_cast<uint64_t>(n) >> 32);
    } else if (pszFormatEntier(eType) != nullptr) {
        if (pValue == nullptr)
            return;
        int32_t n;
        memcpy(&n, pValue, sizeof n);
        st.dwValeur = static_cast<uint32_t>(n);
    } else {
        st.dwValeur = reinterpret_cast<uintptr_t>(pValue);
    }
    _DumpItem(st, *pclOut, true);
}

void CXError::TraceDump() const
{
}

CTString CXError::StringDump(uint32_t nMask) const
{
    CTString cl;
    StringDump(cl, nMask);
    return cl;
}

void CXError::StringDump(CTString& clOut, uint32_t nMask) const
{
    const bool bAbsents = (nMask & XEI_SANS_ABSENTS) == 0;
    bool bDu = false;    // a blank line is owed before the next group's first line
    bool bEcrit = false; // the current group wrote something
    auto Doit = [&]() {
        if (bDu)
            clOut.Add(CRLF);
        bDu = false;
        bEcrit = true;
    };
    // One section: its lines when the value is there, else the absent line if allowed.
    auto Section = [&](uint32_t nBit, bool bPresent, const std::function<void()>& fnLignes, unsigned int nIdAbsent) {
        if (!(nMask & nBit))
            return;
        if (bPresent) {
            Doit();
            fnLignes();
        } else if (bAbsents) {
            Doit();
            Ligne(clOut, nIdAbsent);
        }
    };
    auto FinGroupe = [&]() {
        bDu = bDu || bEcrit;
        bEcrit = false;
    };

    // 1. Context
    if ((nMask & XEI_CONTEXTE) && (!bVide(m_pszFunctionName) || !bVide(m_pszTraitmentCaption))) {
        Ligne(clOut, RES_CONTEXTE);
        if (!bVide(m_pszTraitmentCaption)) {
            CTString clObjet;
            if (!bVide(m_pszObjectName))
                clObjet.Set(" (", m_pszObjectName, ")");
            Ligne(clOut, RES_TRAITEMENT, m_pszTraitmentCaption, clObjet.pszGet(),
                  static_cast<unsigned>(m_wTraitmentLine), static_cast<unsigned>(m_wTraitmentThread));
        }
        if (!bVide(m_pszFunctionName))
            Ligne(clOut, RES_FONCTION, m_pszFunctionName, static_cast<unsigned>(m_nFunctionSyntax));
        bDu = true;
    }

    // 2. User message
    Section(XEI_MESSAGE, !bVide(m_pszUserMessage), [&]() {
        if (!(nMask & XEI_SANS_LIBELLE_MESSAGE))
            Ligne(clOut, RES_MESSAGE);
        clOut.Add(m_pszUserMessage);
        clOut.Add(CRLF);
    }, RES_MESSAGE_ABSENT);
    FinGroupe();

    // 3. Codes and level: the code and the level are written whatever their values.
    if (nMask & XEI_CODE) {
        Doit();
        Ligne(clOut, RES_CODE, static_cast<unsigned>(m_nUserErrorCode));
    }
    if (nMask & XEI_NIVEAU) {
        Doit();
        switch (m_eErrorLevel) {
        case EL_AUCUNE: Ligne(clOut, RES_NIVEAU_1); break;
        case EL_AVERTISSEMENT: Ligne(clOut, RES_NIVEAU_2); break;
        case EL_ERREUR:
        case EL_ERREUR_4:
        case EL_ERREUR_8: Ligne(clOut, RES_NIVEAU_3); break;
        case EL_FATALE_1:
        case EL_FATALE_2:
        case EL_FATALE_3:
        case EL_FATALE_4:
        case EL_FATALE_SYSTEME: Ligne(clOut, RES_NIVEAU_FATAL); break;
        default: Ligne(clOut, RES_NIVEAU_AUTRE, static_cast<unsigned>(m_eErrorLevel)); break;
        }
    }
    if ((nMask & XEI_CODE55) && (m_nUserErrorCode55 != 0 || bAbsents)) {
        Doit();
        Ligne(clOut, RES_CODE55, static_cast<unsigned>(m_nUserErrorCode55));
    }
    FinGroupe();

    // 4. System error; its message carries its own line end, if any.
    Section(XEI_CODESYSTEME, m_dwSystemErrorCode != 0, [&]() {
        Ligne(clOut, RES_CODE_SYSTEME, static_cast<unsigned>(m_dwSystemErrorCode));
    }, RES_CODE_SYSTEME_ABSENT);
    Section(XEI_MESSAGESYSTEME, !bVide(m_pszSystemErrorMessage), [&]() {
        Ligne(clOut, RES_MESSAGE_SYSTEME);
        clOut.Add(m_pszSystemErrorMessage);
    }, RES_MESSAGE_SYSTEME_ABSENT);
    FinGroupe();

    // 5. Module, detail, debug message, information items
    Section(XEI_MODULE, !bVide(m_pszModName), [&]() {
        Ligne(clOut, RES_MODULE, m_pszModName, pszGetModVersion());
    }, RES_MODULE_ABSENT);
    Section(XEI_DETAIL, m_nDetailId != 0, [&]() {
        Ligne(clOut, RES_DETAIL, static_cast<unsigned>(m_nDetailId));
    }, RES_DETAIL_ABSENT);
    Section(XEI_DEBUG, !bVide(m_pszDebugMessage), [&]() {
        Ligne(clOut, RES_DEBUG);
        clOut.Add(m_pszDebugMessage);
        clOut.Add(CRLF);
    }, RES_DEBUG_ABSENT);
    Section(XEI_INFOS, m_tabInfo.nGetNombre() > 0, [&]() {
        Ligne(clOut, RES_INFOS);
        for (int i = 0; i < m_tabInfo.nGetNombre(); ++i) {
            CTString clItem;
            _DumpItem(m_tabInfo[i], clItem, false);
            if (!clItem.bEstVide()) {
                clOut.Add(CRLF);
                clOut.Add(clItem.pszGet());
            }
        }
    }, RES_INFOS_ABSENT);
    FinGroupe();

    // 6. Sub-errors, each under its numbered heading
    if ((nMask & XEI_SOUSERREURS) && nGetNbSubError() > 0) {
        Doit();
        for (int i = 0; i < nGetNbSubError(); ++i) {
            clOut.Add("\r\n----- ");
            Ligne(clOut, RES_SOUS_ERREUR, static_cast<unsigned>(i + 1));
            clOut.Add(" -----\r\n\r\n");
            pclGetSubError(i)->StringDump(clOut, nMask);
            clOut.Add(CRLF);
        }
    }
}
