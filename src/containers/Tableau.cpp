#include "containers/Tableau.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Temporary storage for one element: on the stack for the usual small
// elements, on the heap only for unusually large ones.
class CElementTemp {
public:
    explicit CElementTemp(int size)
        : m_p(size <= static_cast<int>(sizeof(m_local)) ? m_local
                                                        : static_cast<unsigned char *>(malloc(size))) {}
    ~CElementTemp()
    {
        if (m_p != m_local)
            free(m_p);
    }
    CElementTemp(const CElementTemp &) = delete;
    CElementTemp &operator=(const CElementTemp &) = delete;
    unsigned char *p() const { return m_p; }

private:
    unsigned char m_local[128];
    unsigned char *m_p;
};

} // namespace

CTableauDeBuffer::CTableauDeBuffer(int elementSize, int growthStep, int compactionThreshold)
    : m_nTailleElement(elementSize), m_nNombre(0), m_nCapacite(0), m_nPas(growthStep),
      m_nSeuilCompactage(compactionThreshold), m_pItems(nullptr) {}

CTableauDeBuffer::CTableauDeBuffer(const CTableauDeBuffer &other)
    : m_nTailleElement(other.m_nTailleElement), m_nNombre(0), m_nCapacite(0),
      m_nPas(other.m_nPas), m_nSeuilCompactage(other.m_nSeuilCompactage), m_pItems(nullptr)
{
    if (other.m_nNombre > 0 && _bRealloue(other.m_nNombre)) {
        memcpy(m_pItems, other.m_pItems, static_cast<size_t>(other.m_nNombre) * m_nTailleElement);
        m_nNombre = other.m_nNombre;
    }
}

CTableauDeBuffer &CTableauDeBuffer::operator=(const CTableauDeBuffer &other)
{
    if (this != &other) {
        CTableauDeBuffer copy(other);
        EchangeTableau(this, &copy);
    }
    return *this;
}

CTableauDeBuffer::~CTableauDeBuffer()
{
    free(m_pItems);
}

bool CTableauDeBuffer::_bRealloue(int capacity)
{
    if (capacity <= 0) {
        free(m_pItems);
        m_pItems = nullptr;
        m_nCapacite = 0;
        return true;
    }
    size_t bytes = static_cast<size_t>(capacity) * static_cast<size_t>(m_nTailleElement);
    if (m_nTailleElement <= 0 || bytes / static_cast<size_t>(m_nTailleElement) != static_cast<size_t>(capacity))
        return false;
    void *p = m_pItems ? realloc(m_pItems, bytes) : malloc(bytes);
    if (!p)
        return false;
    m_pItems = static_cast<unsigned char *>(p);
    m_nCapacite = capacity;
    return true;
}

void *CTableauDeBuffer::pGetAt(int index) const
{
    if (index < 0 || index >= m_nNombre)
        return nullptr;
    return _pElement(index);
}

int CTableauDeBuffer::Agrandir()
{
    // A step below 1 would never make room and the next write would land
    // past the block.
    int step = m_nPas > 0 ? m_nPas : 1;
    if (m_nCapacite > INT32_MAX - step || !_bRealloue(m_nCapacite + step))
        return 0;
    return step;
}

int CTableauDeBuffer::AlloueMemoire(int capacity)
{
    if (m_nCapacite >= capacity)
        return capacity;
    return _bRealloue(capacity) ? capacity : m_nCapacite;
}

int CTableauDeBuffer::AgranditMemoire(int extra)
{
    if (extra <= 0 || m_nNombre > INT32_MAX - extra)
        return 0;
    int missing = m_nNombre + extra - m_nCapacite;
    if (missing <= 0)
        return 0;
    int step = m_nPas > 0 ? m_nPas : 1;
    long long growth = (static_cast<long long>(missing) + step - 1) / step * step;
    if (m_nCapacite + growth > INT32_MAX || !_bRealloue(static_cast<int>(m_nCapacite + growth)))
        return 0;
    return static_cast<int>(growth);
}

