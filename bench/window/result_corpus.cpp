#include "result_corpus.h"

#include <algorithm>

namespace {

constexpr int kBigFolders = 100;

} // namespace

int ResultCorpus::bigFolders() const
{
    return std::min(kBigFolders, bigFiles());
}

QByteArray ResultCorpus::host(int server) const
{
    // From 127.0.0.2 on: 127.0.0.1 is nginx's.
    const int n = server + 2;
    return "127." + QByteArray::number((n >> 16) & 255) + '.' + QByteArray::number((n >> 8) & 255) + '.'
           + QByteArray::number(n & 255);
}

QByteArray ResultCorpus::bigFileName(int k) const
{
    return "big-" + QByteArray::number(k).rightJustified(6, '0') + ".mp3";
}

QByteArray ResultCorpus::page(int engine) const
{
    const qint64 first = qint64(entries) * engine / engines;
    const qint64 end = qint64(entries) * (engine + 1) / engines;
    QByteArray text = "<html><head><title>results</title></head><body><ol>\n";
    text.reserve(static_cast<qsizetype>((end - first) * 90));
    const QByteArray bigHost = host(0);
    for (qint64 g = first; g < end; ++g) {
        QByteArray link = "ftp://";
        QByteArray name;
        if (g % 10 == 0) {
            const int k = static_cast<int>(g / 10);
            name = bigFileName(k);
            link += bigHost + "/music/d" + QByteArray::number(k % bigFolders()) + '/' + name;
        } else {
            // The r-th link that is not the big server's.
            const qint64 r = g - g / 10 - 1;
            name = 'f' + QByteArray::number(r) + ".mp3";
            link += host(1 + static_cast<int>(r % (servers - 1))) + "/pub/" + QByteArray::number(r % 7) + '/' + name;
        }
        text += "<li><a href=\"" + link + "\">" + name + "</a></li>\n";
    }
    return text + "</ol></body></html>\n";
}

QString ResultCorpus::pageName(int engine)
{
    return QStringLiteral("e%1").arg(engine + 1, 3, 10, QLatin1Char('0'));
}

QByteArray catalogueFile(int engines, const QByteArray &base)
{
    QByteArray list = "[Engines]\r\nCount=" + QByteArray::number(engines) + "\r\n";
    QByteArray sections;
    for (int e = 1; e <= engines; ++e) {
        const QByteArray name = "Engine" + QByteArray::number(e);
        list += "Name" + QByteArray::number(e) + '=' + name + "\r\n";
        sections += '[' + name + "]\r\nURL=" + base + "\r\nQUERY=" + base + ResultCorpus::pageName(e - 1).toLatin1()
                    + "?q=%s\r\nActive=True\r\n";
    }
    return list + sections;
}
