#pragma once

#include <QByteArray>
#include <QString>

// What the window benchmark's engines answer: `entries` ftp links over `engines` result pages, on
// `servers` hosts. One big server gets every tenth link (a tenth of the entries, in 100 folders);
// the others are spread evenly over the remaining `servers - 1` hosts, a few files each. Every
// link is distinct, so a search finds exactly `entries` results. Every host is a loopback address
// (127.x.y.z, never 127.0.0.1, where nginx listens): nothing could leave the machine even if a link
// were followed.
struct ResultCorpus
{
    int engines = 100;
    int entries = 1'000'000;
    int servers = 100'000;

    // The big server's file count, and the folders they sit in.
    int bigFiles() const { return (entries + 9) / 10; }
    int bigFolders() const;
    // The host of server `server`, 0 being the big one.
    QByteArray host(int server) const;
    // The name of the big server's file `k` (0-based), as the List layout shows it.
    QByteArray bigFileName(int k) const;
    // The result page of engine `engine` (0-based): its share of the links, each in an anchor
    // with a double-quoted href.
    QByteArray page(int engine) const;
    // Page file names under the web root: "e001", "e002", ...
    static QString pageName(int engine);
};

// The text of a settings.dat listing these engines in order, all active, as the tests write one:
// "[Engines]", "Count", the "NameN" lines, then a section per engine with URL, QUERY and Active,
// CR LF line ends. Engine N (1-based) is called "EngineN" and asks `base` + pageName(N - 1).
QByteArray catalogueFile(int engines, const QByteArray &base);
