// Reference-counted root of streams and error objects.
#pragma once

#include <cstdint>

class CTQUnknown {
public:
    CTQUnknown() : m_dwRef(0) {}
    // A copy is a new object: it starts without holders, and assignment leaves
    // each object's own count alone.
    CTQUnknown(const CTQUnknown &) : m_dwRef(0) {}
    CTQUnknown &operator=(const CTQUnknown &) { return *this; }
    virtual ~CTQUnknown() {}

    // Lowers the count and answers the new one; deletes the object when the count
    // falls from 1 to 0. Holders add a reference by raising m_dwRef directly.
    // A release without any reference leaves the count at 0 rather than wrapping it.
    virtual uint32_t dwRelease()
    {
        if (m_dwRef == 1) {
            m_dwRef = 0;
            delete this;
            return 0;
        }
        if (m_dwRef > 0)
            --m_dwRef;
        return m_dwRef;
    }

    uint32_t m_dwRef;
};

static_assert(sizeof(CTQUnknown) == sizeof(void *) + (sizeof(void *) == 8 ? 8 : 4),
              "CTQUnknown is its table pointer and a 32-bit count");
