// Reading a file that may be hostile: only a regular file, opened without waiting on
// a FIFO, a device or a lock, and never more of it than the caller can hold.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

// Opens a regular file for reading (non-blocking, close-on-exec): its descriptor, its
// status in *pst; -1 with the reason ("a directory", "not a regular file" or the
// system's) otherwise, *pst left untouched when the open itself failed.
int LectureSure_nOuvre(const char *pszChemin, struct stat *pst, std::string *psRaison);
// Appends the rest of the file to *psTexte; false with the reason on a read error or
// when the file holds more than nMax bytes from where it stands.
bool LectureSure_bLitTout(int nFd, size_t nMax, std::string *psTexte, std::string *psRaison);
