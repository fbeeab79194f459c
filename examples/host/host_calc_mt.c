/* The multi-threaded twin of host_calc: several threads call the application's
 * procedure Add at the same time, each with its own call context.
 *
 *   host_calc_mt [ENGINE [APPLICATION [THREADS [CALLS]]]]
 *
 * defaults: ./tq150vm.so calc.TQL 4 200. Exit status 0 when every result is right. */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

#include "tqhost.h"

struct stTRAVAIL {
    int nThread;
    int nAppels;
    int nErreurs;
};

static void *pTravaille(void *pParam)
{
    struct stTRAVAIL *pstTravail = (struct stTRAVAIL *)pParam;
    TQCONTEXTE *pContexte = pTQMTInitThread();
    if (!pContexte) {
        pstTravail->nErreurs = pstTravail->nAppels;
        return NULL;
    }
    for (int i = 0; i < pstTravail->nAppels; ++i) {
        int a = pstTravail->nThread * 100000 + i, b = i;
        if (nTQMTEmpile(pContexte, TQTYPE_ENTIER, a) != TQ_OK || nTQMTEmpile(pContexte, TQTYPE_ENTIER, b) != TQ_OK ||
            nTQMTAppelle(pContexte, TQ_TEXTE("Add"), 2, 0, 0) != TQ_OK || nTQMTGetValeurRetour(pContexte) != a + b)
            ++pstTravail->nErreurs;
    }
    TQMTTermThread(pContexte);
    return NULL;
}

int main(int argc, char **argv)
{
    const char *pszMoteur = argc > 1 ? argv[1] : "./tq150vm.so";
    const char *pszAppli = argc > 2 ? argv[2] : "calc.TQL";
    int nThreads = argc > 3 ? atoi(argv[3]) : 4;
    int nAppels = argc > 4 ? atoi(argv[4]) : 200;
    if (nThreads < 1 || nThreads > 64 || nAppels < 0) {
        fprintf(stderr, "host_calc_mt: 1 to 64 threads, a positive number of calls\n");
        return 2;
    }
    int nCode = nTQInitFromName(pszMoteur, NULL);
    if (nCode != TQ_OK) {
        fprintf(stderr, "host_calc_mt: cannot start the engine %s (code %d)\n", pszMoteur, nCode);
        return 1;
    }
    if (nTQOuvreTQL(TQ_TEXTE(pszAppli)) != TQ_OK) {
        fprintf(stderr, "host_calc_mt: %s\n", pszTQGetLastError());
        TQTerm();
        return 1;
    }
    pthread_t tabThreads[64];
    struct stTRAVAIL tabTravaux[64];
    int nLances = 0;
    for (int t = 0; t < nThreads; ++t) {
        tabTravaux[t].nThread = t;
        tabTravaux[t].nAppels = nAppels;
        tabTravaux[t].nErreurs = 0;
        if (pthread_create(&tabThreads[t], NULL, pTravaille, &tabTravaux[t]) != 0)
            break;
        ++nLances;
    }
    int nErreurs = nLances == nThreads ? 0 : 1;
    for (int t = 0; t < nLances; ++t) {
        pthread_join(tabThreads[t], NULL);
        printf("thread %d: %d calls, %d wrong\n", t, nAppels, tabTravaux[t].nErreurs);
        nErreurs += tabTravaux[t].nErreurs;
    }
    TQTerm();
    printf("%s\n", nErreurs ? "FAILED" : "every result right");
    return nErreurs ? 1 : 0;
}
