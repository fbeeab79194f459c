/* Calling a TORQEN application from your own program.
 *
 * Link with -ltqhost (shared, libtqhost.so) or libtqhost.a (static, add -ldl
 * -lpthread and the C++ runtime). The interface loads the runtime engine
 * "tq150vm.so" itself and keeps its own handle on it.
 *
 *   if (nTQInitFromName("/opt/app/tq150vm.so", NULL) != 0) ...   0 is success
 *   nTQOuvreTQL(TQ_TEXTE("app.TQL"));                             open an application
 *   nTQEmpile(TQTYPE_ENTIER, 40); nTQEmpile(TQTYPE_ENTIER, 2);    push two arguments
 *   if (nTQAppelle(TQ_TEXTE("Add"), 2, 0, 0) == 0)                call procedure Add
 *       printf("%d\n", nTQGetValeurRetour());                     42
 *   else
 *       printf("%d %s\n", nTQGetLastError(), pszTQGetLastError());
 *   TQTerm();
 *
 * Every operation answers 0 on success. Arguments travel as TQARG, an integer wide
 * enough for a pointer: texts are passed with TQ_TEXTE. The result and the last
 * error of each call stay in the call context until the next call. One thread
 * uses the process's context; each further thread takes its own context with
 * pTQMTInitThread and uses the MT operations with it.
 */
#ifndef TQHOST_H
#define TQHOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TQHOST_API __attribute__((visibility("default")))
#else
#define TQHOST_API
#endif

/* A 32-bit value or a pointer, whichever the engine entry expects. */
typedef intptr_t TQARG;
#define TQ_TEXTE(psz) ((TQARG)(const char *)(psz))
#define TQ_POINTEUR(p) ((TQARG)(const void *)(p))

/* A call context: opaque to the host. */
typedef struct _stQSECONTEXTE TQCONTEXTE;

/* Answers of the interface itself. */
#define TQ_OK 0
#define TQ_ERR_ENTREE 1       /* the engine lacks a required entry (or nQSEInitEx) */
#define TQ_ERR_LIBRAIRIE 2    /* the engine library could not be opened */
#define TQ_ERR_REFUS 3        /* the engine refused to initialise (bInitLibrary) */
#define TQ_ERR_NONINIT 9      /* the interface is not initialised */
#define TQ_ERR_TEXTEVIDE 12   /* nTQExecute: the text is empty */
/* Answers of the reference engine. */
#define TQ_ERR_FICHIER 20     /* an application file cannot be read */
#define TQ_ERR_SYNTAXE 21     /* a line or an expression is not understood */
#define TQ_ERR_PROCEDURE 22   /* no procedure of that name */
#define TQ_ERR_VARIABLE 23    /* no variable of that name */
#define TQ_ERR_PROPRIETE 24   /* no property of that name */
#define TQ_ERR_TYPE 25        /* values of the wrong type */
#define TQ_ERR_DIVISION 26    /* division by zero */
#define TQ_ERR_ARGUMENT 27    /* a missing or bad argument */
#define TQ_ERR_VERSION 28     /* the interface and engine versions differ */

/* Value types: pushed arguments (nTQEmpile) and results (wTQGetTypeValeurRetour). */
#define TQTYPE_AUCUN 0    /* no value; pushed, it is NULL */
#define TQTYPE_BOOLEEN 1  /* value 0 or 1 */
#define TQTYPE_ENTIER 2   /* signed 32-bit value */
#define TQTYPE_ENTIER64 3 /* pushed as a pointer to an int64_t */
#define TQTYPE_REEL 4     /* pushed as a pointer to a double */
#define TQTYPE_TEXTE 5    /* pushed as a text pointer (nTQEmpileEx: with its length) */
#define TQTYPE_BINAIRE 6  /* pushed with nTQEmpileEx: pointer and length */

/* Option flags of the MT per-thread operation of the engine. */
#define TQ_OPMT_DEBUT 1
#define TQ_OPMT_FIN 0x80000000u

/* Error callback (nTQSetCallbackNext): called for every failed call, answers 0. */
typedef int (*PFN_TQCALLBACKERREUR)(TQCONTEXTE *pContexte, int nCode, const char *pszTexte, TQARG nParam);

