// Time-based (version 1) UUIDs with a random node.
#include "platform/WinApi.h"

#include <sys/time.h>

#include <cstdlib>

namespace {

// 100-ns intervals between 1582-10-15 and 1970-01-01.
const uint64_t knGregorianOffset = 0x01B21DD213814000ULL;

bool has_init = false;
uint8_t a[6];
unsigned clock_seq = 0;
bool has_last = false;
struct timeval last;
unsigned adjustment = 0;

int Compare(const struct timeval &x, const struct timeval &y)
{
    if (x.tv_sec != y.tv_sec)
        return x.tv_sec < y.tv_sec ? -1 : 1;
    if (x.tv_usec != y.tv_usec)
        return x.tv_usec < y.tv_usec ? -1 : 1;
    return 0;
}

}  // namespace

long UuidCreate(UUID *pUuid)
{
    long nResult = RPC_S_OK;
    if (!has_init) {
        for (uint8_t &b : a)
            b = static_cast<uint8_t>(rand());
        // Multicast bit: the node is not a real network address.
        a[0] |= 0x80;
        has_init = true;
        nResult = RPC_S_UUID_LOCAL_ONLY;
    }
    if (!has_last) {
        clock_seq = static_cast<unsigned>(rand()) & 0x1FFF;
        gettimeofday(&last, nullptr);
        last.tv_sec -= 1;
        has_last = true;
    }

    struct timeval now;
    gettimeofday(&now, nullptr);
    int nOrder = Compare(now, last);
    if (nOrder < 0) {
        clock_seq = (clock_seq + 1) & 0x1FFF;
        adjustment = 0;
    } else if (nOrder == 0) {
        if (adjustment + 1 > 9) {
            while (Compare(now, last) == 0)
                gettimeofday(&now, nullptr);
            adjustment = 0;
        } else {
            adjustment++;
        }
    } else {
        adjustment = 0;
    }
    last = now;

    uint64_t nStamp = static_cast<uint64_t>(now.tv_sec) * 10000000ULL + static_cast<uint64_t>(now.tv_usec) * 10u +
                      adjustment + knGregorianOffset;
    if (pUuid == nullptr)
        return nResult;
    uint8_t *p = reinterpret_cast<uint8_t *>(pUuid);
    p[0] = static_cast<uint8_t>(nStamp >> 24);
    p[1] = static_cast<uint8_t>(nStamp >> 16);
    p[2] = static_cast<uint8_t>(nStamp >> 8);
    p[3] = static_cast<uint8_t>(nStamp);
    p[4] = static_cast<uint8_t>(nStamp >> 40);
    p[5] = static_cast<uint8_t>(nStamp >> 32);
    p[6] = static_cast<uint8_t>(((nStamp >> 56) & 0x0F) | 0x10);
    p[7] = static_cast<uint8_t>(nStamp >> 48);
    p[8] = static_cast<uint8_t>((clock_seq >> 8) | 0x80);
    p[9] = static_cast<uint8_t>(clock_seq);
    for (int i = 0; i < 6; i++)
        p[10 + i] = a[i];
    return nResult;
}
