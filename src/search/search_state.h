#pragma once

#include "search/file_facts.h"
#include "search/server_table.h"

#include <QByteArray>
#include <QVector>

// The state the whole crawl shares, owned by the application and passed by reference. Texts that
// cross a byte boundary (search string, query URLs, pages) are bytes: one byte, one character.
// Per-engine vectors are indexed by engine node index from 1; element 0 is unused.
struct SearchState
{
    int resultCount = 0;
    int activeSearchSockets = 0;
    int pagesQueued = 0; // shown in "Queued"; nothing changes it
    bool searchStopped = false;

    QByteArray searchString; // trimmed search text as sent, each blank a "+"

    QVector<bool> engineActive;
    QVector<QByteArray> queryURLs;
    QVector<QByteArray> pageData;

    // Result servers; record 0 is the empty record made at start-up. Its numbering runs on over the
    // whole run; a new search releases the records of the earlier ones.
    ServerTable servers;
    // What verifies learned of this search's servers and files.
    FileFacts facts;
};
