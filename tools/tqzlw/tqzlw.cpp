// tqzlw: compresses a file into one ZLW block and back.
//   tqzlw -c|-d [-o OUT] [IN]
// Reads standard input when IN is absent and writes standard output when
// OUT is absent. The result is built in memory and only then written; a
// named output is filled as a private temporary file beside it and appears
// through a rename, so a failure or a signal never leaves a partial file.
// Exit status: 0 done, 1 failed (one line says why), 2 bad usage.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "compression/Compresseur.h"
#include "files/AtomicOutput.h"

namespace {

// Largest input whose block still has 32-bit sizes (the block adds up to
// 7 bytes of header and fallback room).
const uint64_t ENTREE_MAX = UINT32_MAX - 7;

int Echec(const std::string &name, const std::string &reason)
{
    fprintf(stderr, "tqzlw: %s: %s\n", name.c_str(), reason.c_str());
    return 1;
}

const char USAGE[] = "usage: tqzlw -c|-d [-o OUT] [IN]";

int Usage(const std::string &what)
{
    fprintf(stderr, "tqzlw: %s (%s)\n", what.c_str(), USAGE);
    return 2;
}

// The whole input: mapped when it is a regular file, read otherwise into a
// buffer that never grows past the limit (a pipe can be endless).
class CEntree {
public:
    ~CEntree()
    {
        if (m_pMap)
            munmap(m_pMap, m_qwTaille);
        free(m_pLu);
    }
    unsigned char *pData() { return m_pMap ? static_cast<unsigned char *>(m_pMap) : m_pLu; }
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
        // The byte count cannot pass the address space either (32-bit tree).
        const uint64_t cap = std::min<uint64_t>(limit, SIZE_MAX);
        size_t size = 0, capacity = 0;
        for (;;) {
            if (size == capacity) {
                if (capacity == cap) {
                    // Full: one byte more means too large.
                    unsigned char probe;
                    ssize_t got = read(fd, &probe, 1);
                    if (got < 0 && errno == EINTR)
                        continue;
                    if (got < 0) {
                        reason = std::string("read error: ") + strerror(errno);
                        return false;
                    }
                    if (got > 0) {
                        reason = tooLarge;
                        return false;
                    }
                    break;
                }
                size_t grown = capacity < (1u << 16) ? 1u << 16 : capacity;
                grown = static_cast<size_t>(std::min<uint64_t>(cap, static_cast<uint64_t>(capacity) + grown));
                void *p = realloc(m_pLu, grown ? grown : 1);
                if (!p) {
                    reason = "out of memory after " + std::to_string(size) + " bytes of input";
                    return false;
                }
                m_pLu = static_cast<unsigned char *>(p);
                capacity = grown;
            }
            ssize_t got = read(fd, m_pLu + size, std::min<size_t>(capacity - size, 1u << 20));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                reason = std::string("read error: ") + strerror(errno);
                return false;
            }
            if (got == 0)
                break;
            size += static_cast<size_t>(got);
        }
        m_qwTaille = size;
        return true;
    }

private:
    void *m_pMap = nullptr;
    uint64_t m_qwTaille = 0;
    unsigned char *m_pLu = nullptr;
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

namespace {

int Principal(int argc, char **argv)
{
    int mode = 0;
    const char *outName = nullptr;
    const char *inName = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            printf("%s\n"
                   "  -c  compress IN (standard input when absent) into one ZLW block\n"
                   "  -d  decompress one block back\n"
                   "  -o  write OUT (replaced only when the whole result is ready, with IN's\n"
                   "      permissions, never wider than OUT's own) instead of standard output\n"
                   "  --version  tell the version and stop\n"
                   "Exit status: 0 done, 1 failed, 2 bad usage.\n",
                   USAGE);
            return 0;
        }
        if (a == "--version") {
            printf("tqzlw %s\n", TQ_VERSION);
            return 0;
        }
        if (a == "-c" || a == "-d") {
            if (mode)
                return Usage(mode == a[1] ? a + " given twice" : "-c and -d cannot be combined");
            mode = a[1];
        } else if (a == "-o") {
            if (i + 1 >= argc)
                return Usage("-o needs a file name");
            if (outName)
                return Usage("-o given twice");
            outName = argv[++i];
            if (!*outName)
                return Usage("empty output name");
        } else if (a == "-" || a[0] != '-') {
            if (inName)
                return Usage(std::string("more than one input (") + inName + ", " + a + ")");
            if (a.empty())
                return Usage("empty input name");
            inName = argv[i];
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (!mode)
        return Usage("-c or -d is needed");
    if (inName && strcmp(inName, "-") == 0)
        inName = nullptr;
    const std::string label = inName ? inName : "(stdin)";

    int fd = 0;
    if (inName) {
        fd = open(inName, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Echec(label, strerror(errno));
    }
    // The output takes the input's permissions; input from a pipe gives the
    // usual ones.
    struct stat inStat;
    mode_t outMode = CAtomicOutput::s_nDefaultMode();
    if (fstat(fd, &inStat) == 0 && S_ISREG(inStat.st_mode))
        outMode = inStat.st_mode & 0777;

    // A device or pipe named as output is written in place: renaming over
    // it would replace the device node itself. A file is filled beside it
    // from the start, so that a signal during a long read leaves nothing.
    struct stat target;
    const bool inPlace = outName && stat(outName, &target) == 0 && !S_ISREG(target.st_mode);
    CAtomicOutput atomic;
    std::string reason;
    if (outName && !inPlace && !atomic.bOpen(outName, reason)) {
        if (inName)
            close(fd);
        return Echec(label, reason);
    }

    CEntree in;
    CSortie out;
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
    if (inPlace) {
        int dfd = open(outName, O_WRONLY | O_CLOEXEC);
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
    if (!atomic.bWrite(out.pData(), out.nTaille, reason) || !atomic.bCommit(outMode, reason))
        return Echec(label, reason);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return Principal(argc, argv);
    } catch (const std::bad_alloc &) {
        // Only the small strings of messages allocate through new; the
        // temporary file, if any, went with the stack.
        fprintf(stderr, "tqzlw: out of memory\n");
        return 1;
    }
}
