#include "prefs/preferences.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace {

using namespace Qt::StringLiterals;

// The preference under `key` ("script": the script path) once `stored` is stored there; null: nothing.
QString read(const QString &key, const QString &stored)
{
    MemoryPreferenceStore store;
    if (!stored.isNull()) store.values.insert(key, stored);
    const Preferences p = LoadPreferences(store, u"/p"_s);
    const auto n = [](int v) { return QString::number(v); };
    return QMap<QString, QString>{{"TestStopped", n(p.testingEnabled)}, {"ListViewType", n(int(p.listViewType))}, {"max_test", n(p.maxTest)},
            {"max_search", n(p.maxSearch)}, {"UseProxy", n(p.useProxy)}, {"ProxyAddress", p.proxyAddress}, {"ProxyPort", n(p.proxyPort)},
            {"FTP_PATH", p.ftpPath}, {"FTP_LOCAL", p.ftpLocal}, {"FTP_CLIENT", n(p.ftpClient)}, {"script", p.scriptPath}}.value(key);
}

// A missing key, or a hand-edited text that is no number, reads as the default; a port above 65535 is kept: connecting refuses.
TEST(Preferences, ReadsEachKeyOrItsDefault)
{
    const struct { QString key, stored, read; } cases[] = {
        {"TestStopped", {}, "0"}, {"ListViewType", {}, "3"}, {"max_test", {}, "10"}, {"max_search", {}, "10"}, {"UseProxy", {}, "0"},
        {"ProxyPort", {}, "80"}, {"FTP_CLIENT", {}, "0"}, {"FTP_LOCAL", {}, "/p"}, {"script", {}, "/p/script.scr"},
        {"TestStopped", "-1", "1"}, {"TestStopped", "yes", "0"}, {"ListViewType", "1", "1"}, {"max_test", " 25 ", "25"},
        {"max_search", "many", "10"}, {"max_search", "0", "0"}, {"UseProxy", "2", "1"}, {"UseProxy", "x", "0"},
        {"ProxyPort", "65535", "65535"}, {"ProxyPort", "65536", "65536"}, {"ProxyAddress", "p.local", "p.local"},
        {"FTP_PATH", "/bin/c", "/bin/c"}, {"FTP_LOCAL", "/m", "/m"}, {"FTP_CLIENT", "2", "2"}};
    for (const auto &c : cases) EXPECT_EQ(read(c.key, c.stored), c.read) << (c.key + u'=' + c.stored).toStdString();
}

TEST(SettingsStore, SaysWhenAValueCannotBeStored) // under a plain file, where no folder can be made
{
    QTemporaryDir dir;
    EXPECT_TRUE(SettingsStore(dir.filePath(u"a.conf"_s)).write(u"k"_s, u"5"_s));
    EXPECT_FALSE(SettingsStore(dir.filePath(u"a.conf/b.conf"_s)).write(u"k"_s, u"5"_s));
}

} // namespace
