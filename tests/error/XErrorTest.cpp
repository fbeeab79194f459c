// The error object: resets, messages, defined user errors, information items,
// sub-errors and copies.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "error/XError.h"
#include "strings/Tstring.h"

namespace {

// A reference-counted object that says when it is deleted.
struct CSonde : CTQUnknown {
    explicit CSonde(bool* pbDetruit) : m_pbDetruit(pbDetruit) {}
    ~CSonde() override { *m_pbDetruit = true; }
    bool* m_pbDetruit;
};

std::string Info(const CXError& e, CXError::eERRORINFOTYPE t)
{
    const void* p = nullptr;
    if (!e.bGetInfo(t, &p))
        return "<absent>";
    return p ? static_cast<const char*>(p) : "<null>";
}

} // namespace

TEST(XError, NewAndResetObjects)
{
    CXError e;
    EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_AUCUNE);
    EXPECT_STREQ(e.pszGetUserMessage(), "");
    EXPECT_STREQ(e.pszGetModName(), "");
    EXPECT_STREQ(e.pszGetInternalModName(), "TQExe.exe");
    EXPECT_EQ(e.nGetNbSubError(), 0);
    EXPECT_EQ(e.m_dwRef, 0u);

    e.AddUserMessage("a");
    e.SetUserErrorCode(4);
    e.SetFunctionName("f", 2);
    e.SetVMContext("cap", "obj", 3, 4);
    e.SetErrorLevel(CXError::EL_AVERTISSEMENT); // only changes the level
    EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_AVERTISSEMENT);
    EXPECT_STREQ(e.pszGetUserMessage(), "a");
    e.SetErrorLevel(CXError::EL_AUCUNE); // empties the object
    EXPECT_STREQ(e.pszGetUserMessage(), "");
    EXPECT_EQ(e.nGetUserErrorCode(), 0u);
    EXPECT_STREQ(e.pszGetFunctionName(), "");
    EXPECT_EQ(e.nGetFunctionSyntax(), 0);
    EXPECT_EQ(e.wGetTraitmentLine(), 0);
    EXPECT_STREQ(e.pszGetInternalModName(), "TQExe.exe");

    // The context is stored step by step: a caption that cannot be stored stops it.
    e.SetVMContext(nullptr, "obj", 3, 4);
    EXPECT_STREQ(e.pszGetObjectName(), "");
    EXPECT_EQ(e.wGetTraitmentLine(), 0);
    e.SetFunctionName(nullptr, 9);
    EXPECT_EQ(e.nGetFunctionSyntax(), 0);
}

TEST(XError, MessagesAccumulateAndPrepend)
{
    CXError e;
    e.AddUserMessage("un");
    e.AddUserMessage("deux");
    e.AddUserMessageNoFormat("");
    e.AddUserMessageNoFormat(nullptr);
    e.AddUserMessageFirst("z\xE9ro");
    EXPECT_STREQ(e.pszGetUserMessage(), "z\xE9ro\r\nun\r\ndeux");
    e.RAZUserMessage();
    EXPECT_STREQ(e.pszGetUserMessage(), "");
    e.AddUserMessageFirst("seul");
    EXPECT_STREQ(e.pszGetUserMessage(), "seul");

    e.AddDebugMessage("%s=%d", "n", 5);
    e.AddDebugMessage("%2$s/%1$s", "a", "b");
    e.AddDebugMessageNoFormat("100% brut");
    e.AddDebugMessageFirst("avant");
    e.AddDebugMessageFirst("");
    EXPECT_STREQ(e.pszGetDebugMessage(), "avant\r\nn=5\r\nb/a\r\n100% brut");

    // Resource messages: formatted, their numbers listed in message order.
    CXError r;
    r.AddUserMessage(30001u, "a.txt");
    r.AddUserMessageFirst(30009u, "b.txt");
    EXPECT_STREQ(r.pszGetUserMessage(), "Acc\xE8s refus\xE9 au fichier <b.txt>.\r\nLe fichier <a.txt> est introuvable.");
    ASSERT_EQ(r.nNumErrorId(), 2);
    EXPECT_EQ(r.nGetErrorId(0), 30009u);
    EXPECT_EQ(r.nGetErrorId(1), 30001u);
    EXPECT_EQ(r.nGetErrorId(2), 0u);
    EXPECT_STREQ(r.pszGetModName(), "TQExe.exe");
    EXPECT_STREQ(r.pszGetModVersion(), "15.00Ab");
    r.AddDebugMessage(30010u);
    EXPECT_STREQ(r.pszGetDebugMessage(), "Donn\xE9" "es compress\xE9" "es invalides.");

    // A resource that does not exist leaves the fallback line in the debug message.
    CXError f;
    f.AddUserMessage(4242u);
    EXPECT_STREQ(f.pszGetUserMessage(), "");
    EXPECT_STREQ(f.pszGetDebugMessage(), "##(CXError)-Ressource <4242> non charg\xE9" "e##");
    EXPECT_EQ(f.nGetErrorId(0), 4242u);
}

