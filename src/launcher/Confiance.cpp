// The trust rule for files the launcher loads or reads, and the ELF admission of
// libraries before the system loader maps them.
#include "launcher/Confiance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "files/LectureSure.h"
#include "launcher/InfoExeElf.h"
#include "launcher/TQExe.h"

namespace {

// The class and machine of the running launcher: the only libraries it can map.
const int gnClasseLanceur = sizeof(void *) == 8 ? 64 : 32;
#if defined(__x86_64__)
const uint16_t gnMachineLanceur = 62;
#elif defined(__i386__)
const uint16_t gnMachineLanceur = 3;
#elif defined(__aarch64__)
const uint16_t gnMachineLanceur = 183;
#else
#error "unknown machine"
#endif

std::string sOctal(mode_t nMode)
{
    char sz[8];
    snprintf(sz, sizeof(sz), "%04o", static_cast<unsigned>(nMode & 07777));
    return sz;
}

bool bProprietaireAdmis(uid_t nProprietaire, uid_t nUid)
{
    return nProprietaire == 0 || nProprietaire == nUid;
}

std::string sRealPath(const std::string &s)
{
    char szReel[PATH_MAX];
    return realpath(s.c_str(), szReel) ? std::string(szReel) : std::string();
}

// Every directory from sRep up to /, each a real directory.
bool bRepertoiresSurs(std::string sRep, uid_t nUid, std::string *psRaison)
{
    for (;;) {
        struct stat st;
        if (lstat(sRep.c_str(), &st) != 0) {
            *psRaison = "directory " + sRep + ": " + strerror(errno);
            return false;
        }
        if (!bProprietaireAdmis(st.st_uid, nUid)) {
            *psRaison = "directory " + sRep + " is owned by uid " + std::to_string(st.st_uid);
            return false;
        }
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX)) {
            *psRaison = "directory " + sRep + " is writable by others (mode " + sOctal(st.st_mode) + ")";
            return false;
        }
        if (sRep == "/")
            return true;
        size_t n = sRep.rfind('/');
        sRep = n == 0 || n == std::string::npos ? "/" : sRep.substr(0, n);
    }
}

std::string sRepertoireDe(const std::string &s)
{
    size_t n = s.rfind('/');
    return n == std::string::npos ? "." : n == 0 ? "/" : s.substr(0, n);
}

bool bLitTout(int nFd, uint64_t oDebut, size_t nTaille, uint8_t *p)
{
    size_t nLu = 0;
    while (nLu < nTaille) {
        ssize_t n = pread(nFd, p + nLu, nTaille - nLu, static_cast<off_t>(oDebut + nLu));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nLu += static_cast<size_t>(n);
    }
    return true;
}

// The ELF check on an open regular file: the headers it needs are read, never more.
bool bElfChargeable(int nFd, uint64_t nTailleFichier, std::string *psRaison, bool *pbEtranger, int nClasse,
                    uint16_t nMachine)
{
    // Far enough for any real program header table; a forged one beyond is refused.
    const uint64_t nLectureMax = 16u << 20;
    std::vector<uint8_t> tab(static_cast<size_t>(nTailleFichier < 64 ? nTailleFichier : 64));
    const char *pszRaison = "not an ELF file";
    if (!bLitTout(nFd, 0, tab.size(), tab.data())) {
        *psRaison = std::string("cannot read it: ") + strerror(errno);
        return false;
    }
    _stELFENTETE stEntete;
    if (ElfInfoExe_bLitEntete(tab.data(), tab.size(), &stEntete) &&
        (stEntete.nClasse != nClasse || stEntete.nMachine != nMachine)) {
        *pbEtranger = true;
        *psRaison = "an ELF file of another class or machine than the launcher's";
        return false;
    }
    uint64_t nFin = ElfInfoExe_nFinTableSegments(tab.data(), tab.size(), &pszRaison);
    if (nFin == 0) {
        *psRaison = pszRaison;
        return false;
    }
    if (nFin > nTailleFichier) {
        *psRaison = "truncated: its program headers end at byte " + std::to_string(nFin) + " of a " +
                    std::to_string(nTailleFichier) + "-byte file";
        return false;
    }
    if (nFin > nLectureMax) {
        *psRaison = "its program headers lie " + std::to_string(nFin) + " bytes into the file";
        return false;
    }
    size_t nDeja = tab.size();
    tab.resize(static_cast<size_t>(nFin > nDeja ? nFin : nDeja));
    if (!bLitTout(nFd, nDeja, tab.size() - nDeja, tab.data() + nDeja)) {
        *psRaison = std::string("cannot read it: ") + strerror(errno);
        return false;
    }
    if (!ElfInfoExe_bVerifieSegments(tab.data(), tab.size(), nTailleFichier, &pszRaison)) {
        *psRaison = pszRaison;
        return false;
    }
    return true;
}

} // namespace

