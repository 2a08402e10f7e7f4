#include "search/detail/status.h"

#include "platform/status_line.h"
#include "search/search_state.h"

void UpdateStatus(const SearchState &state, StatusLine &status)
{
    status.setText(QStringLiteral("Results"), QStringLiteral("Search Results: %1").arg(state.resultCount));
    status.setText(QStringLiteral("Sockets"), QStringLiteral("Active Search Sockets: %1").arg(state.activeSearchSockets));
    status.setText(QStringLiteral("Queued"), QStringLiteral("Pages Queued: %1").arg(state.pagesQueued));
}
