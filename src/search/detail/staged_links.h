#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

// Entries on their way into their records, copied out of the page, and their sort by record:
// links to thousands of hosts one after the other would find no record in the cache, so each
// record takes its entries at once, in their order, and the records in the order they first came.
class StagedLinks final
{
public:
    // Stages the entry (path, file) for `record`, whose hash tag is `tag`; the bytes are copied.
    void add(int record, QByteArrayView path, QByteArrayView file, quint32 tag);
    // Hands each staged entry to `addEntry(record, path, file, tag)` (which returns whether it
    // added it), record by record; `prefetch(record, tag)` is called a few entries ahead. Returns
    // how many were added, and empties the stage.
    template<typename AddEntry, typename Prefetch>
    int drain(AddEntry &&addEntry, Prefetch &&prefetch);
    void clear();

private:
    // A staged entry: this header, then its path and file name.
    struct Entry
    {
        qint32 record;
        quint32 tag;
        quint32 pathSize;
        quint32 fileSize;
    };

    static std::size_t rounded(std::size_t size) { return (size + 7) & ~std::size_t(7); }
    static std::size_t entryAt(const char *at, Entry &entry)
    {
        std::memcpy(&entry, at, sizeof entry);
        return rounded(sizeof entry + entry.pathSize + entry.fileSize);
    }
    std::size_t sort();

    // Append-only memory in chunks, kept from batch to batch: nothing moves when it grows.
    struct Chunk
    {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
        std::size_t size = 0;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_current = 0;

    std::unique_ptr<char[]> m_sorted;
    std::size_t m_sortedCapacity = 0;
    std::vector<qsizetype> m_groups;                   // bytes, then offset, of each record's links
    std::vector<std::pair<quint32, quint32>> m_groupOf; // by record: (batch, group)
    quint32 m_batch = 1;
};

template<typename AddEntry, typename Prefetch>
int StagedLinks::drain(AddEntry &&addEntry, Prefetch &&prefetch)
{
    const std::size_t total = sort();
    const char *sorted = m_sorted.get();
    // A big record finds duplicates through a hash index bigger than the cache: where each entry
    // will look is fetched a few entries ahead.
    constexpr int kAhead = 8;
    Entry entry;
    std::size_t ahead = 0;
    for (int k = 0; k < kAhead && ahead < total; ++k)
        ahead += entryAt(sorted + ahead, entry);
    int added = 0;
    for (std::size_t at = 0; at < total;) {
        if (ahead < total) {
            ahead += entryAt(sorted + ahead, entry);
            prefetch(entry.record, entry.tag);
        }
        const std::size_t size = entryAt(sorted + at, entry);
        const char *path = sorted + at + sizeof entry;
        if (addEntry(entry.record, QByteArrayView(path, entry.pathSize),
                     QByteArrayView(path + entry.pathSize, entry.fileSize), entry.tag)) {
            ++added;
        }
        at += size;
    }
    clear();
    return added;
}
