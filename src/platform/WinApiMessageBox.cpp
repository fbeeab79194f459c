// Message boxes held on the console: caption, text and a French prompt on standard
// error, the answer read as one line from standard input.
#include "platform/WinApi.h"

#include "charset/xEmulUnicode.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <string>

namespace {

const char *PromptFor(UINT nButtons)
{
    switch (nButtons) {
    case MB_OK:
        return "Appuyez sur ENTREE pour continuer : \n";
    case MB_OKCANCEL:
        return "Entrez votre choix (o = OK, c = CANCEL) pour continuer (exemple : o + ENTREE) : \n";
    case MB_YESNOCANCEL:
        return "Entrez votre choix (y = YES, n = NO, c = CANCEL) pour continuer (exemple : y + "
               "ENTREE) : \n";
    case MB_YESNO:
        return "Entrez votre choix (y = YES, n = NO) pour continuer (exemple : y + ENTREE) : \n";
    case MB_RETRYCANCEL:
        return "Entrez votre choix (r = RETRY, c = CANCEL) pour continuer (exemple : r + ENTREE) : "
               "\n";
    default:
        return "Entrez votre choix (r = RETRY, a = ABORT, i = IGNORE) pour continuer (exemple : r + "
               "ENTREE) : \n";
    }
}

// One code point in code page 1252; '?' for what it cannot show.
char To1252(uint32_t nCode)
{
    if (nCode < 0x80 || (nCode >= 0xA0 && nCode <= 0xFF))
        return static_cast<char>(nCode);
    if (nCode > 0xFFFF)
        return '?';
    wchar_t wc = static_cast<wchar_t>(nCode);
    char by = 0;
    if (WideCharToMultiByte(1252, 0, &wc, 1, &by, 1, nullptr, nullptr) == 1 &&
        static_cast<unsigned char>(by) >= 0x80 && static_cast<unsigned char>(by) <= 0x9F)
        return by;
    return '?';
}

// UTF-16 text as code page 1252 bytes; a lone surrogate is one '?'.
std::string Utf16To1252(const uint16_t *pText)
{
    std::string s;
    if (!pText)
        return s;
    for (const uint16_t *p = pText; *p; ++p) {
        uint32_t n = *p;
        if (n >= 0xD800 && n <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            n = 0x10000 + ((n - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (n >= 0xD800 && n <= 0xDFFF) {
            n = 0xFFFD;
        }
        s += To1252(n);
    }
    return s;
}

// Reads one line from standard input and answers its first non-blank character;
// 0 for an empty line, the end of the input or an input that cannot be read.
int FirstAnswerCharacter()
{
    int nFirst = 0;
    flockfile(stdin);
    for (;;) {
        int c = getc_unlocked(stdin);
        if (c == EOF) {
            if (ferror_unlocked(stdin) && (errno == EINTR || errno == EAGAIN)) {
                clearerr_unlocked(stdin);
                if (errno == EAGAIN) {
                    // A non-blocking input: wait for the line rather than spin.
                    struct pollfd pfd = {fileno(stdin), POLLIN, 0};
                    if (poll(&pfd, 1, -1) < 0 && errno != EINTR)
                        break;
                }
                continue;
            }
            break;
        }
        if (c == '\n')
            break;
        if (nFirst == 0 && c != ' ' && c != '\t')
            nFirst = c;
    }
    funlockfile(stdin);
    return nFirst;
}

} // namespace

int _MessageBox_NO_GUI(const void *pText, const char *pszCaption, UINT nButtons, int bWide)
{
    fprintf(stderr, "%s\n", pszCaption ? pszCaption : "");
    if (bWide)
        fprintf(stderr, "%s\n", Utf16To1252(static_cast<const uint16_t *>(pText)).c_str());
    else
        fprintf(stderr, "%s\n", pText ? static_cast<const char *>(pText) : "");
    fputs(PromptFor(nButtons), stderr);
    fflush(stderr);

    switch (FirstAnswerCharacter()) {
    case 'a':
        return IDABORT;
    case 'c':
        return IDCANCEL;
    case 'i':
        return IDIGNORE;
    case 'n':
        return IDNO;
    case 'r':
        fputs("Dans Anjuta, utiliser la Stack Trace pour voir la fonction en cours et F7 pour "
              "reprendre l'execution\n",
              stderr);
        fflush(stderr);
        return IDRETRY;
    case 'y':
        return IDYES;
    default:
        return IDOK;
    }
}

int MessageBox(HWND, const char *pszText, const char *pszCaption, UINT nButtons)
{
    return _MessageBox_NO_GUI(pszText, pszCaption, nButtons, 0);
}

int MessageBoxW(HWND, const uint16_t *pszText, const char *pszCaption, UINT nButtons)
{
    return _MessageBox_NO_GUI(pszText, pszCaption, nButtons, 1);
}
