#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <string>
#include <vector>

// The record of each host that has a server node in this search. One cache line per host, with
// the name inside it unless it is long: a lookup reads one line, nearly always.
class HostTable final
{
public:
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

    bool holds(const Slot &slot, QByteArrayView host) const;
    void place(const Slot &slot);

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    qsizetype m_count = 0;
    std::string m_long;
    // Links to one host tend to come in runs.
    mutable std::size_t m_last = 0;
};
