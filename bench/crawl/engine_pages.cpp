#include "engine_pages.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr char kFiller[] =
    "Lorem ipsum dolor sit amet, <b>consectetur</b> adipiscing elit, sed do eiusmod tempor incididunt ut "
    "labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco "
    "laboris nisi ut aliquip ex ea commodo consequat. <em>Duis aute irure</em> dolor in reprehenderit in "
    "voluptate velit esse cillum dolore eu fugiat nulla pariatur. Excepteur sint occaecat cupidatat non "
    "proident, sunt in culpa qui officia deserunt mollit anim id est laborum. ";
constexpr qsizetype kFillerSize = sizeof(kFiller) - 1;

// None of them holds a search word: only the words put in on purpose make a link match.
const char *const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                              "india", "juliet", "kilo", "lima", "oscar", "papa", "quebec", "romeo"};
const char *const kFtpExtensions[] = {".mp3", ".mp3", ".mp3", ".ogg", ".zip", ".tar.gz", ".iso", ".flac"};

const QByteArray kHeader = "<!DOCTYPE html>\n<html><head><meta charset=\"iso-8859-1\"><title>music live - Search</title>"
                           "<style>.g{margin:0 0 8px}.s{color:#444}</style></head>\n<body><div id=\"res\"><ol>\n";
const QByteArray kFooter = "</ol></div></body></html>\n";

QByteArray ftpHost(quint32 n)
{
    return "ftp" + QByteArray::number(n) + ".mirror" + QByteArray::number(n % 53) + ".example";
}

QByteArray webHost(quint32 n)
{
    return "www" + QByteArray::number(n) + ".site" + QByteArray::number(n % 31) + ".example";
}

struct Anchor
{
    QByteArray target;
    QByteArray title;
    bool capitals = false;  // HREF= and an upper-case scheme
    QByteArray resultKey;   // empty when the link is no result
    bool ftpOrHttp = false; // what the rg pattern lists
};

Anchor ftpAnchor(QRandomGenerator &random)
{
    Anchor a;
    const QByteArray host = ftpHost(random.bounded(4000));
    const char *dir = kWords[random.bounded(16)];
    const char *sub = kWords[random.bounded(16)];
    const QByteArray n = QByteArray::number(random.bounded(40000));
    const char *extension = kFtpExtensions[random.bounded(8)];
    a.capitals = random.bounded(16) == 0;
    a.ftpOrHttp = true;

    QByteArray server = (a.capitals ? "FTP://" : "ftp://");
    if (random.bounded(30) == 0)
        server += "anonymous:guest@" + host + ":2121";
    else
        server += host;
    const QByteArray path = "/pub/" + QByteArray(dir) + '/' + sub + '/';
    if (random.bounded(40) == 0) {
        // A directory: listed by rg, no file name for a result.
        a.target = server + path;
        a.title = "Index of " + path;
        return a;
    }
    QByteArray file = QByteArray(sub) + "-" + n + extension;
    QByteArray decoded = file;
    if (random.bounded(10) == 0) {
        file = QByteArray(dir) + "%20set%20" + n + extension;
        decoded = QByteArray(dir) + " set " + n + extension;
    }
    a.target = server + path + file;
    a.title = decoded;
    a.resultKey = host + ' ' + path + decoded;
    return a;
}

Anchor httpAnchor(QRandomGenerator &random)
{
    Anchor a;
    const QByteArray host = webHost(random.bounded(3000));
    const char *word = kWords[random.bounded(16)];
    const QByteArray n = QByteArray::number(random.bounded(40000));
    a.capitals = random.bounded(16) == 0;
    a.ftpOrHttp = true;
    const QByteArray server = (a.capitals ? "HTTP://" : "http://") + host;
    const quint32 kind = random.bounded(20);
    QByteArray path;
    QByteArray file;
    bool result = false;
    if (kind < 10) { // a file whose path holds a search word
        if (random.bounded(2)) {
            path = "/music/" + QByteArray(word) + '/';
            file = QByteArray(word) + '-' + n + ".ogg";
        } else {
            path = "/audio/" + QByteArray(word) + '/';
            file = "LIVE-" + n + ".mp3";
        }
        result = true;
    } else if (kind < 15) { // a page, never a result
        path = "/music/" + QByteArray(word) + '/';
        file = "index" + n + (random.bounded(2) ? ".html" : ".htm");
    } else if (kind < 18) { // a file that does not match the search
        path = "/docs/" + QByteArray(word) + '/';
        file = "report-" + n + ".pdf";
    } else { // a script with a query, never a result
        path = "/music/";
        file = "get.php?id=" + n;
    }
    a.target = server + path + file;
    a.title = QByteArray(word) + ' ' + n;
    if (result)
        a.resultKey = host + ' ' + path + file;
    return a;
}

Anchor otherAnchor(QRandomGenerator &random, int engine)
{
    Anchor a;
    const QByteArray n = QByteArray::number(random.bounded(100000));
    switch (random.bounded(6)) {
    case 0:
        a.target = "/url?q=music+live&amp;sa=U&amp;ved=" + n;
        break;
    case 1:
        a.target = "https://" + webHost(random.bounded(3000)) + "/music/live-" + n + ".mp3";
        break;
    case 2:
        a.target = "javascript:void(0)";
        break;
    case 3:
        a.target = "mailto:webmaster@engine" + QByteArray::number(engine) + ".example";
        break;
    case 4:
        a.target = "#result" + n;
        break;
    default:
        a.target = "/search?q=music+live&amp;start=" + n;
        break;
    }
    a.title = "more " + n;
    return a;
}

} // namespace

QByteArray makeEnginePage(int engine, const EnginePageShape &shape, EnginePageCounts &counts,
                          QSet<QByteArray> &resultKeys)
{
    QRandomGenerator random(static_cast<quint32>(1000 + engine));
    QByteArray page;
    page.reserve(shape.size);
    page += kHeader;
    const qsizetype body = shape.size - kHeader.size() - kFooter.size();

    for (int i = 0; i < shape.links; ++i) {
        const quint32 kind = random.bounded(100);
        const Anchor a = kind < 45 ? ftpAnchor(random) : kind < 70 ? httpAnchor(random) : otherAnchor(random, engine);
        if (a.ftpOrHttp)
            ++counts.hrefLinks;
        if (!a.resultKey.isEmpty())
            resultKeys.insert(a.resultKey);

        page += "<li class=\"g\"><h3 class=\"r\">";
        page += a.capitals ? "<A HREF=\"" : "<a href=\"";
        page += a.target;
        page += a.capitals ? "\">" : "\" class=\"l\">";
        page += a.title;
        page += a.capitals ? "</A>" : "</a>";
        page += "</h3><div class=\"s\"><cite>engine ";
        page += QByteArray::number(engine);
        page += " &rsaquo; result ";
        page += QByteArray::number(i + 1);
        page += "</cite> <span class=\"st\">";

        // Each result ends where its share of the page ends, so the page has exactly `size` bytes.
        constexpr qsizetype kClosing = sizeof("</span></div></li>\n") - 1;
        const qsizetype end = kHeader.size() + body * (i + 1) / shape.links;
        qsizetype fill = end - page.size() - kClosing;
        qsizetype offset = static_cast<qsizetype>(random.bounded(static_cast<quint32>(kFillerSize)));
        while (fill > 0) {
            const qsizetype piece = std::min(fill, kFillerSize - offset);
            page.append(kFiller + offset, piece);
            fill -= piece;
            offset = 0;
        }
        page += "</span></div></li>\n";
    }
    page += kFooter;
    return page;
}
