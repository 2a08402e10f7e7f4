#pragma once

#include <QByteArrayView>

// The extraction's first form, one link at a time, kept to check PageScanner against.

// The position of "ftp://" (of "http://") in the first `href="ftp://` of `text`, or when there is
// none, in the first `href='ftp://`, ignoring letter case; -1 for none. `quote` gets the link's
// quote. A single-quoted link is thus found only when no double-quoted one follows anywhere in
// the text.
qsizetype FindFTPLink(QByteArrayView text, char &quote);
qsizetype FindHTTPLink(QByteArrayView text, char &quote);
