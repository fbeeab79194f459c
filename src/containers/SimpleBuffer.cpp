#include "containers/SimpleBuffer.h"

#include <cstdlib>
#include <cstring>

CSimpleBuffer::CSimpleBuffer() : m_pBuffer(nullptr), m_dwSize(0) {}

CSimpleBuffer::CSimpleBuffer(unsigned long size) : m_pBuffer(nullptr), m_dwSize(0)
{
    SetSize(size);
}

CSimpleBuffer::CSimpleBuffer(const void *source, unsigned long length)
    : m_pBuffer(nullptr), m_dwSize(0)
{
    CopyBuffer(source, length);
}

CSimpleBuffer::CSimpleBuffer(const CSimpleBuffer &other) : m_pBuffer(nullptr), m_dwSize(0)
{
    CopyBuffer(other.m_pBuffer, other.m_dwSize);
}

CSimpleBuffer &CSimpleBuffer::operator=(const CSimpleBuffer &other)
{
    if (this != &other) {
        // Copy first, then take the copy's block: SetSize keeps the old
        // block when the sizes match, which would mix the two contents.
        CSimpleBuffer copy(other);
        unsigned char *p = m_pBuffer;
        m_pBuffer = copy.m_pBuffer;
        m_dwSize = copy.m_dwSize;
        copy.m_pBuffer = p;
    }
    return *this;
}

CSimpleBuffer::~CSimpleBuffer()
{
    free(m_pBuffer);
}

void CSimpleBuffer::SetSize(unsigned long size)
{
    if (size == m_dwSize)
        return;
    free(m_pBuffer);
    m_pBuffer = nullptr;
    m_dwSize = 0;
    uint64_t wide = size; // 64-bit long: sizes above 4 GiB do not fit the field
    if (wide == 0 || wide > UINT32_MAX)
        return;
    m_pBuffer = static_cast<unsigned char *>(malloc(size));
    if (m_pBuffer)
        m_dwSize = static_cast<uint32_t>(size);
}

void CSimpleBuffer::CopyBuffer(const void *source, unsigned long length)
{
    SetSize(length);
    if (m_dwSize == length && length != 0 && source)
        memcpy(m_pBuffer, source, length);
}
