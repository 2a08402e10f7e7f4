#include "ftpclient/server_details.h"

#include "ftpclient/detail/ftp_url.h"
#include "platform/node_tree.h"
#include "search/file_facts.h"
#include "search/server_table.h"

#include <QDateTime>
#include <QLocale>

namespace {

constexpr Picture kPathPicture = Picture::Path;
constexpr Picture kFilePicture = Picture::File;

// Latin-1 pieces joined into one text without an intermediate byte array.
QString joined(std::initializer_list<QByteArrayView> pieces)
{
    qsizetype size = 0;
    for (const QByteArrayView piece : pieces)
        size += piece.size();
    QString text;
    text.reserve(size);
    for (const QByteArrayView piece : pieces)
        text.append(QLatin1StringView(piece));
    return text;
}

// A file's size and date as the links list shows them; empty where nothing is known.
void showFact(NodeTree &linksList, int node, FileFact fact)
{
    if (node == 0)
        return;
    const QString size = fact.missing() ? QStringLiteral("missing")
        : fact.hasSize()                ? QLocale().formattedDataSize(fact.size, 1, QLocale::DataSizeTraditionalFormat)
                                        : QString();
    linksList.setCellText(node, 1, size);
    linksList.setCellText(node, 2, fact.hasDate() ? QDateTime::fromSecsSinceEpoch(fact.modified).toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString());
}

void listFiles(const ServerRecord &record, int recordIndex, ListLayout listViewType, NodeTree &linksList, const FileFacts *facts)
{
    const QByteArray &serverURL = record.ServerURL();
    // Files share their directories, most of the time, in the Detailed layout.
    const int files = record.entryCount();
    const bool hasFacts = facts && facts->hasFiles(recordIndex);
    linksList.reserve(listViewType == ListLayout::Detailed ? files + files / 4 : files);
    for (int j = 1; j <= files; ++j) {
        const QByteArrayView path = record.pathView(j);
        const QByteArrayView file = record.fileNameView(j);
        const QString link = joined({serverURL, path, file});
        int node = 0;
        switch (listViewType) {
        case ListLayout::List:
            node = linksList.add(link, joined({file}), 0, kFilePicture);
            break;
        case ListLayout::HalfDetailed:
            node = linksList.add(link, joined({path, file}), 0, kFilePicture);
            break;
        case ListLayout::Detailed: {
            const QString directory = joined({path});
            // A directory already listed keeps its node; its new file joins the others there.
            linksList.add(directory, directory, 0, kPathPicture);
            if (const int parent = linksList.indexOf(directory); parent != 0)
                node = linksList.add(link, joined({file}), parent, kFilePicture);
            break;
        }
        default:
            return;
        }
        if (hasFacts)
            showFact(linksList, node, facts->file(recordIndex, j));
    }
}

} // namespace

SearchInfo ShowServerDetails(const NodeTree &ftpList, int selected, const ServerTable &servers,
                             ListLayout listViewType, NodeTree &linksList, const FileFacts *facts)
{
    linksList.beginBulkUpdate();
    linksList.clear();
    // Root nodes carry no tag, which reads as record 0: the empty record.
    bool isNumber = false;
    const int record = ftpList.tag(selected).toInt(&isNumber);
    if (isNumber && record >= 0 && record <= servers.upperBound())
        listFiles(servers[record], record, listViewType, linksList, facts);
    linksList.endBulkUpdate();

    SearchInfo info;
    const int parent = ftpList.parentOf(selected);
    if (parent == 0 || ftpList.text(parent) != QLatin1String("FTP"))
        return info;
    return LoginDetails(ftpList.key(selected).toLatin1());
}

SearchInfo LoginDetails(QByteArrayView serverURL)
{
    const FtpLink link = ParseFTPURL(serverURL);
    return {QString::fromLatin1(link.host), QString::fromLatin1(link.port), QString::fromLatin1(link.user),
            QString::fromLatin1(link.password)};
}

void ShowFileFact(const ServerTable &servers, int record, int entry, const FileFacts &facts, NodeTree &linksList)
{
    if (record < 1 || record > servers.upperBound() || entry < 1 || entry > servers[record].entryCount())
        return;
    const ServerRecord &server = servers[record];
    showFact(linksList, linksList.indexOf(joined({server.ServerURL(), server.pathView(entry), server.fileNameView(entry)})),
             facts.file(record, entry));
}
