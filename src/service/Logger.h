// Logging of service mode: the interface the engine receives (ILogger) and its
// implementation (CLogger), which writes to the system log by default.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

// Where messages go.
enum eMODE : int32_t {
    eMODE_AUCUN = 0,   // nothing is logged
    eMODE_SYSLOG = 1,  // system log
    eMODE_FICHIER = 2, // any other value: a file named by bSetMode's extra argument
};

// System log levels, passed through unchanged.
enum ePRIORITY : int32_t {
    ePRIORITY_URGENCE = 0,
    ePRIORITY_ALERTE = 1,
    ePRIORITY_CRITIQUE = 2, // every failure of the service start-up
    ePRIORITY_ERREUR = 3,   // system errors
    ePRIORITY_AVERTISSEMENT = 4,
    ePRIORITY_NOTE = 5,
    ePRIORITY_INFO = 6,
    ePRIORITY_DEBUG = 7,
};

// Slot order matters: the engine calls these through the pointer it is handed.
class ILogger {
public:
    // eMode is an eMODE value; an int so that va_start may follow it.
    virtual bool bSetMode(int32_t eMode, ...) = 0;
    virtual void AddLog(ePRIORITY ePriorite, const char *pszFormat, ...) = 0;
    virtual void AddLogEvent(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, ...) = 0;
    virtual void AddLogDetail(ePRIORITY ePriorite, int nEvenement, const char **ppszDetails, int nNombre) = 0;

protected:
    ~ILogger() = default; // the engine never deletes the logger it is handed
};

// Receives every finished system-log line; replaceable so that tests can see exactly
// what would reach the system log. Null restores the system log.
typedef void (*PFN_SORTIESYSLOG)(int nPriorite, const char *pszTexte);
// Answers the sink that was in place.
PFN_SORTIESYSLOG Logger_SetSortieSysteme(PFN_SORTIESYSLOG pfnSortie);
// A text as the system log stores it: the system's code page (1252) turned into
// UTF-8 and every line end ("\r\n" or a lone '\r') into "\n", so that the journal
// keeps it as text. Bytes the code page does not define become '?'.
std::string Logger_sTexteJournal(const char *pszTexte);

class CLogger : public ILogger {
public:
    CLogger();
    virtual ~CLogger();
    CLogger(const CLogger &) = delete;
    CLogger &operator=(const CLogger &) = delete;

    // Any mode but 0 and 1 takes the log file name as one extra const char* argument.
    bool bSetMode(int32_t eMode, ...) override;
    void AddLog(ePRIORITY ePriorite, const char *pszFormat, ...) override;
    void AddLogEvent(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, ...) override;
    // Logs the first detail string, as text; a count of 0 or less reads nothing.
    void AddLogDetail(ePRIORITY ePriorite, int nEvenement, const char **ppszDetails, int nNombre) override;
    // The caller's text, then " , error N, <system text>" for the errno of the call,
    // at priority 3.
    void AddLogSystemError(const char *pszFormat, ...);

    // The last line logged at priority 3 or a more urgent one, whatever the mode: why
    // a start failed, for the process that launched it.
    std::string sDerniereErreur() const;

    eMODE eGetMode() const { return m_eMode; }
    const char *pszGetFichier() const { return m_pszFichier; }

private:
    typedef void (CLogger::*PFN_SORTIE)(ePRIORITY ePriorite, int nEvenement, const char *pszFormat,
                                        va_list *pArguments, const char **ppszDetails, int nNombre);

    void __CloseLogFile();
    void __AddLogSystem(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, va_list *pArguments,
                        const char **ppszDetails, int nNombre);
    void __AddLogFile(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, va_list *pArguments,
                      const char **ppszDetails, int nNombre);
    void _AddLogV(ePRIORITY ePriorite, int nEvenement, const char *pszFormat, va_list *pArguments);

    eMODE m_eMode;
    char *m_pszFichier;
    PFN_SORTIE m_pfnSortie;
    mutable std::mutex m_clVerrouErreur; // the engine logs from its own threads
    std::string m_sDerniereErreur;
};

static_assert(sizeof(eMODE) == 4 && sizeof(ePRIORITY) == 4, "the engine passes modes and priorities as 32 bits");
