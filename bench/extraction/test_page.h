#pragma once

#include <QByteArray>

// Synthetic result pages for the extraction benchmarks. Deterministic for a given seed.

// The search the generated http file links match.
inline constexpr char kBenchSearch[] = "music+live";

struct ResultPageShape
{
    qsizetype size = qsizetype(64) * 1024 * 1024;
    int links = 350'000; // anchors of every kind
    int hosts = 5'000;
    quint32 seed = 1;
};

// A result page of about `size` bytes: a third of the anchors ftp links, a third http links (half
// files that match kBenchSearch, half html pages), a third other anchors (relative, https,
// javascript). All double-quoted, some in capitals; lines of a few kilobytes.
QByteArray makeResultPage(const ResultPageShape &shape);

// `links` ftp links on one host, each file in a directory of its own, numbered from `first`.
QByteArray makeDistinctPathsPage(int links, int first = 0);
