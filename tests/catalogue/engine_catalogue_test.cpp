#include "catalogue/engine_catalogue.h"
#include "catalogue/program_folder.h"
#include "platform/node_tree.h"

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
    QList<CatalogueEngine> engines;
    for (const QByteArray &n : names)
        engines.append({n, "http://" + n + "/find?q=%s", active.contains(n) ? "True" : "", "http://" + n + "/"});
    return catalogueText(engines);
}

class CatalogueTest : public ::testing::Test
{
protected:
    void write(const QByteArray &bytes) { writeBytes(path, bytes); }
    // The values at these "section/key" places joined by "|", `def` for a missing one.
    QString read(const QStringList &places, const QString &def = u"<none>"_s) const
    {
        QStringList values;
        for (const QString &place : places)
            values << profile.ReadProfile(kSettingsFile, place.section(u'/', 0, 0), place.section(u'/', 1), def);
        return values.join(u'|');
    }
    // Nodes as the window makes them, ticked or not.
    void add(const QList<std::pair<QString, bool>> &nodes)
    {
        for (const auto &[name, ticked] : nodes) {
            const int n = tree.add(u"http://%1/?q=%s"_s.arg(name), name);
            tree.setTag(n, u"http://%1/"_s.arg(name));
            tree.setChecked(n, ticked);
        }
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    const QString path = profile.pathOf(kSettingsFile);
    NodeTree tree{NodeTree::DisplayMode::CheckBoxes};
};

TEST_F(CatalogueTest, ProfileReadsAndWritesLikeTheClassicFunctions)
{
    EXPECT_TRUE(profile.WriteProfile(kSettingsFile, u"Engines"_s, u"Count"_s, 3));
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\nCount=3\r\n"));
    // What is read is cut at 254 characters and loses trailing spaces; what is stored stays whole.
    profile.WriteProfile(kSettingsFile, u"a"_s, u"long"_s, QString(300, u'x'));
    profile.WriteProfile(kSettingsFile, u"a"_s, u"spaced"_s, "\"value   \"");
    EXPECT_EQ(read({"a/long", "a/spaced", "a/none"}, u"default  "_s), QString(254, u'x') + u"|value|default"_s);
    EXPECT_TRUE(readBytes(path).contains("long=" + QByteArray(300, 'x') + "\r\n"));

    for (const char *yes : {"True", "true", "TRUE", "-1", "1", "7"})
        EXPECT_TRUE(profileBool(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"False", "false", "0", "", "maybe", "0.0"})
        EXPECT_FALSE(profileBool(QString::fromLatin1(no))) << no;

    // A file is rewritten only for a change, and never when it cannot be read.
    const QByteArray original = "[a]\nx=1\n"; // LF only: a rewrite would show as CR LF
    write(original);
    EXPECT_TRUE(profile.DeleteProfileSection(kSettingsFile, u"Missing"_s));
    EXPECT_EQ(readBytes(path), original);
    EXPECT_TRUE(profile.DeleteProfileSection(kSettingsFile, u"A"_s));
    EXPECT_TRUE(readBytes(path).isEmpty());
    // A folder where the file should be cannot be read, so nothing may be written over it.
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"x.dat"_s));
    EXPECT_FALSE(profile.WriteProfile(u"x.dat"_s, u"a"_s, u"x"_s, "1"));
    EXPECT_TRUE(QFileInfo(profile.pathOf(u"x.dat"_s)).isDir());
}

TEST_F(CatalogueTest, LoadsInFileOrderWithTemplatesAsKeysAndSavesTheCheckBoxes)
{
    // Saving an empty list must not make a file.
    EXPECT_TRUE(LoadEngines(tree, profile) == 0 && SaveActiveFlags(tree, profile) == QVector<bool>{false});
    EXPECT_FALSE(QFile::exists(path));
    write(catalogue({"A", "B", "C"}, {"A"}));
    tree.add(u"stale"_s, u"stale"_s);
    ASSERT_EQ(LoadEngines(tree, profile), 3);
    EXPECT_EQ((QStringList{tree.text(1), tree.text(2), tree.text(3), tree.key(2), tree.tag(2).toString()}),
              (QStringList{"A", "B", "C", "http://B/find?q=%s", "http://B/"}));
    EXPECT_EQ(ActiveFlags(tree), (QVector<bool>{false, true, false, false}));
    tree.setChecked(1, false);
    tree.setChecked(3, true);
    EXPECT_EQ(SaveActiveFlags(tree, profile), (QVector<bool>{false, false, false, true}));
    // Element 0 is no engine: no section without a name.
    EXPECT_EQ(read({"A/Active", "B/Active", "C/Active", "/Active"}), u"False|False|True|<none>"_s);
}

