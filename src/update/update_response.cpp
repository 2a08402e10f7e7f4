#include "update/update_response.h"

#include "ftpclient/client_registry.h"
#include "platform/byte_text.h"
#include "platform/url_escape.h"

#include <QSet>

#include <algorithm>

namespace {

// The body is read from the front; each step takes what it reads.
class BodyReader
{
public:
    explicit BodyReader(QByteArrayView body) : m_rest(body) {}

    // The text up to the next LF, without it (and without a CR before it); nothing, and nothing
    // taken, when no LF is left.
    std::optional<QByteArrayView> line()
    {
        const qsizetype lf = m_rest.indexOf('\n');
        if (lf < 0)
            return std::nullopt;
        QByteArrayView text = m_rest.first(lf);
        if (text.endsWith('\r'))
            text.chop(1);
        m_rest = m_rest.sliced(lf + 1);
        return text;
    }

    // The text before the next `separator`, which is taken too, with `lineEnd` characters after it
    // (the line end of a marker); nothing, and nothing taken, when the separator is missing.
    std::optional<QByteArrayView> upTo(QByteArrayView separator, qsizetype lineEnd = 0)
    {
        const qsizetype at = m_rest.indexOf(separator);
        if (at < 0)
            return std::nullopt;
        const QByteArrayView text = m_rest.first(at);
        m_rest = m_rest.sliced(std::min(m_rest.size(), at + separator.size() + lineEnd));
        return text;
    }

    QByteArrayView rest() const { return m_rest; }

private:
    QByteArrayView m_rest;
};

std::optional<int> wholeNumber(QByteArrayView text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QString text(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

UpdateAnswer failed(UpdateAnswer answer, const QString &why)
{
    answer.ok = false;
    answer.failure = why;
    return answer;
}

UpdateAnswer failed(UpdateAnswer answer, const char *why)
{
    return failed(std::move(answer), QString::fromLatin1(why));
}

// The line that starts a list, shown as the list's date; false when there is none.
bool takeDate(BodyReader &body, UpdateAnswer &answer)
{
    const auto date = body.line();
    if (date)
        answer.date = text(*date);
    return date.has_value();
}

UpdateAnswer versionAnswer(BodyReader body)
{
    UpdateAnswer answer;
    int *parts[] = {&answer.version.major, &answer.version.minor, &answer.version.build};
    for (int *part : parts) {
        const auto field = body.upTo(" ");
        if (!field)
            return failed(answer, "the version answer lacks a blank after a number");
        const auto n = wholeNumber(*field);
        if (!n)
            return failed(answer, "a version number is not a number");
        *part = *n;
    }
    answer.linkAddress = text(body.rest());
    answer.ok = true;
    return answer;
}

UpdateAnswer engineList(BodyReader body)
{
    UpdateAnswer answer;
    if (!takeDate(body, answer))
        return failed(answer, "the engine list has no date line");
    QSet<QByteArray> templates;
    std::string buffer;
    for (;;) {
        const auto name = body.line();
        const auto url = body.line();
        const auto query = body.line();
        // An incomplete last record is no engine.
        if (!name || !url || !query)
            break;
        const QByteArrayView decoded = UnescapeURL(*name, buffer);
        // A template without "%s" could not search: what an error page or any text but a list gives.
        if (decoded.isEmpty() || hasControlByte(decoded) || hasControlByte(*url) || hasControlByte(*query)
            || !query->contains("%s"))
            continue;
        if (templates.contains(query->toByteArray()))
            return failed(answer, "two engines of the list have the same query template");
        templates.insert(query->toByteArray());
        answer.engines.append({text(decoded), text(*url), text(*query)});
    }
    answer.ok = true;
    return answer;
}

UpdateAnswer clientList(BodyReader body)
{
    UpdateAnswer answer;
    if (!takeDate(body, answer))
        return failed(answer, "the client list has no date line");
    const auto countLine = body.line();
    if (!countLine)
        return failed(answer, "the client list has no line with the number of clients");
    const auto count = wholeNumber(*countLine);
    if (!count)
        return failed(answer, "the number of clients is not a number");
    for (int i = 0; i < *count; ++i) {
        const auto name = body.line();
        // Without a line left no later record can be read: ending here ends as the count would.
        if (!name)
            break;
        const auto args = body.line();
        if (!args || !body.upTo("{--", 1))
            continue;
        const auto script = body.upTo("--}", 1);
        if (!script)
            continue;
        if (!isClientName(text(*name)) || hasControlByte(*args))
            continue;
        QByteArray lines = script->toByteArray();
        LfToCrLf(lines);
        answer.clients.append({text(*name), text(*args), text(lines)});
    }
    answer.ok = true;
    return answer;
}

} // namespace

UpdateAnswer ParseUpdateResponse(QByteArrayView received, UpdateMode mode)
{
    const qsizetype headerEnd = received.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return failed({}, "the response has no end of header");
    // An error page (a proxy's, a missing file's) is no answer, however its lines would read.
    const QByteArrayView firstLine = received.first(received.indexOf("\r\n"));
    const qsizetype blank = firstLine.indexOf(' ');
    if (firstLine.startsWith("HTTP/") && !(blank > 0 && firstLine.sliced(blank + 1).startsWith('2')))
        return failed({}, QStringLiteral("the update server answered \"%1\"").arg(text(firstLine)));
    const BodyReader body(received.sliced(headerEnd + 4));
    switch (mode) {
    case UpdateMode::Version:
        return versionAnswer(body);
    case UpdateMode::Engines:
        return engineList(body);
    case UpdateMode::Clients:
        return clientList(body);
    case UpdateMode::None:
        break;
    }
    return failed({}, "no exchange asked for this response");
}

void LfToCrLf(QByteArray &text)
{
    const qsizetype lineEnds = text.count('\n');
    if (lineEnds == 0)
        return;
    QByteArray result;
    result.reserve(text.size() + lineEnds);
    for (const char c : std::as_const(text)) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    text = std::move(result);
}
