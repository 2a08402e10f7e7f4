#include "platform/socket_array.h"

#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// A socket array whose events are logged as "event:index", with the data taken as it arrives.
struct LoggedArray
{
    LoggedArray()
    {
        QObject::connect(&array, &SocketArray::connected, [this](int i) { events << u"connect:%1"_s.arg(i); });
        QObject::connect(&array, &SocketArray::closed, [this](int i) { events << u"close:%1"_s.arg(i); });
        QObject::connect(&array, &SocketArray::dataArrival, [this](int i) { array.appendAllTo(i, data[i]); });
        QObject::connect(&array, &SocketArray::error, [this](int i, const SocketFailure &f) { events << u"error:%1"_s.arg(i); failures[i] = f; });
    }
    void connectTo(int index, const QString &host, int port) { array.create(index); array.connectTo(index, host, port); }
    bool waitFor(const QString &event) { return QTest::qWaitFor([&] { return events.contains(event); }, 5000); }

    SocketArray array;
    QStringList events;
    QHash<int, QByteArray> data;
    QHash<int, SocketFailure> failures;
};

TEST(SocketArray, FailedConnectsReportTheirKind)
{
    using Kind = SocketFailure::Kind;
    const struct { const char *name; QString host; int port; Kind kind; } cases[] = {
        {"NobodyListens", u"127.0.0.1"_s, freePort(), Kind::Refused}, {"LowestPort", u"127.0.0.1"_s, 1, Kind::Refused},
        {"HighestPort", u"127.0.0.1"_s, 65535, Kind::Refused},        {"PortZero", u"127.0.0.1"_s, 0, Kind::InvalidAddress},
        {"PortAboveRange", u"127.0.0.1"_s, 65536, Kind::InvalidAddress}, {"NoHost", QString(), 21, Kind::InvalidAddress}};
    LoggedArray log;
    for (int i = 0; i < int(std::size(cases)); ++i) log.connectTo(i, cases[i].host, cases[i].port);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_TRUE(log.waitFor(u"error:%1"_s.arg(i)));
        EXPECT_TRUE(log.failures[i].kind == cases[i].kind && !log.failures[i].text.isEmpty());
    }
    EXPECT_EQ(log.events.size(), int(std::size(cases)));
}

// Megabytes arrive whole, however many pieces they come in; the peer's close is a close, no error.
TEST(SocketArray, APeerCloseIsACloseAfterTheWholeStream)
{
    const QByteArray stream = QByteArray("0123456789abcdefg").repeated(185000);
    ScriptedServer server([&](ScriptedServer::Connection &c) { ScriptedServer::reply(c, stream); });
    LoggedArray log;
    QObject::connect(&log.array, &SocketArray::connected, [&](int i) { log.array.send(i, "\r\n\r\n"); });
    log.connectTo(1, u"127.0.0.1"_s, server.port());
    ASSERT_TRUE(log.waitFor(u"close:1"_s));
    log.array.appendAllTo(1, log.data[1]);
    EXPECT_TRUE(log.data[1] == stream) << log.data[1].size();
    EXPECT_EQ(log.events, (QStringList{u"connect:1"_s, u"close:1"_s}));
}

// An element destroyed, or created anew at its index, is gone: its events under way never come; calls for no element do nothing.
TEST(SocketArray, AGoneElementGetsNoEvents)
{
    for (const bool anew : {false, true}) {
        SCOPED_TRACE(anew ? "CreatedAnew" : "Destroyed");
        LoggedArray log;
        log.array.create(1);
        QTcpSocket *old = log.array.findChild<QTcpSocket *>();
        emit old->connected();
        emit old->readyRead();
        emit old->disconnected();
        emit old->errorOccurred(QAbstractSocket::NetworkError);
        anew ? log.array.create(1) : log.array.destroy(1);
        log.array.close(2);
        log.array.send(2, "x");
        EXPECT_EQ(log.array.appendAllTo(2, log.data[2]), 0);
        QTest::qWait(100);
        EXPECT_TRUE(log.events.isEmpty() && log.data.value(1).isEmpty() && log.array.size() == (anew ? 1 : 0)) << log.events.join(u' ').toStdString();
    }
}

} // namespace
