// The text report of an error object, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "error/XError.h"
#include "strings/Tstring.h"

namespace {

const uint32_t TOUT_SANS_ABSENTS = 0x80000FFF;

std::string Dump(const CXError& e, uint32_t nMask)
{
    return e.StringDump(nMask).pszGet();
}

} // namespace

TEST(XErrorDump, EmptyErrorWithAndWithoutAbsentLines)
{
    CXError e;
    EXPECT_EQ(Dump(e, TOUT_SANS_ABSENTS), "Code d'erreur : 0\r\nNiveau : aucune erreur\r\n");
    EXPECT_EQ(Dump(e, 0x00000FFF),
              "Message d'erreur : aucun\r\n"
              "\r\n"
              "Code d'erreur : 0\r\n"
              "Niveau : aucune erreur\r\n"
              "Code d'erreur compl\xE9mentaire : 0\r\n"
              "\r\n"
              "Code d'erreur syst\xE8me : aucun\r\n"
              "Message syst\xE8me : aucun\r\n"
              "\r\n"
              "Module : inconnu\r\n"
              "Identifiant de d\xE9tail : aucun\r\n"
              "Message de d\xE9" "bogage : aucun\r\n"
              "Informations : aucune\r\n");
    EXPECT_EQ(Dump(e, 0x80000000), "");
    // The second form appends.
    CTString cl("avant|");
    e.StringDump(cl, CXError::XEI_CODE);
    EXPECT_STREQ(cl.pszGet(), "avant|Code d'erreur : 0\r\n");
    e.TraceDump();
}

TEST(XErrorDump, UserMessageCodeAndLevel)
{
    CXError e;
    e.AddUserMessage("x");
    e.SetUserErrorCode(5);
    EXPECT_EQ(Dump(e, TOUT_SANS_ABSENTS), "Message d'erreur :\r\nx\r\n\r\nCode d'erreur : 5\r\nNiveau : aucune erreur\r\n");
    EXPECT_EQ(Dump(e, TOUT_SANS_ABSENTS | 0x40000000), "x\r\n\r\nCode d'erreur : 5\r\nNiveau : aucune erreur\r\n");
    // A percent sign in a message is text.
    CXError p;
    p.AddUserMessage("100%s %n %d");
    EXPECT_EQ(Dump(p, CXError::XEI_MESSAGE | 0x40000000), "100%s %n %d\r\n");

    const struct {
        CXError::eERRORLEVEL e;
        const char* psz;
    } tab[] = {
        {CXError::EL_AVERTISSEMENT, "Niveau : avertissement\r\n"},
        {CXError::EL_ERREUR, "Niveau : erreur\r\n"},
        {CXError::EL_ERREUR_4, "Niveau : erreur\r\n"},
        {CXError::EL_ERREUR_8, "Niveau : erreur\r\n"},
        {CXError::EL_FATALE_1, "Niveau : erreur fatale\r\n"},
        {CXError::EL_FATALE_4, "Niveau : erreur fatale\r\n"},
        {CXError::EL_FATALE_SYSTEME, "Niveau : erreur fatale\r\n"},
        {static_cast<CXError::eERRORLEVEL>(7), "Niveau : inconnu (7)\r\n"},
    };
    for (const auto& t : tab) {
        CXError n;
        n.SetErrorLevel(t.e);
        EXPECT_EQ(Dump(n, CXError::XEI_NIVEAU), t.psz);
    }
}

