// The whole program from the outside: `kestrune search|get|connect` against real nginx engines,
// a real tinyproxy, a real pyftpdlib server and the real lftp client.
#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QLineEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

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
        writePage(u"one"_s,
                  "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">1</a>"
                  "<a href=\"ftp://user:pw@alpha.example:2121/b/madonna%20two.mp3\">2</a>"
                  "<a href=\"http://web.example/files/madonna-live.ogg\">3</a>"
                  "<a href=\"http://web.example/madonna.html\">page</a>"
                  "<A HREF=\"FTP://Beta.example/\xc3\xa9t\xc3\xa9/madonna.mp3\">4</A>");
        writePage(u"two"_s, "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">dup</a>"
                            "<a href='ftp://gamma.example/x/madonna.mp3'>5</a>");
        ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    }

    QString configDir() const { return config.filePath(u"Kestrune"_s); }
    QString confFile() const { return QDir(configDir()).filePath(u"Kestrune.conf"_s); }
    void writePage(const QString &name, const QByteArray &body) { writeBytes(pages.filePath(name), body); }
    void setPreference(const QString &key, const QString &value) { SettingsStore(confFile()).write(key, value); }
    // One engine per page name; a name in capitals is inactive.
    void setEngines(const QList<QByteArray> &names)
    {
        QByteArray file = "[Engines]\r\nCount=" + QByteArray::number(names.size()) + "\r\n", sections;
        for (int i = 0; i < names.size(); ++i) {
            const QByteArray page = names[i].toLower();
            file += "Name" + QByteArray::number(i + 1) + "=" + page + "\r\n";
            sections += "[" + page + "]\r\nURL=http://home/\r\nQUERY=http://127.0.0.1:" + QByteArray::number(nginx.port())
                        + "/" + page + "?q=%s\r\nActive=" + (page == names[i] ? "True" : "False") + "\r\n";
        }
        writeBytes(home.filePath(kSettingsFile), file + sections);
    }

    // Runs the program, its output to `outputFile` when one is given.
    Outcome kestrune(const QStringList &arguments, const QString &outputFile = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, config.path());
        process.setProcessEnvironment(env);
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start(QStringLiteral(KESTRUNE_BINARY), QStringList{u"--home"_s, home.path()} + arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QTemporaryDir home, config, pages;
    NginxPeer nginx{pages.path()};
};

