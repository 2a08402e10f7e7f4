#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

TEST(IniDocument, FindsValuesLikeTheClassicReader)
{
    const struct { const char *file, *section, *key, *expected; } cases[] = { // expected nullptr: absent
        {"[ENGINES]\r\nname1=Alpha\r\n", "Engines", "Name1", "Alpha"},
        {"[Engines]\nCount = 4  \n", "engines", "COUNT", "4"},
        {"[ Engines ]\r\n\tCount\t=\t5\r\n", "Engines", "Count", "5"},
        {"[a]\r\nk=\"quoted  \"\r\n", "a", "k", "quoted  "},
        {"[a]\r\nk='x'\r\n", "a", "k", "x"},
        {"[a]\r\nk=\"half\r\n", "a", "k", "\"half"},
        {"[a]\r\nk='mixed\"\r\n", "a", "k", "'mixed\""},
        {"[a]\r\nk=\r\n", "a", "k", ""},
        {"[a]\r\nk=a=b\r\n", "a", "k", "a=b"},
        {"[a]\r\nk=first\r\nk=second\r\n", "a", "k", "first"},
        {"[a]\r\nk=first\r\n[A]\r\nk=second\r\nj=only\r\n", "a", "j", nullptr},
        {"k=outside\r\n[a]\r\n", "a", "k", nullptr},
        {"[a]\r\nkey\r\n", "a", "key", nullptr},
        {"[a]\r\nk=1\r\n", "b", "k", nullptr},
        {"[a]\r\n[b\r\nk=no closing bracket: not a header\r\n", "a", "k", "no closing bracket: not a header"},
        {"[Foo [beta]]\r\nk=v\r\n", "Foo [beta]", "k", "v"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IniDocument::fromBytes(c.file).value(QString::fromLatin1(c.section), QString::fromLatin1(c.key)),
                  c.expected ? std::optional(QString::fromLatin1(c.expected)) : std::nullopt) << c.file;
}

TEST(IniDocument, ReplacesInPlaceAppendsAtTheEndAndRemovesWholeSections)
{
    // LF lines come back with CR LF.
    IniDocument doc = IniDocument::fromBytes("; top\n[One]\r\na=1\r\nb=2\n\r\n[Two]\r\nc=3\r\n");
    doc.setValue(u"one"_s, u"A"_s, u"10"_s);
    doc.setValue(u"One"_s, u"new"_s, u"x"_s);
    doc.setValue(u"Three"_s, u"d"_s, u""_s);
    doc.setValue(u"Two"_s, u"e"_s, u"5"_s);
    EXPECT_EQ(doc.toBytes(), QByteArray("; top\r\n[One]\r\nA=10\r\nb=2\r\nnew=x\r\n\r\n[Two]\r\nc=3\r\ne=5\r\n[Three]\r\nd=\r\n"));
    EXPECT_EQ(doc.value(u"three"_s, u"D"_s), QString());

    // Removing takes the first matching section with all its lines.
    doc = IniDocument::fromBytes("[Engines]\r\nCount=2\r\n; note\r\n\r\n[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n");
    EXPECT_TRUE(doc.removeSection(u"ENGINES"_s));
    EXPECT_EQ(doc.toBytes(), QByteArray("[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n"));
    EXPECT_EQ(doc.value(u"Engines"_s, u"Count"_s), u"9"_s); // the next one of that name is found now
    EXPECT_FALSE(doc.removeSection(u"Missing"_s));
}

TEST(IniDocument, UntouchedLinesKeepEveryByte)
{
    QByteArray garbage;
    for (int b = 0; b < 256; ++b)
        garbage.append(b == '\n' || b == '\r' ? '.' : char(b));
    const QByteArray file = "[a]\r\n" + garbage + "\r\nk=\xe9t\xe9\r\n";
    IniDocument doc = IniDocument::fromBytes(file);
    EXPECT_EQ(doc.toBytes(), file);
    EXPECT_EQ(doc.value(u"a"_s, u"k"_s), QString::fromLatin1("\xe9t\xe9"));
    doc.setValue(u"a"_s, u"k"_s, QString::fromLatin1("\xfc"));
    EXPECT_EQ(doc.toBytes(), "[a]\r\n" + garbage + "\r\nk=\xfc\r\n");
}

} // namespace
