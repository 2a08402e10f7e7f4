#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Expands a client's command-line or script template.
//
// Optional sections "[...]" keep their text (brackets removed) when `keepOptional` is true and
// vanish whole when it is false; a "[" with no "]" after it then drops the rest of the text.
// Placeholders are "%" and one character: %h host, %o port, %u user, %p password, %l local
// folder, %r directory path, %f file. Any other character after a "%" (an upper-case letter, a
// second "%") disappears with the "%". Values are inserted as they are and never scanned again.
QByteArray ExpandTemplate(QByteArrayView text, QByteArrayView h, QByteArrayView o, QByteArrayView u,
                          QByteArrayView p, QByteArrayView l, QByteArrayView r, QByteArrayView f,
                          bool keepOptional);

// The file's lines, each followed by CR LF (a line may have ended in CR LF, LF or CR); nothing
// when the file cannot be opened.
std::optional<QByteArray> ReadTextFile(const QString &path);
