// Allocation wrappers over the libc allocator.
#pragma once

#include <cstddef>

void *XMALLOC_pNew_(size_t nSize);
void *XMALLOC_pResize_(void *pBlock, size_t nSize);
void XMALLOC_Del_(void *pBlock); // null allowed
