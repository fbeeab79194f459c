// System answers, MulDiv, IsEqualGUID.
#include "platform/XSystem.h"

#include <cstring>

int bWindowsSeven() { return 0; }
int bWindowsNT() { return 0; }
int bWindowsVista() { return 0; }
int bWindowsXP() { return 0; }
int bWindows2000() { return 0; }
int bWindowsSmartphone() { return 0; }
int bWindowsCE2002() { return 0; }
int bIsWindows64() { return 0; }

unsigned short GetSystemDefaultLangID() { return 0x0800; }

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    // Unsigned arithmetic gives the 32-bit wrap without signed overflow, and
    // keeps INT_MIN negations defined.
    uint32_t ua = static_cast<uint32_t>(a), uc = static_cast<uint32_t>(c);
    if (c < 0) {
        uc = 0u - uc;
        ua = 0u - ua;
    }
    const int32_t nProduit = static_cast<int32_t>(ua * static_cast<uint32_t>(b));
    const int64_t nDiv = static_cast<int64_t>(static_cast<uint32_t>(uc)); // 1 .. 2^31
    const int64_t nDemi = nDiv / 2;
    const int64_t nNum = nProduit >= 0 ? static_cast<int64_t>(nProduit) + nDemi : static_cast<int64_t>(nProduit) - nDemi;
    return static_cast<int>(nNum / nDiv);
}

int IsEqualGUID(const GUID &a, const GUID &b)
{
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}
