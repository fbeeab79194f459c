// The server main object and the engine's stop callback.
#include "service/StartServer.h"

#include <cstdlib>

#include "launcher/ParametreExecution.h"
#include "launcher/TQExe.h"
#include "platform/WinApi.h"
#include "service/TQExeService.h"

CServerMain::CServerMain() : m_pclExecuteur(nullptr), m_clLogger(), m_clSem()
{
    m_clSem.Init(0, 1);
}

CServerMain::~CServerMain()
{
    // Normally Stop has already ended the application; never leave the engine loaded.
    Stop();
}

int CServerMain::MainLoop()
{
    return m_clSem.Wait();
}

int CServerMain::StopMainLoop()
{
    return m_clSem.Post();
}

bool CServerMain::bStart()
{
    if (m_pclExecuteur)
        return false; // one application per server object
    m_pclExecuteur = new CTQExeService(1, nullptr, nullptr, GetCommandLine(), &m_clLogger);
    int nCode = 0;
    if (m_pclExecuteur->bInit(&nCode)) {
        if (m_pclExecuteur->bRunService())
            return true;
        // A service whose application did not start must not report a start.
        m_pclExecuteur->bStopService();
        m_pclExecuteur->bTerm();
    }
    delete m_pclExecuteur;
    m_pclExecuteur = nullptr;
    return false;
}

int CServerMain::Stop()
{
    if (m_pclExecuteur) {
        m_pclExecuteur->bStopService();
        m_pclExecuteur->bTerm();
        delete m_pclExecuteur;
        m_pclExecuteur = nullptr;
    }
    return StopMainLoop();
}

// Section of the runtime parameter file that holds the service's choices.
static const char gszSectionService[] = "SERVICE";

bool CServerMain::_bLitParametre(const char *pszCle, char *pszValeur, int nTaille) const
{
    char szExecutable[4097] = "";
    if (!GetModuleFileName(nullptr, szExecutable, sizeof(szExecutable)))
        return false;
    CParametreExecution clParametres;
    clParametres.Initialise(szExecutable);
    pszValeur[0] = '\0';
    clParametres.nLitChaineSection(gszSectionService, pszCle, "", pszValeur, nTaille);
    return pszValeur[0] != '\0';
}

bool CServerMain::vbWithCoreDump()
{
    char szValeur[16];
    return _bLitParametre("CORE", szValeur, sizeof(szValeur)) && atoi(szValeur) != 0;
}

bool CServerMain::vbGetServiceUser(char *pszUtilisateur)
{
    return _bLitParametre("USER", pszUtilisateur, TQ_TAILLE_UTILISATEUR_SERVICE);
}

bool CServerMain::vbGetOwnDirectory(char *pszRepertoire)
{
    return _bLitParametre("DIRECTORY", pszRepertoire, TQ_TAILLE_REPERTOIRE_SERVICE);
}

void StopMyService(int nRaison)
{
    if (nRaison != 0)
        return;
    CServerMain *pclServeur = gpclServerMain;
    if (pclServeur)
        pclServeur->StopMainLoop();
}
