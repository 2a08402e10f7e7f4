// The program's files when a rewrite cannot finish: killed in the middle, a full disk, a folder that
// cannot be written. Each file is the old one or the new one, and a failure is said.
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include "e2e/cli_fixture.h"

namespace {

using namespace Qt::StringLiterals;

struct FilesTest : CliTest
{
    void SetUp() override
    {
        CliTest::SetUp();
        // A large catalogue and a large offer, so that a merge rewrites megabytes.
        QList<CatalogueEngine> engines;
        QByteArray offer = "2026-12-07\n";
        for (int i = 1; i <= 20000; ++i) {
            const QByteArray n = QByteArray::number(i);
            engines.append({"Engine " + n, "http://127.0.0.1:1/e" + n + "?q=%s", i % 2 ? "True" : "False"});
            offer += "New%20" + n + "\nhttp://new" + n + "/\nhttp://new" + n + "/?q=%s\n";
        }
        writeBytes(catalogueFile(), catalogueText(engines, "[Clients]\r\nCount=0\r\n"));
        QDir(pages.path()).mkpath(u"~quenmar/cgi-bin"_s);
        writeBytes(pages.filePath(u"~quenmar/cgi-bin/enginesup.cgi"_s), offer);
        writeBytes(pages.filePath(u"~quenmar/cgi-bin/clients.txt"_s), "d\n1\nkept\n-f \"%s\"\n{--\nopen %h\n--}\n");
        qputenv("KESTRUNE_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(nginx.port()));
        before = readBytes(catalogueFile());
    }

    QByteArray before;
};

// Killed at a moment spread over a whole run, or as soon as anything in the folder changes (a
// write in place shows at once, a new file is linked in whole) and a little later.
TEST_F(FilesTest, AKillInTheMiddleOfAMergeLeavesTheOldCatalogueOrTheNew)
{
    const QString copy = home.filePath(u"old.dat"_s);
    QFile::copy(catalogueFile(), copy);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(kestrune(u"update engines --apply"_s).status, 0);
    const qint64 whole = clock.elapsed();
    const QByteArray after = readBytes(catalogueFile());
    ASSERT_NE(after, before);
    const auto folderState = [&] {
        const QFileInfo file(catalogueFile());
        return QDir(home.path()).entryList(QDir::Files).join(u'|') + QString::number(file.size()) + file.lastModified().toString(Qt::ISODateWithMs);
    };
    for (int run = 0; run < 12; ++run) {
        QFile::remove(catalogueFile());
        QFile::copy(copy, catalogueFile());
        const QString unchanged = folderState();
        QProcess merge;
        merge.start(QStringLiteral(KESTRUNE_BINARY), {u"--home"_s, home.path(), u"update"_s, u"engines"_s, u"--apply"_s});
        ASSERT_TRUE(merge.waitForStarted());
        clock.start();
        while (!merge.waitForFinished(0) && (run % 2 ? clock.elapsed() < whole * run / 12 : folderState() == unchanged))
            QThread::usleep(100);
        QThread::usleep(static_cast<unsigned long>(run) * 200);
        // A process that has ended has no id any more, and kill(0) would hit this test's own group.
        if (const qint64 pid = merge.processId(); pid > 0 && !merge.waitForFinished(0))
            ::kill(pid_t(pid), SIGKILL);
        merge.waitForFinished();
        const QByteArray now = readBytes(catalogueFile());
        ASSERT_TRUE(now == before || now == after) << "run " << run << ": " << now.size() << " bytes";
        for (const QString &left : QDir(home.path()).entryList({u"settings.dat.*"_s}))
            QFile::remove(home.filePath(left)); // a rewrite's unfinished copy
    }
}

TEST_F(FilesTest, AFullDiskOrAFolderThatCannotBeWrittenKeepsEveryFileAndSaysSo)
{
    // A file-size limit makes every write past 64 KiB fail, as a full disk does.
    Outcome run = kestrune(u"update engines --apply"_s, 60000, u"trap '' XFSZ; ulimit -f 64; "_s);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("settings.dat could not be written")) << run.err.toStdString();
    EXPECT_EQ(readBytes(catalogueFile()), before);

    const ReadOnlyFolder readOnly(home.path());
    if (!readOnly.effective())
        GTEST_SKIP() << "this process can write into any folder";
    for (const QString &args : {u"update engines --apply"_s, u"update clients --apply"_s}) {
        run = kestrune(args);
        EXPECT_EQ(run.status, 1) << args.toStdString();
        EXPECT_TRUE(run.err.contains("could not be written")) << run.err.toStdString();
        EXPECT_EQ(readBytes(catalogueFile()), before);
        EXPECT_FALSE(QFile::exists(home.filePath(u"kept.scr"_s))) << "no template of a client not added";
    }
}

} // namespace
