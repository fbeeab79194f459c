// What the call interface for host programs and a runtime engine agree on: the
// records they share, the engine's nQSE entry names and their call shapes. Both the
// interface (TQExtern.cpp) and the reference engine include this header.
//
// In a 32-bit process the records have the field's byte layout (packed, pointers of
// 4 bytes). In a 64-bit process pointers take 8 bytes and the records are naturally
// aligned; both layouts are pinned below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tqhost.h"

#define TQ_QSE_DEBUT 0xDEDE
#define TQ_QSE_VERSION 14
#define TQ_QSE_FIN 0xF1F1
#define TQ_QSE_TAILLE_TEXTEINIT 4098
// Operation codes of nQSEOperation.
#define TQ_QSEOP_MESSTRADUIT 1
#define TQ_QSEOP_MESSTRADUITELEMENT 2
#define TQ_QSEOP_EMPILEMESSTRADUIT 3
#define TQ_QSEOP_EMPILEMESSTRADUITELEMENT 4

#if UINTPTR_MAX == 0xFFFFFFFFu
#define TQ_QSE_32BITS 1
#pragma pack(push, 1)
#endif

// Result of the last call of a context.
struct _stQSEVALEURRETOUR {
    uint16_t wType;          // TQTYPE_
    int32_t nValeur;         // boolean, integer, or length of a text or binary
    int64_t i64Valeur;
    double dValeur;
    const char *pszValeur;   // text (also the text form of a number)
    const uint8_t *pbyValeur;
    int32_t bNull;
    uint8_t abyReserve[20];
};

// Last error of a context.
struct _stQSEERREUR {
    int32_t nCode;
    const char *pszTexte;
    uint8_t abyReserve[24];
};

// Call context: one for the process, one per thread of a multi-threaded host.
struct _stQSECONTEXTE {
    uint16_t wDebut;          // TQ_QSE_DEBUT once valid
    uint16_t wVersion;        // TQ_QSE_VERSION
    void *pMoteur;            // the engine's own state for this context
    _stQSEVALEURRETOUR *pValeurRetour;
    _stQSEERREUR *pErreur;
    void *pModule;            // TQSetModule
    uint8_t abyReserve[16];
    uint16_t wFin;            // TQ_QSE_FIN
};

// Handed to nQSEInitEx.
struct _stQSEINIT {
    int32_t nVersion;         // TQ_QSE_VERSION
    int32_t nTaille;          // sizeof(_stQSEINIT)
    void *pDonnees;           // the host's data pointer
    char szTexte[TQ_QSE_TAILLE_TEXTEINIT];
    int32_t dwOptions;
};

#if defined(TQ_QSE_32BITS)
#pragma pack(pop)
static_assert(sizeof(_stQSECONTEXTE) == 38 && offsetof(_stQSECONTEXTE, wVersion) == 2 &&
                  offsetof(_stQSECONTEXTE, pMoteur) == 4 && offsetof(_stQSECONTEXTE, pValeurRetour) == 8 &&
                  offsetof(_stQSECONTEXTE, pErreur) == 12 && offsetof(_stQSECONTEXTE, pModule) == 16 &&
                  offsetof(_stQSECONTEXTE, abyReserve) == 20 && offsetof(_stQSECONTEXTE, wFin) == 36,
              "call context: 38 bytes");
static_assert(sizeof(_stQSEVALEURRETOUR) == 54 && offsetof(_stQSEVALEURRETOUR, nValeur) == 2 &&
                  offsetof(_stQSEVALEURRETOUR, i64Valeur) == 6 && offsetof(_stQSEVALEURRETOUR, dValeur) == 14 &&
                  offsetof(_stQSEVALEURRETOUR, pszValeur) == 22 && offsetof(_stQSEVALEURRETOUR, pbyValeur) == 26 &&
                  offsetof(_stQSEVALEURRETOUR, bNull) == 30 && offsetof(_stQSEVALEURRETOUR, abyReserve) == 34,
              "result record: 54 bytes");
static_assert(sizeof(_stQSEERREUR) == 32 && offsetof(_stQSEERREUR, pszTexte) == 4 &&
                  offsetof(_stQSEERREUR, abyReserve) == 8,
              "error record: 32 bytes");
