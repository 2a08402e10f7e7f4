#include "platform/gui/desktop_shell.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopShell::open(const QString &target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromUserInput(trimmed));
}
