#pragma once

#include <QByteArray>
#include <QSet>

// Synthetic search engine result pages for the crawl benchmark. Deterministic for a given engine
// number.

// What the benchmark types into the search box; the matching http file links carry its words.
inline constexpr char kCrawlSearchText[] = "music live";

struct EnginePageShape
{
    qsizetype size = qsizetype(1) << 20; // exact size of the page in bytes
    int links = 2000;                    // anchors of every kind
};

// What a generated page holds, for checking both sides' counts.
struct EnginePageCounts
{
    // Double-quoted anchors whose target starts with ftp:// or http:// (any letter case).
    int hrefLinks = 0;
};

// One result page of `shape.size` bytes: a list of results, each an anchor and a snippet. Of
// the anchors about 45% are ftp links on 4,000 hosts (some in capitals, with a login and port, with
// %20, or to a directory), 25% http links on 3,000 other hosts (file links that match the search,
// html pages, files that do not match, scripts with a query) and 30% other anchors (relative,
// https, javascript, mailto, fragments). Every link is double-quoted.
//
// `resultKeys` gets, for each link that should become a result, "host path+file" after %-decoding:
// across pages, the distinct keys are the number of results a crawl should report.
QByteArray makeEnginePage(int engine, const EnginePageShape &shape, EnginePageCounts &counts,
                          QSet<QByteArray> &resultKeys);
