#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeBytes(QDir(dir.path()).filePath(kSettingsFile),
                   "[Engines]\r\nCount=2\r\nName1=Alpha\r\nName2=Beta\r\n"
                   "[Alpha]\r\nURL=http://alpha/\r\nQUERY=http://127.0.0.1:" + QByteArray::number(server.port())
                       + "/a?q=%s\r\nActive=True\r\n"
                   "[Beta]\r\nURL=http://beta/\r\nQUERY=http://127.0.0.1:" + QByteArray::number(server.port())
                       + "/b?q=%s\r\n"
                   "[Clients]\r\nCount=1\r\nClient1=fake\r\n[fake]\r\nArgs=-o \"%h\" %f\r\n");
    }

    std::unique_ptr<MainWindow> open()
    {
        core.startUp();
        auto window = std::make_unique<MainWindow>(core);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // The named status panels' texts, joined by " | ".
    static QString panels(MainWindow &window, const QStringList &keys)
    {
        QStringList texts;
        for (const QString &key : keys)
            texts << window.statusPanel(key)->text();
        return texts.join(u" | "_s);
    }

    ScriptedServer server;
    QTemporaryDir dir;
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    Core core{dir.path(), {store, shell, launcher}};
};

TEST_F(MainWindowTest, StartsWithTheCatalogueDefaultsAndADoubleClickOpensAnEnginesHomePage)
{
    auto window = open();
    ASSERT_EQ(core.enginesList.count(), 2);
    EXPECT_TRUE(core.enginesList.checked(1) && !core.enginesList.checked(2));
    EXPECT_EQ(core.state.servers.upperBound(), 0);
    EXPECT_EQ(core.state.pageData.size(), 3);
    EXPECT_EQ(panels(*window, {u"Results"_s, u"Sockets"_s, u"TSockets"_s, u"Queued"_s, u"Stats"_s}),
              u"Search Results: 0 | Active Search Sockets: 0 | Active Test Sockets: 0 | Pages Queued: 0 | "_s);
    EXPECT_FALSE(window->testResultsAction()->isChecked());
    EXPECT_EQ(window->searchButton()->text(), u"Search"_s);

    // A double-click opens the selected engine's home page.
    QTreeView *view = window->enginesView();
    emit view->doubleClicked(QModelIndex());
    EXPECT_TRUE(shell.opened.isEmpty()); // nothing selected, nothing opened

    const QRect rect = view->visualRect(core.enginesList.modelIndex(2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(shell.opened, QStringList{u"http://beta/"_s});
    EXPECT_FALSE(core.enginesList.flags(core.enginesList.modelIndex(1)) & Qt::ItemIsEditable);
}

TEST_F(MainWindowTest, TheStoreTicksTheTestMenuAndClosingStoresOnlyTheFlagsAndTheViewAndTestPreferences)
{
    store.values.insert(u"TestStopped"_s, u"-1"_s);
    auto window = open();
    EXPECT_TRUE(window->testResultsAction()->isChecked());
    window->testResultsAction()->trigger();
    EXPECT_FALSE(core.preferences.testingEnabled || window->testResultsAction()->isChecked());
    core.enginesList.setChecked(1, false);
    core.enginesList.setChecked(2, true);
    window->close();

    const auto active = [&](const QString &engine) { return core.profile.ReadProfile(kSettingsFile, engine, u"Active"_s, {}); };
    EXPECT_EQ(active(u"Alpha"_s) + u' ' + active(u"Beta"_s), u"False True"_s);
    EXPECT_EQ(store.written, (QStringList{"TestStopped", "ListViewType"}));
    EXPECT_EQ(store.values.value(u"TestStopped"_s) + store.values.value(u"ListViewType"_s), u"03"_s);
}

TEST_F(MainWindowTest, EnterStartsAndStopsASearchAndServersListTheirFilesForTheResultsMenu)
{
    auto window = open();
    QLineEdit *text = window->searchText();
    text->setText(u"  some song "_s);
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(core.state.searchString, QByteArray("some+song"));
    EXPECT_EQ(core.enginesList.displayMode(), NodeTree::DisplayMode::Pictures);
    // Button, box (which keeps its text), engine marks and sockets.
    EXPECT_EQ(QStringList({window->searchButton()->text(), text->text(), core.enginesList.picture(1),
                           core.enginesList.picture(2), panels(*window, {u"Sockets"_s})}).join(u'|'),
              u"Stop|  some song |QuestionMark||Active Search Sockets: 1"_s);

    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(window->searchButton()->text() + u'|' + panels(*window, {u"Sockets"_s}), u"Search|Active Search Sockets: 0"_s);
    EXPECT_EQ(core.enginesList.displayMode(), NodeTree::DisplayMode::CheckBoxes);
    EXPECT_TRUE(core.enginesList.checked(1) && !core.enginesList.checked(2));

    // Selecting a server lists its files; the results menu hands them on.
    server.setHandler([](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, "<a href=\"ftp://u:pw@files.example:2121/pub/a.mp3\"></a>"
                                 "<a href=\"ftp://files.example/pub/b.mp3\"></a>"
                                 "<a href=\"ftp://files.example/other/c.mp3\"></a>"
                                 "<a href=\"http://web.example/x/song.mp3\"></a>");
    });
    core.preferences.ftpPath = u"/usr/bin/fake-client"_s;
    core.preferences.ftpClient = 1;
    window->searchText()->setText(u"song"_s);
    QTest::mouseClick(window->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->searchButton()->text() == u"Search"_s; }, 10000));

    const int files = core.ftpList.indexOf(u"ftp://u:pw@files.example:2121"_s);
    ASSERT_GT(files, 0);
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    // Detailed: one node per directory with its files below.
    ASSERT_EQ(core.linksList.count(), 5);
    EXPECT_EQ(core.linksList.text(1) + QString::number(core.linksList.childCount(1)), u"/pub/2"_s);
    EXPECT_EQ(QStringList({window->infoField(0)->text(), window->infoField(1)->text(), window->infoField(2)->text(),
                           window->infoField(3)->text()}).join(u'|'), u"files.example|2121|u|pw"_s);

    // The results menu on a file: Get File starts the chosen client with the link's pieces.
    const int a = core.linksList.indexOf(u"ftp://u:pw@files.example:2121/pub/a.mp3"_s);
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(a));
    window->resultsMenuClick(1);
    ASSERT_EQ(launcher.starts.size(), 1);
    EXPECT_EQ(launcher.starts[0].program, u"/usr/bin/fake-client"_s);
    EXPECT_EQ(launcher.starts[0].arguments, (QStringList{"-o", "files.example", "a.mp3"}));
    // A directory node hands nothing on.
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(1));
    window->resultsMenuClick(0);
    EXPECT_EQ(launcher.starts.size(), 1);

    // The List layout, chosen from the View menu, shows bare file names.
    core.preferences.listViewType = 1;
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(1));
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    EXPECT_EQ(QString::number(core.linksList.count()) + core.linksList.text(3), u"3c.mp3"_s);
    // A server under HTTP lists its files but shows no login.
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(core.ftpList.indexOf(u"http://web.example"_s)));
    EXPECT_EQ(core.linksList.count(), 1);
    EXPECT_TRUE(window->infoField(0)->text().isEmpty());

    // No client chosen: the status line says so and nothing starts.
    core.preferences.ftpClient = 0;
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(1));
    window->resultsMenuClick(0);
    EXPECT_EQ(panels(*window, {u"Stats"_s}), u"Unable to run FTP Client"_s);
    EXPECT_TRUE(window->statusPanel(u"Stats"_s)->toolTip().contains(u"Client0"_s));
    EXPECT_EQ(launcher.starts.size(), 1);
}

TEST_F(MainWindowTest, ACatalogueThatCannotBeReadIsSaidOnceWhenTheWindowOpens)
{
    const auto warnings = [](MainWindow &window) { return window.findChildren<QMessageBox *>(u"CatalogueProblem"_s); };
    auto readable = open();
    QTest::qWait(50);
    EXPECT_TRUE(warnings(*readable).isEmpty());

    writeBytes(QDir(dir.path()).filePath(kSettingsFile), "[Engines]\rCount=1\rName1=Alpha\r");
    auto window = open();
    QTest::qWait(50);
    const QList<QMessageBox *> shown = warnings(*window);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0]->text().contains(u"CR alone"_s)) << shown[0]->text().toStdString();
    shown[0]->accept();
    // A search finds no engine, and says nothing more.
    window->searchText()->setText(u"x"_s);
    QTest::keyClick(window->searchText(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_TRUE(warnings(*window).isEmpty());
}

} // namespace
