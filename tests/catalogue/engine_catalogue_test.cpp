#include "catalogue/engine_catalogue.h"
#include "catalogue/program_folder.h"
#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/test_files.h"

namespace {

QByteArray catalogue(const QList<EngineRecord> &engines)
{
    QByteArray text = "[Engines]\r\nCount=" + QByteArray::number(engines.size()) + "\r\n";
    for (int i = 0; i < engines.size(); ++i)
        text += "Name" + QByteArray::number(i + 1) + "=" + engines[i].Name.toLatin1() + "\r\n";
    for (const EngineRecord &e : engines) {
        text += "[" + e.Name.toLatin1() + "]\r\nURL=" + e.URL.toLatin1() + "\r\nQUERY=" + e.Query.toLatin1() + "\r\n";
        if (e.Active)
            text += "Active=True\r\n";
    }
    return text;
}

EngineRecord engine(const char *name, bool active = false)
{
    const QString n = QString::fromLatin1(name);
    return {n, QStringLiteral("http://%1/").arg(n), QStringLiteral("http://%1/find?q=%s").arg(n), active};
}

class CatalogueTest : public ::testing::Test
{
protected:
    void write(const QByteArray &bytes) { writeBytes(path(), bytes); }
    QString path() const { return profile.pathOf(kSettingsFile); }
    QString read(const QString &section, const QString &key) const
    {
        return profile.ReadProfile(kSettingsFile, section, key, QStringLiteral("<none>"));
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    NodeTree tree{NodeTree::DisplayMode::CheckBoxes};
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(CatalogueTest, LoadsEnginesInFileOrderWithTemplatesAsKeys)
{
    write(catalogue({engine("A", true), engine("B"), engine("C", true)}));
    tree.add(QStringLiteral("stale"), QStringLiteral("stale"));

    ASSERT_EQ(LoadEngines(tree, profile), 3);
    EXPECT_EQ(tree.text(1), QStringLiteral("A"));
    EXPECT_EQ(tree.text(2), QStringLiteral("B"));
    EXPECT_EQ(tree.text(3), QStringLiteral("C"));
    EXPECT_EQ(tree.key(2), QStringLiteral("http://B/find?q=%s"));
    EXPECT_EQ(tree.tag(2).toString(), QStringLiteral("http://B/"));
    EXPECT_TRUE(tree.checked(1));
    EXPECT_FALSE(tree.checked(2)); // no "Active" key: switched off
    EXPECT_EQ(tree.parentOf(3), 0);
    EXPECT_TRUE(tree.picture(1).isEmpty());
}

TEST_F(CatalogueTest, MissingFileIsAnEmptyCatalogue)
{
    EXPECT_EQ(LoadEngines(tree, profile), 0);
    EXPECT_EQ(SaveActiveFlags(tree, profile), QVector<bool>{false});
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(CatalogueTest, SaveActiveFlagsStoresEachCheckBox)
{
    write(catalogue({engine("A", true), engine("B"), engine("C")}));
    LoadEngines(tree, profile);
    tree.setChecked(1, false);
    tree.setChecked(2, true);

    EXPECT_EQ(SaveActiveFlags(tree, profile), (QVector<bool>{false, false, true, false}));
    EXPECT_EQ(read(QStringLiteral("A"), QStringLiteral("Active")), QStringLiteral("False"));
    EXPECT_EQ(read(QStringLiteral("B"), QStringLiteral("Active")), QStringLiteral("True"));
    EXPECT_EQ(read(QStringLiteral("C"), QStringLiteral("Active")), QStringLiteral("False"));
}

TEST_F(CatalogueTest, FullSaveRewritesTheListAndKeepsOtherSections)
{
    write(catalogue({engine("A"), engine("B"), engine("C"), engine("D"), engine("E")}));
    tree.add(QStringLiteral("http://x/?q=%s"), QStringLiteral("X"));
    tree.setTag(1, QStringLiteral("http://x/"));
    tree.setChecked(1, true);
    tree.add(QStringLiteral("http://y/?q=%s"), QStringLiteral("Y"));

    SaveEngines(tree, false, false, profile);

    const IniDocument doc = profile.snapshot(kSettingsFile);
    EXPECT_EQ(doc.keys(QStringLiteral("Engines")), (QStringList{"Count", "Name1", "Name2"}));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Count")), QStringLiteral("2"));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name2")), QStringLiteral("Y"));
    EXPECT_EQ(read(QStringLiteral("X"), QStringLiteral("QUERY")), QStringLiteral("http://x/?q=%s"));
    EXPECT_EQ(read(QStringLiteral("X"), QStringLiteral("Active")), QStringLiteral("True"));
    EXPECT_EQ(read(QStringLiteral("Y"), QStringLiteral("Active")), QStringLiteral("False"));
    EXPECT_EQ(read(QStringLiteral("C"), QStringLiteral("URL")), QStringLiteral("http://C/"));

    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_EQ(tree.text(1), QStringLiteral("X"));
}

TEST_F(CatalogueTest, MergeSaveWritesTickedNodesAtTheirPositionsOnly)
{
    write(catalogue({engine("A"), engine("B"), engine("C"), engine("D", true), engine("E")}));
    for (const char *name : {"X", "Y", "Z"}) {
        const int n = tree.add(QStringLiteral("http://%1/?q=%s").arg(QLatin1String(name)), QString::fromLatin1(name));
        tree.setTag(n, QStringLiteral("http://%1/").arg(QLatin1String(name)));
        tree.setChecked(n, name[0] != 'Y');
    }

    SaveEngines(tree, true, true, profile);

    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Count")), QStringLiteral("3"));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name1")), QStringLiteral("X"));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name2")), QStringLiteral("B"));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name3")), QStringLiteral("Z"));
    EXPECT_EQ(read(QStringLiteral("Engines"), QStringLiteral("Name4")), QStringLiteral("D"));
    EXPECT_EQ(read(QStringLiteral("Z"), QStringLiteral("URL")), QStringLiteral("http://Z/"));
    EXPECT_EQ(read(QStringLiteral("Y"), QStringLiteral("URL")), QStringLiteral("<none>"));
    EXPECT_EQ(read(QStringLiteral("X"), QStringLiteral("Active")), QStringLiteral("<none>"));
}

