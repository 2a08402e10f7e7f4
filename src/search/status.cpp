#include "search/status.h"

#include "platform/status_line.h"
#include "search/search_state.h"

QStringList statusPanelKeys()
{
    return {QStringLiteral("Results"), QStringLiteral("Sockets"), QStringLiteral("TSockets"),
            QStringLiteral("Queued"), QStringLiteral("Stats")};
}

void UpdateStatus(const SearchState &state, StatusLine &status)
{
    status.setText(QStringLiteral("Results"), QStringLiteral("Search Results: %1").arg(state.resultCount));
    status.setText(QStringLiteral("Sockets"), QStringLiteral("Active Search Sockets: %1").arg(state.activeSearchSockets));
    status.setText(QStringLiteral("TSockets"), QStringLiteral("Active Test Sockets: %1").arg(state.activeTestSockets));
    status.setText(QStringLiteral("Queued"), QStringLiteral("Pages Queued: %1").arg(state.pagesQueued));
}
