#include "search/search_controller.h"

#include "catalogue/engine_catalogue.h"
#include "platform/byte_text.h"
#include "platform/http_decoding.h"
#include "platform/node_tree.h"
#include "prefs/preferences.h"
#include "search/detail/http_response.h"
#include "search/detail/logging.h"
#include "search/detail/page_extraction.h"
#include "search/detail/query_url.h"
#include "search/detail/status.h"
#include "search/marks.h"
#include "search/results.h"
#include "search/search_state.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

// A proxy's answer to CONNECT is a header of a few lines; more without its end is no answer.
constexpr qsizetype kMostTunnelAnswer = 16 * 1024;
// Redirects followed per engine; a loop ends there.
constexpr int kMostRedirects = 5;

const QString kTunnelRefused = QStringLiteral("tunnel refused by proxy: ");
const QString kProxySilent = kTunnelRefused + QStringLiteral("no answer");
const QString kNoAnswer = QStringLiteral("closed without an answer");
const QString kTimedOut = QStringLiteral("timed out");
const QString kHandshakeFailed = QStringLiteral("TLS handshake failed");

// A server's text as shown to the user, read as Latin-1: control bytes (a terminal's escapes,
// also those of 0x80 to 0x9f) become "?".
QByteArray printable(QByteArrayView text)
{
    QByteArray shown = text.first(std::min<qsizetype>(text.size(), 200)).toByteArray();
    for (char &c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControlByte(c) || (byte >= 0x80 && byte < 0xa0))
            c = '?';
    }
    return shown;
}

QString describe(const SocketFailure &failure)
{
    using Kind = SocketFailure::Kind;
    switch (failure.kind) {
    case Kind::Refused:
        return QStringLiteral("connection refused");
    case Kind::HostNotFound:
        return QStringLiteral("host not found");
    case Kind::TimedOut:
        return kTimedOut;
    case Kind::Certificate:
        return QStringLiteral("certificate not trusted: ") + failure.text;
    case Kind::Handshake:
        return kHandshakeFailed;
    case Kind::InvalidAddress:
    case Kind::Network:
    case Kind::Other:
        break;
    }
    return failure.text;
}

QString describeCap(qsizetype cap)
{
    constexpr qsizetype kMiB = 1024 * 1024;
    return cap % kMiB == 0 ? QStringLiteral("page cut at %1 MiB").arg(cap / kMiB)
                           : QStringLiteral("page cut at %1 bytes").arg(cap);
}

} // namespace

// A QObject so that it can be deleted later: a time-out may be what ends the fetch.
struct SearchController::Fetch final : QObject
{
    enum class Stage {
        Connecting,
        Tunnel,    // CONNECT sent to the proxy, its answer awaited
        Handshake, // TLS being set up
        Page,      // the request sent, the page arriving
    };
    QByteArray url; // the query URL, or where a redirect sent it
    FetchTarget target;
    bool viaProxy = false; // read when the connection was opened
    Stage stage = Stage::Connecting;
    int redirects = 0;
    QElapsedTimer clock;
    QTimer silence;
    QTimer total;
};

