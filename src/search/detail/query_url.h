#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where a URL's host begins: behind "://", or at its start.
qsizetype hostStart(QByteArrayView url);
// The URL's scheme as written; "http" when it has none, as a query template may.
QByteArrayView urlScheme(QByteArrayView url);

// The search text as sent: trimmed of blanks at both ends, every remaining blank a "+", and
// everything else as the UTF-8 bytes the user typed. Control characters count as blanks.
QByteArray EncodeSearchText(const QString &searchText);

// The template with its first "%s" (either letter case) replaced by the search string; empty
// when the template has none.
QByteArray BuildQueryURL(QByteArrayView queryTemplate, QByteArrayView searchString);

// Where a page fetch connects without a proxy: the URL's host, its explicit port or the scheme's
// (80 for http, 443 for https), and whether it speaks TLS. A URL without a scheme is http. An
// unusable port gives port 0, which fails the connection.
struct FetchTarget
{
    QByteArray host;
    int port = 80;
    bool tls = false;
    bool knownScheme = true; // http or https
};
FetchTarget fetchTarget(QByteArrayView url);

// The HTTP/1.0 request for a result page, directly to the engine or through a proxy.
QByteArray pageRequest(QByteArrayView url, bool throughProxy);

// The request that asks a proxy for a tunnel to an https URL's host and port.
QByteArray tunnelRequest(const FetchTarget &target);
