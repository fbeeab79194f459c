// Blocks carried in the executable file: reading one, and unpacking a
// compressed component block behind its description record.
#include <sys/stat.h>

#include "compression/Compresseur.h"
#include "containers/SimpleBuffer.h"
#include "files/XFile.h"
#include "launcher/BlocPorte.h"
#include "launcher/TQExe.h"

bool BlocPorte_bLit(const char *pszFichier, long long oOffset, unsigned int nTaille, void *pBuffer)
{
    // A negative offset makes the seek fail, and the read would then take
    // the bytes at the start of the file.
    if (oOffset < 0 || (nTaille && !pBuffer))
        return false;
    CXFile clFichier;
    if (!pszFichier || !clFichier.bOpen(pszFichier, XACCESS_READ, XSHARE_NONE, XCREATE_EXISTING, XFLAG_NONE))
        return false;
    clFichier.bSeek(oOffset, XSEEK_BEGIN);
    if (!clFichier.bRead(pBuffer, nTaille))
        return false;
    clFichier.Close();
    return true;
}

bool BlocPorte_bDecompresse(const char *pszFichier, long long oOffset, const _stINFODLL &stInfo,
                            CSimpleBuffer *pclSortie, unsigned int *pnTailleSortie)
{
    if (!pszFichier || !pclSortie || oOffset < 0)
        return false;
    const uint32_t dwTaille = stInfo.dwTailleCompressee;
    // The record's size is not trusted with an allocation: the block must
    // lie inside the file.
    struct stat st;
    if (stat(pszFichier, &st) != 0 ||
        static_cast<unsigned long long>(oOffset) + sizeof(_stINFODLL) + dwTaille >
            static_cast<unsigned long long>(st.st_size))
        return false;

    CSimpleBuffer clTravail;
    clTravail.SetSize(dwTaille);
    if (clTravail.dwGetSize() != dwTaille ||
        !BlocPorte_bLit(pszFichier, oOffset + static_cast<long long>(sizeof(_stINFODLL)), dwTaille,
                        clTravail.pGetBuffer()))
        return false;

    // Neither is the decoded size the header announces: refuse one that
    // the payload cannot possibly decode to (unknown methods and method 2
    // decode to nothing here).
    unsigned char byMethode;
    uint64_t qwTailleBloc;
    uint32_t dwDecode;
    if (!CCompresseurBase::s_bLitEntete(clTravail.pGetBuffer(), dwTaille, byMethode, qwTailleBloc, dwDecode))
        return false;
    uint64_t qwMax = 0;
    if (byMethode == CCompresseurBase::eCOMPRESSEUR_COPIE)
        qwMax = dwTaille - CCompresseurBase::TAILLE_ENTETE_COPIE;
    else if (byMethode == CCompresseurBase::eCOMPRESSEUR_ZLW && qwTailleBloc <= dwTaille)
        qwMax = CZLWCompresseur::s_qwTailleDecodeeMax(qwTailleBloc - CCompresseurBase::TAILLE_ENTETE_CODE);
    if (dwDecode > qwMax)
        return false;

    CCompresseur clCompresseur(CCompresseurBase::eCOMPRESSEUR_ZLW);
    clCompresseur.m_pbyEntree = clTravail.pGetBuffer();
    clCompresseur.m_dwTailleEntree = dwTaille;
    pclSortie->SetSize(clCompresseur.pGetCompresseur()->dwTailleDecompression(clTravail.pGetBuffer(), dwTaille));
    if (pclSortie->dwGetSize() != dwDecode)
        return false;
    clCompresseur.m_pbySortie = pclSortie->pGetBuffer();
    clCompresseur.m_dwTailleSortie = pclSortie->dwGetSize();
    uint32_t dwProduit = clCompresseur.dwDecompression(static_cast<CCompresseurBase::eCOMPRESSEURTYPE>(-1));
    if (pnTailleSortie)
        *pnTailleSortie = dwProduit;
    return true;
}

bool CTQExe::bChargeBlock(long long oOffset, unsigned int nTaille, void *pBuffer) const
{
    return BlocPorte_bLit(m_clNomModule.pszGet(), oOffset, nTaille, pBuffer);
}

bool CTQExe::__bDecompresseDLL(long long oOffset, const _stINFODLL &stInfo, CSimpleBuffer *pclSortie,
                               unsigned int *pnTailleSortie) const
{
    return BlocPorte_bDecompresse(m_clNomModule.pszGet(), oOffset, stInfo, pclSortie, pnTailleSortie);
}
