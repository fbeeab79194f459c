#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "QsdstrTestUtil.h"
#include "strings/STR.h"
#include "strings/qsdstr.h"

using std::string;

INSTANTIATE_TEST_SUITE_P(Caches, QsdCache, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Cache" : "SansCache"; });

TEST_P(QsdCache, EmptyValuesAreNullAndReadAsEmptyText) {
    CQSDSTR a(""), b("abc", 0), c(static_cast<const char*>(nullptr));
    for (const CQSDSTR* v : {&a, &b, &c}) {
        EXPECT_EQ(v->pGet(), nullptr);
        EXPECT_STREQ(v->pszGet(), "");
        EXPECT_STREQ(STManipAUB(*v, QSD_TYPE_TEXTE).pszGetString(), "");
        EXPECT_TRUE(STManipAUB(*v, QSD_TYPE_UNICODE).bEstVide());
        EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(v->pGet()), QSD_TYPE_TEXTE);
    }
    CQSDSTR z("a\0b", 3);
    EXPECT_EQ(sOctets(z), string("a\0b", 3));
    EXPECT_TRUE(bTermine(z));
    EXPECT_EQ(z.nGetCapacite(), 104u);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(z.pGet()), QSD_TYPE_TEXTE);
}

TEST_P(QsdCache, CopiesShareUntilOneHolderWrites) {
    CQSDSTR a("hello");
    CQSDSTR b(a);
    EXPECT_EQ(a.pGet(), b.pGet());
    EXPECT_EQ(a.nGetRefCount(), 2);
    ASSERT_EQ(b.nConcat(" world"), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "hello");
    EXPECT_STREQ(b.pszGet(), "hello world");
    EXPECT_EQ(a.nGetRefCount(), 1);
    EXPECT_EQ(b.nGetRefCount(), 1);

    CQSDSTR c(a);
    c.Tronque(2);
    EXPECT_STREQ(c.pszGet(), "he");
    EXPECT_STREQ(a.pszGet(), "hello");
    EXPECT_NE(a.pGet(), c.pGet());

    // In-place writers never show through another holder.
    const std::function<void(CQSDSTR&)> ecrivains[] = {
        [](CQSDSTR& v) { v.Renverse(); },     [](CQSDSTR& v) { v.Trim('h'); },
        [](CQSDSTR& v) { v.MapString(1, 1); }, [](CQSDSTR& v) { v.SetUtilLength(1); },
        [](CQSDSTR& v) { v.nComplete(1, 3, 'x'); }, [](CQSDSTR& v) { v.Remplace("l", "L"); },
    };
    for (auto& f : ecrivains) {
        CQSDSTR d(a);
        f(d);
        EXPECT_STREQ(a.pszGet(), "hello");
        EXPECT_NE(d.pGet(), a.pGet());
        EXPECT_EQ(a.nGetRefCount(), 1);
    }
}

// A source that is the value itself, or points into its block, is read before
// anything is released.
TEST_P(QsdCache, SourcesInsideTheValueAreReadFirst) {
    string longue(700, 'q');
    CQSDSTR a("abcdef");
    CQSDSTRBase& ra = a;
    a = ra;
    EXPECT_STREQ(a.pszGet(), "abcdef");
    a.Assign(&a);
    EXPECT_STREQ(a.pszGet(), "abcdef");
    a.Assign(&a, 3);
    EXPECT_STREQ(a.pszGet(), "abc");
    a.Take(&a);
    EXPECT_STREQ(a.pszGet(), "abc");

    a.nAssign("abcdef");
    ASSERT_EQ(a.nAssign(a.pszGet() + 2, 3), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "cde");
    ASSERT_EQ(a.nConcat(a.pszGet(), 3), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "cdecde");
    a.nAssign(longue.c_str());
    ASSERT_EQ(a.nConcat(a.pszGet(), 700), QSD_OK);  // grows past the class: the block moves
    EXPECT_EQ(sOctets(a), longue + longue);
    ASSERT_EQ(a.nConcat(&a), QSD_OK);
    EXPECT_EQ(a.nGetLength(), 2800u);

    a.nAssign("0123456789");
    ASSERT_EQ(a.nMilieu(&a, 2, 3), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "234");

    for (int opt : {0, 1}) {
        CQSDSTR s("xy"), r;
        ASSERT_EQ(r.nConcatInit(&s, &s, opt), QSD_OK);
        EXPECT_STREQ(r.pszGet(), "xyxy");
        EXPECT_STREQ(s.pszGet(), "xy");
    }
    CQSDSTR p("ab"), q;
    CQSDSTR t("cd");
    ASSERT_EQ(q.nConcatInit(&p, &t, 1), QSD_OK);
    EXPECT_STREQ(q.pszGet(), "abcd");
    EXPECT_EQ(p.pGet(), nullptr);  // it held the only reference

    a.nAssign("pq");
    ASSERT_EQ(a.nPrintf("<%s|%s>", a.pszGet(), a.pszGet()), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "<pq|pq>");
    ASSERT_EQ(a.nAddPrintf("%s", a.pszGet()), QSD_OK);
    EXPECT_STREQ(a.pszGet(), "<pq|pq><pq|pq>");
    a.nAssign(longue.c_str());
    ASSERT_EQ(a.nPrintf("%s!", a.pszGet()), QSD_OK);
    EXPECT_EQ(sOctets(a), longue + "!");
    ASSERT_EQ(a.nAddPrintf("%s", a.pszGet()), QSD_OK);
    EXPECT_EQ(sOctets(a), longue + "!" + longue + "!");

    a.nAssign("a-b-a");
    a.Remplace(a.pszGet() + 4, a.pszGet() + 1);
    EXPECT_STREQ(a.pszGet(), "-b-a-b--b-a");
}

