#pragma once

// The search: from a search text to result servers grouped in a tree.
//
// 1. SearchController takes the text (trimmed, blanks as "+"), builds each active engine's query
//    URL (detail/query_url) and fetches the pages over the platform's SocketArray, at most
//    `maxSearch` at once, each page into SearchState::pageData: https over TLS (in a CONNECT
//    tunnel through a proxy), and redirects followed (detail/http_response reads the header).
// 2. A finished page goes to a PageExtraction job (detail/page_extraction), which runs the
//    PageScanner (detail/page_scanner) over it in slices of the event loop; the scanner judges each
//    quoted link by the link rules (detail/link_rules), built on the byte primitives
//    (detail/byte_scan).
// 3. Results takes each accepted link, splits it (server_url), finds or makes its server's record
//    (ServerTable, detail/host_table) and node in the result tree (marked with a ServerMark,
//    marks.h), and adds the file; the status line follows (detail/status).
// 4. Each engine ends with an EngineOutcome (engine_outcome.h), shown in its tooltip; the search ends when every active engine is done or
//    the user stops.
//
// Outside this folder, include the headers below; detail/ is for this folder and its tests.

#include "search/engine_outcome.h"
#include "search/marks.h"
#include "search/results.h"
#include "search/search_controller.h"
#include "search/search_state.h"
#include "search/server_table.h"
#include "search/server_url.h"
