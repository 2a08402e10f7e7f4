#include "update/update_response.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

UpdateAnswer parsed(const QByteArray &body, UpdateMode mode)
{
    return ParseUpdateResponse("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body, mode);
}

TEST(VersionAnswer, IsNewerByMajorThenMinorThenBuild)
{
    const struct { ProgramVersion answer; bool newer; } rows[] = {
        {{2, 0, 1}, true}, {{2, 0, 0}, false}, {{1, 9, 9}, false}, {{3, 0, 0}, true}, {{3, -1, -1}, true},
        {{2, 1, 0}, true}, {{1, 99, 99}, false}, {{2, -1, 99}, false}, {{40000, 0, 0}, true}};
    for (const auto &[answer, newer] : rows)
        EXPECT_EQ(isNewerVersion(answer, {2, 0, 0}), newer) << answer.major << '.' << answer.minor << '.' << answer.build;
    EXPECT_EQ(kProgramVersion, (ProgramVersion{2, 0, 0}));
}

TEST(VersionAnswer, ReadsThreeNumbersEachEndedByABlankThenTheAddress)
{
    const UpdateAnswer answer = parsed("2 1 7 http://kestrune.example/get\r\n", UpdateMode::Version);
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.version, (ProgramVersion{2, 1, 7}));
    EXPECT_EQ(answer.linkAddress, u"http://kestrune.example/get\r\n"_s);
    EXPECT_EQ(parsed("2 0 0 ", UpdateMode::Version).linkAddress, QString());
    for (const QByteArray body : {"2 1 7", "2 1\n7 x", "2 x 7 y", " 2 1 7 y", ""})
        EXPECT_FALSE(parsed(body, UpdateMode::Version).ok) << body.toStdString();
    EXPECT_FALSE(ParseUpdateResponse("HTTP/1.0 200 OK\r\n2 1 7 x", UpdateMode::Version).ok) << "no end of header";
}

TEST(EngineList, TakesRecordsOfThreeLinesAndDropsAnIncompleteLastOne)
{
    const UpdateAnswer answer = parsed("2026-12-01\nOne%20Engine\nhttp://one/\nhttp://one/?q=%s\n"
                                       "Two\r\nhttp://two/\r\nhttp://two/?q=%s\r\nThree\n", UpdateMode::Engines);
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.date, u"2026-12-01"_s);
    const QList<EngineCandidate> expected{{u"One Engine"_s, u"http://one/"_s, u"http://one/?q=%s"_s},
                                          {u"Two"_s, u"http://two/"_s, u"http://two/?q=%s"_s}};
    EXPECT_EQ(answer.engines, expected);
    EXPECT_TRUE(parsed("date\n", UpdateMode::Engines).ok) << "an empty list";
    EXPECT_FALSE(parsed("date without a line end", UpdateMode::Engines).ok);
}

TEST(EngineList, OffersNoRecordThatWouldBreakSettingsAndFailsOnARepeatedTemplate)
{
    const UpdateAnswer unsafe = parsed("d\nLine%0AFeed\nu\nq1%s\n%00\nu\nq2%s\nTab\nu\tv\nq3%s\nBell\nu\nq\a4%s\n\nu\nq5%s\n"
                                       "No search\nu\nq6\nOK\nu\nq1%s\n",
                                       UpdateMode::Engines);
    ASSERT_TRUE(unsafe.ok);
    ASSERT_EQ(unsafe.engines.size(), 1);
    EXPECT_EQ(unsafe.engines[0].name, u"OK"_s) << "a dropped record's template does not count as used";

    const UpdateAnswer repeated = parsed("d\nA\nu\nq%s\nB\nu\nr%s\nC\nu\nq%s\nD\nu\ns%s\n", UpdateMode::Engines);
    EXPECT_FALSE(repeated.ok);
    EXPECT_EQ(repeated.engines.size(), 2) << "the engines before the failure stay";

    // An error page, however its lines would read, is no list.
    for (const QByteArray status : {"HTTP/1.0 404 Not Found", "HTTP/1.1 503 Service Unavailable", "HTTP/1.0"}) {
        const UpdateAnswer answer = ParseUpdateResponse(status + "\r\n\r\nd\nA\nu\nq%s\n", UpdateMode::Engines);
        EXPECT_FALSE(answer.ok) << status.toStdString();
        EXPECT_EQ(answer.failure, u"the update server answered \""_s + QString::fromLatin1(status) + u'"');
    }
    EXPECT_EQ(ParseUpdateResponse("HTTP/1.0 204 No Content\r\n\r\nd\nA\nu\nq%s\n", UpdateMode::Engines).engines.size(), 1);
    EXPECT_EQ(ParseUpdateResponse("no status line\r\n\r\nd\nA\nu\nq%s\n", UpdateMode::Engines).engines.size(), 1);
}

TEST(ClientList, ReadsTheAnnouncedRecordsAsFarAsTheyGo)
{
    const QByteArray two = "2026-11-30\n3\nncftp\n-f \"%s\"\n{--\nopen %h\r\nget %f\n--}\nwget\n%s\n{--\n--}\n";
    const UpdateAnswer answer = parsed(two, UpdateMode::Clients);
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.date, u"2026-11-30"_s);
    const QList<ClientCandidate> expected{{u"ncftp"_s, u"-f \"%s\""_s, u"open %h\r\r\nget %f\r\n"_s}, {u"wget"_s, u"%s"_s, QString()}};
    EXPECT_EQ(answer.clients, expected);

    const struct { const char *name; QByteArray body; int clients; bool ok; } rows[] = {
        {"none", "d\n0\n", 0, true}, {"more than announced", "d\n1\na\nx\n{--\ns\n--}\nb\ny\n{--\nt\n--}\n", 1, true},
        {"a record without markers still counts", "d\n2\na\nx\n{--\ns\n--}\nb\ny\nc\n", 1, true},
        {"markers are looked for past the lines", "d\n2\na\nx\nb\ny\n{--\ns\n--}\nc\nz\n{--\nt\n--}\n", 2, true},
        {"a name that cannot be a file", "d\n2\n../x\ny\n{--\ns\n--}\nok\nz\n{--\nt\n--}\n", 1, true},
        {"arguments with a control character", "d\n1\nc\na\vb\n{--\ns\n--}\n", 0, true},
        {"no end marker", "d\n1\nc\na\n{--\ns\n", 0, true},
        {"the most a count can say, one record", "d\n2147483647\nc\na\n{--\ns\n--}\n", 1, true},
        {"count not a number", "d\nthree\n", 0, false}, {"no count line", "d\n3", 0, false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const UpdateAnswer a = parsed(row.body, UpdateMode::Clients);
        EXPECT_EQ(a.ok, row.ok);
        EXPECT_EQ(a.clients.size(), row.clients);
    }
}

TEST(LfToCrLf, PutsACrBeforeEveryLfAndKeepsOnesThatWereThere)
{
    const std::pair<QByteArray, QByteArray> rows[] = {
        {"", ""}, {"a", "a"}, {"\n", "\r\n"}, {"a\nb\n", "a\r\nb\r\n"}, {"a\r\nb", "a\r\r\nb"}, {"\n\n", "\r\n\r\n"}};
    for (auto [in, out] : rows) {
        LfToCrLf(in);
        EXPECT_EQ(in, out);
    }
}

} // namespace