TEST_P(QsdCache, TakeEmptiesTheSource) {
    CQSDSTR a("one"), b("two");
    unsigned char* p = b.pGet();
    a.Take(&b);
    EXPECT_EQ(a.pGet(), p);
    EXPECT_EQ(b.pGet(), nullptr);
    EXPECT_EQ(a.nGetRefCount(), 1);
    CQSDSTR c(std::move(a));
    EXPECT_STREQ(c.pszGet(), "two");
    EXPECT_EQ(a.pGet(), nullptr);
    CQSBIN x(reinterpret_cast<const unsigned char*>("xyz"), 3), y;
    y.Take(&x);
    EXPECT_EQ(x.pGet(), nullptr);
    EXPECT_EQ(y.nGetSize(), 3u);
}

// Size sums are taken in 64 bits: above the limit the answer is 108 and the
// value stays as it was (nothing is read from the oversized source).
TEST_P(QsdCache, OversizedRequestsAnswer108AndChangeNothing) {
    static const char src[] = "x";
    const unsigned grand = 0x7FFFFF00u;
    const std::function<int(CQSDSTR&)> ops[] = {
        [&](CQSDSTR& v) { return v.nSetLength(grand); },
        [&](CQSDSTR& v) { return v.nAssign(src, grand); },
        [&](CQSDSTR& v) { return v.nConcat(src, grand - 3); },
        [&](CQSDSTR& v) { return v.nConcat(src, 0xFFFFFFF0u); },
        [&](CQSDSTR& v) { return v.nComplete(grand, 'x'); },
        [&](CQSDSTR& v) { return v.nCompleteUNICODE(0x40000000u, L'x'); },
        [&](CQSDSTR& v) { return v.nCompleteUNICODE(0xFFFFFFFFu, L'x'); },
        [&](CQSDSTR& v) { return v.nAffecteToUTF8(src, 0x20000000L, 1252); },
        [&](CQSDSTR& v) { return v.nAffecteToANSI(src, 0x7FFFFFFFL, 1252); },
    };
    for (size_t i = 0; i < sizeof(ops) / sizeof(ops[0]); ++i) {
        CQSDSTR v("abcd");
        unsigned char* avant = v.pGet();
        EXPECT_EQ(ops[i](v), QSD_ERR_LONGUEUR) << i;
        EXPECT_EQ(v.pGet(), avant) << i;
        EXPECT_STREQ(v.pszGet(), "abcd") << i;
    }
    CQSDSTR init;
    EXPECT_EQ(init.nAssignInit(src, grand), QSD_ERR_LONGUEUR);
    EXPECT_EQ(init.pGet(), nullptr);
    CQSBIN b;
    EXPECT_EQ(b.nSetSize(grand), QSD_ERR_LONGUEUR);
    EXPECT_EQ(b.nSetMemorySize(0xFFFFFFFFu), QSD_ERR_LONGUEUR);
}

TEST_P(QsdCache, UsedLengthIsClampedAndGrowingShowsZeros) {
    CQSDSTR nul;
    nul.SetUtilLength(10);  // a null handle is accepted
    EXPECT_EQ(nul.pGet(), nullptr);

    {
        CQSDSTR secret(string(100, 'S').c_str());
        CQSDSTR moyen(string(900, 'M').c_str());
    }  // released: with the cache they wait there for reuse
    CQSDSTR v("ab");
    v.SetUtilLength(60);
    EXPECT_EQ(sOctets(v), string("ab") + string(58, '\0'));
    v.SetUtilLength(100000);
    EXPECT_EQ(v.nGetLength(), 104u);
    EXPECT_TRUE(bTermine(v));
    v.SetUtilLength(2);
    ASSERT_EQ(v.nSetLength(800), QSD_OK);
    v.SetUtilLength(800);
    EXPECT_EQ(sOctets(v), string("ab") + string(798, '\0'));

    CQSDSTR w("abcdef");
    CQSDSTR copie(w);
    copie.SetUtilLength(3);
    EXPECT_STREQ(w.pszGet(), "abcdef");
    EXPECT_STREQ(copie.pszGet(), "abc");
    copie.Tronque(1);
    copie.SetUtilLength(5);  // what truncation cut does not come back
    EXPECT_EQ(sOctets(copie), string("a\0\0\0\0", 5));
    copie.SetUtilLength(0, 1);
    EXPECT_EQ(copie.pGet(), nullptr);

    CQSBIN b;
    ASSERT_EQ(b.nSetSize(300), QSD_OK);
    EXPECT_EQ(sOctets(b), string(300, '\0'));
    b.SetUtilSize(5000);
    EXPECT_EQ(b.nGetSize(), 1000u);
}

