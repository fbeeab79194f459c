// The reference engine's entries for host programs (the nQSE family that the call
// interface of tqhost.h binds). Each call is recorded (EngineRecord.h) as
// "name(ctx=0x..., 0x..., ...)" with its arguments in hexadecimal.
//
// Variants (EngineVariante.h, engine/CMakeLists.txt): without nQSEInitEx; nQSEInitEx
// answers 37; without nQSESetPECallback, the last required entry; without any of the
// optional entries (marked TQEH_OPTIONNELLE), nQSEOPMT among them; nQSEOPMT refuses
// new contexts; and recording only (every entry only records its call and answers
// 100 + its place in the binding order; nQSEOPMT accepts).
#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

#include "EngineHostLangage.h"
#include "EngineRecord.h"
#include "EngineVariante.h"
#include "launcher/TQExtern.h"

// Every entry point; a variant that leaves some out hides them when it is linked.
#define TQEH_EXPORTE extern "C" __attribute__((visibility("default")))
// The entries a host program may do without.
#define TQEH_OPTIONNELLE TQEH_EXPORTE

using tqextern::eENTREE;

namespace {

// The engine's state for one call context: pushed arguments, the storage behind
// the pointers of its result and error records, its element context.
struct stETATCTX {
    const _stQSECONTEXTE *pContexte; // its owner: a stale pointer in another context is not taken
    std::vector<stVALEURH> tabPile;
    std::string sTexteResultat;
    std::string sOctetsResultat;
    std::string sTexteErreur;
    std::list<std::string> lstElements; // element contexts handed out; the last is current
};

struct stETATHOTE {
    std::recursive_mutex mtx;
    stMONDEH stMonde;
    std::set<stETATCTX *> setEtats;
    _stQSECONTEXTE *pContextePropre = nullptr;
    void *pDonnees = nullptr;
    int32_t dwOptions = 0;
    PFN_TQCALLBACKERREUR pfnCallback = nullptr;
    TQARG nParamCallback = 0;
    TQARG tabReglages[6] = {}; // callback module and its parameter, compatible (2), PE callback (2)
    TQARG nParent = 0;
    TQARG nContexteRZ = 0;

    ~stETATHOTE() { LibereEtats(); }
    void LibereEtats()
    {
        for (stETATCTX *p : setEtats)
            delete p;
        setEtats.clear();
    }
};

stETATHOTE &gstHote()
{
    static stETATHOTE stEtat;
    return stEtat;
}

std::string sHex(uintptr_t n)
{
    char sz[24];
    snprintf(sz, sizeof(sz), "0x%" PRIxPTR, n);
    return sz;
}

void Trace(const char *pszNom, const _stQSECONTEXTE *pContexte, std::initializer_list<TQARG> lstArgs)
{
    std::string s = std::string(pszNom) + "(ctx=" + sHex(reinterpret_cast<uintptr_t>(pContexte));
    for (TQARG n : lstArgs)
        s += ", " + sHex(static_cast<uintptr_t>(n));
    Enregistre(s + ")");
}

// Records the call; the recording-only variant answers right away.
int nSeul(eENTREE eEntree)
{
    return 100 + static_cast<int>(eEntree);
}

#define TQEH_TRACE(eEntree, pContexte, ...)                    \
    do {                                                       \
        Trace(__func__, pContexte, {__VA_ARGS__});             \
        if (gstVariante.bEnregistreSeul)                       \
            return nSeul(tqextern::eEntree);                   \
    } while (0)
#define TQEH_TRACE_V(eEntree, pContexte, ...)                  \
    do {                                                       \
        Trace(__func__, pContexte, {__VA_ARGS__});             \
        if (gstVariante.bEnregistreSeul)                       \
            return;                                            \
    } while (0)
#define TQEH_TRACE_P(eEntree, pContexte, ...)                  \
    do {                                                       \
        Trace(__func__, pContexte, {__VA_ARGS__});             \
        if (gstVariante.bEnregistreSeul)                       \
            return reinterpret_cast<void *>(static_cast<intptr_t>(nSeul(tqextern::eEntree))); \
    } while (0)

// The state of a context: made on first use for a context the engine has not seen.
stETATCTX *pstEtat(_stQSECONTEXTE *pContexte)
{
    stETATHOTE &h = gstHote();
    stETATCTX *p = static_cast<stETATCTX *>(pContexte->pMoteur);
    if (p && h.setEtats.count(p) && p->pContexte == pContexte)
        return p;
    p = new stETATCTX;
    p->pContexte = pContexte;
    h.setEtats.insert(p);
    pContexte->pMoteur = p;
    return p;
}

// Every call starts with an empty result and no error.
class CAppel {
public:
    explicit CAppel(_stQSECONTEXTE *pContexte) : m_clVerrou(gstHote().mtx), m_pContexte(pContexte)
    {
        if (!pContexte)
            return;
        m_pstEtat = pstEtat(pContexte);
        if (pContexte->pValeurRetour)
            memset(pContexte->pValeurRetour, 0, sizeof(*pContexte->pValeurRetour));
        if (pContexte->pErreur)
            memset(pContexte->pErreur, 0, sizeof(*pContexte->pErreur));
        m_pstEtat->sTexteErreur.clear();
        if (pContexte->pErreur)
            pContexte->pErreur->pszTexte = m_pstEtat->sTexteErreur.c_str();
    }
    bool bValide() const { return m_pstEtat != nullptr; }
    stETATCTX &Etat() { return *m_pstEtat; }

