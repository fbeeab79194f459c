// Reading a file that may be hostile.
#include "files/LectureSure.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int LectureSure_nOuvre(const char *pszChemin, struct stat *pst, std::string *psRaison)
{
    int nFd = open(pszChemin, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        *psRaison = strerror(errno);
        return -1;
    }
    if (fstat(nFd, pst) != 0)
        *psRaison = strerror(errno);
    else if (S_ISDIR(pst->st_mode))
        *psRaison = "a directory";
    else if (!S_ISREG(pst->st_mode))
        *psRaison = "not a regular file";
    else
        return nFd;
    close(nFd);
    return -1;
}

bool LectureSure_bLitTout(int nFd, size_t nMax, std::string *psTexte, std::string *psRaison)
{
    char szTampon[65536];
    size_t nLu = 0;
    for (;;) {
        ssize_t n = read(nFd, szTampon, sizeof(szTampon));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *psRaison = std::string("read error: ") + strerror(errno);
            return false;
        }
        if (n == 0)
            return true;
        nLu += static_cast<size_t>(n);
        if (nLu > nMax) {
            *psRaison = "larger than " + std::to_string(nMax) + " bytes";
            return false;
        }
        psTexte->append(szTampon, static_cast<size_t>(n));
    }
}
