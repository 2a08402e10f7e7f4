#include "search/detail/link_rules.h"

#include <gtest/gtest.h>

#include "search/search_reference.h"

namespace {

const auto unescaped = [](QByteArrayView s) { std::string buffer; return UnescapeURL(s, buffer).toByteArray(); };

TEST(UnescapeURL, DecodesHexPairsAndRereadsADecodedPercent)
{
    const std::pair<QByteArray, QByteArray> rows[] = {{"a%20b%4a%4A%ff", "a bJJ\xff"}, {"%%41%", "%A%"}, {"%2541", "A"},
        {"%252541", "A"}, {"%25zz%g1% 41x%2", "%zz%g1% 41x%2"}, {"%25%41", "%A"}, {"%00", QByteArray(1, '\0')}};
    for (const auto &[in, out] : rows) {
        EXPECT_EQ(unescaped(in), out) << in.toStdString();
        EXPECT_EQ(ref::unescaped(in.toStdString()), out.toStdString()) << "the reference: " << in.toStdString();
    }
}

// Each "%25" decodes to a "%" read again with the next "25": rescanning from the start would not end.
TEST(UnescapeURL, LongRunsOfPercentsDecodeInOnePass)
{
    EXPECT_EQ(unescaped("%" + QByteArray("25").repeated(1'000'000) + "41"), "A");
    EXPECT_EQ(unescaped(QByteArray(2'000'000, '%')), QByteArray(2'000'000, '%'));
}

} // namespace
