#include "update/update_session.h"

#include "catalogue/engine_catalogue.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

const QByteArray kSettings = catalogueText({{"Old One", "http://old1/?q=%s"}, {"Old Two", "http://old2/?q=%s", "False"}, {"Old Three", "http://old3/?q=%s"}},
                                           "[Clients]\r\nCount=1\r\nClient1=lftp\r\n\r\n[lftp]\r\nArgs=-f \"%s\"\r\n");

struct UpdateSessionTest : ::testing::Test
{
    void SetUp() override
    {
        writeBytes(home.filePath(kSettingsFile), kSettings);
        LoadEngines(engines, profile);
        QDir(root.path()).mkpath(u"~quenmar/cgi-bin"_s);
    }

    void serve(const QString &name, const QByteArray &body) { writeBytes(root.filePath(u"~quenmar/cgi-bin/"_s + name), body); }
    void viaProxy(const TinyproxyPeer *proxy)
    {
        preferences.useProxy = proxy != nullptr;
        preferences.proxyAddress = u"127.0.0.1"_s;
        preferences.proxyPort = proxy ? proxy->port() : 0;
    }
    // One exchange from the window's opening to its end; returns why it failed, or nothing.
    QString exchange(void (UpdateSession::*start)())
    {
        QSignalSpy ended(&session, &UpdateSession::exchangeEnded);
        session.load();
        (session.*start)();
        EXPECT_TRUE(ended.wait(10000));
        return ended.isEmpty() ? u"no end"_s : ended.at(0).at(0).toString();
    }
    QString setting(const QString &section, const QString &key) { return profile.ReadProfile(kSettingsFile, section, key, u"-"_s); }

    QTemporaryDir home, root;
    Profile profile{home.path()};
    Preferences preferences;
    RecordingShell shell;
    NodeTree engines{NodeTree::DisplayMode::CheckBoxes};
    UpdateSession session{{profile, preferences, shell, engines}, TimeLimits{.updateSilence = std::chrono::seconds(2)}};
};

