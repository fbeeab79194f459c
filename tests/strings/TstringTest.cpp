#include <sys/stat.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "strings/Tstring.h"
#include "TstringTestUtil.h"

TEST(CTString, EmptyStatesAndNullSources) {
    CTString s;
    EXPECT_NE(s.pszGet(), nullptr);
    EXPECT_STREQ(s.pszGet(), "");
    EXPECT_EQ(s.nTaille(), 0);
    EXPECT_TRUE(s.bEstVide());
    EXPECT_EQ(s.cGetChar(0), 0);
    s.SetChar(0, 'x');  // no block: nothing happens
    EXPECT_STREQ(s.pszGet(), "");

    s = "";
    EXPECT_TRUE(s.bEstVide());
    ExpectBloc(s, 1);
    s = "abc";
    s.Set('\0');
    EXPECT_TRUE(s.bEstVide());
    s = "abc";
    s = nullptr;
    EXPECT_TRUE(s.bEstVide());
    s = "abc";
    s.Set(static_cast<const char*>(nullptr), 3u);
    EXPECT_TRUE(s.bEstVide());
    s = "abc";
    s.SetFromBinary(nullptr, 3);
    EXPECT_TRUE(s.bEstVide());
    CTString n(nullptr);
    EXPECT_TRUE(n.bEstVide());
}

TEST(CTString, CopiesAreDeepAndAssignmentToSelfKeepsText) {
    CTString a("hello");
    CTString b(a);
    EXPECT_NE(a.pszGet(), b.pszGet());
    b.SetChar(0, 'j');
    EXPECT_STREQ(a.pszGet(), "hello");
    EXPECT_STREQ(b.pszGet(), "jello");
    const char* avant = a.pszGet();
    CTString& ra = a;
    a = ra;
    EXPECT_EQ(a.pszGet(), avant);
    a = b;
    EXPECT_STREQ(a.pszGet(), "jello");
    CTString c("abcdef", 3);
    EXPECT_STREQ(c.pszGet(), "abc");
    CTString d("ab", 10);
    EXPECT_STREQ(d.pszGet(), "ab");
}

TEST(CTString, EveryWriterLeavesAnExactBlock) {
    CTString s;
    s.Set("a fairly long text to start with");
    ExpectExact(s);
    s.Set("short");
    ExpectExact(s);
    s.Set("abcdefgh", 3u);
    EXPECT_STREQ(s.pszGet(), "abc");
    ExpectExact(s);
    s.Set("x", nullptr, "yz");
    EXPECT_STREQ(s.pszGet(), "xyz");
    ExpectExact(s);
    s.SetFromBinary("a\0b", 3);
    EXPECT_EQ(memcmp(s.pszGet(), "a\0b\0", 4), 0);
    ExpectBloc(s, 4);
    s.SetI4(-2147483647 - 1);
    EXPECT_STREQ(s.pszGet(), "-2147483648");
    ExpectExact(s);
    s.Add("tail");
    ExpectExact(s);
    s.Insert("head");
    EXPECT_STREQ(s.pszGet(), "head-2147483648tail");
    ExpectExact(s);
    s.Add('!');
    s.Insert('<');
    EXPECT_STREQ(s.pszGet(), "<head-2147483648tail!");
    ExpectExact(s);
    s.Remplace(1, 4, "H");
    EXPECT_STREQ(s.pszGet(), "<H-2147483648tail!");
    ExpectExact(s);
    s.Remplace("tail", "T");
    EXPECT_STREQ(s.pszGet(), "<H-2147483648T!");
    ExpectExact(s);
    s.Complete(20, '.');
    EXPECT_STREQ(s.pszGet(), "<H-2147483648T!.....");
    ExpectExact(s);
    std::string big(5000, 'z');
    s.Set(big.c_str());
    ExpectExact(s);
    for (int i = 0; i < 100; ++i) s.Add("0123456789");
    ExpectExact(s);
    EXPECT_EQ(s.nTaille(), 6000);
}

