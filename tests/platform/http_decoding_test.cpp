#include "platform/http_decoding.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

// `text` compressed: windowBits 31 writes gzip, 15 zlib, -15 raw deflate.
QByteArray compressed(const QByteArray &text, int windowBits)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(text.size()))) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

TEST(DecodedResponse, JoinsChunksAndInflatesWhatTheHeaderNames)
{
    const QByteArray page = "<a href=\"ftp://h/a.mp3\">a</a>\n<a href=\"ftp://h/b.mp3\">b</a>\n";
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n";
    const QByteArray zipped = "HTTP/1.0 200 OK\r\nContent-Encoding: %1\r\n\r\n";
    const struct { const char *what; QByteArray response; std::optional<QByteArray> body; } rows[] = {
        {"chunks with an extension and a trailer", chunked + "1f;x=1\r\n" + page.left(31) + "\r\n" + QByteArray::number(page.size() - 31, 16)
                                                       + "\r\n" + page.mid(31) + "\r\n0\r\nX: y\r\n\r\n", page},
        {"a chunk cut short", chunked + "ff\r\n" + page, page},
        {"a size that is no number ends it", chunked + "3\r\nabc\r\nzz\r\ndef\r\n", "abc"},
        {"nothing after the last chunk", chunked + "1\r\na\r\n0\r\n\r\n5\r\nabcde\r\n", "a"},
        {"gzip", QByteArray(zipped).replace("%1", "gzip") + compressed(page, 31), page},
        {"zlib, as deflate means", QByteArray(zipped).replace("%1", "deflate") + compressed(page, 15), page},
        {"raw deflate, as some servers send it", QByteArray(zipped).replace("%1", "Deflate") + compressed(page, -15), page},
        {"gzip in chunks", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
                           + QByteArray::number(compressed(page, 31).size(), 16) + "\r\n" + compressed(page, 31) + "\r\n0\r\n\r\n", page},
        {"not compressed after all", QByteArray(zipped).replace("%1", "gzip") + page, std::nullopt},
        {"another encoding", QByteArray(zipped).replace("%1", "br") + page, std::nullopt},
        {"plain", "HTTP/1.0 200 OK\r\n\r\n" + page, std::nullopt},
        {"no end of header", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<QByteArray> decoded = decodedResponse(row.response, 1 << 20);
        ASSERT_EQ(decoded.has_value(), row.body.has_value());
        if (decoded) {
            EXPECT_EQ(*decoded, row.response.left(row.response.indexOf("\r\n\r\n") + 4) + *row.body);
        }
    }
    // A stream cut short keeps what it gave.
    const QByteArray header = QByteArray(zipped).replace("%1", "x-gzip");
    const std::optional<QByteArray> cut = decodedResponse(header + compressed(page, 31).chopped(12), 1 << 20);
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->size() > header.size() && page.startsWith(cut->sliced(header.size()))) << cut->toStdString();
}

TEST(DecodedResponse, NeverGrowsPastTheCap)
{
    const QByteArray header = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    const QByteArray bomb = compressed(QByteArray(64 << 20, 'x'), 31); // 64 MiB in about 64 KiB
    for (const qsizetype cap : {qsizetype(header.size()), qsizetype(header.size() + 1), qsizetype(1 << 20)}) {
        const std::optional<QByteArray> decoded = decodedResponse(header + bomb, cap);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->size(), cap);
        EXPECT_EQ(decoded->count('x'), cap - header.size());
    }
    const QByteArray chunks = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n5\r\nfghij\r\n0\r\n\r\n";
    EXPECT_EQ(decodedResponse(chunks, chunks.indexOf("\r\n\r\n") + 4 + 7)->sliced(chunks.indexOf("\r\n\r\n") + 4), "abcdefg");
}

} // namespace
