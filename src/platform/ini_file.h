#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// An INI text in memory, read and changed the way the classic profile-file functions do it:
// section and key names match without regard to case, the first matching section and key win,
// values are trimmed and lose one pair of enclosing quotes, a changed key is replaced in place, a
// new key goes to the end of its section and a new section to the end of the file. Lines that are
// not touched are kept byte for byte, whatever they hold.
class IniDocument final
{
public:
    // Bytes are ISO-8859-1: one byte, one character. Lines may end in CR LF or LF.
    static IniDocument fromBytes(const QByteArray &bytes);
    // Every line ends in CR LF.
    QByteArray toBytes() const;

    // The value as stored (trimmed, unquoted, not shortened), or nothing when absent.
    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    // Removes the header and every line of the first matching section. False when there is none.
    bool removeSection(const QString &section);

    bool hasSection(const QString &section) const;
    // The key names of the first matching section, in file order.
    QStringList keys(const QString &section) const;

private:
    struct Section
    {
        QString name;                // folded; empty for the lines before the first header
        std::vector<QString> lines;  // the header line first (none for the leading lines)
        // Folded key -> its first line, once the section is too long to scan: a catalogue holds a
        // hundred thousand sections of four lines, and a table each would cost more than they do.
        QHash<QString, int> keyLine;
        bool indexed = false;
    };

    const Section *findSection(const QString &section) const;
    Section *findSection(const QString &section);
    static void indexKey(Section &section, int line);
    // The first line of `key` in `section` (0: none).
    static int keyLineOf(const Section &section, const QString &key);
    void reindexSections();

    std::vector<Section> m_sections;         // file order; the first holds the leading lines
    QHash<QString, int> m_sectionIndex;      // folded name -> first section of that name
};

// Reads a whole profile file; a missing or unreadable file reads as empty.
IniDocument readIniFile(const QString &path);
// Replaces the file atomically: either the whole new text is there or the old file is untouched.
// On failure `reason`, when given, gets the file system's words.
bool writeIniFile(const QString &path, const IniDocument &document, QString *reason = nullptr);
