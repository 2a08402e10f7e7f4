#pragma once

#include "update/update_protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for. Parsing never prints and never exits.
struct CommandLine
{
    enum class Action { Window, Search, Get, Connect, Update, Help, Version, UsageError };

    Action action = Action::Window;
    QString home; // --home DIR; empty: the executable's folder
    bool verbose = false; // --verbose: every kestrune.* log category on, to standard error
    QString error; // for UsageError

    // search
    QString searchText;
    std::optional<int> maxSearch;
    std::optional<int> maxTest;
    std::optional<bool> useProxy;
    QString proxyAddress;
    int proxyPort = 0;
    QStringList engines; // --engine NAME, repeatable
    bool test = false;
    bool verify = false; // --verify: log in to each FTP server found, ask for its files' sizes and dates
    bool json = false;

    // get / connect: the link's bytes exactly as they were given
    QByteArray link;

    // update
    UpdateMode updateMode = UpdateMode::None;
    bool apply = false; // --apply: merge every candidate
};

// `arguments` are the raw argument bytes, program name first.
CommandLine parseCommandLine(const QList<QByteArray> &arguments);
QString usageText();
