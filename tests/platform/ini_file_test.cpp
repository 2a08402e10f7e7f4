#include "platform/ini_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

IniDocument parse(const char *text)
{
    return IniDocument::fromBytes(QByteArray(text));
}

struct ReadCase
{
    const char *file;
    const char *section;
    const char *key;
    std::optional<const char *> expected;
};

class IniRead : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(IniRead, FindsValuesLikeTheClassicReader)
{
    const ReadCase &c = GetParam();
    const auto value = parse(c.file).value(QString::fromLatin1(c.section), QString::fromLatin1(c.key));
    if (!c.expected) {
        EXPECT_FALSE(value.has_value());
        return;
    }
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, QString::fromLatin1(*c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(
        ReadCase{"[Engines]\r\nCount=3\r\n", "Engines", "Count", "3"},
        ReadCase{"[ENGINES]\r\nname1=Alpha\r\n", "Engines", "Name1", "Alpha"},
        ReadCase{"[Engines]\nCount = 4  \n", "engines", "COUNT", "4"},
        ReadCase{"[ Engines ]\r\n\tCount\t=\t5\r\n", "Engines", "Count", "5"},
        ReadCase{"[a]\r\nk=\"quoted  \"\r\n", "a", "k", "quoted  "},
        ReadCase{"[a]\r\nk='x'\r\n", "a", "k", "x"},
        ReadCase{"[a]\r\nk=\"half\r\n", "a", "k", "\"half"},
        ReadCase{"[a]\r\nk='mixed\"\r\n", "a", "k", "'mixed\""},
        ReadCase{"[a]\r\nk=\r\n", "a", "k", ""},
        ReadCase{"[a]\r\nk=a=b\r\n", "a", "k", "a=b"},
        ReadCase{"[a]\r\nk=first\r\nk=second\r\n", "a", "k", "first"},
        ReadCase{"[a]\r\nk=first\r\n[A]\r\nk=second\r\nj=only\r\n", "a", "j", std::nullopt},
        ReadCase{"k=outside\r\n[a]\r\n", "a", "k", std::nullopt},
        ReadCase{"[a]\r\nkey\r\n", "a", "key", std::nullopt},
        ReadCase{"[a]\r\n", "b", "k", std::nullopt},
        ReadCase{"", "a", "k", std::nullopt},
        ReadCase{"[a]\r\n[b\r\nk=no closing bracket: not a header\r\n", "a", "k", "no closing bracket: not a header"},
        ReadCase{"[Foo [beta]]\r\nk=v\r\n", "Foo [beta]", "k", "v"}));

TEST(IniWrite, ReplacesInPlaceAppendsKeysToTheirSectionAndSectionsToTheEnd)
{
    IniDocument doc = parse("; top\r\n[One]\r\na=1\r\nb=2\r\n\r\n[Two]\r\nc=3\r\n");
    doc.setValue(QStringLiteral("one"), QStringLiteral("A"), QStringLiteral("10"));
    doc.setValue(QStringLiteral("One"), QStringLiteral("new"), QStringLiteral("x"));
    doc.setValue(QStringLiteral("Three"), QStringLiteral("d"), QStringLiteral(""));
    doc.setValue(QStringLiteral("Two"), QStringLiteral("e"), QStringLiteral("5"));

    EXPECT_EQ(doc.toBytes(), QByteArray("; top\r\n[One]\r\nA=10\r\nb=2\r\nnew=x\r\n\r\n[Two]\r\nc=3\r\ne=5\r\n"
                                        "[Three]\r\nd=\r\n"));
    EXPECT_EQ(doc.value(QStringLiteral("three"), QStringLiteral("D")), QString());
    EXPECT_EQ(doc.keys(QStringLiteral("ONE")), (QStringList{"A", "b", "new"}));
}

TEST(IniWrite, RemovesTheFirstMatchingSectionWithAllItsLines)
{
    IniDocument doc = parse("[Engines]\r\nCount=2\r\n; note\r\n\r\n[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n");
    EXPECT_TRUE(doc.removeSection(QStringLiteral("ENGINES")));
    EXPECT_EQ(doc.toBytes(), QByteArray("[Keep]\r\nx=1\r\n[engines]\r\nCount=9\r\n"));
    // The next section of the same name is found now.
    EXPECT_EQ(doc.value(QStringLiteral("Engines"), QStringLiteral("Count")), QStringLiteral("9"));
    EXPECT_FALSE(doc.removeSection(QStringLiteral("Missing")));
}

TEST(IniWrite, UntouchedLinesKeepEveryByte)
{
    QByteArray garbage;
    for (int b = 0; b < 256; ++b) {
        if (b != '\n' && b != '\r')
            garbage.append(char(b));
    }
    const QByteArray file = "[a]\r\n" + garbage + "\r\nk=\xe9t\xe9\r\n";
    IniDocument doc = IniDocument::fromBytes(file);
    EXPECT_EQ(doc.toBytes(), file);
    EXPECT_EQ(doc.value(QStringLiteral("a"), QStringLiteral("k")), QString::fromLatin1("\xe9t\xe9"));

    doc.setValue(QStringLiteral("a"), QStringLiteral("k"), QString::fromLatin1("\xfc"));
    EXPECT_EQ(doc.toBytes(), "[a]\r\n" + garbage + "\r\nk=\xfc\r\n");
}

TEST(IniWrite, LfFilesComeBackWithCrLf)
{
    IniDocument doc = parse("[a]\nk=1\n");
    EXPECT_EQ(doc.toBytes(), QByteArray("[a]\r\nk=1\r\n"));
}

TEST(IniFile, WritesAtomicallyAndReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.dat"));
    EXPECT_EQ(readIniFile(path).toBytes(), QByteArray()); // missing file reads as empty

    IniDocument doc = readIniFile(path);
    doc.setValue(QStringLiteral("Engines"), QStringLiteral("Count"), QStringLiteral("0"));
    ASSERT_TRUE(writeIniFile(path, doc));
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\nCount=0\r\n"));

    EXPECT_FALSE(writeIniFile(dir.filePath(QStringLiteral("no/such/folder/x.dat")), doc));
}

} // namespace