    void Resultat(const stVALEURH &v)
    {
        _stQSEVALEURRETOUR *r = m_pContexte->pValeurRetour;
        if (!r)
            return;
        stETATCTX &e = *m_pstEtat;
        e.sTexteResultat = v.sTexte();
        e.sOctetsResultat = v.wType == TQTYPE_BINAIRE || v.wType == TQTYPE_TEXTE ? v.sOctets : std::string();
        r->wType = v.wType;
        r->bNull = v.bNull ? 1 : 0;
        const bool bOctets = v.wType == TQTYPE_TEXTE || v.wType == TQTYPE_BINAIRE;
        // A real's integer views are 0 when no integer holds it.
        int64_t n = bOctets ? static_cast<int64_t>(v.sOctets.size()) : v.nEntier;
        if (!bOctets && v.wType == TQTYPE_REEL && !bReelVersEntier64(v.dReel, &n))
            n = 0;
        r->nValeur = n >= INT32_MIN && n <= INT32_MAX ? static_cast<int32_t>(n) : 0;
        r->i64Valeur = n;
        r->dValeur = v.wType == TQTYPE_REEL ? v.dReel : static_cast<double>(v.nEntier);
        r->pszValeur = v.bNull || v.wType == TQTYPE_BINAIRE ? nullptr : e.sTexteResultat.c_str();
        r->pbyValeur = bOctets && !v.bNull ? reinterpret_cast<const uint8_t *>(e.sOctetsResultat.data()) : nullptr;
    }

