// Reference-counted root of streams and error objects.
#pragma once

#include <cstdint>

class CTQUnknown {
public:
    CTQUnknown() : m_dwRef(0) {}
    virtual ~CTQUnknown() {}

    // Lowers the count; deletes the object when it falls from 1 to 0.
    // Holders add a reference by raising m_dwRef directly.
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
