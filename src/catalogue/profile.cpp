#include "catalogue/profile.h"

#include "catalogue/detail/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// The classic reader copies at most this many characters into its 255-character buffer.
constexpr qsizetype kMaxValueLength = 254;

} // namespace

QString profileText(const QString &stored)
{
    QString text = stored.left(kMaxValueLength);
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    text.truncate(end);
    return text;
}

QString storedText(const QString &typed)
{
    return QString::fromLatin1(typed.toUtf8());
}

QString shownText(const QString &stored)
{
    const QByteArray bytes = stored.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? stored : text;
}

bool profileBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = t.toDouble(&isNumber);
    return isNumber && number != 0.0;
}

QString profileBoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

Profile::Profile(QString programFolder)
    : m_folder(std::move(programFolder))
{
}

QString Profile::pathOf(const QString &file) const
{
    return QDir(m_folder).filePath(file);
}

IniDocument Profile::snapshot(const QString &file) const
{
    return readIniFile(pathOf(file));
}

QString Profile::ReadProfile(const QString &file, const QString &section, const QString &key,
                             const QString &defaultValue) const
{
    return profileText(snapshot(file).value(section, key).value_or(defaultValue));
}

bool Profile::edit(const QString &file, const std::function<void(IniDocument &)> &change)
{
    const QString path = pathOf(file);
    QFile existing(path);
    QByteArray before;
    const bool exists = existing.exists();
    if (exists) {
        // A file that cannot be read must not be replaced by what little we know of it.
        if (!existing.open(QIODevice::ReadOnly)) {
            qCWarning(lcCatalogue).noquote() << "not writing" << path << "as it cannot be read:" << existing.errorString();
            return false;
        }
        before = existing.readAll();
        existing.close();
    }
    IniDocument document = IniDocument::fromBytes(before);
    change(document);
    if (exists && document.toBytes() == before)
        return true;
    QString reason;
    if (writeIniFile(path, document, &reason))
        return true;
    qCWarning(lcCatalogue).noquote() << "cannot write" << path + u':' << reason;
    return false;
}

bool Profile::WriteProfile(const QString &file, const QString &section, const QString &key,
                           const QString &value)
{
    return edit(file, [&](IniDocument &document) { document.setValue(section, key, value); });
}

bool Profile::WriteProfile(const QString &file, const QString &section, const QString &key,
                           const char *value)
{
    return WriteProfile(file, section, key, QString::fromUtf8(value));
}

bool Profile::WriteProfile(const QString &file, const QString &section, const QString &key, int value)
{
    return WriteProfile(file, section, key, QString::number(value));
}

bool Profile::WriteProfile(const QString &file, const QString &section, const QString &key, bool value)
{
    return WriteProfile(file, section, key, profileBoolText(value));
}

bool Profile::DeleteProfileSection(const QString &file, const QString &section)
{
    const QString path = pathOf(file);
    if (!QFileInfo::exists(path))
        return true;
    // Removing a section that is not there leaves the file exactly as it was.
    if (!snapshot(file).hasSection(section))
        return true;
    return edit(file, [&](IniDocument &document) { document.removeSection(section); });
}

QString withoutSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.sliced(start, end - start);
}
