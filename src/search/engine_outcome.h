#pragma once

#include <QByteArray>
#include <QString>

// How one engine's fetch went, told once its links are out: shown in the engine's tooltip and
// printed by a verbose command-line search.
struct EngineOutcome
{
    enum class End {
        Closed,   // the server closed the connection: the whole page
        Failed,   // the connection could not be made or broke, or no page came; `failure` says why
        Silent,   // nothing arrived for TimeLimits::pageSilence
        TimedOut, // still arriving after TimeLimits::pageTotal
        TooLarge, // cut at TimeLimits::pageCap
    };

    int engine = 0; // node index in the engine list
    QString name;
    End end = End::Closed;
    // Empty when the page came whole; else in a few words: "connection refused", "timed out",
    // "certificate not trusted: ...", "tunnel refused by proxy: ...", "too many redirects", ...
    QString failure;
    QByteArray statusLine; // of the page extracted, if it had one
    QByteArray lastAddress; // where the page was fetched from at last, when redirected
    qsizetype pageBytes = 0; // the response as received, header included
    int links = 0;   // quoted ftp and http links on the page
    int results = 0; // of them, new entries of the results
    qint64 milliseconds = 0; // from the first connect to the page's end
};

// "OUTCOME; B bytes, L links, R results, S.S s", OUTCOME being the failure, else the status line.
QString outcomeSummary(const EngineOutcome &outcome);
// The summary, and the address fetched last when the engine redirected.
QString outcomeToolTip(const EngineOutcome &outcome);
