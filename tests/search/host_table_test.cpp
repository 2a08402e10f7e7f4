#include "search/detail/host_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Hosts of every length around the inline name size, beside those of its length that differ in the first, a middle or the last
// byte and share its tag, and thousands more: the table grows many times, names compare at every length, and hosts are found
// while they move to a grown table. Twice: after clear().
TEST(HostTable, FindsTheRecordOfEveryHostItHoldsAndNoOther)
{
    std::vector<std::string> hosts;
    for (std::size_t length = 0; length <= 140; ++length)
        for (const std::size_t changed : {length, std::size_t(0), length / 2, length - 1}) // length: none
            hosts.push_back(std::string(length, 'h').replace(std::min(changed, length), changed < length, changed < length, 'x'));
    for (int i = 0; i < 5000; ++i) hosts.push_back("host" + std::to_string(i));
    // One tag for every fourth length: a name must be told apart by its length too.
    const auto tag = [](const std::string &h) { return h.starts_with("host") ? HostTable::tagOf(h) : quint32(h.size() % 4); };
    HostTable table;
    for (int round = 0; round < 2; ++round, table.clear()) {
        std::map<std::string, int> records;
        std::vector<std::string> added;
        for (const std::string &h : hosts) {
            if (records.contains(h)) continue;
            ASSERT_EQ(table.find(h, tag(h)), 0) << "round " << round << " before adding " << h;
            table.insert(h, tag(h), records[h] = int(records.size()) + 1);
            added.push_back(h);
            for (const std::string &earlier : {added.front(), added[added.size() / 2], added[added.size() * 3 / 4]})
                ASSERT_EQ(table.find(earlier, tag(earlier)), records[earlier]) << "round " << round << " after adding " << h;
        }
        for (const std::string &h : hosts) ASSERT_EQ(table.find(h, tag(h)), records[h]) << "round " << round << ' ' << h;
    }
}

} // namespace
