#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What an update exchange asks the update server for.
enum class UpdateMode { None = 0, Version = 1, Engines = 2, Clients = 3 };

// The resource asked for: "searchup.cgi", "enginesup.cgi" or "clients.txt".
QByteArray requestName(UpdateMode mode);

// Where the update server listens. The program knows one; KESTRUNE_UPDATE_SERVER=HOST:PORT names
// another for one run (a test's, or a user's own).
struct UpdateServer
{
    QByteArray host = "update.kestrune.org";
    int port = 80;

    // HOST:PORT with a port in 1..65535, or nothing.
    static std::optional<UpdateServer> fromText(QByteArrayView text);
};

// The request of an exchange, to the server itself or, through a proxy, with the absolute URL
// (its port written out when it is not 80, so that the proxy reaches it).
QByteArray updateRequest(const UpdateServer &server, UpdateMode mode, bool throughProxy);

// What the header of a response announces about its length.
struct ResponseHeader
{
    qsizetype bodyStart = 0; // behind the first CR LF CR LF
    qint64 length = -1;      // the Content-Length; -1 when there is none
    bool badLength = false;  // a Content-Length that is not a number
};
// Nothing until the header has ended. Only the header's own Content-Length line counts: a body
// that happens to hold those words announces nothing.
std::optional<ResponseHeader> readResponseHeader(QByteArrayView received);

// How far a response has come. Without a Content-Length it ends when the server closes.
enum class Reception {
    Incomplete,  // wait for more, or for the close
    Complete,    // the body has reached the announced length
    BadLength,   // the announced length is not a number; wait for the close all the same
};
Reception receptionState(const ResponseHeader &header, qsizetype receivedBytes);
