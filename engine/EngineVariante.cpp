// The one unit compiled per engine variant: the build's switches (NAME=1) become
// the flags the shared code reads. A switch not given is off.
#include "EngineRecord.h"
#include "EngineVariante.h"

#ifndef TQE_RECORD
#define TQE_RECORD 0
#endif
#ifndef TQE_INIT_FALSE
#define TQE_INIT_FALSE 0
#endif
#ifndef TQE_PROXY_NULL
#define TQE_PROXY_NULL 0
#endif
#ifndef TQE_DONNETQL_FALSE
#define TQE_DONNETQL_FALSE 0
#endif
#ifndef TQE_RUN_FALSE
#define TQE_RUN_FALSE 0
#endif
#ifndef TQE_RUNSRV_FALSE
#define TQE_RUNSRV_FALSE 0
#endif
#ifndef TQE_SERVICE_LENT
#define TQE_SERVICE_LENT 0
#endif
#ifndef TQEH_INITEX_ECHEC
#define TQEH_INITEX_ECHEC 0
#endif
#ifndef TQEH_OPMT_REFUSE
#define TQEH_OPMT_REFUSE 0
#endif
#ifndef TQEH_ENREGISTRE_SEUL
#define TQEH_ENREGISTRE_SEUL 0
#endif

extern const bool gbEnregistre = TQE_RECORD != 0;

extern const stVARIANTE gstVariante = {
    TQE_INIT_FALSE != 0, // bInitFaux
    TQE_PROXY_NULL != 0, // bProxyNul
    TQE_DONNETQL_FALSE != 0, // bDonneTQLFaux
    TQE_RUN_FALSE != 0, // bRunFaux
    TQE_RUNSRV_FALSE != 0, // bRunServiceFaux
    TQE_SERVICE_LENT != 0, // bServiceLent
    TQEH_INITEX_ECHEC != 0, // bInitExEchec
    TQEH_OPMT_REFUSE != 0, // bOPMTRefuse
    TQEH_ENREGISTRE_SEUL != 0, // bEnregistreSeul
};
