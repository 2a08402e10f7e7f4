#include "search/search_controller.h"

#include "catalogue/engine_catalogue.h"
#include "platform/node_tree.h"
#include "prefs/preferences.h"
#include "search/detail/logging.h"
#include "search/detail/page_extraction.h"
#include "search/detail/query_url.h"
#include "search/detail/status.h"
#include "search/marks.h"
#include "search/results.h"
#include "search/search_state.h"

#include <QTimer>

namespace {

// The whole response's size when its header is complete and names a Content-Length, capped: a
// hint to size the page once instead of growing it piece by piece. -1 otherwise. Completion
// still means the peer closing; a header that lies only costs memory up to the cap.
qsizetype expectedResponseSize(QByteArrayView head, qsizetype cap)
{
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0)
        return -1;
    const QByteArray header = head.first(end).toByteArray().toLower();
    const qsizetype at = header.indexOf("\ncontent-length:");
    if (at < 0)
        return -1;
    qsizetype p = at + qsizetype(sizeof "\ncontent-length:") - 1;
    while (p < header.size() && header[p] == ' ')
        ++p;
    qsizetype length = 0;
    for (; p < header.size() && header[p] >= '0' && header[p] <= '9'; ++p) {
        length = length * 10 + (header[p] - '0');
        if (length > cap)
            return cap;
    }
    return std::min(cap, end + 4 + length);
}

// How a fetch ended, for the log.
QString describe(EngineOutcome::End end, const TimeLimits &limits)
{
    switch (end) {
    case EngineOutcome::End::Closed:
        return QStringLiteral("closed by the server");
    case EngineOutcome::End::Failed:
        return QStringLiteral("failed: ");
    case EngineOutcome::End::Silent:
        return QStringLiteral("silent for %1 ms").arg(limits.pageSilence.count());
    case EngineOutcome::End::TimedOut:
        return QStringLiteral("still arriving after %1 ms").arg(limits.pageTotal.count());
    case EngineOutcome::End::TooLarge:
        return QStringLiteral("cut at %1 bytes").arg(limits.pageCap);
    }
    return {};
}

} // namespace

// A QObject so that it can be deleted later: a time-out may be what ends the fetch.
struct SearchController::FetchTimers final : QObject
{
    QTimer silence;
    QTimer total;
};