TEST_F(CliTest, SearchPrintsEveryEntryInTheOrderFound)
{
    setEngines({"one", "two", "THREE"});
    setPreference(u"max_search"_s, u"1"_s); // one page at a time: a fixed order
    const Outcome run = kestrune({"search", "madonna"});
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
    setEngines({"one", "TWO"});
    const Outcome run =
        kestrune({"search", "--json", "--engine", "TWO", "--proxy", u"127.0.0.1:%1"_s.arg(proxy.port()), "madonna"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray("{\"root\":\"FTP\",\"host\":\"alpha.example\",\"server\":\"ftp://alpha.example\","
                                  "\"path\":\"/pub/madonna/\",\"file\":\"like.mp3\","
                                  "\"link\":\"ftp://alpha.example/pub/madonna/like.mp3\"}\n"
                                  "{\"root\":\"FTP\",\"host\":\"gamma.example\",\"server\":\"ftp://gamma.example\","
                                  "\"path\":\"/x/\",\"file\":\"madonna.mp3\",\"link\":\"ftp://gamma.example/x/madonna.mp3\"}\n"));
    EXPECT_TRUE(nginx.accessLog().contains("tinyproxy")) << nginx.accessLog().toStdString();
    EXPECT_EQ(nginx.accessLog().count("GET /one"), 0);
    // The catalogue is not changed by a search from the command line.
    const QByteArray catalogue = readBytes(home.filePath(kSettingsFile));
    EXPECT_TRUE(catalogue.contains("[two]\r\nURL=http://home/\r\nQUERY=") && catalogue.contains("Active=False"));
}

// The link field is the link as found, whatever its host's first link looked like, and every
// byte of it comes back.
TEST_F(CliTest, JsonLinksAreTheLinksAsFoundByteForByte)
{
    setEngines({"one"});
    const Outcome run = kestrune({"search", "--json", "madonna"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QList<QByteArray> links;
    for (const QByteArray &line : run.out.split('\n')) {
        if (!line.isEmpty())
            links << QJsonDocument::fromJson(line).object().value(u"link"_s).toString().toLatin1();
    }
    EXPECT_EQ(links, (QList<QByteArray>{"ftp://alpha.example/pub/madonna/like.mp3",
                                        "ftp://user:pw@alpha.example:2121/b/madonna two.mp3",
                                        "FTP://Beta.example/\xc3\xa9t\xc3\xa9/madonna.mp3",
                                        "http://web.example/files/madonna-live.ogg"}));
}

TEST_F(CliTest, AFailedWriteFailsAndAClosedOutputStopsTheSearch)
{
    setEngines({"one"});
    const Outcome full = kestrune({"search", "madonna"}, u"/dev/full"_s);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(full.err.startsWith("kestrune: the results could not be written: ")) << full.err.toStdString();

    // A reader that leaves after one line: the search ends then, not when the silent engine's
    // time is up (a minute).
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QByteArray catalogue = readBytes(home.filePath(kSettingsFile));
    catalogue.replace("Count=1", "Count=2\r\nName2=silent");
    catalogue += "[silent]\r\nQUERY=http://127.0.0.1:" + QByteArray::number(silent.serverPort()) + "/?q=%s\r\nActive=True\r\n";
    writeBytes(home.filePath(kSettingsFile), catalogue);
    QProcess pipeline;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, config.path());
    pipeline.setProcessEnvironment(env);
    pipeline.start(u"bash"_s, {u"-o"_s, u"pipefail"_s, u"-c"_s, u"\"$0\" --home \"$1\" search madonna | head -1"_s,
                               QStringLiteral(KESTRUNE_BINARY), home.path()});
    const bool ended = pipeline.waitForFinished(30000);
    if (!ended)
        pipeline.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(pipeline.exitCode(), 0);
    EXPECT_EQ(pipeline.readAllStandardOutput().count('\n'), 1);
    EXPECT_TRUE(pipeline.readAllStandardError().contains("(stopped: output closed)"));
}

TEST_F(CliTest, ASearchWithNoEngineToAskSaysWhyAndFails)
{
    const std::pair<std::function<void()>, QByteArray> cases[] = {
        {[&] { QDir().mkpath(home.filePath(kSettingsFile)); }, "is a folder"},
        {[&] { writeBytes(home.filePath(kSettingsFile), "[Engines]\rCount=1\rName1=one\r"); }, "CR alone"},
        {[&] { setEngines({"ONE", "TWO"}); }, "no engine is active"},
        {[&] { writeBytes(home.filePath(kSettingsFile), "[Clients]\r\n"); }, "lists no engine"},
    };
    for (const auto &[arrange, problem] : cases) {
        QFile::remove(home.filePath(kSettingsFile));
        QDir(home.filePath(kSettingsFile)).removeRecursively();
        arrange();
        const Outcome run = kestrune({"search", "madonna"});
        EXPECT_EQ(run.status, 1) << problem.toStdString();
        EXPECT_TRUE(run.out.isEmpty() && run.err.startsWith("kestrune: ") && run.err.contains(problem))
            << run.err.toStdString();
    }
}

TEST_F(CliTest, TestsTheServersAfterTheSearchAndUsageErrorsExitWithTwo)
{
    QTemporaryDir ftpRoot;
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    const int closed = freePort();
    writePage(u"one"_s, u"<a href=\"ftp://127.0.0.1:%1/a.mp3\"></a><a href=\"ftp://localhost:%2/b.mp3\"></a>"_s
                            .arg(ftp.port()).arg(closed).toLatin1());
    setEngines({"one"});
    const Outcome run = kestrune({"search", "--test", "x"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("#test\t127.0.0.1\talive\n#test\tlocalhost\tdead\n")) << run.out.toStdString();

    // Usage errors exit with 2; the parser's cases are tested on their own.
    for (const QStringList &args : {QStringList{"fly"}, QStringList{"search", "--engine", "nobody", "x"}}) {
        const Outcome usage = kestrune(args);
        EXPECT_EQ(usage.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(usage.out.isEmpty() && usage.err.startsWith("kestrune: ")) << usage.err.toStdString();
    }
    const Outcome help = kestrune({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option : {"--max-search", "--proxy", "--no-proxy", "--engine", "--test", "--max-test", "--json", "--home"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

TEST_F(CliTest, GetHandsTheLinkToLftpAndTheFileArrives)
{
    QTemporaryDir ftpRoot, downloads;
    ASSERT_TRUE(QDir(ftpRoot.path()).mkpath(u"music dir"_s));
    writeBytes(ftpRoot.filePath(u"music dir/song one.mp3"_s), "ID3 bytes");
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    setEngines({});
    // The default catalogue's clients: number 1 is lftp for downloads.
    QFile::remove(home.filePath(kSettingsFile));
    setPreference(u"FTP_CLIENT"_s, u"1"_s);
    setPreference(u"FTP_PATH"_s, u"/usr/bin/lftp"_s);
    setPreference(u"FTP_LOCAL"_s, downloads.path());
    const QByteArray before = readBytes(confFile());

    const Outcome run = kestrune({"get", u"ftp://127.0.0.1:%1/music dir/song one.mp3"_s.arg(ftp.port())});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty() && run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes(downloads.filePath(u"song one.mp3"_s)) == "ID3 bytes"; }, 20000));
    EXPECT_EQ(readBytes(confFile()), before);

    const Outcome refused = kestrune({"connect", "ftp://bad;host/a.mp3"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, QByteArray("kestrune: Unable to run FTP Client: the link's host is not a host name or an IP address\n"));
    const Outcome noScheme = kestrune({"get", u"ftp:/127.0.0.1:%1/music dir/song one.mp3"_s.arg(ftp.port())});
    EXPECT_EQ(noScheme.status, 1);
    EXPECT_EQ(noScheme.err, QByteArray("kestrune: Unable to run FTP Client: the link does not begin with ftp://\n"));
}

TEST_F(CliTest, TheWindowFindsTheSameEntriesAsTheCommandLine)
{
    setEngines({"one", "two"});
    setPreference(u"max_search"_s, u"1"_s);
    const Outcome run = kestrune({"search", "madonna"});
    ASSERT_EQ(run.status, 0);

    SettingsStore store(confFile());
    RecordingShell shell;
    RecordingLauncher launcher;
    Core core(home.path(), {store, shell, launcher});
    core.startUp();
    QByteArray lines;
    core.results.setEntryListener([&](int record, int node, QByteArrayView) {
        const ServerRecord &server = core.state.servers[record];
        const int j = server.entryCount();
        lines += core.ftpList.text(core.ftpList.parentOf(node)).toLatin1() + '\t' + core.ftpList.text(node).toLatin1()
                 + '\t' + server.ServerURL() + '\t' + server.Paths(j) + '\t' + server.FileNames(j) + '\n';
    });
    MainWindow window(core);
    window.searchText()->setText(u"madonna"_s);
    QTest::mouseClick(window.searchButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.searchButton()->text() == u"Search"_s; }, 20000));
    EXPECT_EQ(lines, run.out);
}

} // namespace
