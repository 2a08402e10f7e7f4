#include "catalogue/program_folder.h"

#include "catalogue/detail/logging.h"
#include "catalogue/engine_catalogue.h"
#include "platform/whole_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// Empty when `target` now holds the resource; otherwise why not.
QString copyResource(const QString &resource, const QString &target)
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(resource, source.errorString());
    QString reason;
    if (!writeWholeFile(target, source.readAll(), &reason))
        return QStringLiteral("%1 cannot be written: %2").arg(target, reason);
    qCInfo(lcCatalogue).noquote() << "seeded" << target;
    return {};
}

} // namespace

SeedResult SeedProgramFolder(const QString &folder)
{
    const QDir dir(folder);
    if (dir.exists(kSettingsFile)) {
        qCDebug(lcCatalogue).noquote() << "not seeding" << folder << "as it has" << kSettingsFile;
        return {};
    }
    // The templates of the default catalogue's clients go first and settings.dat last: a start
    // cut short in between leaves no settings.dat, and the next start seeds the folder again.
    QStringList failures;
    QDirIterator templates(QStringLiteral(":/defaults/clients"), {QStringLiteral("*.scr")}, QDir::Files);
    while (templates.hasNext()) {
        const QString resource = templates.next();
        const QString target = dir.filePath(QFileInfo(resource).fileName());
        if (QFile::exists(target))
            continue;
        if (QString failure = copyResource(resource, target); !failure.isEmpty())
            failures << failure;
    }
    if (!failures.isEmpty())
        return {SeedResult::Problem::TemplateNotWritten,
                failures.join(QStringLiteral("; ")) + QStringLiteral(", so %1 was not written").arg(kSettingsFile)};
    if (QString failure = copyResource(QStringLiteral(":/defaults/settings.dat"), dir.filePath(kSettingsFile));
        !failure.isEmpty())
        return {SeedResult::Problem::CatalogueNotWritten, failure};
    return {};
}