TEST_P(QsdCache, LengthOperationsTable) {
    struct Cas {
        const char* pszAvant;
        std::function<void(CQSDSTR&)> op;
        string attendu;
    };
    const Cas cas[] = {
        {"abcdef", [](CQSDSTR& v) { v.Tronque(3); }, "abc"},
        {"abcdef", [](CQSDSTR& v) { v.Tronque(10); }, "abcdef"},
        {"abcdef", [](CQSDSTR& v) { v.Tronque(static_cast<unsigned>(-1)); }, "abcdef"},
        {"abcdef", [](CQSDSTR& v) { v.Tronque(0); }, ""},
        {"ab", [](CQSDSTR& v) { v.nComplete(5, '.'); }, "ab..."},
        {"abcdef", [](CQSDSTR& v) { v.nComplete(2, '.'); }, "ab"},
        {"abcdef", [](CQSDSTR& v) { v.nComplete(2, 4, '-'); }, "ab--"},
        {"ab", [](CQSDSTR& v) { v.nComplete(4, 6, '-'); }, string("ab\0\0--", 6)},
        {"", [](CQSDSTR& v) { v.nComplete(3, 'z'); }, "zzz"},
        {"abc  ", [](CQSDSTR& v) { v.SansEspace(); }, "abc"},
        {"   ", [](CQSDSTR& v) { v.SansEspace(); }, ""},
        {"\t abc \n", [](CQSDSTR& v) { v.Trim(); }, "abc"},
        {"xxabxx", [](CQSDSTR& v) { v.Trim('x'); }, "ab"},
        {"xxxx", [](CQSDSTR& v) { v.Trim('x'); }, ""},
        {"abc", [](CQSDSTR& v) { v.Renverse(); }, "cba"},
        {"a", [](CQSDSTR& v) { v.Renverse(); }, "a"},
        {"\xe9t\xe9 ok", [](CQSDSTR& v) { v.MapString(STR_MAP_STANDARD, 1); }, "ETE OK"},
        {"a, b!", [](CQSDSTR& v) { v.MapString(7, 1); }, "AB"},
        {"12", [](CQSDSTR& v) { v.nConcatI4(-345); }, "12-345"},
        {"zz", [](CQSDSTR& v) { v.nAssignI4(2147483647); }, "2147483647"},
    };
    for (const Cas& c : cas) {
        for (bool bPartage : {false, true}) {
            CQSDSTR v(c.pszAvant);
            CQSDSTR autre;
            if (bPartage) autre = v;
            c.op(v);
            EXPECT_EQ(sOctets(v), c.attendu) << c.pszAvant << " shared " << bPartage;
            EXPECT_TRUE(bTermine(v));
            if (bPartage) {
                EXPECT_STREQ(autre.pszGet(), c.pszAvant);
            }
        }
    }
    CQSDSTR z("a\0b\0c", 5);
    z.MapString(STR_MAP_CASE, 1);  // every run is mapped, embedded zeros stay
    EXPECT_EQ(sOctets(z), string("A\0B\0C", 5));
}

