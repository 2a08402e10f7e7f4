#pragma once

#include <QByteArrayView>
#include <QString>

#include <chrono>

class Launcher;
class Profile;
class StatusLine;
struct Preferences;

// What the "Stats" panel says when a hand-off fails.
inline const QString kClientFailureText = QStringLiteral("Unable to run FTP Client");

// How long a hand-off's script is kept: its client reads it when it starts, and the next hand-off
// after this time deletes it.
inline constexpr std::chrono::seconds kScriptLifetime{3600};

// The two hand-offs of the results menu: "Connect" drops the templates' optional sections, "Get
// File" keeps them.
enum class HandOff { Connect, GetFile };

// What a hand-off came to.
struct HandOffResult
{
    enum class Problem {
        None,
        NotFtpLink,   // the link does not begin with "ftp://"
        UnsafePiece,  // a piece of the link could break out of the script or command line
        NoClient,     // settings.dat lists no client at the chosen number
        NoTemplate,   // the client's script template cannot be read
        NoProgram,    // no client program is set
        ScriptFailed, // the script cannot be written
        NotStarted,   // the program does not start
    };

    bool started = false;
    Problem problem = Problem::None;
    QString reason; // why not, in words for the user; empty when started
    QString script; // the script file given to the client, if any

    explicit operator bool() const { return started; }
};

// Hands an "ftp://" link to the FTP client chosen in the preferences as `kind` says. The client's "Args" and,
// when they ask for the script ("%s"), its "<name>.scr" template are read afresh from the program
// folder. The expanded script goes to a new owner-only file of its own beside
// `preferences.scriptPath` ("script-XXXXXX.scr"), whose path takes the place of "%s", so that
// hand-offs in quick succession never give a client another one's script. Then the program
// `preferences.ftpPath` is started with the expanded "Args" as its arguments, split at blanks
// outside double quotes and never given to a shell.
//
// Refused, like any failure, with kClientFailureText in the "Stats" panel, a reason in the result
// and nothing written or started: a link that does not begin with "ftp://" (any case), a host
// that is not a plain host name, IPv4 address or bracketed IPv6 address, a port outside
// 1..65535, and a user, password, path or file holding a control character, a double quote or a
// backslash. Other failures: no client at that number, a missing template, an empty `ftpPath`, a
// script that cannot be written, a program that does not start. `preferences.ftpLocal` is given
// its trailing "/" for good.
HandOffResult LaunchClient(QByteArrayView link, HandOff kind, Preferences &preferences, const Profile &profile,
                           Launcher &launcher, StatusLine &status);
