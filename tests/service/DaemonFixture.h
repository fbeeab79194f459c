// Running the real launcher as a daemon, as root, in a private mount namespace: its
// /run is a directory of the test and its /dev holds only null and a log socket the
// test reads. The test process is a child subreaper, so every daemon stays its child:
// nothing outlives the test, and every wait is bounded.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace tqtest {

// How long any wait of these tests may last.
const int gnAttenteMaxMs = 20000;

struct stOPTIONSDEMON {
    bool bPid1 = false;         // started as a child of a PID namespace's first process
    bool bRunLectureSeule = false; // /run mounted read-only
    std::string sRecord;        // call record of the engine (default: the application's)
    std::string sNotification;  // NOTIFY_SOCKET of the launcher; empty: none
    bool bErreurJournal = false; // JOURNAL_STREAM names the launcher's standard error
};

// A datagram socket standing in for the service manager's: a path, or an abstract
// name given with its leading '@'.
class CGestionnaire {
public:
    explicit CGestionnaire(const std::string &sNom);
    ~CGestionnaire();
    CGestionnaire(const CGestionnaire &) = delete;
    CGestionnaire &operator=(const CGestionnaire &) = delete;

    bool bPret() const { return m_nSocket >= 0; }
    const std::string &sNom() const { return m_sNom; }
    // The datagrams received so far, waiting up to nMs for the n-th.
    std::vector<std::string> tabRecus(size_t n, int nMs = gnAttenteMaxMs);

private:
    std::string m_sNom;
    int m_nSocket = -1;
    std::vector<std::string> m_tabRecus;
};

class CDemon {
public:
    explicit CDemon(const std::string &sNom = "app");
    ~CDemon();
    CDemon(const CDemon &) = delete;
    CDemon &operator=(const CDemon &) = delete;

    // Empty when the machine can run these tests; otherwise why not.
    static std::string sRaisonSaut();

    std::string sFichier(const std::string &sNom) const { return m_clRep.sFichier(sNom); }
    std::string sExe() const { return sFichier(m_sNom); }
    std::string sRecord() const { return sFichier("record.log"); }
    // The pid file of a service as the test sees it.
    std::string sPidFichier(const std::string &sService) const { return sFichier("run/" + sService + ".pid"); }

    bool bPoseMoteur(const std::string &sVariante) const;
    bool bPoseScript(const std::string &sContenu) const;
    // The runtime parameter file <executable>.TX.
    bool bPoseParametres(const std::string &sContenu) const;

    // Starts the launcher with these arguments. The fork road: answers the launcher's
    // pid. The PID namespace road: answers the namespace's first process.
    pid_t Demarre(const std::vector<std::string> &tabArgs, const stOPTIONSDEMON &stOptions = stOPTIONSDEMON());
    // Starts the launcher (fork road) and waits for the launching process: its exit
    // status and its two outputs.
    stRESULTATPROCESSUS Lance(const std::vector<std::string> &tabArgs,
                              const stOPTIONSDEMON &stOptions = stOPTIONSDEMON());

    // Exit status of a child (0-255, 128 + signal), -1 if it did not end in time.
    int nAttendFin(pid_t nPid, int nMs = gnAttenteMaxMs);
    // Waits until the file holds a complete line; its text, empty on time-out.
    std::string sAttendLigne(const std::string &sChemin, int nMs = gnAttenteMaxMs) const;
    // The pid in a service's pid file, -1 when there is none.
    pid_t nPidDemon(const std::string &sService) const;
    // Waits until the record holds a line starting with sDebut.
    bool bAttendRecord(const std::string &sDebut, int nMs = gnAttenteMaxMs) const;
    std::vector<std::string> tabRecord() const { return tabLignes(sLitFichier(sRecord())); }
    // The record's line starting with sDebut, empty when none.
    std::string sLigneRecord(const std::string &sDebut) const;
    // Every system-log line received so far, as received: priority and message.
    const std::vector<std::pair<int, std::string>> &tabJournal();
    // sTexte is a launcher text (code page 1252), looked for as the journal stores it.
    bool bJournalContient(int nPriorite, const std::string &sTexte);
    // Children of a process (from /proc).
    static std::vector<pid_t> tabEnfants(pid_t nParent);

private:
    CTempDir m_clRep;
    std::string m_sNom;
    int m_nJournal = -1;
    std::vector<std::pair<int, std::string>> m_tabJournal;
};

} // namespace tqtest
