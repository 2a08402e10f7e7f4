#include "tester/detail/ftp_reply.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

// Every reply the bytes give, fed in pieces of `piece` bytes; "!" at the end when the reader failed.
QByteArray replies(const QByteArray &bytes, qsizetype piece)
{
    FtpReplyReader reader;
    QByteArray out;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        reader.append(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        while (const auto reply = reader.next()) out += QByteArray::number(reply->code) + '[' + reply->line + ']';
    }
    return reader.failed() ? out + '!' : out;
}

TEST(FtpReplyReader, ReadsWholeRepliesWhateverTheirPieces)
{
    const struct { QByteArray bytes, expected; } cases[] = {
        {"220 ready\r\n331 pass\r\n", "220[220 ready]331[331 pass]"},
        {"220 bare line feed\n230\n", "220[220 bare line feed]230[230]"},
        // Inside a multi-line reply, lines with other codes, no code or "DDD-" belong to it.
        {"220-Welcome\r\n 2 rules\r\n221 not yet\r\n220-still\r\n220 go\r\n", "220[220 go]"},
        {"120 wait\r\n220 now\r\n", "120[120 wait]220[220 now]"}, {"220 ok\r\n230 in", "220[220 ok]"}, // the second is not whole yet
        {"hello\r\n220 ok\r\n", "!"}, {"2200 ok\r\n", "!"}, {"2200\r\n", "!"}, {"600 ok\r\n", "!"}, {"22\r\n", "!"},
        {"220-\r\nhello\r\n220 go\r\n", "220[220 go]"},
        {"220 " + QByteArray(FtpReplyReader::kMostLine, 'x') + "\r\n", "!"},
        {"220-" + QByteArray(FtpReplyReader::kMostLine - 4, 'x') + "\r\n" + "220 fits\r\n", "220[220 fits]"},
        {"220-a\r\n" + QByteArray(FtpReplyReader::kMostReply, '\n') + "220 ok\r\n", "!"},
    };
    for (const auto &c : cases) {
        for (const qsizetype piece : {qsizetype(1), qsizetype(3), qsizetype(1) << 20})
            EXPECT_EQ(replies(c.bytes, piece), c.expected) << c.bytes.left(60).toStdString() << " in pieces of " << piece;
    }
    EXPECT_EQ(replies(QByteArray(FtpReplyReader::kMostLine + 2, 'x'), 7), "!"); // a line without end is refused before it ends
}

TEST(FtpReplyReader, SizeAndMdtmRepliesAreReadOnlyWhenWellFormed)
{
    const auto size = [](const QByteArray &line) { return parseSizeReply({line.left(3).toInt(), line}).value_or(-1); };
    EXPECT_EQ(QList<qint64>({size("213 1234"), size("213   0  "), size("213 999999999999999999")}), QList<qint64>({1234, 0, 999999999999999999}));
    for (const QByteArray bad : {"213 1234567890123456789", "213 -5", "213 12 kB", "213 ", "213", "212 1234", "550 1234"})
        EXPECT_EQ(size(bad), -1) << bad.toStdString();

    const auto date = [](const QByteArray &line) {
        const auto seconds = parseMdtmReply({line.left(3).toInt(), line});
        return seconds ? QDateTime::fromSecsSinceEpoch(*seconds, Qt::UTC).toString(Qt::ISODate) : QString();
    };
    EXPECT_EQ(QStringList({date("213 20240501123456"), date("213 19991231235959.123"), date("213 19700101000000")}),
              QStringList({"2024-05-01T12:34:56Z", "1999-12-31T23:59:59Z", "1970-01-01T00:00:00Z"}));
    for (const QByteArray bad : {"213 20241301123456", "213 20240230123456", "213 20240501246000", "213 191240501123456",
                                 "213 2024050112345", "213 20240501123456.", "213 20240501123456 x", "550 20240501123456"})
        EXPECT_EQ(date(bad), QString()) << bad.toStdString();
}

} // namespace