int CTableauDeBuffer::Ajoute(const void *element)
{
    if (m_nNombre == m_nCapacite && Agrandir() == 0)
        return -1;
    memcpy(_pElement(m_nNombre), element, m_nTailleElement);
    return m_nNombre++;
}

void CTableauDeBuffer::SetAt(const void *element, int index)
{
    if (index >= 0 && index < m_nNombre)
        memcpy(_pElement(index), element, m_nTailleElement);
}

void CTableauDeBuffer::Insere(const void *element, int index)
{
    if (index < 0 || index > m_nNombre)
        return;
    if (m_nNombre == m_nCapacite && Agrandir() == 0)
        return;
    memmove(_pElement(index + 1), _pElement(index),
            static_cast<size_t>(m_nNombre - index) * m_nTailleElement);
    memcpy(_pElement(index), element, m_nTailleElement);
    ++m_nNombre;
}

void CTableauDeBuffer::Etend(int index, const void *element, const void *filler)
{
    if (index < 0)
        return;
    if (index < m_nNombre) {
        SetAt(element, index);
        return;
    }
    if (index == m_nNombre) {
        Ajoute(element);
        return;
    }
    if (index >= m_nCapacite) {
        int step = m_nPas > 0 ? m_nPas : 1;
        if (index > INT32_MAX - step || !_bRealloue(index + step))
            return;
    }
    for (int i = m_nNombre; i < index; ++i)
        memcpy(_pElement(i), filler, m_nTailleElement);
    memcpy(_pElement(index), element, m_nTailleElement);
    m_nNombre = index + 1;
}

void CTableauDeBuffer::Initialise(const void *element, int count)
{
    if (count < 0)
        count = 0;
    if (!_bRealloue(count)) {
        SupprimeToutEtLibere();
        return;
    }
    for (int i = 0; i < count; ++i)
        memcpy(_pElement(i), element, m_nTailleElement);
    m_nNombre = count;
}

void CTableauDeBuffer::Supprime(int index, int number)
{
    if (number <= 0 || index < 0 || index >= m_nNombre)
        return;
    if (number > m_nNombre - index)
        number = m_nNombre - index;
    memmove(_pElement(index), _pElement(index + number),
            static_cast<size_t>(m_nNombre - index - number) * m_nTailleElement);
    m_nNombre -= number;
}

void CTableauDeBuffer::SupprimeDernier(int number)
{
    if (number <= 0)
        return;
    m_nNombre = number >= m_nNombre ? 0 : m_nNombre - number;
}

void CTableauDeBuffer::SupprimeCompacte(int index)
{
    int before = m_nNombre;
    Supprime(index, 1);
    if (m_nNombre != before && m_nCapacite - m_nNombre > m_nSeuilCompactage)
        Compacter();
}

int CTableauDeBuffer::Compacter()
{
    if (m_nNombre != m_nCapacite)
        _bRealloue(m_nNombre);
    return m_nCapacite;
}

void CTableauDeBuffer::SupprimeToutEtLibere()
{
    free(m_pItems);
    m_pItems = nullptr;
    m_nNombre = 0;
    m_nCapacite = 0;
}

void CTableauDeBuffer::Deplace(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= m_nNombre || to >= m_nNombre)
        return;
    CElementTemp temp(m_nTailleElement);
    if (!temp.p())
        return;
    memcpy(temp.p(), _pElement(from), m_nTailleElement);
    if (from < to)
        memmove(_pElement(from), _pElement(from + 1), static_cast<size_t>(to - from) * m_nTailleElement);
    else
        memmove(_pElement(to + 1), _pElement(to), static_cast<size_t>(from - to) * m_nTailleElement);
    memcpy(_pElement(to), temp.p(), m_nTailleElement);
}

void CTableauDeBuffer::Swap(int i, int j)
{
    if (i == j || i < 0 || j < 0 || i >= m_nNombre || j >= m_nNombre)
        return;
    CElementTemp temp(m_nTailleElement);
    if (!temp.p())
        return;
    memcpy(temp.p(), _pElement(i), m_nTailleElement);
    memcpy(_pElement(i), _pElement(j), m_nTailleElement);
    memcpy(_pElement(j), temp.p(), m_nTailleElement);
}

