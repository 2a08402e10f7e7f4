#pragma once

#include "platform/socket_array.h"
#include "platform/time_limits.h"
#include "search/engine_outcome.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class NodeTree;
class PageExtraction;
class SliceQueue;
class Profile;
class Results;
class StatusLine;
struct Preferences;
struct SearchState;

// Runs a search: sends the query to every active engine, at most `maxSearch` pages at once, hands
// each finished page to the link extraction, and returns to rest when every active engine is done
// or the user stops. Engine i is node i of the engine list and page socket i. An https engine
// speaks TLS (through the proxy, inside a CONNECT tunnel); a redirect is followed on the same
// socket slot, at most five times. Each engine's outcome becomes its node's tooltip.
class SearchController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchController)

public:
    struct Services
    {
        SearchState &state;
        Preferences &preferences;
        NodeTree &enginesList;
        NodeTree &linksList;
        StatusLine &status;
        Profile &profile;
        Results &results;
    };

    explicit SearchController(Services services, TimeLimits limits = {}, QObject *parent = nullptr);
    ~SearchController() override;

    // Whether a search start stores the engines' check boxes in settings.dat (the window does;
    // a one-off search from the command line leaves the catalogue alone).
    void setStoreActiveFlags(bool store) { m_storeActiveFlags = store; }

    // True between the start of a search and its end (the button reads "Stop").
    bool searching() const { return m_searching; }

    // The search button and the Enter key: stop a running search, or start one with this text.
    // A blank text starts nothing.
    void SearchBtnClick(const QString &searchText);
    void StopSearch();

signals:
    void searchingChanged(bool searching);
    // The tester must halt before a search starts.
    void testsMustStop();
    // A search returned to rest (finished or stopped); the tester may start.
    void searchEnded();
    // An engine's page is done: fetched and its links extracted.
    void engineFinished(const EngineOutcome &outcome);

private:
    void DispatchEngines();
    void SearchFinished();
    void ClearEngineImages();
    void RestoreEngineChecks();
    void ConnectSock(int i);
    void CloseSock(int i);
    void FinishPage(int i);

    void startFetch(int i);
    void onConnected(int i);
    void onEncrypted(int i);
    void onData(int i);
    void readTunnelAnswer(int i);
    // Ends the fetch, or follows its redirect. `failure` is for the user; empty: the page came.
    void endFetch(int i, EngineOutcome::End end, const QString &failure = {});
    // Connects again if the page is a redirect that may be followed; a redirect too many empties the
    // page and says so in `failure`.
    bool followRedirect(int i, EngineOutcome::End end, QString &failure);
    void abortExtractions();
    // The engines a search may start: nodes 1 to this.
    int dispatchedEngines() const;

    Services m_services;
    TimeLimits m_limits;
    SocketArray m_sockets;
    // Per open page socket: where it is asked, how far it got, and its time limits.
    struct Fetch;
    QHash<int, Fetch *> m_fetches;
    QHash<int, PageExtraction *> m_extractions;
    // The pages in hand are extracted a slice per turn of the event loop, in turn.
    std::unique_ptr<SliceQueue> m_slices;
    // How each page in hand ended, until its links are out.
    QHash<int, EngineOutcome> m_outcomes;
    // The first engine that DispatchEngines has not yet passed, and the active engines of this
    // search not yet done.
    int m_dispatchCursor = 1;
    int m_enginesLeft = 0;
    bool m_searching = false;
    bool m_storeActiveFlags = true;
};
