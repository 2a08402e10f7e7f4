#pragma once

#include "update/update_protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// A program version as the update server writes it: major, minor, build.
struct ProgramVersion
{
    int major = 0;
    int minor = 0;
    int build = 0;

    friend auto operator<=>(const ProgramVersion &, const ProgramVersion &) = default;
};

// This program's version, the one an answer is compared with.
inline constexpr ProgramVersion kProgramVersion{KESTRUNE_VERSION_MAJOR, KESTRUNE_VERSION_MINOR, KESTRUNE_VERSION_PATCH};

// Whether the answer names a later version than the running one: major first, then minor, then build.
inline bool isNewerVersion(const ProgramVersion &answer, const ProgramVersion &running = kProgramVersion)
{
    return answer > running;
}

// Texts are settings.dat texts: one character per received byte.
struct EngineCandidate
{
    QString name; // decoded from its %-escapes
    QString url;
    QString query;

    friend bool operator==(const EngineCandidate &, const EngineCandidate &) = default;
};

struct ClientCandidate
{
    QString name;
    QString args;
    QString script; // CR LF line ends

    friend bool operator==(const ClientCandidate &, const ClientCandidate &) = default;
};

// What the update server's response holds. A parse that fails keeps what it read before the
// failure (the date, the candidates so far).
struct UpdateAnswer
{
    bool ok = false;
    QString failure; // why not ok, for people

    // A version answer.
    ProgramVersion version;
    QString linkAddress; // where the newer version is, as sent

    // An engine or client list.
    std::optional<QString> date;
    QList<EngineCandidate> engines;
    QList<ClientCandidate> clients;
};

// Reads a whole response, header and body, as the mode says; a pure function of its input.
// Lines of the lists end in LF or CR LF. A record that would not survive settings.dat (a control
// character in a name, address, template or argument, or a client name that cannot name a file)
// or could not search (a query template without "%s") is not offered; the parse goes on. A query
// template given twice fails the parse, and so does a status line other than 2xx.
UpdateAnswer ParseUpdateResponse(QByteArrayView received, UpdateMode mode);

// Every LF becomes CR LF; a CR already in front of it stays, so CR LF becomes CR CR LF.
void LfToCrLf(QByteArray &text);
