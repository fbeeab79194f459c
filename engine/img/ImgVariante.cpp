// The one unit compiled per variant of the component library: TQIMG_REFUSE=1 makes
// it refuse everything it is asked. Every variant records its calls.
#include "EngineRecord.h"

#ifndef TQIMG_REFUSE
#define TQIMG_REFUSE 0
#endif

extern const bool gbEnregistre = true;
extern const bool gbImgRefuse = TQIMG_REFUSE != 0;
