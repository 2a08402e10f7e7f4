#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QTcpSocket;

// Why a connection could not be made or failed.
struct SocketFailure
{
    enum class Kind { InvalidAddress, HostNotFound, Refused, TimedOut, Network, Other };
    Kind kind = Kind::Other;
    QString text; // for people: Qt's words, or ours for an empty host or a port outside 1..65535
};

// An array of TCP client sockets addressed by index.
// Element i exists from create(i) until destroy(i). Its events carry the index and always arrive
// from the event loop, never from inside a call of this class, and never after destroy(i):
// a caller may connect, close or destroy in any order without being re-entered.
class SocketArray final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SocketArray)

public:
    explicit SocketArray(QObject *parent = nullptr);
    ~SocketArray() override;

    // Creating an element that exists replaces it (the old connection is dropped silently).
    void create(int index);
    bool exists(int index) const { return m_sockets.contains(index); }
    int size() const { return static_cast<int>(m_sockets.size()); }

    // Starts connecting; the outcome arrives as connected(i) or error(i). A port outside
    // 1..65535 or an empty host fails with error(i) of kind InvalidAddress.
    void connectTo(int index, const QString &host, int port);
    void send(int index, const QByteArray &bytes);
    // Everything received and not yet taken, one byte per character, appended to `target` straight
    // from the socket's buffer (one copy fewer, which counts for megabyte pages); returns the
    // bytes added.
    qint64 appendAllTo(int index, QByteArray &target);
    // Closing or destroying an element that is gone is no error.
    void close(int index);
    void destroy(int index);
    void destroyAll();

signals:
    void connected(int index);
    void dataArrival(int index);
    void closed(int index); // the peer closed the connection
    // The connection could not be made or failed. Receivers may take the index alone.
    void error(int index, const SocketFailure &failure);

private:
    struct Element;
    Element *element(int index) const;
    void failLater(int index, const SocketFailure &failure);

    QHash<int, Element *> m_sockets;
    quint64 m_generation = 0;
};
