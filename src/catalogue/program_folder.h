#pragma once

#include <QString>

// What seeding a program folder came to.
struct [[nodiscard]] SeedResult
{
    enum class Problem {
        None,                // settings.dat was there already, or is now
        TemplateNotWritten,  // a client template could not be written, so settings.dat was not either
        CatalogueNotWritten, // every template is there, settings.dat could not be written
    };
    Problem problem = Problem::None;
    QString reason; // for people: the files and the file system's words; empty without a problem

    explicit operator bool() const { return problem == Problem::None; }
};

// Gives a program folder that has no settings.dat the default catalogue and client templates.
// Files already there are never touched. settings.dat is written only once every template is
// there, so a folder whose seeding was cut short is seeded again at the next start. A problem when
// settings.dat is missing and was not written (a read-only folder, or a template that could not
// be written): the program then runs with an empty catalogue and says so.
SeedResult SeedProgramFolder(const QString &folder);
