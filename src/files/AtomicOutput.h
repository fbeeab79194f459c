// A tool's output file written whole or not at all: the bytes go to a private
// temporary file beside the target, which replaces the target by a rename only
// once everything is written. The temporary file is removed when the object
// goes without being committed, and on SIGINT, SIGTERM and SIGHUP.
#pragma once

#include <sys/types.h>

#include <string>

#include <signal.h>

// Holds SIGINT, SIGTERM and SIGHUP off for its lifetime; one held meanwhile is
// delivered when it ends. Work that leaves several files behind if cut short
// (a tool's private working directory) runs inside one.
class CExitSignalsHeld {
public:
    CExitSignalsHeld();
    ~CExitSignalsHeld();
    CExitSignalsHeld(const CExitSignalsHeld &) = delete;
    CExitSignalsHeld &operator=(const CExitSignalsHeld &) = delete;

private:
    sigset_t m_old;
};

class CAtomicOutput {
public:
    CAtomicOutput() = default;
    ~CAtomicOutput() { Abandon(); }
    CAtomicOutput(const CAtomicOutput &) = delete;
    CAtomicOutput &operator=(const CAtomicOutput &) = delete;

    // Creates the temporary file (mode 0600) beside sTarget. False with the
    // reason in sReason; errno kept. One object of the process at a time
    // holds a temporary file.
    bool bOpen(const std::string &sTarget, std::string &sReason);
    int nFd() const { return m_nFd; }
    // Writes all the bytes; on failure the temporary file is removed and
    // sReason names the target. Short writes and EINTR are resumed.
    bool bWrite(const void *pData, size_t nSize, std::string &sReason);
    // Gives the file nMode, narrowed to an existing target's permissions so
    // that replacing a file never opens it to more users, then renames it
    // over the target. False with the reason (the temporary file is gone).
    bool bCommit(mode_t nMode, std::string &sReason);
    // Removes the temporary file, if any.
    void Abandon();

    // Permission bits a new output gets when the input has none to pass on.
    static mode_t s_nDefaultMode();

private:
    std::string m_sTarget;
    std::string m_sTemp;
    int m_nFd = -1;
};
