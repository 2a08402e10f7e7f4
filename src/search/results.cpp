#include "search/results.h"

#include <QList>
#include <QSet>

// A plain first version; the grouping of a big crawl gets its own tuned store.
struct ServerRecord::Store
{
    QList<QByteArray> files;
    QList<QByteArray> paths;
    QSet<QByteArray> seen;
};

ServerRecord::ServerRecord(QByteArray serverURL)
    : m_serverURL(std::move(serverURL))
    , m_store(std::make_shared<Store>())
{
}

int ServerRecord::entryCount() const
{
    return static_cast<int>(m_store->files.size());
}

QByteArray ServerRecord::FileNames(int j) const
{
    return j >= 1 && j <= entryCount() ? m_store->files[j - 1] : QByteArray();
}

QByteArray ServerRecord::Paths(int j) const
{
    return j >= 1 && j <= entryCount() ? m_store->paths[j - 1] : QByteArray();
}

bool ServerRecord::addEntry(QByteArrayView path, QByteArrayView file)
{
    const QByteArray key = path.toByteArray() + '\0' + file.toByteArray();
    if (m_store->seen.contains(key))
        return false;
    m_store->seen.insert(key);
    m_store->paths.append(path.toByteArray());
    m_store->files.append(file.toByteArray());
    return true;
}

ServerTable::ServerTable()
{
    m_records.emplace_back();
}

const ServerRecord &ServerTable::operator[](int index) const
{
    return m_records.at(static_cast<std::size_t>(index));
}

ServerRecord &ServerTable::operator[](int index)
{
    return m_records.at(static_cast<std::size_t>(index));
}

int ServerTable::add(QByteArray serverURL)
{
    m_records.emplace_back(std::move(serverURL));
    return upperBound();
}
