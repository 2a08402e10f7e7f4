#pragma once

#include "platform/url_escape.h"

#include <QByteArrayView>

#include <string>
#include <vector>

// What a link found on a result page is judged by. Links and the search string are bytes, one
// byte per character.

// The words of a search: split at blanks and at "+" (the search string carries "+" for every
// blank typed), no empty words. Views into `text`.
std::vector<QByteArrayView> SplitWords(QByteArrayView text);

// The tests an http link passes to become a candidate (`hasQuestionMark`: whether it holds a "?"):
// no "?"; it does not end in exactly "html" or "htm"; something follows the first "/" behind its
// host; it contains one of the words, ignoring the case of ASCII letters.
bool IsHTTPFileLink(QByteArrayView link, bool hasQuestionMark, const std::vector<QByteArrayView> &words);

// Bytes below 32 and 127: never part of a result.
bool HasControlCharacter(QByteArrayView s);