    int nErreur(const stERREURH &stErreur)
    {
        stETATHOTE &h = gstHote();
        m_pstEtat->sTexteErreur = stErreur.sTexte;
        if (m_pContexte->pErreur) {
            m_pContexte->pErreur->nCode = stErreur.nCode;
            m_pContexte->pErreur->pszTexte = m_pstEtat->sTexteErreur.c_str();
        }
        if (h.pfnCallback)
            h.pfnCallback(m_pContexte, stErreur.nCode, m_pstEtat->sTexteErreur.c_str(), h.nParamCallback);
        return stErreur.nCode;
    }
    int nErreur(int nCode, const std::string &sTexte)
    {
        stERREURH st;
        st.nCode = nCode;
        st.sTexte = sTexte;
        return nErreur(st);
    }

private:
    std::lock_guard<std::recursive_mutex> m_clVerrou;
    _stQSECONTEXTE *m_pContexte;
    stETATCTX *m_pstEtat = nullptr;
};

const char *pszTexte(TQARG n)
{
    return reinterpret_cast<const char *>(n);
}

// A typed value as a host passes it (nQSEEmpile, nQSEEcritVariableQS).
bool bDecode(TQARG nType, TQARG nValeur, TQARG nLongueur, bool bAvecLongueur, stVALEURH *pv, stERREURH *pe)
{
    pe->nCode = TQ_ERR_ARGUMENT;
    switch (nType) {
    case TQTYPE_AUCUN:
        *pv = stVALEURH::Null();
        return true;
    case TQTYPE_BOOLEEN:
        *pv = stVALEURH::Booleen(nValeur != 0);
        return true;
    case TQTYPE_ENTIER:
        *pv = stVALEURH::Entier(static_cast<int32_t>(nValeur));
        return true;
    case TQTYPE_ENTIER64:
    case TQTYPE_REEL:
        if (!nValeur) {
            pe->sTexte = "null pointer for a 64-bit value";
            return false;
        }
        if (nType == TQTYPE_ENTIER64) {
            int64_t n;
            memcpy(&n, reinterpret_cast<const void *>(nValeur), sizeof(n));
            *pv = stVALEURH::Entier64(n);
        } else {
            double d;
            memcpy(&d, reinterpret_cast<const void *>(nValeur), sizeof(d));
            *pv = stVALEURH::Reel(d);
        }
        return true;
    case TQTYPE_TEXTE:
    case TQTYPE_BINAIRE:
        if (nType == TQTYPE_BINAIRE && !bAvecLongueur) {
            pe->sTexte = "a binary value needs its length";
            return false;
        }
        if (bAvecLongueur && nLongueur < 0) {
            pe->sTexte = "negative length";
            return false;
        }
        if (!nValeur) {
            if (bAvecLongueur && nLongueur > 0) {
                pe->sTexte = "null pointer with a length";
                return false;
            }
            *pv = nType == TQTYPE_TEXTE ? stVALEURH::Texte("") : stVALEURH::Binaire("");
            return true;
        }
        {
            std::string s = bAvecLongueur ? std::string(pszTexte(nValeur), static_cast<size_t>(nLongueur))
                                          : std::string(pszTexte(nValeur));
            *pv = nType == TQTYPE_TEXTE ? stVALEURH::Texte(s) : stVALEURH::Binaire(s);
        }
        return true;
    default:
        pe->nCode = TQ_ERR_TYPE;
        pe->sTexte = "unknown value type " + std::to_string(static_cast<long long>(nType));
        return false;
    }
}

bool bLitFichier(const std::string &sChemin, std::string *psTexte)
{
    std::ifstream f(sChemin, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream o;
    o << f.rdbuf();
    *psTexte = o.str();
    return true;
}

int nOuvre(_stQSECONTEXTE *pContexte, TQARG nNom, const std::string &sMarque)
{
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nNom || !*pszTexte(nNom))
        return c.nErreur(TQ_ERR_ARGUMENT, "no application file named");
    std::string sTexte;
    if (!bLitFichier(pszTexte(nNom), &sTexte))
        return c.nErreur(TQ_ERR_FICHIER, std::string(pszTexte(nNom)) + ": cannot read");
    stERREURH e;
    if (!bChargeH(gstHote().stMonde, sTexte, pszTexte(nNom), sMarque, &e))
        return c.nErreur(e);
    c.Resultat(stVALEURH::Booleen(true));
    return TQ_OK;
}

void Ferme(const std::string &sMarque)
{
    auto &m = gstHote().stMonde.mapProcedures;
    for (auto it = m.begin(); it != m.end();)
        it = it->second.sMarque == sMarque ? m.erase(it) : std::next(it);
}

std::string sMarqueNum(TQARG n)
{
    return "num:" + std::to_string(static_cast<long long>(n));
}

std::string sMarqueRes(TQARG nNom, TQARG nRes)
{
    return "res:" + std::string(nNom ? pszTexte(nNom) : "") + ":" + std::to_string(static_cast<long long>(nRes));
}

// ELEM.PROP[I,J] key; a null or empty element is the context's current element.
bool bCle(stETATCTX &e, TQARG nElement, TQARG nPropriete, const std::vector<TQARG> &tabIndices, std::string *psCle)
{
    std::string sElement = nElement ? pszTexte(nElement) : "";
    if (sElement.empty() && !e.lstElements.empty())
        sElement = e.lstElements.back();
    if (sElement.empty() || !nPropriete || !*pszTexte(nPropriete))
        return false;
    *psCle = sElement + "." + pszTexte(nPropriete);
    if (!tabIndices.empty()) {
        *psCle += "[";
        for (size_t i = 0; i < tabIndices.size(); ++i)
            *psCle += (i ? "," : "") + std::to_string(static_cast<long long>(tabIndices[i]));
        *psCle += "]";
    }
    return true;
}

int nLitPropriete(_stQSECONTEXTE *pContexte, TQARG nElement, TQARG nPropriete, const std::vector<TQARG> &tabIndices)
{
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    std::string sCle;
    if (!bCle(c.Etat(), nElement, nPropriete, tabIndices, &sCle))
        return c.nErreur(TQ_ERR_ARGUMENT, "element and property expected");
    auto &m = gstHote().stMonde.mapProprietes;
    auto it = m.find(sCle);
    if (it == m.end())
        return c.nErreur(TQ_ERR_PROPRIETE, "unknown property " + sCle);
    c.Resultat(it->second);
    return TQ_OK;
}

// The value written is the last one pushed.
int nEcritPropriete(_stQSECONTEXTE *pContexte, TQARG nElement, TQARG nPropriete,
                    const std::vector<TQARG> &tabIndices)
{
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    std::string sCle;
    if (!bCle(c.Etat(), nElement, nPropriete, tabIndices, &sCle))
        return c.nErreur(TQ_ERR_ARGUMENT, "element and property expected");
    if (c.Etat().tabPile.empty())
        return c.nErreur(TQ_ERR_ARGUMENT, "no value pushed for " + sCle);
    gstHote().stMonde.mapProprietes[sCle] = c.Etat().tabPile.back();
    c.Etat().tabPile.pop_back();
    return TQ_OK;
}

std::string sSousElement(TQARG nElement, TQARG nSous)
{
    return std::string(nElement ? pszTexte(nElement) : "") + "." + (nSous ? pszTexte(nSous) : "");
}

int nEcritSortie(_stQSECONTEXTE *pContexte, TQARG nSortie, TQARG nValeur)
{
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nSortie)
        return c.nErreur(TQ_ERR_ARGUMENT, "no place for the answer");
    memcpy(reinterpret_cast<void *>(nSortie), &nValeur, sizeof(nValeur));
    return TQ_OK;
}