TEST(XError, SystemErrors)
{
    CXError e;
    errno = ENOENT;
    e.SetSystemError(99); // the text of errno, not of the code
    EXPECT_EQ(e.dwGetSystemErrorCode(), 99u);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), strerror(ENOENT));
    e.SetSystemError(0);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), "");
    e.SetSystemErrorMessage(7u, "disque %s", "plein");
    EXPECT_EQ(e.dwGetSystemErrorCode(), 7u);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), "disque plein");
    e.SetSystemErrorMessage("sans code %d", 1);
    EXPECT_EQ(e.dwGetSystemErrorCode(), 0u);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), "sans code 1");
    e.SetSystemErrorMessage(30003u, 12u);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), "M\xE9moire insuffisante : 12 octets n'ont pas pu \xEAtre allou\xE9s.");
    e.SetSystemErrorMessage(4242u, 1u);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), "##(CXError)-Ressource <4242> non charg\xE9" "e##");
    EXPECT_STREQ(e.pszGetDebugMessage(), "");
    e.SetSystemErrorForGetHostBy(3);
    EXPECT_EQ(e.dwGetSystemErrorCode(), 3u);
    EXPECT_STRNE(e.pszGetSystemErrorMessage(), "");
}

TEST(XError, DefinedAndUndefinedUserErrors)
{
    CXError e;
    e.AddUserMessage("ancien");
    e.SetUserError(2);
    EXPECT_EQ(e.nGetUserErrorCode(), 2u);
    EXPECT_EQ(e.eGetErrorLevel(), CXError::EL_ERREUR);
    EXPECT_EQ(e.nGetDetailId(), 0u);
    EXPECT_STREQ(e.pszGetModName(), "TQExe.exe");
    EXPECT_STREQ(e.pszGetModVersion(), "15.00Ab");
    ASSERT_EQ(e.nNumErrorId(), 1);
    EXPECT_EQ(e.nGetErrorId(0), 0u);
    EXPECT_EQ(std::string(e.pszGetUserMessage()).find("ancien"), std::string::npos);

    CXError u(7u);
    EXPECT_EQ(u.eGetErrorLevel(), CXError::EL_ERREUR);
    EXPECT_STREQ(u.pszGetDebugMessage(),
                 "##(CXError)-gstErrorDef ne contient aucune d\xE9" "finition pour l'identifiant <7>##");
    EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(3), 0u);
    EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(7), 0u);

    // The debug text of the constructor is taken as it is, percent signs included.
    CXError d("taux 100%s", 1u);
    EXPECT_EQ(d.nGetUserErrorCode(), 1u);
    EXPECT_NE(std::string(d.pszGetDebugMessage()).find("taux 100%s"), std::string::npos);

    // The caller's own text stays, even for a code the table does not define.
    CXError m;
    m.SetUserErrorMessage(3, "Disque plein");
    EXPECT_EQ(m.nGetUserErrorCode(), 3u);
    EXPECT_STREQ(m.pszGetUserMessage(), "Disque plein");
    m.SetUserErrorMessage(40, "Autre");
    EXPECT_EQ(m.eGetErrorLevel(), CXError::EL_ERREUR);
    EXPECT_STREQ(m.pszGetUserMessage(), "Autre");
}

TEST(XError, InformationItems)
{
    CXError e;
    EXPECT_EQ(e.AddInfo(CXError::EIT_SRCFILE, "a"), 1);
    EXPECT_EQ(e.AddInfo(CXError::EIT_SRCFILE, "b"), 1);
    EXPECT_EQ(e.nNumInfo(), 1);
    EXPECT_EQ(Info(e, CXError::EIT_SRCFILE), "b");
    EXPECT_EQ(e.AddInfo(CXError::EIT_SRCFILE, nullptr), 1); // reports existence, changes nothing
    EXPECT_EQ(e.AddInfo(CXError::EIT_DSTFILE, nullptr), 0);
    EXPECT_EQ(e.AddInfo(static_cast<CXError::eERRORINFOTYPE>(36), "x"), 0);
    EXPECT_EQ(e.nNumInfo(), 1);

    int64_t n64 = -5000000000LL;
    int32_t n32 = -3;
    e.AddInfo(CXError::EIT_RECNUM, &n64);
    e.AddInfo(CXError::EIT_BASECODE, &n32);
    int64_t lu = 0;
    const void* p = &lu;
    CXError::eERRORINFOTYPE t;
    e.GetInfo(1, &t, &p);
    EXPECT_EQ(t, CXError::EIT_RECNUM);
    EXPECT_EQ(lu, n64);
    e.GetInfo(2, &t, &p);
    EXPECT_EQ(t, CXError::EIT_BASECODE);
    EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(p)), -3);
    e.GetInfo(3, &t, &p);
    EXPECT_EQ(t, CXError::EIT_NONE);

    const wchar_t* w = L"caf\u00E9";
    e.AddInfo(CXError::EIT_SRCFILEUNICODE, w);
    ASSERT_TRUE(e.bGetInfo(CXError::EIT_SRCFILEUNICODE, &p));
    EXPECT_NE(p, static_cast<const void*>(w));
    EXPECT_EQ(wcscmp(static_cast<const wchar_t*>(p), w), 0);

    e.__SetXInfo(0x5, 1);
    e.__SetXInfo(0x4, 0);
    EXPECT_TRUE(e.__bGetXInfo(0x1));
    EXPECT_FALSE(e.__bGetXInfo(0x4));
    e.DeleteInfo(CXError::EIT_SRCFILE);
    EXPECT_EQ(Info(e, CXError::EIT_SRCFILE), "<absent>");
    EXPECT_EQ(e.nNumInfo(), 4);
}

