#include "catalogue/engine_catalogue.h"
#include "prefs/ui/options_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/test_files.h"
#include "support/widgets.h"

namespace {

using namespace Qt::StringLiterals;

const QByteArray kTwoClients = "[Clients]\r\nCount=2\r\nClient1=lftp\r\nClient2=other\r\n"
                               "[lftp]\r\nLocation=/usr/bin/lftp\r\nArgs=-f \"%s\"\r\n[other]\r\nLocation=/opt/other\r\nArgs=-x\r\n";

// The Options dialog over a program folder whose settings.dat lists two clients.
struct OptionsTest : ::testing::Test
{
    void SetUp() override { writeBytes(settingsPath(), "[Engine]\r\nQUERY=x\r\n" + kTwoClients); }

    QString settingsPath() const { return dir.filePath(kSettingsFile); }
    // Opens the dialog; `act` works in it and closes it.
    void options(const Step &act, QList<Step> more = {})
    {
        prompts.steps = QList<Step>{act} + more;
        OptionsDialog dialog({preferences, store, profile, prompts}, nullptr);
        dialog.SetUp();
        prompts.showModal(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(prompts.steps.isEmpty()) << "a dialog was not shown";
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    Preferences preferences;
    MemoryPreferenceStore store;
    ScriptedPrompts prompts;
};

// However the dialog closes, all eight keys are stored once; client 0 is stored as 1, whose
// "Location" replaces the program. With the proxy panel shown the other two are hidden.
TEST_F(OptionsTest, EveryWayOfClosingStoresEveryFieldOnce)
{
    for (const Step &close : {Step([](QDialog &d) { click(d, "SaveBttn"); }), Step([](QDialog &d) { d.close(); }),
                              Step([](QDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); })}) {
        store = {};
        preferences.ftpClient = 0;
        options([&](QDialog &d) {
            auto *tree = part<QTreeWidget>(d, "SettingsOpts");
            EXPECT_TRUE(part<QWidget>(d, "SetBox1")->isVisible());
            tree->setCurrentItem(tree->topLevelItem(1));
            EXPECT_EQ(std::pair(part<QWidget>(d, "SetBox2")->isVisible(), part<QWidget>(d, "SetBox1")->isVisible() || part<QWidget>(d, "SetBox3")->isVisible()),
                      std::pair(true, false));
            close(d);
        });
        EXPECT_EQ(store.written, (QStringList{"max_test", "max_search", "UseProxy", "ProxyAddress", "ProxyPort", "FTP_LOCAL", "FTP_PATH", "FTP_CLIENT"}));
        EXPECT_EQ(store.values.value(u"FTP_CLIENT"_s) + store.values.value(u"FTP_PATH"_s), u"1/usr/bin/lftp"_s);
        EXPECT_EQ(preferences.ftpClient, 1);
    }
}

// What the fields hold goes to the live preferences as it is stored; a number that is no whole number in range keeps its value.
TEST_F(OptionsTest, FieldsReachThePreferencesAndBadNumbersKeepTheirValue)
{
    const struct { QString limit, port; int limitAfter, portAfter; } cases[] = {
        {"1", "1", 1, 1}, {"10000", "65535", 10000, 65535}, {"0", "0", 7, 8080}, {"10001", "65536", 7, 8080},
        {"", "", 7, 8080}, {"x", "-5", 7, 8080}, {" 12 ", "21", 12, 21}};
    for (const auto &c : cases) {
        preferences.maxSearch = preferences.maxTest = 7;
        preferences.proxyPort = 8080;
        preferences.useProxy = true;
        options([&](QDialog &d) {
            for (const auto &[field, text] : {std::pair{"MaxSearch", c.limit}, {"MaxTest", c.limit}, {"Port", c.port}, {"Address", u"proxy.lan"_s}, {"CuteLocal", u"/music/"_s}})
                part<QLineEdit>(d, field)->setText(text);
            part<QCheckBox>(d, "Proxy")->setChecked(false);
            part<QListWidget>(d, "ClientsList")->setCurrentRow(1);
            d.close();
        });
        const Preferences &p = preferences;
        EXPECT_EQ(QList<int>({p.maxSearch, p.maxTest, p.proxyPort, p.ftpClient, p.useProxy}), QList<int>({c.limitAfter, c.limitAfter, c.portAfter, 2, 0})) << c.limit.toStdString();
        EXPECT_EQ(QStringList({p.proxyAddress, p.ftpLocal, p.ftpPath, store.values.value(u"max_search"_s), store.values.value(u"UseProxy"_s)}),
                  QStringList({"proxy.lan", "/music/", "/opt/other", QString::number(c.limitAfter), "0"}));
    }
}

// Add, Edit and Delete rewrite [Clients] whole and at once, and templates with CR LF ends: "Edit", "Done" adds one empty line.
TEST_F(OptionsTest, AddEditAndDeleteKeepSettingsAndTemplatesInStep)
{
    const QString tpl = dir.filePath(u"new one.scr"_s);
    prompts.answers = {true};
    options([&](QDialog &d) {
        part<QLineEdit>(d, "CutePath")->setText(u"/typed"_s);
        click(d, "AddBtn");
        EXPECT_EQ(readBytes(tpl) + part<QLineEdit>(d, "CutePath")->text().toUtf8(), "open \"%h\"\r\n\r\nget \"%f\"\r\n/typed");
        part<QListWidget>(d, "ClientsList")->setCurrentRow(2);
        click(d, "EditBtn");
        EXPECT_EQ(part<QLineEdit>(d, "CutePath")->text(), u"/bin/edited"_s);
        part<QListWidget>(d, "ClientsList")->setCurrentRow(1);
        click(d, "DelBtn");
        EXPECT_EQ(part<QLineEdit>(d, "CutePath")->text(), u"/usr/bin/lftp"_s); // the first entry, selected
        click(d, "SaveBttn");
    }, {editor(u"  new one "_s, u" /bin/new "_s, u"-f %s"_s, u"open \"%h\"\n\nget \"%f\"  "_s),
        [](QDialog &form) {
            EXPECT_TRUE(part<QLineEdit>(form, "tName")->isReadOnly());
            editor(u"renamed"_s, u"/bin/edited"_s, {}, {})(form);
        }});
    EXPECT_EQ(readBytes(tpl), "open \"%h\"\r\n\r\nget \"%f\"\r\n\r\n");
    EXPECT_EQ(readBytes(settingsPath()), "[Engine]\r\nQUERY=x\r\n[lftp]\r\nLocation=/usr/bin/lftp\r\nArgs=-f \"%s\"\r\n"
                                         "[other]\r\nLocation=/opt/other\r\nArgs=-x\r\n[new one]\r\nLocation=/bin/edited\r\nArgs=-f %s\r\n"
                                         "[Clients]\r\nCount=2\r\nClient1=lftp\r\nClient2=new one\r\n");
    EXPECT_EQ(prompts.asked, QStringList{u"Kestrune: Are you sure you want to delete?"_s});
    EXPECT_EQ(store.values.value(u"FTP_CLIENT"_s), u"1"_s);
}

// A name listed already (exactly) or one that cannot name a section and a file keeps the editor open and writes nothing; one
// differing in case is a client of its own sharing the section. A client without a template edits an empty script; none written.
TEST_F(OptionsTest, NamesAreRefusedUnlessNewAndCaseDifferentNamesShareASection)
{
    options([&](QDialog &d) {
        for (int i = 0; i < 5; ++i) click(d, "AddBtn");
        click(d, "EditBtn");
        d.close();
    }, {[&](QDialog &form) {
            for (const QString &name : {u"lftp"_s, u" "_s, u"a/b"_s, u"[x]"_s, u".."_s, QString(255, u'a')}) {
                editor(name, u"/x"_s, u"-y"_s, u"s"_s)(form);
                EXPECT_TRUE(form.isVisible()) << name.toStdString();
            }
            EXPECT_FALSE(part<QLabel>(form, "Problem")->text().isEmpty());
            form.close();
        },
        editor(u"LFTP"_s, u"/x"_s, u"-y"_s, {}), editor(u"\u00e9t\u00e9"_s, u"/\u00e9"_s, {}, u"\u00e9"_s), editor(u"a.b"_s, {}, {}, {}),
        [](QDialog &form) { form.close(); },
        [](QDialog &form) {
            EXPECT_EQ(part<QLineEdit>(form, "tName")->text() + u'|' + part<QPlainTextEdit>(form, "tScript")->toPlainText(), u"lftp|"_s);
            form.close();
        }});
    EXPECT_EQ(readBytes(settingsPath()), "[Engine]\r\nQUERY=x\r\n[lftp]\r\nLocation=/x\r\nArgs=-y\r\n[other]\r\nLocation=/opt/other\r\nArgs=-x\r\n"
                                         "[\xc3\xa9t\xc3\xa9]\r\nLocation=/\xc3\xa9\r\nArgs=\r\n[Clients]\r\nCount=5\r\nClient1=lftp\r\nClient2=other\r\n"
                                         "Client3=LFTP\r\nClient4=\xc3\xa9t\xc3\xa9\r\nClient5=a.b\r\n[a.b]\r\nLocation=\r\nArgs=\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList({u"*.scr"_s}), QStringList{QString::fromUtf8("\xc3\xa9t\xc3\xa9.scr")});
    EXPECT_EQ(readBytes(dir.filePath(QString::fromUtf8("\xc3\xa9t\xc3\xa9.scr"))), "\xc3\xa9\r\n");
}

// One client: "Delete" asks nothing and changes nothing; "No" changes nothing either. An empty list (or a number past it) selects
// nothing and keeps the program set; the first client added to it is the one chosen.
TEST_F(OptionsTest, DeleteNeedsTwoClientsAndAYesAndAnEmptyListChoosesTheFirstAdded)
{
    writeBytes(settingsPath(), "[Clients]\r\nCount=1\r\nClient1=solo\r\n");
    options([&](QDialog &d) { click(d, "DelBtn"); d.close(); });
    EXPECT_TRUE(prompts.asked.isEmpty());
    writeBytes(settingsPath(), kTwoClients);
    prompts.answers = {false, true};
    options([&](QDialog &d) {
        click(d, "DelBtn");
        EXPECT_EQ(readBytes(settingsPath()), kTwoClients);
        if (ReadOnlyFolder locked(dir.path()); locked.effective()) {
            prompts.answers.prepend(true);
            click(d, "DelBtn");
            EXPECT_EQ(part<QListWidget>(d, "ClientsList")->count(), 2);
        }
        click(d, "DelBtn");
        d.close();
    });
    EXPECT_EQ(readBytes(settingsPath()), "[lftp]\r\nLocation=/usr/bin/lftp\r\nArgs=-f \"%s\"\r\n[other]\r\nLocation=/opt/other\r\nArgs=-x\r\n"
                                         "[Clients]\r\nCount=1\r\nClient1=other\r\n");

    writeBytes(settingsPath(), "[Clients]\r\nCount=999999999\r\n");
    preferences.ftpClient = 3;
    preferences.ftpPath = u"/bin/kept"_s;
    options([&](QDialog &d) {
        EXPECT_EQ(part<QListWidget>(d, "ClientsList")->count(), 0);
        d.close();
    });
    EXPECT_EQ(store.values.value(u"FTP_CLIENT"_s) + store.values.value(u"FTP_PATH"_s), u"0/bin/kept"_s);
    prompts.chosen = u"/usr/local/bin/client"_s;
    options([&](QDialog &d) { click(d, "AddBtn"); d.close(); },
            {[](QDialog &form) { click(form, "tPathChoose"); editor(u"first"_s, {}, {}, {})(form); }});
    EXPECT_EQ(store.values.value(u"FTP_CLIENT"_s) + store.values.value(u"FTP_PATH"_s), u"1/usr/local/bin/client"_s);
}

} // namespace