SearchController::SearchController(Services services, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_limits(limits)
{
    UpdateStatus(m_services.state, m_services.status);
    connect(&m_sockets, &SocketArray::connected, this, &SearchController::onConnected);
    connect(&m_sockets, &SocketArray::dataArrival, this, &SearchController::onData);
    connect(&m_sockets, &SocketArray::closed, this, [this](int i) { endFetch(i, EngineOutcome::End::Closed); });
    connect(&m_sockets, &SocketArray::error, this,
            [this](int i, const SocketFailure &failure) { endFetch(i, EngineOutcome::End::Failed, failure.text); });
}

SearchController::~SearchController()
{
    abortExtractions();
    qDeleteAll(m_timers);
}

void SearchController::SearchBtnClick(const QString &searchText)
{
    if (m_searching) {
        StopSearch();
        return;
    }
    const QByteArray searchString = EncodeSearchText(searchText);
    if (searchString.isEmpty())
        return;

    SearchState &state = m_services.state;
    NodeTree &engines = m_services.enginesList;
    emit testsMustStop();
    // Pages of an earlier, stopped search must not add their links to this one.
    abortExtractions();
    state.engineActive = m_storeActiveFlags ? SaveActiveFlags(engines, m_services.profile) : ActiveFlags(engines);
    engines.setDisplayMode(NodeTree::DisplayMode::Pictures);
    m_services.linksList.clear();
    m_searching = true;
    emit searchingChanged(true);

    state.resultCount = 0;
    state.searchString = searchString;
    UpdateStatus(state, m_services.status);
    const int n = engines.count();
    state.pageData = QVector<QByteArray>(n + 1);
    state.queryURLs = QVector<QByteArray>(n + 1);
    ClearEngineImages();
    state.searchStopped = false;
    m_services.results.startSearch();
    m_dispatchCursor = 1;
    m_enginesLeft = 0;
    for (int i = 1; i <= dispatchedEngines(); ++i)
        m_enginesLeft += state.engineActive[i];
    qCInfo(lcSearch).noquote() << "search for" << searchString << "over" << m_enginesLeft << "engines, at most"
                               << m_services.preferences.maxSearch << "at once";
    DispatchEngines();
}

void SearchController::StopSearch()
{
    // Stopping twice must not end the search twice (and start the tests twice).
    if (!m_searching)
        return;
    SearchState &state = m_services.state;
    state.searchStopped = true;
    const NodeTree &engines = m_services.enginesList;
    for (int i = 1; i <= engines.count(); ++i) {
        if (engineMark(engines, i) == EngineMark::Asking)
            CloseSock(i);
    }
    state.activeSearchSockets = 0;
    UpdateStatus(state, m_services.status);
    SearchFinished();
}

void SearchController::DispatchEngines()
{
    // A page that completes after the search ended (stopped) starts nothing and ends nothing.
    if (!m_searching)
        return;
    SearchState &state = m_services.state;
    NodeTree &engines = m_services.enginesList;
    const int n = dispatchedEngines();
    // Every engine before the cursor has been started or takes no part: each engine is looked at
    // once per search, not once per finished page.
    for (; m_dispatchCursor <= n; ++m_dispatchCursor) {
        const int i = m_dispatchCursor;
        if (engineMark(engines, i) != EngineMark::Waiting || !state.engineActive[i])
            continue;
        // The limit is read at every start, so a changed maxSearch applies at once.
        if (state.activeSearchSockets >= m_services.preferences.maxSearch)
            break;
        setMark(engines, i, EngineMark::Asking);
        m_sockets.create(i);
        ++state.activeSearchSockets;
        UpdateStatus(state, m_services.status);
        state.queryURLs[i] = BuildQueryURL(engines.key(i).toLatin1(), state.searchString);
        ConnectSock(i);
    }
    // Every active engine is Done.
    if (m_enginesLeft == 0)
        SearchFinished();
}

int SearchController::dispatchedEngines() const
{
    return std::min<int>(m_services.enginesList.count(), static_cast<int>(m_services.state.engineActive.size()) - 1);
}

void SearchController::SearchFinished()
{
    NodeTree &engines = m_services.enginesList;
    engines.setDisplayMode(NodeTree::DisplayMode::CheckBoxes);
    RestoreEngineChecks();
    qCInfo(lcSearch) << "search" << (m_services.state.searchStopped ? "stopped" : "done") << "with"
                     << m_services.state.resultCount << "results";
    m_searching = false;
    emit searchingChanged(false);
    emit searchEnded();
}

void SearchController::ClearEngineImages()
{
    NodeTree &engines = m_services.enginesList;
    for (int i = 1; i <= engines.count(); ++i)
        setMark(engines, i, EngineMark::Waiting);
}

void SearchController::RestoreEngineChecks()
{
    NodeTree &engines = m_services.enginesList;
    const QVector<bool> &active = m_services.state.engineActive;
    for (int i = 1; i <= engines.count() && i < active.size(); ++i)
        engines.setChecked(i, active[i]);
}

void SearchController::ConnectSock(int i)
{
    const Preferences &prefs = m_services.preferences;
    startTimers(i);
    if (prefs.useProxy) {
        qCDebug(lcSearch).noquote() << "engine" << i << "asks for" << m_services.state.queryURLs[i] << "through the proxy"
                                    << prefs.proxyAddress << prefs.proxyPort;
        m_sockets.connectTo(i, prefs.proxyAddress, prefs.proxyPort);
        return;
    }
    const FetchTarget target = fetchTarget(m_services.state.queryURLs[i]);
    qCDebug(lcSearch).noquote() << "engine" << i << "asks for" << m_services.state.queryURLs[i];
    m_sockets.connectTo(i, QString::fromLatin1(target.host), target.port);
}

void SearchController::CloseSock(int i)
{
    if (FetchTimers *timers = m_timers.take(i)) {
        timers->silence.stop();
        timers->total.stop();
        timers->deleteLater();
    }
    m_sockets.close(i);
    m_sockets.destroy(i);
}

void SearchController::onConnected(int i)
{
    m_sockets.send(i, pageRequest(m_services.state.queryURLs[i], m_services.preferences.useProxy));
}

void SearchController::onData(int i)
{
    QByteArray &page = m_services.state.pageData[i];
    const bool first = page.isEmpty();
    m_sockets.appendAllTo(i, page);
    if (first) {
        const qsizetype expected = expectedResponseSize(page, m_limits.pageCap);
        if (expected > page.size())
            page.reserve(expected);
    }
    if (page.size() >= m_limits.pageCap) {
        page.truncate(m_limits.pageCap);
        endFetch(i, EngineOutcome::End::TooLarge);
        return;
    }
    if (FetchTimers *timers = m_timers.value(i))
        timers->silence.start();
}

void SearchController::endFetch(int i, EngineOutcome::End end, const QString &reason)
{
    // Only the first end of a fetch counts: a close may follow a time-out that ended it already.
    if (!m_sockets.exists(i))
        return;
    QByteArray &page = m_services.state.pageData[i];
    if (end == EngineOutcome::End::Closed || end == EngineOutcome::End::Failed) {
        // Whatever is still buffered belongs to the page.
        m_sockets.appendAllTo(i, page);
        page.truncate(m_limits.pageCap); // nothing happens to a page within the cap
    }
    m_outcomes.insert(i, EngineOutcome{i, end, reason, page.size()});
    qCInfo(lcSearch).noquote().nospace() << "engine " << i << " (" << m_services.enginesList.text(i)
                                         << ") ended: " << describe(end, m_limits) << reason << ", " << page.size()
                                         << " bytes";
    FinishPage(i);
}

void SearchController::startTimers(int i)
{
    delete m_timers.take(i);
    auto *timers = new FetchTimers;
    m_timers.insert(i, timers);
    const auto ends = [this, i](EngineOutcome::End end) { return [this, i, end] { endFetch(i, end); }; };
    timers->silence.setSingleShot(true);
    timers->total.setSingleShot(true);
    connect(&timers->silence, &QTimer::timeout, this, ends(EngineOutcome::End::Silent));
    connect(&timers->total, &QTimer::timeout, this, ends(EngineOutcome::End::TimedOut));
    timers->silence.start(m_limits.pageSilence);
    timers->total.start(m_limits.pageTotal);
}

// Reached once per fetch, from endFetch(), which has noted the outcome.
void SearchController::FinishPage(int i)
{
    SearchState &state = m_services.state;
    CloseSock(i);
    --state.activeSearchSockets;
    UpdateStatus(state, m_services.status);

    auto *extraction = new PageExtraction(state, m_services.results, this);
    m_extractions.insert(i, extraction);
    connect(extraction, &PageExtraction::finished, this, [this, i, extraction] {
        m_extractions.remove(i);
        extraction->deleteLater();
        // Nothing reads a page once its links are out; a big crawl should not keep them all.
        m_services.state.pageData[i] = QByteArray();
        setMark(m_services.enginesList, i, EngineMark::Done);
        --m_enginesLeft;
        emit engineFinished(m_outcomes.take(i));
        DispatchEngines();
    });
    extraction->start(state.pageData[i], ParseMode::All);
}

void SearchController::abortExtractions()
{
    // Deleting a job cancels its next slice; never called from inside a job's own signal.
    qDeleteAll(m_extractions);
    m_extractions.clear();
    m_outcomes.clear();
}
