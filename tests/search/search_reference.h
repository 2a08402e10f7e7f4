#pragma once

// The link rules restated plainly (none of the production code) and a search's result side, to hold against each other.

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "search/results.h"
#include "search/search_state.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ref {

using std::string;
constexpr auto npos = string::npos;
using Links = std::vector<std::pair<string, bool>>; // link, isHTTP

inline string lowered(string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return s;
}
inline bool hasControl(const string &s) { return std::any_of(s.begin(), s.end(), [](unsigned char c) { return c < 32 || c == 127; }); }

// "%" and two hexadecimal digits are that byte; a "%" so made is read again with what follows it.
inline string unescaped(string s)
{
    const auto hex = [](char c) { return string("0123456789abcdefABCDEF").find(c) != npos; };
    for (std::size_t i = 0; (i = s.find('%', i)) != npos;) {
        if (i + 2 < s.size() && hex(s[i + 1]) && hex(s[i + 2]))
            s.replace(i, 3, 1, char(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
        else
            ++i;
    }
    return s;
}

// Without "?", not ending in exactly "html" or "htm", something behind the first "/" behind the
// host, and a word of the search (split at " " and "+") in it in any case.
inline bool httpTaken(const string &link, const string &search)
{
    const std::size_t slash = link.find("//") == npos ? npos : link.find('/', link.find("//") + 3);
    if (link.find('?') != npos || link.ends_with("html") || link.ends_with("htm") || slash == npos || slash + 1 == link.size())
        return false;
    for (std::size_t from = 0; from <= search.size();) {
        const std::size_t end = std::min(search.find(' ', from), search.find('+', from));
        const string word = search.substr(from, end - from);
        if (!word.empty() && lowered(link).find(lowered(word)) != npos) return true;
        from = end == npos ? npos : end + 1;
    }
    return false;
}

// Mode 1: the ftp pass, 2: the http pass, 3: both. From where the last link ended, the first href="scheme (any case), or when
// none is left href='scheme; the link runs to its quote, and one without it ends the pass.
inline Links extracted(const string &page, int mode, const string &search)
{
    Links found;
    const string folded = lowered(page);
    for (const bool http : {false, true}) {
        const string scheme = http ? "http://" : "ftp://";
        std::size_t doubled = folded.find("href=\"" + scheme); // looked for again once passed
        for (std::size_t from = 0; mode >= 1 && mode <= 3 && (mode & (http ? 2 : 1));) {
            if (doubled != npos && doubled < from) doubled = folded.find("href=\"" + scheme, from);
            const std::size_t at = doubled != npos ? doubled : folded.find("href='" + scheme, from);
            const std::size_t end = at == npos ? npos : page.find(doubled != npos ? '"' : '\'', at + 6);
            if (end == npos) break;
            const string link = unescaped(page.substr(at + 6, end - at - 6));
            if (!hasControl(link) && (!http || httpTaken(link, search))) found.emplace_back(link, http);
            from = end + 1;
        }
    }
    return found;
}

// Server: up to the first "/" behind "://" (from the third character on without it); path: on to the last "/"; file: the rest.
// Host: the server behind "://" and the last "@", up to a ":" (in a host that starts with "[", the first from its "]" on).
struct Parts { string server, path, file, host; };
inline Parts split(const string &link)
{
    const std::size_t scheme = link.find("://"), slash = link.find('/', scheme == npos ? 2 : scheme + 3), last = link.rfind('/');
    Parts p{link.substr(0, slash), slash == npos ? "" : link.substr(slash, last + 1 - slash),
            slash == npos ? "" : link.substr(last + 1), ""};
    p.host = p.server.substr(scheme == npos ? 0 : scheme + 3);
    p.host = p.host.substr(p.host.rfind('@') == npos ? 0 : p.host.rfind('@') + 1);
    p.host = p.host.substr(0, p.host.find(':', p.host.starts_with('[') ? p.host.find(']') : 0));
    return p;
}

// A node and record per host, named by its first link's server; each path and file once; none with a control, no host or file.
struct Grouping
{
    int count = 0;
    std::vector<string> nodes, records; // this search's "server host parent picture record"; "server path|file..."
    std::map<string, std::size_t> byHost; // this search's hosts: their record
    std::set<std::pair<std::size_t, string>> entries;

    void startSearch() // an earlier search's records read as the empty record; their numbers stay taken
    {
        nodes.clear(), byHost.clear();
        for (string &record : records) record.clear();
    }
    int add(const string &link, bool http) // the record it was added to, or 0
    {
        const Parts p = split(link);
        const bool rootKey = !byHost.contains(p.host) && (p.server == "FTP" || p.server == "HTTP"); // no node
        if (hasControl(link) || p.file.empty() || p.host.empty() || rootKey) return 0;
        if (byHost.try_emplace(p.host, records.size()).second) {
            records.push_back(p.server);
            nodes.push_back(p.server + ' ' + p.host + (http ? " 2 Working " : " 1 Untested ") + std::to_string(records.size()));
        }
        const std::size_t record = byHost[p.host];
        if (!entries.emplace(record, p.path + '|' + p.file).second) return 0;
        records[record] += ' ' + p.path + '|' + p.file, ++count;
        return int(record) + 1;
    }
    QStringList outcome() const // as Crawl::outcome() shows it
    {
        QStringList all{QString::number(count), "FTP FTP 0 Engine ", "HTTP HTTP 0 Engine "};
        for (const string &text : nodes) all << QString::fromLatin1(text);
        for (const string &text : records) all << QString::fromLatin1(text);
        return all;
    }
};

} // namespace ref

// The result side of a search, as the application wires it.
struct Crawl
{
    Crawl() { results.startSearch(); }
    QString panel() const { return status.text(QStringLiteral("Results")); }
    // The count, each node as "key text parent picture tag", each record as "server path|file ...".
    QStringList outcome() const
    {
        QStringList all{QString::number(state.resultCount)};
        for (int i = 1; i <= ftpList.count(); ++i)
            all << ftpList.key(i) + ' ' + ftpList.text(i) + ' ' + QString::number(ftpList.parentOf(i)) + ' '
                    + pictureKey(ftpList.picture(i)) + ' ' + ftpList.tag(i).toString();
        for (int r = 1; r <= state.servers.upperBound(); ++r) {
            QByteArray text = state.servers[r].ServerURL();
            for (int j = 1; j <= state.servers[r].entryCount(); ++j)
                text += ' ' + state.servers[r].Paths(j) + '|' + state.servers[r].FileNames(j);
            all << QString::fromLatin1(text);
        }
        return all;
    }

    SearchState state;
    NodeTree ftpList{NodeTree::DisplayMode::Pictures};
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
};

// Names the rows of a table test after their `name`, so that each can be run alone.
inline constexpr auto rowName = [](const auto &info) { return std::string(info.param.name); };
