#pragma once

#include "platform/deferred_release.h"
#include "platform/picture.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

// A tree of keyed nodes, the model behind every list of the window (engines, results, links,
// update candidates). Nodes are addressed by their index in the order they were added, counting
// from 1; 0 means "no node". Lookup by key is O(1).
class NodeTree final : public QAbstractItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NodeTree)

public:
    // CheckBoxes: text and a check box per node. Pictures: the picture and the text, no check box.
    enum class DisplayMode { CheckBoxes, Pictures };

    enum Role {
        KeyRole = Qt::UserRole + 1,
        TagRole,
        PictureKeyRole,
        ExpandedRole,
    };

    explicit NodeTree(DisplayMode mode = DisplayMode::Pictures, QObject *parent = nullptr);
    ~NodeTree() override;

    int count() const { return static_cast<int>(m_order.size()); }

    // Adds a node as the last child of `parent` (0: a root node). Returns its index, or 0 when the
    // key is taken already (the addition fails and nothing changes). An empty key is no key: any
    // number of nodes may have none, and none is found by it.
    int add(const QString &key, const QString &text, int parent = 0, Picture picture = Picture::None);
    // Room for this many nodes in all, so that adding them does not grow the tables again and again.
    void reserve(int nodes);
    // Removes the node and all of its descendants; later nodes move up.
    void remove(int index);
    // Removes every node at once; their memory is freed over the next turns of the event loop.
    void clear();

    int indexOf(const QString &key) const;
    bool contains(const QString &key) const { return m_byKey.contains(key); }

    QString key(int index) const;
    QString text(int index) const;
    QVariant tag(int index) const;
    Picture picture(int index) const;
    bool checked(int index) const;
    bool expanded(int index) const;
    int parentOf(int index) const;
    int childCount(int index) const;
    // The index of the `row`-th child of `index` (0: the roots), or 0.
    int childAt(int index, int row) const;

    // False, and nothing changes, when another node has the key.
    bool setKey(int index, const QString &key);
    void setText(int index, const QString &text);
    void setTag(int index, const QVariant &tag);
    void setPicture(int index, Picture picture);
    void setChecked(int index, bool checked);
    void setExpanded(int index, bool expanded);
    // What a view shows when the pointer rests on the node, as plain text; empty: its text.
    void setToolTip(int index, const QString &toolTip);
    QString toolTip(int index) const;

    // Columns after the first, each with its header (the first column's header is "Name") and the
    // alignment of its texts and header. Views that hide their header show them all the same.
    struct Column
    {
        QString header;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };
    void setExtraColumns(const QList<Column> &columns);
    // The text of node `index` in extra column `column` (from 1). Only nodes with such a text take
    // room for it.
    void setCellText(int index, int column, const QString &text);
    QString cellText(int index, int column) const;

    DisplayMode displayMode() const { return m_mode; }
    void setDisplayMode(DisplayMode mode);

    // Turns a picture into what the view shows (an icon). Kept as a callback so that this model
    // needs nothing of the GUI libraries.
    using DecorationProvider = std::function<QVariant(Picture picture)>;
    void setDecorationProvider(DecorationProvider provider);

    // Many additions at once (a server's file list): one model reset instead of a signal per row.
    void beginBulkUpdate();
    void endBulkUpdate();

    QModelIndex modelIndex(int index) const;
    int nodeIndex(const QModelIndex &modelIndex) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A node's expanded flag changed (or a node was added expanded); views follow it.
    void expandedChanged(const QModelIndex &index, bool expanded);

private:
    struct Node;

    Node *nodeAt(int index) const;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOfNode(const Node *node) const;
    const std::vector<Node *> &siblingsOf(const Node *node) const;
    void collectSubtree(Node *node, std::vector<Node *> &out) const;
    void renumberFrom(std::size_t position);
    void changed(Node *node, const QList<int> &roles);

    DisplayMode m_mode;
    DecorationProvider m_decoration;
    Node *newNode();

    std::vector<Node *> m_order; // addition order; position + 1 is the node index
    // The nodes themselves, in blocks filled in the order they are added: a view walks a list in
    // that order, and a relayout of a hundred thousand rows is quick when their nodes lie side by
    // side (scattered, it waits on memory for every row).
    std::vector<std::unique_ptr<Node[]>> m_blocks;
    std::size_t m_blockUsed = 0;
    std::vector<Node *> m_roots;
    QHash<QString, Node *> m_byKey;
    QList<Column> m_columns{{QStringLiteral("Name")}};
    QHash<const Node *, QStringList> m_cells; // the extra columns' texts, of the nodes that have any
    int m_bulkDepth = 0;
    DeferredRelease m_released;
};
