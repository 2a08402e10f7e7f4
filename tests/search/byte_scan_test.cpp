#include "search/detail/byte_scan.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using byteScan::Path;

// Runs `call` with the plain path, or for any other path with the one the inline primitives take.
template<typename Call>
auto onPath(Path path, Call &&call)
{
    if (path == Path::Plain)
        return call(std::integral_constant<Path, Path::Plain>{});
    return call(std::integral_constant<Path, byteScan::kInline>{});
}

std::string join(std::initializer_list<long long> values)
{
    std::string text;
    for (const long long value : values)
        text += std::to_string(value) + ' ';
    return text;
}

// What a primitive makes of a text and one byte value, as text, so that the paths can be compared.
using Primitive = std::function<std::string(Path path, QByteArrayView text, char b)>;

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

const struct
{
    const char *name;
    Primitive run;
} kPrimitives[] = {
    {"findByte",
     [](Path path, QByteArrayView text, char b) {
         std::string out;
         for (const qsizetype from : startsOf(text))
             out += join({onPath(path, [&](auto p) { return byteScan::findByte<p.value>(text, b, from); })});
         return out;
     }},
    {"findLastByte",
     [](Path path, QByteArrayView text, char b) {
         return join({onPath(path, [&](auto p) { return byteScan::findLastByte<p.value>(text, b); })});
     }},
    {"findServerEnd",
     [](Path path, QByteArrayView text, char) {
         std::string out;
         for (const qsizetype from : startsOf(text)) {
             const auto end = onPath(path, [&](auto p) { return byteScan::findServerEnd<p.value>(text, from); });
             out += join({end.slash, end.at});
         }
         return out;
     }},
    {"hasControlCharacter",
     [](Path path, QByteArrayView text, char) {
         return join({onPath(path, [&](auto p) { return byteScan::hasControlCharacter<p.value>(text); })});
     }},
    {"scanLink",
     [](Path path, QByteArrayView text, char b) {
         std::string out;
         for (const qsizetype from : startsOf(text)) {
             for (const qsizetype until : {text.size(), text.size() - 17}) {
                 for (const char quote : {'"', '\'', b}) {
                     if (until < from)
                         continue;
                     byteScan::LinkBytes found;
                     const bool closed = onPath(
                         path, [&](auto p) { return byteScan::scanLink<p.value>(text, from, until, quote, found); });
                     out += join({closed, found.end, found.percent, found.control, found.questionMark});
                 }
             }
         }
         return out;
     }},
    {"sameEnds16 copyEnds16 matchTags4",
     [](Path path, QByteArrayView text, char b) {
         if (text.size() < 16)
             return std::string();
         std::string out;
         const qsizetype n = std::min<qsizetype>(text.size(), 32);
         for (const qsizetype changed : {qsizetype(-1), qsizetype(0), n / 2, n - 1}) {
             std::string other(text.data(), static_cast<std::size_t>(n));
             if (changed >= 0)
                 other[static_cast<std::size_t>(changed)] = b;
             const char *a = text.data();
             out += join({onPath(path, [&](auto p) { return byteScan::sameEnds16<p.value>(a, other.data(), n); })});
         }
         std::string copy(static_cast<std::size_t>(n), b);
         onPath(path, [&](auto p) { return byteScan::copyEnds16<p.value>(copy.data(), text.data(), n), 0; });
         out += copy + ' ';
         quint32 four[4];
         std::memcpy(four, text.data(), sizeof four);
         for (const quint32 tag : {four[0], four[1], four[3], 0x01010101u * static_cast<unsigned char>(b)})
             out += join({onPath(path, [&](auto p) { return byteScan::matchTags4<p.value>(four, tag); })});
         return out;
     }},
    {"markHrefStarts",
     [](Path path, QByteArrayView text, char) {
         std::string out;
         for (const qsizetype at : {qsizetype(0), qsizetype(1), qsizetype(63)}) {
             for (const qsizetype stop : {text.size(), text.size() - 11, text.size() - 70}) {
                 quint64 starts[byteScan::kStretch] = {};
                 const int blocks = byteScan::markHrefStarts(path, text.data(), at, stop, text.size(), starts);
                 out += join({blocks});
                 for (int k = 0; k < blocks; ++k)
                     out += join({static_cast<long long>(starts[k])});
             }
         }
         return out;
     }},
};

// Every path this build and processor can run is checked against the plain one: for every byte
// value, on texts of lengths around the 16- and 64-byte blocks that start at several offsets from
// a 64-byte boundary. The bytes around a text are the byte itself, so a path that reads past
// either end answers differently.
TEST(ByteScan, EveryPathAgreesWithThePlainOne)
{
    std::vector<Path> paths;
    for (const Path path : {Path::Sse2, Path::Avx2, Path::Avx512}) {
        if (byteScan::canRun(path))
            paths.push_back(path);
    }
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_FALSE(paths.empty());
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
                for (const auto &primitive : kPrimitives) {
                    const std::string plain = primitive.run(Path::Plain, view, b);
                    for (const Path path : paths) {
                        ASSERT_EQ(primitive.run(path, view, b), plain)
                            << primitive.name << " path " << int(path) << " length " << length << " offset "
                            << offset << " byte " << value;
                    }
                }
            }
        }
    }
}

} // namespace
