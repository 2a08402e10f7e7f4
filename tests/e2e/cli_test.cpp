// The whole program from the outside: `kestrune search|get|connect` against real nginx engines,
// a real tinyproxy, a real pyftpdlib server and the real lftp client.
#include "catalogue/engine_catalogue.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

struct Outcome { int status = -1; QByteArray out, err; };

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Every process a test starts finds its preferences here.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        ASSERT_TRUE(QDir().mkpath(config.filePath(u"Kestrune"_s)));
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

    QString confFile() const { return config.filePath(u"Kestrune/Kestrune.conf"_s); }
    QString catalogueFile() const { return home.filePath(kSettingsFile); }
    void writePage(const QString &name, const QByteArray &body) { writeBytes(pages.filePath(name), body); }
    void setPreference(const QString &key, const QString &value) { SettingsStore(confFile()).write(key, value); }
    // One engine per page name, at nginx unless `ports` says otherwise; a name in capitals is inactive.
    void setEngines(const QList<QByteArray> &names, const QHash<QByteArray, int> &ports = {})
    {
        QList<CatalogueEngine> engines;
        for (const QByteArray &name : names) {
            const QByteArray page = name.toLower();
            engines.append({page, "http://127.0.0.1:" + QByteArray::number(ports.value(page, nginx.port())) + "/" + page + "?q=%s",
                            page == name ? "True" : "False"});
        }
        writeBytes(catalogueFile(), catalogueText(engines));
    }

    // Runs the program through the shell, so that a test can redirect or pipe its output as a user
    // would; one that outlives `limit` milliseconds is killed and gives status -1.
    Outcome kestrune(const QString &commandLine, int limit = 60000)
    {
        QProcess process;
        process.start(u"bash"_s, {u"-o"_s, u"pipefail"_s, u"-c"_s, u"\"$0\" --home \"$1\" "_s + commandLine,
                                  QStringLiteral(KESTRUNE_BINARY), home.path()});
        process.closeWriteChannel();
        if (!process.waitForFinished(limit)) {
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
    const Outcome run = kestrune(u"search madonna"_s);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray("FTP\talpha.example\tftp://alpha.example\t/pub/madonna/\tlike.mp3\n"
                                  "FTP\talpha.example\tftp://alpha.example\t/b/\tmadonna two.mp3\n"
                                  "FTP\tBeta.example\tFTP://Beta.example\t/\xc3\xa9t\xc3\xa9/\tmadonna.mp3\n"
                                  "HTTP\tweb.example\thttp://web.example\t/files/\tmadonna-live.ogg\n"
                                  "FTP\tgamma.example\tftp://gamma.example\t/x/\tmadonna.mp3\n"));
    EXPECT_EQ(run.err, QByteArray("kestrune: 5 results from 2 of 2 engines\n"));
    // Each engine was asked once, with the search text in its query; nginx logs after answering.
    ASSERT_TRUE(QTest::qWaitFor([&] { return nginx.accessLog().count("GET /") == 2; }, 10000)) << nginx.accessLog().toStdString();
    EXPECT_TRUE(nginx.accessLog().count("GET /one?q=madonna HTTP/1.0") == 1 && !nginx.accessLog().contains("GET /three"));
}

// The link field is the link as found, whatever its host's first link looked like, and every
// byte of it comes back.
TEST_F(CliTest, JsonThroughARealProxyGivesEveryLinkAsFoundByteForByte)
{
    TinyproxyPeer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.output().toStdString();
    setEngines({"ONE", "two"});
    const QByteArray catalogue = readBytes(catalogueFile());
    const Outcome run = kestrune(u"search --json --engine ONE --proxy 127.0.0.1:%1 madonna"_s.arg(proxy.port()));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("{\"root\":\"FTP\",\"host\":\"alpha.example\",\"server\":\"ftp://alpha.example\","
                                   "\"path\":\"/pub/madonna/\",\"file\":\"like.mp3\","
                                   "\"link\":\"ftp://alpha.example/pub/madonna/like.mp3\"}\n")) << run.out.toStdString();
    QList<QByteArray> links;
    for (const QByteArray &line : run.out.trimmed().split('\n'))
        links << QJsonDocument::fromJson(line).object().value(u"link"_s).toString().toLatin1();
    EXPECT_EQ(links, (QList<QByteArray>{"ftp://alpha.example/pub/madonna/like.mp3",
                                        "ftp://user:pw@alpha.example:2121/b/madonna two.mp3",
                                        "FTP://Beta.example/\xc3\xa9t\xc3\xa9/madonna.mp3",
                                        "http://web.example/files/madonna-live.ogg"}));
    // Only the chosen engine was asked, through the proxy (nginx logs after answering), and the
    // catalogue is left as it was.
    ASSERT_TRUE(QTest::qWaitFor([&] { return nginx.accessLog().contains("tinyproxy"); }, 10000)) << nginx.accessLog().toStdString();
    EXPECT_FALSE(nginx.accessLog().contains("GET /two"));
    EXPECT_EQ(readBytes(catalogueFile()), catalogue);
}

