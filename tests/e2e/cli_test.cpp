// The whole program from the outside: `kestrune search|get|connect` against real nginx engines,
// a real tinyproxy, a real pyftpdlib server and the real lftp client.
#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/test_files.h"

namespace {

struct Outcome
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(configDir()));
        writePage(QStringLiteral("one"),
                  "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">1</a>"
                  "<a href=\"ftp://user:pw@alpha.example:2121/b/madonna%20two.mp3\">2</a>"
                  "<a href=\"http://web.example/files/madonna-live.ogg\">3</a>"
                  "<a href=\"http://web.example/madonna.html\">page</a>"
                  "<A HREF=\"FTP://Beta.example/\xc3\xa9t\xc3\xa9/madonna.mp3\">4</A>");
        writePage(QStringLiteral("two"),
                  "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">dup</a>"
                  "<a href='ftp://gamma.example/x/madonna.mp3'>5</a>");
        ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    }

    QString configDir() const { return QDir(config.path()).filePath(QStringLiteral("Kestrune")); }
    void writePage(const QString &name, const QByteArray &body)
    {
        writeBytes(QDir(pages.path()).filePath(name), body);
    }
    void setPreference(const QString &key, const QString &value)
    {
        SettingsStore(QDir(configDir()).filePath(QStringLiteral("Kestrune.conf"))).write(key, value);
    }
    void setEngines(const QList<std::pair<QString, bool>> &engines)
    {
        QByteArray file = "[Engines]\r\nCount=" + QByteArray::number(engines.size()) + "\r\n";
        for (int i = 0; i < engines.size(); ++i)
            file += "Name" + QByteArray::number(i + 1) + "=" + engines[i].first.toLatin1() + "\r\n";
        for (const auto &[page, active] : engines) {
            file += "[" + page.toLatin1() + "]\r\nURL=http://home/\r\nQUERY=http://127.0.0.1:"
                    + QByteArray::number(nginx.port()) + "/" + page.toLatin1() + "?q=%s\r\nActive="
                    + (active ? "True" : "False") + "\r\n";
        }
        writeBytes(QDir(home.path()).filePath(kSettingsFile), file);
    }

    Outcome kestrune(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTRUNE_BINARY), QStringList{QStringLiteral("--home"), home.path()} + arguments);
        process.closeWriteChannel();
        Outcome run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    QTemporaryDir home, config, pages;
    NginxPeer nginx{pages.path()};
};


