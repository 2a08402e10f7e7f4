#include "catalogue/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

struct ProfileTest : ::testing::Test
{
    QTemporaryDir dir;
    Profile profile{dir.path()};
    const QString path = profile.pathOf(u"p.dat"_s);
};

// What is read, a default too, is cut at 254 characters and loses trailing blanks; what is stored stays whole.
TEST_F(ProfileTest, ReadsValuesAsTheClassicReaderHandsThemOver)
{
    const struct { QString stored, read; } cases[] = {
        {QString(254, u'x'), QString(254, u'x')}, {QString(255, u'x'), QString(254, u'x')}, {u"\"value  \""_s, u"value"_s}, {u"\" \""_s, u""_s},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(profile.WriteProfile(u"p.dat"_s, u"s"_s, u"k"_s, c.stored));
        EXPECT_TRUE(readBytes(path).contains("k=" + c.stored.toLatin1() + "\r\n"));
        EXPECT_EQ(profile.ReadProfile(u"p.dat"_s, u"s"_s, u"k"_s, {}), c.read) << c.stored.toStdString();
    }
    EXPECT_EQ(profile.ReadProfile(u"p.dat"_s, u"s"_s, u"none"_s, QString(255, u'd') + u' '), QString(254, u'd'));
}

TEST(ProfileBool, ReadsTrueFalseInAnyCaseAndNumbers)
{
    for (const char *yes : {"True", "true", " TRUE ", "-1", "1", "7", "0.5"})
        EXPECT_TRUE(profileBool(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"False", "fALSE", "0", "", "maybe", "0.0"})
        EXPECT_FALSE(profileBool(QString::fromLatin1(no))) << no;
}

// LF line ends: a rewrite would show as CR LF.
TEST_F(ProfileTest, DeletingASectionRewritesTheFileOnlyWhenItIsThere)
{
    writeBytes(path, "[a]\nx=1\n");
    EXPECT_TRUE(profile.DeleteProfileSection(u"p.dat"_s, u"Missing"_s));
    EXPECT_EQ(readBytes(path), "[a]\nx=1\n");
    EXPECT_TRUE(profile.DeleteProfileSection(u"p.dat"_s, u"A"_s));
    EXPECT_EQ(readBytes(path), "");
}

// A folder where the file should be cannot be read, so nothing may be written over it.
TEST_F(ProfileTest, NeverWritesOverWhatCannotBeRead)
{
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_FALSE(profile.WriteProfile(u"p.dat"_s, u"a"_s, u"x"_s, "1"));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(ProfileTest, SaysWhenTheFileCannotBeReplaced)
{
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.effective()) GTEST_SKIP() << "this file system lets the process write anyway";
    EXPECT_FALSE(profile.WriteProfile(u"p.dat"_s, u"a"_s, u"x"_s, "1"));
}

} // namespace
