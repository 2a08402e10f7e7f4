#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"
#include "ftpclient/client_launch.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

namespace {

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

    QString panel(MainWindow &window, const char *key) const
    {
        return window.statusPanel(QString::fromLatin1(key))->text();
    }

    ScriptedServer server;
    QTemporaryDir dir;
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    Core core{dir.path(), {store, shell, launcher}};
};

TEST_F(MainWindowTest, StartsWithTheCatalogueDefaultsAndEmptyCounters)
{
    auto window = open();
    ASSERT_EQ(core.enginesList.count(), 2);
    EXPECT_TRUE(core.enginesList.checked(1));
    EXPECT_FALSE(core.enginesList.checked(2));
    EXPECT_EQ(core.state.servers.upperBound(), 0);
    EXPECT_EQ(core.state.pageData.size(), 3);
    EXPECT_EQ(panel(*window, "Results"), QStringLiteral("Search Results: 0"));
    EXPECT_EQ(panel(*window, "Sockets"), QStringLiteral("Active Search Sockets: 0"));
    EXPECT_EQ(panel(*window, "TSockets"), QStringLiteral("Active Test Sockets: 0"));
    EXPECT_EQ(panel(*window, "Queued"), QStringLiteral("Pages Queued: 0"));
    EXPECT_EQ(panel(*window, "Stats"), QString());
    EXPECT_FALSE(window->testResultsAction()->isChecked());
    EXPECT_EQ(window->searchButton()->text(), QStringLiteral("Search"));
}

TEST_F(MainWindowTest, TestingSwitchedOnInTheStoreTicksTheMenu)
{
    store.values.insert(QStringLiteral("TestStopped"), QStringLiteral("-1"));
    auto window = open();
    EXPECT_TRUE(window->testResultsAction()->isChecked());
    window->testResultsAction()->trigger();
    EXPECT_FALSE(core.preferences.testingEnabled);
    EXPECT_FALSE(window->testResultsAction()->isChecked());
}

TEST_F(MainWindowTest, ClosingStoresTheFlagsAndOnlyTheTwoViewAndTestPreferences)
{
    auto window = open();
    core.enginesList.setChecked(1, false);
    core.enginesList.setChecked(2, true);
    window->close();

    EXPECT_EQ(core.profile.ReadProfile(kSettingsFile, QStringLiteral("Alpha"), QStringLiteral("Active"), {}), QStringLiteral("False"));
    EXPECT_EQ(core.profile.ReadProfile(kSettingsFile, QStringLiteral("Beta"), QStringLiteral("Active"), {}), QStringLiteral("True"));
    EXPECT_EQ(store.written, (QStringList{"TestStopped", "ListViewType"}));
    EXPECT_EQ(store.values.value(QStringLiteral("TestStopped")), QStringLiteral("0"));
    EXPECT_EQ(store.values.value(QStringLiteral("ListViewType")), QStringLiteral("3"));
}

