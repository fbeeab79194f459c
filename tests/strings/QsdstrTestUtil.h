// Helpers for the dynamic string tests: cache modes and byte views.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "strings/qsdstr.h"

// Runs a test with the allocator's caches off (no host flag) or on (host flag
// set, one thread: the allocator's own cache). Cached blocks are freed after
// each test so that a use after release shows under the sanitizer.
class QsdCache : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        CQSDSTRBase::bInit();
        GeneralParam(2006, GetParam() ? &m_nUnThread : nullptr);
    }
    void TearDown() override {
        CStrMemAlloc::s_pclCourant()->vSupprimeTout();
        GeneralParam(2006, nullptr);
    }
    int m_nUnThread = 0;
};

inline std::string sOctets(const CQSValeurBase& v) {
    return v.pGet() ? std::string(reinterpret_cast<const char*>(v.pGet()), v.nGetLength()) : std::string();
}

inline std::wstring sLarge(const CQSDSTRBase& v) { return std::wstring(v.pwszGet(), v.nGetLengthUNICODE()); }

// The 4 bytes after the used length are zero.
inline bool bTermine(const CQSValeurBase& v) {
    if (!v.pGet()) return true;
    const unsigned char* p = v.pGet() + v.nGetLength();
    return !p[0] && !p[1] && !p[2] && !p[3];
}
