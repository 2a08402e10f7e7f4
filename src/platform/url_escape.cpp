#include "platform/url_escape.h"

#include <cstring>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of a hexadecimal digit.
int digitValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

} // namespace

QByteArrayView UnescapeURL(QByteArrayView s, std::string &buffer)
{
    // An empty view may have no data at all, which memchr must not be given.
    const void *firstPercent = s.isEmpty() ? nullptr : std::memchr(s.data(), '%', static_cast<std::size_t>(s.size()));
    if (!firstPercent)
        return s;
    buffer.assign(s.data(), static_cast<std::size_t>(s.size()));
    char *b = buffer.data();
    const qsizetype n = s.size();
    qsizetype r = static_cast<const char *>(firstPercent) - s.data();
    qsizetype w = r;
    // In place: the write position never passes the read position.
    while (r < n) {
        if (b[r] != '%') {
            const void *next = std::memchr(b + r, '%', static_cast<std::size_t>(n - r));
            const qsizetype end = next ? static_cast<const char *>(next) - b : n;
            std::memmove(b + w, b + r, static_cast<std::size_t>(end - r));
            w += end - r;
            r = end;
            continue;
        }
        if (r + 2 < n && isHexDigit(b[r + 1]) && isHexDigit(b[r + 2])) {
            const char decoded = static_cast<char>(digitValue(b[r + 1]) * 16 + digitValue(b[r + 2]));
            r += 2;
            if (decoded == '%') {
                // Read again together with the two characters that follow it.
                b[r] = '%';
                continue;
            }
            b[w++] = decoded;
            ++r;
            continue;
        }
        b[w++] = '%';
        ++r;
    }
    buffer.resize(static_cast<std::size_t>(w));
    return QByteArrayView(buffer.data(), w);
}
