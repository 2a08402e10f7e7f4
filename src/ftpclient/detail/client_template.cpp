#include "ftpclient/detail/client_template.h"

#include <QFile>

namespace {

QByteArray applyOptionalSections(QByteArrayView text, bool keepOptional)
{
    QByteArray out;
    out.reserve(text.size());
    if (keepOptional) {
        // Every "[" goes, and so does the first "]" still standing after each of them: a "]"
        // goes exactly when more "[" than removed "]" stand before it.
        qsizetype open = 0;
        for (const char c : text) {
            if (c == '[')
                ++open;
            else if (c == ']' && open > 0)
                --open;
            else
                out.append(c);
        }
        return out;
    }
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf('[', from);
        if (open < 0) {
            out.append(text.sliced(from));
            break;
        }
        out.append(text.sliced(from, open - from));
        const qsizetype close = text.indexOf(']', open);
        if (close < 0)
            break;
        from = close + 1;
    }
    return out;
}

} // namespace

QByteArray ExpandTemplate(QByteArrayView text, QByteArrayView h, QByteArrayView o, QByteArrayView u,
                          QByteArrayView p, QByteArrayView l, QByteArrayView r, QByteArrayView f,
                          bool keepOptional)
{
    const QByteArray body = applyOptionalSections(text, keepOptional);
    QByteArray out;
    out.reserve(body.size());
    qsizetype from = 0;
    while (true) {
        const qsizetype percent = body.indexOf('%', from);
        if (percent < 0) {
            out.append(QByteArrayView(body).sliced(from));
            return out;
        }
        out.append(QByteArrayView(body).sliced(from, percent - from));
        const char code = percent + 1 < body.size() ? body[percent + 1] : '\0';
        switch (code) {
        case 'h': out.append(h); break;
        case 'o': out.append(o); break;
        case 'u': out.append(u); break;
        case 'p': out.append(p); break;
        case 'l': out.append(l); break;
        case 'r': out.append(r); break;
        case 'f': out.append(f); break;
        default: break;
        }
        from = qMin(percent + 2, body.size());
    }
}

std::optional<QByteArray> ReadTextFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        out.append(QByteArrayView(bytes).sliced(start, end - start));
        out.append("\r\n");
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return out;
}