/* Initialisation and termination. */
TQHOST_API int nTQInit(void *pDonnees);
TQHOST_API int nTQInitFromName(const char *pszChemin, void *pDonnees);
TQHOST_API int nTQInitFromInstance(void *hInstance, void *pDonnees);
TQHOST_API int nTQInitFromInstanceEx(void *hInstance, void *pDonnees, int nOptions);
TQHOST_API void TQTerm(void);
TQHOST_API int TQActiveOption(int nBits);
TQHOST_API void TQSetModule(void *pModule);
TQHOST_API TQCONTEXTE *pTQGetContexte(void);
TQHOST_API TQCONTEXTE *pTQSetContexte(TQCONTEXTE *pContexte);

/* Applications. */
TQHOST_API int nTQOuvreTQL(TQARG pszNom);
TQHOST_API int nTQOuvreTQLNum(TQARG pszNom, TQARG nNumero);
TQHOST_API void TQFermeTQLNum(TQARG nNumero);
TQHOST_API int nTQOuvreTQLRes(TQARG pszNom, TQARG nRessource);
TQHOST_API void TQFermeTQLRes(TQARG pszNom, TQARG nRessource);
TQHOST_API int nTQInitProjet(TQARG pszProjet);

/* Callbacks and settings. */
TQHOST_API int nTQSetCallbackNext(TQARG pfnCallback, TQARG nParam);
TQHOST_API int nTQSetCallbackModule(TQARG pfnCallback, TQARG nParam);
TQHOST_API int nTQSetCallbackCompatible(TQARG nOption, TQARG nValeur);
TQHOST_API int nTQSetPECallback(TQARG pfnCallback, TQARG nParam);
TQHOST_API int nTQSetParentNext(TQARG hParent);
TQHOST_API int nTQSetRZContextNext(TQARG nContexte);

