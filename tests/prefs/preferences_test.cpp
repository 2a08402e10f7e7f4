#include "prefs/preferences.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/test_files.h"

namespace {

using RecordingStore = MemoryPreferenceStore;

TEST(Preferences, AnEmptyStoreGivesTheDefaults)
{
    RecordingStore store;
    const Preferences p = LoadPreferences(store, QStringLiteral("/opt/kestrune"));
    EXPECT_EQ(p.maxTest, 10);
    EXPECT_EQ(p.maxSearch, 10);
    EXPECT_EQ(p.proxyPort, 80);
    EXPECT_FALSE(p.useProxy);
    EXPECT_TRUE(p.proxyAddress.isEmpty());
    EXPECT_EQ(p.listViewType, 3);
    EXPECT_FALSE(p.testingEnabled);
    EXPECT_EQ(p.ftpLocal, QStringLiteral("/opt/kestrune"));
    EXPECT_TRUE(p.ftpPath.isEmpty());
    EXPECT_EQ(p.ftpClient, 0);
    EXPECT_EQ(p.scriptPath, QStringLiteral("/opt/kestrune/script.scr"));
    EXPECT_TRUE(store.written.isEmpty()); // defaults are never written back
}

TEST(Preferences, StoredTextsAreReadBack)
{
    RecordingStore store;
    store.values = {{"TestStopped", "-1"}, {"ListViewType", "1"}, {"max_test", "25"}, {"max_search", "3"},
                    {"UseProxy", "-1"}, {"ProxyAddress", "proxy.local"}, {"ProxyPort", "3128"},
                    {"FTP_PATH", "/usr/bin/lftp"}, {"FTP_LOCAL", "/home/u/Music"}, {"FTP_CLIENT", "2"}};
    const Preferences p = LoadPreferences(store, QStringLiteral("/opt/kestrune"));
    EXPECT_TRUE(p.testingEnabled);
    EXPECT_EQ(p.listViewType, 1);
    EXPECT_EQ(p.maxTest, 25);
    EXPECT_EQ(p.maxSearch, 3);
    EXPECT_TRUE(p.useProxy);
    EXPECT_EQ(p.proxyAddress, QStringLiteral("proxy.local"));
    EXPECT_EQ(p.proxyPort, 3128);
    EXPECT_EQ(p.ftpPath, QStringLiteral("/usr/bin/lftp"));
    EXPECT_EQ(p.ftpLocal, QStringLiteral("/home/u/Music"));
    EXPECT_EQ(p.ftpClient, 2);

    // Texts edited by hand that are no numbers fall back to the default; a number stays.
    store.values = {{"max_search", "many"}, {"TestStopped", "yes"}, {"ProxyPort", ""}, {"max_test", "0"}};
    const Preferences edited = LoadPreferences(store, QStringLiteral("/p"));
    EXPECT_EQ(edited.maxSearch, 10);
    EXPECT_FALSE(edited.testingEnabled);
    EXPECT_EQ(edited.proxyPort, 80);
    EXPECT_EQ(edited.maxTest, 0);
}

TEST(Preferences, ShutDownWritesOnlyTheTwoViewAndTestKeys)
{
    RecordingStore store;
    Preferences p;
    p.testingEnabled = true;
    p.listViewType = 2;
    p.maxSearch = 99;
    SaveShutdownPreferences(p, store);
    EXPECT_EQ(store.written, (QStringList{"TestStopped", "ListViewType"}));
    EXPECT_EQ(store.values.value("TestStopped"), QStringLiteral("-1"));
    EXPECT_EQ(store.values.value("ListViewType"), QStringLiteral("2"));

    p.testingEnabled = false;
    SaveShutdownPreferences(p, store);
    EXPECT_EQ(store.values.value("TestStopped"), QStringLiteral("0"));
}

TEST(SettingsStore, KeepsTextsUnderSettingsInItsFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrune.conf"));
    {
        SettingsStore store(path);
        EXPECT_EQ(store.read(QStringLiteral("max_test"), QStringLiteral("10")), QStringLiteral("10"));
        store.write(QStringLiteral("TestStopped"), QStringLiteral("-1"));
    }
    SettingsStore again(path);
    EXPECT_EQ(again.read(QStringLiteral("TestStopped"), QStringLiteral("0")), QStringLiteral("-1"));
    EXPECT_TRUE(readBytes(path).contains("[Settings]"));
}

} // namespace
