#include "containers/hashtable.h"

#include <cstdlib>
#include <new>

#include "platform/XMath.h"

namespace {

const int kTailleMinimaleReduite = 43; // a table never shrinks below this

// Smallest number >= n that the primality test accepts.
int nPremierDepuis(long long n)
{
    if (n < 0)
        n = 0;
    while (n <= INT32_MAX && !CXMath::bEstPremier(static_cast<unsigned long>(n)))
        ++n;
    return n > INT32_MAX ? 0 : static_cast<int>(n);
}

} // namespace

CListeDeBuffer *CHashBase::_pAlloueListes(int bucketCount)
{
    if (bucketCount <= 0)
        return nullptr;
    void *p = malloc(static_cast<size_t>(bucketCount) * sizeof(CListeDeBuffer));
    if (!p)
        return nullptr;
    CListeDeBuffer *pListes = static_cast<CListeDeBuffer *>(p);
    for (int i = 0; i < bucketCount; ++i)
        new (&pListes[i]) CListeDeBuffer(static_cast<int>(sizeof(_stHASHPAIRE)));
    return pListes;
}

void CHashBase::_LibereListes(CListeDeBuffer *lists, int bucketCount)
{
    if (!lists)
        return;
    for (int i = 0; i < bucketCount; ++i)
        lists[i].~CListeDeBuffer();
    free(lists);
}

CHashBase::CHashBase(int bucketCount)
    : m_nFacteurAgrandissement(3), m_nFacteurReduction(1), m_nNbListe(0), m_pTabListe(nullptr), m_nNbElement(0)
{
    m_pTabListe = _pAlloueListes(bucketCount);
    if (m_pTabListe)
        m_nNbListe = bucketCount;
}

CHashBase::~CHashBase()
{
    _LibereListes(m_pTabListe, m_nNbListe);
}

void CHashBase::SetNiveau(int growthFactor, int shrinkFactor)
{
    m_nFacteurAgrandissement = growthFactor;
    m_nFacteurReduction = shrinkFactor;
}

bool CHashBase::Ajoute(void *key, void *value)
{
    if (m_nNbListe <= 0)
        return false;
    const _stHASHPAIRE st = {key, value};
    if (!m_pTabListe[_nListe(key)].Ajoute(&st, 1))
        return false;
    ++m_nNbElement;
    return true;
}

bool CHashBase::AjouteDYN(void *key, void *value)
{
    _RedimentionneTablePlus();
    return Ajoute(key, value);
}

bool CHashBase::bRecherche(void *key, void **value, void **storedKey)
{
    if (m_nNbListe <= 0)
        return false;
    CListeDeBuffer &liste = m_pTabListe[_nListe(key)];
    int i = 0;
    for (CLinkedElement *p = liste.m_pPremier; p; p = p->pSuivant, ++i) {
        const _stHASHPAIRE *pPaire = static_cast<const _stHASHPAIRE *>(CListeDeBuffer::pGetElem(p));
        if (bCompareCle(pPaire->pCle, key)) {
            liste.m_pCourant = p;
            liste.m_nIndiceCourant = i;
            if (value)
                *value = pPaire->pValeur;
            if (storedKey)
                *storedKey = pPaire->pCle;
            return true;
        }
    }
    if (liste.m_pDernier) {
        liste.m_pCourant = liste.m_pDernier;
        liste.m_nIndiceCourant = liste.m_nNombre - 1;
    }
    return false;
}

bool CHashBase::bRechercheConst(void *key, void **value, void **storedKey) const
{
    if (m_nNbListe <= 0)
        return false;
    CCurseurListe curseur(m_pTabListe[_nListe(key)]);
    for (void *pElem = curseur.pVaSurNumero(0); pElem; pElem = curseur.pVaSuivant()) {
        const _stHASHPAIRE *pPaire = static_cast<const _stHASHPAIRE *>(pElem);
        if (bCompareCle(pPaire->pCle, key)) {
            if (value)
                *value = pPaire->pValeur;
            if (storedKey)
                *storedKey = pPaire->pCle;
            return true;
        }
    }
    return false;
}

