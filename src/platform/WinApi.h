// The Windows services the code base calls, as free functions on POSIX and /proc:
// profile files, command line, processes, time, memory, atoms, UUIDs and the two
// message formatters.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "platform/WinTypes.h"

// ---------------------------------------------------------------------------
// Profile files (WinApiProfile.cpp)

// Home directory of the real user from the password database (not $HOME); the
// reentrant lookup, since the engine may read settings from several threads.
bool bGetHomeDirectory(std::string *pclHome);
// ---------------------------------------------------------------------------

// Reads a value, the keys of a section (null or empty key) or the sections of the file
// (null or empty section). Names not starting with '/' or "./" are relative to the home
// directory. Answers the number of characters placed in the buffer.
DWORD GetPrivateProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer,
                              DWORD nSize, LPCSTR pszFileName);
int GetPrivateProfileInt(LPCSTR pszSection, LPCSTR pszKey, int nDefault, LPCSTR pszFileName);
// The same read on a profile file's text already in memory.
DWORD GetPrivateProfileStringFromText(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer,
                                      DWORD nSize, const std::string &clText);
int GetPrivateProfileIntFromText(LPCSTR pszSection, LPCSTR pszKey, int nDefault, const std::string &clText);
// Writes or replaces a key line; a null value removes the key, a null key the section.
// Relative names are relative to the current directory. False if the file cannot be opened.
BOOL WritePrivateProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue, LPCSTR pszFileName);

// The same on the user's default profile file ~/.ORM.conf.
DWORD GetProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPSTR pszBuffer, DWORD nSize);
int GetProfileInt(LPCSTR pszSection, LPCSTR pszKey, int nDefault);
BOOL WriteProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue);

// Home directory of the real user followed by "/.ORM.conf", into a 261-byte buffer.
bool bGetORMCONFPath(char *pszPath);

// ---------------------------------------------------------------------------
// Command line and processes (WinApiCmdLine.cpp, WinApiProcess.cpp)
// ---------------------------------------------------------------------------

#define TQ_CMDLINE_MAX 1024

// Rebuilds the process-wide command line from the arguments (without the program name):
// arguments holding a blank are quoted, each is followed by a blank, cut at 1,024 characters.
void SetCommandLine(int argc, const char *const *argv);
char *GetCommandLine();

// Runs a program (no PATH search) and waits up to one second for it. Each output may be null.
BOOL CreateProcess(const char *pszApplication, const char *pszCommandLine, pid_t *pPid, int *pnRunning,
                   int *pnExitCode);
// Waits for a child up to nMilliseconds (in steps of a second); answers the waitpid result
// (0: still running). Installs the empty SIGALRM handler when none is set, since each step
// arms an alarm; a masked alarm or one taken by another thread does not stop the wait.
pid_t WaitPid(pid_t pid, int nMilliseconds, int *pnStatus);
void InitAlarmHandler(void (*pfnHandler)(int));
BOOL TerminateProcess(pid_t pid, UINT nExitCode);

// Null module: the executable's own path (/proc/self/exe, else /proc/self/maps); the handle of
// a library loaded with dlopen: that library's path. Answers the length, 0 on failure.
DWORD GetModuleFileName(HINSTANCE hModule, LPSTR pszBuffer, DWORD nSize);

DWORD GetEnvironmentVariable(LPCSTR pszName, LPSTR pszBuffer, DWORD nSize);
BOOL SetEnvironmentVariable(LPCSTR pszName, LPCSTR pszValue);

#define STD_INPUT_HANDLE (-10)
#define STD_OUTPUT_HANDLE (-11)
#define STD_ERROR_HANDLE (-12)
// The descriptor 0, 1 or 2 for -10, -11, -12; -1 otherwise.
int GetStdHandle(int nStdHandle);

#define VER_PLATFORM_UNIX 1000
BOOL GetVersionEx(OSVERSIONINFO *pInfo);
void OutputDebugString(LPCSTR pszText);

// ---------------------------------------------------------------------------
// Time (WinApiTime.cpp); conversions work in whole seconds
// ---------------------------------------------------------------------------

// FILETIME of 1970-01-01 00:00 UTC.
#define TQ_FILETIME_UNIX_EPOCH 0x019DB1DED53E8000ULL

DWORD GetTickCount();
BOOL GetLocalTime(SYSTEMTIME *pTime);
BOOL GetSystemTime(SYSTEMTIME *pTime);
BOOL SetLocalTime(const SYSTEMTIME *pTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME *pSystemTime, FILETIME *pFileTime);
BOOL FileTimeToSystemTime(const FILETIME *pFileTime, SYSTEMTIME *pSystemTime);
BOOL FileTimeToLocalFileTime(const FILETIME *pFileTime, FILETIME *pLocalFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME *pLocalFileTime, FILETIME *pFileTime);
// From fstat: creation <- status change, access <- access, write <- modification.
BOOL GetFileTime(int nDescriptor, FILETIME *pCreation, FILETIME *pAccess, FILETIME *pWrite);
// The creation time is ignored.
BOOL SetFileTime(const char *pszPath, const FILETIME *pCreation, const FILETIME *pAccess, const FILETIME *pWrite);

// ---------------------------------------------------------------------------
// Memory (WinApiMemory.cpp)
// ---------------------------------------------------------------------------

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_MODIFY 0x0080
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define STATUS_NO_MEMORY 0xC0000017u

HGLOBAL GlobalAlloc(UINT nFlags, size_t nSize);
HGLOBAL GlobalReAlloc(HGLOBAL hBlock, size_t nSize, UINT nFlags);
HGLOBAL GlobalFree(HGLOBAL hBlock);
void *GlobalLock(HGLOBAL hBlock);
BOOL GlobalUnlock(HGLOBAL hBlock);

