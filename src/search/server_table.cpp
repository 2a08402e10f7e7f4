#include "search/server_table.h"

#include "search/detail/byte_scan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

// Up to this many entries a record finds duplicates by scanning its tags; beyond, by a hash index.
constexpr quint32 kScanLimit = 64;
// Most servers get a few entries; the arrays grow by half from there (a million entries on
// 100,000 servers left a third of the room of doubled arrays empty).
constexpr quint32 kFirstRoom = 8;
constexpr qsizetype kFirstBytes = 256;
// A record's paths and names together; entries address them with 32 bits.
constexpr qsizetype kMostBytes = std::numeric_limits<quint32>::max();

// Rooms stay even, so the tags always end where an entry may begin.
static_assert(kFirstRoom * sizeof(quint32) % alignof(qsizetype) == 0);
// Everything an addition reads sits in the record's first cache line.
static_assert(sizeof(ServerRecord) == 64);
std::size_t entriesOffset(quint32 room)
{
    return static_cast<std::size_t>(room) * sizeof(quint32);
}

void *allocate(std::size_t size)
{
    void *memory = std::malloc(size);
    if (!memory)
        throw std::bad_alloc();
    return memory;
}

} // namespace

ServerRecord::ServerRecord(QByteArray serverURL)
    : m_serverURL(std::move(serverURL))
{
}

ServerRecord::ServerRecord(ServerRecord &&other) noexcept
{
    *this = std::move(other);
}

