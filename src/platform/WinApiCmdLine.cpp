// The process-wide command line the engine receives.
#include "platform/WinApi.h"

#include <cstring>

// Process-wide, written once by main before anything else runs.
static char tabCmdLine[TQ_CMDLINE_MAX + 1];

namespace {

// Appends text at *pnLen, never beyond TQ_CMDLINE_MAX characters.
void AppendCut(size_t *pnLen, const char *pszText, size_t nText)
{
    size_t nRoom = TQ_CMDLINE_MAX - *pnLen;
    if (nText > nRoom)
        nText = nRoom;
    memcpy(tabCmdLine + *pnLen, pszText, nText);
    *pnLen += nText;
    tabCmdLine[*pnLen] = '\0';
}

}  // namespace

void SetCommandLine(int argc, const char *const *argv)
{
    size_t nLen = 0;
    tabCmdLine[0] = '\0';
    for (int i = 0; i < argc && argv != nullptr; i++) {
        const char *pszArg = argv[i] != nullptr ? argv[i] : "";
        const char *pszBlank = strchr(pszArg, ' ');
        if (pszBlank == nullptr) {
            AppendCut(&nLen, pszArg, strlen(pszArg));
        } else {
            // KEY=value with blanks keeps the key outside the quotes.
            const char *pszEqual = static_cast<const char *>(memchr(pszArg, '=', pszBlank - pszArg));
            const char *pszQuoted = pszArg;
            if (pszEqual != nullptr) {
                AppendCut(&nLen, pszArg, pszEqual + 1 - pszArg);
                pszQuoted = pszEqual + 1;
            }
            AppendCut(&nLen, "\"", 1);
            AppendCut(&nLen, pszQuoted, strlen(pszQuoted));
            AppendCut(&nLen, "\"", 1);
        }
        AppendCut(&nLen, " ", 1);
    }
}

char *GetCommandLine()
{
    return tabCmdLine;
}
