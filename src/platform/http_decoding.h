#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Servers that ignore the request's "Accept-Encoding: identity" or answer an HTTP/1.0 request in
// chunks: the response with its body as the server meant it (chunks joined, then gzip, zlib or raw
// deflate inflated), the header kept as it came, never longer than `cap` (a compressed bomb stops
// there; a stream cut short keeps what it gave). Nothing when the header names neither encoding, or
// the body does not inflate, in which case the response is read as it stands.
std::optional<QByteArray> decodedResponse(QByteArrayView response, qsizetype cap);
