#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// What a line asks for, in words: the action, then each thing it sets.
QString described(const CommandLine &l)
{
    if (l.action == CommandLine::Action::UsageError) return l.error.isEmpty() ? u"error without words"_s : u"error"_s;
    const auto number = [](const char *name, std::optional<int> n) { return n ? name + QString::number(*n) : QString(); };
    const QString proxy = !l.useProxy ? QString() : *l.useProxy ? "proxy=" + l.proxyAddress + ':' + QString::number(l.proxyPort) : u"no-proxy"_s;
    QStringList d{QStringList{"window", "search", "get", "connect", "update", "help", "version"}.value(int(l.action)), l.home,
                  l.verbose ? u"verbose"_s : QString(), number("max-search=", l.maxSearch), number("max-test=", l.maxTest), proxy,
                  l.engines.join(u','), l.test ? u"test"_s : QString(), l.json ? u"json"_s : QString(), l.searchText,
                  QString::fromLatin1(l.link.toPercentEncoding(":/")), QStringList{"", "check", "engines", "clients"}.value(int(l.updateMode)),
                  l.apply ? u"apply"_s : QString()};
    d.removeAll(QString());
    return d.join(u' ');
}

// Each row names itself: the words after the program name, and what they ask for.
TEST(CommandLine, SaysWhatEachLineAsksFor)
{
    const struct { const char *name; std::vector<const char *> words; const char *parsed; } rows[] = {
        {"nothing", {}, "window"}, {"help", {"--home", "/h", "-h"}, "help /h"}, {"version", {"--version", "search"}, "version"},
        {"before the command", {"--home=/h", "--verbose", "search", "a", " b"}, "search /h verbose a  b"},
        {"verbose after search", {"search", "x", "--verbose"}, "search verbose x"}, {"home without a folder", {"--home"}, "error"},
        {"unknown command", {"fly"}, "error"}, {"get keeps the link's bytes", {"get", "ftp://h/\xe9 a.mp3"}, "get ftp://h/%E9%20a.mp3"},
        {"connect", {"--verbose", "connect", "l"}, "connect verbose l"}, {"get without a link", {"get"}, "error"},
        {"connect with two links", {"connect", "a", "b"}, "error"}, {"search without text", {"search"}, "error"},
        {"search with blank text", {"search", " ", "  "}, "error"},
        {"-- ends the options", {"search", "--", "--json", "-x"}, "search --json -x"},
        {"unknown option", {"search", "--colour", "x"}, "error"}, {"test and json", {"search", "--test", "--json", "x"}, "search test json x"},
        {"max-search 1", {"search", "--max-search", "1", "x"}, "search max-search=1 x"}, {"max-search 10000", {"search", "--max-search", "10000", "x"}, "search max-search=10000 x"},
        {"max-search 10001", {"search", "--max-search", "10001", "x"}, "error"},
        {"max-search 0", {"search", "--max-search", "0", "x"}, "error"}, {"max-search alone", {"search", "x", "--max-search"}, "error"},
        {"max-test 10000", {"search", "--max-test", "10000", "x"}, "search max-test=10000 x"}, {"max-test 10001", {"search", "--max-test", "10001", "x"}, "error"},
        {"max-test not a number", {"search", "--max-test", "ten", "x"}, "error"},
        {"proxy port 65535", {"search", "--proxy", "p.local:65535", "x"}, "search proxy=p.local:65535 x"},
        {"proxy port 1, IPv6", {"search", "--proxy", "[::1]:1", "x"}, "search proxy=[::1]:1 x"},
        {"proxy host of one letter", {"search", "--proxy", "h:80", "x"}, "search proxy=h:80 x"},
        {"proxy port 65536", {"search", "--proxy", "p.local:65536", "x"}, "error"}, {"proxy port 0", {"search", "--proxy", "p.local:0", "x"}, "error"},
        {"proxy without a port", {"search", "--proxy", "p.local", "x"}, "error"},
        {"proxy without a host", {"search", "--proxy", ":3128", "x"}, "error"}, {"proxy alone", {"search", "x", "--proxy"}, "error"},
        {"no proxy", {"search", "--no-proxy", "x"}, "search no-proxy x"},
        {"engines", {"search", "--engine", "A", "--engine", "b c", "x"}, "search A,b c x"},
        {"engine with an empty name", {"search", "--engine", "", "x"}, "error"}, {"engine alone", {"search", "x", "--engine"}, "error"},
        {"update check", {"--home", "/h", "update", "check"}, "update /h check"},
        {"update engines applied", {"update", "--apply", "engines", "--verbose"}, "update verbose engines apply"},
        {"update without what", {"update", "--apply"}, "error"}, {"update check applied", {"update", "check", "--apply"}, "error"},
        {"update two things", {"update", "engines", "clients"}, "error"}, {"update news", {"update", "news"}, "error"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QList<QByteArray> arguments{"kestrune"};
        for (const char *word : row.words) arguments << word;
        EXPECT_EQ(described(parseCommandLine(arguments)), QString::fromUtf8(row.parsed));
    }
}

} // namespace
