#include "platform/socket_array.h"

#include "platform/detail/logging.h"
#include "platform/endpoint.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace {

SocketFailure::Kind kindOf(QAbstractSocket::SocketError code)
{
    using Kind = SocketFailure::Kind;
    switch (code) {
    case QAbstractSocket::HostNotFoundError:
        return Kind::HostNotFound;
    case QAbstractSocket::ConnectionRefusedError:
        return Kind::Refused;
    case QAbstractSocket::SocketTimeoutError:
        return Kind::TimedOut;
    case QAbstractSocket::NetworkError:
        return Kind::Network;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return Kind::InvalidAddress;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return Kind::Handshake;
    default:
        return Kind::Other;
    }
}

QString endpoint(const QString &host, int port)
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

// What every TLS element trusts: the system's certificates, plus those of the PEM file that
// KESTRUNE_CA_FILE names (for tests, and for users with a CA of their own). Verification is never
// turned off. Made once, at the first TLS connection.
QSslConfiguration makeTlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QString path = qEnvironmentVariable("KESTRUNE_CA_FILE");
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!path.isEmpty()) {
        const QList<QSslCertificate> added = QSslCertificate::fromPath(path, QSsl::Pem);
        if (added.isEmpty())
            qCWarning(lcPlatform).noquote() << "KESTRUNE_CA_FILE names no PEM certificate:" << path;
        else
            configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + added);
    }
    return configuration;
}

QString describe(const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &error : errors) {
        if (!texts.contains(error.errorString()))
            texts.append(error.errorString());
    }
    return texts.join(QStringLiteral("; "));
}

} // namespace

struct SocketArray::Element
{
    QTcpSocket *socket = nullptr;
    quint64 generation = 0;
    // A TLS failure raises two errors (the certificate's, then the handshake's): the first tells.
    bool failed = false;
    bool arrivalPending = false; // a dataArrival is on its way
    // Where it was sent, for the log: a failed socket no longer knows.
    QString host;
    int port = 0;
};

SocketArray::SocketArray(QObject *parent)
    : QObject(parent)
{
}

SocketArray::~SocketArray()
{
    destroyAll();
}

SocketArray::Element *SocketArray::element(int index) const
{
    return m_sockets.value(index, nullptr);
}

void SocketArray::create(int index, Channel channel)
{
    destroy(index);
    auto *e = new Element;
    e->generation = ++m_generation;
    // A plain element stays a QTcpSocket: a QSslSocket copies every byte once more even unencrypted.
    e->socket = channel == Channel::Tls ? new QSslSocket(this) : new QTcpSocket(this);
    m_sockets.insert(index, e);

    // Every event is queued and checked against the element's generation when it is delivered, so
    // nothing arrives for an element that was destroyed or created anew in the meantime.
    const quint64 generation = e->generation;
    auto deliver = [this, index, generation](void (SocketArray::*signal)(int)) {
        return [this, index, generation, signal] {
            const Element *current = element(index);
            if (current && current->generation == generation)
                (this->*signal)(index);
        };
    };
    connect(e->socket, &QTcpSocket::connected, this, deliver(&SocketArray::connected), Qt::QueuedConnection);
    // One arrival is told at a time: the receiver takes everything there is, and a TLS socket
    // announces every 4 KiB it decrypts (fifty thousand events for a 200 MiB crawl otherwise).
    connect(e->socket, &QTcpSocket::readyRead, this, [this, index, generation] {
        Element *current = element(index);
        if (!current || current->generation != generation || current->arrivalPending)
            return;
        current->arrivalPending = true;
        QMetaObject::invokeMethod(this, [this, index, generation] {
            Element *now = element(index);
            if (!now || now->generation != generation)
                return;
            now->arrivalPending = false;
            emit dataArrival(index);
        }, Qt::QueuedConnection);
    });
    connect(e->socket, &QTcpSocket::disconnected, this, deliver(&SocketArray::closed), Qt::QueuedConnection);
    if (auto *tls = qobject_cast<QSslSocket *>(e->socket)) {
        connect(tls, &QSslSocket::encrypted, this, deliver(&SocketArray::encrypted), Qt::QueuedConnection);
        connect(tls, &QSslSocket::sslErrors, this, [this, index](const QList<QSslError> &errors) {
            fail(index, {SocketFailure::Kind::Certificate, describe(errors)});
        });
    }
    // A peer that closes also raises RemoteHostClosedError; the disconnect that follows is the
    // Close event, so that error is not one. The failure is taken when it happens, since the
    // socket's text may change before the event loop delivers it.
    connect(e->socket, &QAbstractSocket::errorOccurred, this, [this, index, socket = e->socket](QAbstractSocket::SocketError code) {
        if (code != QAbstractSocket::RemoteHostClosedError)
            fail(index, {kindOf(code), socket->errorString()});
    });
}

