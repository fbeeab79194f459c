#include "EngineBlock.h"

#include <climits>
#include <unistd.h>

#include "compression/CompresseurBase.h"
#include "containers/SimpleBuffer.h"
#include "launcher/BlocPorte.h"

bool bChargeBlocPorte(int64_t oOffset, std::string *psTexte, std::string *psExecutable)
{
    char szExe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", szExe, sizeof(szExe) - 1);
    // The data follows the record: an offset whose record end passes the largest
    // file offset is no block (and the sum below must not overflow).
    if (n <= 0 || oOffset <= 0 || oOffset > INT64_MAX - static_cast<int64_t>(sizeof(_stINFODLL)))
        return false;
    szExe[n] = '\0';
    _stINFODLL stInfo;
    if (!BlocPorte_bLit(szExe, oOffset, sizeof(stInfo), &stInfo))
        return false;
    // The block must fill its record exactly: bytes that merely happen to
    // start like a block are not taken for one.
    unsigned char abEntete[CCompresseurBase::TAILLE_ENTETE_CODE] = {};
    unsigned char byMethode;
    uint64_t qwBloc;
    uint32_t dwDecode;
    unsigned nEntete = stInfo.dwTailleCompressee < sizeof(abEntete) ? stInfo.dwTailleCompressee : sizeof(abEntete);
    if (!BlocPorte_bLit(szExe, oOffset + static_cast<int64_t>(sizeof(stInfo)), nEntete, abEntete) ||
        !CCompresseurBase::s_bLitEntete(abEntete, nEntete, byMethode, qwBloc, dwDecode) ||
        qwBloc != stInfo.dwTailleCompressee)
        return false;
    CSimpleBuffer clTexte;
    unsigned int nTaille = 0;
    // The whole announced text must come out: anything less means the
    // offset does not point at a carried block.
    if (!BlocPorte_bDecompresse(szExe, oOffset, stInfo, &clTexte, &nTaille) || nTaille != clTexte.dwGetSize())
        return false;
    psTexte->assign(reinterpret_cast<const char *>(clTexte.pGetBuffer()), nTaille);
    *psExecutable = szExe;
    return true;
}
