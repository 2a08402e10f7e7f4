#include "catalogue/engine_catalogue.h"
#include "catalogue/program_folder.h"
#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// A catalogue of these engines in this order, each with its home page and template; the `active`
// ones with "Active=True", the others with no "Active" at all.
QByteArray catalogue(const QList<QByteArray> &names, const QList<QByteArray> &active = {})
{
    QByteArray list = "[Engines]\r\nCount=" + QByteArray::number(names.size()) + "\r\n", sections;
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray &n = names[i];
        list += "Name" + QByteArray::number(i + 1) + "=" + n + "\r\n";
        sections += "[" + n + "]\r\nURL=http://" + n + "/\r\nQUERY=http://" + n + "/find?q=%s\r\n";
        sections += active.contains(n) ? "Active=True\r\n" : "";
    }
    return list + sections;
}

class CatalogueTest : public ::testing::Test
{
protected:
    void write(const QByteArray &bytes) { writeBytes(path, bytes); }
    QString read(const QString &section, const QString &key, const QString &def = u"<none>"_s) const
    {
        return profile.ReadProfile(kSettingsFile, section, key, def);
    }
    void store(const QString &section, const QString &key, const char *v) { profile.WriteProfile(kSettingsFile, section, key, v); }
    void add(const QString &name, bool ticked)
    {
        const int n = tree.add(u"http://%1/?q=%s"_s.arg(name), name);
        tree.setTag(n, u"http://%1/"_s.arg(name));
        tree.setChecked(n, ticked);
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    const QString path = profile.pathOf(kSettingsFile);
    NodeTree tree{NodeTree::DisplayMode::CheckBoxes};
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(CatalogueTest, ProfileReadsAndWritesLikeTheClassicFunctions)
{
    EXPECT_EQ(read("Engines", "Count", "0"), u"0"_s);
    profile.WriteProfile(kSettingsFile, u"Engines"_s, u"Count"_s, 3);
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\nCount=3\r\n"));

    // Names in any letter case meet in one section: an engine and a client of the same name too.
    store("ENGINES", "count", "4");
    store("lftp", "URL", "http://e/");
    store("LFTP", "Location", "/usr/bin/lftp");
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\ncount=4\r\n[lftp]\r\nURL=http://e/\r\nLocation=/usr/bin/lftp\r\n"));
    EXPECT_EQ(read("Lftp", "url"), u"http://e/"_s);

    // What is read is cut at 254 characters and loses trailing spaces; what is stored stays whole.
    profile.WriteProfile(kSettingsFile, u"a"_s, u"long"_s, QString(300, u'x'));
    store("a", "spaced", "\"value   \"");
    EXPECT_EQ(read("a", "long"), QString(254, u'x'));
    EXPECT_EQ(read("a", "spaced"), u"value"_s);
    EXPECT_EQ(read("a", "none", "default  "), u"default"_s);
    EXPECT_TRUE(readBytes(path).contains("long=" + QByteArray(300, 'x') + "\r\n"));

    for (const char *yes : {"True", "true", "TRUE", "-1", "1", "7"})
        EXPECT_TRUE(profileBool(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"False", "false", "0", "", "maybe", "0.0"})
        EXPECT_FALSE(profileBool(QString::fromLatin1(no))) << no;

    // A file is rewritten only for a change, and never when it cannot be read.
    const QByteArray original = "[a]\nx=1\n"; // LF only: a rewrite would show as CR LF
    write(original);
    profile.DeleteProfileSection(kSettingsFile, u"Missing"_s);
    EXPECT_EQ(readBytes(path), original);
    profile.DeleteProfileSection(kSettingsFile, u"A"_s);
    EXPECT_EQ(readBytes(path), QByteArray());

    // A folder where the file should be cannot be read, so nothing may be written over it.
    QDir(dir.path()).mkdir(u"x.dat"_s);
    profile.WriteProfile(u"x.dat"_s, u"a"_s, u"x"_s, "1");
    EXPECT_TRUE(QFileInfo(profile.pathOf(u"x.dat"_s)).isDir());
}

TEST_F(CatalogueTest, LoadsInFileOrderWithTemplatesAsKeysAndSavesTheCheckBoxes)
{
    // No file: an empty catalogue, and reading makes none.
    EXPECT_EQ(LoadEngines(tree, profile), 0);
    EXPECT_EQ(SaveActiveFlags(tree, profile), QVector<bool>{false});
    EXPECT_FALSE(QFile::exists(path));

    write(catalogue({"A", "B", "C"}, {"A", "C"}));
    tree.add(u"stale"_s, u"stale"_s);
    ASSERT_EQ(LoadEngines(tree, profile), 3);
    EXPECT_EQ((QStringList{tree.text(1), tree.text(2), tree.text(3)}), (QStringList{"A", "B", "C"}));
    EXPECT_EQ((QStringList{tree.key(2), tree.tag(2).toString()}), (QStringList{"http://B/find?q=%s", "http://B/"}));
    EXPECT_EQ(ActiveFlags(tree), (QVector<bool>{false, true, false, true}));
    EXPECT_TRUE(tree.picture(1).isEmpty());

    tree.setChecked(1, false);
    tree.setChecked(2, true);
    EXPECT_EQ(SaveActiveFlags(tree, profile), (QVector<bool>{false, false, true, true}));
    EXPECT_EQ((QStringList{read("A", "Active"), read("B", "Active"), read("C", "Active")}),
              (QStringList{"False", "True", "True"}));
}

TEST_F(CatalogueTest, FullSaveRewritesTheListAndMergeSaveOnlyTheTickedPositions)
{
    write(catalogue({"A", "B", "C", "D", "E"}, {"B"}));
    add(u"X"_s, true);
    add(u"B"_s, false);
    SaveEngines(tree, false, false, profile);
    EXPECT_EQ(profile.snapshot(kSettingsFile).keys(u"Engines"_s), (QStringList{"Count", "Name1", "Name2"}));
    EXPECT_EQ((QStringList{read("Engines", "Count"), read("Engines", "Name1"), read("Engines", "Name2")}),
              (QStringList{"2", "X", "B"}));
    EXPECT_EQ((QStringList{read("X", "URL"), read("X", "QUERY"), read("X", "Active"), read("B", "Active")}),
              (QStringList{"http://X/", "http://X/?q=%s", "True", "False"}));
    EXPECT_EQ(read("C", "URL"), u"http://C/"_s);

    // Merging writes the ticked nodes at their positions, and no "Active".
    write(catalogue({"A", "B", "C", "D", "E"}, {"D"}));
    tree.clear();
    add(u"X"_s, true);
    add(u"Y"_s, false);
    add(u"Z"_s, true);
    SaveEngines(tree, true, true, profile);
    EXPECT_EQ((QStringList{read("Engines", "Count"), read("Engines", "Name1"), read("Engines", "Name2"),
                           read("Engines", "Name3"), read("Engines", "Name4")}),
              (QStringList{"3", "X", "B", "Z", "D"}));
    EXPECT_EQ((QStringList{read("Z", "URL"), read("Z", "QUERY"), read("Y", "URL"), read("X", "Active")}),
              (QStringList{"http://Z/", "http://Z/?q=%s", "<none>", "<none>"}));
}

TEST_F(CatalogueTest, ADamagedFileListsWhatItCanAndIsNeverChangedByReading)
{
    const auto twoEngines = [](const QByteArray &count) {
        return "[Engines]\r\nCount=" + count + "\r\nName1=A\r\nName2=B\r\n[A]\r\nQUERY=qa %s\r\n[B]\r\nQUERY=qb %s\r\n";
    };
    QByteArray garbage;
    for (quint32 i = 0, x = 12345; i < 64 * 1024; ++i)
        garbage.append(char((x = x * 1103515245u + 12345u) >> 24));
    const struct { const char *what; QByteArray bytes; QStringList names; } cases[] = {
        {"count not a number", twoEngines("lots"), {"A", "B"}},
        {"count huge", twoEngines("2147483647000"), {"A", "B"}},
        {"count negative", twoEngines("-4"), {}},
        {"count below the names", twoEngines("1"), {"A"}},
        {"missing names", "[Engines]\r\nCount=4\r\nName2=B\r\nName4=D\r\n[B]\r\nQUERY=b\r\n[D]\r\nQUERY=d\r\n", {"B", "D"}},
        {"empty name", "[Engines]\r\nCount=2\r\nName1=\r\nName2=B\r\n", {"B"}},
        {"odd name keys", "[Engines]\r\nCount=3\r\nName01=Z\r\nNamex=Y\r\nname3=C\r\n", {"C"}},
        {"same template", "[Engines]\r\nCount=3\r\nName1=A\r\nName2=B\r\nName3=C\r\n[A]\r\nQUERY=same\r\n"
                          "[B]\r\nQUERY=same\r\n[C]\r\nQUERY=other\r\n", {"A", "C"}},
        {"binary garbage", garbage, {}},
        {"garbage around", garbage + "\r\n" + twoEngines("2") + garbage, {"A", "B"}},
        {"ten megabyte line", twoEngines("2") + "[A]\r\nx=" + QByteArray(10 * 1024 * 1024, 'z') + "\r\n", {"A", "B"}},
    };
    for (const auto &c : cases) {
        write(c.bytes);
        QStringList names;
        for (const EngineRecord &e : ReadEngines(profile))
            names << e.Name;
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_EQ(readBytes(path), c.bytes) << c.what;
    }
}

TEST_F(CatalogueTest, SavingTwiceChangesNothingAndKeepsBracketedNamesAndHugeLines)
{
    const QByteArray huge = "[Other]\r\nx=" + QByteArray(10 * 1024 * 1024, 'z') + "\r\n";
    write(catalogue({"Foo [beta]", "B"}, {"Foo [beta]"}) + huge);
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_EQ(tree.key(1), u"http://Foo [beta]/find?q=%s"_s);
    tree.setChecked(2, true);
    for (const auto &save : {std::function([&] { SaveActiveFlags(tree, profile); }),
                             std::function([&] { SaveEngines(tree, false, false, profile); })}) {
        save();
        const QByteArray once = readBytes(path);
        save();
        EXPECT_EQ(readBytes(path), once);
        EXPECT_TRUE(once.contains(huge));
    }
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_EQ(ActiveFlags(tree), (QVector<bool>{false, true, true}));
}

TEST_F(CatalogueTest, AReadOnlyFolderIsReadButNeverChanged)
{
    const QByteArray original = catalogue({"A", "B"}, {"A"});
    write(original);
    const QString empty = dir.filePath(u"empty"_s);
    QDir().mkpath(empty);
    ReadOnlyFolder readOnly(dir.path()), emptyReadOnly(empty);
    if (!readOnly.effective() || !emptyReadOnly.effective())
        GTEST_SKIP() << "this file system lets the process write anyway";
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    tree.setChecked(2, true);
    SaveActiveFlags(tree, profile);
    SaveEngines(tree, false, false, profile);
    EXPECT_EQ(readBytes(path), original);
    EXPECT_FALSE(SeedProgramFolder(empty));
    EXPECT_TRUE(ReadEngines(Profile(empty)).isEmpty());
}

TEST_F(CatalogueTest, AnEmptyProgramFolderGetsTheDefaultCatalogueOnce)
{
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    ASSERT_FALSE(ReadEngines(profile).isEmpty());
    for (const EngineRecord &e : ReadEngines(profile)) {
        EXPECT_TRUE(e.Query.contains(u"%s"_s)) << e.Name.toStdString();
        // Nothing fetches over TLS yet, so such engines must start switched off.
        EXPECT_FALSE(e.Active && e.Query.startsWith(u"https://"_s)) << e.Name.toStdString();
    }
    write("[Engines]\r\nCount=0\r\n");
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\nCount=0\r\n"));
}

// A seeding cut short must leave a folder that the next start seeds again: settings.dat comes
// only after every template.
TEST_F(CatalogueTest, SettingsDatIsSeededOnlyOnceEveryTemplateIsThere)
{
    const QString lftp = dir.filePath(u"lftp.scr"_s);
    // A template that cannot be written: a link into a folder that does not exist.
    ASSERT_TRUE(QFile::link(dir.filePath(u"no/such/folder"_s), lftp));
    EXPECT_FALSE(SeedProgramFolder(dir.path()));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"lftp in terminal.scr"_s)));

    ASSERT_TRUE(QFile::remove(lftp));
    writeBytes(dir.filePath(u"lftp in terminal.scr"_s), "mine");
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    EXPECT_TRUE(readBytes(lftp).contains("open "));
    EXPECT_EQ(readBytes(dir.filePath(u"lftp in terminal.scr"_s)), QByteArray("mine")); // never replaced
    EXPECT_FALSE(ReadEngines(profile).isEmpty());
}

TEST_F(CatalogueTest, ACatalogueThatCannotBeReadSaysWhy)
{
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] {}, u"is missing"_s},
        {[&] { QDir().mkpath(path); }, u"is a folder"_s},
        {[&] { write("[Engines]\rCount=1\rName1=A\r[A]\rQUERY=http://a/?q=%s\r"); }, u"CR alone"_s},
        {[&] { write(catalogue({"A"}, {"A"})); }, QString()},
        {[&] { write(""); }, QString()}, // readable, and lists no engine: not this function's to say
        {[&] { write("[Engines]\nCount=1\rName1=A\n"); }, QString()},
    };
    for (const auto &[arrange, problem] : cases) {
        QFile::remove(path);
        QDir(path).removeRecursively();
        arrange();
        const QString found = CatalogueProblem(profile);
        EXPECT_EQ(found.isEmpty(), problem.isEmpty()) << found.toStdString();
        EXPECT_TRUE(found.contains(problem) && (problem.isEmpty() || found.contains(path))) << found.toStdString();
    }
}

} // namespace
