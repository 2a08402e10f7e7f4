#include "prefs/preferences.h"

#include "prefs/detail/logging.h"

#include <QDir>
#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("Settings");

int readInt(const PreferenceStore &store, const QString &key, int defaultValue)
{
    bool ok = false;
    const int value = store.read(key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

bool readBool(const PreferenceStore &store, const QString &key, bool defaultValue)
{
    bool ok = false;
    const double value = store.read(key, preferenceBoolText(defaultValue)).trimmed().toDouble(&ok);
    return ok ? value != 0.0 : defaultValue;
}

} // namespace

QString preferenceBoolText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Kestrune"), QStringLiteral("Kestrune")))
{
}

SettingsStore::SettingsStore(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::location() const
{
    return m_settings->fileName();
}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    return m_settings->value(kGroup + u'/' + key, defaultValue).toString();
}

bool SettingsStore::write(const QString &key, const QString &value)
{
    m_settings->setValue(kGroup + u'/' + key, value);
    m_settings->sync();
    // A file that read badly (FormatError) is still written. QSettings keeps its first error, so
    // after one failed write every later one reports failure too, even one that went through.
    if (m_settings->status() != QSettings::AccessError)
        return true;
    qCWarning(lcPrefs).noquote() << "cannot store" << key << "in" << m_settings->fileName()
                                 << "(the file or its folder cannot be written)";
    return false;
}

Preferences LoadPreferences(const PreferenceStore &store, const QString &programFolder)
{
    Preferences p;
    p.testingEnabled = readBool(store, QStringLiteral("TestStopped"), false);
    p.listViewType = static_cast<ListLayout>(readInt(store, QStringLiteral("ListViewType"), 3));
    p.maxTest = readInt(store, QStringLiteral("max_test"), 10);
    p.maxSearch = readInt(store, QStringLiteral("max_search"), 10);
    p.useProxy = readBool(store, QStringLiteral("UseProxy"), false);
    p.proxyAddress = store.read(QStringLiteral("ProxyAddress"), QString());
    p.proxyPort = readInt(store, QStringLiteral("ProxyPort"), 80);
    p.scriptPath = QDir(programFolder).filePath(QStringLiteral("script.scr"));
    p.ftpPath = store.read(QStringLiteral("FTP_PATH"), QString());
    p.ftpLocal = store.read(QStringLiteral("FTP_LOCAL"), programFolder);
    p.ftpClient = readInt(store, QStringLiteral("FTP_CLIENT"), 0);
    return p;
}

bool SaveShutdownPreferences(const Preferences &p, PreferenceStore &store)
{
    const bool test = store.write(QStringLiteral("TestStopped"), preferenceBoolText(p.testingEnabled));
    return store.write(QStringLiteral("ListViewType"), QString::number(static_cast<int>(p.listViewType))) && test;
}
