#include "search/detail/page_scanner.h"


#include <gtest/gtest.h>

#include <iterator>

#include "search/search_reference.h"

namespace {

using enum ParseMode;

// The accepted links of a page, searching at most `budget` bytes a step.
ref::Links scan(QByteArrayView page, ParseMode mode, QByteArrayView search, qsizetype budget = 1 << 20)
{
    ref::Links found;
    PageScanner scanner(page, mode, search);
    PageScanner::Link link;
    for (PageScanner::Step step; (step = scanner.next(link, budget)) != PageScanner::Step::Done;) {
        if (step == PageScanner::Step::Found && link.accepted)
            found.emplace_back(link.text.toByteArray().toStdString(), link.isHTTP);
    }
    return found;
}

struct PageCase { const char *name; QByteArray page; ParseMode mode; const char *search; ref::Links expected; };

const QByteArray kHuge = "ftp://h/" + QByteArray(3 << 20, 'a'); // longer than one step's search
const PageCase kPages[] = {
    {"SingleQuotedOnlyBehindTheLastDoubleQuoted",
     R"(href='ftp://s/0' <A HREF="FTP://H/1"> href='ftp://s/2' href="ftp://b/3" href='ftp://s/4' href='ftp://s/5')",
     FTP, "", {{"FTP://H/1", false}, {"ftp://b/3", false}, {"ftp://s/4", false}, {"ftp://s/5", false}}},
    {"ModeZero", R"(href="ftp://h/a")", ParseMode(0), "", {}}, {"ModeFour", R"(href="ftp://h/a")", ParseMode(4), "", {}},
    {"HtmlAndHtmDroppedOnlyInLowerCase",
     R"(href="http://h/x.html" href="http://h/x.htm" href="http://h/x.shtml" href="http://h/x.htm%6C")"
     R"( href="http://h/x.HTML" href="http://h/x.HTM")",
     HTTP, "x", {{"http://h/x.HTML", true}, {"http://h/x.HTM", true}}},
    {"MissingClosingQuoteEndsTheFtpPassOnly", R"(href="ftp://a/1" href="http://h/music.mp3" href="ftp://x/open)",
     All, "music", {{"ftp://a/1", false}, {"http://h/music.mp3", true}}},
    {"MissingClosingQuoteLeavesTheFtpPass", R"(href="ftp://h/a.mp3" href="http://x/music)", All, "music",
     {{"ftp://h/a.mp3", false}}},
    {"ControlCharactersInALinkButNotAroundIt",
     QByteArrayLiteral("\0href=\"ftp://h/a%0Ab\" href=\"ftp://h/a%00b\" href=\"ftp://h/a\tb\" href=\"ftp://h/a\x7f\" "
                       "href=\"ftp://h/\0\" href=\"ftp://h/\x1f\" href=\"ftp://h/ok\"\0\0href='ftp://h/b'\0"),
     FTP, "", {{"ftp://h/ok", false}, {"ftp://h/b", false}}},
    {"HugePage", "href='ftp://h/skipped" + QByteArray(6 << 20, 'x') + R"(href="ftp://h/end.mp3")", All, "x",
     {{"ftp://h/end.mp3", false}}},
    {"HugeLinkThenNoClosingQuote", "href=\"" + kHuge + "\" href=\"ftp://h/" + QByteArray(2 << 20, '%'), All, "",
     {{kHuge.toStdString(), false}}}};

class PageScannerRows : public ::testing::TestWithParam<PageCase> {};
TEST_P(PageScannerRows, FindsTheRowsLinks)
{
    const PageCase &c = GetParam();
    EXPECT_EQ(scan(c.page, c.mode, c.search), c.expected);
    EXPECT_EQ(ref::extracted(c.page.toStdString(), int(c.mode), c.search), c.expected) << "the reference";
}
INSTANTIATE_TEST_SUITE_P(PageScanner, PageScannerRows, ::testing::ValuesIn(kPages), rowName);

} // namespace
