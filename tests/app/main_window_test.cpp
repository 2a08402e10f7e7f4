#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QCloseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/test_files.h"

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeBytes(profile.pathOf(kSettingsFile),
                   "[Engines]\r\nCount=2\r\nName1=Alpha\r\nName2=Beta\r\n"
                   "[Alpha]\r\nURL=http://alpha/\r\nQUERY=http://alpha/?q=%s\r\nActive=True\r\n"
                   "[Beta]\r\nURL=http://beta/\r\nQUERY=http://beta/?q=%s\r\n");
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    RecordingShell shell;
};

TEST_F(MainWindowTest, StartsWithTheCatalogueAndStoresTheFlagsOnClose)
{
    MainWindow window(profile, shell);
    NodeTree &engines = window.enginesList();
    ASSERT_EQ(engines.count(), 2);
    EXPECT_TRUE(engines.checked(1));
    EXPECT_FALSE(engines.checked(2));

    engines.setChecked(1, false);
    engines.setChecked(2, true);
    window.close();

    EXPECT_EQ(profile.ReadProfile(kSettingsFile, QStringLiteral("Alpha"), QStringLiteral("Active"), {}), QStringLiteral("False"));
    EXPECT_EQ(profile.ReadProfile(kSettingsFile, QStringLiteral("Beta"), QStringLiteral("Active"), {}), QStringLiteral("True"));
}

TEST_F(MainWindowTest, DoubleClickOpensTheSelectedEnginesHomePage)
{
    MainWindow window(profile, shell);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTreeView *view = window.enginesView();

    emit view->doubleClicked(QModelIndex());
    EXPECT_TRUE(shell.opened.isEmpty()); // nothing selected, nothing opened

    const QModelIndex beta = window.enginesList().modelIndex(2);
    view->setCurrentIndex(beta);
    const QRect rect = view->visualRect(beta);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://beta/")});
}

TEST_F(MainWindowTest, EngineNamesCannotBeEditedInPlace)
{
    MainWindow window(profile, shell);
    const QModelIndex alpha = window.enginesList().modelIndex(1);
    EXPECT_FALSE(window.enginesList().flags(alpha) & Qt::ItemIsEditable);
    EXPECT_EQ(window.enginesView()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

} // namespace
