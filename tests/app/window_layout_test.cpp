#include "app/ads_panel.h"
#include "app/window_layout.h"

#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/widgets.h"

void PrintTo(const TwipRect &r, std::ostream *out)
{
    *out << '{' << r.left << ", " << r.top << ", " << r.width << ", " << r.height << '}';
}

namespace {

using namespace Qt::StringLiterals;

constexpr TwipSize kDesign{9735, 5460};
constexpr float kStatus = 300;

struct WindowLayoutTest : ::testing::Test
{
    void SetUp() override { layout.layOut(kDesign, kStatus); }
    WindowLayout layout;
};

// At the design size: the search band and the ads at the top, the panes below from the left.
TEST_F(WindowLayoutTest, TheDesignSizePlacesEveryControl)
{
    const std::pair<TwipRect, TwipRect> placed[] = {
        {layout.SearchFrame, {0, 0, 3810, 1000}},    {layout.AddsFrame, {3810, 0, 5880, 1000}},
        {layout.ResultsFrame, {0, 1000, 9735, 4160}}, {layout.EnginesList, {0, 0, 1485, 4160}},
        {layout.FTPList, {1485, 0, 2565, 4160}},     {layout.ResizeBar, {4050, 0, 50, 4160}},
        {layout.LinksList, {4100, 0, 5635, 3425}},   {layout.InfoBox, {4100, 3425, 5635, 735}}};
    for (const auto &[control, expected] : placed) EXPECT_EQ(control, expected);
}

// A drag that would make the result tree `width` wide, from a press 20 twips into the bar.
TEST_F(WindowLayoutTest, ADragKeepsTheTreeAndTheRightPanesWideEnough)
{
    const std::pair<float, bool> drags[] = {{499, false}, {499.5f, false}, {500, true},  {2565, true},
                                            {5220, true}, {5220.5f, false}, {5221, false}};
    for (const auto &[width, accepted] : drags) {
        WindowLayout dragged = layout; // each row starts at the design size
        dragged.resizeBarDown(20);
        EXPECT_EQ(dragged.resizeBarMove(20 + width - 2565), accepted) << width;
        const float tree = accepted ? width : 2565;
        EXPECT_EQ(dragged.FTPList, (TwipRect{1485, 0, tree, 4160})) << width;
        EXPECT_EQ(dragged.LinksList, (TwipRect{1535 + tree, 0, 8200 - tree, 3425})) << width;
        EXPECT_EQ(dragged.InfoBox, (TwipRect{1535 + tree, 3425, 8200 - tree, 735})) << width;
    }
}

// The bar's moves are relative to where it is now; after the drag, a bigger window gives all
// its width to the right panes and keeps the dragged tree.
TEST_F(WindowLayoutTest, ADraggedWidthOutlastsAResize)
{
    layout.resizeBarDown(30);
    EXPECT_TRUE(layout.resizeBarMove(30 + 1000) && layout.resizeBarMove(30 - 300));
    layout.resizeBarUp();
    EXPECT_FALSE(layout.resizeBarMove(30 + 600)) << "released";
    layout.layOut({kDesign.width + 3000, kDesign.height + 1500}, kStatus);
    EXPECT_EQ(layout.FTPList, (TwipRect{1485, 0, 3265, 5660}));
    EXPECT_EQ(layout.LinksList, (TwipRect{4800, 0, 7935, 4925}));
    EXPECT_EQ(layout.InfoBox, (TwipRect{4800, 4925, 7935, 735}));
}

TEST_F(WindowLayoutTest, AMoveWithoutAPressOrASizeTooSmallChangesNothing)
{
    const WindowLayout before = layout;
    EXPECT_FALSE(layout.resizeBarMove(1000));
    EXPECT_TRUE(layout.FTPList == before.FTPList && layout.ResizeBar == before.ResizeBar);

    // One twip too narrow for the links list: it and the box under it stay, the steps before
    // still run; with no twip to spare it is placed, empty.
    layout.layOut({4099, kDesign.height}, kStatus);
    EXPECT_EQ(layout.ResultsFrame.width, 4099);
    EXPECT_TRUE(layout.LinksList == before.LinksList && layout.InfoBox == before.InfoBox);
    layout.layOut({4100, kDesign.height}, kStatus);
    EXPECT_EQ(layout.InfoBox.width, 0);
    // Likewise one twip too low for the results frame: it keeps its place, the panes follow it.
    layout.layOut({kDesign.width, 1299}, kStatus);
    EXPECT_EQ(layout.ResultsFrame, (TwipRect{0, 1000, 4100, 4160}));
    EXPECT_EQ(layout.EnginesList, before.EnginesList);
    layout.layOut({kDesign.width, 1300}, kStatus);
    EXPECT_EQ(layout.EnginesList.height, 0);
}

// 120 seconds of ticks: each new slot, then the fixed slot 11; images 4 and 5 are empty; after
// slot 11 (shown twice running) the stepping starts again at slot 0.
TEST(AdsPanelTest, TheBannersStepEveryFiveSecondsAlternatingWithSlotEleven)
{
    AdsPanel panel;
    const auto image = [&](int slot) { return part<QLabel>(panel, u"AddImage(%1)"_s.arg(slot)); };
    EXPECT_TRUE(part<QTimer>(panel, u"AddsTimer"_s)->isActive() && part<QTimer>(panel, u"AddsTimer"_s)->interval() == 5000 &&
                image(0)->cursor().shape() == Qt::PointingHandCursor);
    QString shown; // the visible slots at 0, 5, 10, ... 120 s; "-" marks an empty one
    for (int second = 0; second <= 120; second += 5, panel.AddsTimerTimer()) {
        for (int slot = 0; slot < 12; ++slot)
            shown += image(slot)->isVisibleTo(&panel) ? QString::number(slot) + (image(slot)->pixmap().isNull() ? u"-"_s : u""_s) : u""_s;
        shown += u' ';
    }
    EXPECT_EQ(shown, u"0 1 11 2 11 3 11 4- 11 5- 11 6 11 7 11 8 11 9 11 10 11 11 11 0 11 "_s);
}

} // namespace
