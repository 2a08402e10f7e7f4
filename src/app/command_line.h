#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. Parsing never exits the program itself.
struct CommandLine
{
    enum class Action { Window, Help, Version, UsageError };

    Action action = Action::Window;
    QString home;  // --home DIR; empty: the executable's folder
    QString error; // for UsageError
};

CommandLine parseCommandLine(const QStringList &arguments);
QString usageText();
