// The containers of a Debian package, written without outside libraries so that
// both trees build them alike: ar, ustar tar, xz, and the MD5 of md5sums.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> tOCTETS;

uint32_t dwCrc32(const uint8_t *p, size_t n, uint32_t dwCrc = 0);
uint64_t qwCrc64(const uint8_t *p, size_t n, uint64_t qwCrc = 0);
// Lower-case hexadecimal MD5 of the bytes.
std::string sMd5Hex(const uint8_t *p, size_t n);

// An .xz stream of one block whose LZMA2 chunks are all stored (no compression).
tOCTETS tabXzStocke(const tOCTETS &tabDonnees);

// A ustar archive in the order entries are added, every entry owned by root:root
// and dated qwDate. Names longer than the format holds are refused by the caller
// (bNomTarValide).
class CTarUstar {
public:
    explicit CTarUstar(uint64_t qwDate) : m_qwDate(qwDate) {}
    void Repertoire(const std::string &sNom, unsigned nMode);
    void Fichier(const std::string &sNom, unsigned nMode, const tOCTETS &tab);
    void Lien(const std::string &sNom, const std::string &sCible);
    // The archive with its two closing zero records.
    tOCTETS tabTermine() const;

private:
    void Entete(const std::string &sNom, char cType, unsigned nMode, uint64_t nTaille, const std::string &sLien);
    uint64_t m_qwDate;
    tOCTETS m_tab;
};
// Whether a name fits a ustar header (name field, or prefix and name split at a slash).
bool bNomTarValide(const std::string &sNom);

struct stMEMBREAR {
    std::string sNom; // at most 16 bytes
    tOCTETS tab;
};
// A common-format ar archive, members dated qwDate, mode 0644, uid and gid 0.
tOCTETS tabArchiveAr(const std::vector<stMEMBREAR> &tabMembres, uint64_t qwDate);

// A gzip member of stored deflate blocks, no name, date 0: reproducible like the
// .xz streams, for the changelog Debian's tools expect compressed.
tOCTETS tabGzipStocke(const tOCTETS &tabDonnees);
