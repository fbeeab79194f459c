// CXError: the one error object of the system. A failing operation fills the
// CXError its caller supplies (or raises one to the runtime through the
// launcher's error callback); StringDump renders it as a text report.
#pragma once

#include <cstdint>
#include <cwchar>

#include "containers/Tableau.h"
#include "files/TQUnknown.h"

class CTString;

class CXError : public CTQUnknown {
public:
    enum eERRORLEVEL : uint32_t {
        EL_AUCUNE = 1, // no error; setting it resets the object
        EL_AVERTISSEMENT = 2,
        EL_ERREUR = 3, // defined and undefined user errors
        EL_FATALE_1 = 0x10001,
        EL_FATALE_2 = 0x10002,
        EL_FATALE_3 = 0x10003,
        EL_FATALE_4 = 0x10004,
        EL_FATALE_SYSTEME = 0x20001,
        EL_ERREUR_4 = 0x40000004,
        EL_ERREUR_8 = 0x40000008,
    };

    enum eERRORINFOTYPE : uint32_t {
        EIT_NONE = 0,
        EIT_SRCFILE = 1,
        EIT_DSTFILE = 2,
        EIT_USERNAME = 3,
        EIT_HELPFILE = 4,
        EIT_PATHTQD = 5,
        EIT_LOGICALTABLENAME = 6,
        EIT_ITEMNAME = 7,
        EIT_PATHFIC = 8,
        EIT_PATHNDX = 9,
        EIT_PATHMMO = 10,
        EIT_LINKNAME = 11,
        EIT_RECNUM = 12, // 64-bit integer
        EIT_ODBCCODE = 13,
        EIT_ODBCDESCRIPTION = 14,
        EIT_BASECODE = 15, // 32-bit integer
        EIT_NATIVECODE = 16, // 32-bit integer
        EIT_ADOCODE = 17, // 32-bit integer
        EIT_BASEMESSAGE = 18,
        EIT_NATIVEMESSAGE = 19,
        EIT_ADOMESSAGE = 20,
        EIT_DATAACCESS = 21, // CTQUnknown*, the item holds one reference
        EIT_INFOCLIENT = 22,
        EIT_INFOSERVEUR = 23,
        EIT_PILEQS = 24,
        EIT_DATEHEURE = 25,
        EIT_LOCKINFO = 26,
        EIT_CORRIGE_ETAT = 27,
        EIT_INFOCS = 28,
        EIT_POINTEUR = 29, // pointer kept as is, not owned, never printed
        EIT_XINFO = 30, // 32-bit flag set
        EIT_COMPOSANT = 31,
        EIT_SERVEURCS = 32,
        EIT_PILEC = 33,
        EIT_SRCFILEUNICODE = 34, // wide string
        EIT_DSTFILEUNICODE = 35, // wide string
        EIT_DERNIER = 35,
    };

    // Sections of the report (StringDump).
    enum eXERROR_INFO : uint32_t {
        XEI_MODULE = 0x00000001,
        XEI_CONTEXTE = 0x00000002,
        XEI_NIVEAU = 0x00000004,
        XEI_CODE = 0x00000008,
        XEI_CODE55 = 0x00000010,
        XEI_CODESYSTEME = 0x00000020,
        XEI_MESSAGESYSTEME = 0x00000040,
        XEI_MESSAGE = 0x00000080,
        XEI_DEBUG = 0x00000100,
        XEI_INFOS = 0x00000200,
        XEI_DETAIL = 0x00000400,
        XEI_SOUSERREURS = 0x00000800,
        XEI_TOUT = 0x00000FFF,
        XEI_SANS_LIBELLE_MESSAGE = 0x40000000, // no label line above the user message
        XEI_SANS_ABSENTS = 0x80000000, // no lines for absent values
    };

    // One information item: value is an inline integer or a pointer; extra holds
    // the high half of a 64-bit value. 12 bytes in the 32-bit tree.
    struct _stERRORINFO {
        eERRORINFOTYPE eType;
        uintptr_t dwValeur;
        uint32_t dwExtra;
    };

