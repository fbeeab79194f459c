// Global*/Heap* allocation wrappers and the memory status from /proc/meminfo.
#include "platform/WinApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Heap blocks: a header as large as the strictest alignment, whose last four bytes hold
// the block's size, so that the caller's pointer is aligned for any type.
const size_t knHeader = alignof(max_align_t);
static_assert(knHeader >= sizeof(uint32_t), "the header holds the 32-bit size");

uint32_t *SizeSlot(void *pBlock)
{
    return reinterpret_cast<uint32_t *>(static_cast<char *>(pBlock) - sizeof(uint32_t));
}

void *HeapFailure(DWORD dwFlags)
{
    if ((dwFlags & HEAP_GENERATE_EXCEPTIONS) != 0)
        throw static_cast<DWORD>(STATUS_NO_MEMORY);
    return nullptr;
}

MEMORYSTATUS cached_memstatus;
time_t cache_lastchecked = static_cast<time_t>(-1);
DWORD gnMemoryStatusReadings = 0;

void ReadMemoryStatus(MEMORYSTATUS *pStatus)
{
    memset(pStatus, 0, sizeof *pStatus);
    pStatus->dwLength = sizeof(MEMORYSTATUS);
    FILE *pFile = fopen("/proc/meminfo", "r");
    if (pFile == nullptr) {
        pStatus->dwMemoryLoad = 0;
        pStatus->dwTotalPhys = pStatus->dwAvailPhys = 0x1000000;
        pStatus->dwTotalPageFile = pStatus->dwAvailPageFile = 0x1000000;
        return;
    }
    gnMemoryStatusReadings++;
    // Amounts wrap at 32 bits, as the record's fields do.
    char szLine[256];
    while (fgets(szLine, sizeof szLine, pFile) != nullptr) {
        unsigned long long a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
        if (sscanf(szLine, "Mem: %llu %llu %llu %llu %llu %llu", &a, &b, &c, &d, &e, &f) == 6) {
            pStatus->dwTotalPhys += static_cast<uint32_t>(a);
            pStatus->dwAvailPhys += static_cast<uint32_t>(c + e + f);
        } else if (sscanf(szLine, "Swap: %llu %llu %llu", &a, &b, &c) == 3) {
            pStatus->dwTotalPageFile += static_cast<uint32_t>(a);
            pStatus->dwAvailPageFile += static_cast<uint32_t>(c);
        } else if (sscanf(szLine, "MemTotal: %llu", &a) == 1) {
            pStatus->dwTotalPhys = static_cast<uint32_t>(a * 1024);
        } else if (sscanf(szLine, "MemFree: %llu", &a) == 1) {
            pStatus->dwAvailPhys = static_cast<uint32_t>(a * 1024);
        } else if (sscanf(szLine, "SwapTotal: %llu", &a) == 1) {
            pStatus->dwTotalPageFile = static_cast<uint32_t>(a * 1024);
        } else if (sscanf(szLine, "SwapFree: %llu", &a) == 1) {
            pStatus->dwAvailPageFile = static_cast<uint32_t>(a * 1024);
        } else if (sscanf(szLine, "Buffers: %llu", &a) == 1 || sscanf(szLine, "Cached: %llu", &a) == 1) {
            pStatus->dwAvailPhys += static_cast<uint32_t>(a * 1024);
        }
        // The rest of an overlong line is not a line of its own.
        while (strchr(szLine, '\n') == nullptr && fgets(szLine, sizeof szLine, pFile) != nullptr) {
        }
    }
    fclose(pFile);
    if (pStatus->dwTotalPhys != 0) {
        uint32_t nTotal = pStatus->dwTotalPhys + pStatus->dwTotalPageFile;
        uint32_t nUsed = nTotal - pStatus->dwAvailPageFile - pStatus->dwAvailPhys;
        // Wrapped amounts can leave a total under 100 bytes: no load then.
        pStatus->dwMemoryLoad = nTotal / 100 != 0 ? nUsed / (nTotal / 100) : 0;
    }
}

}  // namespace

HGLOBAL GlobalAlloc(UINT nFlags, size_t nSize)
{
    void *pBlock = malloc(nSize != 0 ? nSize : 1);
    if (pBlock != nullptr && (nFlags & GMEM_ZEROINIT) != 0)
        memset(pBlock, 0, nSize);
    return pBlock;
}

HGLOBAL GlobalReAlloc(HGLOBAL hBlock, size_t nSize, UINT nFlags)
{
    if ((nFlags & GMEM_MODIFY) != 0)
        return hBlock;
    void *pBlock = realloc(hBlock, nSize != 0 ? nSize : 1);
    if (pBlock != nullptr && (nFlags & GMEM_ZEROINIT) != 0)
        memset(pBlock, 0, nSize);
    return pBlock;
}

HGLOBAL GlobalFree(HGLOBAL hBlock)
{
    free(hBlock);
    return nullptr;
}

void *GlobalLock(HGLOBAL hBlock)
{
    return hBlock;
}

BOOL GlobalUnlock(HGLOBAL)
{
    return TRUE;
}

HANDLE GetProcessHeap()
{
    static int nHeap;
    return &nHeap;
}

void *HeapAlloc(HANDLE, DWORD dwFlags, size_t nSize)
{
    if (nSize > UINT32_MAX || nSize > SIZE_MAX - knHeader)
        return HeapFailure(dwFlags);
    char *pRaw = static_cast<char *>(malloc(knHeader + nSize));
    if (pRaw == nullptr)
        return HeapFailure(dwFlags);
    void *pBlock = pRaw + knHeader;
    *SizeSlot(pBlock) = static_cast<uint32_t>(nSize);
    if ((dwFlags & HEAP_ZERO_MEMORY) != 0)
        memset(pBlock, 0, nSize);
    return pBlock;
}

void *HeapReAlloc(HANDLE, DWORD dwFlags, void *pBlock, size_t nSize)
{
    if (pBlock == nullptr || nSize > UINT32_MAX || nSize > SIZE_MAX - knHeader)
        return HeapFailure(dwFlags);
    uint32_t nOld = *SizeSlot(pBlock);
    char *pRaw = static_cast<char *>(realloc(static_cast<char *>(pBlock) - knHeader, knHeader + nSize));
    if (pRaw == nullptr)
        return HeapFailure(dwFlags);
    void *pNew = pRaw + knHeader;
    *SizeSlot(pNew) = static_cast<uint32_t>(nSize);
    if ((dwFlags & HEAP_ZERO_MEMORY) != 0 && nSize > nOld)
        memset(static_cast<char *>(pNew) + nOld, 0, nSize - nOld);
    return pNew;
}

BOOL HeapFree(HANDLE, DWORD, void *pBlock)
{
    if (pBlock != nullptr)
        free(static_cast<char *>(pBlock) - knHeader);
    return TRUE;
}

size_t HeapSize(HANDLE, DWORD, const void *pBlock)
{
    if (pBlock == nullptr)
        return 0;
    return *SizeSlot(const_cast<void *>(pBlock));
}

void ZeroMemory(void *pBlock, size_t nSize)
{
    if (pBlock != nullptr)
        memset(pBlock, 0, nSize);
}

void GlobalMemoryStatus(MEMORYSTATUS *pStatus)
{
    if (pStatus == nullptr)
        return;
    time_t nNow = time(nullptr);
    if (nNow != cache_lastchecked) {
        cache_lastchecked = nNow;
        ReadMemoryStatus(&cached_memstatus);
    }
    *pStatus = cached_memstatus;
}

DWORD nGetMemoryStatusReadCount()
{
    return gnMemoryStatusReadings;
}
