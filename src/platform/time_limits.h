#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <optional>

// The limits that keep a silent or endless peer from holding the program. One place for all of
// them; tests pass smaller ones.
struct TimeLimits
{
    // A page fetch that receives nothing for this long completes with what arrived.
    std::chrono::milliseconds pageSilence{60'000};
    // A page still arriving after this long (a peer that trickles) completes with what arrived.
    std::chrono::milliseconds pageTotal{180'000};
    // A page that grows beyond this completes with what arrived.
    qsizetype pageCap = qsizetype(64) * 1024 * 1024;
    // A server test with no answer in this time marks the server "Dead".
    std::chrono::milliseconds serverTest{15'000};
    // A verify waits this long between two files of the same server, to be a light guest.
    std::chrono::milliseconds verifyPause{100};
    // An update exchange silent for this long shows "Error occured".
    std::chrono::milliseconds updateSilence{60'000};
    // An update exchange still arriving after this long (a server that trickles) fails too.
    std::chrono::milliseconds updateTotal{180'000};

    // The limits that `text` names, the others as they are: comma-separated NAME=VALUE pairs with
    // the names above, times in milliseconds (below 2^31) and the cap in bytes, each from 1 on
    // but verifyPause, which may be 0 ("pageSilence=2000,pageCap=1048576"). Nothing, with `error` set, when a pair is not so.
    static std::optional<TimeLimits> fromText(QByteArrayView text, QString *error = nullptr);
};
