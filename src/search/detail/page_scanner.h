#pragma once

#include "search/detail/byte_scan.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <string>
#include <vector>

// Link extraction from a result page: quoted href targets that begin with "ftp://" or "http://",
// found by plain text search ignoring letter case (no HTML parsing). Positions count from 0.

// What a scan extracts: ftp links, http links, or ftp links and then http links.
enum class ParseMode { FTP = 1, HTTP = 2, All = 3 };

// Walks a page and yields its links in the order the extraction hands them on: first every
// double-quoted link (skipping those that lie inside an earlier link's text), then the single-
// quoted ones behind the last of them; for ParseMode::All the ftp pass and then the http pass.
// One sweep over the page first notes where every match starts; the passes then take the links
// from these lists, so the work is linear in the page size and nothing of the page is copied but
// an unescaped link. It holds a view of the page: the owner keeps the bytes alive.
//
// A link without its closing quote ends its pass (the ftp or the http one); it is not yielded.
class PageScanner final
{
    Q_DISABLE_COPY_MOVE(PageScanner)

public:
    struct Link
    {
        QByteArrayView text; // unescaped; valid until the next call of next()
        bool isHTTP = false;
        bool accepted = false; // a result candidate, to be handed to AddResult
    };
    enum class Step {
        Found,   // `link` is the next link
        Pending, // `budget` bytes were searched without finding a link or its end; call again
        Done,
    };

    // A mode cast from a number other than 1, 2, 3 yields nothing.
    PageScanner(QByteArrayView page, ParseMode mode, QByteArrayView searchString);

    Step next(Link &link, qsizetype budget = qsizetype(1) << 20);

private:
    enum class Phase { Collect, FTP, HTTP, Done };
    enum Scheme { FTP = 0, HTTP = 1 };
    enum Quote { Double = 0, Single = 1 };

    void collect(qsizetype end);
    void beginPass(Phase phase);
    void endPass();

    QByteArrayView m_page;
    ParseMode m_mode;
    Phase m_phase = Phase::Collect;
    qsizetype m_collected = 0;
    // Where each kind of match begins ("href"), in page order: [scheme][quote].
    std::array<std::array<std::vector<qsizetype>, 2>, 2> m_matches;
    std::array<std::size_t, 2> m_next{}; // first match of each quote not yet behind the cursor
    qsizetype m_cursor = 0;
    // A link whose closing quote is still being looked for (a long one spans several calls).
    qsizetype m_linkStart = -1;
    qsizetype m_linkSearched = 0;
    char m_linkQuote = 0;
    byteScan::LinkBytes m_linkBytes;
    QByteArray m_search;
    std::vector<QByteArrayView> m_words;
    std::string m_buffer;
};
