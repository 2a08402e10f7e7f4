#pragma once

#include <QByteArrayView>
#include <QString>

class Launcher;
class Profile;
class StatusLine;
struct Preferences;

// What the "Stats" panel says when a hand-off fails.
inline const QString kClientFailureText = QStringLiteral("Unable to run FTP Client");

// Hands an "ftp://" link to the FTP client chosen in the preferences: "Get File" (`getFile`
// true) keeps the templates' optional sections, "Connect" drops them. The client's "Args" and,
// when they ask for the script ("%s"), its "<name>.scr" template are read afresh from the program
// folder; a script that expands to something is written to `preferences.scriptPath` before the
// program `preferences.ftpPath` is started with the expanded "Args" as its arguments, split at
// blanks outside double quotes and never given to a shell.
//
// Refused, like any failure, with kClientFailureText in the "Stats" panel and nothing written or
// started: a host that is not a plain host name or IPv4 address, a port outside 1..65535, and a
// user, password, path or file holding a control character, a double quote or a backslash.
// Other failures: no client at that number, a missing template, an empty `ftpPath`, a script that
// cannot be written, a program that does not start. `preferences.ftpLocal` is given its trailing
// "/" for good. True when the client was started.
bool LaunchClient(QByteArrayView link, bool getFile, Preferences &preferences, const Profile &profile,
                  Launcher &launcher, StatusLine &status);