TEST(XError, DataAccessItemsHoldOneReference)
{
    bool bA = false, bB = false;
    CSonde* a = new CSonde(&bA);
    CSonde* b = new CSonde(&bB);
    a->m_dwRef = 1;
    b->m_dwRef = 1;
    {
        CXError e;
        e.AddInfo(CXError::EIT_DATAACCESS, a);
        EXPECT_EQ(a->m_dwRef, 2u);
        e.AddInfo(CXError::EIT_DATAACCESS, a); // same object: nothing changes
        EXPECT_EQ(a->m_dwRef, 2u);
        e.AddInfo(CXError::EIT_DATAACCESS, b);
        EXPECT_EQ(a->m_dwRef, 1u);
        EXPECT_EQ(b->m_dwRef, 2u);
        {
            CXError copie(e);
            EXPECT_EQ(b->m_dwRef, 3u);
            CXError autre;
            autre.InitModName("x"); // not the internal module name: still the same module
            autre.Copy(e);
            EXPECT_EQ(b->m_dwRef, 4u);
        }
        EXPECT_EQ(b->m_dwRef, 2u);
        CXError deplace;
        deplace.LightCopy(&e); // a move: no new reference
        EXPECT_EQ(b->m_dwRef, 2u);
        EXPECT_EQ(e.nNumInfo(), 0);
    }
    EXPECT_EQ(b->m_dwRef, 1u);
    EXPECT_FALSE(bB);
    a->dwRelease();
    b->dwRelease();
    EXPECT_TRUE(bA);
    EXPECT_TRUE(bB);
}

TEST(XError, SubErrorsCarryTheFirstMessageUp)
{
    CXError parent;
    parent.AddUserMessage("parent");
    CXError s1, s2;
    s1.AddUserMessage("premier");
    s2.AddUserMessage("second");
    parent.AddSubError(&s1);
    parent.AddSubError(&s2);
    EXPECT_STREQ(parent.pszGetUserMessage(), "parent\r\npremier");
    ASSERT_EQ(parent.nGetNbSubError(), 2);
    EXPECT_STREQ(parent.pclGetSubError(1)->pszGetUserMessage(), "second");
    EXPECT_STREQ(s1.pszGetUserMessage(), "premier"); // a deep copy leaves the source
    EXPECT_EQ(parent.pclGetSubError(2), nullptr);
    EXPECT_EQ(parent.pclGetSubError(-1), nullptr);

    CXError leger;
    CXError s3;
    s3.AddUserMessage("d\xE9plac\xE9");
    s3.SetUserErrorCode(9);
    leger.AddSubErrorLight(&s3); // a move empties the source
    EXPECT_STREQ(s3.pszGetUserMessage(), "");
    EXPECT_EQ(s3.nGetUserErrorCode(), 0u);
    EXPECT_STREQ(leger.pszGetUserMessage(), "d\xE9plac\xE9");
    CXError muet;
    CXError s4;
    s4.AddUserMessage("muet");
    muet.AddSubErrorLightNoUserMessage(&s4);
    EXPECT_STREQ(muet.pszGetUserMessage(), "");
    EXPECT_EQ(muet.nGetNbSubError(), 1);
    muet.DeleteAllSubError();
    EXPECT_EQ(muet.nGetNbSubError(), 0);
    muet.AddSubError(&muet); // itself: refused
    EXPECT_EQ(muet.nGetNbSubError(), 0);
}

