#include "app/cli.h"
#include "app/command_line.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

CommandLine parse(const std::vector<const char *> &words)
{
    return parseCommandLine(QList<QByteArray>{"kestrune"} + QList<QByteArray>(words.begin(), words.end()));
}

TEST(CommandLine, SearchOptionsAndTheTextAfterThem)
{
    const CommandLine line = parse({"--home", "/h", "search", "--max-search", "5", "--proxy", "p.local:3128", "--engine",
                                    "A", "--engine", "B", "--test", "--max-test", "7", "--json", "daft", "punk"});
    ASSERT_EQ(line.action, CommandLine::Action::Search) << line.error.toStdString();
    EXPECT_EQ(QStringList({line.home, QString::number(line.maxSearch.value_or(-1)), QString::number(line.maxTest.value_or(-1)),
                           QString::number(line.useProxy.value_or(false)), line.proxyAddress, QString::number(line.proxyPort),
                           line.engines.join(u'|'), QString::number(line.test && line.json), line.searchText}),
              (QStringList{"/h", "5", "7", "1", "p.local", "3128", "A|B", "1", "daft punk"}));
    EXPECT_EQ(parse({"search", "--", "--json"}).searchText, QStringLiteral("--json"));
    EXPECT_EQ(parse({"search", "--no-proxy", "x"}).useProxy, false);
    EXPECT_EQ(parse({"get", "ftp://h/\xe9.mp3"}).link, QByteArray("ftp://h/\xe9.mp3"));
    EXPECT_TRUE(parse({"--verbose"}).verbose && parse({"--verbose"}).action == CommandLine::Action::Window);
    EXPECT_TRUE(parse({"--verbose", "get", "l"}).verbose && parse({"search", "--verbose", "x"}).verbose && !line.verbose);
}

TEST(CommandLine, MistakesAreUsageErrors)
{
    for (const std::vector<const char *> &words : std::vector<std::vector<const char *>>{
             {"search"}, {"search", "  "}, {"search", "--max-search", "0", "x"}, {"search", "--max-test", "x"},
             {"search", "--proxy", "host", "x"}, {"search", "--proxy", "h:70000", "x"}, {"search", "--engine"},
             {"search", "--colour", "x"}, {"get"}, {"connect", "a", "b"}, {"--home"}, {"fly"}}) {
        const CommandLine line = parse(words);
        EXPECT_TRUE(line.action == CommandLine::Action::UsageError && !line.error.isEmpty())
            << QByteArrayList(words.begin(), words.end()).join(' ').toStdString();
    }
}

TEST(JsonString, EveryByteComesBackAsTheCharacterOfItsNumber)
{
    // Not decoded as UTF-8: a link's bytes are not always UTF-8, and each must come back whole.
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += static_cast<char>(b);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson("[" + jsonString(every) + "]", &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(document.array().at(0).toString().toLatin1(), every);
}

} // namespace
