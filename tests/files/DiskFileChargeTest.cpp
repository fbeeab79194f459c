// Loading a whole file into a dynamic binary value.
#include "files/DiskFile.h"
#include "strings/qsdstr.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace tqtest;

namespace {

std::string sContenu(const CQSBINBase &cl)
{
    return std::string(reinterpret_cast<const char *>(cl.pGet()), cl.nGetSize());
}

} // namespace

TEST(DiskFileCharge, WholeFileIncludingZerosAndEmptyFiles)
{
    CTempDir dir;
    std::string sGros(70000, '\0');
    for (size_t i = 0; i < sGros.size(); ++i)
        sGros[i] = static_cast<char>(i * 7 + (i >> 8));
    struct {
        const char *pszNom;
        std::string sTexte;
    } tabCas[] = {{"vide", ""}, {"zeros", std::string("a\0b\0\0c", 6)}, {"gros", sGros}};
    for (const auto &cas : tabCas) {
        SCOPED_TRACE(cas.pszNom);
        ASSERT_TRUE(bEcritFichier(dir.sFichier(cas.pszNom), cas.sTexte));
        CQSBIN cl(reinterpret_cast<const unsigned char *>("ancien"), 6);
        ASSERT_TRUE(CDiskFile::bChargeFichier(cl, dir.sFichier(cas.pszNom).c_str()));
        EXPECT_EQ(sContenu(cl), cas.sTexte);
    }
}

TEST(DiskFileCharge, FailureLeavesTheValueAsItWas)
{
    CTempDir dir;
    CQSBIN cl(reinterpret_cast<const unsigned char *>("ancien"), 6);
    CQSBIN clCopie(cl); // shared block: a failed load must not touch it either
    errno = 0;
    EXPECT_FALSE(CDiskFile::bChargeFichier(cl, dir.sFichier("absent").c_str()));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(CDiskFile::bChargeFichier(cl, ""));
    EXPECT_FALSE(CDiskFile::bChargeFichier(cl, nullptr));
    EXPECT_EQ(sContenu(cl), "ancien");
    EXPECT_EQ(sContenu(clCopie), "ancien");
    // Backslashes are separators, as everywhere in the file layer.
    ASSERT_TRUE(bEcritFichier(dir.sFichier("f"), "xyz"));
    std::string sDos = dir.sChemin() + "\\f";
    EXPECT_TRUE(CDiskFile::bChargeFichier(cl, sDos.c_str()));
    EXPECT_EQ(sContenu(cl), "xyz");
}
