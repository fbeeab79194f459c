// Base of heap objects shared by reference count.
#pragma once

#include <cstdint>

class CObjet {
public:
    CObjet() : m_nRef(1), m_pAgregat(nullptr) {}
    // Assignment copies nothing: each object keeps its own count and
    // aggregated interface.
    CObjet(const CObjet &) : m_nRef(1), m_pAgregat(nullptr) {}
    CObjet &operator=(const CObjet &) { return *this; }

    virtual ~CObjet() {}
    virtual void XAssertValid() const {}
    // Creates the aggregated interface on first request and adds a
    // reference to the object; null when the class has none.
    virtual void *pIQueryInterface();
    virtual CObjet *AddRef();
    // Returns the new count; at 0 the object has deleted itself.
    virtual int nRelease();
    virtual void CreateAgregat() {}

    int32_t m_nRef; // plain integer: shared use across threads needs outside locking
    void *m_pAgregat;
};
