#pragma once

// What the fuzz targets share: a check that prints what differed before it aborts, and the input
// cut into fields at NUL bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

inline std::string shown(QByteArrayView bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        out += c >= 32 && c < 127 && c != '"' && c != '\\' ? std::string(1, c) : std::string(escaped);
    }
    return out + '"';
}
inline std::string shown(const std::string &s) { return shown(QByteArrayView(s)); }
inline std::string shown(const QByteArray &s) { return shown(QByteArrayView(s)); }
inline std::string shown(const QString &s) { return shown(s.toLatin1()); }
inline std::string shown(long long n) { return std::to_string(n); }
template <class A, class B> std::string shown(const std::pair<A, B> &p) { return '(' + shown(p.first) + ", " + shown(p.second) + ')'; }
template <class T> std::string shown(const std::vector<T> &items)
{
    std::string out = "[";
    for (const T &item : items)
        out += shown(item) + ' ';
    return out + ']';
}

template <class... T> [[noreturn]] void checkFailed(const char *what, int line, const T &...values)
{
    std::string text;
    ((text += "\n  " + shown(values)), ...);
    std::fprintf(stderr, "CHECK failed, line %d: %s%s\n", line, what, text.c_str());
    std::abort();
}
// CHECK(condition, values to print when it does not hold...)
#define CHECK(condition, ...) ((condition) ? void() : checkFailed(#condition, __LINE__ __VA_OPT__(, ) __VA_ARGS__))

// The input's first `count - 1` NUL-ended fields and the rest (missing ones empty, at its end).
inline std::vector<QByteArrayView> fields(QByteArrayView input, int count)
{
    std::vector<QByteArrayView> out;
    for (int i = 1; i < count; ++i) {
        const qsizetype nul = input.indexOf('\0');
        out.push_back(nul < 0 ? input : input.first(nul));
        input = input.sliced(nul < 0 ? input.size() : nul + 1);
    }
    out.push_back(input);
    return out;
}

inline QByteArrayView inputView(const uint8_t *data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}
