// The service executor: the launcher object that starts the application through
// the engine's service entry and shows its errors in the log.
#pragma once

#include <cstdint>

#include "launcher/TQExe.h"

class ILogger;

class CTQExeService : public CTQExe {
public:
    CTQExeService(int bModeService, HINSTANCE hInstance, HINSTANCE hPrevInstance, const char *pszLigneCommande,
                  ILogger *piLogger);
    virtual ~CTQExeService();

    // Hands the logger to the engine, then starts the application with the stop
    // callback; answers the engine's answer.
    bool bRunService();
    // Asks the engine to end the application; answers the engine's answer.
    bool bStopService();

protected:
    // In service mode the text goes to the log at priority 2, as it is.
    void _vAfficheErreur(const char *pszTexte) const override;

    int32_t m_bModeService;
    ILogger *m_piLogger;
};
