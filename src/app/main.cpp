#include "app/command_line.h"
#include "app/main_window.h"
#include "catalogue/profile.h"
#include "catalogue/program_folder.h"
#include "platform/gui/desktop_shell.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kestrune"));
    QApplication::setApplicationName(QStringLiteral("Kestrune"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRUNE_VERSION));

    const CommandLine line = parseCommandLine(QApplication::arguments());
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (line.action) {
    case CommandLine::Action::Help:
        out << usageText();
        return 0;
    case CommandLine::Action::Version:
        out << "kestrune " << KESTRUNE_VERSION << '\n';
        return 0;
    case CommandLine::Action::UsageError:
        err << "kestrune: " << line.error << "\n\n" << usageText();
        return 2;
    case CommandLine::Action::Window:
        break;
    }

    const QString folder = QDir(line.home.isEmpty() ? QApplication::applicationDirPath() : line.home).absolutePath();
    QDir().mkpath(folder);
    SeedProgramFolder(folder);

    Profile profile(folder);
    DesktopShell shell;
    MainWindow window(profile, shell);
    window.show();
    return QApplication::exec();
}