TEST_P(QsdCache, ConcatenationTable) {
    struct Cas {
        const char* pszAvant;
        const char* pszSep;
        const char* pszAutre;  // null: no other value
        int bSkip;
        const char* pszAttendu;
    };
    const Cas cas[] = {
        {"a", "/", "b", 0, "a/b"},   {"a/", "/", "b", 0, "a/b"},  {"a", "/", "/b", 0, "a/b"},
        {"a/", "/", "/b", 0, "a/b"}, {"", "/", "b", 1, "b"},      {"", "/", "b", 0, "/b"},
        {"a", "/", "", 0, "a"},      {"a", "/", nullptr, 0, "a/"}, {"a/", "/", nullptr, 0, "a/"},
        {"a", "", "b", 0, "ab"},     {"a::", "::", "::b", 0, "a::b"},
    };
    for (const Cas& c : cas) {
        CQSDSTR v(c.pszAvant), autre(c.pszAutre);
        ASSERT_EQ(v.nConcatSeparateur(c.pszSep, c.pszAutre ? &autre : nullptr, c.bSkip), QSD_OK);
        EXPECT_STREQ(v.pszGet(), c.pszAttendu) << c.pszAvant << " + " << (c.pszAutre ? c.pszAutre : "(none)");
    }

    CQSDSTR m("x");
    ASSERT_EQ(m.nConcatMultiple(4, "ab", nullptr, "", "cd"), QSD_OK);
    EXPECT_STREQ(m.pszGet(), "xabcd");
    ASSERT_EQ(m.nAssignMultiple(3, "1", "22", "333"), QSD_OK);
    EXPECT_STREQ(m.pszGet(), "122333");
    ASSERT_EQ(m.nAssignMultiple(2, "", nullptr), QSD_OK);
    EXPECT_EQ(m.pGet(), nullptr);
    ASSERT_EQ(m.nConcatMultiple(2, "p", "q"), QSD_OK);
    EXPECT_STREQ(m.pszGet(), "pq");
    ASSERT_EQ(m.nConcatMultiple(2, m.pszGet(), m.pszGet()), QSD_OK);
    EXPECT_STREQ(m.pszGet(), "pqpqpq");
    // More pieces than the stack holds take a heap array.
    ASSERT_EQ(m.nConcatMultiple(18, "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
                                "p", "q", "r"),
              QSD_OK);
    EXPECT_STREQ(m.pszGet(), "pqpqpqabcdefghijklmnopqr");
    ASSERT_EQ(m.nAssignMultiple(17, "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E",
                                "F", "G"),
              QSD_OK);
    EXPECT_STREQ(m.pszGet(), "0123456789ABCDEFG");

    CQSDSTR a("ab"), b("cd"), vide, r1, r2, r3;
    ASSERT_EQ(r1.nConcatInit(nullptr, &b), QSD_OK);
    EXPECT_EQ(r1.pGet(), b.pGet());
    ASSERT_EQ(r2.nConcatInit(&a, nullptr), QSD_OK);
    EXPECT_EQ(r2.pGet(), a.pGet());
    ASSERT_EQ(r3.nConcatInit(&a, &vide), QSD_OK);
    EXPECT_STREQ(r3.pszGet(), "ab");
    CQSDSTR r4;
    ASSERT_EQ(r4.nConcatInit(&a, &b, 1), QSD_OK);  // a is shared with r2: it keeps its text
    EXPECT_STREQ(r4.pszGet(), "abcd");
    EXPECT_STREQ(a.pszGet(), "ab");

    CQSDSTR n;
    ASSERT_EQ(n.nConcat(&b), QSD_OK);  // a null value shares the other one
    EXPECT_EQ(n.pGet(), b.pGet());
}

TEST_P(QsdCache, PrintfFormsMatchSnprintf) {
    string longue(3000, 'L');
    char attendu[8192];
    CQSDSTR v("prefix:");
    snprintf(attendu, sizeof(attendu), "%d|%5.2f|%-6s|%x|%c|%s", -42, 3.14159, "ab", 255u, 'z', longue.c_str());
    ASSERT_EQ(v.nPrintf("%d|%5.2f|%-6s|%x|%c|%s", -42, 3.14159, "ab", 255u, 'z', longue.c_str()), QSD_OK);
    EXPECT_EQ(sOctets(v), string(attendu));
    EXPECT_TRUE(bTermine(v));
    ASSERT_EQ(v.nPrintf("%s", ""), QSD_OK);
    EXPECT_EQ(v.pGet(), nullptr);
    ASSERT_EQ(v.nAddPrintf("%03d", 7), QSD_OK);
    ASSERT_EQ(v.nAddPrintf("%*s", 700, "r"), QSD_OK);
    EXPECT_EQ(sOctets(v), "007" + string(699, ' ') + "r");
    // A precision larger than any estimate: the block is still exact.
    ASSERT_EQ(v.nPrintf("%.600f", 1.0), QSD_OK);
    snprintf(attendu, sizeof(attendu), "%.600f", 1.0);
    EXPECT_EQ(sOctets(v), string(attendu));
}