TEST_F(CatalogueTest, DoubleClickOpensTheHomePageThroughTheShell)
{
    RecordingShell shell;
    ShellOpen(shell, QStringLiteral("http://engine.example/"));
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://engine.example/")});
}

// A damaged catalogue: the program lists what it can and never changes the file by reading it.
struct BadFile
{
    const char *what;
    QByteArray bytes;
    QStringList names;
};

class BadCatalogue : public CatalogueTest, public ::testing::WithParamInterface<BadFile>
{
};

TEST_P(BadCatalogue, ListsWhatItCanAndLeavesTheFileAlone)
{
    write(GetParam().bytes);
    LoadEngines(tree, profile);
    QStringList names;
    for (int i = 1; i <= tree.count(); ++i)
        names.append(tree.text(i));
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(readBytes(path()), GetParam().bytes);
}

QByteArray twoEngines(const QByteArray &count)
{
    return "[Engines]\r\nCount=" + count + "\r\nName1=A\r\nName2=B\r\n[A]\r\nQUERY=qa %s\r\n[B]\r\nQUERY=qb %s\r\n";
}

QByteArray binaryGarbage()
{
    QByteArray bytes;
    quint32 x = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.append(char(x >> 24));
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadCatalogue,
    ::testing::Values(
        BadFile{"count_not_a_number", twoEngines("lots"), {"A", "B"}},
        BadFile{"count_huge", twoEngines("2147483647000"), {"A", "B"}},
        BadFile{"count_negative", twoEngines("-4"), {}},
        BadFile{"count_below_names", twoEngines("1"), {"A"}},
        BadFile{"missing_names", "[Engines]\r\nCount=4\r\nName2=B\r\nName4=D\r\n[B]\r\nQUERY=b\r\n[D]\r\nQUERY=d\r\n", {"B", "D"}},
        BadFile{"empty_name", "[Engines]\r\nCount=2\r\nName1=\r\nName2=B\r\n", {"B"}},
        BadFile{"odd_name_keys", "[Engines]\r\nCount=3\r\nName01=Z\r\nNamex=Y\r\nname3=C\r\n", {"C"}},
        BadFile{"same_template", "[Engines]\r\nCount=3\r\nName1=A\r\nName2=B\r\nName3=C\r\n[A]\r\nQUERY=same\r\n"
                                 "[B]\r\nQUERY=same\r\n[C]\r\nQUERY=other\r\n", {"A", "C"}},
        BadFile{"binary_garbage", binaryGarbage(), {}},
        BadFile{"garbage_around", binaryGarbage() + "\r\n" + twoEngines("2") + binaryGarbage(), {"A", "B"}},
        BadFile{"ten_megabyte_line", twoEngines("2") + "[A]\r\nx=" + QByteArray(10 * 1024 * 1024, 'z') + "\r\n", {"A", "B"}}),
    [](const ::testing::TestParamInfo<BadFile> &info) { return std::string(info.param.what); });

