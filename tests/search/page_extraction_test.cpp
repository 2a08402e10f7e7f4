#include "search/detail/page_extraction.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include "search/search_reference.h"
#include "support/test_files.h" // prints Qt strings

using namespace std::chrono_literals;

// Several MiB as a crawl meets them: thousands of hosts of every length to 145, a few that take a
// quarter of the links; short, long and escaped paths and files; both quotes and schemes in any case.
QByteArray generatedPage()
{
    static const QByteArray schemes[] = {"ftp://", "FTP://", "fTp://", "http://", "HTTP://", "hTtP://"};
    static const QByteArray logins[] = {"", "", "", "user:pw@", "u%40x:p@", "a@b@"}, ports[] = {"", "", "", ":21", ":2121", ":x"};
    static const QByteArray files[] = {"a.mp3", "B.zip", "c.html", "d.HTM", "", "e?x=1", "f%20g.mp3", "%2541.zip",
                                       "h%0a.mp3", "i%2Fj.mp3", "%", "k.mp3\x7f"};
    QRandomGenerator random(1207);
    QByteArray text;
    for (int i = 0; text.size() < (6 << 20); ++i) {
        const int http = random.bounded(3) == 0, id = random.bounded(4) ? random.bounded(5000) : random.bounded(6);
        const char quote = random.bounded(10) == 0 || i > (http ? 30000 : 20000) ? '\'' : '"'; // a tail of single ones
        QByteArray path = "/";
        for (int k = random.bounded(4); k > 0; --k)
            path += (random.bounded(5) ? "p" + QByteArray::number(random.bounded(3)) : QByteArray(random.bounded(200), 'q')) + '/';
        if (random.bounded(1000) == 0 || i % 20000 == 777) // longer than a chunk of the stage's memory
            path += QByteArray(i % 20000 == 777 ? (1 << 20) + 5 : 70000, 'l') + '/';
        text += QByteArray(random.bounded(80), ' ') + (random.bounded(2) ? "<a HREF=" : "href=") + quote
            + schemes[3 * http + random.bounded(3)] + logins[random.bounded(6)] + (id % 5 ? "h" : "H")
            + QByteArray::number(id) + QByteArray(id % 141, 'n') + ports[random.bounded(6)] + path
            + files[random.bounded(12)] + quote + "> x";
    }
    return text;
}

// Outside an unnamed namespace: the extraction befriends it to set its slice limits.
class PageExtractionTest : public ::testing::Test, protected Crawl
{
protected:
    void SetUp() override { state.searchString = "mp3+zip"; }
    static void limitSlices(PageExtraction &job, std::chrono::microseconds time, int links = 0) { job.m_sliceTime = time, job.m_sliceLinks = links; }
    void limitSlices(std::chrono::microseconds time, int links = 0) { limitSlices(extraction, time, links); }
    bool idle() const { return extraction.m_queue->empty(); } // no slice waits to run
    PageExtraction extraction{state, results};
    QSignalSpy finished{&extraction, &PageExtraction::finished};
};

namespace {

// As a job in short slices, and all at once.
TEST_F(PageExtractionTest, AGeneratedPageGroupsAsTheReference)
{
    const QByteArray page = generatedPage();
    ref::Grouping reference;
    for (const auto &[link, isHTTP] : ref::extracted(page.toStdString(), 3, "mp3+zip")) reference.add(link, isHTTP);
    ASSERT_GT(reference.nodes.size(), 4000u);
    limitSlices(100us);
    extraction.start(page, ParseMode::All);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(outcome(), reference.outcome());
    EXPECT_EQ(panel(), QStringLiteral("Search Results: %1").arg(reference.count)) << "current once the job is done";
    Crawl atOnce;
    EXPECT_EQ(ExtractPage(page, ParseMode::All, "mp3+zip", atOnce.results), reference.count);
    EXPECT_EQ(atOnce.outcome(), reference.outcome());
}

TEST_F(PageExtractionTest, OtherEventsRunBetweenSlices)
{
    limitSlices(1us);
    extraction.start(generatedPage().first(1 << 20), ParseMode::All);
    int between = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { between += extraction.isRunning(); });
    other.start(0);
    EXPECT_TRUE(finished.wait(60000) && finished.count() == 1 && between > 2) << between;
    EXPECT_TRUE(idle()) << "once done, the job stops asking for turns";
}

// Pages in hand at once share the turns of the event loop: one slice a turn, whatever their number.
TEST_F(PageExtractionTest, JobsOfOneQueueRunOneSliceATurn)
{
    SliceQueue queue;
    std::vector<std::unique_ptr<PageExtraction>> jobs;
    int done = 0;
    for (int k = 0; k < 3; ++k) {
        jobs.push_back(std::make_unique<PageExtraction>(state, results, &queue));
        limitSlices(*jobs.back(), 1s, 1);
        QObject::connect(jobs.back().get(), &PageExtraction::finished, [&done] { ++done; });
        jobs.back()->start("href=\"ftp://h/" + QByteArray::number(k) + "\" href=\"ftp://h/x" + QByteArray::number(k) + "\"", ParseMode::All);
    }
    int last = 0, mostPerTurn = 0;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        int links = 0;
        for (const auto &job : jobs) links += job->linksFound();
        mostPerTurn = std::max(mostPerTurn, links - std::exchange(last, links));
    });
    turn.start(0);
    QElapsedTimer clock;
    clock.start();
    while (done < 3 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(done, 3);
    EXPECT_EQ(mostPerTurn, 1);
    EXPECT_EQ(state.resultCount, 6);
    EXPECT_TRUE(queue.empty());
}

TEST_F(PageExtractionTest, StopEndsAtTheNextLink)
{
    // Between two slices, after the third result was shown; before the first slice, nothing.
    QObject::connect(&status, &StatusLine::textChanged, [this](auto, auto text) { state.searchStopped |= text == u"Search Results: 3"; });
    QByteArray page;
    for (int i = 0; i < 50; ++i)
        page += "href=\"ftp://h/" + QByteArray::number(i) + "\" href=\"http://w/" + QByteArray::number(i) + ".mp3\" ";
    limitSlices(1s, 1);
    for (const bool stopped : {true, false}) {
        state.searchStopped = stopped;
        extraction.start(page, ParseMode::All);
        ASSERT_TRUE(finished.wait(10000));
    }
    EXPECT_EQ(outcome().mid(3), (QStringList{"ftp://h h 1 Untested 1", "ftp://h /|0 /|1 /|2"})) << "the http pass never ran";
}

} // namespace
