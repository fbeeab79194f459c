// Daemon start-up of service mode: detaching, the pid file and its lock, the service
// user, core dumps, SIGTERM and the wait for the end of the service. Every decision
// is asked of gpclServiceImp's hooks; every message goes to its logger.
#pragma once

#include <pthread.h>
#include <sys/types.h>

// Capacity of the pid file path "/var/run/<name>.pid", terminator included.
enum { TQ_TAILLE_CHEMIN_PID = 261 };

// The thread that installed the SIGTERM handling; 0 once the stop has begun.
extern pthread_t hMainThread;

// Runs the service named pszNom; answers the process exit status: 0 for a daemon
// that started and ended cleanly (and for the launching process once the daemon
// reported itself ready), -1 when it did not start.
int ServiceMain(const char *pszNom);
// "/var/run/<name>.pid" into a TQ_TAILLE_CHEMIN_PID buffer; false for a name that is
// empty, holds '/' or makes the path too long.
bool bCheminFichierPid(const char *pszNom, char *pszChemin);

// Gives the pid file (nFichier, -1 for none) and the service's own directory to the
// user and takes its identity: permanently (supplementary groups, real and effective
// ids; regaining root must then fail) or for the effective ids only.
bool bChangeUser(int nFichier, const char *pszUtilisateur, int bPermanent);
// Gives a directory tree to a user without leaving it: links are changed, never
// followed; each directory gets owner read, write and search. Refuses "/", relative
// paths and anything but a directory.
bool bDonneRepertoire(const char *pszRepertoire, uid_t nUid, gid_t nGid);
bool bSetEffectiveIDToRealID();
// Lifts the core-file size limit (soft and hard).
bool AllowCoreDump();
// Installs TermHandler for SIGTERM and records the calling thread.
void SetTermHandler();
// Records the stop request and wakes the main loop; nothing else runs in the handler.
void TermHandler(int nSignal);
// True once SIGTERM has asked the service to stop.
bool bArretDemande();
// The service in the foreground: no fork, no pid file.
int RunDebugMode();
