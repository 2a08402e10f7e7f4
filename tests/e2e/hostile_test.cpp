// The program against peers that misbehave: every search and update ends within its limits, the
// other engines' results arrive, and memory stays bounded by the page cap. (The server tests against
// such peers are held in tests/app/hostile_window_test.cpp.)
#include <gtest/gtest.h>

#include "e2e/cli_fixture.h"
#include "support/peers.h"

namespace {

using namespace Qt::StringLiterals;

// Short limits, so that every case ends in seconds; the page cap stays the program's own.
constexpr char kLimits[] = "pageSilence=2000,pageTotal=5000,serverTest=2000,updateSilence=2000,updateTotal=5000";
constexpr double kPageCapMiB = 64;

struct HostileTest : CliTest
{
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

// Each peer serves as an engine beside a good one, then as the update server. The search ends with
// the good engine's results and says how the hostile one ended; the update ends with its reason (an
// answer that is no engine list offers nothing, and a merge of nothing writes nothing).
TEST_F(HostileTest, ASearchAndAnUpdateEndWhateverThePeerSends)
{
    const struct { const char *mode, *outcome; int status; const char *reason; } cases[] = {
        {"endless", "cut at 64 MiB", 1, "larger than 67108864 bytes"}, {"single-line", "cut at 64 MiB", 1, "larger than 67108864 bytes"},
        {"trickle", "timed out", 1, "longer than 5 s"},                {"silent", "timed out", 1, "nothing for 2 s"},
        {"never-accept", "timed out", 1, "nothing for 2 s"},           {"close", "closed without an answer", 1, "no end of header"},
        {"reset", "200 OK; 5134 bytes, 102 links", 0, ""},             {"gzip", "200 links, 200 results", 0, ""},
        {"chunked", "200 links, 200 results", 0, ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        HostilePeer peer(QString::fromLatin1(c.mode));
        ASSERT_TRUE(peer.start()) << peer.output().toStdString();
        setEngines({"one", "hostile"}, {{"hostile", peer.port()}});
        const Outcome search = kestrune(u"search --verbose madonna"_s, 60000);
        EXPECT_EQ(search.status, 0) << search.err.toStdString();
        EXPECT_TRUE(search.out.contains("alpha.example\tftp://alpha.example\t/pub/madonna/\tlike.mp3")) << search.out.toStdString();
        const QByteArray said = search.err.mid(search.err.indexOf("engine \"hostile\": ")).split('\n').first();
        EXPECT_TRUE(said.startsWith("engine \"hostile\": ") && said.contains(c.outcome)) << search.err.toStdString();

        qputenv("KESTRUNE_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(peer.port()));
        const QByteArray catalogue = readBytes(catalogueFile());
        const Outcome update = kestrune(u"update engines --apply"_s, 60000);
        EXPECT_EQ(update.status, c.status) << update.err.toStdString();
        EXPECT_TRUE(update.err.contains(c.reason)) << update.err.toStdString();
        EXPECT_EQ(update.out, QByteArray());
        EXPECT_EQ(readBytes(catalogueFile()), catalogue);
    }
}

} // namespace
