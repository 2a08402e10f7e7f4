#include "ftpclient/server_details.h"

#include "ftpclient/detail/ftp_url.h"
#include "platform/node_tree.h"
#include "search/server_table.h"

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

void listFiles(const ServerRecord &record, ListLayout listViewType, NodeTree &linksList)
{
    const QByteArray &serverURL = record.ServerURL();
    // Files share their directories, most of the time, in the Detailed layout.
    const int files = record.entryCount();
    linksList.reserve(listViewType == ListLayout::Detailed ? files + files / 4 : files);
    for (int j = 1; j <= files; ++j) {
        const QByteArrayView path = record.pathView(j);
        const QByteArrayView file = record.fileNameView(j);
        const QString link = joined({serverURL, path, file});
        switch (listViewType) {
        case ListLayout::List:
            linksList.add(link, joined({file}), 0, kFilePicture);
            break;
        case ListLayout::HalfDetailed:
            linksList.add(link, joined({path, file}), 0, kFilePicture);
            break;
        case ListLayout::Detailed: {
            const QString directory = joined({path});
            // A directory already listed keeps its node; its new file joins the others there.
            linksList.add(directory, directory, 0, kPathPicture);
            if (const int parent = linksList.indexOf(directory); parent != 0)
                linksList.add(link, joined({file}), parent, kFilePicture);
            break;
        }
        default:
            return;
        }
    }
}

} // namespace

SearchInfo ShowServerDetails(const NodeTree &ftpList, int selected, const ServerTable &servers,
                             ListLayout listViewType, NodeTree &linksList)
{
    linksList.beginBulkUpdate();
    linksList.clear();
    // Root nodes carry no tag, which reads as record 0: the empty record.
    bool isNumber = false;
    const int record = ftpList.tag(selected).toInt(&isNumber);
    if (isNumber && record >= 0 && record <= servers.upperBound())
        listFiles(servers[record], listViewType, linksList);
    linksList.endBulkUpdate();

    SearchInfo info;
    const int parent = ftpList.parentOf(selected);
    if (parent == 0 || ftpList.text(parent) != QLatin1String("FTP"))
        return info;
    const FtpLink link = ParseFTPURL(ftpList.key(selected).toLatin1());
    info.address = QString::fromLatin1(link.host);
    info.port = QString::fromLatin1(link.port);
    info.user = QString::fromLatin1(link.user);
    info.password = QString::fromLatin1(link.password);
    return info;
}
