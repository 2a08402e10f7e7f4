#include "platform/ini_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

QString latin1(const char *text) { return QString::fromLatin1(text); }

TEST(IniDocument, FindsValuesLikeTheClassicReader)
{
    const struct { const char *file, *section, *key, *expected; } cases[] = { // expected nullptr: absent
        {"[Engines]\nCount = 4  \n", "engines", "COUNT", "4"}, {"[ Engines ]\r\n\tCount\t=\t5\r\n", "Engines", "Count", "5"},
        {"\n[a]\nk=after a blank first line\n", "a", "k", "after a blank first line"},
        {"[a]\r\nk=\"quoted  \"\r\n", "a", "k", "quoted  "}, {"[a]\r\nk='x'\r\n", "a", "k", "x"},
        {"[a]\r\nk=\"\r\n", "a", "k", "\""}, {"[a]\r\nk='mixed\"\r\n", "a", "k", "'mixed\""}, {"[a]\r\nk=\"\"\r\n", "a", "k", ""},
        {"[a]\r\nk=a=b\r\n", "a", "k", "a=b"}, {"[a]\r\nk=first\r\n[A]\r\nk=second\r\nj=only\r\n", "a", "j", nullptr},
        {"[a]\r\nkey\r\n", "a", "key", nullptr}, {"[a]\r\nk=1\r\n", "b", "k", nullptr},
        {"[a]\r\n[b\r\nk=no closing bracket: not a header\r\n", "a", "k", "no closing bracket: not a header"},
        {"[Foo [beta]]\r\nk=v\r\n", "Foo [beta]", "k", "v"}, {"[\xc9t\xc9]\r\nK=v\r\n", "\xe9t\xe9", "k", "v"}};
    for (const auto &c : cases)
        EXPECT_EQ(IniDocument::fromBytes(c.file).value(latin1(c.section), latin1(c.key)),
                  c.expected ? std::optional(latin1(c.expected)) : std::nullopt) << c.file;
}

