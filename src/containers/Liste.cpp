#include "containers/Liste.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

CListeDeBuffer::CListeDeBuffer(int elementSize)
    : m_pPremier(nullptr), m_pDernier(nullptr), m_pCourant(nullptr),
      m_nTailleElement(elementSize < 0 ? 0 : elementSize), m_nNombre(0), m_nIndiceCourant(-1) {}

CListeDeBuffer::CListeDeBuffer(const CListeDeBuffer &other, _stPARTAGE)
    : m_pPremier(nullptr), m_pDernier(nullptr), m_pCourant(nullptr), m_nTailleElement(0),
      m_nNombre(0), m_nIndiceCourant(-1)
{
    _CopieEntete(other);
}

CListeDeBuffer::~CListeDeBuffer()
{
    SupprimeTout();
}

void CListeDeBuffer::_CopieEntete(const CListeDeBuffer &other)
{
    m_pPremier = other.m_pPremier;
    m_pDernier = other.m_pDernier;
    m_pCourant = other.m_pCourant;
    m_nTailleElement = other.m_nTailleElement;
    m_nNombre = other.m_nNombre;
    m_nIndiceCourant = other.m_nIndiceCourant;
}

void CListeDeBuffer::_Oublie()
{
    m_pPremier = m_pDernier = m_pCourant = nullptr;
    m_nNombre = 0;
    m_nIndiceCourant = -1;
}

void CListeDeBuffer::_InsereNoeud(CLinkedElement *node, int before)
{
    if (!m_pPremier) {
        node->pSuivant = node->pPrecedent = nullptr;
        m_pPremier = m_pDernier = m_pCourant = node;
        m_nIndiceCourant = 0;
        m_nNombre = 1;
        return;
    }
    CLinkedElement *pApres; // the node that will follow the new one
    if (m_pCourant)
        pApres = before ? m_pCourant : m_pCourant->pSuivant;
    else // off an end: insert at that end
        pApres = m_nIndiceCourant < 0 ? m_pPremier : nullptr;
    CLinkedElement *pAvant = pApres ? pApres->pPrecedent : m_pDernier;
    node->pSuivant = pApres;
    node->pPrecedent = pAvant;
    if (pAvant)
        pAvant->pSuivant = node;
    else
        m_pPremier = node;
    if (pApres)
        pApres->pPrecedent = node;
    else
        m_pDernier = node;
    if (m_pCourant)
        m_nIndiceCourant += before ? 0 : 1;
    else
        m_nIndiceCourant = m_nIndiceCourant < 0 ? 0 : m_nNombre;
    m_pCourant = node;
    ++m_nNombre;
}

bool CListeDeBuffer::Ajoute(const void *element, int before)
{
    CLinkedElement *p = static_cast<CLinkedElement *>(malloc(sizeof(CLinkedElement) + m_nTailleElement));
    if (!p)
        return false;
    if (m_nTailleElement > 0) {
        if (element)
            memcpy(pGetElem(p), element, m_nTailleElement);
        else
            memset(pGetElem(p), 0, m_nTailleElement);
    }
    _InsereNoeud(p, before);
    return true;
}

void CListeDeBuffer::VaSuivant()
{
    if (m_pCourant) {
        m_pCourant = m_pCourant->pSuivant;
        ++m_nIndiceCourant;
    }
}

void CListeDeBuffer::VaPrecedent()
{
    if (m_pCourant) {
        m_pCourant = m_pCourant->pPrecedent;
        --m_nIndiceCourant;
    }
}

void *CListeDeBuffer::pVaSuivant()
{
    if (!m_pCourant || !m_pCourant->pSuivant)
        return nullptr;
    m_pCourant = m_pCourant->pSuivant;
    ++m_nIndiceCourant;
    return pGetElem(m_pCourant);
}

void *CListeDeBuffer::pVaPrecedent()
{
    if (!m_pCourant || !m_pCourant->pPrecedent)
        return nullptr;
    m_pCourant = m_pCourant->pPrecedent;
    --m_nIndiceCourant;
    return pGetElem(m_pCourant);
}

void *CListeDeBuffer::pVaSurNumero(int index)
{
    if (index < 0 || index >= m_nNombre)
        return nullptr;
    const long nDepuisPremier = index;
    const long nDepuisDernier = static_cast<long>(m_nNombre) - index - 1;
    // Without a current node the cursor offers no shortcut.
    const long nDepuisCourant = m_pCourant ? labs(static_cast<long>(m_nIndiceCourant) - index) : m_nNombre;
    CLinkedElement *p;
    if (nDepuisPremier <= nDepuisDernier && nDepuisPremier <= nDepuisCourant) {
        p = m_pPremier;
        for (long i = 0; i < nDepuisPremier; ++i)
            p = p->pSuivant;
    } else if (nDepuisDernier <= nDepuisCourant) {
        p = m_pDernier;
        for (long i = 0; i < nDepuisDernier; ++i)
            p = p->pPrecedent;
    } else {
        p = m_pCourant;
        if (index > m_nIndiceCourant)
            for (long i = 0; i < nDepuisCourant; ++i)
                p = p->pSuivant;
        else
            for (long i = 0; i < nDepuisCourant; ++i)
                p = p->pPrecedent;
    }
    m_pCourant = p;
    m_nIndiceCourant = index;
    return pGetElem(p);
}

