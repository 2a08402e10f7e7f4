#pragma once

class StatusLine;
struct SearchState;

// Rewrites the search's panels, "Results", "Sockets" and "Queued", from its counters. ("TSockets"
// is the tester's, "Stats" the hand-off's.)
void UpdateStatus(const SearchState &state, StatusLine &status);
