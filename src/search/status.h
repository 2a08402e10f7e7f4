#pragma once

#include <QStringList>

class StatusLine;
struct SearchState;

// The panels of the status line, in the order they stand.
QStringList statusPanelKeys();

// Rewrites "Results", "Sockets", "TSockets" and "Queued" from the counters; "Stats" is left alone.
void UpdateStatus(const SearchState &state, StatusLine &status);
