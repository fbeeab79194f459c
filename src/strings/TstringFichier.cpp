// CTString temporary file names: the name libc's tempnam would give (the
// system's temporary directory, at most five characters of prefix, six random
// characters), without pulling tempnam and its link-time warning in.
#include <sys/stat.h>

#include <cerrno>
#include <random>

#include "files/DiskFile.h"
#include "strings/Tstring.h"

void CTString::FichierTemporaire(const char* prefix) {
    char dir[DISKFILE_MAX_PATH];
    if (!CDiskFile::bGetTempDirectory(dir)) { Vide(); return; }
    std::string base = dir;
    base.append(prefix ? prefix : "file", 0, 5);

    static const char alphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2);
    // Like tempnam, the name is only checked to be free, not created.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = base;
        for (int i = 0; i < 6; ++i) name += alphabet[pick(gen)];
        struct stat st;
        if (lstat(name.c_str(), &st) != 0 && errno == ENOENT) {
            Set(name.c_str());
            return;
        }
    }
    Vide();
}
