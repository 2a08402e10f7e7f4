#pragma once

#include "search/detail/byte_scan.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>
#include <vector>

namespace hashing {

// Random per run, so that a page crafted to collide cannot turn grouping quadratic.
extern const quint64 kSeed;

inline quint64 fold(quint64 a, quint64 b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<quint64>(product) ^ static_cast<quint64>(product >> 64);
}

} // namespace hashing

// A 64-bit hash of `key`.
inline quint64 hashBytes(QByteArrayView key)
{
    constexpr quint64 k0 = 0xa0761d6478bd642fULL;
    constexpr quint64 k1 = 0xe7037ed1a0b428dbULL;
    const char *p = key.data();
    qsizetype n = key.size();
    quint64 h = hashing::kSeed ^ static_cast<quint64>(n);
    while (n > 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = hashing::fold(h ^ word, k1);
        p += 8;
        n -= 8;
    }
    quint64 last = 0;
    if (n > 0)
        std::memcpy(&last, p, static_cast<std::size_t>(n));
    return hashing::fold(h ^ last ^ k0, k1 ^ static_cast<quint64>(key.size()));
}

// Equality of two byte strings; names and hosts are short, so those are compared in a word or two.
inline bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const char *p = a.data();
    const char *q = b.data();
    // Two overlapping pieces cover the whole string.
    if (n >= 8 && n <= 16) {
        quint64 p0, p1, q0, q1;
        std::memcpy(&p0, p, 8);
        std::memcpy(&p1, p + n - 8, 8);
        std::memcpy(&q0, q, 8);
        std::memcpy(&q1, q + n - 8, 8);
        return ((p0 ^ q0) | (p1 ^ q1)) == 0;
    }
    if (n > 16 && n <= 32)
        return byteScan::sameEnds16(p, q, n);
    return n == 0 || std::memcmp(p, q, static_cast<std::size_t>(n)) == 0;
}

// memcpy for the short names of a link, without a call.
inline void copyBytes(char *to, const char *from, qsizetype n)
{
    if (n >= 8 && n <= 16) {
        quint64 head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
        return;
    }
    if (n > 16 && n <= 32) {
        byteScan::copyEnds16(to, from, n);
        return;
    }
    if (n > 0)
        std::memcpy(to, from, static_cast<std::size_t>(n));
}

// The 32 bits of a hash that HashIndex works with.
inline quint32 hashTag(quint64 hash)
{
    return static_cast<quint32>(hash ^ (hash >> 32));
}

// An open-addressing index from hash tags to 32-bit ids. The keys stay with the caller, which
// compares them in find(); a slot is 8 bytes and nothing is allocated per key.
class HashIndex final
{
public:
    static constexpr quint32 kNone = 0xffffffffu;

    // The id whose key `equal` accepts among those stored under `tag`, or kNone.
    template<typename Equal>
    quint32 find(quint32 tag, Equal &&equal) const
    {
        if (m_count == 0)
            return kNone;
        for (std::size_t i = tag & m_mask;; i = (i + 1) & m_mask) {
            const Slot &slot = m_slots[i];
            if (slot.id == kNone)
                return kNone;
            if (slot.tag == tag && equal(slot.id))
                return slot.id;
        }
    }

    // Brings the slot where find(tag) starts into the cache.
    void prefetch(quint32 tag) const
    {
        if (m_count != 0)
            __builtin_prefetch(&m_slots[tag & m_mask]);
    }

    // The key must not be stored yet.
    void insert(quint32 tag, quint32 id);
    void clear();

private:
    struct Slot
    {
        quint32 tag;
        quint32 id;
    };

    void place(Slot slot);
    void grow();

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    qsizetype m_count = 0;
};
