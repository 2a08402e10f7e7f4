#include "platform/socket_array.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// A socket array whose events are logged as "event:index", with the data taken as it arrives.
// Fetching pages from a real nginx is covered by the search controller's tests.
struct LoggedArray
{
    LoggedArray()
    {
        for (const auto &[signal, name] : {std::pair{&SocketArray::connected, u"connect"_s}, {&SocketArray::closed, u"close"_s},
                                           {&SocketArray::dataArrival, u"data"_s}})
            QObject::connect(&array, signal, [this, name](int i) { events << name + u':' + QString::number(i); });
        QObject::connect(&array, &SocketArray::error, [this](int i, const SocketFailure &failure) {
            events << u"error:"_s + QString::number(i);
            failures[i] = failure;
        });
        QObject::connect(&array, &SocketArray::dataArrival, [this](int i) { array.appendAllTo(i, data[i]); });
    }
    void connectTo(int index, const QString &host, int port) { array.create(index); array.connectTo(index, host, port); }
    bool waitFor(const QString &event) { return QTest::qWaitFor([&] { return events.contains(event); }, 5000); }

    SocketArray array;
    QStringList events;
    QHash<int, QByteArray> data;
    QHash<int, SocketFailure> failures;
};

TEST(SocketArray, RefusedPortsBadPortsAndEmptyHostsReportErrorWithTheirKind)
{
    using Kind = SocketFailure::Kind;
    const struct { int index; QString host; int port; Kind kind; } cases[] = {
        {1, u"127.0.0.1"_s, freePort(), Kind::Refused}, {2, u"127.0.0.1"_s, 0, Kind::InvalidAddress},
        {4, QString(), 21, Kind::InvalidAddress}, {5, u"127.0.0.1"_s, 70000, Kind::InvalidAddress},
    };
    LoggedArray log;
    for (const auto &c : cases)
        log.connectTo(c.index, c.host, c.port);
    for (const auto &c : cases) {
        EXPECT_TRUE(log.waitFor(u"error:%1"_s.arg(c.index))) << c.index;
        EXPECT_TRUE(log.failures[c.index].kind == c.kind && !log.failures[c.index].text.isEmpty()) << c.index;
    }
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
    log.array.close(7); // unknown indexes are harmless
    log.array.send(7, "x");
    QByteArray none;
    EXPECT_TRUE(log.array.appendAllTo(7, none) == 0 && none.isEmpty());
    QTest::qWait(200);
    EXPECT_TRUE(log.events.isEmpty() && !log.array.exists(1));

    // A new element at the same index gets only its own events, none from inside the call.
    log.connectTo(1, u"127.0.0.1"_s, server.serverPort());
    EXPECT_TRUE(log.events.isEmpty());
    ASSERT_TRUE(log.waitFor(u"close:1"_s));
    log.array.appendAllTo(1, log.data[1]);
    EXPECT_EQ(log.data[1], QByteArray("first second"));
    log.events.removeAll(u"data:1"_s); // the bytes may come in one piece or two
    EXPECT_EQ(log.events, (QStringList{u"connect:1"_s, u"close:1"_s}));
}

} // namespace