ServerRecord &ServerRecord::operator=(ServerRecord &&other) noexcept
{
    if (this != &other) {
        release();
        m_bytes = std::exchange(other.m_bytes, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_block = std::exchange(other.m_block, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_room = std::exchange(other.m_room, 0);
        m_index = std::move(other.m_index);
        m_serverURL = std::move(other.m_serverURL);
    }
    return *this;
}

ServerRecord::~ServerRecord()
{
    release();
}

void ServerRecord::release()
{
    std::free(m_bytes);
    std::free(m_block);
    m_bytes = nullptr;
    m_block = nullptr;
    m_size = m_capacity = 0;
    m_count = m_room = 0;
    m_index.reset();
}

const ServerRecord::Entry *ServerRecord::entries() const
{
    return reinterpret_cast<const Entry *>(static_cast<const char *>(m_block) + entriesOffset(m_room));
}

ServerRecord::Entry *ServerRecord::entries()
{
    return reinterpret_cast<Entry *>(static_cast<char *>(m_block) + entriesOffset(m_room));
}

QByteArrayView ServerRecord::fileNameView(int j) const
{
    if (j < 1 || j > entryCount())
        return {};
    const Entry &entry = entries()[j - 1];
    return bytes(entry.file, entry.fileSize);
}

QByteArrayView ServerRecord::pathView(int j) const
{
    if (j < 1 || j > entryCount())
        return {};
    const Entry &entry = entries()[j - 1];
    return bytes(entry.path, entry.pathSize);
}

quint32 ServerRecord::entryTag(QByteArrayView path, QByteArrayView file)
{
    // In a link the file follows its path: one hash covers both.
    if (path.isEmpty())
        return hashTag(hashBytes(file));
    if (path.data() + path.size() == file.data())
        return hashTag(hashBytes(QByteArrayView(path.data(), path.size() + file.size())));
    std::string joined(path.data(), static_cast<std::size_t>(path.size()));
    joined.append(file.data(), static_cast<std::size_t>(file.size()));
    return hashTag(hashBytes(joined));
}

quint32 ServerRecord::find(quint32 tag, QByteArrayView path, QByteArrayView file) const
{
    const Entry *all = entries();
    const auto equal = [&](quint32 id) {
        return sameBytes(bytes(all[id].file, all[id].fileSize), file)
            && sameBytes(bytes(all[id].path, all[id].pathSize), path);
    };
    if (m_index)
        return m_index->find(tag, equal);
    const quint32 *known = tags();
    quint32 i = 0;
    for (; i + 4 <= m_count; i += 4) {
        for (unsigned mask = byteScan::matchTags4(known + i, tag); mask != 0; mask &= mask - 1) {
            const quint32 id = i + static_cast<quint32>(__builtin_ctz(mask));
            if (equal(id))
                return id;
        }
    }
    for (; i < m_count; ++i) {
        if (known[i] == tag && equal(i))
            return i;
    }
    return HashIndex::kNone;
}

quint32 ServerRecord::store(QByteArrayView text)
{
    if (m_capacity - m_size < text.size()) {
        const qsizetype wanted = std::max<qsizetype>(kFirstBytes, qsizetype(m_capacity) + m_capacity / 2);
        const auto capacity = static_cast<quint32>(std::min(std::max(wanted, m_size + text.size()), kMostBytes));
        auto *grown = static_cast<char *>(allocate(static_cast<std::size_t>(capacity)));
        if (m_size > 0)
            std::memcpy(grown, m_bytes, static_cast<std::size_t>(m_size));
        std::free(m_bytes);
        m_bytes = grown;
        m_capacity = capacity;
    }
    const quint32 offset = m_size;
    copyBytes(m_bytes + offset, text.data(), text.size());
    m_size += static_cast<quint32>(text.size());
    return offset;
}

void ServerRecord::growBlock()
{
    const quint32 room = m_room == 0 ? kFirstRoom : (m_room + m_room / 2 + 1) & ~1U;
    void *grown = allocate(entriesOffset(room) + room * sizeof(Entry));
    if (m_count > 0) {
        std::memcpy(grown, m_block, m_count * sizeof(quint32));
        std::memcpy(static_cast<char *>(grown) + entriesOffset(room), entries(), m_count * sizeof(Entry));
    }
    std::free(m_block);
    m_block = grown;
    m_room = room;
}

bool ServerRecord::addEntry(QByteArrayView path, QByteArrayView file)
{
    return addTagged(path, file, entryTag(path, file));
}

bool ServerRecord::addTagged(QByteArrayView path, QByteArrayView file, quint32 tag)
{
    // A record full to its 4 GiB of text takes no more (never reached: pages are capped far below).
    if (m_size + path.size() + file.size() > kMostBytes || m_count >= quint32(std::numeric_limits<int>::max()))
        return false;
    if (m_count > 0 && find(tag, path, file) != HashIndex::kNone)
        return false;

    if (m_count == m_room)
        growBlock();
    Entry entry{0, 0, static_cast<quint32>(path.size()), static_cast<quint32>(file.size())};
    const Entry *last = m_count > 0 ? &entries()[m_count - 1] : nullptr;
    if (last && sameBytes(path, bytes(last->path, last->pathSize))) {
        // A page tends to list a directory's files together: the path is stored once.
        entry.path = last->path;
        entry.file = store(file);
    } else if (path.data() + path.size() == file.data()) {
        entry.path = store(QByteArrayView(path.data(), path.size() + file.size()));
        entry.file = entry.path + static_cast<quint32>(path.size());
    } else {
        entry.path = store(path);
        entry.file = store(file);
    }

    const quint32 id = m_count;
    tags()[id] = tag;
    entries()[id] = entry;
    ++m_count;
    if (m_index) {
        m_index->insert(tag, id);
    } else if (m_count > kScanLimit) {
        m_index = std::make_unique<HashIndex>();
        for (quint32 i = 0; i < m_count; ++i)
            m_index->insert(tags()[i], i);
    }
    return true;
}

ServerRecord *ServerTable::live(int index) const
{
    if (index < m_first || index > upperBound())
        return nullptr;
    const int position = index - m_first;
    return &m_blocks[static_cast<std::size_t>(position / kBlock)][position % kBlock];
}

const ServerRecord &ServerTable::operator[](int index) const
{
    if (ServerRecord *record = live(index))
        return *record;
    if (index < 0 || index > upperBound())
        throw std::out_of_range("no such server record");
    return m_empty; // 0, or retired
}

ServerRecord &ServerTable::operator[](int index)
{
    if (index == 0)
        return m_empty;
    if (ServerRecord *record = live(index))
        return *record;
    throw std::out_of_range("no such server record, or a retired one");
}

int ServerTable::add(QByteArray serverURL)
{
    if (m_count % kBlock == 0)
        m_blocks.push_back(std::make_unique<ServerRecord[]>(kBlock));
    m_blocks.back()[m_count % kBlock] = ServerRecord(std::move(serverURL));
    ++m_count;
    return upperBound();
}

std::vector<ServerTable::Block> ServerTable::retire()
{
    m_first = upperBound() + 1;
    m_count = 0;
    return std::exchange(m_blocks, {});
}
