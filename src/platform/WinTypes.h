// Windows-style scalar types and records shared by every subsystem.
#pragma once

#include <cstdint>

// Handle of a loaded module as dlopen returns it; null stands for the main program.
typedef void *HINSTANCE;

// 100-nanosecond intervals since 1601-01-01 UTC, split in two 32-bit halves.
struct FILETIME {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8, "FILETIME is two 32-bit halves");

// Calendar time in eight 16-bit fields.
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is eight 16-bit fields");
