#pragma once

#include "platform/http.h"

#include <QByteArray>
#include <QByteArrayView>

// The few parts of an HTTP response that the fetch looks at. The page itself, header included, is
// extracted whole.

// Where the header ends (just past its empty line), or -1 while it is incomplete.
qsizetype headerEnd(QByteArrayView response);
// The first line when it is a status line ("HTTP/..."), without its line end; empty otherwise.
QByteArrayView statusLine(QByteArrayView response);
// The status line's three-digit code, or 0.
int statusCode(QByteArrayView statusLine);

// The whole response's size when its header is complete and names a Content-Length, capped: a
// hint to size the page once instead of growing it piece by piece. -1 otherwise.
qsizetype expectedResponseSize(QByteArrayView response, qsizetype cap);

// Where a redirect (301, 302, 303, 307 or 308 with a Location) sends the fetch of `requestUrl`:
// an http or https address, with a path or a relative one resolved against the request. Empty
// when the response is no redirect, its header is incomplete, or the address is of another scheme
// or holds a control byte.
QByteArray redirectTarget(QByteArrayView response, QByteArrayView requestUrl);
