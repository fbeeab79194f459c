// Process entry: the interactive launch, or service mode with --SERVICE <name>.
#include "error/accesdllres.h"
#include "launcher/TQExe.h"
#include "platform/WinApi.h"

int main(int argc, char **argv)
{
    int nExitCode = 0;
    DLLRES_bInit(nullptr, 0);
    SetCommandLine(argc - 1, argv + 1);

    if (bSetOnCmdLine(argc, argv, "--SERVICE")) {
        // Service mode arrives with the daemon start-up; until then it does nothing.
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
