// A plain decoder written straight from the stream rules (byte-at-a-time
// bit reader, prefix walk and reversal), independent of the codec under
// test. Besides the data it reports what happened in the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ZLWTrace {
    bool ok = false;
    std::vector<unsigned char> data;
    int probeResets = 0;      // reset codes read before the dictionary was full
    int gainResets = 0;       // reset codes read with every code in use
    bool filled = false;      // next code reached 65536
    int selfCodes = 0;        // codes equal to the next code
    long firstWideBit = -1;   // payload bit where the first 10-bit code starts
};

ZLWTrace ZLWReferenceDecode(const std::vector<unsigned char> &block);

// Deterministic test data.
std::vector<unsigned char> TestText(size_t n, uint32_t seed, int letters);
std::vector<unsigned char> TestRandom(size_t n, uint32_t seed);
uint64_t Fnv1a(const std::vector<unsigned char> &v);
