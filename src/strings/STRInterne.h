// Shared between the units of the STR_ family; not for other callers.
#pragma once

#include "strings/CharTab.h"

// The table set a map flag word asks for: the local alphabet with bit 28,
// else the fixed Latin-1 set.
const _stCHARTAB *STR_pstTables(unsigned int nFlags);
