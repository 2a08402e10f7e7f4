#include "support/test_files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Root ignores permission bits; the immutable flag stops root too (on file systems that have it).
void setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    ::close(fd);
}

} // namespace

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '{' << (list.isEmpty() ? QString() : '"' + list.join(QStringLiteral("\", \"")) + '"').toStdString() << '}';
}

void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    const QByteArray shown = bytes.size() > 400 ? bytes.left(400) + "..." : bytes;
    *out << '"' << shown.toPercentEncoding(" !#$&'()*+,/:;=?@[]{}<>\"~^|").toStdString() << "\" (" << bytes.size() << " bytes)";
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void writeSong(const QString &dir)
{
    QFile song(QDir(dir).filePath(QStringLiteral("pub/song.mp3")));
    ASSERT_TRUE(QDir(dir).mkpath(QStringLiteral("pub")) && song.open(QIODevice::WriteOnly) && song.write(QByteArray(1234, 'x')) == 1234);
    ASSERT_TRUE(song.flush() && song.setFileTime(QDateTime(QDate(2024, 5, 1), QTime(12, 34, 56), Qt::UTC), QFileDevice::FileModificationTime));
}

ReadOnlyFolder::ReadOnlyFolder(QString path) : m_path(std::move(path))
{
    ::chmod(QFile::encodeName(m_path).constData(), 0555);
    setImmutable(m_path, true);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    setImmutable(m_path, false);
    ::chmod(QFile::encodeName(m_path).constData(), 0755);
}

bool ReadOnlyFolder::effective() const
{
    QFile probe(QDir(m_path).filePath(QStringLiteral(".probe")));
    const bool written = probe.open(QIODevice::WriteOnly);
    if (written) probe.remove();
    return !written;
}

QByteArray catalogueText(const QList<CatalogueEngine> &engines, const QByteArray &more)
{
    QByteArray list = "[Engines]\r\nCount=" + QByteArray::number(engines.size()) + "\r\n", sections;
    for (int i = 0; i < engines.size(); ++i) {
        const CatalogueEngine &e = engines[i];
        list += "Name" + QByteArray::number(i + 1) + "=" + e.name + "\r\n";
        sections += "[" + e.name + "]\r\n";
        if (!e.home.isEmpty()) sections += "URL=" + e.home + "\r\n";
        sections += "QUERY=" + e.query + "\r\n";
        if (!e.active.isEmpty()) sections += "Active=" + e.active + "\r\n";
    }
    return list + sections + more;
}
