#include "tester/server_tester.h"

#include "platform/node_tree.h"
#include "platform/socket_array.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/server_url.h"
#include "tester/detail/logging.h"
#include "tester/detail/status.h"

#include <QTimer>

#include <algorithm>

ServerTester::ServerTester(NodeTree &ftpList, Preferences &preferences, StatusLine &status, TimeLimits limits,
                           QObject *parent)
    : QObject(parent)
    , m_ftpList(ftpList)
    , m_preferences(preferences)
    , m_status(status)
    , m_limits(limits)
    , m_testSock(new SocketArray(this))
{
    connect(m_testSock, &SocketArray::connected, this, [this](int slot) { finishTest(slot, ServerMark::Alive); });
    connect(m_testSock, &SocketArray::error, this, [this](int slot, const SocketFailure &failure) {
        qCDebug(lcTester).noquote() << "slot" << slot << "failed:" << failure.text;
        finishTest(slot, ServerMark::Dead);
    });
    watchTree();
    updateStatus();
}

ServerTester::~ServerTester() = default;

void ServerTester::watchTree()
{
    connect(&m_ftpList, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                if (!roles.isEmpty() && !roles.contains(NodeTree::PictureKeyRole))
                    return;
                const QModelIndex parent = topLeft.parent();
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                    const int node = m_ftpList.nodeIndex(m_ftpList.index(row, 0, parent));
                    if (node > 0 && node < m_cursor && serverMark(m_ftpList, node) == ServerMark::Untested)
                        rewindTo(node);
                }
            });
    // Removals renumber the nodes behind them; a reset (clear, bulk change) replaces them all.
    connect(&m_ftpList, &QAbstractItemModel::rowsRemoved, this, [this] { rewindTo(1); });
    connect(&m_ftpList, &QAbstractItemModel::modelReset, this, [this] { rewindTo(1); });
}

void ServerTester::rewindTo(int index)
{
    m_cursor = std::min(m_cursor, std::max(index, 1));
}

bool ServerTester::testingEnabled() const
{
    return m_preferences.testingEnabled;
}

void ServerTester::StartTests()
{
    // Only reached with no test under way; should a caller break that, the running tests are given
    // back first so that no socket outlives the slot table that tracks it.
    if (m_activeTestSockets > 0)
        StopTests();

    const int size = std::max(m_preferences.maxTest, 0);
    m_testSlots = QVector<int>(size + 1, 0);
    m_deadlines.resize(static_cast<std::size_t>(size) + 1);
    for (int k = 1; k <= size; ++k) {
        auto &timer = m_deadlines[static_cast<std::size_t>(k)];
        if (timer)
            continue;
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setInterval(m_limits.serverTest);
        connect(timer.get(), &QTimer::timeout, this, [this, k] {
            qCDebug(lcTester) << "slot" << k << "had no answer in" << m_limits.serverTest.count() << "ms";
            finishTest(k, ServerMark::Dead);
        });
    }
    m_testsHalted = false;
    ScheduleTests();
}

void ServerTester::StopTests()
{
    m_testsHalted = true;
    for (int k = 1; k < m_testSlots.size(); ++k) {
        const int node = m_testSlots[k];
        if (node > 0) {
            if (serverMark(m_ftpList, node) == ServerMark::UnderTest)
                setMark(m_ftpList, node, ServerMark::Untested);
            FreeTestSlot(k);
        }
    }
    m_activeTestSockets = 0;
    rewindTo(1);
    updateStatus();
}

void ServerTester::ScheduleTests()
{
    if (m_testsHalted)
        return;
    // The slot table bounds the tests even when `maxTest` was raised after it was sized.
    const int limit = std::min(m_preferences.maxTest, static_cast<int>(m_testSlots.size()) - 1);
    const int n = m_ftpList.count();
    for (; m_cursor <= n; ++m_cursor) {
        if (m_activeTestSockets >= limit)
            return;
        const int i = m_cursor;
        if (serverMark(m_ftpList, i) != ServerMark::Untested)
            continue;

        const QByteArray key = m_ftpList.key(i).toLatin1();
        const ServerAddress address = ParseServer(key);
        if (address.host.isEmpty()) {
            // Nothing to connect to: no socket is spent on it.
            qCDebug(lcTester) << "node" << i << "names no host to test";
            setMark(m_ftpList, i, ServerMark::Dead);
            emit serverTested(i, ServerMark::Dead);
            continue;
        }

        int k = m_activeTestSockets + 1;
        for (int slot = 1; slot <= m_activeTestSockets; ++slot) {
            if (m_testSlots[slot] == -1) {
                k = slot;
                break;
            }
        }
        m_activeTestSockets += 1;
        setMark(m_ftpList, i, ServerMark::UnderTest);
        m_testSock->create(k);
        m_testSlots[k] = i;
        m_testSock->connectTo(k, QString::fromLatin1(Unbracketed(address.host)), address.port);
        m_deadlines[static_cast<std::size_t>(k)]->start();
        updateStatus();
    }
    if (m_activeTestSockets == 0)
        emit allServersTested();
}

bool ServerTester::allTested() const
{
    return m_activeTestSockets == 0 && m_cursor > m_ftpList.count();
}

void ServerTester::FreeTestSlot(int slot)
{
    if (slot < 1 || slot >= m_testSlots.size())
        return;
    m_testSlots[slot] = -1;
    m_deadlines[static_cast<std::size_t>(slot)]->stop();
    m_testSock->close(slot);
    m_testSock->destroy(slot);
}

void ServerTester::finishTest(int slot, ServerMark mark)
{
    // A late answer for a slot given back already (a stop, a time-out) is no test of anything.
    if (slot < 1 || slot >= m_testSlots.size() || m_testSlots[slot] <= 0)
        return;
    const int node = m_testSlots[slot];
    qCInfo(lcTester).noquote() << m_ftpList.text(node) << (mark == ServerMark::Alive ? "is alive" : "is dead");
    setMark(m_ftpList, node, mark);
    FreeTestSlot(slot);
    m_activeTestSockets -= 1;
    updateStatus();
    emit serverTested(node, mark);
    ScheduleTests();
}

void ServerTester::updateStatus()
{
    showActiveTests(m_status, m_activeTestSockets);
}

void ServerTester::ResetTestMarks()
{
    const int n = m_ftpList.count();
    for (int i = 1; i <= n; ++i) {
        const ServerMark mark = serverMark(m_ftpList, i);
        if (mark != ServerMark::Http && mark != ServerMark::Root)
            setMark(m_ftpList, i, ServerMark::Untested);
    }
    rewindTo(1);
}

void ServerTester::setTestingEnabled(bool enabled)
{
    if (m_preferences.testingEnabled == enabled)
        return;
    m_preferences.testingEnabled = enabled;
    emit testingEnabledChanged(enabled);
}

bool ServerTester::ToggleTestResults(bool searchRunning)
{
    if (m_preferences.testingEnabled) {
        setTestingEnabled(false);
        StopTests();
        return false;
    }
    setTestingEnabled(true);
    if (!searchRunning)
        StartTests();
    return true;
}

bool ServerTester::ReTestResults(bool searchRunning)
{
    StopTests();
    ResetTestMarks();
    setTestingEnabled(true);
    if (!searchRunning)
        StartTests();
    return true;
}

void ServerTester::haltForSearch()
{
    StopTests();
    m_testsHalted = false;
}

void ServerTester::resumeAfterSearch()
{
    if (m_preferences.testingEnabled)
        StartTests();
}
