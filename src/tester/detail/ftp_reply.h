#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// One reply of an FTP server: its three-digit code and the text of its last line (the whole
// line, code included, without the line end).
struct FtpReply
{
    int code = 0;
    QByteArray line;

    int kind() const { return code / 100; } // 1 preliminary, 2 done, 3 more needed, 4 and 5 refused
};

// Collects the replies of an FTP control connection out of the bytes as they arrive, in pieces of
// any size. A reply is "DDD text" or the lines from "DDD-text" to the first line that begins with
// the same "DDD "; a line ends at LF, with or without a CR before it.
class FtpReplyReader final
{
public:
    // A server that sends a line or a reply longer than this is not an FTP server we can talk to.
    static constexpr qsizetype kMostLine = 4096;
    static constexpr qsizetype kMostReply = 64 * 1024;

    void append(QByteArrayView bytes);
    // The next whole reply, or nothing until more has arrived (or after a protocol error).
    std::optional<FtpReply> next();
    // What arrived was no FTP reply: a line without a code, or one too long. Sticks.
    bool failed() const { return m_failed; }

private:
    QByteArray m_pending;
    qsizetype m_scanned = 0; // the bytes of m_pending that make whole lines of the reply begun
    int m_openCode = 0; // the code of a multi-line reply being read
    bool m_failed = false;
};

// The size of a "213 SIZE" reply's text; nothing when it is not a number of bytes.
std::optional<qint64> parseSizeReply(const FtpReply &reply);
// The date of a "213 YYYYMMDDHHMMSS[.sss]" MDTM reply, in seconds since 1970 UTC; nothing when it
// is not a valid date and time.
std::optional<qint64> parseMdtmReply(const FtpReply &reply);
