// Hand-offs to a real lftp against a real FTP server on loopback, with the shipped client
// definitions and the real process launcher.
#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"
#include "catalogue/program_folder.h"
#include "ftpclient/client_launch.h"
#include "platform/process_launcher.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/test_files.h"

namespace {

using namespace std::chrono_literals;

// A detached process is no child of ours: watch /proc until it is gone or a zombie.
bool waitForExit(qint64 pid, std::chrono::milliseconds timeout = 30s)
{
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        if (line.mid(line.lastIndexOf(')') + 2, 1) == "Z")
            return true;
        QThread::msleep(20);
    }
    return false;
}

bool waitForContent(const QString &path, const QByteArray &content, std::chrono::milliseconds timeout = 30s)
{
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (QFile::exists(path) && readBytes(path) == content)
            return true;
        QThread::msleep(20);
    }
    return false;
}

// A shell running any of these would create "marker" in its working directory.
const QByteArray kHostileName = "x;y $(touch marker) `touch marker` & | !touch marker #'~*?{a,b}<>%%h.mp3";

class LftpHandOffTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(QStringLiteral("/usr/bin/lftp")));
        ASSERT_TRUE(QDir(serverRoot.path()).mkpath(QStringLiteral("pub/mp3")));
        writeBytes(serverFile("a b.mp3"), "tune one");
        writeBytes(serverFile(kHostileName), "tune two");
        ASSERT_TRUE(server.start()) << server.output().toStdString();

        ASSERT_TRUE(SeedProgramFolder(home.path()));
        QDir(home.path()).mkdir(QStringLiteral("downloads"));
        QDir(home.path()).mkdir(QStringLiteral("work"));
        preferences.ftpClient = 1;
        preferences.ftpPath = QStringLiteral("/usr/bin/lftp");
        preferences.ftpLocal = home.filePath(QStringLiteral("downloads"));
        preferences.scriptPath = home.filePath(QStringLiteral("script.scr"));
        // Where a shell started by a client would run.
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(home.filePath(QStringLiteral("work")));
    }

    void TearDown() override { QDir::setCurrent(previousDirectory); }

    QString serverFile(const QByteArray &name) const
    {
        return QDir(serverRoot.path()).filePath(QStringLiteral("pub/mp3/") + QFile::decodeName(name));
    }
    QString downloaded(const QByteArray &name) const
    {
        return home.filePath(QStringLiteral("downloads/") + QFile::decodeName(name));
    }
    QByteArray link(const QByteArray &file) const
    {
        return "ftp://127.0.0.1:" + QByteArray::number(server.port()) + "/pub/mp3/" + file;
    }
    bool launch(const QByteArray &link, bool getFile, Launcher &launcher)
    {
        return LaunchClient(link, getFile, preferences, Profile(home.path()), launcher, status);
    }
    bool markerAnywhere() const
    {
        for (const QString &folder : {QStringLiteral("work"), QStringLiteral("downloads"), QString()}) {
            if (QFile::exists(home.filePath(folder + QStringLiteral("/marker"))))
                return true;
        }
        return false;
    }

    QTemporaryDir serverRoot;
    FtpPeer server{serverRoot.path()};
    QTemporaryDir home;
    Preferences preferences;
    StatusLine status{{QStringLiteral("Stats")}};
    QString previousDirectory;
};

TEST_F(LftpHandOffTest, GetFileDownloadsIntoTheLocalFolder)
{
    ProcessLauncher launcher;
    ASSERT_TRUE(launch(link("a b.mp3"), true, launcher));
    EXPECT_TRUE(waitForContent(downloaded("a b.mp3"), "tune one"));
    EXPECT_TRUE(waitForExit(launcher.lastProcessId()));

    // A second download of the same file replaces it.
    writeBytes(downloaded("a b.mp3"), "stale");
    ASSERT_TRUE(launch(link("a b.mp3"), true, launcher));
    EXPECT_TRUE(waitForExit(launcher.lastProcessId()));
    EXPECT_EQ(readBytes(downloaded("a b.mp3")), QByteArray("tune one"));
}

TEST_F(LftpHandOffTest, ShellMetacharactersInAFileNameStayPartOfTheName)
{
    ProcessLauncher launcher;
    ASSERT_TRUE(launch(link(kHostileName), true, launcher));
    EXPECT_TRUE(waitForContent(downloaded(kHostileName), "tune two"));
    EXPECT_TRUE(waitForExit(launcher.lastProcessId()));

    // Not on the server: lftp fails on its own, and still nothing ran.
    const QByteArray missing = "no such $(touch marker); !touch marker | touch marker & `touch marker`.mp3";
    ASSERT_TRUE(launch(link(missing), true, launcher));
    EXPECT_TRUE(waitForExit(launcher.lastProcessId()));
    EXPECT_FALSE(QFile::exists(downloaded(missing)));
    EXPECT_FALSE(markerAnywhere());
}

TEST_F(LftpHandOffTest, CommandLineValuesReachTheProgramAsSingleArguments)
{
    Profile(home.path()).edit(kSettingsFile, [](IniDocument &settings) {
        settings.setValue(QStringLiteral("Clients"), QStringLiteral("Client1"), QStringLiteral("touch"));
        // Not "\"%f\"" alone: the profile reader takes a pair of enclosing quotes off a value.
        settings.setValue(QStringLiteral("touch"), QStringLiteral("Args"), QStringLiteral("-- \"%f\""));
    });
    preferences.ftpPath = QStringLiteral("/usr/bin/touch");
    const QByteArray name = "\xc3\xa9t\xc3\xa9 $(touch marker); `touch marker` & | !touch marker";
    ProcessLauncher launcher;
    ASSERT_TRUE(launch(link(name), true, launcher));
    EXPECT_TRUE(waitForExit(launcher.lastProcessId()));
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("work/") + QString::fromUtf8(name))));
    EXPECT_FALSE(markerAnywhere());
}

TEST_F(LftpHandOffTest, TerminalClientConnectsAndChangesDirectoryOnly)
{
    // No terminal here: run what the terminal would run, its "-e" command, with our own input.
    preferences.ftpClient = 2;
    RecordingLauncher terminal;
    ASSERT_TRUE(launch(link("a b.mp3"), false, terminal));
    ASSERT_EQ(terminal.starts.size(), 1);
    const QStringList command = terminal.starts[0].arguments;
    ASSERT_GE(command.size(), 2);
    ASSERT_EQ(command[0], QStringLiteral("-e"));

    QProcess lftp;
    lftp.start(command[1], command.mid(2));
    ASSERT_TRUE(lftp.waitForStarted());
    lftp.write("ls\nbye\n");
    lftp.closeWriteChannel();
    ASSERT_TRUE(lftp.waitForFinished(30000));
    EXPECT_TRUE(lftp.readAllStandardOutput().contains(" a b.mp3\n"));
    EXPECT_FALSE(QFile::exists(downloaded("a b.mp3")));
}

} // namespace