int CListeDeBuffer::SupprimeCourant()
{
    CLinkedElement *p = m_pCourant;
    if (!p)
        return -1;
    if (p->pPrecedent)
        p->pPrecedent->pSuivant = p->pSuivant;
    else
        m_pPremier = p->pSuivant;
    if (p->pSuivant)
        p->pSuivant->pPrecedent = p->pPrecedent;
    else
        m_pDernier = p->pPrecedent;
    --m_nNombre;
    int nResultat;
    if (p->pPrecedent) {
        m_pCourant = p->pPrecedent;
        --m_nIndiceCourant;
        nResultat = 0;
    } else {
        m_pCourant = m_pPremier;
        if (!m_pCourant)
            m_nIndiceCourant = -1;
        nResultat = m_nNombre;
    }
    free(p);
    return nResultat;
}

CLinkedElement *CListeDeBuffer::_pDetachePremier()
{
    if (!m_pPremier)
        return nullptr;
    if (m_pCourant != m_pPremier) {
        CLinkedElement *p = m_pPremier;
        m_pPremier = p->pSuivant;
        if (m_pPremier)
            m_pPremier->pPrecedent = nullptr;
        else
            m_pDernier = nullptr;
        --m_nNombre;
        if (m_pCourant || m_nIndiceCourant > 0) // before the start stays there
            --m_nIndiceCourant;
        if (!m_pPremier)
            m_nIndiceCourant = -1;
        return p;
    }
    // The cursor sits on the first node: it moves to the new first node.
    CLinkedElement *p = m_pPremier;
    m_pPremier = m_pCourant = p->pSuivant;
    if (m_pPremier)
        m_pPremier->pPrecedent = nullptr;
    else {
        m_pDernier = nullptr;
        m_nIndiceCourant = -1;
    }
    --m_nNombre;
    return p;
}

void CListeDeBuffer::SupprimeTout()
{
    CLinkedElement *p = m_pPremier;
    while (p) {
        CLinkedElement *pSuivant = p->pSuivant;
        free(p);
        p = pSuivant;
    }
    _Oublie();
}

int CListeDeBuffer::ExtraitListe(CListeDeBuffer &source, CListeDeBuffer &from, CListeDeBuffer &to)
{
    if (&source == this || m_pPremier || m_nTailleElement != source.m_nTailleElement || !from.m_pCourant ||
        from.m_pCourant == to.m_pCourant)
        return 0;
    // Both cursors are located on `source` itself: stale or foreign cursors
    // must not unlink nodes of some other list.
    int nDebut = -1, nFin = -1, nSource = -1;
    int i = 0;
    for (CLinkedElement *p = source.m_pPremier; p; p = p->pSuivant, ++i) {
        if (p == from.m_pCourant)
            nDebut = i;
        if (p == to.m_pCourant && nDebut >= 0)
            nFin = i;
        if (p == source.m_pCourant)
            nSource = i;
    }
    if (!to.m_pCourant)
        nFin = source.m_nNombre;
    if (nDebut < 0 || nFin <= nDebut)
        return 0;
    const int nDeplaces = nFin - nDebut;

    CLinkedElement *pPremier = from.m_pCourant;
    CLinkedElement *pApres = to.m_pCourant;
    CLinkedElement *pDernier = pApres ? pApres->pPrecedent : source.m_pDernier;
    CLinkedElement *pAvant = pPremier->pPrecedent;
    if (pAvant)
        pAvant->pSuivant = pApres;
    else
        source.m_pPremier = pApres;
    if (pApres)
        pApres->pPrecedent = pAvant;
    else
        source.m_pDernier = pAvant;
    source.m_nNombre -= nDeplaces;

    pPremier->pPrecedent = nullptr;
    pDernier->pSuivant = nullptr;
    m_pPremier = m_pCourant = pPremier;
    m_pDernier = pDernier;
    m_nNombre = nDeplaces;
    m_nIndiceCourant = 0;

    // Where the cursors end: on `to`'s node, or past the end of what is left.
    const int nIndiceFin = source.m_nNombre == 0 ? -1 : nFin - nDeplaces;
    if (nSource >= nDebut && nSource < nFin) {
        source.m_pCourant = pApres;
        source.m_nIndiceCourant = nIndiceFin;
    } else if (nSource >= nFin || (nSource < 0 && source.m_nIndiceCourant >= nFin)) {
        source.m_nIndiceCourant = source.m_nNombre == 0 ? -1 : source.m_nIndiceCourant - nDeplaces;
    }
    // Cursors may be the source itself; do not re-copy its own header.
    for (CListeDeBuffer *pCurseur : {&from, &to}) {
        if (pCurseur == &source)
            continue;
        pCurseur->_CopieEntete(source);
        pCurseur->m_pCourant = pApres;
        pCurseur->m_nIndiceCourant = nIndiceFin;
    }
    return nDeplaces;
}
