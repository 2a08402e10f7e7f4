#pragma once

#include <QByteArrayView>

#include <string>

// Decodes every "%" followed by two hexadecimal digits into that byte. A "%" without two such
// digits after it stays as it is. A "%" that decoding produces (from "%25") is read again with the
// two characters that follow it, so "%2541" gives "A". Decodes into a buffer the caller reuses;
// returns `s` itself when it holds no "%". Links on result pages and engine names from the update
// server are written this way.
QByteArrayView UnescapeURL(QByteArrayView s, std::string &buffer);
