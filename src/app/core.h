#pragma once

#include "catalogue/catalogue.h"
#include "ftpclient/ftpclient.h"
#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "platform/time_limits.h"
#include "prefs/prefs.h"
#include "search/search.h"
#include "tester/tester.h"
#include "update/update.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>

class Launcher;
class Shell;

// One file found, as it is added. The views are valid while the signal runs.
struct FoundEntry
{
    int record = 0; // where the file is kept: its record and its entry there
    int entry = 0;
    QByteArrayView root; // "FTP" or "HTTP"
    QByteArrayView host;
    QByteArrayView server; // the server URL the file is grouped under
    QByteArrayView path;
    QByteArrayView file;
    QByteArrayView link; // as found on the page, unescaped
};

// An FTP server whose test has a mark: Alive or Dead.
struct TestedServer
{
    int node = 0;
    QByteArray host;
    ServerMark mark = ServerMark::Untested;
};

// An FTP server that a verify reached or tried to.
struct VerifiedServer
{
    QByteArray host;
    VerifyOutcome outcome = VerifyOutcome::None;
};

// What a search came to, once it is at rest.
struct SearchSummary
{
    int results = 0;
    int enginesDone = 0;  // engines whose page was read
    int enginesAsked = 0; // active engines at the start
    bool stopped = false;
};

// Everything the program runs on, without a window: the catalogue, the preferences, the search
// and its lists, the crawl and the tester, wired together. The window and the command line drive
// it through its methods, bind views to its lists, and hear from it through signals that carry
// values.
class Core final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Core)

public:
    struct Services
    {
        PreferenceStore &preferenceStore;
        Shell &shell;
        Launcher &launcher;
    };

    Core(const QString &programFolder, Services services, TimeLimits limits = {}, QObject *parent = nullptr);
    ~Core() override;

    // At start: the engine list, the preferences and the empty result state. `seeded` is how
    // seeding the program folder went, for catalogueProblem().
    void startUp(const SeedResult &seeded = {});
    // At close: the engines' check boxes and the two view and test preferences. What could not be
    // stored, in words for the user; empty when all was.
    QStringList shutDown();

    // The lists the views show, and the status line.
    NodeTree &enginesList() { return m_enginesList; }
    NodeTree &ftpList() { return m_ftpList; }
    NodeTree &linksList() { return m_linksList; }
    StatusLine &status() { return m_status; }
    // The live preferences: a change applies from the next connection started.
    Preferences &preferences() { return m_preferences; }
    const Profile &profile() const { return m_profile; }
    Profile &profile() { return m_profile; }
    PreferenceStore &preferenceStore() { return m_preferenceStore; }
    Shell &shell() { return m_shell; }
    // Why settings.dat gives no catalogue, in words for the user (with why it could not be made,
    // when seeding failed); empty when it can be read.
    QString catalogueProblem() const;

    // A search with this text (trimmed; blanks sent as "+") over the ticked engines; false when it
    // starts nothing (a search runs, or the text is blank). Listeners of entryAdded() hear each
    // file as it is added, in the page's order.
    bool startSearch(const QString &text);
    void stopSearch();
    bool searching() const { return m_search.searching(); }
    // Whether a search start stores the engines' ticks in settings.dat (a one-off search from the
    // command line leaves the catalogue alone).
    void setStoreActiveFlags(bool store) { m_search.setStoreActiveFlags(store); }
    int resultCount() const { return m_state.resultCount; }
    // The engines a search would ask now.
    int tickedEngines() const;
    QByteArray searchString() const { return m_state.searchString; }

    // "Test Results" and "Re Test Results".
    bool testingEnabled() const { return m_preferences.testingEnabled; }
    void toggleTestResults();
    void retestResults();
    void stopTests() { m_tester.StopTests(); }
    // Nothing under test and nothing left to test.
    bool allServersTested() const { return m_tester.allTested(); }
    // The FTP servers with a mark, in the result tree's order.
    QList<TestedServer> testedServers() const;

    // "Verify Results": logs in to every FTP server of the results and asks for the size and date
    // of each of its files. During a search it starts once the search has ended; the connect tests
    // wait until it is over. False when there is nothing to verify.
    bool verifyResults();
    void stopVerify();
    // A verify runs or waits for the search to end.
    bool verifying() const { return m_verifyPending || m_verifier.running(); }
    // The verified servers, in the result tree's order, and what was learned of a file.
    QList<VerifiedServer> verifiedServers() const;
    FileFact fileFact(int record, int entry) const { return m_state.facts.file(record, entry); }
    // Whether the server the links list shows has any file verified.
    bool shownServerVerified() const { return m_state.facts.hasFiles(m_shownRecord); }

    // Shows the server of result node `node` in the links list, laid out as the preferences say,
    // and gives its login details.
    SearchInfo showServer(int node);
    // How many files server node `node` has so far; 0 for a root or no node.
    int fileCount(int node) const;
    // Hands an "ftp://" link to the chosen FTP client.
    HandOffResult handOff(QByteArrayView link, HandOff kind);
    // Opens engine node `node`'s home page in the desktop's browser.
    void openEngineHome(int node);

    // The exchanges with the update server and their merge, for the update window and the
    // command line.
    UpdateSession &update() { return m_update; }

signals:
    void searchingChanged(bool searching);
    void testingEnabledChanged(bool enabled);
    void entryAdded(const FoundEntry &entry);
    void engineFinished(const EngineOutcome &outcome);
    void serverTested(const TestedServer &server);
    void verifyingChanged(bool verifying);
    // A file of record `record` has its size and date; the links list shows them already.
    void fileVerified(int record, int entry);
    void searchEnded(const SearchSummary &summary);
    void handedOff(const HandOffResult &result);
    // The search is at rest, with testing on every server is tested, and no verify runs: nothing
    // more will come.
    void settled();

private:
    void reportEntries(bool report);
    void settleIfDone();
    bool startVerify();
    void verifyEnded();
    // Stops a verify under way or waiting; the connect tests go on when `resumeTests` says so.
    void endVerify(bool resumeTests);
    // The connect tests, which wait while a search or a verify runs.
    bool testsMustWait() const { return m_search.searching() || verifying(); }

    Profile m_profile;
    Preferences m_preferences;
    SearchState m_state;
    NodeTree m_enginesList{NodeTree::DisplayMode::CheckBoxes};
    NodeTree m_ftpList{NodeTree::DisplayMode::Pictures};
    NodeTree m_linksList{NodeTree::DisplayMode::Pictures};
    StatusLine m_status;
    Results m_results;
    SearchController m_search;
    ServerTester m_tester;
    ServerVerifier m_verifier;
    UpdateSession m_update;

    PreferenceStore &m_preferenceStore;
    Shell &m_shell;
    Launcher &m_launcher;

    QString m_seedProblem;
    int m_enginesAsked = 0;
    int m_enginesDone = 0;
    bool m_verifyPending = false;
    int m_shownRecord = 0; // the record the links list shows
};