bool Confiance_bActive()
{
    return geteuid() == 0;
}

uid_t Confiance_uidProprietaire(const char *pszFichier)
{
    struct stat st;
    return pszFichier && stat(pszFichier, &st) == 0 ? st.st_uid : 0;
}

bool Confiance_bVerifie(const char *pszChemin, uid_t nUid, int nFd, std::string *psRaison, std::string *psReel)
{
    const std::string sChemin = pszChemin ? pszChemin : "";
    const std::string sReel = sRealPath(sChemin);
    if (sReel.empty()) {
        *psRaison = std::string("cannot resolve its path: ") + strerror(errno);
        return false;
    }
    if (psReel)
        *psReel = sReel;
    struct stat st;
    if (nFd >= 0 ? fstat(nFd, &st) != 0 : stat(sReel.c_str(), &st) != 0) {
        *psRaison = strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *psRaison = "not a regular file";
        return false;
    }
    // Through a link, the file judged is named.
    const std::string sQui = sReel == sChemin ? std::string() : sReel + " is ";
    if (!bProprietaireAdmis(st.st_uid, nUid)) {
        *psRaison = sQui + "owned by uid " + std::to_string(st.st_uid) + ", neither root nor the executable's owner";
        return false;
    }
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        *psRaison = sQui + "writable by others (mode " + sOctal(st.st_mode) + ")";
        return false;
    }
    // A link given in the path could be pointed elsewhere by its owner.
    struct stat stLien;
    if (lstat(sChemin.c_str(), &stLien) == 0 && S_ISLNK(stLien.st_mode) && !bProprietaireAdmis(stLien.st_uid, nUid)) {
        *psRaison = "a symbolic link owned by uid " + std::to_string(stLien.st_uid);
        return false;
    }
    if (!bRepertoiresSurs(sRepertoireDe(sReel), nUid, psRaison))
        return false;
    const std::string sRepDonne = sRealPath(sRepertoireDe(sChemin));
    return sRepDonne.empty() || sRepDonne == sRepertoireDe(sReel) || bRepertoiresSurs(sRepDonne, nUid, psRaison);
}

bool Confiance_bAdmetBibliotheque(const char *pszChemin, uid_t nUid, std::string *psChargement,
                                  std::string *psRaison, bool *pbEtranger, int nClasse, uint16_t nMachine)
{
    if (nClasse == 0) {
        nClasse = gnClasseLanceur;
        nMachine = gnMachineLanceur;
    }
    bool bEtranger = false;
    if (!pbEtranger)
        pbEtranger = &bEtranger;
    *pbEtranger = false;
    // A FIFO planted under the name must not hang the launch.
    struct stat st;
    int nFd = LectureSure_nOuvre(pszChemin, &st, psRaison);
    if (nFd < 0)
        return false;
    bool bOk = true;
    std::string sReel = pszChemin;
    if (bOk && Confiance_bActive())
        bOk = Confiance_bVerifie(pszChemin, nUid, nFd, psRaison, &sReel);
    if (bOk)
        bOk = bElfChargeable(nFd, static_cast<uint64_t>(st.st_size), psRaison, pbEtranger, nClasse, nMachine);
    close(nFd);
    if (bOk)
        *psChargement = sReel;
    return bOk;
}

void Confiance_SignaleRefus(const std::string &sChemin, const std::string &sRaison)
{
    static std::set<std::string> s_setSignales;
    const std::string sLigne = sChemin + ": refused: " + sRaison;
    if (!s_setSignales.insert(sLigne).second)
        return;
    fprintf(stderr, "%s\n", sLigne.c_str());
    fflush(stderr);
    if (gbService)
        syslog(LOG_ERR, "%s", sLigne.c_str());
}