TEST_F(CatalogueTest, FullSaveRewritesTheListAndMergeSaveOnlyTheTickedPositions)
{
    write(catalogue({"A", "B", "C", "D", "E"}, {"B"}));
    add({{u"X"_s, true}, {u"B"_s, false}});
    EXPECT_TRUE(SaveEngines(tree, SaveScope::WholeList, profile));
    EXPECT_EQ(profile.snapshot(kSettingsFile).keys(u"Engines"_s), (QStringList{"Count", "Name1", "Name2"}));
    EXPECT_EQ(read({"Engines/Count", "Engines/Name1", "Engines/Name2", "X/URL", "X/QUERY", "X/Active", "B/Active", "C/URL"}),
              u"2|X|B|http://X/|http://X/?q=%s|True|False|http://C/"_s);

    // Merging writes the ticked nodes at their positions, and no "Active".
    write(catalogue({"A", "B", "C", "D", "E"}, {"D"}));
    tree.clear();
    add({{u"X"_s, true}, {u"Y"_s, false}, {u"Z"_s, true}});
    EXPECT_TRUE(SaveEngines(tree, SaveScope::TickedMerge, profile));
    EXPECT_EQ(read({"Engines/Count", "Engines/Name1", "Engines/Name2", "Engines/Name3", "Engines/Name4", "Z/URL", "Z/QUERY",
                    "Y/URL", "X/Active"}),
              u"3|X|B|Z|D|http://Z/|http://Z/?q=%s|<none>|<none>"_s);
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
        {"count negative", twoEngines("-4"), {}},
        {"count below the names", twoEngines("1"), {"A"}},
        {"missing names", "[Engines]\r\nCount=4\r\nName2=B\r\nName4=D\r\n[B]\r\nQUERY=b\r\n[D]\r\nQUERY=d\r\n", {"B", "D"}},
        {"empty name", "[Engines]\r\nCount=2\r\nName1=\r\nName2=B\r\n", {"B"}},
        {"odd name keys", "[Engines]\r\nCount=3\r\nName0=W\r\nName01=Z\r\nNamex=Y\r\nname3=C\r\n", {"C"}},
        {"same template", "[Engines]\r\nCount=3\r\nName1=A\r\nName2=B\r\nName3=C\r\n[A]\r\nQUERY=same\r\n"
                          "[B]\r\nQUERY=same\r\n[C]\r\nQUERY=other\r\n", {"A", "C"}},
        {"garbage around", garbage + "\r\n" + twoEngines("2") + garbage, {"A", "B"}},
        {"ten megabyte line", twoEngines("2") + "[A]\r\nx=" + QByteArray(10 * 1024 * 1024, 'z') + "\r\n", {"A", "B"}},
    };
    for (const auto &c : cases) {
        write(c.bytes);
        QStringList names;
        for (const EngineRecord &e : ReadEngines(profile))
            names << e.Name;
        EXPECT_TRUE(names == c.names && readBytes(path) == c.bytes) << c.what << ": " << names.join(u',').toStdString();
    }
}

TEST_F(CatalogueTest, SavingTwiceChangesNothingAndKeepsBracketedNamesAndHugeLines)
{
    const QByteArray huge = "[Other]\r\nx=" + QByteArray(10 * 1024 * 1024, 'z') + "\r\n";
    write(catalogue({"Foo [beta]", "B"}, {"Foo [beta]"}) + huge);
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    tree.setChecked(2, true);
    for (const auto &save : {std::function([&] { SaveActiveFlags(tree, profile); }),
                             std::function([&] { SaveEngines(tree, SaveScope::WholeList, profile); })}) {
        save();
        const QByteArray once = readBytes(path);
        save();
        EXPECT_TRUE(readBytes(path) == once && once.contains(huge));
    }
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    EXPECT_EQ(ActiveFlags(tree), (QVector<bool>{false, true, true}));
}

TEST_F(CatalogueTest, AReadOnlyFolderIsReadButNeverChanged)
{
    const QByteArray original = catalogue({"A", "B"}, {"A"});
    write(original);
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.effective())
        GTEST_SKIP() << "this file system lets the process write anyway";
    ASSERT_EQ(LoadEngines(tree, profile), 2);
    tree.setChecked(2, true);
    EXPECT_EQ(SaveActiveFlags(tree, profile), (QVector<bool>{false, true, true}));
    EXPECT_FALSE(SaveEngines(tree, SaveScope::WholeList, profile));
    EXPECT_EQ(readBytes(path), original);
}

// A seeding cut short must leave a folder that the next start seeds again: settings.dat comes
// only after every template, and no file already there is replaced.
TEST_F(CatalogueTest, SeedingWritesEveryTemplateBeforeSettingsDatAndReplacesNothing)
{
    const QString lftp = dir.filePath(u"lftp.scr"_s), terminal = dir.filePath(u"lftp in terminal.scr"_s);
    // A template that cannot be written: a link into a folder that does not exist.
    ASSERT_TRUE(QFile::link(dir.filePath(u"no/such/folder"_s), lftp));
    const SeedResult cut = SeedProgramFolder(dir.path());
    EXPECT_TRUE(!cut && cut.problem == SeedResult::Problem::TemplateNotWritten && cut.reason.contains(lftp))
        << cut.reason.toStdString();
    EXPECT_TRUE(!QFileInfo::exists(path) && QFileInfo::exists(terminal));

    ASSERT_TRUE(QFile::remove(lftp));
    writeBytes(terminal, "mine");
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    EXPECT_TRUE(readBytes(lftp).contains("open ") && readBytes(terminal) == "mine");
    EXPECT_FALSE(ReadEngines(profile).isEmpty());
    for (const EngineRecord &e : ReadEngines(profile)) {
        EXPECT_TRUE(e.Query.contains(u"%s"_s)) << e.Name.toStdString();
        // Nothing fetches over TLS yet, so such engines must start switched off.
        EXPECT_FALSE(e.Active && e.Query.startsWith(u"https://"_s)) << e.Name.toStdString();
    }
    write("[Engines]\r\nCount=0\r\n");
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    EXPECT_EQ(readBytes(path), QByteArray("[Engines]\r\nCount=0\r\n"));
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