int nReglage(_stQSECONTEXTE *pContexte, TQARG *pnCible, TQARG nValeur)
{
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    *pnCible = nValeur;
    return TQ_OK;
}

// Path of this library, for nQSEGetLibShop.
const char *pszCheminMoteur()
{
    static std::string sChemin;
    Dl_info stInfo;
    if (sChemin.empty() && dladdr(reinterpret_cast<void *>(&pszCheminMoteur), &stInfo) && stInfo.dli_fname)
        sChemin = stInfo.dli_fname;
    return sChemin.c_str();
}

} // namespace

TQEH_EXPORTE int nQSEInitEx(_stQSECONTEXTE *pContexte, _stQSEINIT *pstInit)
{
    Trace(__func__, pContexte,
          {reinterpret_cast<TQARG>(pstInit), pstInit ? pstInit->nVersion : 0, pstInit ? pstInit->nTaille : 0,
           pstInit ? reinterpret_cast<TQARG>(pstInit->pDonnees) : 0, pstInit ? pstInit->dwOptions : 0});
    if (gstVariante.bInitExEchec)
        return 37;
    if (!pContexte || !pstInit)
        return TQ_ERR_ARGUMENT;
    if (pstInit->nVersion != TQ_QSE_VERSION || pstInit->nTaille != static_cast<int32_t>(sizeof(_stQSEINIT)))
        return TQ_ERR_VERSION;
    stETATHOTE &h = gstHote();
    std::lock_guard<std::recursive_mutex> clVerrou(h.mtx);
    h.pContextePropre = pContexte;
    h.pDonnees = pstInit->pDonnees;
    h.dwOptions = pstInit->dwOptions;
    pstEtat(pContexte);
    return TQ_OK;
}

TQEH_OPTIONNELLE int nQSEOPMT(_stQSECONTEXTE *pContexte, uint32_t dwOperation)
{
    // The recording-only variant accepts every context, so that its twins can be traced.
    Trace(__func__, pContexte, {static_cast<TQARG>(dwOperation)});
    if (gstVariante.bEnregistreSeul)
        return TQ_OK;
    if (!pContexte)
        return TQ_ERR_ARGUMENT;
    stETATHOTE &h = gstHote();
    std::lock_guard<std::recursive_mutex> clVerrou(h.mtx);
    if (dwOperation == TQ_OPMT_DEBUT) {
        if (gstVariante.bOPMTRefuse)
            return 5;
        pContexte->pMoteur = nullptr;
        pstEtat(pContexte);
        return TQ_OK;
    }
    if (dwOperation == TQ_OPMT_FIN) {
        stETATCTX *p = static_cast<stETATCTX *>(pContexte->pMoteur);
        if (p && h.setEtats.count(p) && p->pContexte == pContexte && h.setEtats.erase(p))
            delete p;
        pContexte->pMoteur = nullptr;
        return TQ_OK;
    }
    return TQ_ERR_ARGUMENT;
}

TQEH_EXPORTE void QSETerm(_stQSECONTEXTE *pContexte)
{
    TQEH_TRACE_V(eENTREE_Term, pContexte);
    stETATHOTE &h = gstHote();
    std::lock_guard<std::recursive_mutex> clVerrou(h.mtx);
    h.LibereEtats();
    if (pContexte)
        pContexte->pMoteur = nullptr;
    h.stMonde = stMONDEH();
    h.pfnCallback = nullptr;
    h.pContextePropre = nullptr;
}

TQEH_EXPORTE int QSEReprise(_stQSECONTEXTE *pContexte)
{
    TQEH_TRACE(eENTREE_Reprise, pContexte);
    CAppel c(pContexte); // clears the error record
    return c.bValide() ? TQ_OK : TQ_ERR_ARGUMENT;
}

TQEH_EXPORTE int nQSEOuvreTQL(_stQSECONTEXTE *pContexte, TQARG nNom)
{
    TQEH_TRACE(eENTREE_OuvreTQL, pContexte, nNom);
    return nOuvre(pContexte, nNom, "");
}

TQEH_EXPORTE int nQSEOuvreTQLNum(_stQSECONTEXTE *pContexte, TQARG nNom, TQARG nNumero)
{
    TQEH_TRACE(eENTREE_OuvreTQLNum, pContexte, nNom, nNumero);
    return nOuvre(pContexte, nNom, sMarqueNum(nNumero));
}

TQEH_EXPORTE void QSEFermeTQLNum(_stQSECONTEXTE *pContexte, TQARG nNumero)
{
    TQEH_TRACE_V(eENTREE_FermeTQLNum, pContexte, nNumero);
    CAppel c(pContexte);
    Ferme(sMarqueNum(nNumero));
}