void CTableauDeBuffer::PermuteMultiple(int kept, const _STBlocATrier *blocks, int blockCount)
{
    if (kept < 0 || kept > m_nNombre || blockCount < 0 || (blockCount > 0 && !blocks) || !m_pItems)
        return;
    // Every listed run must lie inside the array and all of them together
    // must fit after the kept elements, or the copy would leave the block.
    long long total = 0;
    for (int b = 0; b < blockCount; ++b) {
        if (blocks[b].nPremier < 0 || blocks[b].nNombre < 0 ||
            static_cast<long long>(blocks[b].nPremier) + blocks[b].nNombre > m_nNombre)
            return;
        total += blocks[b].nNombre;
    }
    if (kept + total > m_nNombre)
        return;
    size_t size = static_cast<size_t>(m_nTailleElement);
    unsigned char *fresh = static_cast<unsigned char *>(malloc(static_cast<size_t>(m_nCapacite) * size));
    if (!fresh)
        return;
    memcpy(fresh, m_pItems, static_cast<size_t>(kept) * size);
    size_t at = static_cast<size_t>(kept);
    for (int b = 0; b < blockCount;) {
        // Runs that follow each other in the old array go over in one copy.
        int first = blocks[b].nPremier;
        long long count = blocks[b].nNombre;
        for (++b; b < blockCount && blocks[b].nPremier == first + count; ++b)
            count += blocks[b].nNombre;
        memcpy(fresh + at * size, _pElement(first), static_cast<size_t>(count) * size);
        at += static_cast<size_t>(count);
    }
    memcpy(fresh + at * size, _pElement(static_cast<int>(at)), (m_nNombre - at) * size);
    free(m_pItems);
    m_pItems = fresh;
}

void *CTableauDeBuffer::pRechercheLineaireCriterePointeur(int key, int (*criterion)(int, const void *)) const
{
    int index = nRechercheLineaireCriterePointeur(key, criterion);
    return index < 0 ? nullptr : *reinterpret_cast<void **>(_pElement(index));
}

int CTableauDeBuffer::nRechercheLineaireCriterePointeur(int key, int (*criterion)(int, const void *)) const
{
    if (!criterion || m_nTailleElement != static_cast<int>(sizeof(void *)))
        return -1;
    for (int i = 0; i < m_nNombre; ++i) {
        if (criterion(key, *reinterpret_cast<void **>(_pElement(i))) == 0)
            return i;
    }
    return -1;
}

void CTableauDeBuffer::_RecupereDonnees(CTableauDeBuffer *other)
{
    if (!other || other == this)
        return;
    free(m_pItems);
    m_pItems = other->m_pItems;
    m_nNombre = other->m_nNombre;
    m_nCapacite = other->m_nCapacite;
    other->m_pItems = nullptr;
    other->m_nNombre = 0;
    other->m_nCapacite = 0;
}

void CTableauDeBuffer::Recupere(CTableauDeBuffer *other)
{
    if (!other || other == this)
        return;
    m_nTailleElement = other->m_nTailleElement;
    m_nPas = other->m_nPas;
    m_nSeuilCompactage = other->m_nSeuilCompactage;
    _RecupereDonnees(other);
}

void CTableauDeBuffer::EchangeTableau(CTableauDeBuffer *a, CTableauDeBuffer *b)
{
    if (!a || !b || a == b)
        return;
    std::swap(a->m_nTailleElement, b->m_nTailleElement);
    std::swap(a->m_nNombre, b->m_nNombre);
    std::swap(a->m_nCapacite, b->m_nCapacite);
    std::swap(a->m_nPas, b->m_nPas);
    std::swap(a->m_nSeuilCompactage, b->m_nSeuilCompactage);
    std::swap(a->m_pItems, b->m_pItems);
}
