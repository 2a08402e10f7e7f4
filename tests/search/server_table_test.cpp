#include "search/server_table.h"

#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Every entry under one tag (all of whose bytes are set), so that each lookup meets every earlier entry: a record must tell
// pairs apart by path and file, scanning its tags or in the index it outgrows them into. Sizes cross groups of 4 and the index.
TEST(ServerRecord, TellsEntriesApartWhenEveryTagCollides)
{
    for (const int size : {1, 3, 4, 5, 8, 63, 64, 65, 66, 200}) {
        SCOPED_TRACE(size);
        ServerRecord record("ftp://h");
        std::set<std::pair<std::string, std::string>> known;
        std::vector<std::pair<std::string, std::string>> order;
        // Paths and files repeat on cycles of 7 and 5 (a file under another path, another under a path); round 2 repeats all.
        for (int i = 0; i < 2 * size; ++i) {
            const std::string path = "/p" + std::to_string(i % size % 7) + "/" + std::string(i % size / 35, 'd') + "/";
            const std::string file = "f" + std::to_string(i % size % 5) + ".mp3";
            const bool fresh = known.emplace(path, file).second;
            if (fresh) order.emplace_back(path, file);
            ASSERT_EQ(record.addTagged(QByteArrayView(path.c_str()), QByteArrayView(file.c_str()), 0xa5a5a5a5), fresh) << path << file << " at " << i;
        }
        ASSERT_EQ(record.entryCount(), int(order.size()));
        const int past = record.entryCount() + 1; // no entry 0, nor one past the last
        EXPECT_EQ(record.Paths(0) + record.FileNames(0) + record.Paths(past) + record.FileNames(past), QByteArray());
        for (int j = 1; j <= record.entryCount(); ++j)
            EXPECT_EQ(record.Paths(j).toStdString() + record.FileNames(j).toStdString(), order[j - 1].first + order[j - 1].second);
        const ServerRecord moved(std::move(record));
        EXPECT_EQ(moved.entryCount(), int(order.size()));
        // NOLINTNEXTLINE(bugprone-use-after-move): a moved-from record is empty, and usable again
        EXPECT_EQ(record.entryCount(), 0);
        EXPECT_TRUE(record.addEntry("/", "x") && record.Paths(1) + record.FileNames(1) == "/x");
    }
}

// A new search releases the records of the earlier ones; numbering runs on, and an old index reads
// as the empty record instead of another search's server.
TEST(ServerTable, RetiredRecordsAreReleasedAndTheirNumbersStayTaken)
{
    ServerTable servers;
    const ServerTable &read = servers;
    EXPECT_TRUE(servers.upperBound() == 0 && servers.retire().empty());
    EXPECT_EQ(servers.add("ftp://a") + servers.add("ftp://b"), 1 + 2);
    servers[2].addEntry("/", "b.mp3");
    const std::vector<ServerTable::Block> retired = servers.retire();
    ASSERT_EQ(retired.size(), 1u);
    EXPECT_EQ(retired[0][1].ServerURL() + retired[0][1].FileNames(1), "ftp://bb.mp3");
    EXPECT_TRUE(servers.upperBound() == 2 && servers.liveRecords() == 0);
    EXPECT_EQ(servers.add("ftp://c"), 3);
    (void)servers.retire();
    EXPECT_EQ(servers.add("ftp://d") + servers.add("ftp://e"), 4 + 5);
    EXPECT_TRUE(servers[5].addEntry("/", "e.mp3"));
    for (const int old : {1, 2, 3}) {
        EXPECT_TRUE(read[old].ServerURL().isEmpty() && read[old].entryCount() == 0) << old;
        EXPECT_THROW(servers[old], std::out_of_range) << old;
    }
    EXPECT_EQ(read[0].ServerURL() + read[4].ServerURL() + read[5].ServerURL() + read[5].FileNames(1), "ftp://dftp://ee.mp3");
    EXPECT_TRUE(servers.upperBound() == 5 && servers.liveRecords() == 2);
    // Across blocks, which begin at the first record after a retirement.
    const int many = 2 * ServerTable::kBlock + 5;
    for (int k = 0; k < many; ++k) EXPECT_EQ(servers.add("ftp://h" + QByteArray::number(k)), 6 + k);
    for (int k = 0; k < many; ++k) ASSERT_EQ(read[6 + k].ServerURL(), "ftp://h" + QByteArray::number(k)) << k;
    EXPECT_EQ(read[5].FileNames(1), "e.mp3");
    for (const int past : {-1, 6 + many}) EXPECT_THROW(read[past], std::out_of_range) << past;
}

} // namespace
