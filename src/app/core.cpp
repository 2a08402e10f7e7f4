#include "app/core.h"

#include "catalogue/engine_catalogue.h"
#include "platform/deferred_release.h"
#include "platform/endpoint.h"

#include <QMetaMethod>

namespace {

// A verify logs in where and as a hand-off would.
VerifyLogin verifyLogin(QByteArrayView serverURL)
{
    const SearchInfo login = LoginDetails(serverURL);
    return {login.address.toLatin1(), portNumber(login.port.toLatin1()).value_or(0), login.user.toLatin1(), login.password.toLatin1()};
}

} // namespace

Core::Core(const QString &programFolder, Services services, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_profile(programFolder)
    , m_status(statusPanelKeys())
    , m_results(m_state, m_ftpList, m_status)
    , m_search({m_state, m_preferences, m_enginesList, m_linksList, m_status, m_profile, m_results}, limits)
    , m_tester(m_ftpList, m_preferences, m_status, limits)
    , m_verifier(m_ftpList, m_state, m_preferences, m_status, verifyLogin, limits)
    , m_update({m_profile, m_preferences, services.shell, m_enginesList}, limits)
    , m_preferenceStore(services.preferenceStore)
    , m_shell(services.shell)
    , m_launcher(services.launcher)
{
    // Sizes line up on their last digit; dates, all of one width, keep a space from them.
    m_linksList.setExtraColumns({{QStringLiteral("Size"), Qt::AlignRight | Qt::AlignVCenter}, {QStringLiteral("Date"), Qt::AlignCenter}});
    connect(&m_search, &SearchController::searchingChanged, this, &Core::searchingChanged);
    connect(&m_tester, &ServerTester::testingEnabledChanged, this, &Core::testingEnabledChanged);
    connect(&m_search, &SearchController::engineFinished, this, [this](const EngineOutcome &outcome) {
        ++m_enginesDone;
        emit engineFinished(outcome);
    });
    // Connected before the tests resume, so that the summary comes before any test's mark.
    connect(&m_search, &SearchController::searchEnded, this, [this] {
        reportEntries(false);
        emit searchEnded({m_state.resultCount, m_enginesDone, m_enginesAsked, m_state.searchStopped});
        settleIfDone();
    });

    // The crawl and the tester meet only here: a search halts the tests and restarts them after.
    connect(&m_search, &SearchController::testsMustStop, &m_tester, &ServerTester::haltForSearch);
    connect(&m_search, &SearchController::testsMustStop, this, [this] { endVerify(false); });
    connect(&m_search, &SearchController::searchEnded, this, [this] {
        if (m_verifyPending)
            startVerify();
        else
            m_tester.resumeAfterSearch();
    });
    connect(&m_verifier, &ServerVerifier::fileVerified, this, [this](int record, int entry) {
        if (record == m_shownRecord)
            ShowFileFact(m_state.servers, record, entry, m_state.facts, m_linksList);
        emit fileVerified(record, entry);
    });
    connect(&m_verifier, &ServerVerifier::finished, this, &Core::verifyEnded);
    connect(&m_tester, &ServerTester::serverTested, this, [this](int node, ServerMark mark) {
        emit serverTested({node, m_ftpList.text(node).toLatin1(), mark});
    });
    connect(&m_tester, &ServerTester::allServersTested, this, [this] {
        if (!m_search.searching())
            settleIfDone();
    });
}

Core::~Core() = default;

void Core::startUp(const SeedResult &seeded)
{
    m_seedProblem = seeded.reason;
    const int n = LoadEngines(m_enginesList, m_profile);
    m_state.pageData = QVector<QByteArray>(n + 1);
    m_preferences = LoadPreferences(m_preferenceStore, m_profile.programFolder());
    // Reading a big catalogue leaves its text's memory free in the middle of the heap.
    returnFreedMemory();
}

QStringList Core::shutDown()
{
    QStringList unstored;
    bool ticks = false;
    SaveActiveFlags(m_enginesList, m_profile, &ticks);
    if (!ticks)
        unstored << QStringLiteral("the engines' ticks could not be stored in %1").arg(m_profile.pathOf(kSettingsFile));
    if (!SaveShutdownPreferences(m_preferences, m_preferenceStore))
        unstored << QStringLiteral("the view and test choices could not be stored in %1").arg(m_preferenceStore.location());
    return unstored;
}

QString Core::catalogueProblem() const
{
    const QString problem = CatalogueProblem(m_profile);
    if (problem.isEmpty() || m_seedProblem.isEmpty())
        return problem;
    return problem + QStringLiteral(" (") + m_seedProblem + u')';
}

bool Core::startSearch(const QString &text)
{
    if (m_search.searching())
        return false;
    m_enginesAsked = tickedEngines();
    m_enginesDone = 0;
    // Reporting each entry makes the results add links one by one: only for a listener.
    reportEntries(isSignalConnected(QMetaMethod::fromSignal(&Core::entryAdded)));
    m_search.SearchBtnClick(text);
    return m_search.searching();
}

int Core::tickedEngines() const
{
    int ticked = 0;
    for (int i = 1; i <= m_enginesList.count(); ++i)
        ticked += m_enginesList.checked(i);
    return ticked;
}

void Core::stopSearch()
{
    m_search.StopSearch();
}

void Core::reportEntries(bool report)
{
    if (!report) {
        m_results.setEntryListener({});
        return;
    }
    m_results.setEntryListener([this](int record, bool isHTTP, QByteArrayView host, QByteArrayView link) {
        const ServerRecord &server = m_state.servers[record];
        const int j = server.entryCount();
        emit entryAdded({record, j, isHTTP ? QByteArrayView("HTTP") : QByteArrayView("FTP"), host, server.ServerURL(),
                         server.pathView(j), server.fileNameView(j), link});
    });
}

void Core::settleIfDone()
{
    if (!m_search.searching() && !verifying() && (!m_preferences.testingEnabled || m_tester.allTested()))
        emit settled();
}

void Core::toggleTestResults()
{
    m_tester.ToggleTestResults(testsMustWait());
}

void Core::retestResults()
{
    m_tester.ReTestResults(testsMustWait());
}

bool Core::verifyResults()
{
    if (m_search.searching()) {
        if (!std::exchange(m_verifyPending, true))
            emit verifyingChanged(true);
        return true;
    }
    return startVerify();
}

bool Core::startVerify()
{
    m_verifyPending = false;
    // The connect tests would mark the same nodes: they wait, and resume after.
    m_tester.haltForSearch();
    if (m_verifier.start()) {
        emit verifyingChanged(true);
        return true;
    }
    verifyEnded();
    return false;
}

void Core::stopVerify()
{
    endVerify(!m_search.searching());
}

void Core::endVerify(bool resumeTests)
{
    if (!verifying())
        return;
    m_verifyPending = false;
    m_verifier.stop();
    emit verifyingChanged(false);
    if (resumeTests)
        m_tester.resumeAfterSearch();
}

void Core::verifyEnded()
{
    emit verifyingChanged(false);
    if (!m_search.searching())
        m_tester.resumeAfterSearch();
    settleIfDone();
}

QList<VerifiedServer> Core::verifiedServers() const
{
    QList<VerifiedServer> verified;
    for (int i = 1; i <= m_ftpList.count(); ++i) {
        const VerifyOutcome outcome = m_state.facts.outcome(m_ftpList.tag(i).toInt());
        if (outcome != VerifyOutcome::None && serverMark(m_ftpList, i) != ServerMark::Root)
            verified.append({m_ftpList.text(i).toLatin1(), outcome});
    }
    return verified;
}

QList<TestedServer> Core::testedServers() const
{
    QList<TestedServer> tested;
    for (int i = 1; i <= m_ftpList.count(); ++i) {
        const ServerMark mark = serverMark(m_ftpList, i);
        if (mark == ServerMark::Alive || mark == ServerMark::Dead)
            tested.append({i, m_ftpList.text(i).toLatin1(), mark});
    }
    return tested;
}

SearchInfo Core::showServer(int node)
{
    m_shownRecord = serverMark(m_ftpList, node) == ServerMark::Root ? 0 : m_ftpList.tag(node).toInt();
    if (node == 0) {
        m_linksList.clear();
        return {};
    }
    return ShowServerDetails(m_ftpList, node, m_state.servers, m_preferences.listViewType, m_linksList, &m_state.facts);
}

int Core::fileCount(int node) const
{
    // A root's tag, or no node's, reads as record 0.
    const int record = m_ftpList.tag(node).toInt();
    const ServerTable &servers = m_state.servers;
    return record > 0 && record <= servers.upperBound() ? servers[record].entryCount() : 0;
}

HandOffResult Core::handOff(QByteArrayView link, HandOff kind)
{
    const HandOffResult result = LaunchClient(link, kind, m_preferences, m_profile, m_launcher, m_status);
    emit handedOff(result);
    return result;
}

void Core::openEngineHome(int node)
{
    if (node != 0)
        ShellOpen(m_shell, m_enginesList.tag(node).toString());
}
