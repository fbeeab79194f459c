// Allocation wrappers over the libc allocator.
#include "platform/xmalloc.h"

#include <cstdlib>

void *XMALLOC_pNew_(size_t nSize) { return malloc(nSize); }
void *XMALLOC_pResize_(void *pBlock, size_t nSize) { return realloc(pBlock, nSize); }
void XMALLOC_Del_(void *pBlock) { free(pBlock); }