void SocketArray::fail(int index, const SocketFailure &failure)
{
    Element *e = element(index);
    if (!e || e->failed)
        return;
    e->failed = true;
    const quint64 generation = e->generation;
    QMetaObject::invokeMethod(this, [this, index, generation, failure] {
        const Element *current = element(index);
        if (!current || current->generation != generation)
            return;
        qCDebug(lcPlatform).noquote() << "socket" << index << "to" << endpoint(current->host, current->port) << "failed:"
                                      << failure.text;
        emit error(index, failure);
    }, Qt::QueuedConnection);
}

void SocketArray::connectTo(int index, const QString &host, int port)
{
    Element *e = element(index);
    if (!e)
        return;
    e->host = host;
    e->port = port;
    if (host.isEmpty()) {
        fail(index, {SocketFailure::Kind::InvalidAddress, QStringLiteral("no host name given")});
        return;
    }
    if (port < 1 || port > kHighestPort) {
        fail(index, {SocketFailure::Kind::InvalidAddress, QStringLiteral("port %1 is outside 1..65535").arg(port)});
        return;
    }
    e->socket->connectToHost(host, static_cast<quint16>(port));
}

void SocketArray::startEncryption(int index, const QString &peerName)
{
    Element *e = element(index);
    if (!e)
        return;
    auto *tls = qobject_cast<QSslSocket *>(e->socket);
    if (!tls) {
        fail(index, {SocketFailure::Kind::Handshake, QStringLiteral("a plain socket cannot start TLS")});
        return;
    }
    static const QSslConfiguration configuration = makeTlsConfiguration();
    tls->setSslConfiguration(configuration);
    tls->setPeerVerifyName(peerName);
    tls->startClientEncryption();
}

void SocketArray::send(int index, const QByteArray &bytes)
{
    if (Element *e = element(index))
        e->socket->write(bytes);
}

qint64 SocketArray::appendAllTo(int index, QByteArray &target, qsizetype limit)
{
    Element *e = element(index);
    const qsizetype old = target.size();
    const qint64 available = e ? std::min<qint64>(e->socket->bytesAvailable(), limit - old) : 0;
    if (available <= 0)
        return 0;
    // Grown by doubling, but never past the limit: a capped page costs its cap, not twice that.
    if (target.capacity() - old < available)
        target.reserve(std::min(std::max<qsizetype>(old + available, 2 * target.capacity()), limit));
    target.resize(old + available);
    const qint64 got = std::max<qint64>(e->socket->read(target.data() + old, available), 0);
    target.resize(old + got);
    return got;
}

void SocketArray::close(int index)
{
    if (Element *e = element(index))
        e->socket->abort();
}

void SocketArray::destroy(int index)
{
    Element *e = m_sockets.take(index);
    if (!e)
        return;
    e->socket->disconnect(this);
    e->socket->abort();
    e->socket->deleteLater();
    delete e;
}

void SocketArray::destroyAll()
{
    const QList<int> indexes = m_sockets.keys();
    for (int index : indexes)
        destroy(index);
}
