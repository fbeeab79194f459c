// tqzlw: compresses a file into one ZLW block and back.
//   tqzlw -c|-d [-o OUT] [IN]
// Reads standard input when IN is absent and writes standard output when
// OUT is absent. The result is built in memory and only then written; a
// named output appears through a rename, so a failure never leaves a
// partial file behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "compression/Compresseur.h"

namespace {

// Largest input whose block still has 32-bit sizes (the block adds up to
// 7 bytes of header and fallback room).
const uint64_t ENTREE_MAX = UINT32_MAX - 7;

int Echec(const std::string &name, const std::string &reason)
{
    fprintf(stderr, "tqzlw: %s: %s\n", name.c_str(), reason.c_str());
    return 1;
}

int Usage()
{
    fprintf(stderr, "usage: tqzlw -c|-d [-o OUT] [IN]\n");
    return 1;
}

// Reads the whole input; false with a reason on failure or when it is too
// large for the block format (known from fstat before reading when possible).
bool bLitTout(int fd, uint64_t limit, std::vector<unsigned char> &data, std::string &reason)
{
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<uint64_t>(st.st_size) > limit) {
            reason = "too large for a block (more than " + std::to_string(limit) + " bytes)";
            return false;
        }
        data.reserve(static_cast<size_t>(st.st_size));
    }
    unsigned char chunk[1 << 16];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            reason = std::string("read error: ") + strerror(errno);
            return false;
        }
        if (got == 0)
            return true;
        if (data.size() + static_cast<uint64_t>(got) > limit) {
            reason = "too large for a block (more than " + std::to_string(limit) + " bytes)";
            return false;
        }
        data.insert(data.end(), chunk, chunk + got);
    }
}

bool bEcritTout(int fd, const unsigned char *p, size_t n)
{
    while (n > 0) {
        ssize_t put = write(fd, p, n);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

bool bCompresse(std::vector<unsigned char> &in, std::vector<unsigned char> &out, std::string &reason)
{
    CCompresseur comp(CCompresseurBase::eCOMPRESSEUR_ZLW);
    out.resize(in.size() + 7);
    comp.m_pbyEntree = in.data();
    comp.m_dwTailleEntree = static_cast<uint32_t>(in.size());
    comp.m_pbySortie = out.data();
    comp.m_dwTailleSortie = static_cast<uint32_t>(out.size());
    uint32_t size = comp.dwCompression();
    if (size == 0) {
        reason = "compression failed";
        return false;
    }
    out.resize(size);
    return true;
}

bool bDecompresse(std::vector<unsigned char> &in, std::vector<unsigned char> &out, std::string &reason)
{
    unsigned char method;
    uint64_t blockSize;
    uint32_t decoded;
    if (!CCompresseurBase::s_bLitEntete(in.data(), in.size(), method, blockSize, decoded)) {
        reason = in.size() < CCompresseurBase::TAILLE_ENTETE_COPIE ? "truncated block" : "not a compressed block";
        return false;
    }
    if (method == CCompresseurBase::eCOMPRESSEUR_CODE2) {
        reason = "block of method 2 cannot be decoded";
        return false;
    }
    if (blockSize > in.size()) {
        reason = "truncated block";
        return false;
    }
    if (blockSize < in.size()) {
        reason = "trailing data after the block";
        return false;
    }
    if (method == CCompresseurBase::eCOMPRESSEUR_ZLW &&
        decoded > CZLWCompresseur::s_qwTailleDecodeeMax(blockSize - CCompresseurBase::TAILLE_ENTETE_CODE)) {
        reason = "corrupt block (announced size impossible)";
        return false;
    }
    out.resize(decoded);
    CCompresseur comp(CCompresseurBase::eCOMPRESSEUR_ZLW);
    comp.m_pbyEntree = in.data();
    comp.m_dwTailleEntree = static_cast<uint32_t>(in.size());
    comp.m_pbySortie = out.data();
    comp.m_dwTailleSortie = decoded;
    if (comp.dwDecompression(CCompresseurBase::eCOMPRESSEUR_AUCUN) != decoded) {
        reason = "corrupt block";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int mode = 0;
    const char *outName = nullptr;
    const char *inName = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-c" || a == "-d") {
            if (mode)
                return Usage();
            mode = a[1];
        } else if (a == "-o" && i + 1 < argc && !outName) {
            outName = argv[++i];
        } else if ((a == "-" || a[0] != '-') && !inName) {
            inName = argv[i];
        } else {
            return Usage();
        }
    }
    if (!mode)
        return Usage();
    if (inName && strcmp(inName, "-") == 0)
        inName = nullptr;
    const std::string label = inName ? inName : "(stdin)";

    int fd = 0;
    if (inName) {
        fd = open(inName, O_RDONLY);
        if (fd < 0)
            return Echec(label, strerror(errno));
    }
    std::vector<unsigned char> in, out;
    std::string reason;
    // A block can be at most 4 GiB - 1 bytes.
    bool ok = bLitTout(fd, mode == 'c' ? ENTREE_MAX : UINT32_MAX, in, reason);
    if (inName)
        close(fd);
    if (!ok)
        return Echec(label, reason);
    if (!(mode == 'c' ? bCompresse(in, out, reason) : bDecompresse(in, out, reason)))
        return Echec(label, reason);
    std::vector<unsigned char>().swap(in);

    if (!outName) {
        if (!bEcritTout(1, out.data(), out.size()))
            return Echec(label, std::string("cannot write the output: ") + strerror(errno));
        return 0;
    }
    std::string temp = std::string(outName) + ".XXXXXX";
    int ofd = mkstemp(&temp[0]);
    if (ofd < 0)
        return Echec(label, std::string("cannot create ") + outName + ": " + strerror(errno));
    // mkstemp makes the file private; give it the usual mode.
    mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(ofd, 0666 & ~mask) == 0 && bEcritTout(ofd, out.data(), out.size());
    int err = errno;
    if (close(ofd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (written && rename(temp.c_str(), outName) != 0) {
        written = false;
        err = errno;
    }
    if (!written) {
        unlink(temp.c_str());
        return Echec(label, std::string("cannot write ") + outName + ": " + strerror(err));
    }
    return 0;
}