    // Construction and destruction
    CXError();
    CXError(unsigned int nCode, ...);
    CXError(unsigned int nCode, char** args);
    CXError(const char* pszDebug, unsigned int nCode, ...);
    CXError(const char* pszDebug, unsigned int nCode, char** args);
    CXError(const CXError& clSource);
    CXError(CXError* pclSource, int bLight);
    CXError(CXError& clSource, int bLight);
    CXError& operator=(const CXError&) = delete; // use Copy or LightCopy
    ~CXError() override;

    // Resetting
    void RAZ();
    void __RAZALL();
    void RAZUserMessage();
    void SetErrorLevel(eERRORLEVEL eLevel);
    eERRORLEVEL eGetErrorLevel() const { return m_eErrorLevel; }

    // Module and context
    void InitModInfo(int bForce);
    void InitModName(const char* pszName);
    void InitModVersion(const char* pszVersion);
    const char* pszGetModName() const;
    const char* pszGetModVersion() const;
    const char* pszGetInternalModName() const;
    void SetVMContext(const char* pszCaption, const char* pszObjectName, unsigned short wLine, unsigned short wThread);
    const char* pszGetTraitmentCaption() const;
    const char* pszGetObjectName() const;
    unsigned short wGetTraitmentLine() const { return m_wTraitmentLine; }
    unsigned short wGetTraitmentThread() const { return m_wTraitmentThread; }
    void SetFunctionName(const char* pszName, unsigned char nSyntax);
    const char* pszGetFunctionName() const;
    int nGetFunctionSyntax() const { return m_nFunctionSyntax; }
    void SetDetailId(unsigned int nDetail) { m_nDetailId = nDetail; }
    unsigned int nGetDetailId() const { return m_nDetailId; }

    // Codes
    void SetUserErrorCode(unsigned int nCode) { m_nUserErrorCode = nCode; }
    unsigned int nGetUserErrorCode() const { return m_nUserErrorCode; }
    void SetUserErrorCode55(unsigned int nCode) { m_nUserErrorCode55 = nCode; }
    unsigned int nGetUserErrorCode55() const { return m_nUserErrorCode55; }
    void SetSystemError(unsigned int nCode);
    void SetSystemErrorForGetHostBy(unsigned int nCode);
    // With a code and a format; note that a call with a resource number and a
    // text argument selects this form.
    void SetSystemErrorMessage(unsigned int nCode, const char* pszFormat, ...);
    void SetSystemErrorMessage(const char* pszFormat, ...);
    void SetSystemErrorMessage(unsigned int nResourceId, ...);
    unsigned int dwGetSystemErrorCode() const { return m_dwSystemErrorCode; }
    const char* pszGetSystemErrorMessage() const;

    // User and debug messages (successive messages joined by "\r\n")
    void AddUserMessage(const char* pszMessage);
    void AddUserMessageNoFormat(const char* pszMessage);
    void AddUserMessage(unsigned int nResourceId, ...);
    void AddUserMessageList(unsigned int nResourceId, char** args);
    void AddUserMessageFirst(const char* pszMessage);
    void AddUserMessageFirst(unsigned int nResourceId, ...);
    void AddUserMessageListFirst(unsigned int nResourceId, char** args);
    void AddDebugMessage(const char* pszFormat, ...);
    void AddDebugMessageList(const char* pszFormat, char** args);
    void AddDebugMessageNoFormat(const char* pszMessage);
    void AddDebugMessage(unsigned int nResourceId, ...);
    void AddDebugMessageList(unsigned int nResourceId, char** args);
    void AddDebugMessageFirst(const char* pszMessage);
    const char* pszGetUserMessage() const;
    const char* pszGetDebugMessage() const;
    int nNumErrorId() const;
    unsigned int nGetErrorId(unsigned int nIndex) const;

    // Defined user errors (gstErrorDef)
    void SetUserError(unsigned int nCode, ...);
    void SetUserErrorList(unsigned int nCode, char** args);
    void ChangeUserError(unsigned int nCode, ...);
    void ChangeUserErrorList(unsigned int nCode, char** args);
    void SetUserErrorMessage(unsigned int nCode, const char* pszMessage);
    void ChangeUserErrorMessage(unsigned int nCode, const char* pszMessage);
    static unsigned int nGetRessourceIdFromUserErrorCode(unsigned int nCode);

