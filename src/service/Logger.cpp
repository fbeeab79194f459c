// The service logger: system log by default, a file on request, or nothing.
#include "service/Logger.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "charset/xEmulUnicode.h"
#include "platform/WinApi.h"
#include "strings/Tstring.h"

// Event number of the plain AddLog.
static const int gnSansEvenement = -1;
// Language of the system text in AddLogSystemError: the user's default.
static const DWORD gdwLangueDefaut = 0x400;

// Code page 1252 into UTF-8; a byte without a character becomes '?'.
static std::string sVersUTF8(const std::string &sTexte)
{
    std::string sSortie(sTexte.size() * 3 + 1, '\0');
    int n = sTexte.empty() ? 0
                           : MultiByteToUTF8(1252, sTexte.data(), sTexte.size(), &sSortie[0], sSortie.size(), 0);
    if (n > 0 || sTexte.empty()) {
        sSortie.resize(static_cast<size_t>(n));
        return sSortie;
    }
    // The whole text failed on some byte: one byte at a time.
    sSortie.clear();
    for (char c : sTexte) {
        char szCar[8] = "";
        int nCar = MultiByteToUTF8(1252, &c, 1, szCar, sizeof(szCar), 0);
        if (nCar > 0)
            sSortie.append(szCar, static_cast<size_t>(nCar));
        else
            sSortie += '?';
    }
    return sSortie;
}

std::string Logger_sTexteJournal(const char *pszTexte)
{
    std::string sLignes;
    for (const char *p = pszTexte ? pszTexte : ""; *p; ++p) {
        if (*p != '\r')
            sLignes += *p;
        else if (p[1] != '\n')
            sLignes += '\n';
    }
    return sVersUTF8(sLignes);
}

static void SortieSyslog(int nPriorite, const char *pszTexte)
{
    // The text is finished: a '%' in it must not be read as a conversion.
    syslog(nPriorite, "%s", Logger_sTexteJournal(pszTexte).c_str());
}

static PFN_SORTIESYSLOG gpfnSortieSysteme = SortieSyslog;

PFN_SORTIESYSLOG Logger_SetSortieSysteme(PFN_SORTIESYSLOG pfnSortie)
{
    PFN_SORTIESYSLOG pfnAncienne = gpfnSortieSysteme;
    gpfnSortieSysteme = pfnSortie ? pfnSortie : SortieSyslog;
    return pfnAncienne;
}

// printf-style text of a format and its arguments (none when pArguments is null).
static CTString clFormate(const char *pszFormat, va_list *pArguments)
{
    CTString clTexte;
    if (!pszFormat)
        return clTexte;
    if (!pArguments) {
        clTexte.Set(pszFormat);
        return clTexte;
    }
    va_list stCopie;
    va_copy(stCopie, *pArguments);
    clTexte.FormatV(pszFormat, stCopie);
    va_end(stCopie);
    return clTexte;
}

CLogger::CLogger() : m_eMode(eMODE_AUCUN), m_pszFichier(nullptr), m_pfnSortie(&CLogger::__AddLogSystem)
{
    bSetMode(eMODE_SYSLOG);
}

CLogger::~CLogger()
{
    __CloseLogFile();
}

void CLogger::__CloseLogFile()
{
    free(m_pszFichier);
    m_pszFichier = nullptr;
}

bool CLogger::bSetMode(int32_t eMode, ...)
{
    __CloseLogFile();
    if (eMode == eMODE_SYSLOG) {
        m_pfnSortie = &CLogger::__AddLogSystem;
    } else {
        m_pfnSortie = &CLogger::__AddLogFile;
        if (eMode != eMODE_AUCUN) {
            va_list stArguments;
            va_start(stArguments, eMode);
            const char *pszFichier = va_arg(stArguments, const char *);
            va_end(stArguments);
            if (pszFichier)
                m_pszFichier = strdup(pszFichier); // stays null when the copy fails
        }
    }
    m_eMode = static_cast<eMODE>(eMode);
    return true;
}

std::string CLogger::sDerniereErreur() const
{
    std::lock_guard<std::mutex> clVerrou(m_clVerrouErreur);
    return m_sDerniereErreur;
}

void CLogger::_AddLogV(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, va_list *pArguments)
{
    if (ePriorite <= ePRIORITY_ERREUR && pszFormat) {
        CTString clTexte = clFormate(pszFormat, pArguments);
        std::lock_guard<std::mutex> clVerrou(m_clVerrouErreur);
        m_sDerniereErreur = clTexte.pszGet();
    }
    if (m_eMode == eMODE_AUCUN)
        return;
    (this->*m_pfnSortie)(ePriorite, nEvenement, pszFormat, pArguments, nullptr, 0);
}

void CLogger::AddLog(ePRIORITY ePriorite, const char *pszFormat, ...)
{
    va_list stArguments;
    va_start(stArguments, pszFormat);
    _AddLogV(ePriorite, gnSansEvenement, pszFormat, &stArguments);
    va_end(stArguments);
}

void CLogger::AddLogEvent(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, ...)
{
    va_list stArguments;
    va_start(stArguments, pszFormat);
    _AddLogV(ePriorite, nEvenement, pszFormat, &stArguments);
    va_end(stArguments);
}

void CLogger::AddLogDetail(ePRIORITY ePriorite, int nEvenement, const char **ppszDetails, int nNombre)
{
    if (m_eMode == eMODE_AUCUN || !ppszDetails || nNombre <= 0 || !ppszDetails[0])
        return;
    AddLogEvent(ePriorite, nEvenement, "%s", ppszDetails[0]);
}

void CLogger::AddLogSystemError(const char *pszFormat, ...)
{
    // Saved first: formatting may change errno.
    const int nErreur = errno;
    CTString clTexte;
    if (pszFormat) {
        va_list stArguments;
        va_start(stArguments, pszFormat);
        clTexte.FormatV(pszFormat, stArguments);
        va_end(stArguments);
    }
    char *pszSysteme = nullptr;
    errno = nErreur;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(nErreur), gdwLangueDefaut, reinterpret_cast<LPSTR>(&pszSysteme), 0,
                   nullptr);
    clTexte.AddPrintf(" , error %d, %s", nErreur, pszSysteme ? pszSysteme : "");
    free(pszSysteme);
    AddLog(ePRIORITY_ERREUR, "%s", clTexte.pszGet());
    errno = nErreur;
}

void CLogger::__AddLogSystem(ePRIORITY ePriorite, int, const char *pszFormat, va_list *pArguments, const char **,
                             int)
{
    CTString clTexte = clFormate(pszFormat, pArguments);
    gpfnSortieSysteme(static_cast<int>(ePriorite), clTexte.pszGet());
}

void CLogger::__AddLogFile(ePRIORITY, int, const char *pszFormat, va_list *pArguments, const char **, int)
{
    if (!m_pszFichier)
        return;
    CTString clTexte = clFormate(pszFormat, pArguments);
    clTexte.Add('\n');
    // One append of the whole line, so that lines of several threads do not mix.
    int nFichier = open(m_pszFichier, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (nFichier < 0)
        return;
    ssize_t nEcrit = write(nFichier, clTexte.pszGet(), static_cast<size_t>(clTexte.nTaille()));
    (void)nEcrit; // a log that cannot be written has nowhere to report it
    close(nFichier);
}
