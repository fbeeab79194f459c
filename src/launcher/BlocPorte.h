// Blocks carried in an executable file, read by file name: the launcher's
// own file for CTQExe, the host executable for the engine.
#pragma once

#include "launcher/InfoExe.h"

class CSimpleBuffer;

// Reads `nTaille` bytes at `oOffset` of the file; false when the file cannot
// be opened or the bytes are not all there.
bool BlocPorte_bLit(const char *pszFichier, long long oOffset, unsigned int nTaille, void *pBuffer);

// Unpacks the component block whose record begins at `oOffset` (the data
// follows the 526-byte record). False when the block cannot be read or its
// header announces a size the payload cannot decode to; otherwise true with
// the decoded byte count in *pnTailleSortie (0 when the data is corrupt).
bool BlocPorte_bDecompresse(const char *pszFichier, long long oOffset, const _stINFODLL &stInfo,
                            CSimpleBuffer *pclSortie, unsigned int *pnTailleSortie);
