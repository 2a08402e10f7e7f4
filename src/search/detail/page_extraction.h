#pragma once

#include "search/detail/page_scanner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>

class PageExtraction;
class Results;
struct SearchState;

// Runs the slices of the extraction jobs that share it one per turn of the event loop, each job in
// turn. With a zero timer per job, ten pages in hand would run ten slices back to back in one pass
// over the loop's timers, and hold the window for all ten.
class SliceQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SliceQueue)

public:
    explicit SliceQueue(QObject *parent = nullptr);
    ~SliceQueue() override;

    // A job queued already keeps its place.
    void enqueue(PageExtraction *job);
    void remove(PageExtraction *job);
    bool empty() const { return m_jobs.empty(); }

private:
    void runNext();

    std::deque<PageExtraction *> m_jobs;
    QTimer m_next;
};

// The extraction of one finished page as a job of the event loop: it hands the page's links to
// Results a slice at a time, each slice started by a zero timer, so sockets, timers, input and
// Stop are served in between. It ends at the next link once `searchStopped` is set. Deleting it
// cancels the job.
class PageExtraction final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageExtraction)

public:
    // Jobs that run at the same time share a queue; without one a job has its own.
    PageExtraction(SearchState &state, Results &results, SliceQueue *queue = nullptr, QObject *parent = nullptr);
    ~PageExtraction() override;

    // Starts extracting `page` (shared, not copied) in `mode` from the event loop, so the caller can
    // connect to finished() first. A job that is running is dropped.
    void start(QByteArray page, ParseMode mode);
    bool isRunning() const { return static_cast<bool>(m_scanner); }
    // So far: the quoted ftp and http links of the page, and the new results among them.
    int linksFound() const { return m_linksFound; }
    int resultsAdded() const { return m_resultsAdded; }

signals:
    // The page is done, or the search was stopped.
    void finished();

private:
    // Tests shorten the slices, and cut them after a number of links.
    friend class PageExtractionTest;
    friend class SliceQueue;

    void schedule();
    void runSlice();
    void finish();
    // Adds the staged links and counts the new results.
    void addStaged();

    SearchState &m_state;
    Results &m_results;
    QByteArray m_page;
    std::unique_ptr<PageScanner> m_scanner;
    // How long one slice may look for links (adding the ones it found comes after), and how many
    // links it may hand on (0: no limit).
    std::chrono::microseconds m_sliceTime{5000};
    int m_sliceLinks = 0;
    int m_linksFound = 0;
    int m_resultsAdded = 0;
    // resultCount when the slice began: other pages' jobs add results between slices, never within.
    int m_resultsBefore = 0;
    std::unique_ptr<SliceQueue> m_ownQueue;
    // A job deleted later may outlive the queue it shared.
    QPointer<SliceQueue> m_queue;
};

// The extraction of a page at once, without the event loop (benchmarks and tests): hands the
// page's links to `results` as PageExtraction does. Returns how many became results.
int ExtractPage(QByteArrayView page, ParseMode mode, QByteArrayView searchString, Results &results);