TEST(XErrorDump, EverySectionInOrder)
{
    CXError e;
    e.SetVMContext("Fen1", "Btn", 12, 3);
    e.SetFunctionName("fOuvre", 2);
    e.AddUserMessage("100% faux");
    e.SetUserErrorCode(12);
    e.SetErrorLevel(CXError::EL_FATALE_2);
    e.SetUserErrorCode55(5);
    e.SetSystemErrorMessage(2u, "introuvable\r\n");
    e.InitModInfo(1);
    e.SetDetailId(4);
    e.AddDebugMessageNoFormat("trace %d");
    int64_t nRec = -1;
    e.AddInfo(CXError::EIT_SRCFILE, "a.txt");
    e.AddInfo(CXError::EIT_RECNUM, &nRec);
    e.AddInfo(CXError::EIT_DATEHEURE, ""); // empty text: no line
    e.AddInfo(CXError::EIT_PILEQS, "l1\r\nl2");
    e.AddInfo(CXError::EIT_POINTEUR, &nRec); // never printed
    e.AddInfo(CXError::EIT_SRCFILEUNICODE, L"\u00E9\u20AC");
    EXPECT_EQ(Dump(e, TOUT_SANS_ABSENTS),
              "Contexte d'ex\xE9" "cution :\r\n"
              "Traitement : Fen1 (Btn), ligne 12, thread 3\r\n"
              "Fonction : fOuvre (syntaxe 2)\r\n"
              "\r\n"
              "Message d'erreur :\r\n"
              "100% faux\r\n"
              "\r\n"
              "Code d'erreur : 12\r\n"
              "Niveau : erreur fatale\r\n"
              "Code d'erreur compl\xE9mentaire : 5\r\n"
              "\r\n"
              "Code d'erreur syst\xE8me : 2\r\n"
              "Message syst\xE8me :\r\n"
              "introuvable\r\n"
              "\r\n"
              "Module : TQExe.exe, version 15.00Ab\r\n"
              "Identifiant de d\xE9tail : 4\r\n"
              "Message de d\xE9" "bogage :\r\n"
              "trace %d\r\n"
              "Informations :\r\n"
              "EIT_SRCFILE : <a.txt>\r\n"
              "EIT_RECNUM : <-1>\r\n"
              "EIT_PILEQS :\r\n"
              "l1\r\n"
              "l2\r\n"
              "EIT_SRCFILEUNICODE : <\xE9?>");

    // A context without object: no brackets; only the function: no caption line.
    CXError c;
    c.SetVMContext("Fen", "", 1, 0);
    EXPECT_EQ(Dump(c, CXError::XEI_CONTEXTE), "Contexte d'ex\xE9" "cution :\r\nTraitement : Fen, ligne 1, thread 0\r\n");
    CXError f;
    f.SetFunctionName("g", 0);
    EXPECT_EQ(Dump(f, CXError::XEI_CONTEXTE | CXError::XEI_CODE),
              "Contexte d'ex\xE9" "cution :\r\nFonction : g (syntaxe 0)\r\n\r\nCode d'erreur : 0\r\n");
}

