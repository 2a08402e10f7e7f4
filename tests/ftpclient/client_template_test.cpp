#include "ftpclient/client_template.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

struct ExpandCase
{
    const char *text;
    const char *getFile;  // keepOptional true
    const char *connect;  // keepOptional false
};

QByteArray expand(const char *text, bool keepOptional, QByteArrayView host = "H")
{
    return ExpandTemplate(QByteArray(text), host, "O", "U", "P", "/L/", "/R/", "F", keepOptional);
}

TEST(ExpandTemplate, OptionalSectionsAndPlaceholders)
{
    const ExpandCase cases[] = {
        {"[get %f]", "get F", ""},
        {"a[b]c[d]e", "abcde", "ace"},
        {"a]b", "a]b", "a]b"},
        {"[a[b]c]", "abc", "c]"},
        // A "[" with no "]" after it: removed alone, or the rest of the text goes with it.
        {"a[b", "ab", "a"},
        {"a[b]c[d %h", "abcd H", "ac"},
        {"%h %o %u %p %l %r %f", "H O U P /L/ /R/ F", "H O U P /L/ /R/ F"},
        // The character after "%" is always consumed.
        {"%%h", "h", "h"},
        {"%H%O%F|%x|%s|%%", "|||", "|||"},
        {"50%", "50", "50"},
        {"%", "", ""},
        // Sections come first, so a bracket removed there can join "%" to a letter.
        {"100%[x]y", "100y", "100"},
        {"[%h]%h", "HH", "H"},
        {"", "", ""},
    };
    for (const ExpandCase &c : cases) {
        EXPECT_EQ(expand(c.text, true), QByteArray(c.getFile)) << c.text;
        EXPECT_EQ(expand(c.text, false), QByteArray(c.connect)) << c.text;
    }
}

TEST(ExpandTemplate, InsertsValuesAsTheyAreWithoutScanningThemAgain)
{
    EXPECT_EQ(expand("<%h>", true, "%u[x]"), QByteArray("<%u[x]>"));
    EXPECT_EQ(expand("<%h>", false, "a\"b\\c\xe9"), QByteArray("<a\"b\\c\xe9>"));
}

TEST(ReadTextFile, EndsEveryLineInCrLf)
{
    const struct
    {
        QByteArray stored;
        QByteArray read;
    } cases[] = {
        {"", ""},
        {"a", "a\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb\r\n"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\n\n\r\nb", "a\r\n\r\n\r\nb\r\n"},
        {QByteArray("\xe9\0x", 3), QByteArray("\xe9\0x\r\n", 5)},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.scr"));
    for (const auto &c : cases) {
        writeBytes(path, c.stored);
        EXPECT_EQ(ReadTextFile(path), std::optional(c.read)) << c.stored.toStdString();
    }
}

TEST(ReadTextFile, FailsWhenTheFileCannotBeOpened)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ReadTextFile(dir.filePath(QStringLiteral("missing.scr"))));
    EXPECT_FALSE(ReadTextFile(dir.path()));
}

} // namespace