TEST_P(QsdCache, SearchTable) {
    CQSDSTR v("abcab\0cab", 9);
    struct Cas {
        const char* pszMotif;
        unsigned nDebut;
        long nPos, nPosFin, nNbOcc;
    };
    const Cas cas[] = {
        {"ab", 0, 0, 7, 3}, {"ab", 1, 3, 7, 3}, {"cab", 0, 2, 6, 2}, {"zz", 0, -1, -1, 0},
        {"", 0, -1, -1, 0}, {"b", 9, -1, 8, 3}, {"b", 100, -1, 8, 3},
    };
    for (const Cas& c : cas) {
        CQSDSTR motif(c.pszMotif);
        EXPECT_EQ(v.nPos(c.pszMotif, c.nDebut), c.nPos) << c.pszMotif << c.nDebut;
        EXPECT_EQ(v.nPos(&motif, c.nDebut), c.nPos) << c.pszMotif << c.nDebut;
        EXPECT_EQ(v.nPosFin(&motif), c.nPosFin) << c.pszMotif;
        EXPECT_EQ(v.nNbOcc(c.pszMotif), c.nNbOcc) << c.pszMotif;
    }
    CQSDSTR ab("ab"), cab("cab");
    EXPECT_EQ(v.nPosFin(&ab, 0), 0);
    EXPECT_EQ(v.nPosFin(&ab, 6), 3);
    EXPECT_EQ(v.nPosFin(&cab, 5), 2);
    EXPECT_EQ(v.nPosFin(&cab, 100), 6);
    CQSDSTR zero("\0c", 2);
    EXPECT_EQ(v.nPos(&zero), 5);
    EXPECT_EQ(CQSDSTR("aaaa").nNbOcc("aa"), 2);
    EXPECT_EQ(v.nPosParmi("xc"), 2);
    EXPECT_EQ(v.nPosParmi(""), -1);
    EXPECT_EQ(CQSDSTR().nPosParmi("a"), -1);
    EXPECT_EQ(CQSDSTR().nPos("a"), -1);

    CQSDSTR w;
    ASSERT_EQ(w.nAffecteToUNICODE("abcab", -1), QSD_OK);
    EXPECT_EQ(w.nPosUNICODE(L"ab"), 0);
    EXPECT_EQ(w.nPosUNICODE(L"ab", 1), 3);
    EXPECT_EQ(w.nNbOccUNICODE(L"b"), 2);
    CQSDSTR wb;
    wb.nAffecteToUNICODE("b", -1);
    EXPECT_EQ(w.nPosFinUNICODE(&wb), 4);
    EXPECT_EQ(w.nPosFinUNICODE(&wb, 3), 1);
}

TEST_P(QsdCache, ExtractionTable) {
    CQSDSTR v("0123456789");
    struct Cas {
        unsigned long nDebut;
        long nLen;
        const char* pszAttendu;
    };
    const Cas cas[] = {{2, 3, "234"}, {8, 5, "89"}, {0, -1, "0123456789"}, {4, -1, "456789"},
                       {10, 1, ""},   {99, -1, ""}, {3, 0, ""}};
    for (const Cas& c : cas) {
        CQSDSTR out("old");
        ASSERT_EQ(v.nMilieu(&out, c.nDebut, c.nLen), QSD_OK);
        EXPECT_STREQ(out.pszGet(), c.pszAttendu) << c.nDebut << "," << c.nLen;
        EXPECT_STREQ(v.clMilieu(c.nDebut, c.nLen).pszGet(), c.pszAttendu);
    }
    CQSDSTR w;
    w.nAffecteToUNICODE("a;bc;;d", -1);
    EXPECT_EQ(sLarge(w.clMilieuUNICODE(2, 2)), L"bc");
    struct CasChamp {
        long k;
        const wchar_t* pszSep;
        int bTrouve;
        const wchar_t* pszAttendu;
    };
    const CasChamp champs[] = {{0, L";", 1, L"a"},    {1, L";", 1, L"bc"},   {2, L";", 1, L""},
                               {3, L";", 1, L"d"},    {4, L";", 0, L""},     {1, L";;", 1, L"d"},
                               {0, L"", 1, L"a;bc;;d"}, {1, L"", 0, L""}, {-1, L";", 0, L""}};
    for (const CasChamp& c : champs) {
        CQSDSTR out;
        EXPECT_EQ(w.bExtraitChaineUNICODE(c.k, c.pszSep, &out), c.bTrouve) << c.k;
        if (c.bTrouve) {
            EXPECT_EQ(sLarge(out), c.pszAttendu) << c.k;
        }
    }
}

TEST_P(QsdCache, RemplaceCoversEmbeddedZerosAndWideText) {
    struct Cas {
        string avant;
        const char* de;
        const char* vers;
        string apres;
    };
    const Cas cas[] = {
        {"a.b.c", ".", "::", "a::b::c"},
        {string("x\0yx\0", 5), "x", "ZZ", string("ZZ\0yZZ\0", 7)},
        {"aaa", "aa", "b", "ba"},
        {"abc", "", "z", "abc"},
        {"abc", "q", "z", "abc"},
        {"abab", "ab", "", ""},
        {string(2000, 'a'), "a", "bb", string(4000, 'b')},
    };
    for (const Cas& c : cas) {
        CQSDSTR v(c.avant.data(), static_cast<unsigned>(c.avant.size()));
        v.Remplace(c.de, c.vers);
        EXPECT_EQ(sOctets(v), c.apres) << c.avant.substr(0, 10);
        EXPECT_TRUE(bTermine(v));
    }
    CQSDSTR w;
    w.nAffecteToUNICODE("a-b-c", -1);
    w.RemplaceUNICODE(L"-", L"+=");
    EXPECT_EQ(sLarge(w), L"a+=b+=c");
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(w.pGet()), QSD_TYPE_UNICODE);
    w.RenverseUNICODE();
    EXPECT_EQ(sLarge(w), L"c=+b=+a");
    w.TrimUNICODE(L'c');
    EXPECT_EQ(sLarge(w), L"=+b=+a");
    CQSDSTR pad;
    ASSERT_EQ(pad.nCompleteUNICODE(3, L'\x263A'), QSD_OK);
    EXPECT_EQ(sLarge(pad), L"\x263A\x263A\x263A");
}