TQEH_EXPORTE int nQSEOuvreTQLRes(_stQSECONTEXTE *pContexte, TQARG nNom, TQARG nRessource)
{
    TQEH_TRACE(eENTREE_OuvreTQLRes, pContexte, nNom, nRessource);
    return nOuvre(pContexte, nNom, sMarqueRes(nNom, nRessource));
}

TQEH_EXPORTE void QSEFermeTQLRes(_stQSECONTEXTE *pContexte, TQARG nNom, TQARG nRessource)
{
    TQEH_TRACE_V(eENTREE_FermeTQLRes, pContexte, nNom, nRessource);
    CAppel c(pContexte);
    Ferme(sMarqueRes(nNom, nRessource));
}

TQEH_EXPORTE int nQSEInitProjet(_stQSECONTEXTE *pContexte, TQARG nProjet)
{
    TQEH_TRACE(eENTREE_InitProjet, pContexte, nProjet);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nProjet)
        return c.nErreur(TQ_ERR_ARGUMENT, "no project name");
    gstHote().stMonde.sProjet = pszTexte(nProjet);
    gstHote().stMonde.mapVariables["project"] = stVALEURH::Texte(pszTexte(nProjet));
    return TQ_OK;
}

TQEH_EXPORTE int nQSESetCallback(_stQSECONTEXTE *pContexte, TQARG pfnCallback, TQARG nParam)
{
    TQEH_TRACE(eENTREE_SetCallback, pContexte, pfnCallback, nParam);
    CAppel c(pContexte);
    stETATHOTE &h = gstHote();
    void *p = reinterpret_cast<void *>(pfnCallback);
    memcpy(&h.pfnCallback, &p, sizeof(p));
    h.nParamCallback = nParam;
    return TQ_OK;
}

TQEH_EXPORTE int nQSESetCallbackModule(_stQSECONTEXTE *pContexte, TQARG pfnCallback, TQARG nParam)
{
    TQEH_TRACE(eENTREE_SetCallbackModule, pContexte, pfnCallback, nParam);
    nReglage(pContexte, &gstHote().tabReglages[1], nParam);
    return nReglage(pContexte, &gstHote().tabReglages[0], pfnCallback);
}

TQEH_EXPORTE int nQSESetCompatible(_stQSECONTEXTE *pContexte, TQARG nOption, TQARG nValeur)
{
    TQEH_TRACE(eENTREE_SetCompatible, pContexte, nOption, nValeur);
    nReglage(pContexte, &gstHote().tabReglages[3], nValeur);
    return nReglage(pContexte, &gstHote().tabReglages[2], nOption);
}

TQEH_EXPORTE int nQSESetPECallback(_stQSECONTEXTE *pContexte, TQARG pfnCallback, TQARG nParam)
{
    TQEH_TRACE(eENTREE_SetPECallback, pContexte, pfnCallback, nParam);
    nReglage(pContexte, &gstHote().tabReglages[5], nParam);
    return nReglage(pContexte, &gstHote().tabReglages[4], pfnCallback);
}

TQEH_EXPORTE int nQSESetParent(_stQSECONTEXTE *pContexte, TQARG nParent)
{
    TQEH_TRACE(eENTREE_SetParent, pContexte, nParent);
    return nReglage(pContexte, &gstHote().nParent, nParent);
}

TQEH_EXPORTE int nQSESetRZContext(_stQSECONTEXTE *pContexte, TQARG nContexteRZ)
{
    TQEH_TRACE(eENTREE_SetRZContext, pContexte, nContexteRZ);
    return nReglage(pContexte, &gstHote().nContexteRZ, nContexteRZ);
}

TQEH_EXPORTE int nQSEGetRZContext(_stQSECONTEXTE *pContexte, TQARG pnSortie)
{
    TQEH_TRACE(eENTREE_GetRZContext, pContexte, pnSortie);
    return nEcritSortie(pContexte, pnSortie, gstHote().nContexteRZ);
}

TQEH_EXPORTE int nQSEGetVMData(_stQSECONTEXTE *pContexte, TQARG ppSortie)
{
    TQEH_TRACE(eENTREE_GetVMData, pContexte, ppSortie);
    return nEcritSortie(pContexte, ppSortie, reinterpret_cast<TQARG>(gstHote().pDonnees));
}

TQEH_EXPORTE int nQSEGetLibShop(_stQSECONTEXTE *pContexte, TQARG pnSortie)
{
    TQEH_TRACE(eENTREE_GetLibShop, pContexte, pnSortie);
    return nEcritSortie(pContexte, pnSortie, reinterpret_cast<TQARG>(pszCheminMoteur()));
}

TQEH_EXPORTE int nQSEGetIEXE(_stQSECONTEXTE *pContexte, TQARG pnSortie)
{
    TQEH_TRACE(eENTREE_GetIEXE, pContexte, pnSortie);
    return nEcritSortie(pContexte, pnSortie, pContexte ? reinterpret_cast<TQARG>(pContexte->pModule) : 0);
}

