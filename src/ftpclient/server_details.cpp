#include "ftpclient/server_details.h"

#include "ftpclient/detail/ftp_url.h"
#include "platform/node_tree.h"
#include "search/server_table.h"

namespace {

constexpr Picture kPathPicture = Picture::Path;
constexpr Picture kFilePicture = Picture::File;

void listFiles(const ServerRecord &record, ListLayout listViewType, NodeTree &linksList)
{
    const QByteArray &serverURL = record.ServerURL();
    for (int j = 1; j <= record.entryCount(); ++j) {
        const QByteArray path = record.Paths(j);
        const QByteArray file = record.FileNames(j);
        const QString link = QString::fromLatin1(serverURL + path + file);
        switch (listViewType) {
        case ListLayout::List:
            linksList.add(link, QString::fromLatin1(file), 0, kFilePicture);
            break;
        case ListLayout::HalfDetailed:
            linksList.add(link, QString::fromLatin1(path + file), 0, kFilePicture);
            break;
        case ListLayout::Detailed: {
            const QString directory = QString::fromLatin1(path);
            // A directory already listed keeps its node; its new file joins the others there.
            linksList.add(directory, directory, 0, kPathPicture);
            if (const int parent = linksList.indexOf(directory); parent != 0)
                linksList.add(link, QString::fromLatin1(file), parent, kFilePicture);
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