TEST_P(QsdCache, ComparisonTable) {
    struct Cas {
        string a, b;
        int nCompare;      // sign
        int nSouple;       // sign
        int nTresSouple;   // sign
    };
    const Cas cas[] = {
        {"abc", "abc", 0, 0, 0},
        {"abc", "abd", -1, -1, -1},
        {"ab", "abc", -1, -1, -1},
        {"", "a", -1, -1, -1},
        {"a", "", 1, 1, 1},
        {"  abc ", "ABC", -1, 0, 0},
        {"\xe9", "E", 1, 0, 0},
        {"a-b c", "ABC", 1, -1, 0},
        {string("a\0b", 3), string("a\0c", 3), -1, -1, 0},
        {"\xff", "a", 1, 1, 1},
    };
    auto signe = [](int n) { return n < 0 ? -1 : n > 0 ? 1 : 0; };
    for (const Cas& c : cas) {
        CQSDSTR a(c.a.data(), static_cast<unsigned>(c.a.size())), b(c.b.data(), static_cast<unsigned>(c.b.size()));
        EXPECT_EQ(signe(CQSDSTRBase::nCompare(&a, &b)), c.nCompare) << c.a << "/" << c.b;
        EXPECT_EQ(signe(CQSDSTRBase::nCompareSouple(&a, &b)), c.nSouple) << c.a << "/" << c.b;
        EXPECT_EQ(signe(CQSDSTRBase::nCompareTresSouple(&a, &b)), c.nTresSouple) << c.a << "/" << c.b;
        CQSBIN x(a.pGet(), a.nGetLength()), y(b.pGet(), b.nGetLength());
        EXPECT_EQ(signe(CQSBINBase::nCompare(&x, &y)), c.nCompare);
        EXPECT_EQ(signe(CQSBINBase::nCompareSouple(&x, &y)), c.nSouple);
        if (!c.a.empty() && !c.b.empty()) {
            EXPECT_EQ(signe(CQSBINBase::nCompareTresSouple(&x, &y)), c.nTresSouple);
        }
    }
    // The loose difference is the difference of the mapped bytes.
    CQSDSTR a("a"), c("c");
    EXPECT_EQ(CQSDSTRBase::nCompareSouple(&a, &c), 'A' - 'C');
    CQSDSTR abc("abcdef"), abd("abdz");
    EXPECT_EQ(CQSDSTRBase::nCompare(&abc, &abd, 2), 0);
    EXPECT_LT(CQSDSTRBase::nCompare(&abc, &abd, 3), 0);
    CQSDSTR ab("ab");
    EXPECT_TRUE(CQSDSTRBase::bCommencePar(&abc, &ab));
    EXPECT_FALSE(CQSDSTRBase::bCommencePar(&ab, &abc));
    EXPECT_EQ(abc.nCompareTo("abcdef"), 0);
    EXPECT_GT(abc.nCompareTo("abc"), 0);
    EXPECT_LT(CQSDSTRBase::nCompare(nullptr, "a"), 0);
    CQSDSTR w1, w2;
    w1.nAffecteToUNICODE("  ab ", -1);
    w2.nAffecteToUNICODE("ab", -1);
    EXPECT_EQ(CQSDSTRBase::nCompareSoupleUNICODE(&w1, &w2), 0);
    EXPECT_EQ(w2.nCompareToUNICODE(L"ab"), 0);
    EXPECT_LT(w2.nCompareToUNICODE(L"b"), 0);
}