TQEH_OPTIONNELLE int nQSEGetVM(_stQSECONTEXTE *pContexte, TQARG pnSortie)
{
    TQEH_TRACE(eENTREE_GetVM, pContexte, pnSortie);
    return nEcritSortie(pContexte, pnSortie, 15); // the engine's version
}

TQEH_EXPORTE int nQSEExecute(_stQSECONTEXTE *pContexte, TQARG nCode)
{
    TQEH_TRACE(eENTREE_Execute, pContexte, nCode);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nCode)
        return c.nErreur(TQ_ERR_ARGUMENT, "no code");
    stVALEURH v;
    bool bRetour = false;
    stERREURH e;
    if (!bExecuteH(gstHote().stMonde, tabLignesH(pszTexte(nCode)), "", {}, {}, false, &v, &bRetour, &e))
        return c.nErreur(e);
    if (bRetour)
        c.Resultat(v);
    return TQ_OK;
}

TQEH_EXPORTE int nQSEEvalue(_stQSECONTEXTE *pContexte, TQARG nExpression)
{
    TQEH_TRACE(eENTREE_Evalue, pContexte, nExpression);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nExpression)
        return c.nErreur(TQ_ERR_ARGUMENT, "no expression");
    stVALEURH v;
    stERREURH e;
    if (!bEvalueH(gstHote().stMonde, pszTexte(nExpression), {}, {}, false, &v, &e))
        return c.nErreur(e);
    c.Resultat(v);
    return TQ_OK;
}

TQEH_EXPORTE int nQSECompile(_stQSECONTEXTE *pContexte, TQARG nCode, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_Compile, pContexte, nCode, nOptions);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nCode)
        return c.nErreur(TQ_ERR_ARGUMENT, "no code");
    stVALEURH v;
    bool bRetour = false;
    stERREURH e;
    if (!bExecuteH(gstHote().stMonde, tabLignesH(pszTexte(nCode)), "", {}, {}, true, &v, &bRetour, &e))
        return c.nErreur(e);
    c.Resultat(stVALEURH::Booleen(true));
    return TQ_OK;
}

TQEH_EXPORTE int nQSEEmpile(_stQSECONTEXTE *pContexte, TQARG nType, TQARG nValeur)
{
    TQEH_TRACE(eENTREE_Empile, pContexte, nType, nValeur);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    stVALEURH v;
    stERREURH e;
    if (!bDecode(nType, nValeur, 0, false, &v, &e))
        return c.nErreur(e);
    c.Etat().tabPile.push_back(v);
    return TQ_OK;
}

TQEH_EXPORTE int nQSEEmpileEx(_stQSECONTEXTE *pContexte, TQARG nType, TQARG nValeur, TQARG nLongueur)
{
    TQEH_TRACE(eENTREE_EmpileEx, pContexte, nType, nValeur, nLongueur);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    stVALEURH v;
    stERREURH e;
    if (!bDecode(nType, nValeur, nLongueur, true, &v, &e))
        return c.nErreur(e);
    c.Etat().tabPile.push_back(v);
    return TQ_OK;
}

// Calls a procedure with the last nArguments pushed values (-1: all of them), which
// leave the stack whatever the outcome.
TQEH_EXPORTE int nQSEAppelle(_stQSECONTEXTE *pContexte, TQARG nProcedure, TQARG nArguments, TQARG nOptions,
                             TQARG nReserve)
{
    TQEH_TRACE(eENTREE_Appelle, pContexte, nProcedure, nArguments, nOptions, nReserve);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    std::vector<stVALEURH> &tabPile = c.Etat().tabPile;
    if (nArguments == -1)
        nArguments = static_cast<TQARG>(tabPile.size());
    if (nArguments < 0 || static_cast<size_t>(nArguments) > tabPile.size())
        return c.nErreur(TQ_ERR_ARGUMENT, std::to_string(static_cast<long long>(nArguments)) +
                                              " arguments asked, " + std::to_string(tabPile.size()) + " pushed");
    std::vector<stVALEURH> tabArgs(tabPile.end() - nArguments, tabPile.end());
    tabPile.resize(tabPile.size() - static_cast<size_t>(nArguments));
    if (!nProcedure || !*pszTexte(nProcedure))
        return c.nErreur(TQ_ERR_ARGUMENT, "no procedure named");
    stVALEURH v;
    stERREURH e;
    if (!bAppelleH(gstHote().stMonde, pszTexte(nProcedure), tabArgs, &v, &e))
        return c.nErreur(e);
    c.Resultat(v);
    return TQ_OK;
}

