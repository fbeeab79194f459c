#include "compression/Compresseur.h"

CZLWCompresseur CCompresseur::ms_clCompresseurZLW;

CCompresseur::CCompresseur(unsigned char method)
    : m_pCompresseur(nullptr), m_byMethode(0xFF), m_pbyEntree(nullptr), m_dwTailleEntree(0), m_pbySortie(nullptr),
      m_dwTailleSortie(0)
{
    ChangeMethodeCompression(method);
}

void CCompresseur::ChangeMethodeCompression(unsigned char method)
{
    if (method == m_byMethode && m_pCompresseur)
        return;
    if (method == CCompresseurBase::eCOMPRESSEUR_COPIE) {
        if (m_pCompresseur)
            return;
        m_pCompresseur = &ms_clCompresseurZLW;
        m_byMethode = CCompresseurBase::eCOMPRESSEUR_COPIE;
        return;
    }
    m_pCompresseur = &ms_clCompresseurZLW;
    m_byMethode = CCompresseurBase::eCOMPRESSEUR_ZLW;
}

uint32_t CCompresseur::dwCompression()
{
    if (!m_pCompresseur)
        return 0;
    return m_pCompresseur->dwCompression(m_pbyEntree, m_dwTailleEntree, m_pbySortie, m_dwTailleSortie);
}

uint32_t CCompresseur::dwDecompression(CCompresseurBase::eCOMPRESSEURTYPE)
{
    if (!m_pbyEntree || m_dwTailleEntree == 0)
        return 0;
    unsigned char remembered = m_byMethode;
    ChangeMethodeCompression(m_pbyEntree[0]);
    uint32_t result = m_pCompresseur->dwDecompression(m_pbyEntree, m_dwTailleEntree, m_pbySortie, m_dwTailleSortie);
    ChangeMethodeCompression(remembered);
    return result;
}
