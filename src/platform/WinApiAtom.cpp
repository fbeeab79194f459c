// Process-wide atom table: names (case ignored) with reference counts and 16-bit identifiers.
#include "platform/WinApi.h"
#include "platform/WinApiInternal.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

ATOM CAtom::gnId = 1;

namespace {

// Owns the list and frees it at process exit.
struct CAtomList {
    CAtom *pHead = nullptr;

    ~CAtomList()
    {
        while (pHead != nullptr) {
            CAtom *pNext = pHead->pNext;
            free(pHead->pszName);
            delete pHead;
            pHead = pNext;
        }
    }
};

CAtomList gclAtomList;

CAtom *FindByName(const char *pszName)
{
    for (CAtom *p = gclAtomList.pHead; p != nullptr; p = p->pNext) {
        if (strcasecmp(p->pszName, pszName) == 0)
            return p;
    }
    return nullptr;
}

}  // namespace

ATOM AddAtom(LPCSTR pszName)
{
    if (pszName == nullptr)
        return 0;
    CAtom *pAtom = FindByName(pszName);
    if (pAtom != nullptr) {
        pAtom->nCount++;
        return pAtom->nId;
    }
    // Identifier 0 means failure: once the counter wraps, no new atom can be made.
    if (CAtom::gnId == 0)
        return 0;
    char *pszCopy = strdup(pszName);
    if (pszCopy == nullptr)
        return 0;
    pAtom = new CAtom{CAtom::gnId++, 1, pszCopy, nullptr};
    CAtom **ppLast = &gclAtomList.pHead;
    while (*ppLast != nullptr)
        ppLast = &(*ppLast)->pNext;
    *ppLast = pAtom;
    return pAtom->nId;
}

ATOM FindAtom(LPCSTR pszName)
{
    if (pszName == nullptr)
        return 0;
    CAtom *pAtom = FindByName(pszName);
    return pAtom != nullptr ? pAtom->nId : 0;
}

UINT GetAtomName(ATOM nAtom, LPSTR pszBuffer, int nSize)
{
    for (CAtom *p = gclAtomList.pHead; p != nullptr; p = p->pNext) {
        if (p->nId != nAtom)
            continue;
        if (nSize <= 0)
            return 0;
        // Always terminated, even when the name fills the buffer.
        return tqwinapi::CopyCut(pszBuffer, static_cast<DWORD>(nSize), p->pszName, strlen(p->pszName));
    }
    return 0;
}

ATOM DeleteAtom(ATOM nAtom)
{
    for (CAtom **pp = &gclAtomList.pHead; *pp != nullptr; pp = &(*pp)->pNext) {
        CAtom *p = *pp;
        if (p->nId != nAtom)
            continue;
        if (--p->nCount <= 0) {
            *pp = p->pNext;
            free(p->pszName);
            delete p;
        }
        return 0;
    }
    return nAtom;
}
