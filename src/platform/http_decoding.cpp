#include "platform/http_decoding.h"

#include "platform/http.h"

#include <zlib.h>

#include <algorithm>

namespace {

// The data of a chunked body as far as it goes: a chunk cut short keeps what arrived, and a size
// line that is no hexadecimal number ends it.
QByteArray unchunked(QByteArrayView body, qsizetype cap)
{
    QByteArray data;
    while (data.size() < cap) {
        const qsizetype lineEnd = body.indexOf("\r\n");
        QByteArrayView sizeText = body.first(std::max<qsizetype>(lineEnd, 0));
        sizeText = sizeText.first(sizeText.contains(';') ? sizeText.indexOf(';') : sizeText.size()); // extensions
        bool ok = false;
        const qulonglong size = sizeText.trimmed().toULongLong(&ok, 16);
        if (lineEnd < 0 || !ok || size == 0)
            break;
        body = body.sliced(lineEnd + 2);
        const qsizetype take = static_cast<qsizetype>(std::min<qulonglong>(size, static_cast<qulonglong>(body.size())));
        data += body.first(std::min(take, cap - data.size()));
        body = body.sliced(std::min(body.size(), take + 2)); // the chunk and its line end
    }
    return data;
}

// `windowBits` as zlib takes it: 15 + 32 reads a gzip or a zlib stream by its header, -15 a raw one.
std::optional<QByteArray> inflated(QByteArrayView stream, qsizetype cap, int windowBits)
{
    z_stream z{};
    if (inflateInit2(&z, windowBits) != Z_OK)
        return std::nullopt;
    QByteArray data;
    int status = Z_OK;
    while (status == Z_OK && data.size() < cap) {
        // zlib counts in 32 bits: the input is fed in pieces of at most 1 GiB.
        if (z.avail_in == 0 && !stream.isEmpty()) {
            const qsizetype piece = std::min<qsizetype>(stream.size(), qsizetype(1) << 30);
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.data()));
            z.avail_in = static_cast<uInt>(piece);
            stream = stream.sliced(piece);
        }
        const qsizetype at = data.size();
        data.resize(std::min(cap, std::max<qsizetype>(2 * at, 64 * 1024)));
        z.next_out = reinterpret_cast<Bytef *>(data.data() + at);
        z.avail_out = static_cast<uInt>(data.size() - at);
        status = inflate(&z, Z_NO_FLUSH);
        data.resize(data.size() - z.avail_out);
    }
    inflateEnd(&z);
    // A stream that ended early (Z_BUF_ERROR with no input left) keeps what it gave.
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
        return std::nullopt;
    return data;
}

} // namespace

std::optional<QByteArray> decodedResponse(QByteArrayView response, qsizetype cap)
{
    const qsizetype headerEnd = response.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return std::nullopt;
    const QByteArrayView header = response.first(headerEnd + 2);
    const QByteArray transfer = headerValue(header, "Transfer-Encoding").value_or(QByteArray()).toLower();
    const QByteArray content = headerValue(header, "Content-Encoding").value_or(QByteArray()).toLower();
    const bool chunked = transfer.contains("chunked");
    const bool compressed = content == "gzip" || content == "x-gzip" || content == "deflate";
    if (!chunked && !compressed)
        return std::nullopt;
    const qsizetype room = std::max<qsizetype>(cap - (headerEnd + 4), 0);
    QByteArray body = chunked ? unchunked(response.sliced(headerEnd + 4), compressed ? cap : room)
                              : response.sliced(headerEnd + 4).toByteArray();
    if (compressed) {
        auto plain = inflated(body, room, 15 + 32);
        if (!plain && content == "deflate")
            plain = inflated(body, room, -15); // sent without its zlib header, as some servers do
        if (!plain)
            return std::nullopt;
        body = std::move(*plain);
    }
    return response.first(headerEnd + 4).toByteArray() + body;
}