TEST_P(QsdCache, ConversionsCarryTheEndMarker) {
    // Wide value ending in the marker, flagged: 8-bit text ending in 0xFF.
    CQSDSTR w;
    ASSERT_EQ(w.nAffecteToUNICODE("d\xe9j\xe0", -1, 1252), QSD_OK);
    EXPECT_EQ(sLarge(w), L"d\u00e9j\u00e0");
    ASSERT_EQ(w.nCompleteUNICODE(5, static_cast<wchar_t>(0xFFFFFFFFu)), QSD_OK);
    ASSERT_EQ(w.nSetMarqueurFin(1), QSD_OK);
    CQSDSTR a;
    ASSERT_EQ(a.nAffecteToANSI(&w, 1252), QSD_OK);
    EXPECT_EQ(sOctets(a), "d\xe9j\xe0\xff");
    EXPECT_TRUE(a.bMarqueurFin());
    CQSDSTR retour;
    ASSERT_EQ(retour.nAffecteToUNICODE(&a, 1252), QSD_OK);
    EXPECT_EQ(retour.nGetLengthUNICODE(), 5u);
    EXPECT_EQ(static_cast<uint32_t>(retour.pwszGet()[4]), 0xFFFFFFFFu);
    EXPECT_TRUE(retour.bMarqueurFin());
    wchar_t* pw = a.pszCreateWSTR();
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(pw[4]), 0xFFFFFFFFu);
    free(pw);
    char* pc = retour.pszCreateCSTR();
    ASSERT_NE(pc, nullptr);
    EXPECT_STREQ(pc, "d\xe9j\xe0\xff");
    free(pc);
    // In UTF-8 the last character is converted like the others: 0xFFFFFFFF is
    // no character, the conversion fails and the value is kept.
    CQSDSTR u("keep");
    EXPECT_EQ(u.nAffecteToANSI(&w, 65001), QSD_ERR_CONVERSION);
    EXPECT_STREQ(u.pszGet(), "keep");
    // Without the flag a real trailing 0xFF is an ordinary character.
    CQSDSTR y("y\xff");
    ASSERT_EQ(retour.nAffecteToUNICODE(&y, 1252), QSD_OK);
    EXPECT_EQ(sLarge(retour), L"y\u00ff");
    EXPECT_FALSE(retour.bMarqueurFin());
    // A value converted into itself.
    ASSERT_EQ(a.nAffecteToUNICODE(&a, 1252), QSD_OK);
    EXPECT_EQ(a.nGetLengthUNICODE(), 5u);
}

TEST_P(QsdCache, ConversionRoundTrips) {
    struct Cas {
        const char* psz1252;
        unsigned cp;
    };
    const Cas cas[] = {{"plain", 1252}, {"\xe9t\xe9 \x80", 1252}, {"a\xe9", 1250}};
    for (const Cas& c : cas) {
        CQSDSTR w, a, u, b;
        ASSERT_EQ(w.nAffecteToUNICODE(c.psz1252, -1, c.cp), QSD_OK);
        EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(w.pGet()), QSD_TYPE_UNICODE);
        EXPECT_TRUE(bTermine(w));
        ASSERT_EQ(a.nAffecteToANSI(w.pwszGet(), w.nGetLengthUNICODE(), c.cp), QSD_OK);
        EXPECT_STREQ(a.pszGet(), c.psz1252);
        ASSERT_EQ(u.nAffecteToUTF8(c.psz1252, -1, static_cast<int>(c.cp)), QSD_OK);
        ASSERT_EQ(b.nAffecteToANSI(u.pszGet(), -1, c.cp), QSD_OK);
        EXPECT_STREQ(b.pszGet(), c.psz1252);
    }
    CQSDSTR u;
    ASSERT_EQ(u.nAffecteToUTF8("\xe9", 1, 1252), QSD_OK);
    EXPECT_STREQ(u.pszGet(), "\xc3\xa9");
    ASSERT_EQ(u.nAffecteToANSI("\xc3\xa9", -1, 65001), QSD_OK);
    EXPECT_STREQ(u.pszGet(), "\xc3\xa9");
    CQSDSTR bad("keep");
    EXPECT_EQ(bad.nAffecteToANSI("\xe4\xb8\x80", -1, 1252), QSD_ERR_CONVERSION);
    EXPECT_STREQ(bad.pszGet(), "keep");
    const unsigned short utf16[] = {'a', 0xD83D, 0xDE00, 'b', 0};
    CQSDSTR w16;
    ASSERT_EQ(w16.nAssignUNICODE_UTF16(utf16, -1), QSD_OK);
    EXPECT_EQ(sLarge(w16), L"a\U0001F600b");
    CQSDSTR extra;
    ASSERT_EQ(extra.nAffecteToANSI(L"abc", 3, 1252, 0, nullptr, nullptr, -50), QSD_OK);  // a negative extra
    EXPECT_STREQ(extra.pszGet(), "abc");
    ASSERT_EQ(extra.nAffecteToUNICODE("abc", 3, 1252, 0, 100), QSD_OK);
    EXPECT_GE(extra.nGetCapacite(), 412u);
    CQSDSTR src("x\xe9"), cur;
    STManipAUB vue(src, QSD_TYPE_TEXTE);
    ASSERT_EQ(cur.nAffecteToUNICODE_CurrentCharset(&vue), QSD_OK);
    EXPECT_EQ(sLarge(cur), L"x\u00e9");
    STManipAUB vueW(cur, QSD_TYPE_UNICODE);
    CQSDSTR partage;
    ASSERT_EQ(partage.nAffecteToUNICODE_CurrentCharset(&vueW), QSD_OK);
    EXPECT_EQ(partage.pGet(), cur.pGet());
    EXPECT_STREQ(vueW.pGetDSTR()->pszGet(), cur.pszGet());
}

