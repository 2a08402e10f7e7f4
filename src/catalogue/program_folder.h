#pragma once

#include <QString>

// Gives a program folder that has no settings.dat the default catalogue and client templates.
// Files already there are never touched. settings.dat is written only once every template is
// there, so a folder whose seeding was cut short is seeded again at the next start. False when
// settings.dat is missing and was not written (a read-only folder, or a template that could not
// be written): the program then runs with an empty catalogue and says so.
bool SeedProgramFolder(const QString &folder);
