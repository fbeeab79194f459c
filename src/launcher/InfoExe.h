// The executable information block: what distinguishes one application's launcher
// from another's. The values live in the executable's initialised data, each in a
// section of its own so that the packaging tool finds them in the file image and
// rewrites them; the launcher only reads them.
#pragma once

#include <cstddef>
#include <cstdint>

// Names of the sections that hold the block, the data directory and the version
// markers. They are plain identifiers so that sanitizer builds leave the objects
// exactly as large as declared.
#define TQ_SECTION_INFOEXE "tqinfoexe"
#define TQ_SECTION_FILEPATH "tqfilepath"
#define TQ_SECTION_VERSION "tqversion"

#pragma pack(push, 1)
struct _stINFOEXE {
    uint8_t abReserve0[8];      // not read by the launcher
    char szNomVM[522];          // engine library file name, no directory
    char szNomTQL[261];         // application library; "default.tql" or empty: own base name + ".TQL"
    int64_t oOffsetTQL;         // byte offset handed with the application library name
    uint8_t abReserve1[12];     // not read by the launcher
    int32_t nOuvertureDirecte;  // non-zero: the search skips its stages 2 to 4
    uint8_t abReserve2[16];     // not read by the launcher
    int32_t nReserve831;        // not read by the launcher; built-in 1
    char szNomProjet[281];      // project name handed to the run and service entries
    int32_t nReserve1116;       // not read by the launcher; built-in -1
    int32_t nFrameworkCommun;   // non-zero: the search tries the common directory
    uint8_t abReserve3[1102];   // not read by the launcher
    int32_t nVersionActive;     // active version handed to the engine
    uint8_t abReserve4[4];      // not read by the launcher
};
#pragma pack(pop)

static_assert(sizeof(_stINFOEXE) == 2234, "the information block is 2234 bytes");
static_assert(offsetof(_stINFOEXE, abReserve0) == 0, "block layout");
static_assert(offsetof(_stINFOEXE, szNomVM) == 8, "block layout");
static_assert(offsetof(_stINFOEXE, szNomTQL) == 530, "block layout");
static_assert(offsetof(_stINFOEXE, oOffsetTQL) == 791, "block layout");
static_assert(offsetof(_stINFOEXE, abReserve1) == 799, "block layout");
static_assert(offsetof(_stINFOEXE, nOuvertureDirecte) == 811, "block layout");
static_assert(offsetof(_stINFOEXE, abReserve2) == 815, "block layout");
static_assert(offsetof(_stINFOEXE, nReserve831) == 831, "block layout");
static_assert(offsetof(_stINFOEXE, szNomProjet) == 835, "block layout");
static_assert(offsetof(_stINFOEXE, nReserve1116) == 1116, "block layout");
static_assert(offsetof(_stINFOEXE, nFrameworkCommun) == 1120, "block layout");
static_assert(offsetof(_stINFOEXE, abReserve3) == 1124, "block layout");
static_assert(offsetof(_stINFOEXE, nVersionActive) == 2226, "block layout");
static_assert(offsetof(_stINFOEXE, abReserve4) == 2230, "block layout");

// Description record that precedes a compressed component block carried in the
// executable file; the compressed data follows it directly.
#pragma pack(push, 1)
struct _stINFODLL {
    uint8_t abReserve[522];      // not read by the launcher
    uint32_t dwTailleCompressee; // size of the compressed data that follows
};
#pragma pack(pop)
static_assert(sizeof(_stINFODLL) == 526, "the component block record is 526 bytes");
static_assert(offsetof(_stINFODLL, dwTailleCompressee) == 522, "component block record layout");

// Size of the data files directory field.
#define TQ_TAILLE_FILEPATH 261

// Built-in values that every launcher carries in the bytes the packaging tool leaves
// alone; together with the section sizes they are the block's signature.
#define TQ_INFOEXE_RESERVE831 1
#define TQ_INFOEXE_RESERVE1116 (-1)
#define TQ_INFOEXE_NOMVM_DEFAUT "tq150vm.so"
#define TQ_INFOEXE_NOMTQL_DEFAUT "default.tql"
#define TQ_INFOEXE_PROJET_DEFAUT "default.tqp"
#define TQ_FILEPATH_MARQUEUR "**** Rep. Fichiers ****"
#define TQ_VERSION_PR "VersionPR: 15.00Ab"
#define TQ_VERSION_VI "VersionVI: 01F150063j"

// Built into the executable; read at run time only (never folded into the code).
// Each object sits alone in its section (the version markers share theirs).
extern _stINFOEXE gstInfoExe __attribute__((section(TQ_SECTION_INFOEXE)));
extern char gszFilePath[TQ_TAILLE_FILEPATH] __attribute__((section(TQ_SECTION_FILEPATH)));
extern const char gszVersionPR[] __attribute__((section(TQ_SECTION_VERSION)));
extern const char gszVersionVI[] __attribute__((section(TQ_SECTION_VERSION)));

// A text field that fills its whole size without a terminating zero comes from a
// faulty tool: it is cut at its last byte so that no reader runs past the field.
// Applies to the three text fields of a block copy.
void InfoExe_BorneChamps(_stINFOEXE *pstInfo);
// Copies the built-in block, its text fields bounded as above.
void InfoExe_Copie(_stINFOEXE *pstOut);
// Copies the built-in data files directory into a buffer of TQ_TAILLE_FILEPATH bytes,
// bounded the same way.
void InfoExe_CopieFilePath(char *pszOut);
// Length of a text field bounded by the field's size.
size_t InfoExe_nLongueurChamp(const char *pszChamp, size_t nTailleChamp);
