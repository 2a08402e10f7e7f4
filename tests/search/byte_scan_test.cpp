#include "search/detail/byte_scan.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using byteScan::Path;

// Where a search may start in `text`.
std::vector<qsizetype> startsOf(QByteArrayView text)
{
    std::vector<qsizetype> starts;
    for (const qsizetype from : {qsizetype(0), qsizetype(1), qsizetype(15), qsizetype(16), qsizetype(17),
                                 text.size() / 2, text.size() - 1, text.size()}) {
        if (from >= 0 && from <= text.size())
            starts.push_back(from);
    }
    return starts;
}

// Everything the inline primitives make of `text` and the byte `b` on path P, as text.
template<Path P>
std::string inlineAnswers(QByteArrayView text, char b)
{
    std::ostringstream out;
    for (const qsizetype from : startsOf(text)) {
        const byteScan::ServerEnd end = byteScan::findServerEnd<P>(text, from);
        out << byteScan::findByte<P>(text, b, from) << ' ' << end.slash << ' ' << end.at << " |";
        for (const qsizetype until : {text.size(), text.size() - 17}) {
            for (const char quote : {'"', '\'', b}) {
                byteScan::LinkBytes found;
                if (until >= from && byteScan::scanLink<P>(text, from, until, quote, found))
                    out << ' ' << found.end;
                out << ' ' << found.percent << found.control << found.questionMark;
            }
        }
    }
    out << " | " << byteScan::findLastByte<P>(text, b) << byteScan::hasControlCharacter<P>(text);
    if (text.size() >= 16) {
        const qsizetype n = std::min<qsizetype>(text.size(), 32);
        for (const qsizetype changed : {qsizetype(-1), qsizetype(0), n / 2, n - 1}) {
            std::string other(text.data(), static_cast<std::size_t>(n));
            if (changed >= 0)
                other[static_cast<std::size_t>(changed)] = b;
            out << byteScan::sameEnds16<P>(text.data(), other.data(), n);
        }
        std::string copy(static_cast<std::size_t>(n), b);
        byteScan::copyEnds16<P>(copy.data(), text.data(), n);
        quint32 four[4];
        std::memcpy(four, text.data(), sizeof four);
        out << ' ' << copy;
        for (const quint32 tag : {four[0], four[1], four[3], 0x01010101u * static_cast<unsigned char>(b)})
            out << ' ' << byteScan::matchTags4<P>(four, tag);
    }
    return out.str();
}

// The page sweep's marks on `path`, from several starts to several stops.
std::string sweepAnswers(Path path, QByteArrayView text)
{
    std::ostringstream out;
    for (const qsizetype at : {qsizetype(0), qsizetype(1), qsizetype(63)}) {
        for (const qsizetype stop : {text.size(), text.size() - 11, text.size() - 70}) {
            quint64 starts[byteScan::kStretch] = {};
            const int blocks = byteScan::markHrefStarts(path, text.data(), at, stop, text.size(), starts);
            out << blocks << ':';
            for (int k = 0; k < blocks; ++k)
                out << ' ' << starts[k];
            out << " |";
        }
    }
    return out.str();
}

// Every path this build and processor can run is checked against the plain one: for every byte
// value, on texts of lengths around the 16- and 64-byte blocks that start at several offsets from
// a 64-byte boundary. The bytes around a text are the byte itself, so a path that reads past
// either end answers differently.
TEST(ByteScan, EveryPathAgreesWithThePlainOne)
{
    std::vector<Path> sweeps;
    for (const Path path : {Path::Sse2, Path::Avx2, Path::Avx512}) {
        if (byteScan::canRun(path))
            sweeps.push_back(path);
    }
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_FALSE(sweeps.empty());
    EXPECT_NE(byteScan::kInline, Path::Plain);
#endif
    static constexpr QByteArrayView fragments[] = {
        "h", "H", "f", "F", "=", "\"", "'", "%", "?", "/", "@", "a", "\x80", "\xe8", "\xff",
        "href=\"f", "HREF='h", "=\"h"};
    QRandomGenerator random(20261207);
    const qsizetype lengths[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 191, 192, 193, 4300};
    std::vector<char> buffer(8192);
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    char *const aligned = buffer.data() + ((64 - start % 64) % 64);
    for (int value = 0; value < 256; ++value) {
        const char b = static_cast<char>(value);
        for (const qsizetype length : lengths) {
            for (const qsizetype offset : {0, 1, 15, 33}) {
                std::memset(buffer.data(), b, buffer.size());
                char *text = aligned + offset;
                for (qsizetype i = 0; i < length;) {
                    const QByteArrayView piece = fragments[random.bounded(static_cast<quint32>(std::size(fragments)))];
                    for (qsizetype k = 0; k < piece.size() && i < length; ++k)
                        text[i++] = piece[k];
                }
                for (const qsizetype at : {qsizetype(0), length / 2, length - 1}) {
                    if (at >= 0)
                        text[at] = b;
                }
                const QByteArrayView view(text, length);
                const auto where = [&] {
                    return " length " + std::to_string(length) + " offset " + std::to_string(offset) + " byte "
                           + std::to_string(value);
                };
                ASSERT_EQ(inlineAnswers<byteScan::kInline>(view, b), inlineAnswers<Path::Plain>(view, b)) << where();
                const std::string plain = sweepAnswers(Path::Plain, view);
                for (const Path path : sweeps)
                    ASSERT_EQ(sweepAnswers(path, view), plain) << "sweep path " << int(path) << where();
            }
        }
    }
}

} // namespace
