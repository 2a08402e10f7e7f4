#pragma once

#include <QByteArrayView>
#include <QString>

#include <algorithm>

// An ASCII control byte: it would break a request line, or act on a terminal.
inline bool isControlByte(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

inline bool hasControlByte(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), isControlByte);
}

// The first "%s" in either letter case ("%S" too), or -1: where a query template takes the search
// text and a client's command line the script's path.
inline qsizetype indexOfPercentS(QByteArrayView text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && (text[i + 1] == 's' || text[i + 1] == 'S'))
            return i;
    }
    return -1;
}

// Anyone's words (a server's reply, an engine's name), for a tooltip or a terminal: every character
// that is not printable becomes "?".
inline QString printable(QString text)
{
    for (QChar &c : text) {
        if (!c.isPrint())
            c = u'?';
    }
    return text;
}
