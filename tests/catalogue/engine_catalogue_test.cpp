#include "catalogue/engine_catalogue.h"
#include "catalogue/engine_editing.h"
#include "catalogue/program_folder.h"
#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

struct CatalogueTest : ::testing::Test
{
    // These engines in order, with template "http://N/find?q=%s", home "http://N/", "Active=True" or none.
    void write(const QList<QByteArray> &names, const QList<QByteArray> &active = {})
    {
        QList<CatalogueEngine> engines;
        for (const QByteArray &n : names)
            engines.append({n, "http://" + n + "/find?q=%s", active.contains(n) ? "True" : "", "http://" + n + "/"});
        writeBytes(path, catalogueText(engines));
    }
    // The values at these "section/key" places joined by "|", "-" for a missing one.
    QString read(const QStringList &places) const
    {
        QStringList values;
        for (const QString &place : places)
            values << profile.ReadProfile(kSettingsFile, place.section(u'/', 0, 0), place.section(u'/', 1), u"-"_s);
        return values.join(u'|');
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    const QString path = profile.pathOf(kSettingsFile);
    NodeTree tree{NodeTree::DisplayMode::CheckBoxes};
};

// Reading changes no file.
TEST_F(CatalogueTest, ReadsTheEnginesTheFileLists)
{
    const QByteArray two = "Name1=A\r\nName2=B\r\n[A]\r\nQUERY=a\r\n[B]\r\nQUERY=b\r\n";
    const struct { const char *what; QByteArray bytes; QStringList names; } cases[] = {
        {"count reached", "[Engines]\r\nCount=2\r\n" + two, {"A", "B"}}, {"count not a number", "[Engines]\r\nCount=x\r\n" + two, {"A", "B"}},
        {"count negative", "[Engines]\r\nCount=-4\r\n" + two, {}}, {"count 1", "[Engines]\r\nCount= 1 \r\n" + two, {"A"}}, {"no count", "[Engines]\r\n" + two, {}},
        {"missing names", "[Engines]\r\nCount=4\r\nName2=B\r\nName4=D\r\n[B]\r\nQUERY=b\r\n[D]\r\nQUERY=d\r\n", {"B", "D"}},
        {"empty name", "[Engines]\r\nCount=2\r\nName1=\r\nName2=B\r\n", {"B"}},
        {"odd name keys", "[Engines]\r\nCount=3\r\nName0=W\r\nName01=Z\r\nNamex=Y\r\nname3=C\r\n", {"C"}},
        {"same template", "[Engines]\r\nCount=3\r\nName1=A\r\nName2=B\r\nName3=C\r\n[A]\r\nQUERY=s\r\n[B]\r\nQUERY=s\r\n[C]\r\nQUERY=t\r\n", {"A", "C"}},
    };
    for (const auto &c : cases) {
        writeBytes(path, c.bytes);
        QStringList names;
        for (const EngineRecord &e : ReadEngines(profile)) names << e.Name;
        EXPECT_TRUE(names == c.names && readBytes(path) == c.bytes) << c.what << ": " << names.join(u',').toStdString();
    }
}

// Loaded from the file, then saved with changed ticks. Element 0 of the flags is no engine.
TEST_F(CatalogueTest, SavingTheCheckBoxesStoresEachAsActive)
{
    write({"A", "B", "C"}, {"A"});
    ASSERT_EQ(LoadEngines(tree, profile), 3);
    tree.setChecked(1, false);
    tree.setChecked(3, true);
    EXPECT_EQ(SaveActiveFlags(tree, profile), (QVector<bool>{false, false, false, true}));
    EXPECT_EQ(read({"A/Active", "B/Active", "C/Active", "/Active"}), u"False|False|True|-"_s);
}

TEST_F(CatalogueTest, SavingNoCheckBoxesMakesNoFile)
{
    EXPECT_EQ(SaveActiveFlags(tree, profile), QVector<bool>{false});
    EXPECT_FALSE(QFile::exists(path));
}

// Nodes X (ticked), Y, Z (ticked) from one file, saved into another of A to E with D active: the whole
// list replaces the list; a merge writes the ticked nodes alone, at their places, without "Active".
TEST_F(CatalogueTest, SavingTheEnginesWritesWhatItsScopeSays)
{
    const struct { SaveScope scope; QString saved; } cases[] = {
        {SaveScope::WholeList, u"3|-|X|Y|Z|-|True|False|http://Z/|http://Z/find?q=%s|http://C/|True"_s},
        {SaveScope::TickedMerge, u"3|-|X|B|Z|D|-|-|http://Z/|http://Z/find?q=%s|http://C/|True"_s}};
    for (const auto &c : cases) {
        write({"X", "Y", "Z"}, {"X", "Z"});
        LoadEngines(tree, profile);
        write({"A", "B", "C", "D", "E"}, {"D"});
        EXPECT_TRUE(SaveEngines(tree, c.scope, profile));
        EXPECT_EQ(read({"Engines/Count", "Engines/Name0", "Engines/Name1", "Engines/Name2", "Engines/Name3", "Engines/Name4", "X/Active", "Y/Active",
                        "Z/URL", "Z/QUERY", "C/URL", "D/Active"}), c.saved) << int(c.scope);
    }
}

// An empty file can be read: that it lists no engine is not this function's to say.
TEST_F(CatalogueTest, ACatalogueThatCannotBeReadSaysWhy)
{
    const struct { const char *what; std::function<void()> arrange; QString problem; } cases[] = {
        {"missing", [] {}, u"is missing"_s}, {"a folder", [&] { QDir().mkpath(path); }, u"is a folder"_s},
        {"CR alone", [&] { writeBytes(path, "[a]\rx=1\r"); }, u"CR alone"_s}, {"a catalogue", [&] { write({"A"}); }, {}},
        {"empty", [&] { writeBytes(path, ""); }, {}}, {"CR within LF lines", [&] { writeBytes(path, "[a]\nx=1\ry=2\n"); }, {}}};
    for (const auto &c : cases) {
        QDir(path).removeRecursively();
        QFile::remove(path);
        c.arrange();
        const QString found = CatalogueProblem(profile);
        EXPECT_TRUE(c.problem.isEmpty() ? found.isEmpty() : found.contains(c.problem) && found.contains(path)) << c.what << ": " << found.toStdString();
    }
}

// A fresh install asks every engine it ships, each at a template of its own (a second would not load), over a fetched scheme.
TEST_F(CatalogueTest, TheShippedCatalogueSwitchesOnEveryEngineAtADistinctTemplate)
{
    ASSERT_TRUE(SeedProgramFolder(dir.path()));
    const int listed = read({u"Engines/Count"_s}).toInt();
    ASSERT_EQ(LoadEngines(tree, profile), listed);
    for (int i = 1; i <= listed; ++i) {
        EXPECT_TRUE(tree.checked(i)) << tree.text(i).toStdString();
        EXPECT_TRUE(tree.key(i).startsWith(u"https://"_s) && tree.key(i).contains(u"%s"_s)) << tree.key(i).toStdString();
    }
    EXPECT_GE(listed, 7);
}

// A and B (ticked) loaded, then one "Update" each: the boxes come back trimmed, and the engines
// read "name home template tick" where they are not the loaded ones ("B+": B as loaded, ticked).
TEST_F(CatalogueTest, UpdateAddsOrChangesAnEngineAndRefusesWhatCannotBeStored)
{
    const QString taken = u"http://A/find?q=%s"_s, longest = u"http://c/"_s + QString(245, u'x'); // longest: all the reader keeps
    const struct { EngineBoxes typed; EngineEdit outcome; int node; QString tree; QString boxes = {}; } cases[] = {
        {{u"  C d "_s, u" http://c/ "_s, u" http://c/?q=%S "_s}, EngineEdit::Added, 3, u"A|B+|C d http://c/ http://c/?q=%S -"_s, u"C d|http://c/|http://c/?q=%S"_s},
        {{u"B"_s, u"http://new/"_s, u"http://new/?%s"_s}, EngineEdit::Changed, 2, u"A|B http://new/ http://new/?%s +"_s},
        {{u"A"_s, u""_s, u"http://A/find?q=%s"_s}, EngineEdit::Changed, 1, u"A  http://A/find?q=%s -|B+"_s},
        {{u"a"_s, u""_s, u"http://a2/%s"_s}, EngineEdit::Added, 3, u"A|B+|a  http://a2/%s -"_s},
        {{u"été"_s, u""_s, u"%s"_s}, EngineEdit::Added, 3, u"A|B+|Ã©tÃ©  %s -"_s},
        {{u"C"_s, u""_s, u" http://c/?q=% s"_s}, EngineEdit::NoPlaceholder, 0, u"A|B+"_s, u"C||http://c/?q=% s"_s},
        {{u"   "_s, u""_s, u"http://c/%s"_s}, EngineEdit::NoName, 0, u"A|B+"_s},
        {{u"C\tx"_s, u""_s, u"http://c/%s"_s}, EngineEdit::NotStorable, 0, u"A|B+"_s},
        {{u"C"_s, u"http://c/\r\n"_s, u"http://c/%s"_s}, EngineEdit::NotStorable, 0, u"A|B+"_s},
        {{u"C"_s, u""_s, u"http://c/%s"_s + QString(244, u'x')}, EngineEdit::NotStorable, 0, u"A|B+"_s},
        {{u"C"_s, longest, u"http://c/%s"_s}, EngineEdit::Added, 3, u"A|B+|C "_s + longest + u" http://c/%s -"_s},
        {{u"C"_s, u""_s, taken}, EngineEdit::QueryTaken, 1, u"A|B+"_s},
        {{u"B"_s, u""_s, taken}, EngineEdit::QueryTaken, 1, u"A|B+"_s}};
    for (const auto &c : cases) {
        write({"A", "B"}, {"B"});
        LoadEngines(tree, profile);
        QAbstractItemModelTester tester(&tree, QAbstractItemModelTester::FailureReportingMode::Fatal);
        EngineBoxes boxes = c.typed;
        const EngineEditResult result = UpdateEngine(tree, boxes);
        QStringList shown;
        for (int i = 1; i <= tree.count(); ++i) {
            QString mark = tree.checked(i) ? u"+"_s : u"-"_s;
            const bool loaded = tree.key(i) == u"http://"_s + tree.text(i) + u"/find?q=%s"_s && tree.tag(i) == u"http://"_s + tree.text(i) + u'/';
            shown << (loaded ? tree.text(i) + mark.remove(u'-') : QStringList{tree.text(i), tree.tag(i).toString(), tree.key(i), mark}.join(u' '));
            EXPECT_EQ(tree.indexOf(tree.key(i)), i) << "found by its template";
        }
        const std::string what = (c.typed.name + u' ' + c.typed.query).toStdString();
        EXPECT_TRUE(result.outcome == c.outcome && result.node == c.node) << what;
        EXPECT_EQ(shown.join(u'|'), c.tree) << what;
        EXPECT_EQ(tree.contains(u"http://B/find?q=%s"_s), c.tree.contains(u"B+"_s) || c.tree.contains(u"http://B/find"_s)) << "an old template is no key";
        if (!c.boxes.isEmpty()) {
            EXPECT_EQ(QStringList({boxes.name, boxes.url, boxes.query}).join(u'|'), c.boxes);
        }
    }
}

// "Done": the edited copy is the file's catalogue and the main list shows it. The main list's unsaved ticks are stored first, so
// the copy's ticks (the file's when it was made) win; a deleted engine leaves its section behind.
TEST_F(CatalogueTest, FinishingTheEditorSavesTheCopyOverTheMainListsTicks)
{
    write({"A", "B", "C"}, {"A", "C"});
    NodeTree edited{NodeTree::DisplayMode::CheckBoxes};
    LoadEngines(tree, profile);
    LoadEngines(edited, profile);
    tree.setChecked(1, false);
    tree.setChecked(2, true);
    edited.remove(3);
    ASSERT_TRUE(SaveEnginesOverList(edited, SaveScope::WholeList, tree, profile));
    EXPECT_EQ(read({"Engines/Count", "Engines/Name1", "Engines/Name2", "Engines/Name3", "A/Active", "B/Active", "C/QUERY"}),
              u"2|A|B|-|True|False|http://C/find?q=%s"_s);
    EXPECT_TRUE(tree.count() == 2 && tree.checked(1) && !tree.checked(2));

    // An unwritable file: nothing reloads, so the main list keeps what the user sees.
    const QByteArray before = readBytes(path);
    QFile::remove(path);
    QDir().mkpath(path);
    tree.setChecked(2, true);
    EXPECT_FALSE(SaveEnginesOverList(edited, SaveScope::WholeList, tree, profile));
    EXPECT_TRUE(tree.count() == 2 && tree.checked(2));
    EXPECT_TRUE(QDir(path).removeRecursively() && before.size() > 0);
}

} // namespace