    // Information items (at most one per type)
    int AddInfo(eERRORINFOTYPE eType, const void* pValue);
    void GetInfo(unsigned int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const;
    bool bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const;
    int nNumInfo() const;
    void DeleteInfo(eERRORINFOTYPE eType);
    bool __bGetXInfo(int nBits) const;
    void __SetXInfo(int nBits, int bSet);

    // Sub-errors
    void AddSubError(CXError* pclError);
    void AddSubErrorLight(CXError* pclError);
    void AddSubErrorLightNoUserMessage(CXError* pclError);
    int nGetNbSubError() const;
    CXError* pclGetSubError(int nIndex) const;
    void DeleteAllSubError();

    // Copying
    void Copy(const CXError& clSource);
    void Copy(const CXError* pclSource);
    void LightCopy(CXError* pclSource);

    // Report (mask: eXERROR_INFO bits)
    CTString StringDump(uint32_t nMask) const;
    void StringDump(CTString& clOut, uint32_t nMask) const;
    // Appends the line of one item; value as for AddInfo. Formats empty texts too.
    void DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut) const;
    void TraceDump() const;

    // String operations through which every owned member is allocated.
    virtual char* __vpszAllocString(char** ppszDst, const char* psz);
    virtual char* __vpszReallocString(char** ppszDst, const char* psz);
    virtual char* __vpszReallocString(char** ppszDst, unsigned int nLen);
    virtual char* __vpszConcatString(char** ppszDst, const char* psz);
    virtual void __vDeleteString(char** ppszDst);
    virtual void __AddSubError(CXError* pclError, int bLight, int bNoUserMessage);
    virtual void __DeleteAllSubError();
    virtual wchar_t* __vpszAllocStringW(wchar_t** ppwszDst, const wchar_t* pwsz);
    virtual void __vDeleteStringW(wchar_t** ppwszDst);

private:
    void _Init();
    void _FreeInfo(_stERRORINFO& stInfo);
    int _nFindInfo(eERRORINFOTYPE eType) const;
    bool _bSetInfoValue(_stERRORINFO& stInfo, eERRORINFOTYPE eType, const void* pValue);
    void _AppendMessage(char** ppsz, const char* pszTexte);
    void _PrependMessage(char** ppsz, const char* pszTexte);
    void _AddResourceMessage(unsigned int nResourceId, char** args, bool bFirst);
    void _ChangeUserError(unsigned int nCode, const char* pszMessage, char** args);
    // Formats a message resource, adding the fallback debug lines on failure.
    bool _bFormatResource(unsigned int nResourceId, char** args, CTString& clOut, char** ppszFallbackTarget);
    void _TakeInfos(CXError* pclSource, bool bMove);
    // True when pclError is this object or one of its sub-errors, at any depth.
    bool _bContient(const CXError* pclError) const;
    void _DumpItem(const _stERRORINFO& stInfo, CTString& clOut, bool bEmptyText) const;

    eERRORLEVEL m_eErrorLevel;
    uint32_t m_nUserErrorCode;
    char* m_pszUserMessage;
    char* m_pszDebugMessage;
    char* m_pszFunctionName;
    char* m_pszModName;
    char* m_pszModVersion;
    uint8_t m_nFunctionSyntax;
    uint32_t m_nDetailId;
    CTTableau<unsigned int> m_tabErrorId;
    CTTableau<_stERRORINFO> m_tabInfo;
    uint32_t m_dwSystemErrorCode;
    char* m_pszSystemErrorMessage;
    char* m_pszTraitmentCaption;
    uint16_t m_wTraitmentLine;
    uint16_t m_wTraitmentThread;
    CTTableau<CXError*>* m_ptabSubError;
    char* m_pszObjectName;
    char* m_pszInternalModName;
    uint32_t m_nUserErrorCode55;
};

static_assert(sizeof(CXError::_stERRORINFO) == 12 || sizeof(void*) != 4, "an information item is 12 bytes");
static_assert(sizeof(CXError::eERRORLEVEL) == 4 && sizeof(CXError::eERRORINFOTYPE) == 4, "32-bit enumerations");

// Error definition table: user error code, message resource, detail, level.
struct _stERRORDEF {
    uint32_t nCode;
    uint32_t nRessourceId;
    uint32_t nDetailId;
    uint32_t nLevel;
};
extern const _stERRORDEF gstErrorDef[3];

// Module information of this executable.
extern const char* const gszXErrorModName;    // "TQExe.exe"
extern const char* const gszXErrorModVersion; // "15.00Ab"
