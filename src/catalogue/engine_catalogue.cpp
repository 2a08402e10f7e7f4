#include "catalogue/engine_catalogue.h"

#include "catalogue/detail/logging.h"
#include "platform/node_tree.h"
#include "platform/shell.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <map>

namespace {

const QString kEngines = QStringLiteral("Engines");
const QString kCount = QStringLiteral("Count");
const QString kName = QStringLiteral("Name");

QString read(const IniDocument &document, const QString &section, const QString &key,
             const QString &defaultValue = {})
{
    return profileText(document.value(section, key).value_or(defaultValue));
}

// The numbers N of the "NameN" keys in [Engines], written the way the program writes them
// (decimal, no leading zero), each once, ascending.
std::map<int, QString> numberedNames(const IniDocument &document)
{
    std::map<int, QString> names;
    for (const QString &key : document.keys(kEngines)) {
        if (!key.startsWith(kName, Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(key).mid(kName.size());
        bool ok = false;
        const int n = digits.toInt(&ok);
        if (ok && n > 0 && QString::number(n) == digits && !names.contains(n))
            names.emplace(n, read(document, kEngines, key));
    }
    return names;
}

} // namespace

QList<EngineRecord> ReadEngines(const Profile &profile)
{
    const IniDocument document = profile.snapshot(kSettingsFile);
    bool isNumber = false;
    const qint64 count = read(document, kEngines, kCount, QStringLiteral("0")).trimmed().toLongLong(&isNumber);

    QList<EngineRecord> engines;
    QSet<QString> templates;
    // Walking the keys that exist, not 1..Count, keeps a huge "Count" from costing anything.
    for (const auto &[n, name] : numberedNames(document)) {
        if (isNumber && n > count)
            break;
        if (name.isEmpty())
            continue;
        EngineRecord engine;
        engine.Name = name;
        engine.URL = read(document, name, QStringLiteral("URL"));
        engine.Query = read(document, name, QStringLiteral("QUERY"));
        engine.Active = profileBool(read(document, name, QStringLiteral("Active"), QStringLiteral("0")));
        if (templates.contains(engine.Query))
            continue;
        templates.insert(engine.Query);
        engines.append(engine);
    }
    return engines;
}

int LoadEngines(NodeTree &tree, const Profile &profile)
{
    const QList<EngineRecord> engines = ReadEngines(profile);
    tree.beginBulkUpdate();
    tree.clear();
    for (const EngineRecord &engine : engines) {
        const int node = tree.add(engine.Query, engine.Name);
        tree.setChecked(node, engine.Active);
        tree.setTag(node, engine.URL);
    }
    tree.endBulkUpdate();
    qCInfo(lcCatalogue).noquote() << "loaded" << tree.count() << "engines from" << profile.pathOf(kSettingsFile);
    return tree.count();
}

bool SaveEngines(const NodeTree &tree, SaveScope scope, Profile &profile)
{
    const bool merge = scope == SaveScope::TickedMerge;
    return profile.edit(kSettingsFile, [&](IniDocument &document) {
        const int n = tree.count();
        if (!merge)
            document.removeSection(kEngines);
        document.setValue(kEngines, kCount, QString::number(n));
        for (int i = 1; i <= n; ++i) {
            if (merge && !tree.checked(i))
                continue;
            const QString name = tree.text(i);
            document.setValue(kEngines, kName + QString::number(i), name);
            document.setValue(name, QStringLiteral("URL"), tree.tag(i).toString());
            document.setValue(name, QStringLiteral("QUERY"), tree.key(i));
            if (!merge)
                document.setValue(name, QStringLiteral("Active"), profileBoolText(tree.checked(i)));
        }
    });
}

bool SaveEnginesOverList(const NodeTree &source, SaveScope scope, NodeTree &enginesList, Profile &profile)
{
    SaveActiveFlags(enginesList, profile);
    if (!SaveEngines(source, scope, profile))
        return false;
    LoadEngines(enginesList, profile);
    return true;
}

QVector<bool> ActiveFlags(const NodeTree &enginesList)
{
    const int n = enginesList.count();
    QVector<bool> engineActive(n + 1, false);
    for (int i = 1; i <= n; ++i)
        engineActive[i] = enginesList.checked(i);
    return engineActive;
}

QVector<bool> SaveActiveFlags(const NodeTree &enginesList, Profile &profile, bool *stored)
{
    const int n = enginesList.count();
    const QVector<bool> engineActive = ActiveFlags(enginesList);
    const auto store = [&](IniDocument &document) {
        for (int i = 1; i <= n; ++i)
            document.setValue(enginesList.text(i), QStringLiteral("Active"), profileBoolText(engineActive[i]));
    };
    const bool written = n == 0 || profile.edit(kSettingsFile, store);
    if (!written)
        qCWarning(lcCatalogue) << "the engines' check boxes were not stored";
    if (stored)
        *stored = written;
    return engineActive;
}

QString CatalogueProblem(const Profile &profile)
{
    const QString path = profile.pathOf(kSettingsFile);
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 is missing and could not be made").arg(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not the engine catalogue").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
    // Lines are read up to LF: a file whose lines end in CR alone is one line without a section.
    if (bytes.contains('\r') && !bytes.contains('\n'))
        return QStringLiteral("%1 has lines that end in CR alone; save it with LF or CR LF line ends").arg(path);
    return {};
}

void ShellOpen(Shell &shell, const QString &target)
{
    shell.open(target);
}
