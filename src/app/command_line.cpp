#include "app/command_line.h"

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == u"--help" || arg == u"-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == u"--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (arg == u"--home" || arg.startsWith(u"--home=")) {
            QString value;
            if (arg == u"--home") {
                if (++i >= arguments.size()) {
                    line.action = CommandLine::Action::UsageError;
                    line.error = QStringLiteral("--home needs a folder");
                    return line;
                }
                value = arguments[i];
            } else {
                value = arg.mid(7);
            }
            line.home = value;
            continue;
        }
        line.action = CommandLine::Action::UsageError;
        line.error = QStringLiteral("unknown argument: %1").arg(arg);
        return line;
    }
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  kestrune [--home DIR]      open the window\n"
        "  kestrune --help | --version\n"
        "\n"
        "  --home DIR   use DIR as the program folder (settings.dat, client templates)\n"
        "               instead of the executable's folder\n");
}
