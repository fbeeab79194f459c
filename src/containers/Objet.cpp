#include "containers/Objet.h"

void *CObjet::pIQueryInterface()
{
    if (!m_pAgregat)
        CreateAgregat();
    AddRef();
    return m_pAgregat;
}

CObjet *CObjet::AddRef()
{
    ++m_nRef;
    return this;
}

int CObjet::nRelease()
{
    int count = --m_nRef;
    if (count == 0)
        delete this;
    return count;
}
