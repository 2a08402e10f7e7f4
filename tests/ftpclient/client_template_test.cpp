#include "ftpclient/detail/client_template.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

QByteArray expand(const char *text, bool keepOptional, QByteArrayView host = "H")
{
    return ExpandTemplate(QByteArray(text), host, "O", "U", "P", "/L/", "/R/", "F", keepOptional);
}

// What "Get File" (keepOptional) and "Connect" make of each template.
TEST(ExpandTemplate, ExpandsSectionsThenPlaceholders)
{
    const struct { const char *text, *getFile, *connect; } cases[] = {
        {"a[b]c[d]e", "abcde", "ace"}, {"a]b", "a]b", "a]b"}, {"[a[b]c]", "abc", "c]"},
        // A "[" with no "]" after it: removed alone, or the rest of the text goes with it.
        {"a[b", "ab", "a"}, {"%h %o %u %p %l %r %f", "H O U P /L/ /R/ F", "H O U P /L/ /R/ F"},
        // The character after "%" is always consumed; letters match exactly.
        {"%H%O%F|%x|%s|%%h", "|||h", "|||h"}, {"50%", "50", "50"},
        // Sections come first, so a bracket removed there can join "%" to a letter.
        {"100%[x]y", "100y", "100"}, {"[%h]%h", "HH", "H"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(expand(c.text, true), QByteArray(c.getFile));
        EXPECT_EQ(expand(c.text, false), QByteArray(c.connect));
    }
}

TEST(ExpandTemplate, InsertsValuesWithoutScanningThem)
{
    EXPECT_EQ(expand("<%h>", true, "%u[x]\"\\\xe9"), QByteArray("<%u[x]\"\\\xe9>"));
}

// A line may end in CR LF, LF or CR.
TEST(ReadTextFile, EndsEveryLineInCrLf)
{
    const struct { QByteArray stored, read; } cases[] = {
        {"", ""}, {"a\r\nb\n\nc\rd\n\re", "a\r\nb\r\n\r\nc\r\nd\r\n\r\ne\r\n"}, {QByteArray("\xe9\0x", 3), QByteArray("\xe9\0x\r\n", 5)},
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        writeBytes(dir.filePath("t.scr"), c.stored);
        EXPECT_EQ(ReadTextFile(dir.filePath("t.scr")), std::optional(c.read)) << c.stored.toStdString();
    }
}

TEST(ReadTextFile, GivesNothingForAFileThatCannotBeOpened)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ReadTextFile(dir.filePath("missing.scr")) || ReadTextFile(dir.path()));
}

} // namespace
