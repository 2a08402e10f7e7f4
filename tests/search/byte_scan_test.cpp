#include "search/detail/byte_scan.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

using byteScan::Path;

// The page sweep's marks on `path`, from several starts to several stops.
std::string sweepAnswers(Path path, QByteArrayView text)
{
    std::ostringstream out;
    for (const qsizetype at : {0, 1, 63}) {
        for (const qsizetype stop : {text.size(), text.size() - 11, text.size() - 70}) {
            quint64 starts[byteScan::kStretch] = {};
            const int blocks = byteScan::markHrefStarts(path, text.data(), at, stop, text.size(), starts);
            out << blocks << ':';
            for (int k = 0; k < blocks; ++k) out << ' ' << starts[k];
            out << " |";
        }
    }
    return out.str();
}

// Every sweep this build and processor can run against the plain one, for every byte value, on texts of every length around the
// 64-byte blocks, at several offsets from a 64-byte boundary. The bytes around a text are the byte itself: a sweep that reads
// past an end differs. (The inline primitives are held against plain finds where links are split, scanned and grouped.)
TEST(ByteScan, EverySweepAgreesWithThePlainOne)
{
    std::vector<Path> sweeps{Path::Sse2, Path::Avx2, Path::Avx512};
    std::erase_if(sweeps, [](Path path) { return !byteScan::canRun(path); });
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_FALSE(sweeps.empty());
#endif
    static constexpr QByteArrayView fragments[] = {"h", "H", "f", "F", "=", "\"", "'", "%", "?", "/", "@", "a",
                                                   "\x80", "\xe8", "\xff", "href=\"f", "HREF='h", "=\"h"};
    QRandomGenerator random(20261207);
    std::vector<qsizetype> lengths{191, 192, 193, 4300};
    for (qsizetype length = 0; length <= 140; length += length < 70 || length >= 120 ? 1 : 50) lengths.push_back(length);
    std::vector<char> buffer(8192);
    char *const aligned = buffer.data() + (64 - reinterpret_cast<std::uintptr_t>(buffer.data()) % 64) % 64;
    for (int value = 0; value < 256; ++value) {
        for (const qsizetype length : lengths) {
            const qsizetype offset = (value + length) % 2 ? 33 : value % 3;
            std::memset(buffer.data(), value, buffer.size());
            char *text = aligned + offset;
            for (qsizetype i = 0; i < length;) {
                const QByteArrayView piece = fragments[random.bounded(static_cast<quint32>(std::size(fragments)))];
                for (qsizetype k = 0; k < piece.size() && i < length; ++k) text[i++] = piece[k];
            }
            for (const qsizetype at : {0ll, length / 2, length - 1}) text[std::max<qsizetype>(at, 0)] = char(value);
            for (const Path path : sweeps)
                ASSERT_EQ(sweepAnswers(path, {text, length}), sweepAnswers(Path::Plain, {text, length}))
                    << "path " << int(path) << " length " << length << " offset " << offset << " byte " << value;
        }
    }
}

} // namespace