TEST(CTString, SourcesInsideTheOwnBlock) {
    CTString s("0123456789");
    s.Set(s.pszGet() + 4);
    EXPECT_STREQ(s.pszGet(), "456789");
    s.Add(s.pszGet());
    EXPECT_STREQ(s.pszGet(), "456789456789");
    s.Add(s.pszGet() + 10, 2);
    EXPECT_STREQ(s.pszGet(), "45678945678989");
    s.Insert(s.pszGet() + 12);
    EXPECT_STREQ(s.pszGet(), "8945678945678989");
    s.Set(s.pszGet() + 14, 5u);
    EXPECT_STREQ(s.pszGet(), "89");
    s.Set(s.pszGet(), "-", s.pszGet());
    EXPECT_STREQ(s.pszGet(), "89-89");
    s.SetFromBinary(s.pszGet() + 1, 3);
    EXPECT_STREQ(s.pszGet(), "9-8");
    s.Add(s);
    EXPECT_STREQ(s.pszGet(), "9-89-8");
    EXPECT_TRUE(s.bExtraitChaine(1ul, '-', &s));
    EXPECT_STREQ(s.pszGet(), "89");
    s.SetStandard(s.pszGet() + 1);
    EXPECT_STREQ(s.pszGet(), "9");
}

TEST(CTString, AddCountsAndCharacters) {
    CTString s;
    s.Add("abc", 4);  // a count that includes the terminator
    EXPECT_STREQ(s.pszGet(), "abc");
    ExpectExact(s);
    s.Add("", 1);
    s.Add("xyz", 0);
    s.Add("xyz", -2);
    s.Add(static_cast<const char*>(nullptr));
    EXPECT_STREQ(s.pszGet(), "abc");
    s.Add("defgh", 2);
    EXPECT_STREQ(s.pszGet(), "abcde");
    s.Add('\0');
    EXPECT_STREQ(s.pszGet(), "abcde");
    CTString e;
    e.Add('q');
    EXPECT_STREQ(e.pszGet(), "q");
    e.AddPrintf("%d-%s", 42, "x");
    EXPECT_STREQ(e.pszGet(), "q42-x");
    CTString f = e + "!";
    EXPECT_STREQ(f.pszGet(), "q42-x!");
    EXPECT_STREQ(e.pszGet(), "q42-x");
    CTString g;
    g.Insert("start");
    EXPECT_STREQ(g.pszGet(), "start");
}

TEST(CTString, SearchesStayInsideTheText) {
    CTString s("abcabcab");
    EXPECT_EQ(s.nPos('c'), 2);
    EXPECT_EQ(s.nPos('c', 3), 5);
    EXPECT_EQ(s.nPos('c', 8), -1);
    EXPECT_EQ(s.nPos('c', 100), -1);
    EXPECT_EQ(s.nPos('c', -5), -1);
    EXPECT_EQ(s.nPos('\0'), -1);
    EXPECT_EQ(s.nPos("ab", 1), 3);
    EXPECT_EQ(s.nPos("", 0), -1);
    EXPECT_EQ(s.nPos("ab", 50), -1);
    EXPECT_EQ(s.nRPos('a'), 6);
    EXPECT_EQ(s.nRPos("abc"), 3);
    EXPECT_EQ(s.nRPos("zz"), -1);
    CTString a("aaa");
    EXPECT_EQ(a.nRPos("aa"), 1);  // overlapping occurrences count
    CTString b("aaaa");
    EXPECT_EQ(b.nNbOcc("aa"), 2);
    EXPECT_EQ(b.nNbOcc(""), 0);
    EXPECT_EQ(s.nUpPos("CA"), 2);
    EXPECT_EQ(s.nUpPos("CA", 3), 5);
    EXPECT_EQ(s.nUpPos("BCABCABX"), -1);
    EXPECT_EQ(s.nUpPos("AB", 7), -1);
    EXPECT_EQ(s.nPosParmi("xc"), 2);
    EXPECT_EQ(s.nPosParmi("xy"), -1);
    CTString v;
    EXPECT_EQ(v.nPos('a'), -1);
    EXPECT_EQ(v.nPos("a"), -1);
    EXPECT_EQ(v.nRPos('a'), -1);
    EXPECT_EQ(v.nUpPos("a"), -1);
    EXPECT_EQ(v.nNbOcc("a"), 0);
    EXPECT_EQ(v.nPosParmi("a"), -1);
}

