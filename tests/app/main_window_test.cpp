#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

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
                                                              "[Clients]\r\nClient1=fake\r\n[fake]\r\nArgs=-o \"%h\" %f\r\n"));
        server.setHandler([](ScriptedServer::Connection &c) {
            ScriptedServer::reply(c, "<a href=\"ftp://u:pw@files.example:2121/pub/a.mp3\"></a><a href=\"ftp://files.example/pub/b.mp3\"></a>");
        });
        store.values = {{u"FTP_PATH"_s, u"/bin/fake"_s}, {u"FTP_CLIENT"_s, u"1"_s}};
        core.startUp();
        window = std::make_unique<MainWindow>(core, prompts);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template<typename Part>
    Part *part(const QString &objectName) { return window->findChild<Part *>(objectName); }

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
    part<QLineEdit>(u"SearchText"_s)->setText(u"song"_s);
    QTest::keyClick(part<QLineEdit>(u"SearchText"_s), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !core.searching(); }, 10000));
    const int server = core.ftpList().indexOf(u"ftp://u:pw@files.example:2121"_s);
    ASSERT_EQ(core.fileCount(server), 2); // both files are this server's, the first one found
    part<QTreeView>(u"FTPList"_s)->setCurrentIndex(core.ftpList().modelIndex(server));
    for (const int node : {1, 2}) {
        part<QTreeView>(u"LinksList"_s)->setCurrentIndex(core.linksList().modelIndex(node));
        part<QMenu>(u"resultsMenu"_s)->actions().at(1)->trigger();
    }
    ASSERT_EQ(launcher.starts.size(), 1);
    EXPECT_EQ(QStringList{launcher.starts[0].program} + launcher.starts[0].arguments, (QStringList{"/bin/fake", "-o", "files.example", "a.mp3"}));
}

TEST_F(MainWindowTest, ClosingSavesTheTicksAndTheTestSwitch)
{
    part<QAction>(u"TestResults"_s)->trigger();
    core.enginesList().setChecked(2, true);
    window->close();
    EXPECT_EQ(core.profile().ReadProfile(kSettingsFile, u"Beta"_s, u"Active"_s, {}) + store.values.value(u"TestStopped"_s), u"True-1"_s);
}

} // namespace