TQEH_EXPORTE int nQSELitVariableQS(_stQSECONTEXTE *pContexte, TQARG nNom, TQARG nIndice, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitVariableQS, pContexte, nNom, nIndice, nOptions);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nNom || !*pszTexte(nNom))
        return c.nErreur(TQ_ERR_ARGUMENT, "no variable named");
    std::string sNom = pszTexte(nNom);
    if (nIndice)
        sNom += "[" + std::to_string(static_cast<long long>(nIndice)) + "]";
    auto &m = gstHote().stMonde.mapVariables;
    auto it = m.find(sNom);
    if (it == m.end())
        return c.nErreur(TQ_ERR_VARIABLE, "unknown variable " + sNom);
    c.Resultat(it->second);
    return TQ_OK;
}

TQEH_EXPORTE int nQSEEcritVariableQS(_stQSECONTEXTE *pContexte, TQARG nNom, TQARG nType, TQARG nValeur)
{
    TQEH_TRACE(eENTREE_EcritVariableQS, pContexte, nNom, nType, nValeur);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (!nNom || !*pszTexte(nNom))
        return c.nErreur(TQ_ERR_ARGUMENT, "no variable named");
    stVALEURH v;
    stERREURH e;
    if (!bDecode(nType, nValeur, 0, false, &v, &e))
        return c.nErreur(e);
    gstHote().stMonde.mapVariables[pszTexte(nNom)] = v;
    return TQ_OK;
}

TQEH_EXPORTE int nQSELitPropElem(_stQSECONTEXTE *pContexte, TQARG a, TQARG b)
{
    TQEH_TRACE(eENTREE_LitPropElem, pContexte, a, b);
    return nLitPropriete(pContexte, a, b, {});
}

TQEH_EXPORTE int nQSELitPropElemAny(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitPropElemAny, pContexte, a, b, nOptions);
    return nLitPropriete(pContexte, a, b, {});
}

TQEH_EXPORTE int nQSELitPropElemInd(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i)
{
    TQEH_TRACE(eENTREE_LitPropElemInd, pContexte, a, b, i);
    return nLitPropriete(pContexte, a, b, {i});
}

TQEH_EXPORTE int nQSELitPropElemAnyInd(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitPropElemAnyInd, pContexte, a, b, i, nOptions);
    return nLitPropriete(pContexte, a, b, {i});
}

TQEH_EXPORTE int nQSELitPropElemInd2(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i, TQARG j)
{
    TQEH_TRACE(eENTREE_LitPropElemInd2, pContexte, a, b, i, j);
    return nLitPropriete(pContexte, a, b, {i, j});
}

TQEH_EXPORTE int nQSELitPropElemAnyInd2(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i, TQARG j,
                                        TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitPropElemAnyInd2, pContexte, a, b, i, j, nOptions);
    return nLitPropriete(pContexte, a, b, {i, j});
}

TQEH_EXPORTE int nQSEEcritPropElem(_stQSECONTEXTE *pContexte, TQARG a, TQARG b)
{
    TQEH_TRACE(eENTREE_EcritPropElem, pContexte, a, b);
    return nEcritPropriete(pContexte, a, b, {});
}

TQEH_EXPORTE int nQSEEcritPropElemInd(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i)
{
    TQEH_TRACE(eENTREE_EcritPropElemInd, pContexte, a, b, i);
    return nEcritPropriete(pContexte, a, b, {i});
}

TQEH_EXPORTE int nQSEEcritPropElemInd2(_stQSECONTEXTE *pContexte, TQARG a, TQARG b, TQARG i, TQARG j)
{
    TQEH_TRACE(eENTREE_EcritPropElemInd2, pContexte, a, b, i, j);
    return nEcritPropriete(pContexte, a, b, {i, j});
}

TQEH_EXPORTE int nQSEChampExiste(_stQSECONTEXTE *pContexte, TQARG a, TQARG b)
{
    TQEH_TRACE(eENTREE_ChampExiste, pContexte, a, b);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    std::string sCle;
    if (!bCle(c.Etat(), a, b, {}, &sCle))
        return c.nErreur(TQ_ERR_ARGUMENT, "element and property expected");
    c.Resultat(stVALEURH::Booleen(gstHote().stMonde.mapProprietes.count(sCle) != 0));
    return TQ_OK;
}

// Sub-element properties: ELEM.SUB.PROP.
TQEH_OPTIONNELLE int nQSELitPropSousElem(_stQSECONTEXTE *pContexte, TQARG a, TQARG s, TQARG b, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitPropSousElem, pContexte, a, s, b, nOptions);
    std::string sElement = sSousElement(a, s);
    return nLitPropriete(pContexte, reinterpret_cast<TQARG>(sElement.c_str()), b, {});
}

TQEH_OPTIONNELLE int nQSEEcritPropSousElem(_stQSECONTEXTE *pContexte, TQARG a, TQARG s, TQARG b, TQARG nOptions)
{
    TQEH_TRACE(eENTREE_EcritPropSousElem, pContexte, a, s, b, nOptions);
    std::string sElement = sSousElement(a, s);
    return nEcritPropriete(pContexte, reinterpret_cast<TQARG>(sElement.c_str()), b, {});
}

