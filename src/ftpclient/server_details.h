#pragma once

#include "prefs/preferences.h"

#include <QString>

class FileFacts;
class NodeTree;
class ServerTable;

// The login details of a selected FTP server, as the "Search Info:" fields show them.
struct SearchInfo
{
    QString address;
    QString port;
    QString user;
    QString password;

    friend bool operator==(const SearchInfo &, const SearchInfo &) = default;
};

// What selecting node `selected` of `ftpList` shows: `linksList` is refilled with the server's
// files in layout `listViewType` (List, HalfDetailed, or Detailed: directory nodes with their
// files; any other value lists nothing). A file node's key is its whole link, the key a hand-off
// takes. The login details are filled only for a server under the "FTP" root; root nodes, and
// servers under "HTTP", leave them empty. Texts carry the link's bytes one to one (Latin-1).
// With `facts`, each file's size and date fill the links list's two extra columns.
SearchInfo ShowServerDetails(const NodeTree &ftpList, int selected, const ServerTable &servers,
                             ListLayout listViewType, NodeTree &linksList, const FileFacts *facts = nullptr);

// The login details of an FTP server URL, as a hand-off reads them from its links.
SearchInfo LoginDetails(QByteArrayView serverURL);

// Brings the size and date columns of a file that the links list shows up to date with `facts`;
// nothing when the list does not show it.
void ShowFileFact(const ServerTable &servers, int record, int entry, const FileFacts &facts, NodeTree &linksList);
