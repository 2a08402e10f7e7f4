#pragma once

#include "platform/deferred_release.h"
#include "search/detail/host_table.h"
#include "search/detail/staged_links.h"
#include "search/server_table.h"
#include "search/server_url.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <functional>
#include <optional>

class NodeTree;
class StatusLine;
struct SearchState;

// Turns accepted links into results: groups them by host under a server node of the result tree
// and a record of `servers`, and counts them. The result tree's nodes are added only here.
class Results final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Results)

public:
    Results(SearchState &state, NodeTree &ftpList, StatusLine &status, QObject *parent = nullptr);
    ~Results() override;

    // Empties the result tree and adds the roots "FTP" and "HTTP". The records of `servers` so far
    // are released; the next one gets the next index.
    void startSearch();

    // Adds the link's file to its host's record; returns that record's index, or 0 when the link
    // is not a result (no file name, no host, a control character, or the entry is there already).
    int AddResult(QByteArrayView link, bool isHTTP);

    // AddResult in two halves, faster for many links: stage() takes a link (and makes its server
    // node if it is new), addStaged() adds the staged links to their records, sorted by record
    // (see StagedLinks; the outcome is AddResult's) and returns how many became results. Call
    // addStaged() before control goes back to the event loop; startSearch() drops staged links.
    void stage(QByteArrayView link, bool isHTTP);
    int addStaged();

    // The status line follows resultCount lazily: rewriting it per result would cost more than
    // the result itself in a big crawl. It is brought up to date here, which the extraction calls
    // at the end of every slice, before control goes back to the event loop; after a direct
    // AddResult a queued call does it, once the events already waiting have run.
    void flushStatus();

    // Told of every entry as it is added: the record (its last entry is the new one), whether it is
    // an http server, its host (its server node's text) and the link as it was found (unescaped;
    // its scheme, login and port may differ from the record's server URL). While one listens,
    // links are added one by one in the order found, so that a script reading them sees the page's
    // order; the outcome is the same.
    using EntryListener = std::function<void(int record, bool isHTTP, QByteArrayView host, QByteArrayView link)>;
    void setEntryListener(EntryListener listener) { m_entryListener = std::move(listener); }

private:
    // The link's pieces when it can be a result: a file name, a host, no control character.
    static std::optional<ResultLink> candidate(QByteArrayView link);
    int recordFor(const ResultLink &parts, bool isHTTP);
    int addServer(QByteArrayView serverURL, QByteArrayView host, quint32 hostTag, bool isHTTP);
    void counted(int added);

    SearchState &m_state;
    NodeTree &m_ftpList;
    StatusLine &m_status;
    HostTable m_hosts; // the server nodes of this search
    int m_ftpRoot = 0;
    int m_httpRoot = 0;
    bool m_statusStale = false;
    StagedLinks m_staged;
    EntryListener m_entryListener;
    DeferredRelease m_released; // the records of earlier searches
};