// The search waits for the tests: every FTP server is marked before the program ends. A verbose
// run says on standard error why an engine gave nothing, and what each test found.
TEST_F(CliTest, TestMarksEachFtpServerAliveOrDeadBeforeItEnds)
{
    QTemporaryDir ftpRoot;
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    writePage(u"one"_s, u"<a href=\"ftp://127.0.0.1:%1/a.mp3\"></a><a href=\"ftp://localhost:%2/b.mp3\"></a>"_s
                            .arg(ftp.port()).arg(freePort()).toLatin1());
    setEngines({"one", "refused"}, {{"refused", freePort()}});
    const Outcome run = kestrune(u"search --verbose --test x"_s);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("#test\t127.0.0.1\talive\n#test\tlocalhost\tdead\n")) << run.out.toStdString();
    for (const QByteArray line : {"kestrune: kestrune.search: engine 2 (refused) ended: failed: Connection refused, 0 bytes\n",
                                  "kestrune: kestrune.tester: localhost is dead\n", "kestrune: 2 results from 2 of 2 engines\n"})
        EXPECT_TRUE(run.err.contains(line)) << line.toStdString() << run.err.toStdString();
}

TEST_F(CliTest, AFailedWriteFailsAndAClosedOutputStopsTheSearch)
{
    setEngines({"one"});
    const Outcome full = kestrune(u"search madonna > /dev/full"_s);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(full.err.startsWith("kestrune: the results could not be written: ")) << full.err.toStdString();

    // A reader that leaves after one line: the search ends then, not when the silent engine's time
    // is up (a minute).
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    setEngines({"one", "silent"}, {{"silent", silent.serverPort()}});
    const Outcome pipeline = kestrune(u"search madonna | head -1"_s, 30000);
    EXPECT_EQ(pipeline.status, 0);
    EXPECT_EQ(pipeline.out.count('\n'), 1);
    EXPECT_TRUE(pipeline.err.contains("(stopped: output closed)")) << pipeline.err.toStdString();
}

TEST_F(CliTest, GetHandsTheLinkToLftpAndTheFileArrives)
{
    QTemporaryDir ftpRoot, downloads;
    writeBytes(ftpRoot.filePath(u"song one.mp3"_s), "ID3 bytes");
    FtpPeer ftp(ftpRoot.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    // No catalogue: the program seeds the default one, whose client number 1 is lftp for downloads.
    setPreference(u"FTP_CLIENT"_s, u"1"_s);
    setPreference(u"FTP_PATH"_s, u"/usr/bin/lftp"_s);
    setPreference(u"FTP_LOCAL"_s, downloads.path());
    const QByteArray before = readBytes(confFile());
    const Outcome run = kestrune(u"get 'ftp://127.0.0.1:%1/song one.mp3'"_s.arg(ftp.port()));
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty() && run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return readBytes(downloads.filePath(u"song one.mp3"_s)) == "ID3 bytes"; }, 20000));
    EXPECT_EQ(readBytes(confFile()), before);
}

// A search with no engine to ask and a refused link exit with 1, usage errors with 2 (the parser's
// cases are tested on their own); each says why.
TEST_F(CliTest, RefusalsExitWithTheirStatusAndTheReason)
{
    const auto write = [&](const QByteArray &bytes) { return [&, bytes] { writeBytes(catalogueFile(), bytes); }; };
    const struct { std::function<void()> arrange; QString args; int status; QByteArray reason; } cases[] = {
        {[&] { QDir().mkpath(catalogueFile()); }, u"search madonna"_s, 1, "is a folder"},
        {write("[Engines]\rCount=1\rName1=one\r"), u"search madonna"_s, 1, "CR alone"},
        {[&] { setEngines({"ONE", "TWO"}); }, u"search madonna"_s, 1, "no engine is active"},
        {write("[Clients]\r\n"), u"search madonna"_s, 1, "lists no engine"},
        // A folder that cannot be made, so neither can its catalogue: the reason goes with it.
        {write(""), u"--home \"$1/settings.dat/sub\" search madonna"_s, 1, "settings.dat/sub/lftp.scr cannot be written"},
        {[&] { setEngines({"one"}); }, u"search --engine nobody x"_s, 2, ""},
        {[] {}, u"fly"_s, 2, ""},
        {[] {}, u"connect 'ftp://bad;host/a.mp3'"_s, 1, "Client: the link's host is not a host name or an IP address\n"},
        {[] {}, u"get 'ftp:/127.0.0.1/song one.mp3'"_s, 1, "Client: the link does not begin with ftp://\n"},
    };
    for (const auto &c : cases) {
        QFile::remove(catalogueFile());
        QDir(catalogueFile()).removeRecursively();
        c.arrange();
        const Outcome run = kestrune(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.toStdString();
        EXPECT_TRUE(run.out.isEmpty() && run.err.startsWith("kestrune: ") && run.err.contains(c.reason)) << run.err.toStdString();
    }
}

} // namespace