TEST(CTString, Comparisons) {
    CTString v;
    EXPECT_TRUE(v.bEstEgal(""));
    EXPECT_FALSE(v.bEstEgal("a"));
    EXPECT_TRUE(v.bEstEgalI(""));
    EXPECT_FALSE(v.bEstEgalI("a"));
    CTString s("\xC9l\xE8ve");  // Élève
    EXPECT_TRUE(s.bEstEgal("\xC9l\xE8ve"));
    EXPECT_FALSE(s.bEstEgal("eleve"));
    EXPECT_TRUE(s.bEstEgalI("ELEVE"));
    EXPECT_TRUE(s.bEstEgalI(CTString("\xE9l\xC8VE")));
    EXPECT_FALSE(s.bEstEgalI("ELEV"));
    EXPECT_TRUE(v == CTString(""));
    EXPECT_TRUE(v == "");
    EXPECT_TRUE(s != "x");
    EXPECT_TRUE(CTString("ab") == CTString("ab"));
    CTString p("Program.EXE");
    EXPECT_TRUE(p.bCommencePar("Prog"));
    EXPECT_FALSE(p.bCommencePar("prog"));
    EXPECT_TRUE(p.bCommenceParI("prog"));
    EXPECT_TRUE(p.bTerminePar(".EXE"));
    EXPECT_FALSE(p.bTerminePar(".exe"));
    EXPECT_TRUE(p.bTermineParI(".exe"));
    EXPECT_FALSE(p.bTermineParI("xProgram.EXE"));
    EXPECT_FALSE(p.bCommenceParI("Program.EXE2"));
    EXPECT_TRUE(p.bCommencePar(""));
    EXPECT_TRUE(p.bTermineParI(""));
}

TEST(CTString, Extraction) {
    CTString s("abc");
    EXPECT_STREQ(s.clDroite(10).pszGet(), "abc");
    EXPECT_STREQ(s.clDroite(2).pszGet(), "bc");
    EXPECT_STREQ(s.clDroite(0).pszGet(), "");
    EXPECT_STREQ(s.clMilieu(5, 2).pszGet(), "");
    EXPECT_STREQ(s.clMilieu(1, 100).pszGet(), "bc");
    EXPECT_STREQ(s.clMilieu(1).pszGet(), "bc");
    EXPECT_STREQ(s.clMilieu(-1, 2).pszGet(), "");
    EXPECT_STREQ(s.clGauche(2).pszGet(), "ab");
    ExpectExact(s.clMilieu(1, 1));
    CTString p("name=value;x");
    EXPECT_STREQ(p.clExclu("=;").pszGet(), "name");
    CTString d("12345abc");
    EXPECT_STREQ(d.clContientUniquement("0123456789").pszGet(), "12345");
}

