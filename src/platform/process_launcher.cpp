#include "platform/process_launcher.h"

#include <QProcess>

bool ProcessLauncher::start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}
