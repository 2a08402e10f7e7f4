#include "platform/node_tree.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

struct NodeTreeTest : ::testing::Test
{
    using Nodes = QList<std::pair<QString, QString>>; // key and parent key, in addition order

    // Every lookup agrees with a plain list of the nodes in addition order.
    void expectInStep(const Nodes &nodes)
    {
        ASSERT_EQ(tree.count(), nodes.size());
        QHash<QString, int> rows; // the next row under each parent
        for (int i = 1; i <= nodes.size(); ++i) {
            const auto &[key, parent] = nodes[i - 1];
            ASSERT_TRUE(tree.indexOf(key) == i && tree.key(i) == key && tree.nodeIndex(tree.modelIndex(i)) == i) << i;
            ASSERT_TRUE(tree.parentOf(i) == tree.indexOf(parent) && tree.childAt(tree.indexOf(parent), rows[parent]++) == i) << i;
        }
        EXPECT_EQ(tree.childCount(0), rows.value(QString()));
    }

    NodeTree tree{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// Blocks of 50 nodes: a root, a folder under it, the rest in turn under either; then a folder goes.
TEST_F(NodeTreeTest, LookupsFollowTheAdditionOrderThroughGrowthAndRemoval)
{
    Nodes nodes;
    for (int i = 0; i < 3000; ++i) {
        const int root = i - i % 50;
        nodes.append({u"k%1"_s.arg(i), i == root ? QString() : nodes[i % 2 ? root : root + 1].first});
        ASSERT_EQ(tree.add(nodes.last().first, {}, tree.indexOf(nodes.last().second)), i + 1);
    }
    expectInStep(nodes);
    tree.remove(tree.indexOf(u"k1001"_s)); // a folder: the node after a root, with children of its own
    nodes.removeIf([](const auto &node) { return node.first == u"k1001" || node.second == u"k1001"; });
    expectInStep(nodes);
    EXPECT_EQ(tree.add(u"k1001"_s, u"again"_s), nodes.size() + 1); // a removed key is free again
}

// A taken key or a missing parent adds nothing; an index of no node reads as nothing and changes nothing.
TEST_F(NodeTreeTest, CallsNamingNoNodeChangeNothing)
{
    tree.add(u"a"_s, u"a"_s);
    EXPECT_EQ(tree.add(u"a"_s, u"again"_s) + tree.add(u"b"_s, u"b"_s, 2) + tree.add(u"c"_s, u"c"_s, -1), 0);
    for (const int index : {-1, 0, 2}) {
        tree.setPicture(index, Picture::Dead);
        tree.remove(index);
        EXPECT_TRUE(tree.key(index).isEmpty() && !tree.checked(index) && tree.parentOf(index) == 0 && tree.childAt(index, 1) == 0) << index;
    }
    EXPECT_FALSE(tree.index(1, 0).isValid() || tree.index(0, 1).isValid() || tree.index(-1, 0).isValid() || tree.count() != 1);
}

TEST_F(NodeTreeTest, CheckBoxesAndPicturesFollowTheDisplayMode)
{
    tree.setDecorationProvider([](Picture picture) { return QVariant(pictureKey(picture)); });
    const int n = tree.add(u"q"_s, u"engine"_s, 0, Picture::QuestionMark);
    tree.setChecked(n, true);
    const QModelIndex index = tree.modelIndex(n);
    for (const bool boxes : {false, true}) {
        SCOPED_TRACE(boxes ? "CheckBoxes" : "Pictures");
        tree.setDisplayMode(boxes ? NodeTree::DisplayMode::CheckBoxes : NodeTree::DisplayMode::Pictures);
        EXPECT_EQ(tree.data(index, Qt::DecorationRole), boxes ? QVariant() : QVariant(u"QuestionMark"_s));
        EXPECT_EQ(tree.data(index, Qt::CheckStateRole), boxes ? QVariant(Qt::Checked) : QVariant());
        EXPECT_EQ(tree.flags(index), Qt::ItemIsEnabled | Qt::ItemIsSelectable | (boxes ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
        EXPECT_EQ(tree.data(index, NodeTree::PictureKeyRole), QVariant(u"QuestionMark"_s)); // kept for later
        EXPECT_EQ(tree.setData(index, Qt::Unchecked, Qt::CheckStateRole), boxes); // ticked in the view
        EXPECT_EQ(tree.checked(n), !boxes);
    }
}

// Nested bulk updates end in one reset, no row or data signals, and every expanded node announced again.
// Host names and status lines come from servers: a view shows them as they are, never as markup.
TEST_F(NodeTreeTest, ToolTipsAreShownAsPlainText)
{
    const int node = tree.add(u"k"_s, u"<b>host</b>"_s);
    const auto shown = [&] { return tree.data(tree.modelIndex(node), Qt::ToolTipRole).toString(); };
    EXPECT_EQ(shown(), u"<p style='white-space:pre'>&lt;b&gt;host&lt;/b&gt;</p>"_s);
    tree.setToolTip(node, u"HTTP/1.1 200 <img src=x>\nfetched from x"_s);
    EXPECT_EQ(shown(), u"<p style='white-space:pre'>HTTP/1.1 200 &lt;img src=x&gt;\nfetched from x</p>"_s);
}

// Extra columns: a cell shows its text there only, under its header; a column that is not there takes none.
TEST_F(NodeTreeTest, ExtraColumnsShowTheCellsOfTheirNodes)
{
    tree.setExtraColumns({{u"Size"_s}, {u"Date"_s, Qt::AlignRight}});
    const int dir = tree.add(u"d"_s, u"d"_s), file = tree.add(u"f"_s, u"f"_s, dir);
    QSignalSpy changed(&tree, &QAbstractItemModel::dataChanged);
    tree.setCellText(file, 2, u"2024"_s);
    tree.setCellText(file, 3, u"no such column"_s);
    const QModelIndex cell = tree.index(0, 2, tree.modelIndex(dir));
    EXPECT_EQ(QStringList({tree.data(cell).toString(), tree.cellText(file, 1), tree.headerData(2, Qt::Horizontal).toString(), tree.data(cell, Qt::DecorationRole).toString()}),
              QStringList({u"2024"_s, u""_s, u"Date"_s, u""_s}));
    EXPECT_TRUE(tree.data(cell, Qt::TextAlignmentRole).value<Qt::Alignment>() == Qt::AlignRight && tree.data(cell.siblingAtColumn(1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    EXPECT_TRUE(changed.count() == 1 && changed[0][0].value<QModelIndex>() == cell);
}

TEST_F(NodeTreeTest, ABulkUpdateIsOneReset)
{
    QSignalSpy resetting(&tree, &QAbstractItemModel::modelAboutToBeReset), reset(&tree, &QAbstractItemModel::modelReset),
        inserted(&tree, &QAbstractItemModel::rowsInserted), changed(&tree, &QAbstractItemModel::dataChanged),
        expanded(&tree, &NodeTree::expandedChanged);
    tree.endBulkUpdate(); // without a beginning: nothing
    tree.beginBulkUpdate();
    EXPECT_EQ(resetting.count(), 1); // before the first change
    tree.beginBulkUpdate();
    const int dir = tree.add(u"/pub/"_s, u"/pub/"_s);
    tree.setExpanded(dir, true);
    tree.setPicture(tree.add(u"f"_s, u"f"_s, dir), Picture::File);
    tree.endBulkUpdate();
    tree.setDisplayMode(NodeTree::DisplayMode::CheckBoxes);
    tree.remove(tree.add(u"gone"_s, u"gone"_s));
    EXPECT_EQ(reset.count() + inserted.count() + changed.count() + expanded.count(), 0);
    tree.endBulkUpdate();
    EXPECT_EQ(std::tuple(reset.count(), inserted.count(), changed.count(), expanded.count()), std::tuple(1, 0, 0, 1));
}

} // namespace
