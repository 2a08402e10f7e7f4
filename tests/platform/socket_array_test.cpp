#include "platform/socket_array.h"

#include <QDir>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

namespace {

// Collects the events of a socket array as "event:index" texts.
struct EventLog
{
    explicit EventLog(SocketArray &array)
    {
        QObject::connect(&array, &SocketArray::connected, [this](int i) { events << QStringLiteral("connect:%1").arg(i); });
        QObject::connect(&array, &SocketArray::dataArrival, [this, &array](int i) {
            events << QStringLiteral("data:%1").arg(i);
            data[i] += array.takeAll(i);
        });
        QObject::connect(&array, &SocketArray::closed, [this](int i) { events << QStringLiteral("close:%1").arg(i); });
        QObject::connect(&array, &SocketArray::error, [this](int i) { events << QStringLiteral("error:%1").arg(i); });
    }
    bool waitFor(const QString &event, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return events.contains(event); }, ms);
    }
    QStringList events;
    QHash<int, QByteArray> data;
};

TEST(SocketArray, FetchesAPageFromARealServer)
{
    QTemporaryDir root;
    writeBytes(QDir(root.path()).filePath(QStringLiteral("page")), "<a href=\"ftp://h/f.mp3\">");
    NginxPeer nginx(root.path());
    ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();

    SocketArray array;
    EventLog log(array);
    array.create(3);
    array.connectTo(3, QStringLiteral("127.0.0.1"), nginx.port());
    EXPECT_TRUE(log.events.isEmpty()); // nothing arrives from inside the call
    ASSERT_TRUE(log.waitFor(QStringLiteral("connect:3")));
    array.send(3, "GET /page HTTP/1.0\r\nHost: x\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(log.waitFor(QStringLiteral("close:3")));
    EXPECT_TRUE(log.data[3].startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(log.data[3].endsWith("<a href=\"ftp://h/f.mp3\">"));
    EXPECT_FALSE(log.events.contains(QStringLiteral("error:3")));
}

TEST(SocketArray, RefusedPortsBadPortsAndEmptyHostsReportError)
{
    SocketArray array;
    EventLog log(array);
    const int closedPort = freePort();
    array.create(1);
    array.connectTo(1, QStringLiteral("127.0.0.1"), closedPort);
    array.create(2);
    array.connectTo(2, QStringLiteral("127.0.0.1"), 0);
    array.create(4);
    array.connectTo(4, QString(), 21);
    array.create(5);
    array.connectTo(5, QStringLiteral("127.0.0.1"), 70000);
    for (int i : {1, 2, 4, 5})
        EXPECT_TRUE(log.waitFor(QStringLiteral("error:%1").arg(i))) << i;
    EXPECT_EQ(log.events.size(), 4);
}

TEST(SocketArray, NothingArrivesAfterDestroyAndGoneElementsAreNoError)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    SocketArray array;
    EventLog log(array);
    array.create(1);
    array.connectTo(1, QStringLiteral("127.0.0.1"), server.serverPort());
    array.destroy(1);
    array.destroy(1);
    array.close(7);
    array.send(7, "x");
    EXPECT_TRUE(array.takeAll(7).isEmpty());
    QTest::qWait(200);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_FALSE(array.exists(1));

    // A new element at the same index gets only its own events.
    array.create(1);
    array.connectTo(1, QStringLiteral("127.0.0.1"), server.serverPort());
    ASSERT_TRUE(log.waitFor(QStringLiteral("connect:1")));
    EXPECT_EQ(log.events, QStringList{QStringLiteral("connect:1")});
}

TEST(SocketArray, PeerCloseIsACloseEventNotAnError)
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
    SocketArray array;
    EventLog log(array);
    array.create(2);
    array.connectTo(2, QStringLiteral("127.0.0.1"), server.serverPort());
    ASSERT_TRUE(log.waitFor(QStringLiteral("close:2")));
    log.data[2] += array.takeAll(2);
    EXPECT_EQ(log.data[2], QByteArray("first second"));
    EXPECT_FALSE(log.events.contains(QStringLiteral("error:2")));
}

TEST(Peers, FtpAndProxyStartOnLoopback)
{
    QTemporaryDir root;
    FtpPeer ftp(root.path());
    ASSERT_TRUE(ftp.start()) << ftp.output().toStdString();
    TinyproxyPeer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.output().toStdString();
    EXPECT_NE(ftp.port(), proxy.port());
    const qint64 pid = ftp.pid();
    ftp.stop();
    EXPECT_GT(pid, 0);
    EXPECT_FALSE(waitForPort(ftp.port(), std::chrono::milliseconds(300)));
}

} // namespace
