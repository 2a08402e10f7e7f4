#include "search/results.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include "search/search_reference.h"
#include "support/test_files.h"

namespace {

// Links cut from pieces that meet in every way a scheme, a login, a host, a port and a path can
// meet, with hosts around the host table's inline size and hosts named like the roots.
QByteArray randomLink(QRandomGenerator &random)
{
    static const std::vector<std::vector<QByteArray>> pieces = {
        {"ftp://", "http://", "FTP://", "Http://", "", "ftp:/", "x1://", "\x01"}, {"", "", "anonymous@", "u:p@", "@", "a@b@"},
        {"a", "A", "b.example.net", "FTP", "HTTP", "", "[::1]", "[::1", QByteArray(47, 'n'), QByteArray(48, 'n'),
         QByteArray(48, 'm'), QByteArray(49, 'n'), QByteArray(130, 'n')},
        {"", "", ":21", ":2121", ":x"}, {"/", "/pub/", "/pub/mp3/", "/PUB/", "", "//", "/" + QByteArray(70, 'p') + "/"},
        {"x.mp3", "y.mp3", "X.mp3", "", "z", "c\nd", "dir/", "e\x7f"}};
    QByteArray link;
    for (const auto &choices : pieces) link += choices[random.bounded(quint32(choices.size()))];
    return link;
}

// Over two searches: new nodes in each, the records of both, nothing staged before the second. A listener hears each find.
TEST(Results, EveryWayOfAddingGroupsLinksAsTheReference)
{
    for (const auto &[way, staged, listened] : {std::tuple{"OneByOne", false, false}, {"Staged", true, false}, {"StagedWhileListened", true, true}}) {
        SCOPED_TRACE(way);
        QRandomGenerator random(99);
        for (int round = 0; round < 100; ++round) {
            Crawl crawl;
            QAbstractItemModelTester tester(&crawl.ftpList, QAbstractItemModelTester::FailureReportingMode::Fatal);
            ref::Grouping reference;
            QStringList heard, expected;
            if (listened)
                crawl.results.setEntryListener([&](int r, bool, QByteArrayView, QByteArrayView link) { heard << QString::number(r) + ' ' + QString::fromLatin1(link); });
            for (int search = 0; search < 2; ++search) {
                crawl.results.startSearch();
                reference.startSearch();
                EXPECT_TRUE(crawl.ftpList.expanded(1) && crawl.ftpList.expanded(2));
                for (int i = random.bounded(1, 300); i > 0; --i) {
                    const QByteArray link = randomLink(random);
                    const bool isHTTP = random.bounded(2) == 1;
                    if (const int record = reference.add(link.toStdString(), isHTTP); record && listened)
                        expected << QString::number(record) + ' ' + QString::fromLatin1(link);
                    if (!staged)
                        crawl.results.AddResult(link, isHTTP);
                    else if (crawl.results.stage(link, isHTTP); random.bounded(40) == 0)
                        crawl.results.addStaged();
                }
                crawl.results.addStaged();
                ASSERT_EQ(crawl.outcome(), reference.outcome()) << "round " << round;
                if (staged && !listened && !reference.nodes.empty()) // dropped when the next search starts
                    crawl.results.stage(QByteArray::fromStdString(reference.nodes[0].substr(0, reference.nodes[0].find(' ')) + "/new"), false);
            }
            EXPECT_EQ(heard, expected);
        }
    }
}

// The count on the status line follows the additions once per turn of the event loop, every turn.
TEST(Results, StatusCountFollowsEachTurnOfAdditions)
{
    Crawl crawl;
    for (const int count : {1, 3, 4}) {
        while (crawl.state.resultCount < count)
            crawl.results.AddResult("ftp://h/p/" + QByteArray::number(crawl.state.resultCount) + ".mp3", false);
        EXPECT_NE(crawl.panel(), QStringLiteral("Search Results: %1").arg(count)) << "not before the turn";
        QCoreApplication::processEvents();
        EXPECT_EQ(crawl.panel(), QStringLiteral("Search Results: %1").arg(count));
    }
}

} // namespace