/* Code of the application language. */
TQHOST_API int nTQExecute(const char *pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
TQHOST_API int nTQExecuteEx(TQARG pszCode);
TQHOST_API int nTQEvalue(TQARG pszExpression);
TQHOST_API int nTQCompile(TQARG pszCode, TQARG nOptions);

/* Arguments and procedure calls. */
TQHOST_API int nTQEmpile(TQARG nType, TQARG nValeur);
TQHOST_API int nTQMTEmpile(TQCONTEXTE *pContexte, TQARG nType, TQARG nValeur);
TQHOST_API int nTQEmpileEx(TQARG nType, TQARG nValeur, TQARG nLongueur);
TQHOST_API int nTQAppelle(TQARG pszProcedure, TQARG nArguments, TQARG nOptions, TQARG nReserve);
TQHOST_API int nTQMTAppelle(TQCONTEXTE *pContexte, TQARG pszProcedure, TQARG nArguments, TQARG nOptions,
                            TQARG nReserve);

/* Variables and properties. */
TQHOST_API int nTQLitVariableQS(TQARG pszNom, TQARG nIndice, TQARG nOptions);
TQHOST_API int nTQMTLitVariableQS(TQCONTEXTE *pContexte, TQARG pszNom, TQARG nIndice, TQARG nOptions);
TQHOST_API int nTQEcritVariableQS(TQARG pszNom, TQARG nType, TQARG nValeur);
TQHOST_API int nTQMTEcritVariableQS(TQCONTEXTE *pContexte, TQARG pszNom, TQARG nType, TQARG nValeur);
TQHOST_API int nTQLitPropElem(TQARG pszElement, TQARG pszPropriete);
TQHOST_API int nTQLitPropElemAny(TQARG pszElement, TQARG pszPropriete, TQARG nOptions);
TQHOST_API int nTQLitPropElemInd(TQARG pszElement, TQARG pszPropriete, TQARG nIndice);
TQHOST_API int nTQLitPropElemAnyInd(TQARG pszElement, TQARG pszPropriete, TQARG nIndice, TQARG nOptions);
TQHOST_API int nTQLitPropElemInd2(TQARG pszElement, TQARG pszPropriete, TQARG nIndice1, TQARG nIndice2);
TQHOST_API int nTQLitPropElemAnyInd2(TQARG pszElement, TQARG pszPropriete, TQARG nIndice1, TQARG nIndice2,
                                     TQARG nOptions);
TQHOST_API int nTQEcritPropElem(TQARG pszElement, TQARG pszPropriete);
TQHOST_API int nTQEcritPropElemInd(TQARG pszElement, TQARG pszPropriete, TQARG nIndice);
TQHOST_API int nTQEcritPropElemInd2(TQARG pszElement, TQARG pszPropriete, TQARG nIndice1, TQARG nIndice2);
TQHOST_API int nTQChampExiste(TQARG pszElement, TQARG pszPropriete);
TQHOST_API int nTQLitPropSousElem(TQARG pszElement, TQARG pszSousElement, TQARG pszPropriete, TQARG nOptions);
TQHOST_API int nTQEcritPropSousElem(TQARG pszElement, TQARG pszSousElement, TQARG pszPropriete, TQARG nOptions);
TQHOST_API int nTQLitPropSousElemInd(TQARG pszElement, TQARG pszSousElement, TQARG pszPropriete, TQARG nIndice,
                                     TQARG nOptions);
TQHOST_API int nTQEcritPropSousElemInd(TQARG pszElement, TQARG pszSousElement, TQARG pszPropriete, TQARG nIndice,
                                       TQARG nOptions);

/* Engine information. */
TQHOST_API int nTQGetRZContext(TQARG pnSortie);
TQHOST_API int nTQGetVMData(TQARG ppSortie);
TQHOST_API int nTQGetLibShop(TQARG pnSortie);
TQHOST_API int nTQGetIEXE(TQARG pnSortie);
TQHOST_API int nTQGetVM(TQARG pnSortie);
TQHOST_API void *pTQGetContexteElement(void);
TQHOST_API void *pTQModifieContexteElement(TQARG pszElement);
TQHOST_API void *pTQRestaureContexteElement(TQARG pSauvegarde);

/* Translated messages. */
TQHOST_API int nTQMessTraduit(TQARG pszTexte);
TQHOST_API int nTQMessTraduitElement(TQARG pszTexte, TQARG pszElement);
TQHOST_API int nTQEmpileMessTraduit(TQARG pszTexte);
TQHOST_API int nTQEmpileMessTraduitElement(TQARG pszTexte, TQARG pszElement);

/* Clears the last error. */
TQHOST_API int TQRepriseErreur(void);
TQHOST_API int TQMTRepriseErreur(TQCONTEXTE *pContexte);

/* Result and last error of the current context (MT: of the given one, NULL meaning
 * the current one). After TQTerm they answer empty values. */
TQHOST_API unsigned short wTQGetTypeValeurRetour(void);
TQHOST_API int bTQGetValeurRetour(void);
TQHOST_API int nTQGetValeurRetour(void);
TQHOST_API int nTQLongueurValeurRetour(void);
TQHOST_API int64_t i64TQGetValeurRetour(void);
TQHOST_API double dTQGetValeurRetour(void);
TQHOST_API const char *pszTQGetValeurRetour(void);
TQHOST_API const unsigned char *pbyTQGetValeurRetour(void);
TQHOST_API int bTQValeurRetourNULL(void);
TQHOST_API int nTQGetLastError(void);
TQHOST_API const char *pszTQGetLastError(void);
TQHOST_API unsigned short wTQMTGetTypeValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API int bTQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API int nTQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API int nTQMTLongueurValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API int64_t i64TQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API double dTQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API const char *pszTQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API const unsigned char *pbyTQMTGetValeurRetour(TQCONTEXTE *pContexte);
TQHOST_API int bTQMTValeurRetourNULL(TQCONTEXTE *pContexte);
TQHOST_API int nTQMTGetLastError(TQCONTEXTE *pContexte);
TQHOST_API const char *pszTQMTGetLastError(TQCONTEXTE *pContexte);

/* Per-thread contexts: NULL when not initialised or refused by the engine. */
TQHOST_API TQCONTEXTE *pTQMTInitThread(void);
TQHOST_API void TQMTTermThread(TQCONTEXTE *pContexte);

#ifdef __cplusplus
}
#endif

#endif /* TQHOST_H */
