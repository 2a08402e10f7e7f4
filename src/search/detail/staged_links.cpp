#include "search/detail/staged_links.h"

#include "search/detail/hash_index.h"

#include <algorithm>

void StagedLinks::add(int record, QByteArrayView path, QByteArrayView file, quint32 tag)
{
    const Entry entry{record, tag, static_cast<quint32>(path.size()), static_cast<quint32>(file.size())};
    const std::size_t size = rounded(sizeof entry + entry.pathSize + entry.fileSize);
    constexpr std::size_t kChunk = std::size_t(1) << 20;
    while (m_current < m_chunks.size() && m_chunks[m_current].capacity - m_chunks[m_current].size < size)
        ++m_current;
    if (m_current == m_chunks.size()) {
        Chunk chunk;
        chunk.capacity = std::max(kChunk, size);
        chunk.bytes = std::make_unique_for_overwrite<char[]>(chunk.capacity);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk &chunk = m_chunks[m_current];
    char *at = chunk.bytes.get() + chunk.size;
    chunk.size += size;
    std::memcpy(at, &entry, sizeof entry);
    copyBytes(at + sizeof entry, path.data(), path.size());
    copyBytes(at + sizeof entry + entry.pathSize, file.data(), file.size());

    if (static_cast<std::size_t>(record) >= m_groupOf.size())
        m_groupOf.resize(std::max<std::size_t>(static_cast<std::size_t>(record) + 1, 2 * m_groupOf.size()), {0, 0});
    auto &group = m_groupOf[static_cast<std::size_t>(record)];
    if (group.first != m_batch) {
        group = {m_batch, static_cast<quint32>(m_groups.size())};
        m_groups.push_back(0);
    }
    m_groups[group.second] += static_cast<qsizetype>(size);
}

std::size_t StagedLinks::sort()
{
    std::size_t total = 0;
    for (qsizetype &group : m_groups)
        total += static_cast<std::size_t>(std::exchange(group, static_cast<qsizetype>(total)));
    if (total > m_sortedCapacity) {
        m_sorted = std::make_unique_for_overwrite<char[]>(total);
        m_sortedCapacity = total;
    }
    for (std::size_t c = 0; c <= m_current && c < m_chunks.size(); ++c) {
        const Chunk &chunk = m_chunks[c];
        for (std::size_t at = 0; at < chunk.size;) {
            Entry entry;
            const std::size_t size = entryAt(chunk.bytes.get() + at, entry);
            qsizetype &to = m_groups[m_groupOf[static_cast<std::size_t>(entry.record)].second];
            std::memcpy(m_sorted.get() + to, chunk.bytes.get() + at, size);
            to += static_cast<qsizetype>(size);
            at += size;
        }
    }
    return total;
}

void StagedLinks::clear()
{
    for (Chunk &chunk : m_chunks)
        chunk.size = 0;
    m_current = 0;
    m_groups.clear();
    ++m_batch;
}
