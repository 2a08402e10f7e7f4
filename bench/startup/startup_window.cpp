// Kestrune's window start-up: what main() does for `kestrune --home DIR`, ending once the window's
// first frame is painted. Usage: startup_window DIR
#include "first_frame.h"

#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/program_folder.h"
#include "platform/gui/desktop_shell.h"
#include "platform/gui/prompts.h"
#include "platform/process_launcher.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: startup_window PROGRAM_FOLDER\n");
        return 2;
    }
    app.setOrganizationName(QStringLiteral("Kestrune"));
    app.setApplicationName(QStringLiteral("Kestrune"));
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(folder);
    const SeedResult seeded = SeedProgramFolder(folder);
    SettingsStore preferenceStore;
    DesktopShell shell;
    ProcessLauncher launcher;
    Core core(folder, {preferenceStore, shell, launcher});
    core.startUp(seeded);

    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kestrune.svg")));
    DesktopPrompts prompts;
    MainWindow window(core, prompts);
    return showFirstFrameAndExit(window);
}
