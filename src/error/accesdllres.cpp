// Message resources: the module's state, lookup in the built-in resource block,
// loading into a caller's buffer and the component command (see accesdllres.h).
#include "error/accesdllres.h"

#include <cstdlib>

#include "compression/DataCompressor.h"

uint16_t CResAnsi::m_tabOffset[DLLRES_NB_RECORDS];
int CResAnsi::m_bTabOffsetComplete = 0;

namespace {

bool s_bInitialise = false;

unsigned nIdentifiantRecord(const unsigned char* record)
{
    return (static_cast<unsigned>(record[0]) - 1) * 255 + (static_cast<unsigned>(record[1]) - 1);
}

int nCompareRecord(const void* pKey, const void* pOffset)
{
    unsigned key = *static_cast<const unsigned*>(pKey);
    const unsigned char* record =
        reinterpret_cast<const unsigned char*>(_pszBufferRes) + *static_cast<const uint16_t*>(pOffset);
    return static_cast<int>(key) - static_cast<int>(nIdentifiantRecord(record));
}

} // namespace

namespace {

// Builds the offset table; runs once (a function-local static), so threads that
// meet the table first never see it half built.
bool bConstruitOffsets()
{
    CResAnsi::m_tabOffset[0] = 0;
    for (int i = 1; i < DLLRES_NB_RECORDS; ++i)
        CResAnsi::m_tabOffset[i] = static_cast<uint16_t>(CResAnsi::m_tabOffset[i - 1] + _tabTailleChaineRes[i] + 3);
    __atomic_store_n(&CResAnsi::m_bTabOffsetComplete, 1, __ATOMIC_RELEASE);
    return true;
}

} // namespace

const char* CResAnsi::s_pszTrouveTexte(unsigned int id)
{
    if (!__atomic_load_n(&m_bTabOffsetComplete, __ATOMIC_ACQUIRE)) {
        static const bool s_bConstruit = bConstruitOffsets();
        (void)s_bConstruit;
    }
    unsigned key = id & 0xFFFF;
    const void* trouve = bsearch(&key, m_tabOffset, DLLRES_NB_RECORDS, sizeof(uint16_t), nCompareRecord);
    if (trouve == nullptr)
        return nullptr;
    // The two sentinels hold the markers, not packed texts.
    const uint16_t* pOffset = static_cast<const uint16_t*>(trouve);
    if (pOffset == &m_tabOffset[0] || pOffset == &m_tabOffset[DLLRES_NB_RECORDS - 1])
        return nullptr;
    return _pszBufferRes + *pOffset + 2;
}

bool DLLRES_bInit(HINSTANCE, int)
{
    s_bInitialise = true;
    return true;
}

void DLLRES_Term()
{
    s_bInitialise = false;
}

bool DLLRES_bEstInitialise()
{
    return s_bInitialise;
}

bool DLLRES_bUtiliseDLLRes()
{
    return false;
}

HINSTANCE ghGetRessourceHandle()
{
    return nullptr;
}

void DLLRES_SetFichierTQM(const char*)
{
}

int nEmule_LoadStringA(HINSTANCE, unsigned int, char*, int)
{
    return 0;
}

int DLLRES_nLoadString(unsigned int id, char* pszBuffer, int nSize)
{
    if (pszBuffer == nullptr || nSize <= 0)
        return 0;
    const char* packe = CResAnsi::s_pszTrouveTexte(id);
    if (packe == nullptr)
        return 0;
    int n = nSize;
    switch (CDataCompressor::s_nDeCompress(pszBuffer, &n, packe)) {
    case 0:
        return n;
    case 2:
        return nSize - 1;
    default:
        return 0;
    }
}

extern "C" void CommandeComposante(int nCommande, _stCOMMANDECOMPOSANTE* pstRecord)
{
    if (nCommande != COMMANDECOMPOSANTE_LOADSTRING || pstRecord == nullptr)
        return;
    pstRecord->nResultat = DLLRES_nLoadString(pstRecord->nIdentifiant, pstRecord->pszBuffer, pstRecord->nTaille);
}