TEST(CTString, FieldsBySeparator) {
    CTString s("a;;b");
    CTString f;
    EXPECT_TRUE(s.bExtraitChaine(0ul, ';', &f));
    EXPECT_STREQ(f.pszGet(), "a");
    EXPECT_TRUE(s.bExtraitChaine(1ul, ';', &f));
    EXPECT_STREQ(f.pszGet(), "");
    EXPECT_TRUE(s.bExtraitChaine(2ul, ';', &f));
    EXPECT_STREQ(f.pszGet(), "b");
    EXPECT_FALSE(s.bExtraitChaine(3ul, ';', &f));
    EXPECT_STREQ(f.pszGet(), "b");  // untouched on failure
    CTString t("a;");
    EXPECT_TRUE(t.bExtraitChaine(1ul, ';', &f));  // trailing separator: empty last field
    EXPECT_STREQ(f.pszGet(), "");
    EXPECT_FALSE(t.bExtraitChaine(2ul, ';', &f));

    EXPECT_TRUE(s.bExtraitChaineTok(0, ";", &f));
    EXPECT_STREQ(f.pszGet(), "a");
    EXPECT_TRUE(s.bExtraitChaineTok(1, ";", &f));
    EXPECT_STREQ(f.pszGet(), "b");
    EXPECT_FALSE(s.bExtraitChaineTok(2, ";", &f));
    EXPECT_TRUE(s.bExtraitChaineTok(-1, ";", &f));
    EXPECT_TRUE(f.bEstVide());

    CTString m("one<->two<->three");
    const char* start;
    long len;
    EXPECT_TRUE(m.bExtraitChainePos(1l, "<->", &start, &len));
    EXPECT_EQ(std::string(start, static_cast<size_t>(len)), "two");
    int pos;
    EXPECT_TRUE(m.bExtraitPosTailleChaine(2, "<->", &pos, &len));
    EXPECT_EQ(pos, 12);
    EXPECT_EQ(len, 5);
    EXPECT_FALSE(m.bExtraitChaine(3l, "<->", &f));

    // Empty texts: no field with a character separator, one empty field with a text one.
    CTString v;
    EXPECT_FALSE(v.bExtraitChaine(0ul, ';', &f));
    EXPECT_FALSE(v.bExtraitChaine(0l, ";", &f));
    CTString z("");
    EXPECT_FALSE(z.bExtraitChaine(0ul, ';', &f));
    f = "x";
    EXPECT_TRUE(z.bExtraitChaine(0l, ";", &f));
    EXPECT_STREQ(f.pszGet(), "");
    // A NUL or empty separator splits nothing.
    EXPECT_TRUE(m.bExtraitChaine(0ul, '\0', &f));
    EXPECT_STREQ(f.pszGet(), m.pszGet());
    EXPECT_FALSE(m.bExtraitChaine(1ul, '\0', &f));
    EXPECT_TRUE(m.bExtraitChaine(0l, "", &f));
    EXPECT_FALSE(m.bExtraitChaine(1l, "", &f));
}

TEST(CTString, ReplaceAField) {
    CTString s("a;bb;c");
    EXPECT_TRUE(s.bExtraitEtRemplaceChaine(1, ";", "XYZ"));
    EXPECT_STREQ(s.pszGet(), "a;XYZ;c");
    EXPECT_TRUE(s.bExtraitEtRemplaceChaine(0, ";", ""));
    EXPECT_STREQ(s.pszGet(), ";XYZ;c");
    CTString t("a;");
    EXPECT_TRUE(t.bExtraitEtRemplaceChaine(1, ";", "end"));  // field at the very end: appended
    EXPECT_STREQ(t.pszGet(), "a;end");
    EXPECT_FALSE(t.bExtraitEtRemplaceChaine(5, ";", "x"));
    EXPECT_STREQ(t.pszGet(), "a;end");
}

TEST(CTString, SetAroundACharacter) {
    const char* src = "dir/sub/file.txt";
    CTString s;
    EXPECT_EQ(s.pszSetDebutPremier(src, '/'), src + 4);
    EXPECT_STREQ(s.pszGet(), "dir");
    EXPECT_EQ(s.pszSetDebutDernier(src, '/'), src + 8);
    EXPECT_STREQ(s.pszGet(), "dir/sub");
    EXPECT_EQ(s.pszSetFinPremier(src, '/'), src + 4);
    EXPECT_STREQ(s.pszGet(), "sub/file.txt");
    EXPECT_EQ(s.pszSetFinDernier(src, '/'), src + 8);
    EXPECT_STREQ(s.pszGet(), "file.txt");
    EXPECT_EQ(s.pszSetDebutPremier(src, '#'), nullptr);
    EXPECT_STREQ(s.pszGet(), src);
    EXPECT_EQ(s.pszSetFinDernier(src, '#'), nullptr);
    EXPECT_STREQ(s.pszGet(), src);
    EXPECT_EQ(s.pszSetDebutPremierExistant(src, '#'), src);
    EXPECT_TRUE(s.bEstVide());
    EXPECT_EQ(s.pszSetFinDernierExistant(src, '.'), src + 13);
    EXPECT_STREQ(s.pszGet(), "txt");
    EXPECT_EQ(s.pszSetFinPremierExistant(src, '#'), src);
    EXPECT_TRUE(s.bEstVide());
    EXPECT_EQ(s.pszSetDebutDernierExistant(src, '.'), src + 13);
    EXPECT_STREQ(s.pszGet(), "dir/sub/file");
    // The terminator is never taken for the character.
    EXPECT_EQ(s.pszSetDebutPremier(src, '\0'), nullptr);
    EXPECT_STREQ(s.pszGet(), src);
}

