#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <vector>

// The files found on one result server. Entries count from 1, as the result lists show them.
class ServerRecord final
{
public:
    explicit ServerRecord(QByteArray serverURL = {});

    // The link up to the first "/" behind "://": scheme, user and password, host, port.
    const QByteArray &ServerURL() const { return m_serverURL; }
    // k: the entries are 1..k.
    int entryCount() const;
    QByteArray FileNames(int j) const;
    QByteArray Paths(int j) const;

    // Adds path + file unless the record holds that pair already; true when added.
    bool addEntry(QByteArrayView path, QByteArrayView file);

private:
    struct Store;
    QByteArray m_serverURL;
    std::shared_ptr<Store> m_store;
};

// `servers`: every result server of the run, by record index. Index 0 is an empty record.
class ServerTable final
{
public:
    ServerTable();

    // The index of the last record (0 when only the empty record exists).
    int upperBound() const { return static_cast<int>(m_records.size()) - 1; }
    const ServerRecord &operator[](int index) const;
    ServerRecord &operator[](int index);
    // Appends a record and returns its index.
    int add(QByteArray serverURL);

private:
    std::vector<ServerRecord> m_records;
};