TEST_F(MainWindowTest, DoubleClickOpensTheSelectedEnginesHomePage)
{
    auto window = open();
    QTreeView *view = window->enginesView();
    emit view->doubleClicked(QModelIndex());
    EXPECT_TRUE(shell.opened.isEmpty()); // nothing selected, nothing opened

    const QRect rect = view->visualRect(core.enginesList.modelIndex(2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://beta/")});
    EXPECT_FALSE(core.enginesList.flags(core.enginesList.modelIndex(1)) & Qt::ItemIsEditable);
}

TEST_F(MainWindowTest, EnterStartsASearchAndEnterAgainStopsIt)
{
    auto window = open();
    QLineEdit *text = window->searchText();
    text->setText(QStringLiteral("  some song "));
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(window->searchButton()->text(), QStringLiteral("Stop"));
    EXPECT_EQ(core.state.searchString, QByteArray("some+song"));
    EXPECT_EQ(core.enginesList.displayMode(), NodeTree::DisplayMode::Pictures);
    EXPECT_EQ(core.enginesList.picture(1), QStringLiteral("QuestionMark"));
    EXPECT_TRUE(core.enginesList.picture(2).isEmpty());
    EXPECT_EQ(panel(*window, "Sockets"), QStringLiteral("Active Search Sockets: 1"));
    EXPECT_EQ(text->text(), QStringLiteral("  some song ")); // the box keeps its text

    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(window->searchButton()->text(), QStringLiteral("Search"));
    EXPECT_EQ(panel(*window, "Sockets"), QStringLiteral("Active Search Sockets: 0"));
    EXPECT_EQ(core.enginesList.displayMode(), NodeTree::DisplayMode::CheckBoxes);
    EXPECT_TRUE(core.enginesList.checked(1));
    EXPECT_FALSE(core.enginesList.checked(2));
}

TEST_F(MainWindowTest, SelectingAServerListsItsFilesAndTheResultsMenuHandsThemOn)
{
    server.setHandler([](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, "<a href=\"ftp://u:pw@files.example:2121/pub/a.mp3\"></a>"
                                 "<a href=\"ftp://files.example/pub/b.mp3\"></a>"
                                 "<a href=\"ftp://files.example/other/c.mp3\"></a>"
                                 "<a href=\"http://web.example/x/song.mp3\"></a>");
    });
    core.preferences.ftpPath = QStringLiteral("/usr/bin/fake-client");
    core.preferences.ftpClient = 1;
    auto window = open();
    core.preferences.ftpPath = QStringLiteral("/usr/bin/fake-client");
    core.preferences.ftpClient = 1;
    window->searchText()->setText(QStringLiteral("song"));
    QTest::mouseClick(window->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->searchButton()->text() == QStringLiteral("Search"); }, 10000));

    const int files = core.ftpList.indexOf(QStringLiteral("ftp://u:pw@files.example:2121"));
    ASSERT_GT(files, 0);
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    // Detailed: one node per directory with its files below.
    ASSERT_EQ(core.linksList.count(), 5);
    EXPECT_EQ(core.linksList.text(1), QStringLiteral("/pub/"));
    EXPECT_EQ(core.linksList.childCount(1), 2);
    EXPECT_EQ(window->infoField(0)->text(), QStringLiteral("files.example"));
    EXPECT_EQ(window->infoField(1)->text(), QStringLiteral("2121"));
    EXPECT_EQ(window->infoField(2)->text(), QStringLiteral("u"));
    EXPECT_EQ(window->infoField(3)->text(), QStringLiteral("pw"));

    // The results menu on a file: Get File starts the chosen client with the link's pieces.
    const int a = core.linksList.indexOf(QStringLiteral("ftp://u:pw@files.example:2121/pub/a.mp3"));
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(a));
    window->resultsMenuClick(1);
    ASSERT_EQ(launcher.starts.size(), 1);
    EXPECT_EQ(launcher.starts[0].program, QStringLiteral("/usr/bin/fake-client"));
    EXPECT_EQ(launcher.starts[0].arguments, (QStringList{"-o", "files.example", "a.mp3"}));
    // A directory node hands nothing on.
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(1));
    window->resultsMenuClick(0);
    EXPECT_EQ(launcher.starts.size(), 1);

    // The List layout, chosen from the View menu, shows bare file names.
    core.preferences.listViewType = 1;
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(1));
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    EXPECT_EQ(core.linksList.count(), 3);
    EXPECT_EQ(core.linksList.text(3), QStringLiteral("c.mp3"));
    // A server under HTTP lists its files but shows no login.
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(core.ftpList.indexOf(QStringLiteral("http://web.example"))));
    EXPECT_EQ(core.linksList.count(), 1);
    EXPECT_TRUE(window->infoField(0)->text().isEmpty());

    // No client chosen: the status line says so and nothing starts.
    core.preferences.ftpClient = 0;
    window->resultsView()->setCurrentIndex(core.ftpList.modelIndex(files));
    window->linksView()->setCurrentIndex(core.linksList.modelIndex(1));
    window->resultsMenuClick(0);
    EXPECT_EQ(panel(*window, "Stats"), QStringLiteral("Unable to run FTP Client"));
    EXPECT_EQ(launcher.starts.size(), 1);
}

} // namespace