TEST(IniDocument, SetValueReplacesInPlaceOrAppends)
{
    struct Set { const char *section, *key, *value; };
    const struct { const char *name, *file; std::vector<Set> sets; const char *expected; } cases[] = {
        {"ReplacesTheFirstKeyWithoutCase", "[One]\r\na=1\r\nA=2\r\n", {{"one", "A", "10"}}, "[One]\r\nA=10\r\nA=2\r\n"},
        {"AppendsAfterTheSectionsLastLine", "; top\n[One]\r\na=1\r\n\r\n\r\n[Two]\r\nb=2", {{"One", "new", "x"}},
         "; top\r\n[One]\r\na=1\r\nnew=x\r\n\r\n\r\n[Two]\r\nb=2\r\n"},
        {"AppendsRightAfterAHeaderFollowedByBlanks", "[a]\r\n\r\n\r\n[b]\r\n", {{"a", "k", "v"}}, "[a]\r\nk=v\r\n\r\n\r\n[b]\r\n"},
        {"AppendsANewSectionAtTheEnd", "\nk=1\r\n[a]\r\n", {{"b", "k", ""}}, "\r\nk=1\r\n[a]\r\n[b]\r\nk=\r\n"},
        {"StartsAnEmptyDocument", "", {{"S", "k", "v"}}, "[S]\r\nk=v\r\n"},
        {"KeepsUntouchedLinesByteForByte", "[a]\r\n\x01\x7f\x80\xff\t [x] ;= \"'\r\nk=\xe9\r\n", {{"a", "k", "\xfc"}},
         "[a]\r\n\x01\x7f\x80\xff\t [x] ;= \"'\r\nk=\xfc\r\n"},
        {"FindsAppendedSectionsAndKeysAgain", "", {{"New", "d", "1"}, {"NEW", "e", "2"}, {"new", "D", "3"}, {"new", "E", "4"}},
         "[New]\r\nD=3\r\nE=4\r\n"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        IniDocument doc = IniDocument::fromBytes(c.file);
        for (const Set &set : c.sets) doc.setValue(latin1(set.section), latin1(set.key), latin1(set.value));
        EXPECT_EQ(doc.toBytes(), QByteArray(c.expected));
        EXPECT_EQ(doc.value(latin1(c.sets.back().section), latin1(c.sets.back().key)), latin1(c.sets.back().value));
    }
}

// Short sections are read line by line, long ones through a key table: both find a key's first line
// whatever its letter case, also once setValue has made a short section long.
TEST(IniDocument, ShortAndLongSectionsFindTheFirstLineOfAKey)
{
    for (const int keys : {3, 15, 16, 17, 40}) {
        SCOPED_TRACE(keys);
        QByteArray text = "[S]\r\nDup=first\r\n";
        for (int k = 0; k < keys; ++k) text += "k" + QByteArray::number(k) + "=" + QByteArray::number(k) + "\r\n";
        text += "DUP=second\r\n[T]\r\nk0=other\r\n";
        IniDocument document = IniDocument::fromBytes(text);
        EXPECT_EQ(document.value("s", "dup"), "first");
        EXPECT_EQ(document.value("S", "K" + QString::number(keys - 1)), QString::number(keys - 1));
        EXPECT_EQ(document.value("T", "k0"), "other");
        document.setValue("S", "dUp", "changed");
        for (int k = keys; k < keys + 20; ++k) document.setValue("S", "k" + QString::number(k), "n");
        document.setValue("S", "K3", "three");
        EXPECT_EQ(document.value("S", "dup"), "changed");
        EXPECT_EQ(document.value("S", "k3"), "three");
        EXPECT_EQ(document.value("S", "k" + QString::number(keys + 19)), "n");
        EXPECT_EQ(document.value("S", "missing"), std::nullopt);
        EXPECT_EQ(QString::fromLatin1(document.toBytes()).count("DUP=second"), 1) << "the second line of a key is kept as it was";
    }
}

TEST(IniDocument, RemoveSectionTakesTheFirstMatchWithAllItsLines)
{
    IniDocument doc = IniDocument::fromBytes("[Engines]\r\nCount=2\r\n; note\r\n\r\n[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n");
    EXPECT_TRUE(doc.removeSection(u"ENGINES"_s));
    EXPECT_EQ(doc.toBytes(), QByteArray("[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n"));
    EXPECT_EQ(doc.value(u"Engines"_s, u"Count"_s), u"9"_s); // the next one of that name is found now
    EXPECT_FALSE(doc.removeSection(u"Missing"_s));
}

TEST(IniDocument, KeysAreListedInFileOrderOfTheFirstSection)
{
    const IniDocument doc = IniDocument::fromBytes("[a]\r\nk=1\r\n; c\r\n J = 2\r\n[A]\r\nz=3\r\n");
    EXPECT_EQ(doc.keys(u"A"_s), (QStringList{u"k"_s, u"J"_s}));
    EXPECT_TRUE(doc.keys(u"b"_s).isEmpty() && doc.hasSection(u"a"_s) && !doc.hasSection(u"b"_s));
}

// A missing file reads as empty; writing replaces the whole file, or fails and says why.
TEST(IniFile, WritingReplacesTheWholeFileOrReportsWhyNot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.dat"_s);
    EXPECT_TRUE(readIniFile(path).toBytes().isEmpty());
    writeBytes(path, "[old]\r\nlonger=than the new text\r\n");
    ASSERT_TRUE(writeIniFile(path, IniDocument::fromBytes("[a]\nk=v")));
    EXPECT_EQ(readIniFile(path).toBytes(), QByteArray("[a]\r\nk=v\r\n"));
    QString reason;
    EXPECT_TRUE(!writeIniFile(dir.filePath(u"missing/settings.dat"_s), IniDocument::fromBytes("[a]\r\n"), &reason) && !reason.isEmpty());
}

} // namespace
