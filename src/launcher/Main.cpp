// Process entry: the interactive launch, or service mode with --SERVICE <name>.
#include "error/accesdllres.h"
#include "launcher/TQExe.h"
#include "platform/WinApi.h"
#include "service/ServiceUnix.h"
#include "service/StartServer.h"

int main(int argc, char **argv)
{
    int nExitCode = 0;
    DLLRES_bInit(nullptr, 0);
    SetCommandLine(argc - 1, argv + 1);

    if (bSetOnCmdLine(argc, argv, "--SERVICE")) {
        CServerMain *pclServeur = new CServerMain;
        gpclServerMain = pclServeur;
        gpclServiceImp = pclServeur;
        CTString clNom;
        bGetCmdLineValue(argc, argv, "--SERVICE", &clNom);
        // The start-up's verdict: a daemon that did not start is no success.
        nExitCode = ServiceMain(clNom.pszGet());
        Term();
        return nExitCode;
    }

    {
        CTQExe clExe(nullptr, nullptr, GetCommandLine());
        if (!clExe.bInit(&nExitCode))
            return nExitCode;
        nExitCode = clExe.nRun();
        clExe.bTerm();
    }
    Term();
    return nExitCode;
}
