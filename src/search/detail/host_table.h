#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cstdlib>
#include <memory>
#include <string>

// The record of each host that has a server node in this search. One cache line per host, with
// the name inside it unless it is long: a lookup reads one line, nearly always.
//
// The table grows without a pause: the bigger table's memory is faulted in as it is used, and the
// hosts move over a few per insertion, so that no insertion moves a hundred thousand of them.
class HostTable final
{
public:
    HostTable() = default;
    HostTable(const HostTable &) = delete;
    HostTable &operator=(const HostTable &) = delete;

    static quint32 tagOf(QByteArrayView host);

    // The record of `host` (whose tag is `tag`), or 0.
    int find(QByteArrayView host, quint32 tag) const;
    // `host` must not be in the table yet; `record` > 0.
    void insert(QByteArrayView host, quint32 tag, int record);
    void clear();

private:
    static constexpr qsizetype kInline = 48;

    struct alignas(64) Slot
    {
        quint32 tag = 0;
        qint32 record = 0; // 0: a free slot
        qsizetype size = 0;
        char text[kInline] = {}; // the name, or its offset in m_long
    };

    // Slots from calloc: zero is a free slot, and a big table's pages are faulted in when used.
    struct Slots
    {
        struct Free
        {
            void operator()(void *memory) const { std::free(memory); }
        };
        std::unique_ptr<void, Free> memory;
        Slot *first = nullptr; // aligned to a cache line inside `memory`
        std::size_t size = 0;

        static Slots zeroed(std::size_t size);
    };

    bool holds(const Slot &slot, QByteArrayView host) const;
    static int findIn(const Slots &table, QByteArrayView host, quint32 tag, const HostTable &names, std::size_t *at);
    void place(const Slot &slot);
    // Moves a few hosts from the table being left behind, and lets it go once it is empty.
    void migrate(std::size_t count);

    Slots m_table;
    Slots m_old;              // the smaller table, while its hosts move over
    std::size_t m_moved = 0;  // its slots looked at so far
    std::size_t m_mask = 0;
    qsizetype m_count = 0;
    std::string m_long;
    // Links to one host tend to come in runs.
    mutable std::size_t m_last = 0;
};
