// Thread creation and priority under the Windows names, over POSIX threads.
#include <pthread.h>
#include <sched.h>

#include <cerrno>

#include "platform/WinApi.h"

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "a thread identifier travels as uintptr_t");

// Creates a thread; answers pthread_create's result.
static int nCreeThread(PFN_THREADSTART pfnDebut, size_t nTaillePile, void *pArgument, bool bDetache,
                       pthread_t *pIdentifiant)
{
    if (!pfnDebut)
        return EINVAL;
    pthread_attr_t stAttributs;
    int nErreur = pthread_attr_init(&stAttributs);
    if (nErreur != 0)
        return nErreur;
    // A size the system refuses (0, or below its minimum) keeps the default stack.
    pthread_attr_setstacksize(&stAttributs, nTaillePile);
    if (bDetache)
        pthread_attr_setdetachstate(&stAttributs, PTHREAD_CREATE_DETACHED);
    nErreur = pthread_create(pIdentifiant, &stAttributs, pfnDebut, pArgument);
    pthread_attr_destroy(&stAttributs);
    return nErreur;
}

uintptr_t _beginthread(PFN_THREADSTART pfnDebut, unsigned int nTaillePile, void *pArgument)
{
    pthread_t hThread;
    int nErreur = nCreeThread(pfnDebut, nTaillePile, pArgument, true, &hThread);
    if (nErreur != 0) {
        errno = nErreur;
        return static_cast<uintptr_t>(-1);
    }
    return static_cast<uintptr_t>(hThread);
}

uintptr_t _beginthreadex(void *, unsigned int nTaillePile, PFN_THREADSTART pfnDebut, void *pArgument, unsigned int,
                         pthread_t *pIdentifiant)
{
    pthread_t hThread;
    int nErreur = nCreeThread(pfnDebut, nTaillePile, pArgument, false, &hThread);
    if (nErreur != 0) {
        errno = nErreur;
        return 0;
    }
    if (pIdentifiant)
        *pIdentifiant = hThread;
    return static_cast<uintptr_t>(hThread);
}

uintptr_t CreateThread(void *pSecurite, size_t nTaillePile, PFN_THREADSTART pfnDebut, void *pArgument,
                       DWORD nDrapeaux, pthread_t *pIdentifiant)
{
    // Sizes beyond 32 bits are refused by no system this runs on; keep the default then.
    unsigned int nTaille = nTaillePile > 0xFFFFFFFFu ? 0u : static_cast<unsigned int>(nTaillePile);
    return _beginthreadex(pSecurite, nTaille, pfnDebut, pArgument, nDrapeaux, pIdentifiant);
}

BOOL SetThreadPriority(uintptr_t hThread, int nPriorite)
{
    struct sched_param stParametre = {};
    stParametre.sched_priority = nPriorite;
    int nErreur = pthread_setschedparam(static_cast<pthread_t>(hThread), SCHED_OTHER, &stParametre);
    if (nErreur != 0) {
        errno = nErreur;
        return FALSE;
    }
    return TRUE;
}
