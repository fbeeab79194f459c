// Line readers on arbitrary file contents with arbitrary buffer sizes; the
// contents may be placed across the buffered reader's 64 KiB refill.
#include "files/DiskFile.h"
#include "strings/Tstring.h"
#include "FuzzScratch.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <unistd.h>

namespace {

std::string TempFile()
{
    static std::string s;
    s = FuzzScratchDir() + "/tq-fuzz-readline-XXXXXX";
    int fd = mkstemp(&s[0]);
    if (fd < 0)
        abort();
    close(fd);
    atexit([] { unlink(s.c_str()); });
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string sPath = TempFile();
    if (size < 4)
        return 0;
    const unsigned nSize = (static_cast<unsigned>(data[0]) << 8 | data[1]) % 400;
    const uint8_t nMode = data[2];
    const uint8_t nPad = data[3];
    data += 4;
    size -= 4;

    std::string sFile;
    if (nMode & 0x80) // lead text so the input straddles the first refill
        sFile.assign(65536 - (nPad % 8), 'p');
    sFile.append(reinterpret_cast<const char *>(data), size);
    FILE *f = fopen(sPath.c_str(), "wb");
    if (!f)
        abort();
    fwrite(sFile.data(), 1, sFile.size(), f);
    fclose(f);

    CDiskFile file;
    if (!file.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr))
        abort();
    size_t nTotal = 0;
    // A one-byte buffer never advances a chunked reader: one call says enough.
    const int nCalls = nSize <= 1 ? 1 : 200000;
    switch (nMode & 3) {
    case 0: {
        char *buf = static_cast<char *>(malloc(nSize ? nSize : 1));
        int nCut = 0;
        for (int i = 0; i < nCalls && file.bReadLine(buf, nSize, &nCut, (nMode >> 2) & 1); ++i) {
            size_t n = strlen(buf);
            if (n >= nSize)
                abort();
            nTotal += n;
        }
        free(buf);
        break;
    }
    case 1: {
        wchar_t *buf = static_cast<wchar_t *>(malloc((nSize ? nSize : 1) * sizeof(wchar_t)));
        int nCut = 0;
        for (int i = 0; i < nCalls && file.bReadLineUNICODE(buf, nSize, &nCut, (nMode >> 2) & 1);
             ++i) {
            if (wcslen(buf) >= nSize)
                abort();
        }
        free(buf);
        break;
    }
    default: {
        char *buf = static_cast<char *>(malloc(nSize ? nSize : 1));
        CTString clLong;
        const char *apszSep[] = {nullptr, "\n", "\r\n", "||", "<sep>"};
        const char *pszSep = apszSep[(nMode >> 2) % 5];
        CTString *pclLong = (nMode & 2) && (nMode & 1) ? &clLong : nullptr;
        const char *psz;
        for (int i = 0; i < 200000 && (psz = file.pszReadLine(nSize ? buf : nullptr, nSize,
                                                                pclLong, pszSep)) != nullptr;
             ++i) {
            size_t n = strlen(psz);
            if (psz == buf && n >= nSize)
                abort();
            nTotal += n;
        }
        free(buf);
        break;
    }
    }
    // Lines never hold more text than the file.
    if (nTotal > sFile.size())
        abort();
    return 0;
}
