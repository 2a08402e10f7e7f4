#include "platform/ini_file.h"

#include "platform/whole_file.h"

#include <QFile>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// The name of a section header line, or nothing when the line is not one. The name runs to the
// last "]", so that a name holding "]" reads back as it was written; without a "]" the line is
// no header.
std::optional<QStringView> headerName(QStringView line)
{
    const QStringView t = trimmed(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.lastIndexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed(t.mid(1, close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<QStringView> keyName(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return trimmed(line.left(eq));
}

QString folded(QStringView name)
{
    return name.toString().toCaseFolded();
}

} // namespace

// Sections up to this many lines find a key by reading their lines.
constexpr std::size_t kScannedLines = 16;

void IniDocument::indexKey(Section &section, int line)
{
    const auto add = [&section](int i) {
        if (const auto key = keyName(section.lines[static_cast<std::size_t>(i)])) {
            const QString k = folded(*key);
            if (!section.keyLine.contains(k))
                section.keyLine.insert(k, i);
        }
    };
    if (section.indexed) {
        add(line);
    } else if (section.lines.size() > kScannedLines) {
        section.indexed = true;
        for (int i = 1; i < static_cast<int>(section.lines.size()); ++i)
            add(i);
    }
}

int IniDocument::keyLineOf(const Section &section, const QString &key)
{
    const QString wanted = folded(key);
    if (section.indexed)
        return section.keyLine.value(wanted, 0);
    for (std::size_t i = 1; i < section.lines.size(); ++i) {
        const auto name = keyName(section.lines[i]);
        if (name && name->size() == wanted.size() && folded(*name) == wanted)
            return static_cast<int>(i);
    }
    return 0;
}

void IniDocument::reindexSections()
{
    m_sectionIndex.clear();
    for (std::size_t i = 1; i < m_sections.size(); ++i) {
        if (!m_sectionIndex.contains(m_sections[i].name))
            m_sectionIndex.insert(m_sections[i].name, static_cast<int>(i));
    }
}

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument document;
    document.m_sections.emplace_back();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes[stop - 1] == '\r')
            --stop;
        QString line = QString::fromLatin1(bytes.constData() + start, stop - start);
        start = next;

        if (const auto name = headerName(line)) {
            Section section;
            section.name = folded(*name);
            section.lines.push_back(std::move(line));
            document.m_sections.push_back(std::move(section));
            continue;
        }
        Section &current = document.m_sections.back();
        current.lines.push_back(std::move(line));
        if (document.m_sections.size() > 1)
            indexKey(current, static_cast<int>(current.lines.size() - 1));
    }
    document.reindexSections();
    return document;
}

QByteArray IniDocument::toBytes() const
{
    QByteArray bytes;
    for (const Section &section : m_sections) {
        for (const QString &line : section.lines) {
            bytes += line.toLatin1();
            bytes += "\r\n";
        }
    }
    return bytes;
}

const IniDocument::Section *IniDocument::findSection(const QString &section) const
{
    const int i = m_sectionIndex.value(folded(section), 0);
    return i > 0 ? &m_sections[static_cast<std::size_t>(i)] : nullptr;
}

IniDocument::Section *IniDocument::findSection(const QString &section)
{
    return const_cast<Section *>(std::as_const(*this).findSection(section));
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    if (!s)
        return std::nullopt;
    const int line = keyLineOf(*s, key);
    if (line == 0)
        return std::nullopt;
    const QString &text = s->lines[static_cast<std::size_t>(line)];
    QStringView v = trimmed(QStringView(text).mid(text.indexOf(u'=') + 1));
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v.toString();
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    QString line = key + u'=' + value;
    Section *s = findSection(section);
    if (!s) {
        Section added;
        added.name = folded(section);
        added.lines.push_back(u'[' + section + u']');
        added.lines.push_back(std::move(line));
        indexKey(added, 1);
        m_sections.push_back(std::move(added));
        m_sectionIndex.insert(m_sections.back().name, static_cast<int>(m_sections.size() - 1));
        return;
    }
    if (const int existing = keyLineOf(*s, key); existing > 0) {
        s->lines[static_cast<std::size_t>(existing)] = std::move(line);
        return;
    }
    // After the section's last non-blank line, so that a blank line between sections stays.
    // Only blank lines move down, so the key index stays valid.
    std::size_t at = s->lines.size();
    while (at > 1 && trimmed(s->lines[at - 1]).isEmpty())
        --at;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    indexKey(*s, static_cast<int>(at));
}

bool IniDocument::removeSection(const QString &section)
{
    const int i = m_sectionIndex.value(folded(section), 0);
    if (i == 0)
        return false;
    m_sections.erase(m_sections.begin() + i);
    reindexSections();
    return true;
}

bool IniDocument::hasSection(const QString &section) const
{
    return findSection(section) != nullptr;
}

QStringList IniDocument::keys(const QString &section) const
{
    QStringList result;
    if (const Section *s = findSection(section)) {
        for (std::size_t i = 1; i < s->lines.size(); ++i) {
            if (const auto key = keyName(s->lines[i]))
                result.append(key->toString());
        }
    }
    return result;
}

IniDocument readIniFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IniDocument::fromBytes({});
    return IniDocument::fromBytes(file.readAll());
}

bool writeIniFile(const QString &path, const IniDocument &document, QString *reason)
{
    return writeWholeFile(path, document.toBytes(), reason);
}
