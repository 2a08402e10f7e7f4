#include "app/cli.h"
#include "app/command_line.h"
#include "app/core.h"
#include "app/detail/logging.h"
#include "app/main_window.h"
#include "catalogue/program_folder.h"
#include "platform/gui/desktop_shell.h"
#include "platform/gui/prompts.h"
#include "platform/process_launcher.h"
#include "prefs/preferences.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

#include <memory>
#include <unistd.h>

namespace {

void identify(QCoreApplication &app)
{
    app.setOrganizationName(QStringLiteral("Kestrune"));
    app.setApplicationName(QStringLiteral("Kestrune"));
    app.setApplicationVersion(QStringLiteral(KESTRUNE_VERSION));
}

QString programFolder(const CommandLine &line)
{
    QString folder = line.home;
    if (folder.isEmpty()) {
        folder = QCoreApplication::applicationDirPath();
        // An installed copy finds its data folder beside its bin folder. Its own folder is not the
        // user's to write, so each user's catalogue and templates live in the user's data folder.
        if (QFileInfo(QDir(folder).filePath(QStringLiteral(KESTRUNE_INSTALLED_DATA))).isDir())
            folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kestrune");
    }
    folder = QDir(folder).absolutePath();
    QDir().mkpath(folder);
    return folder;
}

} // namespace

int main(int argc, char *argv[])
{
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const CommandLine line = parseCommandLine(arguments);
    if (line.verbose)
        enableVerboseLogging();

    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    switch (line.action) {
    case CommandLine::Action::Help:
        out.write(usageText().toLocal8Bit());
        return 0;
    case CommandLine::Action::Version:
        out.write("kestrune " KESTRUNE_VERSION "\n");
        return 0;
    case CommandLine::Action::UsageError:
        err.write("kestrune: " + line.error.toLocal8Bit() + "\n\n" + usageText().toLocal8Bit());
        return 2;
    default:
        break;
    }

    // The window needs a display; the commands for scripts must run without one.
    const bool window = line.action == CommandLine::Action::Window;
    std::unique_ptr<QCoreApplication> app = window ? std::make_unique<QApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    identify(*app);

    const QString folder = programFolder(line);
    const SeedResult seeded = SeedProgramFolder(folder);
    if (!seeded)
        qCWarning(lcApp).noquote() << "the program folder was not seeded:" << seeded.reason;
    TimeLimits limits;
    if (const QByteArray text = qgetenv("KESTRUNE_LIMITS"); !text.isEmpty()) {
        QString error;
        const auto parsed = TimeLimits::fromText(text, &error);
        if (!parsed) {
            err.write("kestrune: KESTRUNE_LIMITS: " + error.toLocal8Bit() + "\n");
            return 2;
        }
        limits = *parsed;
    }
    SettingsStore preferenceStore;
    DesktopShell shell;
    ProcessLauncher launcher;
    Core core(folder, {preferenceStore, shell, launcher}, limits);
    core.startUp(seeded);
    if (const QByteArray server = qgetenv("KESTRUNE_UPDATE_SERVER"); !server.isEmpty()) {
        const auto parsed = UpdateServer::fromText(server);
        if (!parsed) {
            err.write("kestrune: KESTRUNE_UPDATE_SERVER must be HOST:PORT with a port from 1 to 65535\n");
            return 2;
        }
        core.update().setServer(*parsed);
    }

    switch (line.action) {
    case CommandLine::Action::Search:
        // Output is buffered for speed; progress is unbuffered.
        out.close();
        out.open(stdout, QIODevice::WriteOnly);
        return runSearchCommand(line, core, out, err, ::isatty(STDERR_FILENO) == 1);
    case CommandLine::Action::Get:
    case CommandLine::Action::Connect:
        return runHandOffCommand(line, core, err);
    case CommandLine::Action::Update:
        return runUpdateCommand(line, core, out, err);
    default:
        break;
    }

    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kestrune.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrune"));
    DesktopPrompts prompts;
    MainWindow mainWindow(core, prompts);
    mainWindow.show();
    return QCoreApplication::exec();
}
