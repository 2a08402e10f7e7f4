#include "search/detail/hash_index.h"

#include <QRandomGenerator>

const quint64 hashing::kSeed = QRandomGenerator::system()->generate64();

void HashIndex::place(Slot slot)
{
    std::size_t i = slot.tag & m_mask;
    while (m_slots[i].id != kNone)
        i = (i + 1) & m_mask;
    m_slots[i] = slot;
}

void HashIndex::grow()
{
    // Kept at most half full, so a probe ends after a slot or two.
    const std::size_t size = m_slots.empty() ? 16 : m_slots.size() * 2;
    std::vector<Slot> old(size, Slot{0, kNone});
    old.swap(m_slots);
    m_mask = size - 1;
    for (const Slot &slot : old) {
        if (slot.id != kNone)
            place(slot);
    }
}

void HashIndex::insert(quint32 tag, quint32 id)
{
    if (static_cast<std::size_t>(m_count + 1) * 2 > m_slots.size())
        grow();
    place(Slot{tag, id});
    ++m_count;
}

void HashIndex::clear()
{
    m_slots.clear();
    m_mask = 0;
    m_count = 0;
}