TEST(CTString, ReplaceAllOccurrences) {
    CTString s("aaaa");
    s.Remplace("a", "xyz", 2);
    EXPECT_STREQ(s.pszGet(), "aaxyzxyz");
    s.Remplace("", "q");
    s.Remplace("none", "q");
    EXPECT_STREQ(s.pszGet(), "aaxyzxyz");
    s.Remplace("xyz", nullptr);
    EXPECT_STREQ(s.pszGet(), "aa");
    s.Remplace("a", "b", 10);
    EXPECT_STREQ(s.pszGet(), "aa");
    CTString o("aaa");
    o.Remplace("aa", "b");  // non-overlapping, left to right
    EXPECT_STREQ(o.pszGet(), "ba");

    CTString i("Caf\xE9 CAF\xC9 caf\xE9");
    i.RemplaceI("caf\xC9", "tea");
    EXPECT_STREQ(i.pszGet(), "tea tea tea");
    CTString j("abcABC");
    j.RemplaceI("B", "-", 2);
    EXPECT_STREQ(j.pszGet(), "abcA-C");

    // Results on both sides of the 1024-byte work buffer limit.
    for (size_t n : {1023u, 1024u, 1025u, 3000u}) {
        std::string src(n - 2, '.');
        src += "ab";
        CTString t(src.c_str());
        t.Remplace("ab", "XY");
        std::string attendu(n - 2, '.');
        attendu += "XY";
        EXPECT_EQ(attendu, t.pszGet()) << n;
        ExpectExact(t);
        t.Remplace(".", "..");
        EXPECT_EQ(t.nTaille(), static_cast<long>(2 * (n - 2) + 2));
        ExpectExact(t);
    }
}

TEST(CTString, ReplaceRangeAndCharacters) {
    CTString s("hello world");
    s.Remplace(0, 5, "bye");
    EXPECT_STREQ(s.pszGet(), "bye world");
    s.Remplace(4, 100, "all");  // length clipped to the text
    EXPECT_STREQ(s.pszGet(), "bye all");
    s.Remplace(7, 0, "!");
    EXPECT_STREQ(s.pszGet(), "bye all!");
    s.Remplace(50, 1, "x");
    s.Remplace(-1, 1, "x");
    EXPECT_STREQ(s.pszGet(), "bye all!");
    s.Remplace('l', 'L', 5);
    EXPECT_STREQ(s.pszGet(), "bye aLL!");
    CTString v;
    v.Remplace(0, 0, "x");
    EXPECT_TRUE(v.bEstVide());
    CTString b("a b c");
    b.Insecable();
    EXPECT_STREQ(b.pszGet(), "a\xA0" "b\xA0" "c");
}