TEST_F(CatalogueTest, NamesWithBracketsRoundTripAndSavingTwiceChangesNothing)
{
    write(catalogue({engine("Foo [beta]", true), engine("B")}));
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_EQ(tree.key(1), QStringLiteral("http://Foo [beta]/find?q=%s"));
    SaveActiveFlags(tree, profile);
    const QByteArray flagsSaved = readBytes(path());
    SaveActiveFlags(tree, profile);
    EXPECT_EQ(readBytes(path()), flagsSaved);
    SaveEngines(tree, false, false, profile);
    const QByteArray listSaved = readBytes(path());
    SaveEngines(tree, false, false, profile);
    EXPECT_EQ(readBytes(path()), listSaved);
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_TRUE(tree.checked(1));
}

TEST_F(CatalogueTest, AHugeLineSurvivesSavingTheFlags)
{
    const QByteArray big = QByteArray(10 * 1024 * 1024, 'z');
    write(twoEngines("2") + "[Other]\r\nx=" + big + "\r\n");
    LoadEngines(tree, profile);
    tree.setChecked(2, true);
    SaveActiveFlags(tree, profile);
    EXPECT_TRUE(readBytes(path()).contains("\r\nx=" + big + "\r\n"));
    EXPECT_EQ(read(QStringLiteral("B"), QStringLiteral("Active")), QStringLiteral("True"));
}

TEST_F(CatalogueTest, ReadOnlyFolderLoadsAndSavesNothing)
{
    const QByteArray original = catalogue({engine("A", true), engine("B")});
    write(original);
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system lets the process write anyway";

    ASSERT_EQ(LoadEngines(tree, profile), 2);
    tree.setChecked(2, true);
    SaveActiveFlags(tree, profile);
    SaveEngines(tree, false, false, profile);
    EXPECT_EQ(readBytes(path()), original);
}

TEST(ProgramFolder, AnEmptyFolderGetsTheDefaultCatalogueOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    Profile profile(dir.path());
    const QList<EngineRecord> engines = ReadEngines(profile);
    ASSERT_FALSE(engines.isEmpty());
    for (const EngineRecord &e : engines) {
        EXPECT_TRUE(e.Query.contains(QStringLiteral("%s"))) << e.Name.toStdString();
        // Nothing fetches over TLS yet, so such engines must start switched off.
        if (e.Query.startsWith(QStringLiteral("https://"))) {
            EXPECT_FALSE(e.Active) << e.Name.toStdString();
        }
    }

    writeBytes(profile.pathOf(kSettingsFile), "[Engines]\r\nCount=0\r\n");
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    EXPECT_EQ(readBytes(profile.pathOf(kSettingsFile)), QByteArray("[Engines]\r\nCount=0\r\n"));
}

TEST(ProgramFolder, AReadOnlyFolderStartsEmpty)
{
    QTemporaryDir dir;
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system lets the process write anyway";
    EXPECT_FALSE(SeedProgramFolder(dir.path()));
    EXPECT_TRUE(ReadEngines(Profile(dir.path())).isEmpty());
}

} // namespace