TQEH_OPTIONNELLE int nQSELitPropSousElemInd(_stQSECONTEXTE *pContexte, TQARG a, TQARG s, TQARG b, TQARG i,
                                           TQARG nOptions)
{
    TQEH_TRACE(eENTREE_LitPropSousElemInd, pContexte, a, s, b, i, nOptions);
    std::string sElement = sSousElement(a, s);
    return nLitPropriete(pContexte, reinterpret_cast<TQARG>(sElement.c_str()), b, {i});
}

TQEH_OPTIONNELLE int nQSEEcritPropSousElemInd(_stQSECONTEXTE *pContexte, TQARG a, TQARG s, TQARG b, TQARG i,
                                             TQARG nOptions)
{
    TQEH_TRACE(eENTREE_EcritPropSousElemInd, pContexte, a, s, b, i, nOptions);
    std::string sElement = sSousElement(a, s);
    return nEcritPropriete(pContexte, reinterpret_cast<TQARG>(sElement.c_str()), b, {i});
}

// The element context is the element that property calls without one use.
TQEH_EXPORTE void *pQSEGetContexteElement(_stQSECONTEXTE *pContexte)
{
    TQEH_TRACE_P(eENTREE_GetContexteElement, pContexte);
    CAppel c(pContexte);
    if (!c.bValide() || c.Etat().lstElements.empty())
        return nullptr;
    return &c.Etat().lstElements.back();
}

// Makes pszElement current; answers the previous context, for pQSERestaureContexteElement.
TQEH_EXPORTE void *pQSEModifieContexteElement(_stQSECONTEXTE *pContexte, TQARG nElement)
{
    TQEH_TRACE_P(eENTREE_ModifieContexteElement, pContexte, nElement);
    CAppel c(pContexte);
    if (!c.bValide())
        return nullptr;
    std::list<std::string> &lst = c.Etat().lstElements;
    void *pAncien = lst.empty() ? nullptr : &lst.back();
    lst.push_back(nElement ? pszTexte(nElement) : "");
    return pAncien;
}

// Goes back to a context pQSEModifieContexteElement answered (null: none); answers
// the context it leaves, which is forgotten.
TQEH_EXPORTE void *pQSERestaureContexteElement(_stQSECONTEXTE *pContexte, TQARG nSauvegarde)
{
    TQEH_TRACE_P(eENTREE_RestaureContexteElement, pContexte, nSauvegarde);
    CAppel c(pContexte);
    if (!c.bValide())
        return nullptr;
    std::list<std::string> &lst = c.Etat().lstElements;
    const void *pCible = reinterpret_cast<const void *>(nSauvegarde);
    auto it = lst.begin();
    while (it != lst.end() && &*it != pCible)
        ++it;
    if (pCible && it == lst.end())
        return nullptr; // not one of ours
    void *pQuitte = lst.empty() ? nullptr : &lst.back();
    lst.erase(pCible ? std::next(it) : lst.begin(), lst.end());
    return pQuitte;
}

// Translated messages: the reference engine has one language; a property
// "messages.TEXT" (or "ELEMENT.TEXT") holds a replacement when there is one.
TQEH_OPTIONNELLE int nQSEOperation(_stQSECONTEXTE *pContexte, TQARG nOperation, TQARG nTexte, TQARG nElement)
{
    TQEH_TRACE(eENTREE_Operation, pContexte, nOperation, nTexte, nElement);
    CAppel c(pContexte);
    if (!c.bValide())
        return TQ_ERR_ARGUMENT;
    if (nOperation < TQ_QSEOP_MESSTRADUIT || nOperation > TQ_QSEOP_EMPILEMESSTRADUITELEMENT)
        return c.nErreur(TQ_ERR_ARGUMENT, "unknown operation " + std::to_string(static_cast<long long>(nOperation)));
    if (!nTexte)
        return c.nErreur(TQ_ERR_ARGUMENT, "no text");
    const bool bElement = nOperation == TQ_QSEOP_MESSTRADUITELEMENT || nOperation == TQ_QSEOP_EMPILEMESSTRADUITELEMENT;
    std::string sTexte = pszTexte(nTexte);
    std::string sCle = (bElement && nElement ? std::string(pszTexte(nElement)) : std::string("messages")) + "." + sTexte;
    auto &m = gstHote().stMonde.mapProprietes;
    auto it = m.find(sCle);
    stVALEURH v = it != m.end() ? stVALEURH::Texte(it->second.sTexte()) : stVALEURH::Texte(sTexte);
    if (nOperation >= TQ_QSEOP_EMPILEMESSTRADUIT)
        c.Etat().tabPile.push_back(v);
    else
        c.Resultat(v);
    return TQ_OK;
}
