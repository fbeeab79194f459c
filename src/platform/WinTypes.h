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

// Scalar names the Windows-shaped calls use.
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef uint16_t ATOM;
typedef void *HANDLE;
typedef void *HGLOBAL;
typedef char *LPSTR;
typedef const char *LPCSTR;

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// Memory status as GlobalMemoryStatus fills it: six 32-bit fields, amounts in bytes.
struct MEMORYSTATUS {
    uint32_t dwLength;
    uint32_t dwMemoryLoad;
    uint32_t dwTotalPhys;
    uint32_t dwAvailPhys;
    uint32_t dwTotalPageFile;
    uint32_t dwAvailPageFile;
};
static_assert(sizeof(MEMORYSTATUS) == 24, "MEMORYSTATUS is six 32-bit fields");

// Operating system version record.
struct OSVERSIONINFO {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFO) == 148, "OSVERSIONINFO layout");

// 16-byte identifier; UuidCreate fills its bytes in network order.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID UUID;
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
