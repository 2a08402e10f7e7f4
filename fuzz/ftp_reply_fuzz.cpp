// FtpReplyReader on whatever a server sends: the replies do not depend on how the bytes were cut,
// each is a code with its last line, within the line bound, and the SIZE and MDTM readings of a
// reply are sane. Input: piece byte (the bytes arrive in pieces of 1 to 256), then the bytes.

#include "tester/detail/ftp_reply.h"

#include "fuzz_check.h"

#include <QList>

namespace {

QList<FtpReply> replies(QByteArrayView bytes, qsizetype piece, bool *failed)
{
    FtpReplyReader reader;
    QList<FtpReply> out;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        reader.append(bytes.sliced(at, std::min(piece, bytes.size() - at)));
        while (const auto reply = reader.next())
            out << *reply;
    }
    *failed = reader.failed();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView bytes = inputView(data + 1, size - 1);
    bool failedInPieces = false, failedWhole = false;
    const QList<FtpReply> inPieces = replies(bytes, 1 + data[0], &failedInPieces);
    const QList<FtpReply> whole = replies(bytes, bytes.size() + 1, &failedWhole);
    CHECK(inPieces.size() == whole.size() && failedInPieces == failedWhole, bytes, inPieces.size());
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const FtpReply &reply = whole[i];
        CHECK(reply.code == inPieces[i].code && reply.line == inPieces[i].line, bytes, reply.line);
        CHECK(reply.code >= 100 && reply.code < 600 && reply.line.startsWith(QByteArray::number(reply.code)), bytes, reply.line);
        CHECK(reply.line.size() <= FtpReplyReader::kMostLine && !reply.line.contains('\n'), bytes, reply.line);
        if (const auto bytesOf = parseSizeReply(reply))
            CHECK(reply.code == 213 && *bytesOf >= 0, reply.line, *bytesOf);
        if (const auto seconds = parseMdtmReply(reply))
            CHECK(reply.code == 213 && *seconds >= -62135596800LL && *seconds < 253402300800LL, reply.line, *seconds);
    }
    return 0;
}
