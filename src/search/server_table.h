#pragma once

#include "search/detail/hash_index.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <vector>

// The files found on one result server. Entries count from 1, as the result lists show them.
// It owns its entries; it moves, it is not copied.
//
// A crawl spreads its links over thousands of records, so adding an entry must touch few cache
// lines: the record's first line (everything adding reads), the tags a small record scans for a
// duplicate, and the ends of its arrays.
class alignas(64) ServerRecord final
{
public:
    explicit ServerRecord(QByteArray serverURL = {});
    ServerRecord(const ServerRecord &other) = delete;
    ServerRecord &operator=(const ServerRecord &other) = delete;
    ServerRecord(ServerRecord &&other) noexcept;
    ServerRecord &operator=(ServerRecord &&other) noexcept;
    ~ServerRecord();

    // The link up to the first "/" behind "://": scheme, user and password, host, port.
    const QByteArray &ServerURL() const { return m_serverURL; }
    // k: the entries are 1..k.
    int entryCount() const { return static_cast<int>(m_count); }
    QByteArray FileNames(int j) const { return fileNameView(j).toByteArray(); }
    QByteArray Paths(int j) const { return pathView(j).toByteArray(); }
    // The same without a copy; valid until the record changes.
    QByteArrayView fileNameView(int j) const;
    QByteArrayView pathView(int j) const;

    // Adds path + file unless the record holds that pair already; true when added.
    bool addEntry(QByteArrayView path, QByteArrayView file);

    // The hash tag of an entry: of its path and file one after the other.
    static quint32 entryTag(QByteArrayView path, QByteArrayView file);
    // addEntry with the tag made already.
    bool addTagged(QByteArrayView path, QByteArrayView file, quint32 tag);
    // Brings where addTagged looks for a duplicate of this tag into the cache.
    void prefetch(quint32 tag) const
    {
        if (m_index)
            m_index->prefetch(tag);
    }

private:
    // Offsets into m_bytes, which holds at most 4 GiB: 16 bytes an entry, a million of them in a
    // big search.
    struct Entry
    {
        quint32 path;
        quint32 file;
        quint32 pathSize;
        quint32 fileSize;
    };

    // The block holds the tags of the entries, then the entries.
    const quint32 *tags() const { return static_cast<const quint32 *>(m_block); }
    quint32 *tags() { return static_cast<quint32 *>(m_block); }
    const Entry *entries() const;
    Entry *entries();
    QByteArrayView bytes(qsizetype offset, qsizetype size) const { return QByteArrayView(m_bytes + offset, size); }

    quint32 find(quint32 tag, QByteArrayView path, QByteArrayView file) const;
    quint32 store(QByteArrayView text);
    void growBlock();
    void release();

    char *m_bytes = nullptr; // paths and names back to back
    quint32 m_size = 0; // the record's first cache line holds every field
    quint32 m_capacity = 0;
    void *m_block = nullptr;
    quint32 m_count = 0;
    quint32 m_room = 0; // entries the block has room for
    std::unique_ptr<HashIndex> m_index; // once the record outgrows a scan of its tags
    QByteArray m_serverURL;
};

// `servers`: every result server of the run, by record index. Index 0 is an empty record.
// Numbering never restarts; retire() hands over the records so far (nothing shows them once a new
// search has cleared the result tree), after which their indexes read as the empty record.
class ServerTable final
{
public:
    // Records live in blocks of this many that never move: a table that doubled would move a
    // hundred thousand records, and fault in twice their memory, in one call.
    static constexpr int kBlock = 1024;
    using Block = std::unique_ptr<ServerRecord[]>;

    // The index of the last record (0 when only the empty record exists).
    int upperBound() const { return m_first - 1 + m_count; }
    // Index 0 and a retired index give the empty record; one past upperBound() throws
    // std::out_of_range, and so does writing to a retired record.
    const ServerRecord &operator[](int index) const;
    ServerRecord &operator[](int index);
    // Appends a record and returns its index.
    int add(QByteArray serverURL);
    // Takes out every record but the empty one, for the caller to free; the next added gets the
    // next index.
    [[nodiscard]] std::vector<Block> retire();
    // Records that hold entries now.
    int liveRecords() const { return m_count; }

private:
    ServerRecord *live(int index) const;

    ServerRecord m_empty;
    std::vector<Block> m_blocks; // the records from index m_first on
    int m_first = 1;
    int m_count = 0;
};
