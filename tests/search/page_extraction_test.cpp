#include "search/page_extraction.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "search/link_scanner.h"
#include "search/results.h"
#include "search/search_state.h"
#include "search/status.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

// `count` ftp links on one host, then as many matching http links.
QByteArray pageOf(int count)
{
    QByteArray page = "<html>";
    for (int i = 0; i < count; ++i)
        page += "<a href=\"ftp://h/f" + QByteArray::number(i) + ".mp3\">x</a>\n";
    for (int i = 0; i < count; ++i)
        page += "<a href=\"http://w/music" + QByteArray::number(i) + ".mp3\">x</a>\n";
    return page;
}

// A search's result side, as the application wires it.
struct Crawl
{
    Crawl()
    {
        state.searchString = "music";
        results.startSearch();
        UpdateStatus(state, status);
    }
    QString resultsPanel() const { return status.text(QStringLiteral("Results")); }

    SearchState state;
    NodeTree ftpList{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester tester{&ftpList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
};

class PageExtractionTest : public ::testing::Test, protected Crawl
{
protected:
    PageExtraction extraction{state, results};
    QSignalSpy finished{&extraction, &PageExtraction::finished};
};

TEST_F(PageExtractionTest, SlicesGiveWhatOneLinkAtATimeAndAllAtOnceGive)
{
    const QByteArray page = pageOf(300)
        + R"(href="ftp://h/f1.mp3" href='ftp://later/x.mp3' href="http://w/x.html" href="ftp://other/a%20b.mp3")";
    extraction.setSliceLimits(5ms, 7);
    extraction.start(page, ParseAll);
    EXPECT_EQ(state.resultCount, 0) << "started from the event loop";
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(extraction.isRunning());
    EXPECT_EQ(resultsPanel(), QStringLiteral("Search Results: 601")) << "current once the job is done";

    Crawl oneByOne, atOnce;
    ParsePage(page, ParseAll, "music", [&](QByteArrayView link, bool isHTTP) { oneByOne.results.AddResult(link, isHTTP); });
    EXPECT_EQ(ExtractPage(page, ParseAll, "music", atOnce.results), 601);
    EXPECT_EQ(atOnce.resultsPanel(), QStringLiteral("Search Results: 601"));
    for (const Crawl *other : {&oneByOne, &atOnce}) {
        EXPECT_EQ(other->state.resultCount, 601);
        ASSERT_EQ(ftpList.count(), other->ftpList.count());
        for (int i = 1; i <= ftpList.count(); ++i)
            EXPECT_EQ(ftpList.key(i), other->ftpList.key(i));
        for (int r = 1; r <= state.servers.upperBound(); ++r) {
            ASSERT_EQ(state.servers[r].entryCount(), other->state.servers[r].entryCount());
            for (int j = 1; j <= state.servers[r].entryCount(); ++j)
                EXPECT_EQ(state.servers[r].FileNames(j), other->state.servers[r].FileNames(j));
        }
    }
    EXPECT_EQ(state.servers[2].FileNames(1), "a b.mp3");
}

TEST_F(PageExtractionTest, OtherEventsRunBetweenSlices)
{
    extraction.setSliceLimits(1s, 1);
    extraction.start(pageOf(20), ParseAll);
    int seen = -1;
    QMetaObject::invokeMethod(&extraction, [&] { seen = state.resultCount; }, Qt::QueuedConnection);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_GE(seen, 0);
    EXPECT_LT(seen, 40);
    EXPECT_EQ(state.resultCount, 40);
}

TEST_F(PageExtractionTest, StopEndsAtTheNextLink)
{
    // Stop arrives between two slices, after the third result was shown.
    QObject::connect(&status, &StatusLine::textChanged, &status, [this](const QString &, const QString &text) {
        if (text == QStringLiteral("Search Results: 3"))
            state.searchStopped = true;
    });
    extraction.setSliceLimits(1s, 1);
    extraction.start(pageOf(50), ParseAll);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(state.resultCount, 3);
    EXPECT_EQ(state.servers[1].entryCount(), 3);
    EXPECT_EQ(ftpList.childCount(2), 0) << "the http pass never ran";
}

TEST_F(PageExtractionTest, StopBeforeTheFirstSliceOrAnUnknownModeHandOnNothing)
{
    extraction.start(pageOf(5), ParseAll);
    state.searchStopped = true;
    ASSERT_TRUE(finished.wait(10000));
    state.searchStopped = false;
    extraction.start(pageOf(5), 0);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(state.resultCount, 0);
    EXPECT_EQ(ftpList.count(), 2);
}

TEST_F(PageExtractionTest, BadPagesFinish)
{
    const struct
    {
        QByteArray page;
        int results;
    } cases[] = {
        {QByteArray(4 * 1024 * 1024, 'x') + "href=\"ftp://h/last.mp3\"", 1},
        {"href=\"ftp://h/a%00.mp3\" href=\"ftp://h/b%0A.mp3\" href=\"ftp://h/c%\" href=\"ftp://h/", 1},
        {QByteArray(1024 * 1024, '\0') + "href='ftp://h/nul.mp3'", 1},
        {QByteArray(), 0},
    };
    int expected = 0;
    for (const auto &c : cases) {
        extraction.start(c.page, ParseAll);
        ASSERT_TRUE(finished.wait(10000));
        expected += c.results;
        EXPECT_EQ(state.resultCount, expected);
    }
    const ServerRecord &h = state.servers[1];
    ASSERT_EQ(h.entryCount(), 3);
    EXPECT_EQ(h.FileNames(1), "last.mp3");
    EXPECT_EQ(h.FileNames(2), "c%") << "a lone % stays";
    EXPECT_EQ(h.FileNames(3), "nul.mp3");
}

TEST_F(PageExtractionTest, StartingAgainOrDeletingDropsTheRunningJob)
{
    extraction.setSliceLimits(1s, 1);
    extraction.start(pageOf(50), ParseAll);
    extraction.start("href=\"ftp://h/only.mp3\"", ParseAll);
    ASSERT_TRUE(finished.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(state.resultCount, 1);

    auto job = std::make_unique<PageExtraction>(state, results);
    job->setSliceLimits(1s, 1);
    job->start(pageOf(100), ParseAll);
    QCoreApplication::processEvents();
    job.reset();
    const int count = state.resultCount;
    QCoreApplication::processEvents();
    EXPECT_EQ(state.resultCount, count);
    EXPECT_LT(count, 200);
}

} // namespace
