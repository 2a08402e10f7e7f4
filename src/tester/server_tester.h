#pragma once

#include "platform/time_limits.h"
#include "search/marks.h"

#include <QObject>
#include <QVector>

#include <memory>
#include <vector>

class NodeTree;
class QTimer;
class SocketArray;
class StatusLine;
struct Preferences;

// Tests the FTP servers of the result tree: opens a TCP connection to each Untested server node,
// at most `maxTest` at a time, in node order, and marks it Alive when the connection is accepted
// or Dead when it fails or stays unanswered for `TimeLimits::serverTest`. It keeps the "TSockets"
// panel of the status line.
class ServerTester final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerTester)

public:
    ServerTester(NodeTree &ftpList, Preferences &preferences, StatusLine &status, TimeLimits limits = {},
                 QObject *parent = nullptr);
    ~ServerTester() override;

    // Sizes the slot table from the current `maxTest`, lets scheduling run and schedules.
    void StartTests();
    // Halts scheduling, gives back every busy slot (its node goes back to Untested) and zeroes
    // `activeTestSockets`.
    void StopTests();

    // The "Test Results" command: switches automatic testing on or off and returns the new tick.
    // Switching on starts tests at once unless a search runs.
    bool ToggleTestResults(bool searchRunning);
    // The "Re Test Results" command: every server back to Untested, testing on, and tests start
    // at once unless a search runs. Returns the new tick (always true).
    bool ReTestResults(bool searchRunning);

    // For the search: halt testing when a search starts, and resume it (when switched on) once
    // the search has ended.
    void haltForSearch();
    void resumeAfterSearch();

    bool testingEnabled() const;
    int activeTestSockets() const { return m_activeTestSockets; }
    // True when no server is under test and none is left before the end of the list (also before
    // any schedule, when the list is empty); costs nothing, so that a caller may ask after every
    // test.
    bool allTested() const;

signals:
    // Node `node` got its mark: Alive or Dead.
    void serverTested(int node, ServerMark mark);
    // A schedule found nothing left to test and nothing under test.
    void allServersTested();
    // The tick of "Test Results" changed.
    void testingEnabledChanged(bool enabled);

private:
    // Starts tests on the next Untested nodes while slots are free.
    void ScheduleTests();
    // Marks the slot free and drops its socket; a slot that is free already is no error.
    void FreeTestSlot(int slot);
    // Every node but the roots and the HTTP servers back to Untested.
    void ResetTestMarks();
    void finishTest(int slot, ServerMark mark);
    void updateStatus();
    void setTestingEnabled(bool enabled);
    void rewindTo(int index);
    void watchTree();

    NodeTree &m_ftpList;
    Preferences &m_preferences;
    StatusLine &m_status;
    const TimeLimits m_limits;

    SocketArray *m_testSock;
    int m_activeTestSockets = 0;
    bool m_testsHalted = false;
    // Element 0 is never used; element k: 0 never used, -1 free, > 0 the node under test on slot k.
    QVector<int> m_testSlots{0};
    // One answer deadline per slot, parallel to m_testSlots.
    std::vector<std::unique_ptr<QTimer>> m_deadlines;
    // Every node before it holds a mark other than Untested, so a schedule starts here instead of
    // at node 1; anything that may put an earlier node back to Untested moves it back.
    int m_cursor = 1;
};