// nginx serves the three resources as static files (with a length); ticked candidates merge key by key, unticked leave no number.
TEST_F(UpdateSessionTest, AllThreeExchangesWithNginxDirectlyAndThroughTinyproxy)
{
    NginxPeer nginx(root.path());
    TinyproxyPeer tinyproxy;
    ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    ASSERT_TRUE(tinyproxy.start()) << tinyproxy.output().toStdString();
    session.setServer({"127.0.0.1", nginx.port()});
    serve(u"searchup.cgi"_s, "2 1 7 http://kestrune.example/get\n");
    serve(u"enginesup.cgi"_s, "2026-12-01\nNew%20One\nhttp://new1/\nhttp://new1/?q=%s\nNew Two\nhttp://new2/\nhttp://new2/?q=%s\n");
    serve(u"clients.txt"_s, "2026-11-30\n3\nlftp\nx\n{--\ns\n--}\nLFTP\n-f \"%s\"\n{--\nopen %h\nget %f\n--}\nwget\n%s\n{--\n--}\n");
    for (const TinyproxyPeer *proxy : {static_cast<TinyproxyPeer *>(nullptr), &tinyproxy}) {
        SCOPED_TRACE(proxy ? "through tinyproxy" : "directly");
        viaProxy(proxy);
        writeBytes(home.filePath(kSettingsFile), kSettings);
        LoadEngines(engines, profile);

        EXPECT_EQ(exchange(&UpdateSession::checkForUpdate), QString());
        EXPECT_EQ(session.checkText(), u"new Version 2.1 Build 7 Available"_s);
        EXPECT_TRUE(session.handPointer());
        EXPECT_FALSE(session.listShown());
        session.checkTextClicked();
        EXPECT_EQ(shell.opened.value(0), u"http://kestrune.example/get"_s);
        shell.opened.clear();

        EXPECT_EQ(exchange(&UpdateSession::enginesUpdate), QString());
        EXPECT_EQ(session.checkText(), u"Engines were last updated on 2026-12-01"_s);
        EXPECT_TRUE(session.listShown());
        ASSERT_EQ(session.candidates().count(), 2);
        session.candidates().setChecked(2, false);
        engines.setChecked(2, true); // the main list's ticks are stored before the merge
        ASSERT_EQ(session.UpdateBtnClick(), UpdateSession::Merged::Yes);
        EXPECT_EQ(QStringList({setting(u"Engines"_s, u"Count"_s), setting(u"Engines"_s, u"Name1"_s), setting(u"Engines"_s, u"Name2"_s),
                               setting(u"New One"_s, u"URL"_s), setting(u"New One"_s, u"QUERY"_s), setting(u"New One"_s, u"Active"_s),
                               setting(u"New Two"_s, u"QUERY"_s), setting(u"Old Two"_s, u"Active"_s)}),
                  QStringList({"2", "New One", "Old Two", "http://new1/", "http://new1/?q=%s", "-", "-", "True"}));
        ASSERT_EQ(engines.count(), 2) << "the engine list is read again";
        EXPECT_EQ(engines.text(1) + engines.text(2) + QString::number(engines.checked(1)) + QString::number(engines.checked(2)), u"New OneOld Two01"_s);

        EXPECT_EQ(exchange(&UpdateSession::checkForClients), QString());
        EXPECT_EQ(session.checkText(), u"Clients were last updated on 2026-11-30"_s);
        EXPECT_TRUE(session.listShown());
        ASSERT_EQ(session.candidates().count(), 2) << "lftp is known; LFTP is another name";
        session.candidates().setChecked(2, false);
        ASSERT_EQ(session.UpdateBtnClick(), UpdateSession::Merged::Yes);
        EXPECT_EQ(QStringList({setting(u"Clients"_s, u"Count"_s), setting(u"Clients"_s, u"Client2"_s), setting(u"Clients"_s, u"Client3"_s),
                               setting(u"LFTP"_s, u"Args"_s), setting(u"wget"_s, u"Args"_s)}),
                  QStringList({"3", "LFTP", "-", "-f \"%s\"", "-"}));
        EXPECT_EQ(readBytes(home.filePath(u"LFTP.scr"_s)), "open %h\r\nget %f\r\n\r\n");
        EXPECT_FALSE(QFile::exists(home.filePath(u"wget.scr"_s)));
    }
    const QList<QByteArray> log = nginx.accessLog().trimmed().split('\n');
    ASSERT_EQ(log.size(), 6);
    EXPECT_TRUE(log[0].contains("| GET /~quenmar/cgi-bin/searchup.cgi HTTP/1.0 | 127.0.0.1 | Holmvane [en] (Win98; U) |")) << log[0].toStdString();
    EXPECT_TRUE(log[5].contains("(tinyproxy/")) << "the proxy's Via: " << log[5].toStdString();
}

