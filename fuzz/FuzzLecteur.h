// Reads a target's input byte by byte; past its end every byte reads as 0, so
// a short input still drives a whole sequence.
#pragma once

#include <cstddef>
#include <cstdint>

struct stLecteur {
    const uint8_t* p;
    size_t n;
    uint8_t octet() {
        if (!n) return 0;
        --n;
        return *p++;
    }
};
