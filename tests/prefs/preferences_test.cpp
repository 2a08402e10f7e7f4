#include "prefs/preferences.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// Texts edited by hand that are no numbers read as the default.
TEST(Preferences, ReadsEachKeyAndFallsBackOnTextsThatAreNoNumbers)
{
    const struct { QHash<QString, QString> stored; QString read; } cases[] = {
        {{{"TestStopped", "-1"}, {"ListViewType", "1"}, {"max_test", "25"}, {"max_search", "3"}, {"UseProxy", "-1"},
          {"ProxyAddress", "proxy.local"}, {"ProxyPort", "3128"}, {"FTP_PATH", "/usr/bin/lftp"}, {"FTP_LOCAL", "/home/u/Music"},
          {"FTP_CLIENT", "2"}},
         u"1 1 25 3 1 3128 2 proxy.local /usr/bin/lftp /home/u/Music /p/script.scr"_s},
        {{{"max_search", "many"}, {"TestStopped", "yes"}, {"ProxyPort", ""}, {"max_test", "0"}},
         u"0 3 0 10 0 80 0   /p /p/script.scr"_s},
    };
    for (const auto &c : cases) {
        MemoryPreferenceStore store;
        store.values = c.stored;
        const Preferences p = LoadPreferences(store, u"/p"_s);
        QStringList read;
        for (const int n : {int(p.testingEnabled), int(p.listViewType), p.maxTest, p.maxSearch, int(p.useProxy), p.proxyPort, p.ftpClient})
            read << QString::number(n);
        EXPECT_EQ((read << p.proxyAddress << p.ftpPath << p.ftpLocal << p.scriptPath).join(u' '), c.read);
        EXPECT_TRUE(store.written.isEmpty());
    }
}

TEST(Preferences, ShutDownWritesOnlyTheTestAndViewKeysUnderSettings)
{
    MemoryPreferenceStore store;
    Preferences p;
    p.testingEnabled = true;
    p.listViewType = ListLayout::HalfDetailed;
    SaveShutdownPreferences(p, store);
    EXPECT_EQ(store.written, (QStringList{"TestStopped", "ListViewType"}));
    EXPECT_EQ(store.values, (QHash<QString, QString>{{"TestStopped", "-1"}, {"ListViewType", "2"}}));
    QTemporaryDir dir;
    SettingsStore file(dir.filePath(u"Kestrune.conf"_s));
    p.testingEnabled = false;
    SaveShutdownPreferences(p, file);
    EXPECT_EQ(readBytes(dir.filePath(u"Kestrune.conf"_s)), "[Settings]\nListViewType=2\nTestStopped=0\n");
    // A store under a plain file, where no folder can be made, says that it failed.
    EXPECT_TRUE(file.write(u"max_test"_s, u"5"_s));
    EXPECT_FALSE(SettingsStore(dir.filePath(u"Kestrune.conf/nested.conf"_s)).write(u"max_test"_s, u"5"_s));
}

} // namespace
