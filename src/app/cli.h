#pragma once

#include <QByteArray>
#include <QByteArrayView>

class Core;
class QIODevice;
struct CommandLine;

// `kestrune search`: one crawl through the same Core the window uses, results printed as they are
// found, optionally followed by the server tests. Runs the event loop until done; returns the
// exit status.
int runSearchCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err, bool progressToTerminal);

// `kestrune get|connect`: the results menu's hand-off. Prints nothing on success.
int runHandOffCommand(const CommandLine &line, Core &core, QIODevice &err);

// One JSON string for bytes that are meant as UTF-8: invalid sequences become U+FFFD.
QByteArray jsonString(QByteArrayView utf8);
