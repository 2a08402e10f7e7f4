// The program against peers that misbehave: every search, test and update ends within its limits,
// the other engines' results arrive, and memory stays bounded by the page cap.
#include <QDir>

#include <gtest/gtest.h>

#include "e2e/cli_fixture.h"
#include "support/peers.h"

namespace {

using namespace Qt::StringLiterals;

// Short limits, so that every case ends in seconds; the page cap stays the program's own.
constexpr char kLimits[] = "pageSilence=2000,pageTotal=5000,serverTest=2000,updateSilence=2000,updateTotal=5000";
constexpr double kPageCapMiB = 64;

class HostileTest : public CliTest
{
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        qputenv("KESTRUNE_LIMITS", kLimits);
    }
    void TearDown() override
    {
#ifndef KESTRUNE_SANITIZED // the sanitizers' shadow memory and quarantine are no measure of the program's
        EXPECT_LT(peakChildMiB(), 3 * kPageCapMiB);
#endif
    }
};

TEST_F(HostileTest, ASearchEndsWhateverAnEngineSendsAndKeepsTheOtherEnginesResults)
{
    const struct { const char *mode; const char *outcome; } cases[] = {
        {"endless", "cut at 64 MiB"},     {"single-line", "cut at 64 MiB"}, {"trickle", "timed out"},
        {"silent", "timed out"},          {"never-accept", "timed out"},    {"reset", "200 OK; 5134 bytes, 102 links"},
        {"close", "closed without an answer"},      {"gzip", "200 links, 200 results"}, {"chunked", "200 links, 200 results"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        HostilePeer peer(QString::fromLatin1(c.mode));
        ASSERT_TRUE(peer.start()) << peer.output().toStdString();
        setEngines({"one", "hostile"}, {{"hostile", peer.port()}});
        const Outcome run = kestrune(u"search --verbose madonna"_s, 60000);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("alpha.example\tftp://alpha.example\t/pub/madonna/\tlike.mp3")) << run.out.toStdString();
        const qsizetype said = run.err.indexOf("engine \"hostile\": ");
        ASSERT_GE(said, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.mid(said).split('\n').first().contains(c.outcome)) << run.err.toStdString();
    }
}

TEST_F(HostileTest, AServerThatClosesAtOnceIsAliveAndOneThatNeverAcceptsIsDead)
{
    HostilePeer closing(u"close"_s), deaf(u"never-accept"_s);
    ASSERT_TRUE(closing.start() && deaf.start());
    writeBytes(pages.filePath(u"servers"_s), QStringLiteral("<a href=\"ftp://127.0.0.1:%1/a.mp3\"></a><a href=\"ftp://localhost:%2/b.mp3\"></a>")
                                                 .arg(closing.port()).arg(deaf.port()).toLatin1());
    setEngines({"servers"});
    const Outcome run = kestrune(u"search --test x"_s, 60000);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("#test\t127.0.0.1\talive\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("#test\tlocalhost\tdead\n")) << run.out.toStdString();
}

TEST_F(HostileTest, AnUpdateEndsWhateverTheServerSendsAndTheCatalogueKeepsItsEngines)
{
    // An answer that is no engine list offers nothing; a merge of nothing writes nothing.
    const struct { const char *mode; int status; const char *reason; } cases[] = {
        {"endless", 1, "larger than 67108864 bytes"}, {"single-line", 1, "larger than 67108864 bytes"},
        {"trickle", 1, "longer than 5 s"},            {"silent", 1, "nothing for 2 s"},
        {"never-accept", 1, "nothing for 2 s"},       {"close", 1, "no end of header"},
        {"reset", 0, ""},                             {"gzip", 0, ""},
        {"chunked", 0, ""},
    };
    setEngines({"one"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        HostilePeer peer(QString::fromLatin1(c.mode));
        ASSERT_TRUE(peer.start()) << peer.output().toStdString();
        qputenv("KESTRUNE_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(peer.port()));
        const QByteArray catalogue = readBytes(catalogueFile());
        const Outcome run = kestrune(u"update engines --apply"_s, 60000);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
        EXPECT_EQ(run.out, QByteArray());
        EXPECT_EQ(readBytes(catalogueFile()), catalogue);
    }
}

} // namespace
