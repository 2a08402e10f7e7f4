#pragma once

// The engine catalogue in settings.dat, the program folder's profile file.
//
// At start SeedProgramFolder gives a fresh program folder the default catalogue and client
// templates. Profile reads and rewrites settings.dat (each call one whole read or one atomic
// rewrite). LoadEngines turns its [Engines] into the engine list's nodes (name, home page, query
// template, tick); a search start stores the ticks back (SaveActiveFlags), and SaveEngines writes
// the list. A write that fails says so and leaves the file as it was. The engine editor works on
// a copy of the list (UpdateEngine) and makes it the catalogue at "Done" (SaveEnginesOverList).

#include "catalogue/engine_catalogue.h"
#include "catalogue/engine_editing.h"
#include "catalogue/profile.h"
#include "catalogue/program_folder.h"
