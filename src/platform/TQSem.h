// Counting semaphore of the code base: an unnamed POSIX semaphore private to the
// process. Post may be called from any thread and from a signal handler.
#pragma once

#include <semaphore.h>

#include <cstdint>

class CTQSem {
public:
    // Result codes of the waiting and posting operations.
    enum {
        eSEM_OK = 0,
        eSEM_BLOQUERAIT = 2, // TryWait: the count is 0
        eSEM_DELAI = 3,      // WaitTimeout: the deadline passed
        eSEM_ECHEC = 5,
    };
    // WaitTimeout's "no deadline".
    static const unsigned int ms_nInfini = 0xFFFFFFFFu;

    CTQSem();
    // The maximum is not enforced: POSIX semaphores have none below SEM_VALUE_MAX.
    CTQSem(unsigned int nInitial, unsigned int nMaximum);
    ~CTQSem();
    // A sem_t must not be copied or moved once in use.
    CTQSem(const CTQSem &) = delete;
    CTQSem &operator=(const CTQSem &) = delete;

    // Initialises (or re-initialises a destroyed) semaphore; answers sem_init's result.
    int Init(unsigned int nInitial, unsigned int nMaximum);
    bool bEstInitialise() const { return m_bInitialise != 0; }

    // sem_post, then yields so that the woken thread may run at once.
    int Post();
    int PostNoYield();
    // Waits, retrying after signal interruptions.
    int Wait();
    int TryWait();
    // Waits at most nMillisecondes from the call (ms_nInfini: no limit).
    int WaitTimeout(unsigned int nMillisecondes);
    int GetValue(int *pnValeur);

private:
    sem_t m_sem;
    int32_t m_bInitialise;
};
