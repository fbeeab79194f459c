// Helpers shared by the WinApi units; not part of the public interface.
#pragma once

#include <cstring>

#include "platform/WinTypes.h"

namespace tqwinapi {

// Copies text cut to nSize - 1 characters and terminates; answers the number copied
// (0 with no buffer or no room).
inline DWORD CopyCut(char *pszBuffer, DWORD nSize, const char *pszText, size_t nText)
{
    if (pszBuffer == nullptr || nSize == 0)
        return 0;
    if (nText > nSize - 1)
        nText = nSize - 1;
    memcpy(pszBuffer, pszText, nText);
    pszBuffer[nText] = '\0';
    return static_cast<DWORD>(nText);
}

}  // namespace tqwinapi
