#include "catalogue/engine_catalogue.h"
#include "catalogue/program_folder.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// A seeding cut short must leave a folder that the next start seeds again: settings.dat comes only
// after every template. Here one cannot be written: it is a link into a folder that does not exist.
TEST(SeedProgramFolder, WritesTheCatalogueOnlyAfterEveryTemplate)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath(u"no/such/folder"_s), dir.filePath(u"lftp.scr"_s)));
    const SeedResult cut = SeedProgramFolder(dir.path());
    EXPECT_TRUE(cut.problem == SeedResult::Problem::TemplateNotWritten && cut.reason.contains(dir.filePath(u"lftp.scr"_s)));
    EXPECT_TRUE(!QFileInfo::exists(dir.filePath(kSettingsFile)) && QFileInfo::exists(dir.filePath(u"lftp in terminal.scr"_s)));
}

} // namespace