TEST_F(CliTest, SearchPrintsEveryEntryInTheOrderFound)
{
    setEngines({{QStringLiteral("one"), true}, {QStringLiteral("two"), true}, {QStringLiteral("three"), false}});
    setPreference(QStringLiteral("max_search"), QStringLiteral("1")); // one page at a time: a fixed order
    const Outcome run = kestrune({QStringLiteral("search"), QStringLiteral("madonna")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray("FTP\talpha.example\tftp://alpha.example\t/pub/madonna/\tlike.mp3\n"
                                  "FTP\talpha.example\tftp://alpha.example\t/b/\tmadonna two.mp3\n"
                                  "FTP\tBeta.example\tFTP://Beta.example\t/\xc3\xa9t\xc3\xa9/\tmadonna.mp3\n"
                                  "HTTP\tweb.example\thttp://web.example\t/files/\tmadonna-live.ogg\n"
                                  "FTP\tgamma.example\tftp://gamma.example\t/x/\tmadonna.mp3\n"));
    EXPECT_EQ(run.err, QByteArray("kestrune: 5 results from 2 of 2 engines\n"));
    // Each engine was asked once, with the search text in its query.
    EXPECT_EQ(nginx.accessLog().count("GET /one?q=madonna HTTP/1.0"), 1);
    EXPECT_EQ(nginx.accessLog().count("GET /three"), 0);
}

TEST_F(CliTest, JsonOutputThroughARealProxyAndChosenEngines)
{
    TinyproxyPeer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.output().toStdString();
    setEngines({{QStringLiteral("one"), true}, {QStringLiteral("two"), false}});
    const Outcome run = kestrune({QStringLiteral("search"), QStringLiteral("--json"), QStringLiteral("--engine"),
                              QStringLiteral("TWO"), QStringLiteral("--proxy"),
                              QStringLiteral("127.0.0.1:%1").arg(proxy.port()), QStringLiteral("madonna")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray("{\"root\":\"FTP\",\"host\":\"alpha.example\",\"server\":\"ftp://alpha.example\","
                                  "\"path\":\"/pub/madonna/\",\"file\":\"like.mp3\","
                                  "\"link\":\"ftp://alpha.example/pub/madonna/like.mp3\"}\n"
                                  "{\"root\":\"FTP\",\"host\":\"gamma.example\",\"server\":\"ftp://gamma.example\","
                                  "\"path\":\"/x/\",\"file\":\"madonna.mp3\",\"link\":\"ftp://gamma.example/x/madonna.mp3\"}\n"));
    EXPECT_TRUE(nginx.accessLog().contains("tinyproxy")) << nginx.accessLog().toStdString();
    EXPECT_EQ(nginx.accessLog().count("GET /one"), 0);
    // The catalogue is not changed by a search from the command line.
    EXPECT_TRUE(readBytes(QDir(home.path()).filePath(kSettingsFile)).contains("[two]\r\nURL=http://home/\r\nQUERY="));
    EXPECT_TRUE(readBytes(QDir(home.path()).filePath(kSettingsFile)).contains("Active=False"));
}

TEST_F(CliTest, TestsTheServersAfterTheSearch)
{
    QTemporaryDir ftpRoot;
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    const int closed = freePort();
    writePage(QStringLiteral("one"), QStringLiteral("<a href=\"ftp://127.0.0.1:%1/a.mp3\"></a>"
                                                    "<a href=\"ftp://localhost:%2/b.mp3\"></a>")
                                         .arg(ftp.port())
                                         .arg(closed)
                                         .toLatin1());
    setEngines({{QStringLiteral("one"), true}});
    const Outcome run = kestrune({QStringLiteral("search"), QStringLiteral("--test"), QStringLiteral("x")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("#test\t127.0.0.1\talive\n#test\tlocalhost\tdead\n")) << run.out.toStdString();
}

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    // The parser's cases are tested on their own; here: the exit status and where the message goes.
    for (const QStringList &args : {QStringList{QStringLiteral("fly")},
                                    QStringList{QStringLiteral("search"), QStringLiteral("--engine"), QStringLiteral("nobody"), QStringLiteral("x")}}) {
        const Outcome run = kestrune(args);
        EXPECT_EQ(run.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("kestrune: ")) << run.err.toStdString();
    }
    const Outcome help = kestrune({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    for (const char *option : {"--max-search", "--proxy", "--no-proxy", "--engine", "--test", "--max-test", "--json", "--home"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

TEST_F(CliTest, GetHandsTheLinkToLftpAndTheFileArrives)
{
    QTemporaryDir ftpRoot, downloads;
    ASSERT_TRUE(QDir(ftpRoot.path()).mkpath(QStringLiteral("music dir")));
    writeBytes(QDir(ftpRoot.path()).filePath(QStringLiteral("music dir/song one.mp3")), "ID3 bytes");
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    setEngines({});
    // The default catalogue's clients: number 1 is lftp for downloads.
    QFile::remove(QDir(home.path()).filePath(kSettingsFile));
    setPreference(QStringLiteral("FTP_CLIENT"), QStringLiteral("1"));
    setPreference(QStringLiteral("FTP_PATH"), QStringLiteral("/usr/bin/lftp"));
    setPreference(QStringLiteral("FTP_LOCAL"), downloads.path());
    const QByteArray before = readBytes(QDir(configDir()).filePath(QStringLiteral("Kestrune.conf")));

    const QString link = QStringLiteral("ftp://127.0.0.1:%1/music dir/song one.mp3").arg(ftp.port());
    const Outcome run = kestrune({QStringLiteral("get"), link});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QString arrived = QDir(downloads.path()).filePath(QStringLiteral("song one.mp3"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes(arrived) == "ID3 bytes"; }, 20000));
    EXPECT_EQ(readBytes(QDir(configDir()).filePath(QStringLiteral("Kestrune.conf"))), before);

    const Outcome refused = kestrune({QStringLiteral("connect"), QStringLiteral("ftp://bad;host/a.mp3")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, QByteArray("kestrune: Unable to run FTP Client\n"));
}

TEST_F(CliTest, TheWindowFindsTheSameEntriesAsTheCommandLine)
{
    setEngines({{QStringLiteral("one"), true}, {QStringLiteral("two"), true}});
    setPreference(QStringLiteral("max_search"), QStringLiteral("1"));
    const Outcome run = kestrune({QStringLiteral("search"), QStringLiteral("madonna")});
    ASSERT_EQ(run.status, 0);

    SettingsStore store(QDir(configDir()).filePath(QStringLiteral("Kestrune.conf")));
    RecordingShell shell;
    RecordingLauncher launcher;
    Core core(home.path(), {store, shell, launcher});
    core.startUp();
    QByteArray lines;
    core.results.setEntryListener([&](int record, int node) {
        const ServerRecord &server = core.state.servers[record];
        const int j = server.entryCount();
        lines += core.ftpList.text(core.ftpList.parentOf(node)).toLatin1() + '\t' + core.ftpList.text(node).toLatin1()
                 + '\t' + server.ServerURL() + '\t' + server.Paths(j) + '\t' + server.FileNames(j) + '\n';
    });
    MainWindow window(core);
    window.searchText()->setText(QStringLiteral("madonna"));
    QTest::mouseClick(window.searchButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.searchButton()->text() == QStringLiteral("Search"); }, 20000));
    EXPECT_EQ(lines, run.out);
}

} // namespace
