#include "search/search_controller.h"

#include "catalogue/engine_catalogue.h"
#include "platform/node_tree.h"
#include "prefs/preferences.h"
#include "search/page_extraction.h"
#include "search/query_url.h"
#include "search/results.h"
#include "search/search_state.h"
#include "search/status.h"

#include <QTimer>

namespace {

const QString kQuestionMark = QStringLiteral("QuestionMark");
const QString kCheckMark = QStringLiteral("CheckMark");

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

} // namespace

// A QObject so that it can be deleted later: a time-out may be what ends the fetch.
struct SearchController::FetchTimers final : QObject
{
    QTimer silence;
    QTimer total;
};

SearchController::SearchController(Parts parts, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_limits(limits)
{
    connect(&m_sockets, &SocketArray::connected, this, &SearchController::onConnected);
    connect(&m_sockets, &SocketArray::dataArrival, this, &SearchController::onData);
    connect(&m_sockets, &SocketArray::closed, this, &SearchController::onClosedOrFailed);
    connect(&m_sockets, &SocketArray::error, this, &SearchController::onClosedOrFailed);
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

    SearchState &state = m_parts.state;
    NodeTree &engines = m_parts.enginesList;
    emit testsMustStop();
    // Pages of an earlier, stopped search must not add their links to this one.
    abortExtractions();
    state.engineActive = m_storeActiveFlags ? SaveActiveFlags(engines, m_parts.profile) : ActiveFlags(engines);
    engines.setDisplayMode(NodeTree::DisplayMode::Pictures);
    m_parts.linksList.clear();
    m_searching = true;
    emit searchingChanged(true);

    state.resultCount = 0;
    state.searchString = searchString;
    UpdateStatus(state, m_parts.status);
    const int n = engines.count();
    state.pageData = QVector<QByteArray>(n + 1);
    state.queryURLs = QVector<QByteArray>(n + 1);
    ClearEngineImages();
    state.testsHalted = false;
    state.searchStopped = false;
    m_parts.results.startSearch();
    m_dispatchCursor = 1;
    m_enginesLeft = 0;
    for (int i = 1; i <= dispatchedEngines(); ++i)
        m_enginesLeft += state.engineActive[i];
    DispatchEngines();
}

void SearchController::StopSearch()
{
    // Stopping twice must not end the search twice (and start the tests twice).
    if (!m_searching)
        return;
    SearchState &state = m_parts.state;
    state.searchStopped = true;
    const NodeTree &engines = m_parts.enginesList;
    for (int i = 1; i <= engines.count(); ++i) {
        if (engines.picture(i) == kQuestionMark)
            CloseSock(i);
    }
    state.activeSearchSockets = 0;
    UpdateStatus(state, m_parts.status);
    SearchFinished();
}

void SearchController::DispatchEngines()
{
    // A page that completes after the search ended (stopped) starts nothing and ends nothing.
    if (!m_searching)
        return;
    SearchState &state = m_parts.state;
    NodeTree &engines = m_parts.enginesList;
    const int n = dispatchedEngines();
    // Every engine before the cursor has been started or takes no part: each engine is looked at
    // once per search, not once per finished page.
    for (; m_dispatchCursor <= n; ++m_dispatchCursor) {
        const int i = m_dispatchCursor;
        if (!engines.picture(i).isEmpty() || !state.engineActive[i])
            continue;
        // The limit is read at every start, so a changed maxSearch applies at once.
        if (state.activeSearchSockets >= m_parts.preferences.maxSearch)
            break;
        engines.setPicture(i, kQuestionMark);
        m_sockets.create(i);
        ++state.activeSearchSockets;
        UpdateStatus(state, m_parts.status);
        state.queryURLs[i] = BuildQueryURL(engines.key(i).toLatin1(), state.searchString);
        ConnectSock(i);
    }
    // Every active engine shows "CheckMark".
    if (m_enginesLeft == 0)
        SearchFinished();
}

int SearchController::dispatchedEngines() const
{
    return std::min<int>(m_parts.enginesList.count(), static_cast<int>(m_parts.state.engineActive.size()) - 1);
}

void SearchController::SearchFinished()
{
    NodeTree &engines = m_parts.enginesList;
    engines.setDisplayMode(NodeTree::DisplayMode::CheckBoxes);
    RestoreEngineChecks();
    m_searching = false;
    emit searchingChanged(false);
    emit searchEnded();
}

void SearchController::ClearEngineImages()
{
    NodeTree &engines = m_parts.enginesList;
    for (int i = 1; i <= engines.count(); ++i)
        engines.setPicture(i, QString());
}

void SearchController::RestoreEngineChecks()
{
    NodeTree &engines = m_parts.enginesList;
    const QVector<bool> &active = m_parts.state.engineActive;
    for (int i = 1; i <= engines.count() && i < active.size(); ++i)
        engines.setChecked(i, active[i]);
}

void SearchController::ConnectSock(int i)
{
    const Preferences &prefs = m_parts.preferences;
    startTimers(i);
    if (prefs.useProxy) {
        m_sockets.connectTo(i, prefs.proxyAddress, prefs.proxyPort);
        return;
    }
    const FetchTarget target = fetchTarget(m_parts.state.queryURLs[i]);
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
    m_sockets.send(i, pageRequest(m_parts.state.queryURLs[i], m_parts.preferences.useProxy));
}

void SearchController::onData(int i)
{
    QByteArray &page = m_parts.state.pageData[i];
    const bool first = page.isEmpty();
    m_sockets.appendAllTo(i, page);
    if (first) {
        const qsizetype expected = expectedResponseSize(page, m_limits.pageCap);
        if (expected > page.size())
            page.reserve(expected);
    }
    if (page.size() >= m_limits.pageCap) {
        page.truncate(m_limits.pageCap);
        FinishPage(i);
        return;
    }
    if (FetchTimers *timers = m_timers.value(i))
        timers->silence.start();
}

void SearchController::onClosedOrFailed(int i)
{
    // Whatever is still buffered belongs to the page.
    m_sockets.appendAllTo(i, m_parts.state.pageData[i]);
    if (m_parts.state.pageData[i].size() > m_limits.pageCap)
        m_parts.state.pageData[i].truncate(m_limits.pageCap);
    FinishPage(i);
}

void SearchController::startTimers(int i)
{
    delete m_timers.take(i);
    auto *timers = new FetchTimers;
    m_timers.insert(i, timers);
    for (QTimer *timer : {&timers->silence, &timers->total}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, i] { FinishPage(i); });
    }
    timers->silence.start(m_limits.pageSilence);
    timers->total.start(m_limits.pageTotal);
}

void SearchController::FinishPage(int i)
{
    if (!m_sockets.exists(i))
        return;
    SearchState &state = m_parts.state;
    CloseSock(i);
    --state.activeSearchSockets;
    UpdateStatus(state, m_parts.status);

    auto *extraction = new PageExtraction(state, m_parts.results, this);
    m_extractions.insert(i, extraction);
    connect(extraction, &PageExtraction::finished, this, [this, i, extraction] {
        m_extractions.remove(i);
        extraction->deleteLater();
        // Nothing reads a page once its links are out; a big crawl should not keep them all.
        m_parts.state.pageData[i] = QByteArray();
        m_parts.enginesList.setPicture(i, kCheckMark);
        --m_enginesLeft;
        emit engineDone(i);
        DispatchEngines();
    });
    extraction->start(state.pageData[i], 3);
}

void SearchController::abortExtractions()
{
    // Deleting a job cancels its next slice; never called from inside a job's own signal.
    qDeleteAll(m_extractions);
    m_extractions.clear();
}
