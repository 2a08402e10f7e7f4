#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"
#include "platform/process_launcher.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"
#include "support/widgets.h"

namespace {

using namespace Qt::StringLiterals;

// Engines Alpha (ticked) and Beta, whose page lists two files of one FTP server; client 1 is /bin/fake.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QByteArray at = "http://127.0.0.1:" + QByteArray::number(server.port());
        writeBytes(dir.filePath(kSettingsFile), catalogueText({{"Alpha", at + "/a?q=%s"}, {"Beta", at + "/b?q=%s", ""}},
                                                              "[Clients]\r\nCount=1\r\nClient1=fake\r\n[fake]\r\nArgs=-o \"%h\" %f\r\n"));
        server.setHandler([](ScriptedServer::Connection &c) {
            ScriptedServer::reply(c, "<a href=\"ftp://u:pw@files.example:2121/pub/a.mp3\"></a><a href=\"ftp://files.example/pub/b.mp3\"></a>");
        });
        store.values = {{u"FTP_PATH"_s, u"/bin/fake"_s}, {u"FTP_CLIENT"_s, u"1"_s}};
        core.startUp();
        window = std::make_unique<MainWindow>(core, prompts);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    ScriptedServer server;
    QTemporaryDir dir;
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    ScriptedPrompts prompts;
    Core core{dir.path(), {store, shell, launcher}};
    std::unique_ptr<MainWindow> window;
};

// Enter in the text box searches; the file nodes of the selected server hand their link on, a
// directory node nothing.
TEST_F(MainWindowTest, GetFileHandsTheSelectedFileToTheClient)
{
    part<QLineEdit>(*window, u"SearchText"_s)->setText(u"song"_s);
    QTest::keyClick(part<QLineEdit>(*window, u"SearchText"_s), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !core.searching(); }, 10000));
    const int server = core.ftpList().indexOf(u"ftp://u:pw@files.example:2121"_s);
    ASSERT_EQ(core.fileCount(server), 2); // both files are this server's, the first one found
    part<QTreeView>(*window, u"FTPList"_s)->setCurrentIndex(core.ftpList().modelIndex(server));
    for (const int node : {1, 2}) {
        part<QTreeView>(*window, u"LinksList"_s)->setCurrentIndex(core.linksList().modelIndex(node));
        part<QMenu>(*window, u"resultsMenu"_s)->actions().at(1)->trigger();
    }
    ASSERT_EQ(launcher.starts.size(), 1);
    EXPECT_EQ(QStringList{launcher.starts[0].program} + launcher.starts[0].arguments, (QStringList{"/bin/fake", "-o", "files.example", "a.mp3"}));
}

TEST_F(MainWindowTest, ClosingSavesTheTicksAndTheTestSwitch)
{
    part<QAction>(*window, u"TestResults"_s)->trigger();
    core.enginesList().setChecked(2, true);
    window->close();
    EXPECT_EQ(core.profile().ReadProfile(kSettingsFile, u"Beta"_s, u"Active"_s, {}) + store.values.value(u"TestStopped"_s), u"True-1"_s);
}

