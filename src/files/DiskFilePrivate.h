// Helpers shared by the units of the disk file; not part of its interface.
#pragma once

#include <cstddef>
#include <string>

#include "files/DiskFile.h"

namespace tqfiles {

// Copy of a path with every '\' turned into '/'; null gives "".
std::string SlashCopy(const char *psz);

// Copies s into a buffer, cut to nMax characters, and terminates it.
void CopyOut(char *pszOut, const std::string &s, size_t nMax = DISKFILE_MAX_PATH - 1);

} // namespace tqfiles
