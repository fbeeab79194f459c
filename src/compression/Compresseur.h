// Dispatcher through which callers compress and decompress blocks.
#pragma once

#include "compression/CompresseurBase.h"
#include "compression/ZLWCompresseur.h"

class CCompresseur {
public:
    explicit CCompresseur(unsigned char method);
    virtual ~CCompresseur() {}

    void ChangeMethodeCompression(unsigned char method);
    // Compresses m_pbyEntree into m_pbySortie (capacity at least
    // dwTailleBufferCompression(size)); returns the block size. The codec
    // decides between a stored and a ZLW block.
    uint32_t dwCompression();
    // The argument is not consulted: the block names its own method.
    // Returns the decoded byte count, 0 on failure.
    uint32_t dwDecompression(CCompresseurBase::eCOMPRESSEURTYPE type);

    CCompresseurBase *pGetCompresseur() const { return m_pCompresseur; }
    unsigned char byGetMethode() const { return m_byMethode; }

    // The one codec of the process, shared by every dispatcher.
    static CZLWCompresseur ms_clCompresseurZLW;

    CCompresseurBase *m_pCompresseur; // not owned
    unsigned char m_byMethode;        // 0xFF: none yet
    // Set by the caller before each call.
    unsigned char *m_pbyEntree;
    uint32_t m_dwTailleEntree;
    unsigned char *m_pbySortie;
    uint32_t m_dwTailleSortie;
};
