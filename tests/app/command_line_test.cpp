#include "app/cli.h"
#include "app/command_line.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

CommandLine parse(const std::vector<const char *> &words)
{
    QList<QByteArray> arguments{"kestrune"};
    for (const char *word : words)
        arguments.append(word);
    return parseCommandLine(arguments);
}

TEST(CommandLine, SearchOptionsAndTheTextAfterThem)
{
    const CommandLine line = parse({"--home", "/h", "search", "--max-search", "5", "--proxy", "p.local:3128", "--engine",
                                    "A", "--engine", "B", "--test", "--max-test", "7", "--json", "daft", "punk"});
    ASSERT_EQ(line.action, CommandLine::Action::Search) << line.error.toStdString();
    EXPECT_EQ(line.home, QStringLiteral("/h"));
    EXPECT_EQ(line.maxSearch, 5);
    EXPECT_EQ(line.maxTest, 7);
    EXPECT_EQ(line.useProxy, true);
    EXPECT_EQ(line.proxyAddress, QStringLiteral("p.local"));
    EXPECT_EQ(line.proxyPort, 3128);
    EXPECT_EQ(line.engines, (QStringList{"A", "B"}));
    EXPECT_TRUE(line.test && line.json);
    EXPECT_EQ(line.searchText, QStringLiteral("daft punk"));

    EXPECT_EQ(parse({"search", "--", "--json"}).searchText, QStringLiteral("--json"));
    EXPECT_EQ(parse({"search", "--no-proxy", "x"}).useProxy, false);
    EXPECT_EQ(parse({"get", "ftp://h/\xe9.mp3"}).link, QByteArray("ftp://h/\xe9.mp3"));
    EXPECT_EQ(parse({}).action, CommandLine::Action::Window);
}

TEST(CommandLine, MistakesAreUsageErrors)
{
    for (const std::vector<const char *> &words : std::vector<std::vector<const char *>>{
             {"search"}, {"search", "  "}, {"search", "--max-search", "0", "x"}, {"search", "--max-test", "x"},
             {"search", "--proxy", "host", "x"}, {"search", "--proxy", "h:70000", "x"}, {"search", "--engine"},
             {"search", "--colour", "x"}, {"get"}, {"connect", "a", "b"}, {"--home"}, {"fly"}}) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError) << words.front();
        EXPECT_FALSE(line.error.isEmpty());
    }
}

TEST(JsonString, EscapesAndKeepsEveryCharacterWhole)
{
    EXPECT_EQ(jsonString("a\"b\\c\td"), QByteArray("\"a\\\"b\\\\c\\td\""));
    EXPECT_EQ(jsonString("\x01\x7f"), QByteArray("\"\\u0001\\u007f\""));
    EXPECT_EQ(jsonString("\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5"), QByteArray("\"\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5\""));
    // Bytes that are not UTF-8 become U+FFFD.
    EXPECT_EQ(jsonString("caf\xe9"), QByteArray("\"caf\xef\xbf\xbd\""));
}

} // namespace
