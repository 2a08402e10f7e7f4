#pragma once

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

#include <limits>
#include <vector>

// How a verify of a result server ended.
enum class VerifyOutcome : quint8 {
    None,         // not verified
    Alive,        // logged in
    Dead,         // no connection, or no greeting
    LoginRefused, // greeted, but the login was refused
};

// "alive", "dead", "login refused"; empty for None.
QByteArray verifyOutcomeText(VerifyOutcome outcome);

// What a server said of one of its files.
struct FileFact
{
    static constexpr qint64 kUnknown = -1;
    static constexpr qint64 kMissing = -2; // the server says the file is not there
    static constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

    qint64 size = kUnknown; // bytes, or kUnknown, or kMissing
    qint64 modified = kNoDate; // seconds since 1970-01-01 UTC

    bool missing() const { return size == kMissing; }
    bool hasSize() const { return size >= 0; }
    bool hasDate() const { return modified != kNoDate; }
    friend bool operator==(const FileFact &, const FileFact &) = default;
};

// "YYYY-MM-DDTHH:MM:SSZ" of a FileFact's date; empty without one.
QByteArray isoDate(qint64 modified);

// What verifies learned of the result servers, by record of the search's ServerTable, and of
// their files, by entry. Only verified servers take room; a new search forgets it all.
class FileFacts final
{
public:
    VerifyOutcome outcome(int record) const;
    void setOutcome(int record, VerifyOutcome outcome);
    // Entry `entry` (from 1) of record `record`; unknown when nothing was learned.
    FileFact file(int record, int entry) const;
    void setFile(int record, int entry, FileFact fact);
    // Whether anything was learned of the record's files.
    bool hasFiles(int record) const;
    void clear() { m_servers.clear(); }

private:
    struct Server
    {
        VerifyOutcome outcome = VerifyOutcome::None;
        std::vector<FileFact> files; // entry j at j - 1
    };
    QHash<int, Server> m_servers;
};
