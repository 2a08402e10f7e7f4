#include "search/results.h"

#include "platform/node_tree.h"
#include "search/detail/link_rules.h"
#include "search/detail/status.h"
#include "search/marks.h"
#include "search/search_state.h"
#include "search/server_url.h"

#include <limits>

Results::Results(SearchState &state, NodeTree &ftpList, StatusLine &status, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_ftpList(ftpList)
    , m_status(status)
{
}

Results::~Results() = default;

void Results::startSearch()
{
    m_staged.clear();
    m_ftpList.clear();
    m_hosts.clear();
    // Nothing shows an earlier search's files once its tree is gone; their numbers stay taken.
    m_released.release(m_state.servers.retire(), 1);
    m_state.facts.clear();
    const Picture root = pictureOf(ServerMark::Root);
    m_ftpRoot = m_ftpList.add(QStringLiteral("FTP"), QStringLiteral("FTP"), 0, root);
    m_ftpList.setExpanded(m_ftpRoot, true);
    m_httpRoot = m_ftpList.add(QStringLiteral("HTTP"), QStringLiteral("HTTP"), 0, root);
    m_ftpList.setExpanded(m_httpRoot, true);
}

int Results::recordFor(const ResultLink &parts, bool isHTTP)
{
    // Hosts are matched among this search's server nodes only, never against the roots' texts, so
    // a host called "FTP" or "HTTP" gets a server node of its own.
    const quint32 hostTag = HostTable::tagOf(parts.host);
    const int record = m_hosts.find(parts.host, hostTag);
    return record != 0 ? record : addServer(parts.pieces.server, parts.host, hostTag, isHTTP);
}

void Results::counted(int added)
{
    if (added == 0)
        return;
    m_state.resultCount += added;
    if (!m_statusStale) {
        m_statusStale = true;
        QMetaObject::invokeMethod(this, &Results::flushStatus, Qt::QueuedConnection);
    }
}

std::optional<ResultLink> Results::candidate(QByteArrayView link)
{
    if (HasControlCharacter(link) || link.size() > std::numeric_limits<qint32>::max())
        return std::nullopt;
    ResultLink parts = SplitResultLink(link);
    if (parts.pieces.file.isEmpty() || parts.host.isEmpty())
        return std::nullopt;
    return parts;
}

int Results::AddResult(QByteArrayView link, bool isHTTP)
{
    const std::optional<ResultLink> candidateParts = candidate(link);
    if (!candidateParts)
        return 0;
    const ResultLink &parts = *candidateParts;
    // Staged links go first: a record takes its entries in the links' order.
    addStaged();
    const int record = recordFor(parts, isHTTP);
    if (record == 0 || !m_state.servers[record].addEntry(parts.pieces.path, parts.pieces.file))
        return 0;
    counted(1);
    // The host table matches hosts byte for byte, so this host is its server node's text.
    if (m_entryListener)
        m_entryListener(record, isHTTP, parts.host, link);
    return record;
}

void Results::stage(QByteArrayView link, bool isHTTP)
{
    if (m_entryListener) {
        AddResult(link, isHTTP);
        return;
    }
    const std::optional<ResultLink> parts = candidate(link);
    if (!parts)
        return;
    const SplitLink &pieces = parts->pieces;
    const int record = recordFor(*parts, isHTTP);
    if (record != 0)
        m_staged.add(record, pieces.path, pieces.file, ServerRecord::entryTag(pieces.path, pieces.file));
}

int Results::addStaged()
{
    ServerTable &servers = m_state.servers;
    const int added = m_staged.drain(
        [&servers](int record, QByteArrayView path, QByteArrayView file, quint32 tag) {
            return servers[record].addTagged(path, file, tag);
        },
        [&servers](int record, quint32 tag) { servers[record].prefetch(tag); });
    counted(added);
    return added;
}

int Results::addServer(QByteArrayView serverURL, QByteArrayView host, quint32 hostTag, bool isHTTP)
{
    const int parent = isHTTP ? m_httpRoot : m_ftpRoot;
    if (m_ftpList.key(parent) != (isHTTP ? QLatin1String("HTTP") : QLatin1String("FTP")))
        return 0;
    // Fails only for a link without "://" whose server URL is a root's key.
    const int node = m_ftpList.add(QString::fromLatin1(serverURL), QString::fromLatin1(host), parent,
                                   pictureOf(isHTTP ? ServerMark::Http : ServerMark::Untested));
    if (node == 0)
        return 0;
    const int record = m_state.servers.add(serverURL.toByteArray());
    m_ftpList.setTag(node, record);
    m_hosts.insert(host, hostTag, record);
    return record;
}

void Results::flushStatus()
{
    if (!m_statusStale)
        return;
    m_statusStale = false;
    UpdateStatus(m_state, m_status);
}
