// The service executor.
#include "service/TQExeService.h"

#include "launcher/vmload.h"
#include "service/Logger.h"
#include "service/StartServer.h"

CTQExeService::CTQExeService(int bModeService, HINSTANCE hInstance, HINSTANCE hPrevInstance,
                             const char *pszLigneCommande, ILogger *piLogger)
    : CTQExe(hInstance, hPrevInstance, pszLigneCommande), m_bModeService(bModeService ? 1 : 0),
      m_piLogger(piLogger)
{
    // Engine errors reported through the error callback follow the same road.
    ms_pclAffichageErreur = this;
}

CTQExeService::~CTQExeService()
{
    if (ms_pclAffichageErreur == this)
        ms_pclAffichageErreur = nullptr;
}

bool CTQExeService::bRunService()
{
    SetLogger(m_piLogger);
    return ::bRunService(m_stInfoExe.szNomProjet, m_clLigneCommande.pszGet(), StopMyService);
}

bool CTQExeService::bStopService()
{
    return bTermService();
}

void CTQExeService::_vAfficheErreur(const char *pszTexte) const
{
    if (m_bModeService && m_piLogger) {
        m_piLogger->AddLog(ePRIORITY_CRITIQUE, "%s", pszTexte ? pszTexte : "");
        return;
    }
    CTQExe::_vAfficheErreur(pszTexte);
}
