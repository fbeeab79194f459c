// CTString temporary file names; apart because the linker warns about tempnam
// wherever it is pulled in.
#include <cstdio>

#include "strings/Tstring.h"

void CTString::FichierTemporaire(const char* prefix) {
    char* p = tempnam(nullptr, prefix);
    if (!p) { Vide(); return; }
    SetBuffer(p);
}