// Edit > Settings: add lftp, choose it and the download folder, close; search (the Edit menu rests
// meanwhile), right-click the file, "Get File", and the file arrives from a real FTP server.
TEST_F(MainWindowTest, AClientAddedInTheOptionsIsTheOneGetFileStarts)
{
    QTemporaryDir ftpRoot, downloads;
    writeBytes(ftpRoot.filePath(u"song.mp3"_s), "ID3 bytes");
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    server.setHandler([link = "ftp://127.0.0.1:" + QByteArray::number(ftp.port()) + "/song.mp3"](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, "<a href=\"" + link + "\">song</a>");
    });
    ProcessLauncher real;
    launcher.forward = &real;
    prompts.chosen = downloads.path();
    prompts.steps = {
        [](QDialog &options) {
            auto *tree = part<QTreeWidget>(options, u"SettingsOpts"_s);
            tree->setCurrentItem(tree->topLevelItem(2));
            click(options, u"AddBtn"_s);
            part<QListWidget>(options, u"ClientsList"_s)->setCurrentRow(1);
            click(options, u"CuteLocalChoose"_s);
            click(options, u"SaveBttn"_s);
        },
        editor(u"lftp"_s, u"/usr/bin/lftp"_s, u"-f \"%s\""_s,
               u"open -p \"%o\" -- \"%h\"\nuser \"%u\" \"%p\"\ncd \"%r\"\n[get -O \"%l\" -- \"%f\"]\nbye"_s)};
    part<QAction>(*window, u"Settings"_s)->trigger();
    EXPECT_EQ(prompts.shown, (QStringList{"Options", "newClientForm"}));

    QMenu *edit = part<QMenu>(*window, u"EditMenu"_s);
    part<QLineEdit>(*window, u"SearchText"_s)->setText(u"song"_s);
    QTest::keyClick(part<QLineEdit>(*window, u"SearchText"_s), Qt::Key_Return);
    EXPECT_FALSE(edit->menuAction()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !core.searching(); }, 20000));
    EXPECT_TRUE(edit->menuAction()->isEnabled());
    part<QTreeView>(*window, u"FTPList"_s)->setCurrentIndex(core.ftpList().modelIndex(core.ftpList().indexOf(u"ftp://127.0.0.1:"_s + QString::number(ftp.port()))));
    part<QTreeView>(*window, u"LinksList"_s)->setCurrentIndex(core.linksList().modelIndex(2)); // under its directory
    part<QMenu>(*window, u"resultsMenu"_s)->actions().at(1)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes(downloads.filePath(u"song.mp3"_s)) == "ID3 bytes"; }, 20000));
}

} // namespace

// Help > "Check for Upgrade", "Update Engines" and "Update Clients" against nginx: a newer
// version's text opens its address; a list grows the window, and "Update" merges it: the engine
// list shows the merged engines at once.
TEST_F(MainWindowTest, TheHelpMenusUpdatesMergeWhatNginxOffers)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath(u"~quenmar/cgi-bin"_s);
    writeBytes(root.filePath(u"~quenmar/cgi-bin/searchup.cgi"_s), "2 1 7 http://kestrune.example/get");
    writeBytes(root.filePath(u"~quenmar/cgi-bin/enginesup.cgi"_s), "2026-12-01\nNew%20One\nhttp://new1/\nhttp://new1/?q=%s\n");
    writeBytes(root.filePath(u"~quenmar/cgi-bin/clients.txt"_s), "2026-11-30\n1\nncftp\n%s\n{--\nopen %h\n--}\n");
    NginxPeer nginx(root.path());
    ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    core.update().setServer({"127.0.0.1", nginx.port()});
    const auto answered = [](QDialog &window, const QString &text) {
        return QTest::qWaitFor([&] { return part<QLineEdit>(window, u"tCheck"_s)->text() == text; }, 10000);
    };
    int smallHeight = 0;
    prompts.steps = {
        [&](QDialog &window) {
            ASSERT_TRUE(answered(window, u"new Version 2.1 Build 7 Available"_s));
            smallHeight = window.height();
            QTest::mouseClick(part<QLineEdit>(window, u"tCheck"_s), Qt::LeftButton);
            window.close();
        },
        [&](QDialog &window) {
            ASSERT_TRUE(answered(window, u"Engines were last updated on 2026-12-01"_s));
            EXPECT_GT(window.height(), smallHeight + 150) << "the list and the button show";
            click(window, u"UpdateBtn"_s);
            EXPECT_FALSE(window.isVisible());
        },
        [&](QDialog &window) {
            ASSERT_TRUE(answered(window, u"Clients were last updated on 2026-11-30"_s));
            click(window, u"UpdateBtn"_s);
        }};
    for (const QString &entry : {u"CheckforUpgrade"_s, u"UpdateEngines"_s, u"UpdateClients"_s})
        part<QAction>(*window, entry)->trigger();
    EXPECT_EQ(prompts.shown, QStringList(3, u"updateCheckForm"_s));
    EXPECT_EQ(core.profile().ReadProfile(kSettingsFile, u"Clients"_s, u"Client2"_s, {}), u"ncftp"_s);
    EXPECT_EQ(shell.opened, QStringList{u"http://kestrune.example/get"_s});
    const NodeTree &engines = core.enginesList();
    ASSERT_EQ(engines.count(), 1) << "one engine listed: Count is the list's";
    EXPECT_EQ(engines.text(1) + u' ' + engines.key(1), u"New One http://new1/?q=%s"_s);
}
