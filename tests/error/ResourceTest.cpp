// Message resources: the block built into the executables, lookup, loading,
// singular and plural, formatting and the component command.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "error/accesdllres.h"
#include "strings/Tstring.h"
#include "support/TestSupport.h"

namespace {

// The message texts as the repository keeps them, converted like the build does.
std::map<unsigned, std::string> TextesSource()
{
    std::map<unsigned, std::string> textes;
    std::ifstream in(tqtest::sSource("src/error/messages.txt"));
    std::string ligne;
    iconv_t cd = iconv_open("CP1252", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    while (std::getline(in, ligne)) {
        if (ligne.empty() || ligne[0] == '#')
            continue;
        size_t p = ligne.find_first_of(" \t");
        unsigned id = static_cast<unsigned>(std::stoul(ligne.substr(0, p)));
        std::string utf8 = ligne.substr(ligne.find_first_not_of(" \t", p));
        std::string cp(utf8.size() + 1, '\0');
        char* src = &utf8[0];
        char* dst = &cp[0];
        size_t nIn = utf8.size(), nOut = cp.size();
        EXPECT_NE(iconv(cd, &src, &nIn, &dst, &nOut), static_cast<size_t>(-1)) << id;
        cp.resize(cp.size() - nOut);
        std::string texte;
        for (size_t i = 0; i < cp.size(); ++i) {
            if (cp[i] != '\\' || i + 1 == cp.size()) {
                texte += cp[i];
                continue;
            }
            char e = cp[++i];
            if (e == 'r')
                texte += '\r';
            else if (e == 'n')
                texte += '\n';
            else if (e == 't')
                texte += '\t';
            else if (e == 'x') {
                texte += static_cast<char>(std::stoi(cp.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else
                texte += e;
        }
        textes[id] = texte;
    }
    iconv_close(cd);
    return textes;
}

std::string Charge(unsigned id)
{
    CTString cl;
    return DLLRES_bLoadString(id, &cl) ? std::string(cl.pszGet()) : std::string("<absent>");
}

} // namespace

TEST(Resources, EveryTextOfTheRepositoryIsInTheBlock)
{
    std::map<unsigned, std::string> textes = TextesSource();
    ASSERT_EQ(textes.size(), 41u);
    for (const auto& e : textes)
        EXPECT_EQ(Charge(e.first), e.second) << "text " << e.first;
    // The identifiers other parts of the system rely on.
    for (unsigned id : {5689u, 25304u, 25305u, 25306u, 25311u})
        EXPECT_EQ(textes.count(id), 1u) << id;
    for (unsigned id = 28842; id <= 28865; ++id)
        EXPECT_EQ(textes.count(id), 1u) << id;
    // Sizes and offsets agree with the records laid end to end.
    unsigned nOffset = 0;
    for (int i = 1; i < DLLRES_NB_RECORDS; ++i) {
        nOffset += _tabTailleChaineRes[i] + 3u;
        EXPECT_EQ(_pszBufferRes[nOffset - 1], '\0');
    }
    EXPECT_EQ(std::string(_pszBufferRes + 2), "TORQEN RES BLOC START");
    EXPECT_EQ(std::string(_pszBufferRes + nOffset + 2), "TORQEN RES BLOC STOP");
    EXPECT_EQ(static_cast<unsigned char>(_pszBufferRes[nOffset]), 0xFF);
    EXPECT_EQ(CResAnsi::m_bTabOffsetComplete, 1);
    EXPECT_EQ(CResAnsi::m_tabOffset[DLLRES_NB_RECORDS - 1], nOffset);
}

TEST(Resources, AbsentInBetweenAndSentinelIdentifiersAreNotFound)
{
    EXPECT_NE(Charge(28842), "<absent>");
    EXPECT_NE(Charge(28843), "<absent>");
    // Between two stored identifiers, below the first, above the last, the markers.
    for (unsigned id : {1u, 5688u, 5690u, 28000u, 28866u, 29999u, 30012u, 65023u, 0u, 65024u}) {
        CTString cl("inchang\xE9");
        EXPECT_FALSE(DLLRES_bLoadString(id, &cl)) << id;
        EXPECT_STREQ(cl.pszGet(), "inchang\xE9");
        char buf[16] = "x";
        EXPECT_EQ(DLLRES_nLoadString(id, buf, sizeof buf), 0) << id;
    }
    // Only the low 16 bits of an identifier count.
    EXPECT_EQ(Charge(0x10000u + 28847u), Charge(28847));
}

TEST(Resources, LoadStringIntoABufferTruncates)
{
    const std::string texte = Charge(30010); // "Données compressées invalides."
    ASSERT_GT(texte.size(), 10u);
    char buf[64];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(DLLRES_nLoadString(30010, buf, sizeof buf), static_cast<int>(texte.size()));
    EXPECT_EQ(std::string(buf), texte);
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(DLLRES_nLoadString(30010, buf, 4), 3);
    EXPECT_EQ(std::string(buf, 4), texte.substr(0, 3) + '\0');
    EXPECT_EQ(buf[4], '#');
    const int nExact = static_cast<int>(texte.size()) + 1;
    EXPECT_EQ(DLLRES_nLoadString(30010, buf, nExact), nExact - 1);
    EXPECT_EQ(DLLRES_nLoadString(30010, buf, nExact - 1), nExact - 2);
    EXPECT_EQ(DLLRES_nLoadString(30010, buf, 0), 0);
    EXPECT_EQ(DLLRES_nLoadString(30010, nullptr, 10), 0);
}

TEST(Resources, SingularAndPluralHalves)
{
    CTString cl;
    EXPECT_TRUE(__bLoadStringSingulierPluriel(0, 30005, cl));
    EXPECT_STREQ(cl.pszGet(), "Une erreur est survenue");
    EXPECT_TRUE(__bLoadStringSingulierPluriel(1, 30005, cl));
    EXPECT_STREQ(cl.pszGet(), "%1$u erreurs sont survenues");
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(1, 30005, &cl, 3u));
    EXPECT_STREQ(cl.pszGet(), "3 erreurs sont survenues");
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(0, 30005, &cl, 1u));
    EXPECT_STREQ(cl.pszGet(), "Une erreur est survenue");
    // Without separator the whole text, whatever the number.
    EXPECT_TRUE(__bLoadStringSingulierPluriel(1, 30010, cl));
    EXPECT_EQ(std::string(cl.pszGet()), Charge(30010));
    EXPECT_FALSE(__bLoadStringSingulierPluriel(1, 30012, cl));
    EXPECT_STREQ(pszSeparateurSingulierPluriel, "\n\xA7\n");
}

TEST(Resources, FormattingByPosition)
{
    CTString cl;
    EXPECT_TRUE(DLLRES_bFormatMessage(28842, &cl, "m.so", "1.2"));
    EXPECT_STREQ(cl.pszGet(), "Module : m.so, version 1.2\r\n");
    EXPECT_TRUE(DLLRES_bFormatMessage(30004, &cl, "-x", 7u));
    EXPECT_STREQ(cl.pszGet(), "Param\xE8tre <-x> invalide \xE0 la position 7.");
    // An argument holding a percent sign is text, not format.
    EXPECT_TRUE(DLLRES_bFormatMessage(25305, &cl, "a%sb%n"));
    EXPECT_STREQ(cl.pszGet(), "Utilisateur <a%sb%n> inconnu : le service ne peut pas prendre son identit\xE9.");
    cl.Set("inchang\xE9");
    EXPECT_FALSE(DLLRES_bFormatMessage(30012, &cl, 1u));
    EXPECT_STREQ(cl.pszGet(), "inchang\xE9");

    char* psz = reinterpret_cast<char*>(1);
    EXPECT_EQ(DLLRES_nFormatMessage(28851, &psz, 42u), 20);
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, "Code d'erreur : 42\r\n");
    free(psz);
    EXPECT_EQ(DLLRES_nFormatMessage(12345, &psz), 0);
    EXPECT_EQ(psz, nullptr);

    EXPECT_EQ(DLLRES_dwFormatMessage("%1$s-%2$u", &cl, nullptr), 9u); // no arguments: kept as written
    EXPECT_STREQ(cl.pszGet(), "%1$s-%2$u");
    EXPECT_EQ(DLLRES_dwFormatMessage("100%% s\xFBr", &psz, nullptr), 8u);
    EXPECT_STREQ(psz, "100% s\xFBr");
    free(psz);
}

TEST(Resources, ModuleFunctionsAndComponentCommand)
{
    EXPECT_TRUE(DLLRES_bInit(nullptr, 0));
    EXPECT_TRUE(DLLRES_bEstInitialise());
    EXPECT_FALSE(DLLRES_bUtiliseDLLRes());
    EXPECT_EQ(ghGetRessourceHandle(), nullptr);
    DLLRES_SetFichierTQM("/tmp/x.tqm");
    char buf[8] = "abc";
    EXPECT_EQ(nEmule_LoadStringA(nullptr, 28842, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "abc");
    DLLRES_Term();
    EXPECT_FALSE(DLLRES_bEstInitialise());

    char tampon[64];
    _stCOMMANDECOMPOSANTE st = {0xDEADBEEF, 30011, tampon, sizeof tampon, -7};
    CommandeComposante(3, &st);
    EXPECT_EQ(st.nResultat, static_cast<int>(Charge(30011).size()));
    EXPECT_EQ(std::string(tampon), Charge(30011));
    st.nTaille = 5;
    CommandeComposante(3, &st);
    EXPECT_EQ(st.nResultat, 4);
    st.nIdentifiant = 4;
    CommandeComposante(3, &st);
    EXPECT_EQ(st.nResultat, 0);
    // Any other command leaves the record untouched.
    _stCOMMANDECOMPOSANTE avant = {1, 30011, tampon, 64, 99};
    for (int nCmd : {0, 2, 4, -1}) {
        st = avant;
        CommandeComposante(nCmd, &st);
        EXPECT_EQ(memcmp(&st, &avant, sizeof st), 0) << nCmd;
    }
}

TEST(Resources, MarkersAreInTheExecutableButTheCommandIsNotExported)
{
    std::string exe = tqtest::sLitFichier(tqtest::sBin("tqexe"));
    ASSERT_FALSE(exe.empty());
    size_t nDebut = exe.find("TORQEN RES BLOC START");
    size_t nFin = exe.find("TORQEN RES BLOC STOP");
    ASSERT_NE(nDebut, std::string::npos);
    ASSERT_NE(nFin, std::string::npos);
    EXPECT_LT(nDebut, nFin);
    EXPECT_EQ(exe.substr(nDebut - 2, 2), "\x01\x01");
    EXPECT_EQ(exe.substr(nFin - 2, 2), "\xFF\xFF");
    // The block in the file is the one the library reads.
    Charge(28842);
    std::string bloc(_pszBufferRes, static_cast<size_t>(CResAnsi::m_tabOffset[DLLRES_NB_RECORDS - 1]) + 23);
    EXPECT_EQ(exe.substr(nDebut - 2, bloc.size()), bloc);

    tqtest::stRESULTATPROCESSUS r = tqtest::Execute({"/bin/sh", "-c", "nm -D --defined-only '" + tqtest::sBin("tqexe") + "'"});
    ASSERT_EQ(r.nStatut, 0) << r.sErreur;
    EXPECT_EQ(r.sSortie.find("CommandeComposante"), std::string::npos);
    r = tqtest::Execute({"/bin/sh", "-c", "nm '" + tqtest::sBin("tqexe") + "' | grep -w CommandeComposante"});
    EXPECT_EQ(r.nStatut, 0) << "the function keeps its plain name in the executable";
}
