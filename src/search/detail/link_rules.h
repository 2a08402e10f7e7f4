#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <string>
#include <vector>

// What a link found on a result page is judged by. Links and the search string are bytes, one
// byte per character.

// True when something follows the first "/" behind the host.
bool HasFilePath(QByteArrayView url);

// The words of a search: split at blanks and at "+" (the search string carries "+" for every
// blank typed), no empty words. Views into `text`.
std::vector<QByteArrayView> SplitWords(QByteArrayView text);

// A link without "?" that contains any of the words, ignoring the case of ASCII letters.
bool LinkMatchesSearch(QByteArrayView link, const std::vector<QByteArrayView> &words);
bool LinkMatchesSearch(QByteArrayView link, QByteArrayView searchString);

// The four tests an http link passes to become a candidate: it does not end in exactly "html" or
// "htm", HasFilePath, LinkMatchesSearch.
bool IsHTTPFileLink(QByteArrayView link, const std::vector<QByteArrayView> &words);
// The same for a caller that already knows whether the link holds a "?".
bool IsHTTPFileLink(QByteArrayView link, bool hasQuestionMark, const std::vector<QByteArrayView> &words);

// The value of digits 0-9 and letters (A or a = 10 ... Z or z = 35) in base 16, the leftmost
// digit weighing most; -1 if `s` holds any other character.
int HexToInt(QByteArrayView s);

// Decodes every "%" followed by two hexadecimal digits into that byte. A "%" without two such
// digits after it stays as it is. A "%" that decoding produces (from "%25") is read again with the
// two characters that follow it, so "%2541" gives "A".
QByteArray UnescapeURL(QByteArrayView s);
// The same into a buffer the caller reuses; returns `s` itself when it holds no "%".
QByteArrayView UnescapeURL(QByteArrayView s, std::string &buffer);

// Bytes below 32 and 127: never part of a result.
bool HasControlCharacter(QByteArrayView s);
