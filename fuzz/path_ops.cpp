// Path operations on arbitrary names and buffer sizes: nothing may be written
// beyond the stated buffer, and the answers must agree with what was written.
#include "files/DiskFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Splits the input at NUL bytes into up to three texts.
void Texts(const uint8_t *p, size_t n, std::string out[3])
{
    size_t k = 0;
    for (size_t i = 0; i < n && k < 3; ++i) {
        if (p[i] == 0)
            ++k;
        else
            out[k] += static_cast<char>(p[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const unsigned nSize = (static_cast<unsigned>(data[0]) << 8 | data[1]) % 700;
    const uint8_t nFlags = data[2];
    std::string t[3];
    Texts(data + 3, size - 3, t);
    const char *pszPath = t[0].c_str();

    // GetFullPathName into a buffer of exactly nSize bytes.
    {
        char *out = static_cast<char *>(malloc(nSize ? nSize : 1));
        unsigned r = CDiskFile::GetFullPathName(pszPath, nSize, nSize ? out : nullptr, nullptr);
        if (nSize && r != 0 && r < nSize && strlen(out) != r)
            abort();
        unsigned nLen = 0;
        if (CDiskFile::bGetFullPath(out, nSize, pszPath, &nLen) && strlen(out) + 1 != nLen)
            abort();
        free(out);
    }

    // ChangeExtension in place within nSize bytes.
    if (nSize) {
        char *buf = static_cast<char *>(malloc(nSize));
        size_t n = t[0].size() < nSize - 1 ? t[0].size() : nSize - 1;
        memcpy(buf, t[0].data(), n);
        buf[n] = 0;
        CDiskFile::ChangeExtension(buf, nSize, t[1].c_str());
        if (strnlen(buf, nSize) >= nSize)
            abort();
        CDiskFile::DelExtension(buf);
        free(buf);
    }

    // Operations that fill a 261-byte path buffer.
    char *out = static_cast<char *>(malloc(DISKFILE_MAX_PATH));
    if (CDiskFile::bRelativeToFullPath(out, pszPath, t[1].c_str()) &&
        strlen(out) >= DISKFILE_MAX_PATH)
        abort();
    if (CDiskFile::bPathRelativePathTo(out, pszPath, t[1].c_str(), nFlags & 1) &&
        strlen(out) >= DISKFILE_MAX_PATH)
        abort();
    {
        char *d = static_cast<char *>(malloc(DISKFILE_MAX_PATH));
        char *nm = static_cast<char *>(malloc(DISKFILE_MAX_PATH));
        char *e = static_cast<char *>(malloc(DISKFILE_MAX_PATH));
        CDiskFile::SplitPath(pszPath, d, nm, e);
        CDiskFile::SplitPath(pszPath, d, nm);
        CDiskFile::MakePath(out, t[0].c_str(), t[1].c_str(), t[2].c_str());
        CDiskFile::StandardizeFileName(out, pszPath);
        CDiskFile::DirectoryWithEndSlash(out);
        CDiskFile::DirectoryWithoutEndSlash(out);
        free(d);
        free(nm);
        free(e);
    }
    (void)CDiskFile::bSameDirectoryName(pszPath, t[1].c_str());
    (void)CDiskFile::bIsRelativeFileName_WIN32(pszPath);
    (void)CDiskFile::bUNCName(pszPath);
    (void)CDiskFile::pszGetPtrToFileName(pszPath);
    free(out);
    return 0;
}
