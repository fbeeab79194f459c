// Service mode of the reference engine: QS_Run_Service runs the application script
// on a thread of its own and returns at once; QS_Term_Service wakes that thread and
// joins it. Script commands of service mode:
//
//   wait_stop           waits until the launcher ends the service (at once outside
//                       service mode)
//   sleep MS            waits MS milliseconds, or less when the service is ended
//   stop [N]            calls the launcher's stop callback with N (0 by default)
//   log P TEXT          logs TEXT at priority P through the logger the launcher gave
//   state               records the process state (ids, groups, session, working
//                       directory, umask, descriptors, core limit, dumpable) in the
//                       call record
//   signal TERM|HUP     sends the signal to the script's own thread
//
// A service script that reaches its end asks the launcher to stop (reason 0): the
// application is over.
#pragma once

#include <string>

#include "EngineScript.h"
#include "launcher/TQVMContrat.h"

// Starts the script on its own thread; false when the script cannot run as a
// service (not loaded, or read from the working directory).
bool bServiceDemarre(const CScriptTQL &clScript, const stCONTEXTESCRIPT &stContexte, PFN_STOPSERVICE pfnStop);
// Wakes the script's waits and joins its thread; true, also when none runs.
bool bServiceTermine();
// Keeps the launcher's logger (QS_SetParam 1031); null forgets it.
void ServiceDonneLogger(void *piLogger);
// The service command of that name, or null.
const stCOMMANDESCRIPT *pstCommandeService(const std::string &sNom);
