#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
        const QByteArray at = "http://127.0.0.1:" + QByteArray::number(server.port());
        writeBytes(QDir(dir.path()).filePath(kSettingsFile),
                   catalogueText({{"Alpha", at + "/a?q=%s", "True", "http://alpha/"}, {"Beta", at + "/b?q=%s", "", "http://beta/"}},
                                 "[Clients]\r\nCount=1\r\nClient1=fake\r\n[fake]\r\nArgs=-o \"%h\" %f\r\n"));
    }

    std::unique_ptr<MainWindow> open()
    {
        core.startUp();
        auto window = std::make_unique<MainWindow>(core);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // The window's parts, by their object names.
    template<typename Part>
    static Part *part(MainWindow &window, const QString &name)
    {
        Part *found = window.findChild<Part *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    static QLabel *statusPanel(MainWindow &window, const QString &key) { return part<QLabel>(window, key); }
    static QString panel(MainWindow &window, const QString &key) { return statusPanel(window, key)->text(); }
    static QLineEdit *searchText(MainWindow &window) { return part<QLineEdit>(window, u"SearchText"_s); }
    static QPushButton *searchButton(MainWindow &window) { return part<QPushButton>(window, u"SearchBtn"_s); }
    static QAction *testResults(MainWindow &window) { return part<QAction>(window, u"TestResults"_s); }

    ScriptedServer server;
    QTemporaryDir dir;
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    Core core{dir.path(), {store, shell, launcher}};
};

TEST_F(MainWindowTest, ADoubleClickOpensTheSelectedEnginesHomePage)
{
    auto window = open();
    QTreeView *view = part<QTreeView>(*window, u"EnginesList"_s);
    emit view->doubleClicked(QModelIndex());
    EXPECT_TRUE(shell.opened.isEmpty()); // nothing selected, nothing opened
    const QRect rect = view->visualRect(core.enginesList().modelIndex(2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(shell.opened, QStringList{u"http://beta/"_s});
}

// Which keys the preferences write on shutdown is tested with them; here that closing saves.
TEST_F(MainWindowTest, ClosingStoresTheEngineTicksAndTheTestMenu)
{
    auto window = open();
    testResults(*window)->trigger();
    EXPECT_TRUE(core.preferences().testingEnabled && testResults(*window)->isChecked());
    core.enginesList().setChecked(1, false);
    core.enginesList().setChecked(2, true);
    window->close();
    const auto active = [&](const QString &engine) { return core.profile().ReadProfile(kSettingsFile, engine, u"Active"_s, {}); };
    EXPECT_EQ(active(u"Alpha"_s) + u' ' + active(u"Beta"_s) + u' ' + store.values.value(u"TestStopped"_s), u"False True -1"_s);
}

TEST_F(MainWindowTest, EnterStartsAndStopsASearch)
{
    auto window = open();
    QLineEdit *text = searchText(*window);
    text->setText(u"  some song "_s);
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(core.searchString(), QByteArray("some+song"));
    EXPECT_EQ(core.enginesList().displayMode(), NodeTree::DisplayMode::Pictures);
    // Button, box (which keeps its text), engine marks and sockets.
    EXPECT_EQ(QStringList({searchButton(*window)->text(), text->text(), pictureKey(core.enginesList().picture(1)),
                           pictureKey(core.enginesList().picture(2)), panel(*window, u"Sockets"_s)}).join(u'|'),
              u"Stop|  some song |QuestionMark||Active Search Sockets: 1"_s);

    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(searchButton(*window)->text() + u'|' + panel(*window, u"Sockets"_s), u"Search|Active Search Sockets: 0"_s);
    EXPECT_EQ(core.enginesList().displayMode(), NodeTree::DisplayMode::CheckBoxes);
    EXPECT_TRUE(core.enginesList().checked(1) && !core.enginesList().checked(2));
}

// The layouts and the hand-off have tests of their own; here the window's wiring between them.
TEST_F(MainWindowTest, ASelectedServerListsItsFilesAndTheResultsMenuHandsThemOn)
{
    server.setHandler([](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, "<a href=\"ftp://u:pw@files.example:2121/pub/a.mp3\"></a>"
                                 "<a href=\"ftp://files.example/pub/b.mp3\"></a>");
    });
    auto window = open();
    core.preferences().ftpPath = u"/usr/bin/fake-client"_s;
    core.preferences().ftpClient = 1;
    searchText(*window)->setText(u"song"_s);
    QTest::mouseClick(searchButton(*window), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return searchButton(*window)->text() == u"Search"_s; }, 10000));
    part<QTreeView>(*window, u"FTPList"_s)->setCurrentIndex(core.ftpList().modelIndex(core.ftpList().indexOf(u"ftp://u:pw@files.example:2121"_s)));
    ASSERT_EQ(core.linksList().text(2), u"a.mp3"_s); // under "/pub/"
    EXPECT_EQ(part<QLineEdit>(*window, u"tAddress"_s)->text() + part<QLineEdit>(*window, u"tPass"_s)->text(), u"files.examplepw"_s);
    const auto menu = [&](int node, int item) {
        part<QTreeView>(*window, u"LinksList"_s)->setCurrentIndex(core.linksList().modelIndex(node));
        part<QMenu>(*window, u"resultsMenu"_s)->actions().at(item)->trigger();
    };

    // Get File starts the chosen client with the link's pieces; a directory node hands nothing on.
    menu(2, 1);
    menu(1, 0);
    ASSERT_EQ(launcher.starts.size(), 1);
    EXPECT_EQ(QStringList{launcher.starts[0].program} + launcher.starts[0].arguments,
              (QStringList{"/usr/bin/fake-client", "-o", "files.example", "a.mp3"}));

    // No client chosen: the status line says so, its tooltip says why, and nothing starts.
    core.preferences().ftpClient = 0;
    menu(2, 0);
    EXPECT_EQ(panel(*window, u"Stats"_s), u"Unable to run FTP Client"_s);
    EXPECT_TRUE(statusPanel(*window, u"Stats"_s)->toolTip().contains(u"Client0"_s));
    EXPECT_EQ(launcher.starts.size(), 1);
}

TEST_F(MainWindowTest, ACatalogueThatCannotBeReadIsSaidOnceWhenTheWindowOpens)
{
    const auto warnings = [](MainWindow &window) { return window.findChildren<QMessageBox *>(u"CatalogueProblem"_s); };
    writeBytes(QDir(dir.path()).filePath(kSettingsFile), "[Engines]\rCount=1\rName1=Alpha\r");
    auto window = open();
    QTest::qWait(50);
    const QList<QMessageBox *> shown = warnings(*window);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0]->text().contains(u"CR alone"_s)) << shown[0]->text().toStdString();
    shown[0]->accept();
    // A search finds no engine, and says nothing more.
    searchText(*window)->setText(u"x"_s);
    QTest::keyClick(searchText(*window), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_TRUE(warnings(*window).isEmpty());
}

} // namespace
