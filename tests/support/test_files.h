#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable gtest messages for Qt strings.
void PrintTo(const QString &text, std::ostream *out);
void PrintTo(const QStringList &list, std::ostream *out);
void PrintTo(const QByteArray &bytes, std::ostream *out);

// Small file helpers for tests that work in a temporary folder.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
// DIR/pub/song.mp3 for an FTP server to serve: 1234 bytes, last changed 2024-05-01 12:34:56 UTC.
void writeSong(const QString &dir);

// Makes a folder read-only for the duration of a test, and writable again after. Where neither
// permission bits nor the immutable flag hold, tests ask `effective()` and skip.
class ReadOnlyFolder final
{
public:
    explicit ReadOnlyFolder(QString path);
    ~ReadOnlyFolder();
    Q_DISABLE_COPY(ReadOnlyFolder)

    // True when writing into the folder really fails for this process.
    bool effective() const;

private:
    QString m_path;
};

// One engine of a catalogue file written by a test.
struct CatalogueEngine
{
    QByteArray name, query;     // query: the QUERY template
    QByteArray active = "True"; // the Active value; empty writes no Active line
    QByteArray home = {};       // the URL value; empty writes no URL line
};
// The text of a settings file listing these engines in this order, CR LF line ends, and then
// `more` (further sections, such as [Clients]).
QByteArray catalogueText(const QList<CatalogueEngine> &engines, const QByteArray &more = {});