static_assert(sizeof(_stQSEINIT) == 4114 && offsetof(_stQSEINIT, nTaille) == 4 &&
                  offsetof(_stQSEINIT, pDonnees) == 8 && offsetof(_stQSEINIT, szTexte) == 12 &&
                  offsetof(_stQSEINIT, dwOptions) == 4110,
              "initialisation record: 4114 bytes");
#else
static_assert(sizeof(void *) == 8, "the natural layout is the 64-bit one");
static_assert(sizeof(_stQSECONTEXTE) == 64 && offsetof(_stQSECONTEXTE, wVersion) == 2 &&
                  offsetof(_stQSECONTEXTE, pMoteur) == 8 && offsetof(_stQSECONTEXTE, pValeurRetour) == 16 &&
                  offsetof(_stQSECONTEXTE, pErreur) == 24 && offsetof(_stQSECONTEXTE, pModule) == 32 &&
                  offsetof(_stQSECONTEXTE, abyReserve) == 40 && offsetof(_stQSECONTEXTE, wFin) == 56,
              "call context, 64-bit");
static_assert(sizeof(_stQSEVALEURRETOUR) == 64 && offsetof(_stQSEVALEURRETOUR, nValeur) == 4 &&
                  offsetof(_stQSEVALEURRETOUR, i64Valeur) == 8 && offsetof(_stQSEVALEURRETOUR, dValeur) == 16 &&
                  offsetof(_stQSEVALEURRETOUR, pszValeur) == 24 && offsetof(_stQSEVALEURRETOUR, pbyValeur) == 32 &&
                  offsetof(_stQSEVALEURRETOUR, bNull) == 40 && offsetof(_stQSEVALEURRETOUR, abyReserve) == 44,
              "result record, 64-bit");
static_assert(sizeof(_stQSEERREUR) == 40 && offsetof(_stQSEERREUR, pszTexte) == 8 &&
                  offsetof(_stQSEERREUR, abyReserve) == 16,
              "error record, 64-bit");
static_assert(sizeof(_stQSEINIT) == 4120 && offsetof(_stQSEINIT, nTaille) == 4 &&
                  offsetof(_stQSEINIT, pDonnees) == 8 && offsetof(_stQSEINIT, szTexte) == 16 &&
                  offsetof(_stQSEINIT, dwOptions) == 4116,
              "initialisation record, 64-bit");
#endif
static_assert(sizeof(TQARG) == sizeof(void *), "an argument holds a pointer");

// Call shapes of the engine entries: the context first, then the arguments.
extern "C" {
typedef int (*PFN_QSEINITEX)(_stQSECONTEXTE *pContexte, _stQSEINIT *pstInit);
typedef int (*PFN_QSEOPMT)(_stQSECONTEXTE *pContexte, uint32_t dwOperation);
typedef int (*PFN_QSE0)(_stQSECONTEXTE *pContexte);
typedef int (*PFN_QSE1)(_stQSECONTEXTE *pContexte, TQARG);
typedef int (*PFN_QSE2)(_stQSECONTEXTE *pContexte, TQARG, TQARG);
typedef int (*PFN_QSE3)(_stQSECONTEXTE *pContexte, TQARG, TQARG, TQARG);
typedef int (*PFN_QSE4)(_stQSECONTEXTE *pContexte, TQARG, TQARG, TQARG, TQARG);
typedef int (*PFN_QSE5)(_stQSECONTEXTE *pContexte, TQARG, TQARG, TQARG, TQARG, TQARG);
typedef void (*PFN_QSEV0)(_stQSECONTEXTE *pContexte);
typedef void (*PFN_QSEV1)(_stQSECONTEXTE *pContexte, TQARG);
typedef void (*PFN_QSEV2)(_stQSECONTEXTE *pContexte, TQARG, TQARG);
typedef void *(*PFN_QSEP0)(_stQSECONTEXTE *pContexte);
typedef void *(*PFN_QSEP1)(_stQSECONTEXTE *pContexte, TQARG);
}

// Exported names of the engine entries.
#define TQVM_EXPORT_QSEINITEX "nQSEInitEx"
#define TQVM_EXPORT_QSEOPMT "nQSEOPMT"