SearchController::SearchController(Services services, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_limits(limits)
    , m_slices(std::make_unique<SliceQueue>())
{
    UpdateStatus(m_services.state, m_services.status);
    connect(&m_sockets, &SocketArray::connected, this, &SearchController::onConnected);
    connect(&m_sockets, &SocketArray::encrypted, this, &SearchController::onEncrypted);
    connect(&m_sockets, &SocketArray::dataArrival, this, &SearchController::onData);
    connect(&m_sockets, &SocketArray::closed, this, [this](int i) { endFetch(i, EngineOutcome::End::Closed); });
    connect(&m_sockets, &SocketArray::error, this,
            [this](int i, const SocketFailure &failure) { endFetch(i, EngineOutcome::End::Failed, describe(failure)); });
}

SearchController::~SearchController()
{
    abortExtractions();
    qDeleteAll(m_fetches);
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
    // Only the engines of the last search tell how they went.
    for (int i = 1; i <= n; ++i)
        engines.setToolTip(i, {});
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
        if (engineMark(engines, i) != EngineMark::Asking)
            continue;
        // A page being extracted still tells its outcome when the extraction ends.
        if (m_fetches.contains(i))
            m_services.enginesList.setToolTip(i, QStringLiteral("stopped"));
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
        // The limit is read at every start, so a changed maxSearch applies at once. Pages fetched
        // and not yet extracted count too: fast peers would otherwise pile every page of the
        // search up in memory while the first ones are extracted.
        if (state.activeSearchSockets + static_cast<int>(m_extractions.size()) >= m_services.preferences.maxSearch)
            break;
        setMark(engines, i, EngineMark::Asking);
        ++state.activeSearchSockets;
        UpdateStatus(state, m_services.status);
        state.queryURLs[i] = BuildQueryURL(engines.key(i).toLatin1(), state.searchString);
        startFetch(i);
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

void SearchController::startFetch(int i)
{
    delete m_fetches.take(i);
    auto *fetch = new Fetch;
    m_fetches.insert(i, fetch);
    fetch->url = m_services.state.queryURLs[i];
    fetch->clock.start();
    const auto ends = [this, i](EngineOutcome::End end) {
        return [this, i, end] { endFetch(i, end, kTimedOut); };
    };
    fetch->silence.setSingleShot(true);
    fetch->total.setSingleShot(true);
    fetch->silence.setInterval(m_limits.pageSilence);
    connect(&fetch->silence, &QTimer::timeout, this, ends(EngineOutcome::End::Silent));
    connect(&fetch->total, &QTimer::timeout, this, ends(EngineOutcome::End::TimedOut));
    // The total limit spans every redirect of the engine; the silence limit starts with each connection.
    fetch->total.start(m_limits.pageTotal);
    ConnectSock(i);
}

// Opens engine i's connection for the fetch's current address, replacing any it had.
void SearchController::ConnectSock(int i)
{
    Fetch &fetch = *m_fetches.value(i);
    const Preferences &prefs = m_services.preferences;
    fetch.target = fetchTarget(fetch.url);
    fetch.viaProxy = prefs.useProxy;
    fetch.stage = Fetch::Stage::Connecting;
    fetch.silence.start();
    m_sockets.create(i, fetch.target.tls ? SocketArray::Channel::Tls : SocketArray::Channel::Plain);
    if (fetch.viaProxy) {
        // The proxy form takes any address as it stands, as it always has; only https needs a tunnel.
        qCDebug(lcSearch).noquote() << "engine" << i << "asks for" << fetch.url << "through the proxy"
                                    << prefs.proxyAddress << prefs.proxyPort;
        if (fetch.target.tls && fetch.target.port == 0)
            m_sockets.fail(i, {SocketFailure::Kind::InvalidAddress, QStringLiteral("no usable port in the address")});
        else
            m_sockets.connectTo(i, prefs.proxyAddress, prefs.proxyPort);
        return;
    }
    qCDebug(lcSearch).noquote() << "engine" << i << "asks for" << fetch.url;
    if (!fetch.target.knownScheme)
        m_sockets.fail(i, {SocketFailure::Kind::InvalidAddress, QStringLiteral("not an http or https address")});
    else
        m_sockets.connectTo(i, QString::fromLatin1(fetch.target.host), fetch.target.port);
}

void SearchController::CloseSock(int i)
{
    if (Fetch *fetch = m_fetches.take(i)) {
        fetch->silence.stop();
        fetch->total.stop();
        fetch->deleteLater();
    }
    m_sockets.close(i);
    m_sockets.destroy(i);
}

void SearchController::onConnected(int i)
{
    Fetch *fetch = m_fetches.value(i);
    if (!fetch)
        return;
    fetch->silence.start(); // each step gets the whole silence limit
    if (!fetch->target.tls) {
        fetch->stage = Fetch::Stage::Page;
        m_sockets.send(i, pageRequest(fetch->url, fetch->viaProxy));
    } else if (fetch->viaProxy) {
        fetch->stage = Fetch::Stage::Tunnel;
        m_sockets.send(i, tunnelRequest(fetch->target));
    } else {
        fetch->stage = Fetch::Stage::Handshake;
        m_sockets.startEncryption(i, QString::fromLatin1(fetch->target.host));
    }
}

void SearchController::onEncrypted(int i)
{
    Fetch *fetch = m_fetches.value(i);
    if (!fetch)
        return;
    fetch->stage = Fetch::Stage::Page;
    fetch->silence.start();
    // Inside TLS the request is the direct one, whether or not a proxy carries the tunnel.
    m_sockets.send(i, pageRequest(fetch->url, false));
}

void SearchController::onData(int i)
{
    Fetch *fetch = m_fetches.value(i);
    if (!fetch)
        return;
    if (fetch->stage == Fetch::Stage::Tunnel) {
        readTunnelAnswer(i);
        return;
    }
    QByteArray &page = m_services.state.pageData[i];
    const bool first = page.isEmpty();
    m_sockets.appendAllTo(i, page, m_limits.pageCap);
    if (first) {
        const qsizetype expected = expectedResponseSize(page, m_limits.pageCap);
        if (expected > page.size())
            page.reserve(expected);
    }
    if (page.size() >= m_limits.pageCap) {
        endFetch(i, EngineOutcome::End::TooLarge, describeCap(m_limits.pageCap));
        return;
    }
    fetch->silence.start();
}

void SearchController::readTunnelAnswer(int i)
{
    Fetch &fetch = *m_fetches.value(i);
    QByteArray &answer = m_services.state.pageData[i];
    m_sockets.appendAllTo(i, answer);
    if (headerEnd(answer) < 0) {
        if (answer.size() > kMostTunnelAnswer)
            endFetch(i, EngineOutcome::End::Failed, kProxySilent);
        else
            fetch.silence.start();
        return;
    }
    const QByteArrayView status = statusLine(answer);
    if (statusCode(status) / 100 != 2) {
        const QByteArray shown = status.isEmpty() ? QByteArray("no status line") : printable(status);
        endFetch(i, EngineOutcome::End::Failed, kTunnelRefused + QString::fromLatin1(shown));
        return;
    }
    // A proxy sends nothing behind its answer before the client speaks TLS.
    answer.clear();
    fetch.stage = Fetch::Stage::Handshake;
    fetch.silence.start();
    m_sockets.startEncryption(i, QString::fromLatin1(fetch.target.host));
}

void SearchController::endFetch(int i, EngineOutcome::End end, const QString &failure)
{
    // Only the first end of a connection counts: a close may follow a time-out that ended it already.
    Fetch *fetch = m_fetches.value(i);
    if (!fetch)
        return;
    QByteArray &page = m_services.state.pageData[i];
    QString why = failure;
    if (fetch->stage != Fetch::Stage::Page) {
        // Nothing of the page came: a tunnel's answer or a handshake is no page.
        page.clear();
        if (why.isEmpty()) {
            why = fetch->stage == Fetch::Stage::Tunnel      ? kProxySilent
                  : fetch->stage == Fetch::Stage::Handshake ? kHandshakeFailed
                                                            : kNoAnswer;
        }
    } else if (end == EngineOutcome::End::Closed || end == EngineOutcome::End::Failed) {
        // Whatever is still buffered belongs to the page.
        m_sockets.appendAllTo(i, page, m_limits.pageCap);
    } else if (end == EngineOutcome::End::Silent && expectedResponseSize(page, m_limits.pageCap) == page.size()) {
        why.clear(); // a server that keeps the connection open after the whole page
    }
    if (fetch->stage == Fetch::Stage::Page && followRedirect(i, end, why))
        return;
    if (why.isEmpty() && end == EngineOutcome::End::Closed && page.isEmpty())
        why = kNoAnswer;
    const qsizetype received = page.size();
    if (std::optional<QByteArray> decoded = decodedResponse(page, m_limits.pageCap))
        page = std::move(*decoded);

    m_outcomes.insert(i, {.engine = i,
                          .name = m_services.enginesList.text(i),
                          .end = end,
                          .failure = why,
                          .statusLine = printable(statusLine(page)),
                          .lastAddress = fetch->redirects > 0 ? fetch->url : QByteArray(),
                          .pageBytes = received,
                          .milliseconds = fetch->clock.elapsed()});
    FinishPage(i);
}

bool SearchController::followRedirect(int i, EngineOutcome::End end, QString &failure)
{
    Fetch &fetch = *m_fetches.value(i);
    QByteArray &page = m_services.state.pageData[i];
    // Once the engine's time is up, what came is all there is.
    QByteArray next = end == EngineOutcome::End::TimedOut ? QByteArray() : redirectTarget(page, fetch.url);
    if (next.isEmpty())
        return false;
    page.clear();
    if (fetch.redirects == kMostRedirects) {
        failure = QStringLiteral("too many redirects");
        return false;
    }
    qCDebug(lcSearch).noquote() << "engine" << i << "is sent on to" << next;
    ++fetch.redirects;
    fetch.url = std::move(next);
    ConnectSock(i);
    return true;
}

// Reached once per fetch, from endFetch(), which has noted the outcome.
void SearchController::FinishPage(int i)
{
    SearchState &state = m_services.state;
    CloseSock(i);
    --state.activeSearchSockets;
    UpdateStatus(state, m_services.status);

    auto *extraction = new PageExtraction(state, m_services.results, m_slices.get(), this);
    m_extractions.insert(i, extraction);
    connect(extraction, &PageExtraction::finished, this, [this, i, extraction] {
        m_extractions.remove(i);
        extraction->deleteLater();
        // Nothing reads a page once its links are out; a big crawl should not keep them all.
        m_services.state.pageData[i] = QByteArray();
        setMark(m_services.enginesList, i, EngineMark::Done);
        --m_enginesLeft;
        EngineOutcome outcome = m_outcomes.take(i);
        outcome.links = extraction->linksFound();
        outcome.results = extraction->resultsAdded();
        m_services.enginesList.setToolTip(i, outcomeToolTip(outcome));
        emit engineFinished(outcome);
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
