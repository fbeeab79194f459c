// Growable arrays of fixed-size elements copied by value.
#pragma once

#include <cstdint>

// One run of elements for PermuteMultiple: first index and element count.
struct _STBlocATrier {
    int32_t nPremier;
    int32_t nNombre;
};

class CTableauDeBuffer {
public:
    CTableauDeBuffer(int elementSize, int growthStep, int compactionThreshold);
    CTableauDeBuffer(const CTableauDeBuffer &other);
    CTableauDeBuffer &operator=(const CTableauDeBuffer &other);

    // Raises the capacity by the growth step; returns the step.
    virtual int Agrandir();
    virtual ~CTableauDeBuffer();
    // Exactly `count` elements, each a copy of `element`.
    virtual void Initialise(const void *element, int count);
    // Shrinks the block to the count; returns the new capacity.
    virtual int Compacter();

    int AlloueMemoire(int capacity);
    int AgranditMemoire(int extra);

    // Returns the index of the new element, or -1 when memory ran out.
    int Ajoute(const void *element);
    void SetAt(const void *element, int index);
    void Insere(const void *element, int index);
    void Etend(int index, const void *element, const void *filler);
    void Supprime(int index, int number = 1);
    void SupprimeDernier(int number = 1);
    void SupprimeCompacte(int index);
    void SupprimeToutEtLibere();
    void Deplace(int from, int to);
    void Swap(int i, int j);
    void PermuteMultiple(int kept, const _STBlocATrier *blocks, int blockCount);

    void *pRechercheLineaireCriterePointeur(int key, int (*criterion)(int, const void *)) const;
    int nRechercheLineaireCriterePointeur(int key, int (*criterion)(int, const void *)) const;

    void _RecupereDonnees(CTableauDeBuffer *other);
    void Recupere(CTableauDeBuffer *other);
    static void EchangeTableau(CTableauDeBuffer *a, CTableauDeBuffer *b);

    int nGetNombre() const { return m_nNombre; }
    int nGetCapacite() const { return m_nCapacite; }
    int nGetTailleElement() const { return m_nTailleElement; }
    // Address of element `index`, or null outside 0 .. count - 1.
    void *pGetAt(int index) const;

    int32_t m_nTailleElement;
    int32_t m_nNombre;
    int32_t m_nCapacite;
    int32_t m_nPas;
    int32_t m_nSeuilCompactage;
    unsigned char *m_pItems;

protected:
    bool _bRealloue(int capacity);
    unsigned char *_pElement(int index) const
    {
        return m_pItems + static_cast<long>(index) * m_nTailleElement;
    }
};

template <class T>
class CTTableau : public CTableauDeBuffer {
public:
    CTTableau(int growthStep = 1, int compactionThreshold = 30)
        : CTableauDeBuffer(static_cast<int>(sizeof(T)), growthStep, compactionThreshold) {}

    using CTableauDeBuffer::Initialise;
    void Initialise(const T &element, int count) { CTableauDeBuffer::Initialise(&element, count); }

    T *pGetData() const { return reinterpret_cast<T *>(m_pItems); }
    T &operator[](int index) const { return pGetData()[index]; }
    T &GetAt(int index) const { return pGetData()[index]; }
};
