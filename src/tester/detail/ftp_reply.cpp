#include "tester/detail/ftp_reply.h"

#include <QDateTime>

#include <algorithm>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The code that begins a reply line ("DDD", "DDD text", "DDD-text"); 0 when it does not.
int codeOf(QByteArrayView line)
{
    if (line.size() < 3 || line[0] < '1' || line[0] > '5' || !isDigit(line[1]) || !isDigit(line[2]))
        return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// The text of a 213 reply after its code, without the blanks around it.
std::optional<QByteArrayView> statusText(const FtpReply &reply)
{
    if (reply.code != 213 || reply.line.size() < 4)
        return std::nullopt;
    return QByteArrayView(reply.line).sliced(4).trimmed();
}

} // namespace

void FtpReplyReader::append(QByteArrayView bytes)
{
    if (!m_failed)
        m_pending.append(bytes);
}

std::optional<FtpReply> FtpReplyReader::next()
{
    while (!m_failed) {
        const qsizetype end = m_pending.indexOf('\n', m_scanned);
        const qsizetype lineEnd = end < 0 ? m_pending.size() : end;
        // A line's length leaves out its end, which may be CR LF.
        if (lineEnd - m_scanned > kMostLine + 1 || lineEnd > kMostReply) {
            m_failed = true;
            break;
        }
        if (end < 0)
            return std::nullopt;
        QByteArrayView line = QByteArrayView(m_pending).sliced(m_scanned, end - m_scanned);
        if (line.endsWith('\r'))
            line.chop(1);
        m_scanned = end + 1;
        if (line.size() > kMostLine) {
            m_failed = true;
            break;
        }

        const int code = codeOf(line);
        if (m_openCode == 0 && code == 0) {
            m_failed = true;
            break;
        }
        if (m_openCode == 0 && line.size() > 3 && line[3] == '-') {
            m_openCode = code;
            continue;
        }
        // Inside a multi-line reply any line may come; only its own code followed by a blank ends it.
        if (m_openCode != 0 && (code != m_openCode || (line.size() > 3 && line[3] != ' ')))
            continue;
        FtpReply reply{code, line.toByteArray()};
        m_pending.remove(0, m_scanned);
        m_scanned = 0;
        m_openCode = 0;
        return reply;
    }
    m_pending.clear();
    return std::nullopt;
}

std::optional<qint64> parseSizeReply(const FtpReply &reply)
{
    const auto text = statusText(reply);
    // Up to 18 digits always fit; a size beyond an exabyte is no file's.
    if (!text || text->isEmpty() || text->size() > 18 || !std::all_of(text->begin(), text->end(), isDigit))
        return std::nullopt;
    return text->toLongLong();
}

std::optional<qint64> parseMdtmReply(const FtpReply &reply)
{
    const auto text = statusText(reply);
    if (!text || text->size() < 14 || !std::all_of(text->begin(), text->begin() + 14, isDigit))
        return std::nullopt;
    // An optional fraction of a second follows, which a date to the second leaves out.
    const QByteArrayView rest = text->sliced(14);
    if (!rest.isEmpty() && (rest[0] != '.' || rest.size() == 1 || !std::all_of(rest.begin() + 1, rest.end(), isDigit)))
        return std::nullopt;
    const auto number = [&text](qsizetype from, qsizetype digits) { return text->sliced(from, digits).toInt(); };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
}
