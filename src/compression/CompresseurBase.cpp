#include "compression/CompresseurBase.h"

#include <cstring>

namespace {

bool bTailleValide(unsigned long size)
{
    uint64_t wide = size; // 64-bit long: the block format holds 32-bit sizes only
    return wide <= UINT32_MAX;
}

// Holds the codec's recursive mutex for one call.
class CVerrou {
public:
    explicit CVerrou(pthread_mutex_t *m) : m_p(m) { pthread_mutex_lock(m_p); }
    ~CVerrou() { pthread_mutex_unlock(m_p); }
    CVerrou(const CVerrou &) = delete;
    CVerrou &operator=(const CVerrou &) = delete;

private:
    pthread_mutex_t *m_p;
};

} // namespace

CCompresseurBase::CCompresseurBase()
    : m_pbyEntree(nullptr), m_dwTailleEntree(0), m_pbySortie(nullptr), m_dwTailleSortie(0)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

CCompresseurBase::~CCompresseurBase()
{
    pthread_mutex_destroy(&m_mutex);
}

uint32_t CCompresseurBase::dwTailleEntree(unsigned char *block) const
{
    switch (block[0]) {
    case eCOMPRESSEUR_COPIE:
        return TQ_dwLitLE32(block + 1) + TAILLE_ENTETE_COPIE;
    case eCOMPRESSEUR_CODE2:
    case eCOMPRESSEUR_ZLW:
        return TQ_dwLitLE32(block + 1) + TAILLE_ENTETE_CODE;
    default:
        return TAILLE_INCONNUE;
    }
}

uint32_t CCompresseurBase::dwTailleDecompression(unsigned char *block, unsigned long) const
{
    switch (block[0]) {
    case eCOMPRESSEUR_COPIE:
        return TQ_dwLitLE32(block + 1);
    case eCOMPRESSEUR_CODE2:
    case eCOMPRESSEUR_ZLW:
        return TQ_dwLitLE32(block + 5);
    default:
        return TAILLE_INCONNUE;
    }
}

uint32_t CCompresseurBase::dwTailleBufferCompression(unsigned long n)
{
    return static_cast<uint32_t>(n + 7);
}

void CCompresseurBase::_EcritEntete(unsigned char method, unsigned long codedSize)
{
    m_pbySortie[0] = method;
    if (method == eCOMPRESSEUR_COPIE) {
        TQ_EcritLE32(m_pbySortie + 1, m_dwTailleEntree);
    } else if (method == eCOMPRESSEUR_CODE2 || method == eCOMPRESSEUR_ZLW) {
        m_pbySortie[9] = 0;
        m_pbySortie[10] = 0;
        TQ_EcritLE32(m_pbySortie + 1, static_cast<uint32_t>(codedSize));
        TQ_EcritLE32(m_pbySortie + 5, m_dwTailleEntree);
    }
}

uint32_t CCompresseurBase::dwCompression(unsigned char *in, unsigned long inSize, unsigned char *out,
                                         unsigned long outCapacity)
{
    if (!bTailleValide(inSize) || !bTailleValide(outCapacity))
        return 0;
    CVerrou lock(&m_mutex);
    m_pbyEntree = in;
    m_dwTailleEntree = static_cast<uint32_t>(inSize);
    m_pbySortie = out;
    m_dwTailleSortie = static_cast<uint32_t>(outCapacity);
    uint32_t result = _dwCompression();
    m_pbyEntree = nullptr;
    return result;
}

uint32_t CCompresseurBase::dwDecompression(unsigned char *in, unsigned long inSize, unsigned char *out,
                                           unsigned long outCapacity)
{
    if (!bTailleValide(inSize))
        return 0;
    // A capacity beyond 32 bits is more room than any block can use.
    uint64_t capacity = outCapacity;
    CVerrou lock(&m_mutex);
    m_pbyEntree = in;
    m_dwTailleEntree = static_cast<uint32_t>(inSize);
    m_pbySortie = out;
    m_dwTailleSortie = capacity > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(capacity);
    uint32_t result = _dwDecompression();
    m_pbyEntree = nullptr;
    return result;
}

bool CCompresseurBase::s_bLitEntete(const unsigned char *block, uint64_t available, unsigned char &method,
                                    uint64_t &blockSize, uint32_t &decodedSize)
{
    if (!block || available < TAILLE_ENTETE_COPIE)
        return false;
    method = block[0];
    if (method == eCOMPRESSEUR_COPIE) {
        decodedSize = TQ_dwLitLE32(block + 1);
        blockSize = static_cast<uint64_t>(decodedSize) + TAILLE_ENTETE_COPIE;
        return true;
    }
    if ((method != eCOMPRESSEUR_CODE2 && method != eCOMPRESSEUR_ZLW) || available < TAILLE_ENTETE_CODE)
        return false;
    blockSize = static_cast<uint64_t>(TQ_dwLitLE32(block + 1)) + TAILLE_ENTETE_CODE;
    decodedSize = TQ_dwLitLE32(block + 5);
    return true;
}

uint32_t CCompresseurBase::_dwCompresseCopie()
{
    _EcritEntete(eCOMPRESSEUR_COPIE, 0);
    if (m_dwTailleEntree)
        memcpy(m_pbySortie + TAILLE_ENTETE_COPIE, m_pbyEntree, m_dwTailleEntree);
    return m_dwTailleEntree + TAILLE_ENTETE_COPIE;
}

uint32_t CCompresseurBase::_dwDecompresseCopie()
{
    if (!m_pbyEntree || m_dwTailleEntree < TAILLE_ENTETE_COPIE)
        return 0;
    uint32_t n = TQ_dwLitLE32(m_pbyEntree + 1);
    // A stored size beyond the bytes actually given would copy from past
    // the input.
    if (n > m_dwTailleSortie || n > m_dwTailleEntree - TAILLE_ENTETE_COPIE)
        return 0;
    if (n)
        memcpy(m_pbySortie, m_pbyEntree + TAILLE_ENTETE_COPIE, n);
    return n;
}
