#pragma once

#include <QByteArray>
#include <QByteArrayView>

class Core;
class QIODevice;
struct CommandLine;

// `kestrune search`: one crawl through the same Core the window uses, results printed as they are
// found, optionally followed by the server tests. Runs the event loop until done; `out` is
// flushed before it returns the exit status.
int runSearchCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err, bool progressToTerminal);

// `kestrune get|connect`: the results menu's hand-off. Prints nothing on success.
int runHandOffCommand(const CommandLine &line, Core &core, QIODevice &err);

// `kestrune update`: one exchange with the update server, its offer printed one a line; with
// --apply every offered engine or client is merged.
int runUpdateCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err);

// One JSON string of bytes: each byte is the character of the same number (U+0000 to U+00FF), so
// that a reader gets every byte back by encoding the text as Latin-1.
QByteArray jsonString(QByteArrayView bytes);
// The same, appended to `json`.
void appendJsonString(QByteArray &json, QByteArrayView bytes);
