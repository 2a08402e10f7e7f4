#pragma once

// Runs of the built program from the outside, as a user or a script makes them.

#include "catalogue/engine_catalogue.h"
#include "prefs/preferences.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

// What a run of the program came to; status -1 when it did not exit by itself.
struct Outcome { int status = -1; QByteArray out, err; };

// Runs `BEFORE kestrune --home HOME COMMANDLINE` through bash in HOME, so that a test can set
// limits, redirect or pipe as a user would; one that outlives `limit` milliseconds is killed and
// gives status -1.
inline Outcome runKestrune(const QString &home, const QString &commandLine, int limit = 60000, const QString &before = {})
{
    QProcess process;
    process.setWorkingDirectory(home);
    // A group of its own, so that a run that hangs is killed with the shell and its pipe.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(QStringLiteral("bash"), {QStringLiteral("-o"), QStringLiteral("pipefail"), QStringLiteral("-c"),
                                           before + QStringLiteral("\"$0\" --home \"$1\" ") + commandLine, QStringLiteral(KESTRUNE_BINARY), home});
    if (const qint64 pid = process.processId(); !process.waitForFinished(limit) && pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

// The largest resident size, in MiB, that any program this test process ran to its end reached
// (the kernel keeps the peak of every child and grandchild waited for).
inline double peakChildMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A home folder, a preference store and nginx serving `pages`, for runs of the program.
class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Every process a test starts finds its preferences here.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        writeBytes(pages.filePath(QStringLiteral("one")), "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">1</a>"
                                             "<a href=\"ftp://user:pw@alpha.example:2121/b/madonna%20two.mp3\">2</a>"
                                             "<a href=\"http://web.example/files/madonna-live.ogg\">3</a><a href=\"http://web.example/madonna.html\">page</a>"
                                             "<A HREF=\"FTP://Beta.example/\xc3\xa9t\xc3\xa9/madonna.mp3\">4</A>");
        writeBytes(pages.filePath(QStringLiteral("two")), "<a href=\"ftp://alpha.example/pub/madonna/like.mp3\">dup</a><a href='ftp://gamma.example/x/madonna.mp3'>5</a>");
        ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    }

    QString confFile() const { return config.filePath(QStringLiteral("Kestrune/Kestrune.conf")); }
    QString catalogueFile() const { return home.filePath(kSettingsFile); }
    void setPreference(const QString &key, const QString &value) { SettingsStore(confFile()).write(key, value); }
    // One engine per page name, at nginx unless `ports` says otherwise; a name in capitals is inactive.
    void setEngines(const QList<QByteArray> &names, const QHash<QByteArray, int> &ports = {})
    {
        QList<CatalogueEngine> engines;
        for (const QByteArray &name : names) {
            const QByteArray page = name.toLower(), port = QByteArray::number(ports.value(page, nginx.port()));
            engines.append({page, "http://127.0.0.1:" + port + "/" + page + "?q=%s", page == name ? "True" : "False"});
        }
        writeBytes(catalogueFile(), catalogueText(engines));
    }
    Outcome kestrune(const QString &commandLine, int limit = 60000, const QString &before = {})
    {
        return runKestrune(home.path(), commandLine, limit, before);
    }

    QTemporaryDir home, config, pages;
    NginxPeer nginx{pages.path()};
};
