// The semaphore and the thread wrappers.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <vector>

#include "platform/TQSem.h"
#include "platform/WinApi.h"

namespace {

long long nMillisecondesDepuis(std::chrono::steady_clock::time_point tDebut)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tDebut).count();
}

TEST(TQSem, CountsAndTimeOuts)
{
    CTQSem clSem(0, 1);
    ASSERT_TRUE(clSem.bEstInitialise());
    EXPECT_EQ(clSem.TryWait(), CTQSem::eSEM_BLOQUERAIT);
    EXPECT_EQ(clSem.WaitTimeout(0), CTQSem::eSEM_DELAI);
    // A post before the wait is not lost.
    EXPECT_EQ(clSem.Post(), CTQSem::eSEM_OK);
    EXPECT_EQ(clSem.PostNoYield(), CTQSem::eSEM_OK);
    int nValeur = -1;
    EXPECT_EQ(clSem.GetValue(&nValeur), CTQSem::eSEM_OK);
    EXPECT_EQ(nValeur, 2);
    EXPECT_EQ(clSem.WaitTimeout(0), CTQSem::eSEM_OK);
    EXPECT_EQ(clSem.Wait(), CTQSem::eSEM_OK);
    EXPECT_EQ(clSem.GetValue(&nValeur), CTQSem::eSEM_OK);
    EXPECT_EQ(nValeur, 0);
    // Milliseconds that carry into seconds land on a valid deadline (no EINVAL).
    EXPECT_EQ(clSem.WaitTimeout(999), CTQSem::eSEM_DELAI);

    // Never initialised: every operation fails, and destruction is harmless.
    CTQSem clVide;
    EXPECT_FALSE(clVide.bEstInitialise());
    EXPECT_EQ(clVide.Wait(), CTQSem::eSEM_ECHEC);
    EXPECT_EQ(clVide.Post(), CTQSem::eSEM_ECHEC);
    EXPECT_EQ(clVide.WaitTimeout(0), CTQSem::eSEM_ECHEC);
    EXPECT_EQ(clVide.Init(1, 1), 0);
    EXPECT_EQ(clVide.TryWait(), CTQSem::eSEM_OK);
}

void GestionnaireVide(int)
{
}

struct stINTERROMPU {
    CTQSem *pclSem;
    int nResultat;
    long long nDuree;
};

TEST(TQSem, InterruptedTimedWaitKeepsItsDeadline)
{
    // A handler without SA_RESTART makes the wait see EINTR at each signal.
    struct sigaction stAction = {}, stAncienne = {};
    stAction.sa_handler = GestionnaireVide;
    sigemptyset(&stAction.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &stAction, &stAncienne), 0);
    CTQSem clSem(0, 1);
    stINTERROMPU stTravail = {&clSem, -1, 0};
    pthread_t hThread;
    ASSERT_EQ(pthread_create(
                  &hThread, nullptr,
                  [](void *p) -> void * {
                      stINTERROMPU *pst = static_cast<stINTERROMPU *>(p);
                      const auto tDebut = std::chrono::steady_clock::now();
                      pst->nResultat = pst->pclSem->WaitTimeout(300);
                      pst->nDuree = nMillisecondesDepuis(tDebut);
                      return nullptr;
                  },
                  &stTravail),
              0);
    // Signals for twice the wait: a deadline taken again after each one would end
    // the wait 300 ms after the last, 900 ms from the start at the earliest.
    for (int i = 0; i < 20; ++i) {
        usleep(30 * 1000);
        pthread_kill(hThread, SIGUSR1);
    }
    pthread_join(hThread, nullptr);
    sigaction(SIGUSR1, &stAncienne, nullptr);
    EXPECT_EQ(stTravail.nResultat, CTQSem::eSEM_DELAI);
    EXPECT_GE(stTravail.nDuree, 295);
    EXPECT_LT(stTravail.nDuree, 850);
}

struct stPOSTEURS {
    CTQSem clSem{0, 1};
    std::atomic<int> nPrets{0};
};

TEST(TQSem, ManyPostersNoPostLost)
{
    const int nThreads = 8, nPostes = 500;
    stPOSTEURS stPartage;
    std::vector<pthread_t> tabThreads(nThreads);
    for (pthread_t &h : tabThreads)
        ASSERT_EQ(pthread_create(
                      &h, nullptr,
                      [](void *p) -> void * {
                          stPOSTEURS *pst = static_cast<stPOSTEURS *>(p);
                          for (int i = 0; i < nPostes; ++i)
                              pst->clSem.PostNoYield();
                          return nullptr;
                      },
                      &stPartage),
                  0);
    int nRecus = 0;
    while (nRecus < nThreads * nPostes && stPartage.clSem.WaitTimeout(5000) == CTQSem::eSEM_OK)
        ++nRecus;
    for (pthread_t h : tabThreads)
        pthread_join(h, nullptr);
    EXPECT_EQ(nRecus, nThreads * nPostes);
    EXPECT_EQ(stPartage.clSem.TryWait(), CTQSem::eSEM_BLOQUERAIT);
}

struct stTHREAD {
    CTQSem clFini{0, 1};
    pthread_t hVu = {};
    size_t nPile = 0;
};

void *RoutineThread(void *p)
{
    stTHREAD *pst = static_cast<stTHREAD *>(p);
    pst->hVu = pthread_self();
    pthread_attr_t stAttributs;
    if (pthread_getattr_np(pthread_self(), &stAttributs) == 0) {
        pthread_attr_getstacksize(&stAttributs, &pst->nPile);
        pthread_attr_destroy(&stAttributs);
    }
    pst->clFini.Post();
    return p;
}

TEST(Threads, WrappersStartDetachedAndJoinableThreads)
{
    // Stack size 0 (refused by the system) leaves the default stack.
    stTHREAD stDetache;
    uintptr_t h = _beginthread(RoutineThread, 0, &stDetache);
    ASSERT_NE(h, static_cast<uintptr_t>(-1));
    ASSERT_EQ(stDetache.clFini.WaitTimeout(5000), CTQSem::eSEM_OK);
    EXPECT_EQ(static_cast<uintptr_t>(stDetache.hVu), h);
    EXPECT_GT(stDetache.nPile, 0u);

    for (bool bCreateThread : {false, true}) {
        stTHREAD stJoignable;
        pthread_t hSortie = {};
        uintptr_t hRendu = bCreateThread ? CreateThread(nullptr, 1 << 20, RoutineThread, &stJoignable, 0, &hSortie)
                                         : _beginthreadex(nullptr, 1 << 20, RoutineThread, &stJoignable, 0, &hSortie);
        ASSERT_NE(hRendu, 0u);
        EXPECT_EQ(static_cast<uintptr_t>(hSortie), hRendu);
        void *pResultat = nullptr;
        ASSERT_EQ(pthread_join(hSortie, &pResultat), 0);
        EXPECT_EQ(pResultat, &stJoignable);
        EXPECT_GE(stJoignable.nPile, static_cast<size_t>(1 << 20));
        EXPECT_TRUE(SetThreadPriority(static_cast<uintptr_t>(pthread_self()), THREAD_PRIORITY_NORMAL));
    }
    // The time-sharing policy has one priority: others are refused with errno set.
    errno = 0;
    EXPECT_FALSE(SetThreadPriority(static_cast<uintptr_t>(pthread_self()), 5));
    EXPECT_EQ(errno, EINVAL);
    // No routine: nothing starts.
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(_beginthread(nullptr, 0, nullptr), static_cast<uintptr_t>(-1));
    EXPECT_EQ(errno, EINVAL);
}

} // namespace
