#include "search/detail/host_table.h"

#include "search/detail/hash_index.h"

#include <cstring>

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

int HostTable::find(QByteArrayView host, quint32 tag) const
{
    if (m_count == 0)
        return 0;
    if (m_slots[m_last].tag == tag && holds(m_slots[m_last], host))
        return m_slots[m_last].record;
    for (std::size_t i = tag & m_mask;; i = (i + 1) & m_mask) {
        const Slot &slot = m_slots[i];
        if (slot.record == 0)
            return 0;
        if (slot.tag == tag && holds(slot, host)) {
            m_last = i;
            return slot.record;
        }
    }
}

void HostTable::place(const Slot &slot)
{
    std::size_t i = slot.tag & m_mask;
    while (m_slots[i].record != 0)
        i = (i + 1) & m_mask;
    m_slots[i] = slot;
}

void HostTable::insert(QByteArrayView host, quint32 tag, int record)
{
    if (static_cast<std::size_t>(m_count + 1) * 2 > m_slots.size()) {
        // Kept at most half full, so a probe ends after a slot or two.
        std::vector<Slot> old(m_slots.empty() ? 64 : m_slots.size() * 2);
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (slot.record != 0)
                place(slot);
        }
    }
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
    m_last = 0;
}

void HostTable::clear()
{
    // Released, not kept for the next search: a big crawl's table is tens of megabytes.
    std::vector<Slot>().swap(m_slots);
    m_mask = 0;
    m_count = 0;
    std::string().swap(m_long);
    m_last = 0;
}
