#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

class NodeTreeTest : public ::testing::Test
{
protected:
    NodeTree tree{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(NodeTreeTest, NodesAreNumberedInAdditionOrderAndRenumberedAfterARemoval)
{
    const int ftp = tree.add(u"FTP"_s, u"FTP"_s);
    const int http = tree.add(u"HTTP"_s, u"HTTP"_s);
    const int a = tree.add(u"ftp://a"_s, u"a"_s, ftp, Picture::Untested);
    const int b = tree.add(u"http://b"_s, u"b"_s, http);
    const int c = tree.add(u"ftp://c"_s, u"c"_s, ftp);
    EXPECT_EQ((std::vector{ftp, http, a, b, c}), (std::vector{1, 2, 3, 4, 5}));
    EXPECT_EQ((std::vector{tree.parentOf(c), tree.childAt(ftp, 1), tree.childAt(0, 1), tree.nodeIndex(tree.modelIndex(c))}),
              (std::vector{ftp, c, http, c}));

    // A taken key or a missing parent adds nothing; indexes out of range are harmless.
    EXPECT_EQ(tree.add(u"ftp://a"_s, u"again"_s) + tree.add(u"other"_s, u"x"_s, 7), 0);
    EXPECT_TRUE(tree.indexOf(u"nothing"_s) == 0 && tree.key(0).isEmpty() && tree.text(6).isEmpty() && !tree.checked(-1));
    tree.setPicture(6, Picture::Dead);
    tree.remove(9);
    EXPECT_EQ(tree.childAt(6, 0), 0);

    // Removing a node takes its subtree; later nodes move up, and a removed key is free again.
    tree.remove(ftp);
    ASSERT_EQ(tree.count(), 2);
    EXPECT_EQ(std::pair(tree.indexOf(u"http://b"_s), tree.parentOf(2)), std::pair(2, 1));
    EXPECT_FALSE(tree.contains(u"ftp://c"_s));
    EXPECT_EQ(tree.add(u"ftp://c"_s, u"again"_s), 3);
}

TEST_F(NodeTreeTest, CheckBoxesAndPicturesFollowTheDisplayMode)
{
    tree.setDecorationProvider([](Picture picture) { return QVariant(u"icon:"_s + pictureKey(picture)); });
    const int n = tree.add(u"q"_s, u"engine"_s);
    tree.setPicture(n, Picture::QuestionMark);
    tree.setChecked(n, true);
    const QModelIndex index = tree.modelIndex(n);
    EXPECT_EQ(tree.data(index, Qt::DecorationRole).toString(), u"icon:QuestionMark"_s);
    EXPECT_FALSE(tree.data(index, Qt::CheckStateRole).isValid() || (tree.flags(index) & Qt::ItemIsUserCheckable));

    tree.setDisplayMode(NodeTree::DisplayMode::CheckBoxes);
    EXPECT_FALSE(tree.data(index, Qt::DecorationRole).isValid());
    EXPECT_EQ(tree.data(index, Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(tree.flags(index) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable), Qt::ItemIsUserCheckable);
    EXPECT_EQ(tree.data(index, NodeTree::PictureKeyRole).toString(), u"QuestionMark"_s); // kept for later
    // Ticking through the view changes the node.
    EXPECT_TRUE(tree.setData(index, Qt::Unchecked, Qt::CheckStateRole) && !tree.checked(n));
}

// The keys are what icon files and stored lists name: each one distinct and read back.
TEST(Picture, EveryPictureHasItsOwnKeyAndOnlyThoseKeysReadBack)
{
    const QStringList keys = {u""_s,         u"Engine"_s,   u"Working"_s, u"Path"_s,  u"File"_s,
                              u"Dead"_s,     u"QuestionMark"_s, u"Untested"_s, u"Flag"_s, u"CheckMark"_s};
    for (int i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(pictureKey(static_cast<Picture>(i)), keys[i]);
        EXPECT_EQ(pictureFromKey(keys[i]), static_cast<Picture>(i));
    }
    for (const QString &other : {u"dead"_s, u"Dead "_s, u"CheckMarks"_s, u"Fil"_s})
        EXPECT_EQ(pictureFromKey(other), Picture::None) << other.toStdString();
}

TEST_F(NodeTreeTest, ChangesAreSignalledAndABulkUpdateIsOneReset)
{
    const int n = tree.add(u"k"_s, u"t"_s);
    QSignalSpy changed(&tree, &QAbstractItemModel::dataChanged), reset(&tree, &QAbstractItemModel::modelReset),
        inserted(&tree, &QAbstractItemModel::rowsInserted), expanded(&tree, &NodeTree::expandedChanged);
    tree.setPicture(n, Picture::Dead);
    tree.setPicture(n, Picture::Dead); // no change, no signal
    tree.setTag(n, 42);
    tree.setExpanded(n, true);
    EXPECT_EQ(changed.count(), 3);
    ASSERT_EQ(expanded.count(), 1);
    EXPECT_TRUE(expanded.at(0).at(1).toBool());

    tree.beginBulkUpdate();
    const int dir = tree.add(u"/pub/"_s, u"/pub/"_s);
    tree.setExpanded(dir, true);
    for (int i = 0; i < 1000; ++i)
        tree.add(u"f%1"_s.arg(i), u"f%1"_s.arg(i), dir);
    tree.endBulkUpdate();
    EXPECT_EQ(std::pair(reset.count(), inserted.count()), (std::pair<qsizetype, qsizetype>(1, 0))); // no row-by-row inserts
    EXPECT_EQ(expanded.count(), 3); // after the reset, every expanded node again
    EXPECT_EQ(tree.rowCount(tree.modelIndex(dir)), 1000);
}

} // namespace
