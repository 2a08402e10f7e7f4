// IniDocument: its text reads back to the same lines and values, and setting a value changes one
// line (or adds the key, or the section and the key) and nothing else. Input: section, key and
// value split at NULs, then the file's text.

#include "platform/ini_file.h"

#include "fuzz_check.h"

namespace {

std::vector<QByteArray> lines(QByteArrayView text)
{
    std::vector<QByteArray> out;
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype lf = text.indexOf('\n', start), end = lf < 0 ? text.size() : lf;
        QByteArrayView line = text.sliced(start, end - start);
        out.push_back((line.endsWith('\r') ? line.chopped(1) : line).toByteArray());
        start = end + 1;
    }
    return out;
}

// What a name or value can be so that the file holds it: one line, no blanks around it, and
// for a name none of the characters that make a header or a key.
QString storable(QByteArrayView text, bool name)
{
    QByteArray kept;
    for (const char c : text)
        if (c != '\r' && c != '\n' && !(name && (c == '[' || c == ']' || c == '=')))
            kept += c;
    while (!kept.isEmpty() && (kept.front() == ' ' || kept.front() == '\t'))
        kept.remove(0, 1);
    while (!kept.isEmpty() && (kept.back() == ' ' || kept.back() == '\t'))
        kept.chop(1);
    return QString::fromLatin1(kept);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<QByteArrayView> in = fields(inputView(data, size), 4);
    const IniDocument document = IniDocument::fromBytes(in[3].toByteArray());
    const QByteArray bytes = document.toBytes();
    CHECK(lines(in[3]) == lines(bytes), in[3], bytes);
    const IniDocument again = IniDocument::fromBytes(bytes);
    CHECK(again.toBytes() == bytes, bytes, again.toBytes());

    const QString section = storable(in[0], true), key = storable(in[1], true), value = storable(in[2], false);
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
    const QString expected = quoted ? value.mid(1, value.size() - 2) : value;
    IniDocument changed = again;
    changed.setValue(section, key, value);
    const IniDocument reread = IniDocument::fromBytes(changed.toBytes());
    CHECK(changed.value(section, key) == expected && reread.value(section, key) == expected, section, key, value);

    // Every section and key named in the text reads the same before and after, but the one set.
    for (const QByteArray &line : lines(bytes)) {
        const qsizetype open = line.indexOf('['), close = line.lastIndexOf(']');
        const QString name = open < close ? QString::fromLatin1(line.sliced(open + 1, close - open - 1)).trimmed() : QString();
        for (const QString &k : document.keys(name)) {
            CHECK(again.value(name, k) == document.value(name, k), name, k);
            if (name.toCaseFolded() != section.toCaseFolded() || k.toCaseFolded() != key.toCaseFolded())
                CHECK(reread.value(name, k) == document.value(name, k), name, k);
        }
    }

    // The old lines stay in order: one of them replaced by the key's line, or the key's line
    // (and its section's header) added.
    const std::vector<QByteArray> before = lines(bytes), after = lines(changed.toBytes());
    const QByteArray keyLine = (key + u'=' + value).toLatin1(), header = (u'[' + section + u']').toLatin1();
    CHECK(after.size() >= before.size() && after.size() <= before.size() + 2, bytes, changed.toBytes());
    std::size_t i = 0, replaced = after.size() == before.size() ? 1 : 0;
    for (const QByteArray &line : after) {
        if (i < before.size() && line == before[i])
            ++i;
        else if (line == keyLine && i < before.size() && replaced > 0)
            ++i, --replaced;
        else
            CHECK(line == keyLine || line == header, line, bytes, changed.toBytes());
    }
    CHECK(i == before.size(), bytes, changed.toBytes());
    return 0;
}
