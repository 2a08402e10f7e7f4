#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <limits>

class QTcpSocket;

// Why a connection could not be made or failed.
struct SocketFailure
{
    enum class Kind { InvalidAddress, HostNotFound, Refused, TimedOut, Network, Certificate, Handshake, Other };
    Kind kind = Kind::Other;
    // For people: Qt's words, or ours for an empty host or a port outside 1..65535. A certificate
    // failure names what is wrong with the certificate.
    QString text;
};

// An array of TCP client sockets addressed by index; an element may speak TLS.
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

    // Plain: TCP only. Tls: TCP first, then TLS once startEncryption() is called, so that a
    // proxy's tunnel can be opened in between.
    enum class Channel { Plain, Tls };

    // Creating an element that exists replaces it (the old connection is dropped silently).
    void create(int index, Channel channel = Channel::Plain);
    bool exists(int index) const { return m_sockets.contains(index); }
    int size() const { return static_cast<int>(m_sockets.size()); }

    // Starts connecting; the outcome arrives as connected(i) or error(i). A port outside
    // 1..65535 or an empty host fails with error(i) of kind InvalidAddress.
    void connectTo(int index, const QString &host, int port);
    // Starts the TLS handshake on a connected Tls element, verifying the certificate against the
    // system's trusted certificates (and those of the PEM file that KESTRUNE_CA_FILE names) and
    // `peerName`, which is also sent as the server name. The outcome arrives as encrypted(i) or
    // error(i) of kind Certificate or Handshake.
    void startEncryption(int index, const QString &peerName);
    void send(int index, const QByteArray &bytes);
    // Everything received and not yet taken, one byte per character, appended to `target` straight
    // from the socket's buffer (one copy fewer, which counts for megabyte pages), but never more
    // than makes `target` `limit` bytes long; returns the bytes added.
    qint64 appendAllTo(int index, QByteArray &target, qsizetype limit = std::numeric_limits<qsizetype>::max());
    // Closing or destroying an element that is gone is no error.
    void close(int index);
    void destroy(int index);
    void destroyAll();
    // Ends element i with the caller's own failure, delivered as error(i) like any other.
    void fail(int index, const SocketFailure &failure);

signals:
    void connected(int index);
    void encrypted(int index);
    void dataArrival(int index);
    void closed(int index); // the peer closed the connection
    // The connection could not be made or failed. Receivers may take the index alone.
    void error(int index, const SocketFailure &failure);

private:
    struct Element;
    Element *element(int index) const;

    QHash<int, Element *> m_sockets;
    quint64 m_generation = 0;
};