TEST(XError, CopyAndLightCopy)
{
    CXError src;
    src.SetUserError(1);
    src.AddUserMessage("msg");
    src.AddDebugMessageNoFormat("dbg");
    src.SetUserErrorCode55(55);
    src.SetSystemErrorMessage(8u, "sys");
    src.SetVMContext("cap", "obj", 10, 2);
    src.SetFunctionName("fn", 3);
    src.SetDetailId(77);
    src.AddInfo(CXError::EIT_USERNAME, "moi");
    CXError sub;
    sub.AddUserMessage("sub");
    src.AddSubError(&sub);

    CXError dst;
    CXError existant;
    existant.AddUserMessage("existant");
    dst.AddSubError(&existant);
    dst.Copy(src);
    EXPECT_EQ(dst.eGetErrorLevel(), CXError::EL_ERREUR);
    EXPECT_EQ(dst.nGetUserErrorCode(), 1u);
    EXPECT_EQ(dst.nGetUserErrorCode55(), 55u);
    EXPECT_STREQ(dst.pszGetUserMessage(), src.pszGetUserMessage());
    EXPECT_STREQ(dst.pszGetDebugMessage(), src.pszGetDebugMessage());
    EXPECT_STREQ(dst.pszGetSystemErrorMessage(), "sys");
    EXPECT_EQ(dst.dwGetSystemErrorCode(), 8u);
    EXPECT_STREQ(dst.pszGetTraitmentCaption(), "cap");
    EXPECT_STREQ(dst.pszGetObjectName(), "obj");
    EXPECT_EQ(dst.wGetTraitmentLine(), 10);
    EXPECT_EQ(dst.wGetTraitmentThread(), 2);
    EXPECT_STREQ(dst.pszGetFunctionName(), "fn");
    EXPECT_EQ(dst.nGetFunctionSyntax(), 3);
    EXPECT_EQ(dst.nGetDetailId(), 77u);
    EXPECT_EQ(dst.nNumErrorId(), src.nNumErrorId());
    EXPECT_EQ(Info(dst, CXError::EIT_USERNAME), "moi");
    ASSERT_EQ(dst.nGetNbSubError(), 2); // the destination's own sub-error remains
    EXPECT_STREQ(dst.pclGetSubError(1)->pszGetUserMessage(), "sub");
    EXPECT_NE(dst.pclGetSubError(1), src.pclGetSubError(0));
    const std::string sRapport = std::string(src.StringDump(CXError::XEI_TOUT).pszGet());

    CXError deplace;
    deplace.LightCopy(&src);
    EXPECT_EQ(std::string(deplace.StringDump(CXError::XEI_TOUT).pszGet()), sRapport);
    EXPECT_EQ(src.eGetErrorLevel(), CXError::EL_AUCUNE);
    EXPECT_STREQ(src.pszGetUserMessage(), "");
    EXPECT_STREQ(src.pszGetDebugMessage(), "");
    EXPECT_EQ(src.nGetNbSubError(), 0);
    EXPECT_EQ(src.nNumInfo(), 0);
    EXPECT_EQ(src.nNumErrorId(), 0);
    EXPECT_EQ(src.nGetUserErrorCode55(), 0u);
    EXPECT_STREQ(src.pszGetInternalModName(), "TQExe.exe");

    CXError c1(deplace, 0), c2(&deplace, 1);
    EXPECT_EQ(std::string(c1.StringDump(CXError::XEI_TOUT).pszGet()), sRapport);
    EXPECT_EQ(std::string(c2.StringDump(CXError::XEI_TOUT).pszGet()), sRapport);
    EXPECT_STREQ(deplace.pszGetUserMessage(), "");
}

TEST(XError, MovesWithinOneTreeKeepItATree)
{
    CXError parent;
    CXError s;
    s.AddUserMessage("enfant");
    CXError ss;
    ss.AddUserMessage("petit-enfant");
    s.AddSubError(&ss);
    parent.AddSubError(&s);
    CXError* pEnfant = parent.pclGetSubError(0);

    // Moving a descendant into its ancestor: the move happens before the old
    // sub-errors go.
    parent.LightCopy(pEnfant);
    EXPECT_STREQ(parent.pszGetUserMessage(), "enfant\r\npetit-enfant");
    ASSERT_EQ(parent.nGetNbSubError(), 1);
    EXPECT_STREQ(parent.pclGetSubError(0)->pszGetUserMessage(), "petit-enfant");

    // An ancestor cannot be moved into its descendant, nor into itself.
    CXError* pPetit = parent.pclGetSubError(0);
    pPetit->LightCopy(&parent);
    pPetit->AddSubErrorLight(&parent);
    parent.LightCopy(&parent);
    EXPECT_EQ(pPetit->nGetNbSubError(), 0);
    EXPECT_STREQ(parent.pszGetUserMessage(), "enfant\r\npetit-enfant");
    // A deep copy of an ancestor is allowed: it is a new tree.
    pPetit->AddSubError(&parent);
    ASSERT_EQ(pPetit->nGetNbSubError(), 1);
    EXPECT_EQ(pPetit->pclGetSubError(0)->nGetNbSubError(), 1);
}
