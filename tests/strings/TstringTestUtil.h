// Block-size checks for CTString tests.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>

#include "strings/Tstring.h"

#if defined(__SANITIZE_ADDRESS__)
#define TQ_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQ_TEST_ASAN 1
#endif
#endif

// The block behind s holds exactly n bytes. The allocator may round a request
// up a little; under AddressSanitizer the usable size is the requested size.
inline void ExpectBloc(const CTString& s, size_t n) {
    ASSERT_FALSE(s.pszGet()[0] == 0 && n == 0) << "no block expected";
    size_t u = malloc_usable_size(const_cast<char*>(s.pszGet()));
#ifdef TQ_TEST_ASAN
    EXPECT_EQ(u, n);
#else
    EXPECT_GE(u, n);
    // Rounding to 16 bytes, and a shrinking realloc may keep a tail below the
    // allocator's minimum chunk: anything beyond that is a grown block.
    EXPECT_LT(u, n + 48) << "block larger than the text needs";
#endif
}

// Exactly length + 1 bytes.
inline void ExpectExact(const CTString& s) { ExpectBloc(s, strlen(s.pszGet()) + 1); }
