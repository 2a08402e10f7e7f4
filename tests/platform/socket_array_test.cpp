#include "platform/socket_array.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// A socket array whose events are logged as "event:index", with the data taken as it arrives.
struct LoggedArray
{
    LoggedArray()
    {
        const auto log = [this](void (SocketArray::*signal)(int), const QString &name) {
            QObject::connect(&array, signal, [this, name](int i) { events << name + u':' + QString::number(i); });
        };
        log(&SocketArray::connected, u"connect"_s);
        log(&SocketArray::closed, u"close"_s);
        log(&SocketArray::error, u"error"_s);
        log(&SocketArray::dataArrival, u"data"_s);
        QObject::connect(&array, &SocketArray::dataArrival, [this](int i) { data[i] += array.takeAll(i); });
    }
    void connectTo(int index, const QString &host, int port)
    {
        array.create(index);
        array.connectTo(index, host, port);
    }
    bool waitFor(const QString &event) { return QTest::qWaitFor([&] { return events.contains(event); }, 5000); }

    SocketArray array;
    QStringList events;
    QHash<int, QByteArray> data;
};

TEST(SocketArray, FetchesAPageFromARealServer)
{
    QTemporaryDir root;
    writeBytes(root.filePath(u"page"_s), "<a href=\"ftp://h/f.mp3\">");
    NginxPeer nginx(root.path());
    ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();

    LoggedArray log;
    log.connectTo(3, u"127.0.0.1"_s, nginx.port());
    EXPECT_TRUE(log.events.isEmpty()); // nothing arrives from inside the call
    ASSERT_TRUE(log.waitFor(u"connect:3"_s));
    log.array.send(3, "GET /page HTTP/1.0\r\nHost: x\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(log.waitFor(u"close:3"_s));
    EXPECT_TRUE(log.data[3].startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(log.data[3].endsWith("<a href=\"ftp://h/f.mp3\">"));
    EXPECT_FALSE(log.events.contains(u"error:3"_s));
}

TEST(SocketArray, RefusedPortsBadPortsAndEmptyHostsReportError)
{
    LoggedArray log;
    log.connectTo(1, u"127.0.0.1"_s, freePort());
    log.connectTo(2, u"127.0.0.1"_s, 0);
    log.connectTo(4, QString(), 21);
    log.connectTo(5, u"127.0.0.1"_s, 70000);
    for (int i : {1, 2, 4, 5})
        EXPECT_TRUE(log.waitFor(u"error:%1"_s.arg(i))) << i;
    EXPECT_EQ(log.events.size(), 4);
}

TEST(SocketArray, NothingArrivesAfterDestroyAndAPeerCloseIsACloseNotAnError)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket *peer = server.nextPendingConnection();
        peer->write("first ");
        peer->flush();
        peer->write("second");
        peer->disconnectFromHost();
    });
    LoggedArray log;
    log.connectTo(1, u"127.0.0.1"_s, server.serverPort());
    log.array.destroy(1);
    log.array.destroy(1);
    log.array.close(7);
    log.array.send(7, "x");
    EXPECT_TRUE(log.array.takeAll(7).isEmpty());
    QTest::qWait(200);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_FALSE(log.array.exists(1));

    // A new element at the same index gets only its own events.
    log.connectTo(1, u"127.0.0.1"_s, server.serverPort());
    ASSERT_TRUE(log.waitFor(u"close:1"_s));
    EXPECT_EQ(log.data[1] + log.array.takeAll(1), QByteArray("first second"));
    log.events.removeAll(u"data:1"_s); // the bytes may come in one piece or two
    EXPECT_EQ(log.events, (QStringList{u"connect:1"_s, u"close:1"_s}));
}

} // namespace