// The heap handle is not used; any value (GetProcessHeap's included) serves.
HANDLE GetProcessHeap();
// Blocks carry their size in front and are aligned for any type. With
// HEAP_GENERATE_EXCEPTIONS a failure throws the DWORD STATUS_NO_MEMORY.
void *HeapAlloc(HANDLE hHeap, DWORD dwFlags, size_t nSize);
void *HeapReAlloc(HANDLE hHeap, DWORD dwFlags, void *pBlock, size_t nSize);
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, void *pBlock);
// The size recorded in front of a heap block (0 for null).
size_t HeapSize(HANDLE hHeap, DWORD dwFlags, const void *pBlock);

void ZeroMemory(void *pBlock, size_t nSize);

// Reads /proc/meminfo at most once a second.
void GlobalMemoryStatus(MEMORYSTATUS *pStatus);
// How many times /proc/meminfo has been read so far (for diagnostics).
DWORD nGetMemoryStatusReadCount();

// ---------------------------------------------------------------------------
// Atoms (WinApiAtom.cpp); names compared without regard to case
// ---------------------------------------------------------------------------

class CAtom {
public:
    // Next identifier to hand out; starts at 1 and only grows.
    static ATOM gnId;

    ATOM nId;
    int nCount;
    char *pszName;
    CAtom *pNext;
};

ATOM AddAtom(LPCSTR pszName);
ATOM FindAtom(LPCSTR pszName);
// Copies at most nSize - 1 characters and terminates; answers the number copied.
UINT GetAtomName(ATOM nAtom, LPSTR pszBuffer, int nSize);
// Answers 0 when the atom was found, the identifier itself otherwise.
ATOM DeleteAtom(ATOM nAtom);

// ---------------------------------------------------------------------------
// UUID (WinApiUuid.cpp)
// ---------------------------------------------------------------------------

#define RPC_S_OK 0
#define RPC_S_UUID_LOCAL_ONLY 1824
// Time-based version 1 UUID with a random node; answers 1824 on the first call, then 0.
long UuidCreate(UUID *pUuid);

// ---------------------------------------------------------------------------
// Message formatters (WinApiFormat.cpp)
// ---------------------------------------------------------------------------

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// printf-style formatter: the source is a printf format ("%1$u" for positions), the
// arguments a pointer to a variable argument list (null: none). With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, pszBuffer is really a char** receiving a malloc'd block.
// Answers the formatted length, 0 on failure.
DWORD FormatMessageA(DWORD dwFlags, const void *pSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR pszBuffer,
                     DWORD nSize, va_list *pArguments);

// Windows insert-style formatter (%1 .. %99, %1!fmt!, %n, %0, %%). With
// FORMAT_MESSAGE_ARGUMENT_ARRAY, pArguments points to an array of pointer-sized slots
// (cast it to va_list*); otherwise to a variable argument list. Answers the length delivered.
DWORD FormatMessageWin(DWORD dwFlags, const void *pSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR pszBuffer,
                       DWORD nSize, va_list *pArguments);

// ---------------------------------------------------------------------------
// Message box on the console (WinApiMessageBox.cpp)
// ---------------------------------------------------------------------------

typedef void *HWND;

#define MB_OK 0
#define MB_OKCANCEL 1
#define MB_ABORTRETRYIGNORE 2
#define MB_YESNOCANCEL 3
#define MB_YESNO 4
#define MB_RETRYCANCEL 5

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Prints the caption, the text and a prompt for the button set on standard error,
// reads one line from standard input and answers the button of its first non-blank
// character (a, c, i, n, r, y; anything else is IDOK). Any button set other than 0, 1,
// 3, 4 and 5 is taken as Abort, Retry and Ignore. At the end of standard input, or
// when it cannot be read, the answer is IDOK at once.
int MessageBox(HWND hWnd, const char *pszText, const char *pszCaption, UINT nButtons);
// The text is 16-bit units (UTF-16), printed in code page 1252 ('?' for the rest).
int MessageBoxW(HWND hWnd, const uint16_t *pszText, const char *pszCaption, UINT nButtons);
// The text is 16-bit units when bWide is set, else 8-bit.
int _MessageBox_NO_GUI(const void *pText, const char *pszCaption, UINT nButtons, int bWide);

// ---------------------------------------------------------------------------
// Threads (WinApiThread.cpp): POSIX threads under the Windows names
// ---------------------------------------------------------------------------

// Start routine of the thread calls: the POSIX shape.
typedef void *(*PFN_THREADSTART)(void *pArgument);

#define THREAD_PRIORITY_NORMAL 0
#define CREATE_SUSPENDED 0x00000004 // accepted and ignored: threads always start at once

// A detached thread; a stack size the system refuses (0 included) leaves the default.
// Answers the thread identifier, or (uintptr_t)-1 with errno set to the creation error.
uintptr_t _beginthread(PFN_THREADSTART pfnDebut, unsigned int nTaillePile, void *pArgument);
// A joinable thread (join it with pthread_join); the identifier also goes to
// *pIdentifiant when given. Answers the identifier, or 0 on failure.
uintptr_t _beginthreadex(void *pSecurite, unsigned int nTaillePile, PFN_THREADSTART pfnDebut, void *pArgument,
                         unsigned int nDrapeaux, pthread_t *pIdentifiant);
uintptr_t CreateThread(void *pSecurite, size_t nTaillePile, PFN_THREADSTART pfnDebut, void *pArgument,
                       DWORD nDrapeaux, pthread_t *pIdentifiant);
// pthread_setschedparam with the time-sharing policy; false with errno set on refusal
// (that policy takes only priority 0).
BOOL SetThreadPriority(uintptr_t hThread, int nPriorite);
