#pragma once

// The program: main() reads the command line (command_line), seeds the program folder, and builds
// one Core, which holds the catalogue, the preferences, the search, the tester and their lists.
// Then either the MainWindow binds views to Core's lists and turns clicks into Core's intent
// methods, or a command (cli) runs one search or hand-off through the same Core and prints what
// Core's signals carry. Nothing in this folder decides a rule of the search, the tests or the
// hand-off; it only shows and asks.

#include "app/cli.h"
#include "app/command_line.h"
#include "app/core.h"
#include "app/main_window.h"
