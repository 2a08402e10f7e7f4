#include "search/detail/link_rules.h"
#include "search/detail/page_scanner.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using enum ParseMode;
using Found = std::vector<std::pair<QByteArray, bool>>; // link, isHTTP

Found parse(QByteArrayView page, ParseMode mode, QByteArrayView search)
{
    Found found;
    ParsePage(page, mode, search, [&](auto link, bool http) { found.emplace_back(link.toByteArray(), http); });
    return found;
}

// The extraction restated from its rules, one link at a time: from where the last link ended, the
// first href="scheme (letters in any case), or when there is none the first href='scheme; the
// link runs to its quote, and a link without one ends its pass.
Found reference(const QByteArray &page, ParseMode mode, QByteArrayView search)
{
    Found found;
    const std::vector<QByteArrayView> words = SplitWords(search);
    const QByteArray folded = page.toLower(); // ASCII letters only
    for (const bool http : {false, true}) {
        if (mode != All && mode != (http ? HTTP : FTP))
            continue;
        const QByteArray scheme = http ? "http://" : "ftp://";
        for (qsizetype from = 0;;) {
            char quote = '"';
            qsizetype at = folded.indexOf("href=\"" + scheme, from);
            if (at < 0) {
                quote = '\'';
                at = folded.indexOf("href='" + scheme, from);
            }
            const qsizetype end = at < 0 ? -1 : page.indexOf(quote, at + 6);
            if (end < 0)
                break;
            const QByteArray link = UnescapeURL(page.mid(at + 6, end - at - 6));
            if (!HasControlCharacter(link) && (!http || IsHTTPFileLink(link, words)))
                found.emplace_back(link, http);
            from = end + 1;
        }
    }
    return found;
}

