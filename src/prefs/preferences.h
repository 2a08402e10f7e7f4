#pragma once

#include "platform/endpoint.h"

#include <QString>

#include <memory>

class QSettings;

// The per-user preference store: texts by key, under application "Kestrune", section "Settings".
class PreferenceStore
{
public:
    virtual ~PreferenceStore() = default;
    virtual QString read(const QString &key, const QString &defaultValue) const = 0;
    // False when the value could not be stored.
    virtual bool write(const QString &key, const QString &value) = 0;
    // Where the values are kept, for a message that they could not be stored.
    virtual QString location() const { return QStringLiteral("the preference store"); }
};

// The store in QSettings: the user's own (organization and application "Kestrune") or, for tests
// and portable use, an INI file at a given path.
class SettingsStore final : public PreferenceStore
{
public:
    SettingsStore();
    explicit SettingsStore(const QString &iniPath);
    ~SettingsStore() override;

    QString read(const QString &key, const QString &defaultValue) const override;
    bool write(const QString &key, const QString &value) override;
    QString location() const override;

private:
    std::unique_ptr<QSettings> m_settings;
};

// What a limit of open connections may be, wherever it is set.
inline constexpr int kMostSockets = 10000;

// How the links list shows a server's files. The stored number is the value; a stored number
// outside these lists nothing.
enum class ListLayout { List = 1, HalfDetailed = 2, Detailed = 3 };

// The preferences while the program runs. Stored as texts: numbers in decimal, Booleans as
// "-1"/"0".
struct Preferences
{
    int maxSearch = 10;        // "max_search"
    int maxTest = 10;          // "max_test"
    bool useProxy = false;     // "UseProxy"
    QString proxyAddress;      // "ProxyAddress"
    int proxyPort = 80;        // "ProxyPort"
    bool testingEnabled = false; // "TestStopped" (true: testing is on)
    QString ftpLocal;          // "FTP_LOCAL", default the program folder
    QString ftpPath;           // "FTP_PATH"
    int ftpClient = 0;         // "FTP_CLIENT", 1-based client number; 0 none
    ListLayout listViewType = ListLayout::Detailed; // "ListViewType"
    QString scriptPath;        // not stored: the program folder's script.scr
};

// Reads every preference with its default; a stored text that is not a number reads as the default.
Preferences LoadPreferences(const PreferenceStore &store, const QString &programFolder);
// The shut-down writes: "TestStopped" and "ListViewType", and nothing else.
bool SaveShutdownPreferences(const Preferences &preferences, PreferenceStore &store);

QString preferenceBoolText(bool value);
