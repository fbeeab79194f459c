// Owned heap block with its size.
#pragma once

#include <cstdint>

class CSimpleBuffer {
public:
    CSimpleBuffer();
    explicit CSimpleBuffer(unsigned long size);
    CSimpleBuffer(const void *source, unsigned long length);
    CSimpleBuffer(const CSimpleBuffer &other);
    CSimpleBuffer &operator=(const CSimpleBuffer &other);

    virtual ~CSimpleBuffer();
    // Gives the buffer a block of exactly `size` bytes; the old content is
    // dropped unless the size is unchanged. A size the 32-bit field cannot
    // hold, or a failed allocation, leaves the buffer empty.
    virtual void SetSize(unsigned long size);

    void CopyBuffer(const void *source, unsigned long length);

    unsigned char *pGetBuffer() const { return m_pBuffer; }
    uint32_t dwGetSize() const { return m_dwSize; }

    unsigned char *m_pBuffer; // null when empty
    uint32_t m_dwSize;
};
