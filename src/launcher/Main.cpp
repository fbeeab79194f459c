// Process entry: the interactive launch, or service mode with --SERVICE <name>.
#include <cstdio>

#include "error/accesdllres.h"
#include "launcher/TQExe.h"
#include "platform/WinApi.h"

int main(int argc, char **argv)
{
    int nExitCode = 0;
    DLLRES_bInit(nullptr, 0);
    SetCommandLine(argc - 1, argv + 1);

    if (bSetOnCmdLine(argc, argv, "--SERVICE")) {
        // This launcher carries no daemon start-up yet: say so rather than end as if
        // the service had run.
        static const char szPasDeService[] =
            "Le mode service n'est pas disponible dans ce lanceur.\r\n"
            "Service mode is not available in this launcher.";
        fputs(szPasDeService, stderr);
        fputc('\n', stderr);
        return -1;
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
