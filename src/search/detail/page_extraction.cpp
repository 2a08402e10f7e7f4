#include "search/detail/page_extraction.h"

#include "search/results.h"
#include "search/search_state.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {
// Bytes searched before the clock is read again while no link turns up: about a millisecond.
constexpr qsizetype kSearchBudget = qsizetype(1) << 20;
// Links handed on between two readings of the clock.
constexpr int kLinksPerClockReading = 16;
// Links staged at most before they are added, when a page is extracted at once.
constexpr qsizetype kMostStaged = qsizetype(1) << 17;
} // namespace

SliceQueue::SliceQueue(QObject *parent)
    : QObject(parent)
{
    // A zero timer runs once nothing else is waiting: timers, sockets and input come first.
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &SliceQueue::runNext);
}

SliceQueue::~SliceQueue() = default;

void SliceQueue::enqueue(PageExtraction *job)
{
    if (std::find(m_jobs.begin(), m_jobs.end(), job) == m_jobs.end())
        m_jobs.push_back(job);
    if (!m_next.isActive())
        m_next.start();
}

void SliceQueue::remove(PageExtraction *job)
{
    std::erase(m_jobs, job);
}

void SliceQueue::runNext()
{
    if (m_jobs.empty())
        return;
    // Taken off first: the slice queues its job again unless it ends, and may end others.
    PageExtraction *job = m_jobs.front();
    m_jobs.pop_front();
    job->runSlice();
    if (!m_jobs.empty() && !m_next.isActive())
        m_next.start();
}

PageExtraction::PageExtraction(SearchState &state, Results &results, SliceQueue *queue, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_results(results)
    , m_ownQueue(queue ? nullptr : std::make_unique<SliceQueue>())
    , m_queue(queue ? queue : m_ownQueue.get())
{
}

PageExtraction::~PageExtraction()
{
    if (m_queue)
        m_queue->remove(this);
}

void PageExtraction::start(QByteArray page, ParseMode mode)
{
    m_page = std::move(page);
    // The search string is read once: the page is matched against the search it was fetched for.
    m_scanner = std::make_unique<PageScanner>(m_page, mode, m_state.searchString);
    m_linksFound = 0;
    m_resultsAdded = 0;
    schedule();
}

void PageExtraction::schedule()
{
    if (m_queue)
        m_queue->enqueue(this);
}

void PageExtraction::runSlice()
{
    if (!m_scanner)
        return;
    QElapsedTimer clock;
    clock.start();
    const qint64 sliceNanoseconds = std::chrono::nanoseconds(m_sliceTime).count();
    int found = 0;
    PageScanner::Link link;
    m_resultsBefore = m_state.resultCount;
    for (;;) {
        // Stop comes from the event loop, between slices: every link found before it is added.
        if (m_state.searchStopped) {
            finish();
            return;
        }
        const PageScanner::Step step = m_scanner->next(link, kSearchBudget);
        if (step == PageScanner::Step::Done) {
            finish();
            return;
        }
        if (step == PageScanner::Step::Found) {
            if (link.accepted)
                m_results.stage(link.text, link.isHTTP);
            ++found;
            ++m_linksFound;
            if (m_sliceLinks > 0 && found >= m_sliceLinks)
                break;
            if (found % kLinksPerClockReading != 0)
                continue;
        }
        if (clock.nsecsElapsed() >= sliceNanoseconds)
            break;
    }
    addStaged();
    m_results.flushStatus();
    schedule();
}

void PageExtraction::addStaged()
{
    m_results.addStaged();
    m_resultsAdded += m_state.resultCount - m_resultsBefore;
    m_resultsBefore = m_state.resultCount;
}

void PageExtraction::finish()
{
    addStaged();
    m_scanner.reset();
    m_page.clear();
    m_results.flushStatus();
    emit finished();
}

int ExtractPage(QByteArrayView page, ParseMode mode, QByteArrayView searchString, Results &results)
{
    PageScanner scanner(page, mode, searchString);
    PageScanner::Link link;
    int added = 0;
    qsizetype staged = 0;
    for (PageScanner::Step step; (step = scanner.next(link)) != PageScanner::Step::Done;) {
        if (step != PageScanner::Step::Found || !link.accepted)
            continue;
        results.stage(link.text, link.isHTTP);
        // Bounds the working memory of a page with very many links.
        if (++staged == kMostStaged) {
            added += results.addStaged();
            staged = 0;
        }
    }
    added += results.addStaged();
    results.flushStatus();
    return added;
}
