#pragma once

// The user's preferences: read from the per-user store at start (LoadPreferences), held in one
// Preferences value that the search, the tester and the hand-off read at the moment of use, and
// written back in part at close (SaveShutdownPreferences). The Options dialog (ui/) shows and
// stores the rest (options).

#include "prefs/preferences.h"
#include "prefs/options.h"