bool CHashBase::bSupprime(void *key)
{
    if (!bRecherche(key, nullptr, nullptr))
        return false;
    m_pTabListe[_nListe(key)].SupprimeCourant();
    --m_nNbElement;
    return true;
}

bool CHashBase::bSupprimeDYN(void *key)
{
    if (!bSupprime(key))
        return false;
    _RedimentionneTableMoins();
    return true;
}

void CHashBase::SupprimeCourant(int *bucket, void **value, void **key)
{
    if (!value)
        return;
    *value = nullptr;
    if (!bucket)
        return;
    if (*bucket < 0)
        *bucket = 0;
    for (; *bucket < m_nNbListe; ++*bucket) {
        CListeDeBuffer &liste = m_pTabListe[*bucket];
        if (!liste.m_pPremier)
            continue;
        const _stHASHPAIRE *pPaire = static_cast<const _stHASHPAIRE *>(liste.pVaSurNumero(0));
        *value = pPaire->pValeur;
        if (key)
            *key = pPaire->pCle;
        liste.SupprimeCourant();
        --m_nNbElement;
        return;
    }
}

void CHashBase::SupprimeTout()
{
    for (int i = 0; i < m_nNbListe; ++i)
        m_pTabListe[i].SupprimeTout();
    m_nNbElement = 0;
}

int CHashBase::RedimensionneTable(int bucketCount)
{
    if (bucketCount <= 0 || bucketCount == m_nNbListe)
        return m_nNbElement;
    CListeDeBuffer *pNouvelles = _pAlloueListes(bucketCount);
    if (!pNouvelles)
        return m_nNbElement;
    // Pairs leave in draining order (bucket by bucket, each from its front)
    // and enter the front of their new bucket. The nodes are relinked, not
    // copied, so a resize cannot run out of memory half-way.
    for (int i = 0; i < m_nNbListe; ++i) {
        CListeDeBuffer &ancienne = m_pTabListe[i];
        while (CLinkedElement *p = ancienne._pDetachePremier()) {
            void *pCle = static_cast<_stHASHPAIRE *>(CListeDeBuffer::pGetElem(p))->pCle;
            CListeDeBuffer &nouvelle = pNouvelles[dwCalculeHash(pCle) % static_cast<uint32_t>(bucketCount)];
            nouvelle._InsereNoeud(p, 1);
        }
    }
    _LibereListes(m_pTabListe, m_nNbListe);
    m_pTabListe = pNouvelles;
    m_nNbListe = bucketCount;
    return bucketCount;
}

void CHashBase::_RedimentionneTablePlus()
{
    // A factor of 0 or less would make every insertion double the table.
    const long long nFacteur = m_nFacteurAgrandissement < 1 ? 1 : m_nFacteurAgrandissement;
    if (m_nNbElement < static_cast<long long>(m_nNbListe) * nFacteur)
        return;
    const int n = nPremierDepuis(2LL * m_nNbListe);
    if (n > 0)
        RedimensionneTable(n);
}

void CHashBase::_RedimentionneTableMoins()
{
    if (m_nNbElement >= static_cast<long long>(m_nNbListe) * m_nFacteurReduction)
        return;
    int n = nPremierDepuis(m_nNbListe / 2);
    if (n <= kTailleMinimaleReduite - 1)
        n = kTailleMinimaleReduite;
    // The floor of 43 must not turn a shrink into a growth.
    if (n < m_nNbListe)
        RedimensionneTable(n);
}

unsigned long CHashBase::dwHashValT(const char *text)
{
    uint32_t dw = 0;
    if (text)
        for (const char *p = text; *p; ++p)
            dw += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    return dw;
}

unsigned long CHashBase::dwHashValTi(const char *text)
{
    // Only the ASCII letters fold: that is what the "C" locale does, and keys
    // already stored must keep their bucket whatever locale is set later.
    uint32_t dw = 0;
    if (text)
        for (const char *p = text; *p; ++p) {
            signed char c = static_cast<signed char>(*p);
            if (c >= 'a' && c <= 'z')
                c = static_cast<signed char>(c - 'a' + 'A');
            dw += static_cast<uint32_t>(static_cast<int32_t>(c));
        }
    return dw;
}