TEST(CTString, ShorteningAndPadding) {
    CTString s("abcdef");
    s.Tronque(-1);
    s.Tronque(7);
    EXPECT_STREQ(s.pszGet(), "abcdef");
    s.Tronque(6);
    EXPECT_STREQ(s.pszGet(), "abcdef");
    s.Coupe(10, 1);
    EXPECT_STREQ(s.pszGet(), "abcdef");
    s.Coupe(1, 2);
    EXPECT_STREQ(s.pszGet(), "adef");
    s.Coupe(2, 100);
    EXPECT_STREQ(s.pszGet(), "ad");
    CTString c("abcdef");
    c.Coupe(2, 100);
    EXPECT_STREQ(c.pszGet(), "ab");
    c.Complete(5, '*');
    EXPECT_STREQ(c.pszGet(), "ab***");
    CTString g("abcdefg");
    g.Complete(5, '*');
    EXPECT_STREQ(g.pszGet(), "abcde");
    ExpectExact(g);
    CTString t("abcdef");
    t.TronqueDebut(2);
    EXPECT_STREQ(t.pszGet(), "cdef");
    t.TronqueDebut(100);
    EXPECT_STREQ(t.pszGet(), "");
    CTString r("abc");
    r.Renverse();
    EXPECT_STREQ(r.pszGet(), "cba");
    CTString e("   ");
    e.SansEspace();
    EXPECT_STREQ(e.pszGet(), "");
    CTString e2("ab \t  ");
    e2.SansEspace();
    EXPECT_STREQ(e2.pszGet(), "ab \t");
    CTString w("  \tab c \n");
    w.Trim();
    EXPECT_STREQ(w.pszGet(), "ab c");
    CTString x("xxabxx");
    x.LTrim('x');
    EXPECT_STREQ(x.pszGet(), "abxx");
    x.Trim('x');
    EXPECT_STREQ(x.pszGet(), "ab");
    CTString v;
    v.Complete(3, '*');
    v.Renverse();
    v.Trim();
    v.TronqueDebut(1);
    EXPECT_TRUE(v.bEstVide());
}

TEST(CTString, CaseAndAccentMapping) {
    CTString s("\xE9t\xE9 \xFF" "abc");
    s.Majuscule();
    EXPECT_STREQ(s.pszGet(), "\xC9T\xC9 \x9F" "ABC");
    s.Minuscule();
    EXPECT_STREQ(s.pszGet(), "\xE9t\xE9 \xFF" "abc");
    s.SansAccent();
    EXPECT_STREQ(s.pszGet(), "ete yabc");
    CTString p("a, b-c");
    p.MapStringEx(4);
    EXPECT_STREQ(p.pszGet(), "abc");
    CTString q;
    q.SetStandard("\xC9l\xE8ve");
    EXPECT_STREQ(q.pszGet(), "ELEVE");
    ExpectExact(q);
    q.SetStandard(q.pszGet());
    EXPECT_STREQ(q.pszGet(), "ELEVE");
}

TEST(CTString, NumericValue) {
    EXPECT_EQ(CTString("1fZ").nVal(16, 0, -1), 31);
    EXPECT_EQ(CTString("x12345").nVal(10, 1, 3), 123);
    EXPECT_EQ(CTString("-12").nVal(10), 0);
    EXPECT_EQ(CTString("").nVal(10), 0);
    EXPECT_EQ(CTString("zz").nVal(36), 35 * 36 + 35);
    EXPECT_EQ(CTString("777").nVal(8), 511);
    EXPECT_EQ(CTString("0x1F").nVal(16), 0);
    EXPECT_EQ(CTString("9").nVal(1), 0);
    EXPECT_EQ(CTString("123").nVal(10, 10, 2), 0);
}

TEST(CTString, TemporaryFileNames) {
    CTString a, b;
    a.FichierTemporaire("tqx");
    b.FichierTemporaire("tqx");
    EXPECT_FALSE(a.bEstVide());
    EXPECT_NE(a, b);
    EXPECT_NE(strstr(a.pszGet(), "tqx"), nullptr);
    // At most five characters of the prefix, then six more, in the temporary directory.
    CTString c;
    c.FichierTemporaire("abcdefgh");
    const char* slash = strrchr(c.pszGet(), '/');
    ASSERT_NE(slash, nullptr);
    EXPECT_EQ(strncmp(slash + 1, "abcde", 5), 0);
    EXPECT_EQ(strlen(slash + 1), 11u);
    struct stat st;
    EXPECT_NE(lstat(c.pszGet(), &st), 0) << "the name is free, not created";
}
