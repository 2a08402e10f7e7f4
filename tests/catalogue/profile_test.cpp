#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

class ProfileTest : public ::testing::Test
{
protected:
    QString path() const { return profile.pathOf(kSettingsFile); }
    QString read(const QString &section, const QString &key, const QString &def = {}) const
    {
        return profile.ReadProfile(kSettingsFile, section, key, def);
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
};

TEST_F(ProfileTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt)
{
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Count"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_FALSE(QFile::exists(path()));

    profile.WriteProfile(kSettingsFile, QStringLiteral("Engines"), QStringLiteral("Count"), 3);
    EXPECT_EQ(readBytes(path()), QByteArray("[Engines]\r\nCount=3\r\n"));
}

TEST_F(ProfileTest, ValuesAreCutAt254AndLoseTrailingSpaces)
{
    const QString longValue(300, u'x');
    profile.WriteProfile(kSettingsFile, QStringLiteral("a"), QStringLiteral("long"), longValue);
    writeBytes(path(), readBytes(path()) + "[b]\r\nspaced=\"value   \"\r\n");

    EXPECT_EQ(read(QStringLiteral("a"), QStringLiteral("long")), QString(254, u'x'));
    EXPECT_EQ(read(QStringLiteral("b"), QStringLiteral("spaced")), QStringLiteral("value"));
    EXPECT_EQ(read(QStringLiteral("b"), QStringLiteral("none"), QStringLiteral("default  ")), QStringLiteral("default"));
    // The stored text itself stays whole.
    EXPECT_TRUE(readBytes(path()).contains(QByteArray(300, 'x')));
}

TEST_F(ProfileTest, NamesMatchWithoutRegardToCase)
{
    writeBytes(path(), "[ENGINES]\r\nname1=Alpha\r\n");
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name1")), QStringLiteral("Alpha"));

    profile.WriteProfile(kSettingsFile, QStringLiteral("engines"), QStringLiteral("NAME1"), "Beta");
    EXPECT_EQ(readBytes(path()), QByteArray("[ENGINES]\r\nNAME1=Beta\r\n"));
}

TEST_F(ProfileTest, BooleansAreStoredAsWordsAndReadInEveryForm)
{
    profile.WriteProfile(kSettingsFile, QStringLiteral("e"), QStringLiteral("Active"), true);
    profile.WriteProfile(kSettingsFile, QStringLiteral("e"), QStringLiteral("Off"), false);
    EXPECT_EQ(read(QStringLiteral("e"), QStringLiteral("Active")), QStringLiteral("True"));
    EXPECT_EQ(read(QStringLiteral("e"), QStringLiteral("Off")), QStringLiteral("False"));

    for (const char *yes : {"True", "true", "TRUE", "-1", "1", "7"})
        EXPECT_TRUE(profileBool(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"False", "false", "0", "", "maybe", "0.0"})
        EXPECT_FALSE(profileBool(QString::fromLatin1(no))) << no;
}

TEST_F(ProfileTest, RemovingAMissingSectionLeavesTheFileAsItWas)
{
    const QByteArray original = "[a]\nx=1\n"; // LF only: a rewrite would show as CR LF
    writeBytes(path(), original);
    profile.DeleteProfileSection(kSettingsFile, QStringLiteral("Missing"));
    EXPECT_EQ(readBytes(path()), original);

    profile.DeleteProfileSection(kSettingsFile, QStringLiteral("A"));
    EXPECT_EQ(readBytes(path()), QByteArray());
}

TEST_F(ProfileTest, EngineAndClientOfTheSameNameShareOneSection)
{
    profile.WriteProfile(kSettingsFile, QStringLiteral("lftp"), QStringLiteral("URL"), "http://e/");
    profile.WriteProfile(kSettingsFile, QStringLiteral("LFTP"), QStringLiteral("Location"), "/usr/bin/lftp");
    profile.WriteProfile(kSettingsFile, QStringLiteral("Lftp"), QStringLiteral("QUERY"), "http://e/?q=%s");

    EXPECT_EQ(readBytes(path()), QByteArray("[lftp]\r\nURL=http://e/\r\nLocation=/usr/bin/lftp\r\nQUERY=http://e/?q=%s\r\n"));
    EXPECT_EQ(read(QStringLiteral("LFTP"), QStringLiteral("url")), QStringLiteral("http://e/"));
}

TEST_F(ProfileTest, AFailedWriteChangesNothingAndIsNotReported)
{
    const QByteArray original = "[a]\r\nx=1\r\n";
    writeBytes(path(), original);
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system lets the process write anyway";

    profile.WriteProfile(kSettingsFile, QStringLiteral("a"), QStringLiteral("x"), 2);
    profile.DeleteProfileSection(kSettingsFile, QStringLiteral("a"));
    EXPECT_EQ(readBytes(path()), original);
    EXPECT_EQ(read(QStringLiteral("a"), QStringLiteral("x")), QStringLiteral("1"));
}

TEST_F(ProfileTest, AnUnreadableFileIsNeverReplaced)
{
    // A folder where the file should be: it cannot be read, so nothing may be written over it.
    QDir(dir.path()).mkdir(kSettingsFile);
    profile.WriteProfile(kSettingsFile, QStringLiteral("a"), QStringLiteral("x"), 1);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

} // namespace
