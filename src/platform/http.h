#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The little of HTTP/1.0 that the page fetch and the update exchange share.

// The HTTP/1.0 GET that fetches a result page or asks the update server: `target` is the path
// when sent to the server itself and the absolute URL when sent through a proxy; `host` goes in
// the Host line. The lines and their order are fixed; their spelling is what real servers and
// proxies accept, and they ask for the page unencoded and for the connection to close after it,
// which is how the reader knows the page is complete.
QByteArray http10Request(QByteArrayView target, QByteArrayView host, bool throughProxy, QByteArrayView userAgent);

// The value of the first header line called `name` (any letter case), without the blanks around
// it; nothing when there is none. `header` is the response up to its empty line; its first line is
// the status line.
std::optional<QByteArray> headerValue(QByteArrayView header, QByteArrayView name);
