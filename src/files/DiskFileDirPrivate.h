// Directory search helpers shared by the search, walk and tree units; they take
// paths whose '\' were already turned into '/' (names found on disk may hold '\').
#pragma once

#include <cstdint>
#include <string>

#include "files/DiskFile.h"

namespace tqfiles {

// Opens the search of sDirectory (ending with '/') for sPattern: 1 an entry was found,
// 0 none (the search is closed, error number ENOENT), -1 failure. With bTypeOnly the
// masks may only hold the directory and hidden bits: entries whose type the directory
// tells are not read with lstat, and their size is left 0. With bNoFollow a directory
// whose last component is a symbolic link is not opened (ENOTDIR). An entry whose full
// path would not fit a path buffer ends the search with ENAMETOOLONG.
int nFindFirstRaw(const std::string &sDirectory, const std::string &sPattern, _stXFINDDATA *pstData,
                  uint32_t dwRequired, uint32_t dwExcluded, bool bTypeOnly = false,
                  bool bNoFollow = false);
// 1 next entry, 0 end (search closed, ENOENT), -1 failure (search closed).
int nFindNextRaw(_stXFINDDATA *pstData, bool bTypeOnly = false);
// The entry found is a directory itself (not a link, socket or device).
bool bIsRealDirectory(const _stXFINDDATA &st);
// The walk of bDoOnFileTree on a directory ending with '/'. With bNoFollow no directory
// of the walk, the starting one included, is entered through a symbolic link.
bool bWalkRaw(const std::string &sDirectory, const std::string &sPattern,
              PFNDOONFILETREE pfnCallback, void *pData, uint32_t dwRequired, uint32_t dwExcluded,
              bool bRecurse, bool bNoFollow = false);
// The directory argument of a walk: '\' turned into '/', ending with '/'.
std::string DirectoryArgument(const char *pszDirectory);

} // namespace tqfiles
