#pragma once

#include <QString>

// Gives a program folder that has no settings.dat the default catalogue and client templates.
// Files already there are never touched. False when settings.dat is missing and could not be
// written (a read-only folder): the program then runs with an empty catalogue.
bool SeedProgramFolder(const QString &folder);
