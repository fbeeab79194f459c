// tqzlw: compresses a file into one ZLW block and back.
//   tqzlw -c|-d [-o OUT] [IN]
// Reads standard input when IN is absent and writes standard output when
// OUT is absent. The result is built in memory and only then written; a
// named output appears through a rename, so a failure never leaves a
// partial file behind.
#include <fcntl.h>
#include <sys/mman.h>
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

// The whole input: mapped when it is a regular file, read otherwise.
class CEntree {
public:
    ~CEntree()
    {
        if (m_pMap)
            munmap(m_pMap, m_qwTaille);
    }
    unsigned char *pData() { return m_pMap ? static_cast<unsigned char *>(m_pMap) : m_vData.data(); }
    uint64_t qwTaille() const { return m_qwTaille; }

    // False with a reason on failure or when the input is larger than
    // `limit` (known from fstat before any reading when possible).
    bool bCharge(int fd, uint64_t limit, std::string &reason)
    {
        const std::string tooLarge = "too large for a block (more than " + std::to_string(limit) + " bytes)";
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            if (static_cast<uint64_t>(st.st_size) > limit) {
                reason = tooLarge;
                return false;
            }
            if (st.st_size > 0) {
                void *p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
                if (p != MAP_FAILED) {
                    m_pMap = p;
                    m_qwTaille = static_cast<uint64_t>(st.st_size);
                    return true;
                }
            }
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
                break;
            if (m_vData.size() + static_cast<uint64_t>(got) > limit) {
                reason = tooLarge;
                return false;
            }
            m_vData.insert(m_vData.end(), chunk, chunk + got);
        }
        m_qwTaille = m_vData.size();
        return true;
    }

private:
    void *m_pMap = nullptr;
    uint64_t m_qwTaille = 0;
    std::vector<unsigned char> m_vData;
};

// Output bytes, left uninitialised until the codec writes them. A large
// output is mapped with huge pages where the kernel offers them: touching
// tens of megabytes page by page costs more than decoding them.
class CSortie {
public:
    ~CSortie() { Libere(); }
    unsigned char *pData() const { return m_pData; }
    size_t nTaille = 0;

    bool bAlloue(size_t n)
    {
        Libere();
        m_nCapacite = n ? n : 1;
        if (m_nCapacite >= (4u << 20)) {
            void *p = mmap(nullptr, m_nCapacite, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p != MAP_FAILED) {
                madvise(p, m_nCapacite, MADV_HUGEPAGE);
                m_pData = static_cast<unsigned char *>(p);
                m_bMap = true;
            }
        }
        if (!m_pData)
            m_pData = static_cast<unsigned char *>(malloc(m_nCapacite));
        nTaille = n;
        return m_pData != nullptr;
    }

private:
    void Libere()
    {
        if (m_bMap)
            munmap(m_pData, m_nCapacite);
        else
            free(m_pData);
        m_pData = nullptr;
        m_bMap = false;
    }
    unsigned char *m_pData = nullptr;
    size_t m_nCapacite = 0;
    bool m_bMap = false;
};

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

bool bCompresse(CEntree &in, CSortie &out, std::string &reason)
{
    CCompresseur comp(CCompresseurBase::eCOMPRESSEUR_ZLW);
    if (!out.bAlloue(static_cast<size_t>(in.qwTaille()) + 7)) {
        reason = "out of memory";
        return false;
    }
    comp.m_pbyEntree = in.pData();
    comp.m_dwTailleEntree = static_cast<uint32_t>(in.qwTaille());
    comp.m_pbySortie = out.pData();
    comp.m_dwTailleSortie = static_cast<uint32_t>(out.nTaille);
    uint32_t size = comp.dwCompression();
    if (size == 0) {
        reason = "compression failed";
        return false;
    }
    out.nTaille = size;
    return true;
}

bool bDecompresse(CEntree &in, CSortie &out, std::string &reason)
{
    unsigned char method;
    uint64_t blockSize;
    uint32_t decoded;
    if (!CCompresseurBase::s_bLitEntete(in.pData(), in.qwTaille(), method, blockSize, decoded)) {
        reason = in.qwTaille() < CCompresseurBase::TAILLE_ENTETE_COPIE ? "truncated block" : "not a compressed block";
        return false;
    }
    if (method == CCompresseurBase::eCOMPRESSEUR_CODE2) {
        reason = "block of method 2 cannot be decoded";
        return false;
    }
    if (blockSize > in.qwTaille()) {
        reason = "truncated block";
        return false;
    }
    if (blockSize < in.qwTaille()) {
        reason = "trailing data after the block";
        return false;
    }
    if (method == CCompresseurBase::eCOMPRESSEUR_ZLW &&
        decoded > CZLWCompresseur::s_qwTailleDecodeeMax(blockSize - CCompresseurBase::TAILLE_ENTETE_CODE)) {
        reason = "corrupt block (announced size impossible)";
        return false;
    }
    if (!out.bAlloue(decoded)) {
        reason = "out of memory";
        return false;
    }
    CCompresseur comp(CCompresseurBase::eCOMPRESSEUR_ZLW);
    comp.m_pbyEntree = in.pData();
    comp.m_dwTailleEntree = static_cast<uint32_t>(in.qwTaille());
    comp.m_pbySortie = out.pData();
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
        if (a == "-h" || a == "--help") {
            printf("usage: tqzlw -c|-d [-o OUT] [IN]\n"
                   "  -c  compress IN (standard input when absent) into one ZLW block\n"
                   "  -d  decompress one block back\n"
                   "  -o  write OUT (replaced only when the whole result is ready) instead of\n"
                   "      standard output\n"
                   "  --version  tell the version and stop\n");
            return 0;
        }
        if (a == "--version") {
            printf("tqzlw %s\n", TQ_VERSION);
            return 0;
        }
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
    CEntree in;
    CSortie out;
    std::string reason;
    // A block can be at most 4 GiB - 1 bytes.
    bool ok = in.bCharge(fd, mode == 'c' ? ENTREE_MAX : UINT32_MAX, reason);
    if (inName)
        close(fd);
    if (!ok)
        return Echec(label, reason);
    if (!(mode == 'c' ? bCompresse(in, out, reason) : bDecompresse(in, out, reason)))
        return Echec(label, reason);

    if (!outName) {
        if (!bEcritTout(1, out.pData(), out.nTaille))
            return Echec(label, std::string("cannot write the output: ") + strerror(errno));
        return 0;
    }
    // A device or pipe named as output is written in place: renaming over
    // it would replace the device node itself.
    struct stat target;
    if (stat(outName, &target) == 0 && !S_ISREG(target.st_mode)) {
        int dfd = open(outName, O_WRONLY);
        if (dfd < 0)
            return Echec(label, std::string("cannot open ") + outName + ": " + strerror(errno));
        bool done = bEcritTout(dfd, out.pData(), out.nTaille);
        int err = errno;
        if (close(dfd) != 0 && done) {
            done = false;
            err = errno;
        }
        return done ? 0 : Echec(label, std::string("cannot write ") + outName + ": " + strerror(err));
    }
    std::string temp = std::string(outName) + ".XXXXXX";
    int ofd = mkstemp(&temp[0]);
    if (ofd < 0)
        return Echec(label, std::string("cannot create ") + outName + ": " + strerror(errno));
    // mkstemp makes the file private; give it the usual mode.
    mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(ofd, 0666 & ~mask) == 0 && bEcritTout(ofd, out.pData(), out.nTaille);
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
