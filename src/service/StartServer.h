// Service mode's objects: the hooks the daemon start-up asks (CServiceImp), the
// server main object that implements them (CServerMain), and the stop callback the
// engine calls (StopMyService).
#pragma once

#include "platform/TQSem.h"
#include "service/Logger.h"

class CTQExeService;

// Size of the buffers the start-up hands to vbGetServiceUser and vbGetOwnDirectory.
enum { TQ_TAILLE_UTILISATEUR_SERVICE = 300, TQ_TAILLE_REPERTOIRE_SERVICE = 261 };

class CServiceImp {
public:
    // Blocks until the service is asked to stop.
    virtual int MainLoop() = 0;
    virtual ILogger *pclGetLogger() = 0;
    // Starts the application; false when it could not be started.
    virtual bool bStart() = 0;
    // Ends the application and releases the engine, then wakes MainLoop.
    virtual int Stop() = 0;
    virtual bool vbWithCoreDump() { return false; }
    // Fills a 300-byte buffer with the user the service runs as.
    virtual bool vbGetServiceUser(char *) { return false; }
    // Fills a 261-byte buffer with the directory the service user must own.
    virtual bool vbGetOwnDirectory(char *) { return false; }
    virtual bool vbLogStartOK() { return true; }

protected:
    ~CServiceImp() = default; // deleted through CServerMain only
};

class CServerMain : public CServiceImp {
public:
    CServerMain();
    virtual ~CServerMain();
    CServerMain(const CServerMain &) = delete;
    CServerMain &operator=(const CServerMain &) = delete;

    int MainLoop() override;
    ILogger *pclGetLogger() override { return &m_clLogger; }
    bool bStart() override;
    int Stop() override;
    bool vbLogStartOK() override { return false; }
    // The service's choices come from the runtime parameter file <executable>.TX,
    // section SERVICE: CORE=1 allows core dumps, USER=name runs the application as
    // that user, DIRECTORY=/absolute/path is handed to that user.
    bool vbWithCoreDump() override;
    bool vbGetServiceUser(char *pszUtilisateur) override;
    bool vbGetOwnDirectory(char *pszRepertoire) override;

    // Wakes MainLoop; safe from any thread and from a signal handler.
    int StopMainLoop();

    CLogger *pclGetCLogger() { return &m_clLogger; }
    CTQExeService *pclGetExecuteur() const { return m_pclExecuteur; }

private:
    // A value of the SERVICE section into a buffer of nTaille bytes; false when empty.
    bool _bLitParametre(const char *pszCle, char *pszValeur, int nTaille) const;

    CTQExeService *m_pclExecuteur;
    CLogger m_clLogger;
    CTQSem m_clSem;
};

// The engine's stop request: reason 0 wakes the main loop; other reasons do nothing.
// Harmless when no service object exists (before start-up or after the end).
void StopMyService(int nRaison);
