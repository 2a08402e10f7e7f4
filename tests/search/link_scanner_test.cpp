#include "search/link_scanner.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Found = std::vector<std::pair<QByteArray, bool>>; // link, isHTTP

// Literals with NUL bytes inside.
template<std::size_t N>
std::string raw(const char (&s)[N])
{
    return std::string(s, N - 1);
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

Found parse(QByteArrayView page, int mode, QByteArrayView search)
{
    Found found;
    ParsePage(page, mode, search, [&found](QByteArrayView link, bool isHTTP) {
        found.emplace_back(link.toByteArray(), isHTTP);
    });
    return found;
}

// The extraction as it was first written: cut the rest of the page after every link and search
// it again from its start.
Found reference(const QByteArray &page, int mode, QByteArrayView search)
{
    Found found;
    const std::vector<QByteArrayView> words = SplitWords(search);
    bool unclosed = false; // a link without its closing quote ends the page
    const auto pass = [&](bool http) {
        QByteArray t = page;
        char quote = 0;
        qsizetype pos = http ? FindHTTPLink(t, quote) : FindFTPLink(t, quote);
        while (pos >= 0) {
            t = t.mid(pos);
            const qsizetype end = t.indexOf(quote);
            if (end < 0) {
                unclosed = true;
                break;
            }
            const QByteArray link = UnescapeURL(t.left(end));
            if (!HasControlCharacter(link) && (!http || IsHTTPFileLink(link, words)))
                found.emplace_back(link, http);
            t = t.mid(end + 1);
            pos = http ? FindHTTPLink(t, quote) : FindFTPLink(t, quote);
        }
    };
    if (mode == ParseFTP || mode == ParseAll)
        pass(false);
    if ((mode == ParseHTTP || mode == ParseAll) && !unclosed)
        pass(true);
    return found;
}

struct PageCase
{
    const char *name;
    std::string page;
    int mode;
    const char *search;
    Found expected;
};

void PrintTo(const PageCase &c, std::ostream *os)
{
    *os << c.name;
}

class ParsePageTest : public ::testing::TestWithParam<PageCase>
{
};

TEST_P(ParsePageTest, HandsOnTheExpectedLinksInOrder)
{
    const PageCase &c = GetParam();
    const QByteArray page = bytes(c.page);
    EXPECT_EQ(parse(page, c.mode, c.search), c.expected);
    EXPECT_EQ(ParsePage(page, c.mode, c.search, [](QByteArrayView, bool) {}), c.mode >= 1 && c.mode <= 3);
    EXPECT_EQ(reference(page, c.mode, c.search), c.expected);
}

const PageCase kPages[] = {
    {"CapitalsAreFoundAndKeptAsWritten", R"(<A HREF="FTP://Host/pub/a.mp3">)", ParseFTP, "a",
     {{"FTP://Host/pub/a.mp3", false}}},
    {"MixedCase", R"(hReF='fTp://x/y.mp3')", ParseFTP, "", {{"fTp://x/y.mp3", false}}},
    {"SingleQuotedBeforeADoubleQuotedIsSkipped", R"(href='ftp://s/a.mp3' x href="ftp://d/b.mp3")",
     ParseFTP, "", {{"ftp://d/b.mp3", false}}},
    {"OnlySingleQuotedAllTaken", R"(href='ftp://s/1' href='ftp://s/2')", ParseFTP, "",
     {{"ftp://s/1", false}, {"ftp://s/2", false}}},
    {"SingleQuotedBetweenDoublesIsSkipped", R"(href="ftp://a/1" href='ftp://s/2' href="ftp://b/3")",
     ParseFTP, "", {{"ftp://a/1", false}, {"ftp://b/3", false}}},
    {"SingleQuotedBehindTheLastDoubleIsTaken",
     R"(href='ftp://s/0' href="ftp://a/1" href='ftp://s/2' href='ftp://s/3')", ParseFTP, "",
     {{"ftp://a/1", false}, {"ftp://s/2", false}, {"ftp://s/3", false}}},
    {"MatchInsideALinkIsNotALinkOfItsOwn", R"(href="ftp://a/x href='ftp://b/y' z" href='ftp://c/w')",
     ParseFTP, "", {{"ftp://a/x href='ftp://b/y' z", false}, {"ftp://c/w", false}}},
    {"DoubleQuotedInsideASingleQuotedWins", R"(href='ftp://a/x href="ftp://b/y" z')", ParseFTP, "",
     {{"ftp://b/y", false}}},
    {"FtpPassBeforeHttpPass", R"(href="http://h/music.mp3" href="ftp://f/a.mp3")", ParseAll, "music",
     {{"ftp://f/a.mp3", false}, {"http://h/music.mp3", true}}},
    {"HttpModeOnly", R"(href="http://h/music.mp3" href="ftp://f/a.mp3")", ParseHTTP, "music",
     {{"http://h/music.mp3", true}}},
    {"HtmlInLowerCaseDropped",
     R"(href="http://h/music.html" href="http://h/music.htm" href="http://h/music.shtml")", ParseHTTP,
     "music", {}},
    {"HtmlInCapitalsTaken", R"(href="http://h/music.HTML" href="http://h/music.HTM")", ParseHTTP,
     "music", {{"http://h/music.HTML", true}, {"http://h/music.HTM", true}}},
    {"HttpWithoutFilePathDropped",
     R"(href="http://music.example/" href="http://music.example" href="http://h/music/")", ParseHTTP,
     "music", {{"http://h/music/", true}}},
    {"HttpWithQueryDropped", R"(href="http://h/music.mp3?x=1" href="http://h/a?music")", ParseHTTP,
     "music", {}},
    {"HttpWithoutASearchWordDropped", R"(href="http://h/other.mp3")", ParseHTTP, "music", {}},
    {"AnySearchWordIgnoringCase", R"(href="http://h/Live.mp3" href="http://h/demo.ogg")", ParseHTTP,
     "live+DEMO", {{"http://h/Live.mp3", true}, {"http://h/demo.ogg", true}}},
    {"SearchWordMatchedAfterUnescaping", R"(href="http://h/my%20song.mp3")", ParseHTTP, "my+song",
     {{"http://h/my song.mp3", true}}},
    {"PercentPairsDecoded", R"(href="ftp://h/a%20b%41.mp3")", ParseFTP, "", {{"ftp://h/a bA.mp3", false}}},
    {"MissingClosingQuoteEndsTheFtpPass", R"(href="ftp://a/1" href="ftp://b/2 no quote)", ParseFTP, "",
     {{"ftp://a/1", false}}},
    {"MissingClosingQuoteEndsThePage", R"(href="http://h/music.mp3" href="ftp://x/open)",
     ParseAll, "music", {}},
    {"ControlCharactersAreNoResult",
     raw("href=\"ftp://h/a%0Ab\" href=\"ftp://h/a%00b\" href=\"ftp://h/a\tb\" href=\"ftp://h/a\x7f\" "
         "href=\"ftp://h/\0\" href=\"ftp://h/ok\""),
     ParseFTP, "", {{"ftp://h/ok", false}}},
    {"NulBytesAroundLinks", raw("\0href=\"ftp://h/a\"\0\0href='ftp://h/b'\0"), ParseFTP, "",
     {{"ftp://h/a", false}, {"ftp://h/b", false}}},
    {"OtherSpellingsIgnored",
     R"(href = "ftp://h/a" href=ftp://h/b src="ftp://h/c" href="/pub/d" href="https://h/music.mp3")",
     ParseAll, "music", {}},
    {"TruncatedPatternAtTheEnd", R"(href="ftp:/)", ParseAll, "", {}},
    {"EmptyPage", "", ParseAll, "", {}},
    {"ModeZeroDoesNothing", R"(href="ftp://h/a")", 0, "", {}},
    {"ModeFourDoesNothing", R"(href="ftp://h/a")", 4, "", {}},
};

INSTANTIATE_TEST_SUITE_P(Pages, ParsePageTest, ::testing::ValuesIn(kPages),
                         [](const auto &info) { return std::string(info.param.name); });

// Pages cut from fragments that meet in every way a match, a quote and an escape can meet.
QByteArray randomPage(QRandomGenerator &random)
{
    static const std::vector<std::string> fragments = {
        "href=\"", "href='", "HREF=\"", "hReF='", "href=", "ftp://", "FTP://", "http://", "Http://",
        "h", "host", "/", "/music", ".mp3", ".html", "\"", "'", " ", "=", "%", "%25", "%41", "%0a",
        "?", "music", "MUSIC", "\n", std::string("\0", 1), "href=\"ftp://", "href='ftp://", "href=\"http://",
        "href='http://", "href=\"ftp://h/", "href=\"http://h/music", "\"", "'", "\"", "'"};
    QByteArray page;
    const int count = static_cast<int>(random.bounded(60));
    for (int i = 0; i < count; ++i)
        page += bytes(fragments[random.bounded(static_cast<quint32>(fragments.size()))]);
    return page;
}

TEST(ParsePage, AgreesWithCuttingTheRestAfterEveryLink)
{
    QRandomGenerator random(20240611);
    std::size_t links = 0;
    for (int round = 0; round < 10000; ++round) {
        const QByteArray page = randomPage(random);
        for (const int mode : {ParseFTP, ParseHTTP, ParseAll}) {
            const Found found = parse(page, mode, "music+x");
            ASSERT_EQ(found, reference(page, mode, "music+x")) << "mode " << mode << " page " << page.toStdString();
            links += found.size();
        }
    }
    EXPECT_GT(links, 15000u) << "the pages must hold links for the comparison to mean anything";
}

TEST(PageScanner, SmallSearchBudgetsChangeNothing)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 500; ++round) {
        QByteArray page;
        for (int i = 0; i < 8; ++i)
            page += randomPage(random);
        Found sliced;
        PageScanner scanner(page, ParseAll, "music");
        PageScanner::Link link;
        int pending = 0;
        for (PageScanner::Step step; (step = scanner.next(link, 3)) != PageScanner::Step::Done;) {
            if (step == PageScanner::Step::Pending)
                ++pending;
            else if (link.accepted)
                sliced.emplace_back(link.text.toByteArray(), link.isHTTP);
        }
        ASSERT_EQ(sliced, parse(page, ParseAll, "music")) << page.toStdString();
        EXPECT_TRUE(page.size() <= 3 || pending > 0);
    }
}

TEST(ParsePage, LongLinesHugeLinksAndAQuoteThatNeverComes)
{
    QByteArray page = "href='ftp://h/skipped.mp3" + QByteArray(6 * 1024 * 1024, 'x') + R"(href="ftp://h/end.mp3")";
    EXPECT_EQ(parse(page, ParseAll, "x"), (Found{{"ftp://h/end.mp3", false}}));

    const QByteArray link = "ftp://h/" + QByteArray(3 * 1024 * 1024, 'a');
    page = "href=\"" + link + "\" href=\"ftp://h/" + QByteArray(2 * 1024 * 1024, '%');
    EXPECT_EQ(parse(page, ParseAll, "a"), (Found{{link, false}}));
}

struct FindCase
{
    const char *text;
    qsizetype ftp;
    char ftpQuote;
    qsizetype http;
    char httpQuote;
};

TEST(FindLink, PositionOfTheSchemeAndItsQuote)
{
    const FindCase cases[] = {
        {R"(<a href="ftp://h/a">)", 9, '"', -1, 0},
        {R"(href='ftp://s' href="ftp://d")", 21, '"', -1, 0},
        {R"(href='ftp://s')", 6, '\'', -1, 0},
        {R"(HREF="HTTP://h/a")", -1, 0, 6, '"'},
        {R"(href="http://a" href='ftp://b')", 22, '\'', 6, '"'},
        {R"(href="ftp:/")", -1, 0, -1, 0},
        {"", -1, 0, -1, 0},
    };
    for (const FindCase &c : cases) {
        char quote = 0;
        EXPECT_EQ(FindFTPLink(c.text, quote), c.ftp) << c.text;
        EXPECT_EQ(quote, c.ftpQuote) << c.text;
        quote = 0;
        EXPECT_EQ(FindHTTPLink(c.text, quote), c.http) << c.text;
        EXPECT_EQ(quote, c.httpQuote) << c.text;
    }
}

TEST(UnescapeURL, Table)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a%20b", "a b"},
        {"%41", "A"},
        {"%4a%4A", "JJ"},
        {"%ff", "\xff"},
        {"%", "%"},
        {"abc%", "abc%"},
        {"%4", "%4"},
        {"%2", "%2"},
        {"%zz", "%zz"},
        {"%g1", "%g1"},
        {"% 41", "% 41"},
        {"%%41", "%A"},
        {"%%%", "%%%"},
        {"100%", "100%"},
        {"%25", "%"},
        {"%2541", "A"},
        {"%252541", "A"},
        {"%25zz", "%zz"},
        {"%25%41", "%A"},
        {"%00", std::string("\0", 1)},
        {"%0A", "\n"},
        {"no escapes", "no escapes"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(UnescapeURL(bytes(in)), bytes(out)) << in;
}

TEST(UnescapeURL, DecodedPercentChainsStayLinear)
{
    // Every "%25" decodes to a "%" that is read again with the next "25": quadratic rescanning
    // would not finish.
    QByteArray chain = "%";
    for (int i = 0; i < 1'000'000; ++i)
        chain += "25";
    chain += "41";
    EXPECT_EQ(UnescapeURL(chain), "A");

    const QByteArray lonePercents(2'000'000, '%');
    EXPECT_EQ(UnescapeURL(lonePercents), lonePercents);
}

TEST(HexToInt, Table)
{
    const std::pair<const char *, int> cases[] = {
        {"00", 0}, {"41", 65}, {"ff", 255}, {"FF", 255}, {"1G", 32}, {"Zz", 595},
        {"7", 7},  {"", 0},    {" 1", -1},  {"%4", -1},  {"4-", -1},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(HexToInt(text), value) << text;
    EXPECT_EQ(HexToInt("FFFFFFFFFF"), -1);
}

TEST(HasFilePath, Table)
{
    const std::pair<const char *, bool> cases[] = {
        {"http://h/f", true},      {"http://h/", false},  {"http://h", false},
        {"ftp://h/dir/", true},    {"no-slashes", false}, {"//", false},
        {"http:///x", false},      {"http://h//", true},  {"http://h/a/b.mp3", true},
    };
    for (const auto &[url, expected] : cases)
        EXPECT_EQ(HasFilePath(url), expected) << url;
}

TEST(SplitWords, Table)
{
    using Words = std::vector<QByteArrayView>;
    const std::pair<const char *, Words> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a+b", {"a", "b"}},
        {"  a  b ", {"a", "b"}},
        {"a++b+", {"a", "b"}},
        {"+", {}},
        {"one two+three", {"one", "two", "three"}},
    };
    for (const auto &[text, words] : cases)
        EXPECT_EQ(SplitWords(text), words) << text;
}

TEST(LinkMatchesSearch, Table)
{
    struct Case
    {
        const char *link;
        const char *search;
        bool expected;
    };
    const Case cases[] = {
        {"http://h/Music.mp3", "music", true},
        {"http://h/x.mp3", "music+x", true},
        {"http://h/a-b.mp3", "a b", true},
        {"http://h/ab.mp3", "b+a", true},
        {"http://h/x.mp3?music", "music", false},
        {"http://h/a.mp3", "", false},
        {"http://h/a.mp3", "zzz", false},
        {"http://h/mus", "music", false},
        {"http://h/MUSIC", "mUsIc", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LinkMatchesSearch(c.link, c.search), c.expected) << c.link << " / " << c.search;
}

} // namespace
