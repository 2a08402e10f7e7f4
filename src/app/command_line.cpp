#include "app/command_line.h"

#include "platform/endpoint.h"
#include "prefs/preferences.h"

#include <algorithm>

namespace {

CommandLine usageError(QString message)
{
    CommandLine line;
    line.action = CommandLine::Action::UsageError;
    line.error = std::move(message);
    return line;
}

std::optional<int> positiveNumber(const QByteArray &text, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > max)
        return std::nullopt;
    return n;
}

} // namespace

CommandLine parseCommandLine(const QList<QByteArray> &arguments)
{
    CommandLine line;
    qsizetype i = 1;
    // Options before the command: --home, --verbose, --help, --version.
    for (; i < arguments.size(); ++i) {
        const QByteArray &arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (arg == "--home") {
            if (++i >= arguments.size())
                return usageError(QStringLiteral("--home needs a folder"));
            line.home = QString::fromLocal8Bit(arguments[i]);
        } else if (arg.startsWith("--home=")) {
            line.home = QString::fromLocal8Bit(arg.mid(7));
        } else if (arg == "--verbose") {
            line.verbose = true;
        } else {
            break;
        }
    }
    if (i >= arguments.size())
        return line;

    const QByteArray command = arguments[i++];
    if (command == "get" || command == "connect") {
        line.action = command == "get" ? CommandLine::Action::Get : CommandLine::Action::Connect;
        if (i + 1 != arguments.size())
            return usageError(QStringLiteral("%1 takes exactly one link").arg(QString::fromLatin1(command)));
        line.link = arguments[i];
        return line;
    }
    if (command == "update") {
        line.action = CommandLine::Action::Update;
        for (; i < arguments.size(); ++i) {
            const QByteArray &arg = arguments[i];
            const std::pair<const char *, UpdateMode> modes[] = {
                {"check", UpdateMode::Version}, {"engines", UpdateMode::Engines}, {"clients", UpdateMode::Clients}};
            const auto mode = std::find_if(std::begin(modes), std::end(modes), [&](const auto &m) { return arg == m.first; });
            if (arg == "--apply")
                line.apply = true;
            else if (arg == "--verbose")
                line.verbose = true;
            else if (mode != std::end(modes) && line.updateMode == UpdateMode::None)
                line.updateMode = mode->second;
            else
                return usageError(QStringLiteral("update takes one of check, engines, clients, and --apply: %1").arg(QString::fromLocal8Bit(arg)));
        }
        if (line.updateMode == UpdateMode::None)
            return usageError(QStringLiteral("update needs check, engines or clients"));
        if (line.apply && line.updateMode == UpdateMode::Version)
            return usageError(QStringLiteral("update check has nothing to apply"));
        return line;
    }
    if (command != "search")
        return usageError(QStringLiteral("unknown command or option: %1").arg(QString::fromLocal8Bit(command)));

    line.action = CommandLine::Action::Search;
    QStringList words;
    bool optionsEnded = false;
    for (; i < arguments.size(); ++i) {
        const QByteArray &arg = arguments[i];
        const bool isOption = !optionsEnded && arg.startsWith("--");
        if (!isOption) {
            words << QString::fromLocal8Bit(arg);
            continue;
        }
        auto value = [&]() -> std::optional<QByteArray> {
            if (++i >= arguments.size())
                return std::nullopt;
            return arguments[i];
        };
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            line.json = true;
        } else if (arg == "--test") {
            line.test = true;
        } else if (arg == "--verify") {
            line.verify = true;
        } else if (arg == "--verbose") {
            line.verbose = true;
        } else if (arg == "--no-proxy") {
            line.useProxy = false;
        } else if (arg == "--max-search" || arg == "--max-test") {
            const auto text = value();
            const auto n = text ? positiveNumber(*text, kMostSockets) : std::nullopt;
            if (!n)
                return usageError(QStringLiteral("%1 needs a whole number from 1 to 10000").arg(QString::fromLatin1(arg)));
            (arg == "--max-search" ? line.maxSearch : line.maxTest) = n;
        } else if (arg == "--proxy") {
            const auto text = value();
            const auto proxy = text ? parseEndpoint(*text) : std::nullopt;
            if (!proxy)
                return usageError(QStringLiteral("--proxy needs HOST:PORT with a port from 1 to 65535"));
            line.useProxy = true;
            line.proxyAddress = QString::fromLocal8Bit(proxy->host);
            line.proxyPort = proxy->port;
        } else if (arg == "--engine") {
            const auto name = value();
            if (!name || name->isEmpty())
                return usageError(QStringLiteral("--engine needs an engine name"));
            line.engines << QString::fromLocal8Bit(*name);
        } else {
            return usageError(QStringLiteral("unknown search option: %1").arg(QString::fromLocal8Bit(arg)));
        }
    }
    line.searchText = words.join(u' ');
    if (line.searchText.trimmed().isEmpty())
        return usageError(QStringLiteral("search needs a text to search for"));
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  kestrune [--home DIR]                        open the window\n"
        "  kestrune [--home DIR] search [OPTIONS] TEXT  run one search without a window\n"
        "  kestrune [--home DIR] get LINK               hand LINK to the chosen FTP client (Get File)\n"
        "  kestrune [--home DIR] connect LINK           the same as Connect\n"
        "  kestrune [--home DIR] update check|engines|clients [--apply]\n"
        "                                               ask the update server, as the Help menu does\n"
        "  kestrune --help | --version\n"
        "\n"
        "  --home DIR          the program folder (settings.dat, client templates, hand-off scripts);\n"
        "                      default: the folder of the executable, or for an installed copy\n"
        "                      ~/.local/share/Kestrune (under $XDG_DATA_HOME when it is set)\n"
        "  --verbose           log what each part does to standard error; also allowed after search\n"
        "\n"
        "Search options (the defaults come from the active engines and your preferences):\n"
        "  --max-search N      at most N result pages at once\n"
        "  --proxy HOST:PORT   fetch the pages through this HTTP proxy\n"
        "  --no-proxy          fetch the pages directly\n"
        "  --engine NAME       search only this engine, active or not (repeatable)\n"
        "  --test              test the FTP servers found after the search\n"
        "  --verify            after the search (and the tests), log in to each FTP server found and\n"
        "                      ask for the size and date of each of its files\n"
        "  --max-test N        at most N server tests or verifies at once (with --test, --verify)\n"
        "  --json              one JSON object a line instead of tab-separated fields\n"
        "\n"
        "Output of search, one result a line in the order found:\n"
        "  ROOT<TAB>HOST<TAB>SERVERURL<TAB>PATH<TAB>FILE       (ROOT is FTP or HTTP)\n"
        "  then with --test, per tested server: #test<TAB>HOST<TAB>alive|dead\n"
        "  With --verify each result comes after the verify, with two more fields: SIZE (bytes, or\n"
        "  missing when the server says the file is not there, or empty) and DATE (YYYY-MM-DDTHH:MM:SSZ\n"
        "  or empty); then per verified server: #verify<TAB>HOST<TAB>alive|dead|login refused\n"
        "  --json: {\"root\",\"host\",\"server\",\"path\",\"file\",\"link\"}, with --verify \"size\" and\n"
        "  \"date\" too, {\"test\",\"mark\"} and {\"verify\",\"outcome\"}; each byte\n"
        "  of a field is the character of the same number (Latin-1); \"link\" is the link as found\n"
        "\n"
        "Output of update: check prints \"new Version M.N Build B Available<TAB>ADDRESS\" when there is\n"
        "  a newer version, else nothing; engines prints NAME<TAB>URL<TAB>QUERY and clients NAME<TAB>ARGS,\n"
        "  one offered engine or client a line. --apply merges every one of them into settings.dat,\n"
        "  as ticking them all and pressing \"Update\" does. KESTRUNE_UPDATE_SERVER=HOST:PORT asks\n"
        "  another update server; the proxy preference applies.\n"
        "KESTRUNE_LIMITS changes the limits that keep a silent or endless server from holding the\n"
        "  program: pageSilence (60000 ms), pageTotal (180000 ms), pageCap (67108864 bytes),\n"
        "  serverTest (15000 ms, also each step of a verify), verifyPause (100 ms between two files of\n"
        "  a server), updateSilence (60000 ms) and updateTotal (180000 ms),\n"
        "  as in KESTRUNE_LIMITS=pageCap=1048576.\n"
        "Progress goes to standard error. Ctrl-C, or a reader that closes the output, stops the search.\n"
        "Exit status: 0 after a search that ran; 1 when a search has no engine to ask, its results\n"
        "cannot be written, the hand-off failed, or the update exchange failed (the reason goes to\n"
        "standard error); 2 on usage errors.\n");
}
