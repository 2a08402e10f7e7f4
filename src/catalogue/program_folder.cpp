#include "catalogue/program_folder.h"

#include "catalogue/engine_catalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>

namespace {

bool copyResource(const QString &resource, const QString &target)
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(source.readAll());
    return file.commit();
}

} // namespace

bool SeedProgramFolder(const QString &folder)
{
    const QDir dir(folder);
    if (dir.exists(kSettingsFile))
        return true;
    // The templates of the default catalogue's clients go first and settings.dat last: a start
    // cut short in between leaves no settings.dat, and the next start seeds the folder again.
    bool seeded = true;
    QDirIterator templates(QStringLiteral(":/defaults/clients"), {QStringLiteral("*.scr")}, QDir::Files);
    while (templates.hasNext()) {
        const QString resource = templates.next();
        const QString target = dir.filePath(QFileInfo(resource).fileName());
        if (!QFile::exists(target))
            seeded &= copyResource(resource, target);
    }
    return seeded && copyResource(QStringLiteral(":/defaults/settings.dat"), dir.filePath(kSettingsFile));
}