TEST(ParsePage, Table)
{
    const QByteArray huge = "ftp://h/" + QByteArray(3 << 20, 'a'); // longer than one step's search
    const struct { const char *name; QByteArray page; ParseMode mode; const char *search; Found expected; } cases[] = {
        {"OnlySingleQuotedAllTakenAsWritten", R"(hReF='fTp://x/1' href='ftp://s/2')", FTP, "",
         {{"fTp://x/1", false}, {"ftp://s/2", false}}},
        {"SingleQuotedOnlyBehindTheLastDoubleQuoted",
         R"(href='ftp://s/0' <A HREF="FTP://H/1"> href='ftp://s/2' href="ftp://b/3" href='ftp://s/4' href='ftp://s/5')",
         FTP, "", {{"FTP://H/1", false}, {"ftp://b/3", false}, {"ftp://s/4", false}, {"ftp://s/5", false}}},
        {"MatchInsideALinkIsNotALinkOfItsOwn", R"(href="ftp://a/x href='ftp://b/y' z" href='ftp://c/w')", FTP, "",
         {{"ftp://a/x href='ftp://b/y' z", false}, {"ftp://c/w", false}}},
        {"DoubleInsideSingleWins", R"(href='ftp://a/x href="ftp://b/y" z')", FTP, "", {{"ftp://b/y", false}}},
        {"FtpPassFirst", R"(href="http://h/x.mp3" href="ftp://f/a.mp3")", All, "x",
         {{"ftp://f/a.mp3", false}, {"http://h/x.mp3", true}}},
        {"ModeZero", R"(href="ftp://h/a")", ParseMode(0), "", {}},
        {"ModeFour", R"(href="ftp://h/a")", ParseMode(4), "", {}},
        {"HtmlAndHtmDroppedOnlyInLowerCase",
         R"(href="http://h/x.html" href="http://h/x.htm" href="http://h/x.shtml" href="http://h/x.htm%6C")"
         R"( href="http://h/x.HTML" href="http://h/x.HTM")",
         HTTP, "x", {{"http://h/x.HTML", true}, {"http://h/x.HTM", true}}},
        {"HttpWithoutFilePathQueryOrSearchWordDropped",
         R"(href="http://x.example/" href="http://x.example" href="http://h/x/" href="http://h/x.mp3?y=1")"
         R"( href="http://h/a?x" href="http://h/x%3F.mp3" href="http://h/other.mp3")",
         HTTP, "x", {{"http://h/x/", true}}},
        {"AnySearchWordIgnoringCaseAfterUnescaping",
         R"(href="http://h/Live.mp3" href="http://h/demo.ogg" href="http://h/%41BBA.mp3")", HTTP,
         "live+DEMO+abba", {{"http://h/Live.mp3", true}, {"http://h/demo.ogg", true}, {"http://h/ABBA.mp3", true}}},
        {"PercentPairsDecodedNoWordsNoHttp", R"(href="ftp://h/a%20b%41.mp3" href="http://h/a.mp3")", All, "+",
         {{"ftp://h/a bA.mp3", false}}},
        {"MissingClosingQuoteEndsTheFtpPassOnly", R"(href="ftp://a/1" href="http://h/music.mp3" href="ftp://x/open)",
         All, "music", {{"ftp://a/1", false}, {"http://h/music.mp3", true}}},
        {"MissingClosingQuoteLeavesTheFtpPass", R"(href="ftp://h/a.mp3" href="http://x/music)", All, "music",
         {{"ftp://h/a.mp3", false}}},
        {"ControlCharactersInALinkButNotAroundIt",
         QByteArrayLiteral("\0href=\"ftp://h/a%0Ab\" href=\"ftp://h/a%00b\" href=\"ftp://h/a\tb\" href=\"ftp://h/a\x7f\" "
             "href=\"ftp://h/\0\" href=\"ftp://h/\x1f\" href=\"ftp://h/ok\"\0\0href='ftp://h/b'\0"),
         FTP, "", {{"ftp://h/ok", false}, {"ftp://h/b", false}}},
        {"OtherSpellingsIgnored",
         R"(href = "ftp://h/a" href=ftp://h/b src="ftp://h/c" href="/pub/d" href="https://h/music.mp3" href="ftp:/)",
         All, "music", {}},
        {"HugePage", "href='ftp://h/skipped" + QByteArray(6 << 20, 'x') + R"(href="ftp://h/end.mp3")", All, "x",
         {{"ftp://h/end.mp3", false}}},
        {"HugeLinkThenNoClosingQuote", "href=\"" + huge + "\" href=\"ftp://h/" + QByteArray(2 << 20, '%'), All, "",
         {{huge, false}}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(parse(c.page, c.mode, c.search), c.expected) << c.name;
        EXPECT_EQ(reference(c.page, c.mode, c.search), c.expected) << c.name;
        const bool valid = int(c.mode) >= 1 && int(c.mode) <= 3;
        EXPECT_EQ(ParsePage(c.page, c.mode, c.search, [](auto, bool) {}), valid) << c.name;
    }
}

// Pages cut from fragments that meet in every way a match, a quote and an escape can meet.
QByteArray randomPage(QRandomGenerator &random)
{
    static const QByteArray fragments[] = {
        "href=\"", "href='", "HREF=\"", "hReF='", "href=", "ftp://", "FTP://", "http://", "Http://", "h", "host", "/",
        "/music", ".mp3", ".html", "\"", "'", " ", "=", "%", "%25", "%41", "%0a", "?", "music", "MUSIC", "\n",
        QByteArray(1, '\0'), "href=\"ftp://", "href='ftp://", "href=\"http://", "href='http://", "href=\"ftp://h/",
        "href=\"http://h/music", "\"", "'", "\"", "'"};
    QByteArray page;
    for (int i = random.bounded(60); i > 0; --i)
        page += fragments[random.bounded(static_cast<quint32>(std::size(fragments)))];
    return page;
}

TEST(ParsePage, AgreesWithCuttingTheRestAfterEveryLinkWhateverTheSearchBudget)
{
    QRandomGenerator random(20240611);
    std::size_t links = 0, pending = 0;
    for (int round = 0; round < 10000; ++round) {
        const QByteArray page = randomPage(random) + randomPage(random);
        for (const ParseMode mode : {FTP, HTTP, All}) {
            const Found found = parse(page, mode, "music+x");
            ASSERT_EQ(found, reference(page, mode, "music+x"))
                << "mode " << int(mode) << " page " << page.toStdString();
            links += found.size();
        }
        // A scanner that may search only 3 bytes per step finds the same links.
        Found sliced;
        PageScanner scanner(page, All, "music+x");
        PageScanner::Link link;
        for (PageScanner::Step step; (step = scanner.next(link, 3)) != PageScanner::Step::Done;) {
            pending += step == PageScanner::Step::Pending;
            if (step == PageScanner::Step::Found && link.accepted)
                sliced.emplace_back(link.text.toByteArray(), link.isHTTP);
        }
        ASSERT_EQ(sliced, parse(page, All, "music+x")) << page.toStdString();
    }
    // The pages must hold links and the budget must cut the search for the comparisons to mean anything.
    EXPECT_TRUE(links > 30000 && pending > 100000) << links << ' ' << pending;
}

TEST(UnescapeURL, Table)
{
    // A "%" without two hexadecimal digits stays; a decoded "%" is read again with what follows.
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a%20b", "a b"},   {"%41", "A"},     {"%4a%4A", "JJ"}, {"%ff", "\xff"}, {"%", "%"},     {"abc%4", "abc%4"},
        {"%zz", "%zz"},     {"%g1", "%g1"},   {"% 41", "% 41"}, {"%%41", "%A"},  {"%%%", "%%%"}, {"%25", "%"},
        {"%2541", "A"},     {"%252541", "A"}, {"%25zz", "%zz"}, {"%25%41", "%A"}, {"%0A", "\n"},
        {"%00", QByteArray(1, '\0')}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(UnescapeURL(in), out) << in.toStdString();
    // Every "%25" decodes to a "%" read again with the next "25": quadratic rescanning would not finish.
    EXPECT_EQ(UnescapeURL("%" + QByteArray("25").repeated(1'000'000) + "41"), "A");
    const QByteArray lonePercents(2'000'000, '%');
    EXPECT_EQ(UnescapeURL(lonePercents), lonePercents);
}

TEST(LinkHelpers, LinkMatchesSearchIgnoresCaseButNotAQuery)
{
    EXPECT_TRUE(LinkMatchesSearch("http://h/Jazz.mp3", "x+JAZZ") && LinkMatchesSearch("http://h/a-b.mp3", "a b"));
    EXPECT_FALSE(LinkMatchesSearch("http://h/x.mp3?jazz", "jazz") || LinkMatchesSearch("http://h/a.mp3", "+"));
}

// Letters past "f" read on as digits ("G" is 16, "z" is 35).
TEST(LinkHelpers, HexToInt)
{
    const std::pair<const char *, int> hex[] = {{"41", 65}, {"ff", 255}, {"FF", 255}, {"1G", 32}, {"Zz", 595},
                                                {"", 0},    {" 1", -1},  {"4-", -1},  {"100000000", -1}};
    for (const auto &[text, value] : hex)
        EXPECT_EQ(HexToInt(text), value) << text;
}

} // namespace
