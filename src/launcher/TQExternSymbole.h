// Exports of loaded libraries as function pointers, for the call interface and the
// component proxy (header only: the interface's own library links nothing else).
#pragma once

#include <dlfcn.h>

#include "platform/WinTypes.h"

// An object pointer from dlsym taken as a function pointer.
template <class PFN>
PFN pfnDepuis(void *p)
{
    static_assert(sizeof(PFN) == sizeof(p), "function and object pointers have one size");
    return reinterpret_cast<PFN>(p);
}

// An export of a library; null when absent. A null handle answers null rather than
// searching the whole process.
template <class PFN>
PFN pfnExport(HINSTANCE hLibrairie, const char *pszNom)
{
    return hLibrairie ? pfnDepuis<PFN>(dlsym(hLibrairie, pszNom)) : nullptr;
}
