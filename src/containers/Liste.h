// Doubly linked list of fixed-size elements copied by value, with a built-in
// cursor: navigation, insertion and removal all happen at the cursor.
#pragma once

#include <cstddef>
#include <cstdint>

// Node header; the element's bytes follow it in the same malloc block.
struct CLinkedElement {
    CLinkedElement *pSuivant;
    CLinkedElement *pPrecedent;
};
static_assert(sizeof(CLinkedElement) == 2 * sizeof(void *), "node header: next then previous");

class CListeDeBuffer {
public:
    explicit CListeDeBuffer(int elementSize);
    ~CListeDeBuffer();

    // The list owns its nodes: a plain copy would free them twice. A second
    // cursor over the same nodes is a CCurseurListe.
    CListeDeBuffer(const CListeDeBuffer &) = delete;
    CListeDeBuffer &operator=(const CListeDeBuffer &) = delete;

    // Copies the element into a new node linked just before (before != 0) or
    // just after the cursor; the new node becomes current. When the cursor ran
    // off an end of a non-empty list, the node goes to that end. False (list
    // unchanged) when memory ran out.
    bool Ajoute(const void *element, int before);

    void *pCourant() const { return m_pCourant ? pGetElem(m_pCourant) : nullptr; }
    static void *pGetElem(CLinkedElement *node)
    {
        return node ? reinterpret_cast<unsigned char *>(node) + sizeof(CLinkedElement) : nullptr;
    }

    // Step even when the neighbour is missing, leaving no current element.
    void VaSuivant();
    void VaPrecedent();
    // Step only onto an existing neighbour; null (cursor kept) otherwise.
    void *pVaSuivant();
    void *pVaPrecedent();
    // Cursor on position `index` by the shortest walk; null (cursor kept)
    // when the index lies outside the list.
    void *pVaSurNumero(int index);

    // Removes the current node; the cursor goes to the previous node, or to the
    // new first one. 0 when a previous node existed, else the remaining count;
    // -1 when there was no current node.
    int SupprimeCourant();
    void SupprimeTout();

    // Moves to this empty list the nodes of `source` from the current node of
    // cursor `from` up to, not including, that of cursor `to` (or to the end).
    // Returns the number of nodes moved; 0 and nothing changed when the cursors
    // do not lie in that order on `source`, this list is not empty or the
    // element sizes differ.
    int ExtraitListe(CListeDeBuffer &source, CListeDeBuffer &from, CListeDeBuffer &to);

    int nGetNombre() const { return m_nNombre; }
    int nGetIndiceCourant() const { return m_nIndiceCourant; }
    int nGetTailleElement() const { return m_nTailleElement; }
    CLinkedElement *pGetPremier() const { return m_pPremier; }
    CLinkedElement *pGetDernier() const { return m_pDernier; }
    CLinkedElement *pGetCourantNoeud() const { return m_pCourant; }

    // Node-level operations for containers built on the list: they move nodes
    // between lists of the same element size without copying them.
    CLinkedElement *_pDetachePremier();
    void _InsereNoeud(CLinkedElement *node, int before);

    CLinkedElement *m_pPremier;
    CLinkedElement *m_pDernier;
    CLinkedElement *m_pCourant;
    int32_t m_nTailleElement;
    int32_t m_nNombre;
    int32_t m_nIndiceCourant;

protected:
    // Header copy for a cursor: shares the nodes, owns none of them.
    struct _stPARTAGE {};
    CListeDeBuffer(const CListeDeBuffer &other, _stPARTAGE);
    void _CopieEntete(const CListeDeBuffer &other);
    void _Oublie();
};

// A private cursor over another list's nodes. It never frees them; it must
// not outlive the list, nor be used after that list's nodes change other than
// through ExtraitListe.
class CCurseurListe : public CListeDeBuffer {
public:
    explicit CCurseurListe(const CListeDeBuffer &liste) : CListeDeBuffer(liste, _stPARTAGE()) {}
    ~CCurseurListe() { _Oublie(); }
    // Takes the other list's header again (its cursor included).
    void Recopie(const CListeDeBuffer &liste) { _CopieEntete(liste); }
};

static_assert(offsetof(CListeDeBuffer, m_pCourant) == 2 * sizeof(void *), "list header: three node pointers");
static_assert(offsetof(CListeDeBuffer, m_nTailleElement) == 3 * sizeof(void *), "then element size");
static_assert(offsetof(CListeDeBuffer, m_nIndiceCourant) == 3 * sizeof(void *) + 8, "count, then current index");