// Responses in pieces from a scripted server: complete by their length without waiting for the
// close, or complete at the close; each exchange starts with an empty buffer.
TEST_F(UpdateSessionTest, AResponseEndsAtItsLengthOrAtTheClose)
{
    const QByteArray lengthHead = "HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n", body = "2026-12-01\nAB\nu\nq%s\n";
    const QByteArray noLength = "HTTP/1.0 200 OK\r\n\r\n3 0 0 http://kestrune.example/";
    ScriptedServer server([&](ScriptedServer::Connection &c) {
        QTcpSocket *socket = c.socket;
        if (c.request.contains("enginesup")) {
            // The header's end split between two pieces, and 19 of 20 body bytes before the last.
            socket->write(lengthHead.chopped(2));
            QTimer::singleShot(100, socket, [=] { socket->write(lengthHead.right(2) + body.chopped(1)); });
            QTimer::singleShot(300, socket, [=] { socket->write(body.right(1)); }); // and never closes
        } else {
            socket->write(noLength.left(25));
            QTimer::singleShot(100, socket, [=] { socket->write(noLength.mid(25)); });
            QTimer::singleShot(300, socket, [=] { socket->disconnectFromHost(); });
        }
    });
    TinyproxyPeer tinyproxy;
    ASSERT_TRUE(tinyproxy.start()) << tinyproxy.output().toStdString();
    session.setServer({"127.0.0.1", server.port()});
    for (const TinyproxyPeer *proxy : {static_cast<TinyproxyPeer *>(nullptr), &tinyproxy}) {
        SCOPED_TRACE(proxy ? "through tinyproxy" : "directly");
        viaProxy(proxy);
        // Ended without a close, and not at 19 of 20 (the last record would lack its line end).
        EXPECT_EQ(exchange(&UpdateSession::enginesUpdate), QString());
        EXPECT_EQ(session.candidates().text(1), u"AB"_s);
        EXPECT_EQ(session.checkText(), u"Engines were last updated on 2026-12-01"_s);
        EXPECT_TRUE(session.receiveBuffer().endsWith(body));

        QSignalSpy texts(&session, &UpdateSession::checkTextChanged);
        EXPECT_EQ(exchange(&UpdateSession::checkForUpdate), QString());
        EXPECT_EQ(session.checkText(), u"new Version 3.0 Build 0 Available"_s);
        // The count starts from zero. (A proxy adds its own header lines.)
        EXPECT_TRUE(proxy || texts.contains({u"Receiving info 25"_s}));
        EXPECT_FALSE(session.receiveBuffer().contains(body)) << "a new exchange starts with an empty buffer";
    }
}

TEST_F(UpdateSessionTest, ErrorsAndAnOfferOfNothing)
{
    ScriptedServer silent, badLength([](ScriptedServer::Connection &c) {
        QTcpSocket *socket = c.socket;
        if (c.request.contains("clients.txt"))
            return ScriptedServer::reply(c, "HTTP/1.0 200 OK\r\n\r\nd\n1\nlftp\nx\n{--\n--}\n");
        socket->write("HTTP/1.0 200 OK\r\nContent-Length: many\r\n\r\nd\n");
        QTimer::singleShot(200, socket, [=] { socket->disconnectFromHost(); });
    });
    session.setServer({"127.0.0.1", silent.port()});
    EXPECT_TRUE(exchange(&UpdateSession::checkForUpdate).contains(u"sent nothing for 2 s"_s));
    EXPECT_EQ(session.checkText(), u"Error occured"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.open() == 0; })) << "the connection is closed";

    session.setServer({"127.0.0.1", freePort()});
    EXPECT_FALSE(exchange(&UpdateSession::checkForUpdate).isEmpty());
    EXPECT_EQ(session.checkText(), u"Error occured"_s);

    // The close after a bad length still reads the response, whose text replaces the error.
    session.setServer({"127.0.0.1", badLength.port()});
    QSignalSpy texts(&session, &UpdateSession::checkTextChanged);
    EXPECT_EQ(exchange(&UpdateSession::enginesUpdate), QString());
    EXPECT_TRUE(texts.contains({u"Error occured"_s}));
    EXPECT_EQ(session.checkText(), u"Engines were last updated on d"_s);
    EXPECT_TRUE(session.listShown()) << "an empty list shows all the same";
    // Merging nothing keeps every engine: "Count" would otherwise become 0.
    EXPECT_EQ(session.UpdateBtnClick(), UpdateSession::Merged::Yes);
    EXPECT_EQ(readBytes(home.filePath(kSettingsFile)), kSettings);

    EXPECT_EQ(exchange(&UpdateSession::checkForClients), QString());
    EXPECT_EQ(session.checkText(), u"No new clients added..."_s) << "lftp is known";
    EXPECT_FALSE(session.listShown());
}

} // namespace
