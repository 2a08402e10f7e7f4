#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class NodeTreeTest : public ::testing::Test
{
protected:
    NodeTree tree{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(NodeTreeTest, NodesAreNumberedInAdditionOrderAcrossLevels)
{
    const int ftp = tree.add(QStringLiteral("FTP"), QStringLiteral("FTP"), 0, QStringLiteral("Engine"));
    const int http = tree.add(QStringLiteral("HTTP"), QStringLiteral("HTTP"), 0, QStringLiteral("Engine"));
    const int a = tree.add(QStringLiteral("ftp://a"), QStringLiteral("a"), ftp, QStringLiteral("Untested"));
    const int b = tree.add(QStringLiteral("http://b"), QStringLiteral("b"), http, QStringLiteral("Working"));
    const int c = tree.add(QStringLiteral("ftp://c"), QStringLiteral("c"), ftp, QStringLiteral("Untested"));

    EXPECT_EQ((std::vector<int>{ftp, http, a, b, c}), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(tree.count(), 5);
    EXPECT_EQ(tree.parentOf(c), ftp);
    EXPECT_EQ(tree.parentOf(ftp), 0);
    EXPECT_EQ(tree.childCount(ftp), 2);
    EXPECT_EQ(tree.childAt(ftp, 1), c);
    EXPECT_EQ(tree.childAt(0, 1), http);
    EXPECT_EQ(tree.indexOf(QStringLiteral("http://b")), b);
    EXPECT_EQ(tree.indexOf(QStringLiteral("nothing")), 0);
    EXPECT_EQ(tree.rowCount(tree.modelIndex(ftp)), 2);
    EXPECT_EQ(tree.nodeIndex(tree.modelIndex(c)), c);
}

TEST_F(NodeTreeTest, DuplicateKeyOrMissingParentAddsNothing)
{
    ASSERT_EQ(tree.add(QStringLiteral("k"), QStringLiteral("one")), 1);
    EXPECT_EQ(tree.add(QStringLiteral("k"), QStringLiteral("two")), 0);
    EXPECT_EQ(tree.add(QStringLiteral("other"), QStringLiteral("x"), 7), 0);
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(tree.text(1), QStringLiteral("one"));
}

TEST_F(NodeTreeTest, RemovingANodeTakesItsSubtreeAndRenumbersTheRest)
{
    const int root1 = tree.add(QStringLiteral("r1"), QStringLiteral("r1"));
    tree.add(QStringLiteral("c1"), QStringLiteral("c1"), root1);
    const int root2 = tree.add(QStringLiteral("r2"), QStringLiteral("r2"));
    tree.add(QStringLiteral("c2"), QStringLiteral("c2"), root1);
    tree.add(QStringLiteral("c3"), QStringLiteral("c3"), root2);

    tree.remove(root1);

    ASSERT_EQ(tree.count(), 2);
    EXPECT_EQ(tree.key(1), QStringLiteral("r2"));
    EXPECT_EQ(tree.key(2), QStringLiteral("c3"));
    EXPECT_EQ(tree.indexOf(QStringLiteral("c3")), 2);
    EXPECT_EQ(tree.parentOf(2), 1);
    EXPECT_FALSE(tree.contains(QStringLiteral("c1")));
    // A removed key can be used again.
    EXPECT_EQ(tree.add(QStringLiteral("c1"), QStringLiteral("again")), 3);

    tree.clear();
    EXPECT_EQ(tree.count(), 0);
    EXPECT_EQ(tree.rowCount(), 0);
}

TEST_F(NodeTreeTest, CheckBoxesAndPicturesFollowTheDisplayMode)
{
    tree.setDecorationProvider([](const QString &key) { return QVariant(QStringLiteral("icon:") + key); });
    const int n = tree.add(QStringLiteral("q"), QStringLiteral("engine"));
    tree.setPicture(n, QStringLiteral("QuestionMark"));
    tree.setChecked(n, true);
    const QModelIndex index = tree.modelIndex(n);

    EXPECT_EQ(tree.data(index, Qt::DecorationRole).toString(), QStringLiteral("icon:QuestionMark"));
    EXPECT_FALSE(tree.data(index, Qt::CheckStateRole).isValid());
    EXPECT_FALSE(tree.flags(index) & Qt::ItemIsUserCheckable);

    tree.setDisplayMode(NodeTree::DisplayMode::CheckBoxes);
    EXPECT_FALSE(tree.data(index, Qt::DecorationRole).isValid());
    EXPECT_EQ(tree.data(index, Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(tree.flags(index) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(tree.flags(index) & Qt::ItemIsEditable);
    // The picture key survives the switch.
    EXPECT_EQ(tree.data(index, NodeTree::PictureKeyRole).toString(), QStringLiteral("QuestionMark"));

    // Ticking through the view changes the node.
    EXPECT_TRUE(tree.setData(index, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(tree.checked(n));
    EXPECT_FALSE(tree.setData(index, QStringLiteral("renamed"), Qt::EditRole));
    EXPECT_EQ(tree.text(n), QStringLiteral("engine"));
}

TEST_F(NodeTreeTest, ChangesAreSignalled)
{
    const int n = tree.add(QStringLiteral("k"), QStringLiteral("t"));
    QSignalSpy changed(&tree, &QAbstractItemModel::dataChanged);
    QSignalSpy expanded(&tree, &NodeTree::expandedChanged);

    tree.setPicture(n, QStringLiteral("Dead"));
    tree.setPicture(n, QStringLiteral("Dead")); // no change, no signal
    tree.setTag(n, 42);
    tree.setExpanded(n, true);

    EXPECT_EQ(changed.count(), 3);
    ASSERT_EQ(expanded.count(), 1);
    EXPECT_EQ(expanded.at(0).at(1).toBool(), true);
    EXPECT_EQ(tree.tag(n).toInt(), 42);
}

TEST_F(NodeTreeTest, BulkUpdateIsOneResetAndReportsExpandedNodes)
{
    QSignalSpy reset(&tree, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&tree, &QAbstractItemModel::rowsInserted);
    QSignalSpy expanded(&tree, &NodeTree::expandedChanged);

    tree.beginBulkUpdate();
    const int dir = tree.add(QStringLiteral("/pub/"), QStringLiteral("/pub/"));
    tree.setExpanded(dir, true);
    for (int i = 0; i < 1000; ++i)
        tree.add(QStringLiteral("f%1").arg(i), QStringLiteral("f%1").arg(i), dir);
    tree.endBulkUpdate();

    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(expanded.count(), 1);
    EXPECT_EQ(tree.rowCount(tree.modelIndex(dir)), 1000);
}

TEST_F(NodeTreeTest, OutOfRangeIndexesAreHarmless)
{
    EXPECT_TRUE(tree.key(0).isEmpty());
    EXPECT_TRUE(tree.text(5).isEmpty());
    EXPECT_FALSE(tree.checked(-1));
    tree.setPicture(3, QStringLiteral("Dead"));
    tree.remove(9);
    EXPECT_EQ(tree.childAt(4, 0), 0);
    EXPECT_EQ(tree.count(), 0);
}

} // namespace
