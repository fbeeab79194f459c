/* A host program: loads the runtime engine through the call interface, opens an
 * application, calls one of its procedures with two arguments and prints the
 * result or the error.
 *
 *   host_calc [ENGINE [APPLICATION [PROCEDURE [A [B]]]]]
 *
 * defaults: ./tq150vm.so calc.TQL Add 40 2. Integer arguments are pushed as
 * integers, others as texts. Exit status 0 on success, 1 when a call fails. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include "tqhost.h"

/* Called by the engine for every failed call. */
static int Erreur(TQCONTEXTE *pContexte, int nCode, const char *pszTexte, TQARG nParam)
{
    (void)pContexte;
    fflush(stdout); /* keeps the two streams in order on a terminal */
    fprintf(stderr, "%s: error %d reported: %s\n", (const char *)nParam, nCode, pszTexte);
    return 0;
}

/* Pushes an argument: an integer when the text is one, else the text. */
static int nEmpile(const char *pszArgument)
{
    char *pszFin = NULL;
    errno = 0;
    long n = strtol(pszArgument, &pszFin, 10);
    if (*pszArgument && !*pszFin && !errno && n >= -2147483647L - 1 && n <= 2147483647L)
        return nTQEmpile(TQTYPE_ENTIER, (TQARG)n);
    return nTQEmpile(TQTYPE_TEXTE, TQ_TEXTE(pszArgument));
}

static void AfficheResultat(const char *pszProcedure)
{
    printf("%s = ", pszProcedure);
    if (bTQValeurRetourNULL()) {
        printf("NULL\n");
        return;
    }
    switch (wTQGetTypeValeurRetour()) {
    case TQTYPE_BOOLEEN: printf("%s\n", bTQGetValeurRetour() ? "true" : "false"); break;
    case TQTYPE_ENTIER: printf("%d\n", nTQGetValeurRetour()); break;
    case TQTYPE_ENTIER64: printf("%lld\n", (long long)i64TQGetValeurRetour()); break;
    case TQTYPE_REEL: printf("%g\n", dTQGetValeurRetour()); break;
    case TQTYPE_TEXTE: printf("\"%s\"\n", pszTQGetValeurRetour()); break;
    case TQTYPE_BINAIRE: printf("%d bytes\n", nTQLongueurValeurRetour()); break;
    default: printf("(no value)\n"); break;
    }
}

int main(int argc, char **argv)
{
    const char *pszMoteur = argc > 1 ? argv[1] : "./tq150vm.so";
    const char *pszAppli = argc > 2 ? argv[2] : "calc.TQL";
    const char *pszProcedure = argc > 3 ? argv[3] : "Add";
    const char *pszA = argc > 4 ? argv[4] : "40";
    const char *pszB = argc > 5 ? argv[5] : "2";

    int nCode = nTQInitFromName(pszMoteur, NULL);
    if (nCode != TQ_OK) {
        fprintf(stderr, "host_calc: cannot start the engine %s (code %d)\n", pszMoteur, nCode);
        return 1;
    }
    nTQSetCallbackNext(TQ_POINTEUR(Erreur), TQ_TEXTE("host_calc"));
    if (nTQOuvreTQL(TQ_TEXTE(pszAppli)) != TQ_OK) {
        fprintf(stderr, "host_calc: %s\n", pszTQGetLastError());
        TQTerm();
        return 1;
    }
    if (nTQLitPropElem(TQ_TEXTE("app"), TQ_TEXTE("title")) == TQ_OK)
        printf("application: %s\n", pszTQGetValeurRetour());

    int nStatut = 0;
    if (nEmpile(pszA) != TQ_OK || nEmpile(pszB) != TQ_OK || nTQAppelle(TQ_TEXTE(pszProcedure), 2, 0, 0) != TQ_OK) {
        printf("%s failed: error %d: %s\n", pszProcedure, nTQGetLastError(), pszTQGetLastError());
        nStatut = 1;
    } else {
        AfficheResultat(pszProcedure);
    }
    TQTerm();
    return nStatut;
}
