#include "search/detail/host_table.h"

#include "search/detail/hash_index.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

bool HostTable::holds(const Slot &slot, QByteArrayView host) const
{
    if (slot.size != host.size())
        return false;
    if (slot.size <= kInline)
        return sameBytes(QByteArrayView(slot.text, slot.size), host);
    qsizetype offset;
    std::memcpy(&offset, slot.text, sizeof offset);
    return sameBytes(QByteArrayView(m_long.data() + offset, slot.size), host);
}

quint32 HostTable::tagOf(QByteArrayView host)
{
    return hashTag(hashBytes(host));
}

HostTable::Slots HostTable::Slots::zeroed(std::size_t size)
{
    Slots table;
    // One slot more, to align the first to a cache line.
    void *memory = std::calloc(size + 1, sizeof(Slot));
    if (!memory)
        throw std::bad_alloc();
    table.memory.reset(memory);
    const auto address = (reinterpret_cast<quintptr>(memory) + alignof(Slot) - 1) & ~quintptr(alignof(Slot) - 1);
    table.first = reinterpret_cast<Slot *>(address);
    table.size = size;
    return table;
}

int HostTable::findIn(const Slots &table, QByteArrayView host, quint32 tag, const HostTable &names, std::size_t *at)
{
    const std::size_t mask = table.size - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
        const Slot &slot = table.first[i];
        if (slot.record == 0)
            return 0;
        if (slot.tag == tag && names.holds(slot, host)) {
            if (at)
                *at = i;
            return slot.record;
        }
    }
}

int HostTable::find(QByteArrayView host, quint32 tag) const
{
    if (m_count == 0)
        return 0;
    const Slot &last = m_table.first[m_last];
    if (last.tag == tag && last.record != 0 && holds(last, host))
        return last.record;
    if (const int record = findIn(m_table, host, tag, *this, &m_last))
        return record;
    // A host not moved over yet; those moved are found above.
    return m_old.size > 0 ? findIn(m_old, host, tag, *this, nullptr) : 0;
}

void HostTable::place(const Slot &slot)
{
    std::size_t i = slot.tag & m_mask;
    while (m_table.first[i].record != 0)
        i = (i + 1) & m_mask;
    m_table.first[i] = slot;
}

void HostTable::migrate(std::size_t count)
{
    if (m_old.size == 0)
        return;
    const std::size_t end = std::min(m_old.size, m_moved + count);
    for (; m_moved < end; ++m_moved) {
        if (m_old.first[m_moved].record != 0)
            place(m_old.first[m_moved]);
    }
    if (m_moved == m_old.size)
        m_old = {};
}

void HostTable::insert(QByteArrayView host, quint32 tag, int record)
{
    if (static_cast<std::size_t>(m_count + 1) * 2 > m_table.size) {
        // Kept at most half full, so a probe ends after a slot or two. The old table is emptied
        // before the new one is half full: four slots a host move over in time.
        migrate(m_old.size);
        m_old = std::exchange(m_table, Slots::zeroed(m_table.size == 0 ? 64 : m_table.size * 2));
        m_moved = 0;
        m_mask = m_table.size - 1;
        m_last = 0;
    }
    migrate(4);
    Slot slot;
    slot.tag = tag;
    slot.record = record;
    slot.size = host.size();
    if (host.size() <= kInline) {
        std::memcpy(slot.text, host.data(), static_cast<std::size_t>(host.size()));
    } else {
        const qsizetype offset = static_cast<qsizetype>(m_long.size());
        m_long.append(host.data(), static_cast<std::size_t>(host.size()));
        std::memcpy(slot.text, &offset, sizeof offset);
    }
    place(slot);
    ++m_count;
}

void HostTable::clear()
{
    // Released, not kept for the next search: a big crawl's table is tens of megabytes.
    m_table = {};
    m_old = {};
    m_moved = 0;
    m_mask = 0;
    m_count = 0;
    std::string().swap(m_long);
    m_last = 0;
}
