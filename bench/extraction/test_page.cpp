#include "test_page.h"

#include <QRandomGenerator>

namespace {

constexpr char kFiller[] =
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
    "labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco "
    "laboris nisi ut aliquip ex ea commodo consequat. Duis aute irure dolor in reprehenderit in "
    "voluptate velit esse cillum dolore eu fugiat nulla pariatur. <b>Cached</b> - <i>Similar</i> ";

const char *const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};

QByteArray host(int i)
{
    return "srv" + QByteArray::number(i) + ".mirror" + QByteArray::number(i % 97) + ".example.net";
}

} // namespace

QByteArray makeResultPage(const ResultPageShape &shape)
{
    QRandomGenerator random(shape.seed);
    QByteArray page;
    page.reserve(shape.size + 4096);
    page += "<html><head><title>Results</title></head><body><ol class=\"results\">\n";
    const qsizetype perLink = shape.size / shape.links;
    constexpr qsizetype fillerSize = sizeof(kFiller) - 1;

    for (int i = 0; i < shape.links; ++i) {
        const QByteArray h = host(static_cast<int>(random.bounded(shape.hosts)));
        const char *word = kWords[random.bounded(8)];
        const QByteArray n = QByteArray::number(random.bounded(100000));
        const bool capitals = random.bounded(16) == 0;
        const qsizetype start = page.size();

        page += "<li class=\"r\"><a class=\"l\" ";
        page += capitals ? "HREF=\"" : "href=\"";
        switch (i % 3) {
        case 0:
            page += capitals ? "FTP://" : "ftp://";
            page += h + "/pub/mp3/" + word + "/track-" + n + ".mp3";
            break;
        case 1:
            page += "http://" + h;
            if (i % 2 == 0)
                page += QByteArray("/music/") + word + "/live-" + n + ".mp3";
            else
                page += QByteArray("/music/") + word + "/index" + n + ".html";
            break;
        default:
            switch (random.bounded(3)) {
            case 0:
                page += "/search?q=music+live&amp;start=" + n;
                break;
            case 1:
                page += "https://" + h + "/about/" + word + ".html";
                break;
            default:
                page += "javascript:void(0)";
                break;
            }
            break;
        }
        page += "\">";
        page += word;
        page += " - result ";
        page += n;
        page += "</a> <span class=\"s\">";
        const qsizetype used = page.size() - start + 12;
        qsizetype fill = perLink - used + static_cast<qsizetype>(random.bounded(41)) - 20;
        while (fill > 0) {
            const qsizetype piece = std::min(fill, fillerSize);
            page.append(kFiller, piece);
            fill -= piece;
        }
        page += "</span></li>";
        if (i % 16 == 15)
            page += '\n';
    }
    page += "</ol></body></html>\n";
    return page;
}

QByteArray makeDistinctPathsPage(int links, int first)
{
    QByteArray page;
    page.reserve(qsizetype(links) * 64);
    for (int i = first; i < first + links; ++i) {
        page += "<a href=\"ftp://files.example.net/pub/d";
        page += QByteArray::number(i);
        page += "/f.mp3\">f</a> x\n";
    }
    return page;
}