TEST(XErrorDump, InformationItemLines)
{
    CXError e;
    int32_t nZero = 0;
    e.AddInfo(CXError::EIT_SRCFILE, "");
    e.AddInfo(CXError::EIT_BASECODE, &nZero);
    EXPECT_EQ(Dump(e, 0x80000000 | CXError::XEI_INFOS), "Informations :\r\nEIT_BASECODE : <0>");

    CTString cl;
    e.DumpInfo(CXError::EIT_SRCFILE, "", &cl); // the public form formats an empty text
    EXPECT_STREQ(cl.pszGet(), "EIT_SRCFILE : <>");
    cl.Vide();
    int32_t n = -42;
    e.DumpInfo(CXError::EIT_XINFO, &n, &cl);
    e.DumpInfo(CXError::EIT_POINTEUR, &n, &cl);
    e.DumpInfo(CXError::EIT_COMPOSANT, "c%s", &cl);
    EXPECT_STREQ(cl.pszGet(), "EIT_XINFO : <-42>EIT_COMPOSANT :\r\nc%s");
    cl.Vide();
    CXError autre;
    e.DumpInfo(CXError::EIT_DATAACCESS, &autre, &cl);
    char sz[64];
    snprintf(sz, sizeof sz, "EIT_DATAACCESS : <%p>", static_cast<void*>(&autre));
    EXPECT_STREQ(cl.pszGet(), sz);

    const char* tabNoms[] = {"EIT_DSTFILE : <v>", "EIT_USERNAME : <v>", "EIT_HELPFILE : <v>", "EIT_PATHTQD : <v>",
                             "EIT_LOGICALTABLENAME : <v>", "EIT_ITEMNAME : <v>", "EIT_PATHFIC : <v>",
                             "EIT_PATHNDX : <v>", "EIT_PATHMMO : <v>", "EIT_LINKNAME : <v>"};
    for (int t = 2; t <= 11; ++t) {
        cl.Vide();
        e.DumpInfo(static_cast<CXError::eERRORINFOTYPE>(t), "v", &cl);
        EXPECT_STREQ(cl.pszGet(), tabNoms[t - 2]);
    }
    const struct {
        int t;
        const char* psz;
    } tab[] = {{13, "EIT_ODBCCODE : <v>"}, {14, "EIT_ODBCDESCRIPTION : <v>"}, {18, "EIT_BASEMESSAGE : <v>"},
               {19, "EIT_NATIVEMESSAGE : <v>"}, {20, "EIT_ADOMESSAGE : <v>"}, {22, "EIT_INFOCLIENT : <v>"},
               {23, "EIT_INFOSERVEUR : <v>"}, {25, "EIT_DATEHEURE : v"}, {26, "EIT_LOCKINFO : v"},
               {27, "EIT_CORRIGE_ETAT : v"}, {28, "EIT_INFOCS : <v>"}, {32, "EIT_SERVEURCS : <v>"},
               {33, "EIT_PILEC :\r\nv"}};
    for (const auto& x : tab) {
        cl.Vide();
        e.DumpInfo(static_cast<CXError::eERRORINFOTYPE>(x.t), "v", &cl);
        EXPECT_STREQ(cl.pszGet(), x.psz) << x.t;
    }
    cl.Vide();
    n = 7;
    e.DumpInfo(CXError::EIT_NATIVECODE, &n, &cl);
    e.DumpInfo(CXError::EIT_ADOCODE, &n, &cl);
    e.DumpInfo(CXError::EIT_DSTFILEUNICODE, L"w", &cl);
    EXPECT_STREQ(cl.pszGet(), "EIT_NATIVECODE : <7>EIT_ADOCODE : <7>EIT_DSTFILEUNICODE : <w>");
}

TEST(XErrorDump, NestedSubErrors)
{
    CXError s2;
    s2.AddUserMessage("S2");
    CXError s1;
    s1.AddUserMessage("S1");
    s1.SetUserErrorCode(2);
    s1.AddSubErrorLightNoUserMessage(&s2);
    CXError p;
    p.AddUserMessage("P");
    p.SetUserErrorCode(1);
    p.SetErrorLevel(CXError::EL_ERREUR);
    p.AddSubErrorLightNoUserMessage(&s1);
    CXError autre;
    autre.SetUserErrorCode(3);
    p.AddSubErrorLightNoUserMessage(&autre);

    const std::string r2 = "Message d'erreur :\r\nS2\r\n\r\nCode d'erreur : 0\r\nNiveau : aucune erreur\r\n";
    const std::string r1 = "Message d'erreur :\r\nS1\r\n\r\nCode d'erreur : 2\r\nNiveau : aucune erreur\r\n"
                           "\r\n"
                           "\r\n----- Erreur imbriqu\xE9" "e n\xB0 1 -----\r\n\r\n" + r2 + "\r\n";
    const std::string r3 = "Code d'erreur : 3\r\nNiveau : aucune erreur\r\n";
    EXPECT_EQ(Dump(p, TOUT_SANS_ABSENTS),
              "Message d'erreur :\r\nP\r\n\r\nCode d'erreur : 1\r\nNiveau : erreur\r\n"
              "\r\n"
              "\r\n----- Erreur imbriqu\xE9" "e n\xB0 1 -----\r\n\r\n" + r1 + "\r\n"
              "\r\n----- Erreur imbriqu\xE9" "e n\xB0 2 -----\r\n\r\n" + r3 + "\r\n");
    // Without the sub-error bit they are left out.
    EXPECT_EQ(Dump(p, TOUT_SANS_ABSENTS & ~CXError::XEI_SOUSERREURS),
              "Message d'erreur :\r\nP\r\n\r\nCode d'erreur : 1\r\nNiveau : erreur\r\n");
}
