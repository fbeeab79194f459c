// Counting semaphore over an unnamed POSIX semaphore.
#include "platform/TQSem.h"

#include <sched.h>
#include <sys/time.h>

#include <cerrno>
#include <ctime>

CTQSem::CTQSem() : m_sem(), m_bInitialise(0)
{
}

CTQSem::CTQSem(unsigned int nInitial, unsigned int nMaximum) : m_sem(), m_bInitialise(0)
{
    Init(nInitial, nMaximum);
}

CTQSem::~CTQSem()
{
    if (m_bInitialise)
        sem_destroy(&m_sem);
}

int CTQSem::Init(unsigned int nInitial, unsigned int)
{
    if (m_bInitialise) {
        sem_destroy(&m_sem);
        m_bInitialise = 0;
    }
    int nResultat = sem_init(&m_sem, 0, nInitial);
    // Only a semaphore that sem_init accepted may be used or destroyed later.
    if (nResultat == 0)
        m_bInitialise = 1;
    return nResultat;
}

int CTQSem::Post()
{
    if (PostNoYield() != eSEM_OK)
        return eSEM_ECHEC;
    sched_yield();
    return eSEM_OK;
}

int CTQSem::PostNoYield()
{
    if (!m_bInitialise || sem_post(&m_sem) != 0)
        return eSEM_ECHEC;
    return eSEM_OK;
}

int CTQSem::Wait()
{
    if (!m_bInitialise)
        return eSEM_ECHEC;
    while (sem_wait(&m_sem) != 0)
        if (errno != EINTR)
            return eSEM_ECHEC;
    return eSEM_OK;
}

int CTQSem::TryWait()
{
    if (!m_bInitialise)
        return eSEM_ECHEC;
    while (sem_trywait(&m_sem) != 0) {
        if (errno == EAGAIN)
            return eSEM_BLOQUERAIT;
        if (errno != EINTR)
            return eSEM_ECHEC;
    }
    return eSEM_OK;
}

int CTQSem::WaitTimeout(unsigned int nMillisecondes)
{
    if (nMillisecondes == ms_nInfini)
        return Wait();
    if (!m_bInitialise)
        return eSEM_ECHEC;
    // The deadline is taken once, so an interrupted wait does not start over.
    struct timeval stMaintenant;
    gettimeofday(&stMaintenant, nullptr);
    long long nMicro = static_cast<long long>(stMaintenant.tv_usec) + (nMillisecondes % 1000u) * 1000LL;
    struct timespec stEcheance;
    stEcheance.tv_sec = stMaintenant.tv_sec + static_cast<time_t>(nMillisecondes / 1000u) +
                        static_cast<time_t>(nMicro / 1000000);
    stEcheance.tv_nsec = static_cast<long>((nMicro % 1000000) * 1000);
    for (;;) {
        errno = 0;
        if (sem_timedwait(&m_sem, &stEcheance) == 0)
            return eSEM_OK;
        if (errno == ETIMEDOUT)
            return eSEM_DELAI;
        if (errno != EINTR)
            return eSEM_ECHEC;
    }
}

int CTQSem::GetValue(int *pnValeur)
{
    if (!m_bInitialise || !pnValeur || sem_getvalue(&m_sem, pnValeur) != 0)
        return eSEM_ECHEC;
    return eSEM_OK;
}