TEST_P(QsdCache, EndMarkerRules) {
    CQSDSTR a("ab\xff");
    ASSERT_EQ(a.nSetMarqueurFin(1), QSD_OK);
    CQSDSTR b(a);
    ASSERT_EQ(b.nConcat("c", 1), QSD_OK);  // the bit is cleared on b's private copy only
    EXPECT_FALSE(b.bMarqueurFin());
    EXPECT_TRUE(a.bMarqueurFin());
    CQSDSTR c(a);
    c.Tronque(1);
    EXPECT_FALSE(c.bMarqueurFin());
    EXPECT_TRUE(a.bMarqueurFin());
    CQSDSTR d("x");
    ASSERT_EQ(d.nConcat(&a), QSD_OK);  // takes the appended value's bit
    EXPECT_TRUE(d.bMarqueurFin());
    ASSERT_EQ(a.nAssign("z\xff"), QSD_OK);  // a private block reused by an assignment
    EXPECT_FALSE(a.bMarqueurFin());
    CQSDSTR e;
    ASSERT_EQ(e.nConcatInit(&b, &d), QSD_OK);
    EXPECT_TRUE(e.bMarqueurFin());
    ASSERT_EQ(e.nConcatMultiple(1, "q"), QSD_OK);
    EXPECT_FALSE(e.bMarqueurFin());
}

TEST_P(QsdCache, TypeCodesAndViews) {
    CQSDSTR v("t");
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(v.pGet()), QSD_TYPE_TEXTE);
    v.nSetMarqueurFin(1);
    CQSValeurBase::s_VerifieTypeAUB(v.pGet(), QSD_TYPE_BINAIRE);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(v.pGet()), QSD_TYPE_BINAIRE);
    EXPECT_EQ(v.dwGetFlags(), QSD_GENRE_BINAIRE | QSD_MARQUEUR_FIN);
    CQSValeurBase::s_VerifieTypeAUB(v.pGet(), 42);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(v.pGet()), QSD_TYPE_BINAIRE);
    CQSValeurBase::s_VerifieTypeAUB(nullptr, QSD_TYPE_UNICODE);
    STManipAUB vue(v, QSD_TYPE_BINAIRE);
    EXPECT_EQ(vue.pGetBIN()->pGet(), v.pGet());
    EXPECT_FALSE(vue.bEstUNICODE());
    EXPECT_FALSE(vue.bEstVide());
}

TEST_P(QsdCache, BinaryForms) {
    const unsigned char data[] = {1, 0, 2, 0, 3};
    CQSBIN b(data, 5);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(b.pGet()), QSD_TYPE_BINAIRE);
    const unsigned char motif[] = {0, 3};
    EXPECT_EQ(b.nPos(motif, 2), 3);
    EXPECT_EQ(b.nPos(motif, 2, 4), -1);
    CQSBIN c(b);
    ASSERT_EQ(c.nConcat(data, 2), QSD_OK);
    EXPECT_EQ(b.nGetSize(), 5u);
    EXPECT_EQ(c.nGetSize(), 7u);
    ASSERT_EQ(c.nConcat(&c), QSD_OK);
    EXPECT_EQ(c.nGetSize(), 14u);
    c.Assign(&b, 2);
    EXPECT_EQ(sOctets(c), string("\1\0", 2));
    EXPECT_EQ(sOctets(b), string(reinterpret_cast<const char*>(data), 5));
    ASSERT_EQ(c.nSetMemorySize(5000), QSD_OK);
    EXPECT_GE(c.nGetCapacite(), 5000u);
    EXPECT_EQ(c.nGetSize(), 2u);

    // Private blocks change form without a copy; shared ones are copied.
    CQSDSTR s;
    unsigned char* p = c.pGet();
    ASSERT_EQ(s.nRecupereInit(&c), QSD_OK);
    EXPECT_EQ(s.pGet(), p);
    EXPECT_EQ(c.pGet(), nullptr);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(s.pGet()), QSD_TYPE_TEXTE);
    EXPECT_TRUE(bTermine(s));
    CQSDSTR partage(s);
    CQSBIN d;
    ASSERT_EQ(d.nRecupereInit(&s), QSD_OK);
    EXPECT_NE(d.pGet(), s.pGet());
    EXPECT_EQ(sOctets(d), sOctets(s));
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(s.pGet()), QSD_TYPE_TEXTE);

    CQSBIN w;
    ASSERT_EQ(w.nAffecteToUNICODE("ab", -1), QSD_OK);
    EXPECT_EQ(w.nGetSize(), 8u);
    EXPECT_EQ(CQSValeurBase::s_nGetTypeAUB(w.pGet()), QSD_TYPE_BINAIRE);
    CQSBIN a;
    ASSERT_EQ(a.nAffecteToANSI(L"\u00e9", 1, 1252), QSD_OK);
    EXPECT_EQ(sOctets(a), "\xe9");
    CQSDSTR depuisBin;
    ASSERT_EQ(depuisBin.nAffecteToANSI(&w, 1252), QSD_OK);
    EXPECT_STREQ(depuisBin.pszGet(), "ab");
}
