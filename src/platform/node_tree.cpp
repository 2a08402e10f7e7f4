#include "platform/node_tree.h"

#include <algorithm>
#include <utility>

struct NodeTree::Node
{
    QString key;
    QString text;
    QString toolTip;
    QVariant tag;
    Picture picture = Picture::None;
    bool checked = false;
    bool expanded = false;
    Node *parent = nullptr;
    std::vector<Node *> children;
    int row = 0;   // position among its siblings
    int order = 0; // node index, 1-based
};

NodeTree::NodeTree(DisplayMode mode, QObject *parent)
    : QAbstractItemModel(parent)
    , m_mode(mode)
{
}

NodeTree::~NodeTree() = default;

NodeTree::Node *NodeTree::newNode()
{
    // Blocks grow from 16 nodes to 4,096, so that a list of three engines stays small.
    const auto blockSize = [](std::size_t block) { return std::size_t(16) << std::min<std::size_t>(block, 8); };
    if (m_blocks.empty() || m_blockUsed == blockSize(m_blocks.size() - 1)) {
        m_blocks.push_back(std::make_unique<Node[]>(blockSize(m_blocks.size())));
        m_blockUsed = 0;
    }
    return &m_blocks.back()[m_blockUsed++];
}

NodeTree::Node *NodeTree::nodeAt(int index) const
{
    if (index < 1 || index > count())
        return nullptr;
    return m_order[static_cast<std::size_t>(index - 1)];
}

NodeTree::Node *NodeTree::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

QModelIndex NodeTree::indexOfNode(const Node *node) const
{
    return node ? createIndex(node->row, 0, const_cast<Node *>(node)) : QModelIndex();
}

const std::vector<NodeTree::Node *> &NodeTree::siblingsOf(const Node *node) const
{
    return node->parent ? node->parent->children : m_roots;
}

int NodeTree::add(const QString &key, const QString &text, int parent, Picture picture)
{
    Node *parentNode = nullptr;
    if (parent != 0) {
        parentNode = nodeAt(parent);
        if (!parentNode)
            return 0;
    }
    // One probe finds the key or makes its slot: a server's file list adds a hundred thousand keys.
    Node **slot = nullptr;
    if (!key.isEmpty()) {
        slot = &m_byKey[key];
        if (*slot)
            return 0;
    }
    std::vector<Node *> &siblings = parentNode ? parentNode->children : m_roots;
    const int row = static_cast<int>(siblings.size());

    if (m_bulkDepth == 0)
        beginInsertRows(indexOfNode(parentNode), row, row);
    Node *node = newNode();
    node->key = key;
    node->text = text;
    node->picture = picture;
    node->parent = parentNode;
    node->row = row;
    node->order = count() + 1;
    siblings.push_back(node);
    if (slot)
        *slot = node;
    m_order.push_back(node);
    if (m_bulkDepth == 0)
        endInsertRows();
    return count();
}

void NodeTree::reserve(int nodes)
{
    m_byKey.reserve(nodes);
    m_order.reserve(static_cast<std::size_t>(nodes));
}

void NodeTree::collectSubtree(Node *node, std::vector<Node *> &out) const
{
    out.push_back(node);
    for (Node *child : node->children)
        collectSubtree(child, out);
}

void NodeTree::renumberFrom(std::size_t position)
{
    for (std::size_t i = position; i < m_order.size(); ++i)
        m_order[i]->order = static_cast<int>(i + 1);
}

void NodeTree::remove(int index)
{
    Node *node = nodeAt(index);
    if (!node)
        return;
    std::vector<Node *> &siblings = node->parent ? node->parent->children : m_roots;
    const int row = node->row;

    if (m_bulkDepth == 0)
        beginRemoveRows(indexOfNode(node->parent), row, row);
    siblings.erase(siblings.begin() + row);
    for (std::size_t i = static_cast<std::size_t>(row); i < siblings.size(); ++i)
        siblings[i]->row = static_cast<int>(i);

    std::vector<Node *> doomed;
    collectSubtree(node, doomed);
    for (Node *n : doomed) {
        if (!n->key.isEmpty())
            m_byKey.remove(n->key);
        m_cells.remove(n);
    }
    std::size_t first = m_order.size();
    for (Node *n : doomed)
        first = std::min(first, static_cast<std::size_t>(n->order - 1));
    std::sort(doomed.begin(), doomed.end());
    std::erase_if(m_order, [&doomed](const Node *n) { return std::binary_search(doomed.begin(), doomed.end(), n); });
    // Their places in the blocks stay empty until the tree is cleared.
    for (Node *n : doomed)
        *n = Node{};
    renumberFrom(first);
    if (m_bulkDepth == 0)
        endRemoveRows();
}

void NodeTree::clear()
{
    if (m_order.empty())
        return;
    if (m_bulkDepth == 0)
        beginResetModel();
    m_roots.clear();
    // Freed over the next turns of the event loop: a list of a hundred thousand servers or files
    // takes tens of milliseconds to free.
    m_released.releaseWhole(std::exchange(m_byKey, {}));
    m_released.release(std::exchange(m_blocks, {}), 1);
    m_cells.clear();
    m_blockUsed = 0;
    m_order = {};
    if (m_bulkDepth == 0)
        endResetModel();
}

int NodeTree::indexOf(const QString &key) const
{
    const Node *node = m_byKey.value(key);
    return node ? node->order : 0;
}

QString NodeTree::key(int index) const
{
    const Node *node = nodeAt(index);
    return node ? node->key : QString();
}

QString NodeTree::text(int index) const
{
    const Node *node = nodeAt(index);
    return node ? node->text : QString();
}

QVariant NodeTree::tag(int index) const
{
    const Node *node = nodeAt(index);
    return node ? node->tag : QVariant();
}

Picture NodeTree::picture(int index) const
{
    const Node *node = nodeAt(index);
    return node ? node->picture : Picture::None;
}

bool NodeTree::checked(int index) const
{
    const Node *node = nodeAt(index);
    return node && node->checked;
}

bool NodeTree::expanded(int index) const
{
    const Node *node = nodeAt(index);
    return node && node->expanded;
}

int NodeTree::parentOf(int index) const
{
    const Node *node = nodeAt(index);
    return node && node->parent ? node->parent->order : 0;
}

int NodeTree::childCount(int index) const
{
    if (index == 0)
        return static_cast<int>(m_roots.size());
    const Node *node = nodeAt(index);
    return node ? static_cast<int>(node->children.size()) : 0;
}

int NodeTree::childAt(int index, int row) const
{
    const Node *node = index == 0 ? nullptr : nodeAt(index);
    if (index != 0 && !node)
        return 0;
    const std::vector<Node *> &children = node ? node->children : m_roots;
    if (row < 0 || row >= static_cast<int>(children.size()))
        return 0;
    return children[static_cast<std::size_t>(row)]->order;
}

void NodeTree::changed(Node *node, const QList<int> &roles)
{
    if (m_bulkDepth > 0)
        return;
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index, roles);
}

bool NodeTree::setKey(int index, const QString &key)
{
    Node *node = nodeAt(index);
    if (!node)
        return false;
    if (node->key == key)
        return true;
    if (!key.isEmpty() && m_byKey.contains(key))
        return false;
    if (!node->key.isEmpty())
        m_byKey.remove(node->key);
    node->key = key;
    if (!key.isEmpty())
        m_byKey.insert(key, node);
    changed(node, {KeyRole});
    return true;
}

void NodeTree::setText(int index, const QString &text)
{
    Node *node = nodeAt(index);
    if (!node || node->text == text)
        return;
    node->text = text;
    changed(node, {Qt::DisplayRole});
}

void NodeTree::setTag(int index, const QVariant &tag)
{
    Node *node = nodeAt(index);
    if (!node)
        return;
    node->tag = tag;
    changed(node, {TagRole});
}

void NodeTree::setPicture(int index, Picture picture)
{
    Node *node = nodeAt(index);
    if (!node || node->picture == picture)
        return;
    node->picture = picture;
    changed(node, {PictureKeyRole, Qt::DecorationRole});
}

void NodeTree::setChecked(int index, bool checked)
{
    Node *node = nodeAt(index);
    if (!node || node->checked == checked)
        return;
    node->checked = checked;
    changed(node, {Qt::CheckStateRole});
}

void NodeTree::setExpanded(int index, bool expanded)
{
    Node *node = nodeAt(index);
    if (!node || node->expanded == expanded)
        return;
    node->expanded = expanded;
    changed(node, {ExpandedRole});
    if (m_bulkDepth == 0)
        emit expandedChanged(indexOfNode(node), expanded);
}

QString NodeTree::toolTip(int index) const
{
    const Node *node = nodeAt(index);
    return !node ? QString() : node->toolTip.isEmpty() ? node->text : node->toolTip;
}

void NodeTree::setToolTip(int index, const QString &toolTip)
{
    Node *node = nodeAt(index);
    if (!node || node->toolTip == toolTip)
        return;
    node->toolTip = toolTip;
    changed(node, {Qt::ToolTipRole});
}

void NodeTree::setDisplayMode(DisplayMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    if (m_bulkDepth > 0 || m_order.empty())
        return;
    // Every node shows or hides its check box and its picture: one change per run of siblings.
    const QList<int> roles{Qt::CheckStateRole, Qt::DecorationRole};
    auto siblingsChanged = [this, &roles](const std::vector<Node *> &siblings) {
        if (!siblings.empty())
            emit dataChanged(indexOfNode(siblings.front()), indexOfNode(siblings.back()), roles);
    };
    siblingsChanged(m_roots);
    for (const auto &node : m_order)
        siblingsChanged(node->children);
}

void NodeTree::setDecorationProvider(DecorationProvider provider)
{
    m_decoration = std::move(provider);
}

void NodeTree::beginBulkUpdate()
{
    if (m_bulkDepth++ == 0)
        beginResetModel();
}

void NodeTree::endBulkUpdate()
{
    if (m_bulkDepth == 0)
        return;
    if (--m_bulkDepth == 0) {
        endResetModel();
        for (const auto &node : m_order) {
            if (node->expanded)
                emit expandedChanged(indexOfNode(node), true);
        }
    }
}

QModelIndex NodeTree::modelIndex(int index) const
{
    return indexOfNode(nodeAt(index));
}

int NodeTree::nodeIndex(const QModelIndex &modelIndex) const
{
    const Node *node = nodeOf(modelIndex);
    return node ? node->order : 0;
}

QModelIndex NodeTree::index(int row, int column, const QModelIndex &parent) const
{
    if (column < 0 || column >= m_columns.size() || row < 0)
        return {};
    const Node *parentNode = nodeOf(parent);
    const std::vector<Node *> &children = parentNode ? parentNode->children : m_roots;
    if (row >= static_cast<int>(children.size()))
        return {};
    return createIndex(row, column, children[static_cast<std::size_t>(row)]);
}

QModelIndex NodeTree::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    return node ? indexOfNode(node->parent) : QModelIndex();
}

int NodeTree::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node *node = nodeOf(parent);
    return static_cast<int>(node ? node->children.size() : m_roots.size());
}

int NodeTree::columnCount(const QModelIndex &) const
{
    return static_cast<int>(m_columns.size());
}

QVariant NodeTree::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[section].alignment);
    return role == Qt::DisplayRole ? QVariant(m_columns[section].header) : QVariant();
}

void NodeTree::setExtraColumns(const QList<Column> &columns)
{
    beginResetModel();
    m_columns = QList<Column>{m_columns.first()} + columns;
    m_cells.clear();
    endResetModel();
}

void NodeTree::setCellText(int index, int column, const QString &text)
{
    const Node *node = nodeAt(index);
    if (!node || column < 1 || column >= m_columns.size() || cellText(index, column) == text)
        return;
    QStringList &cells = m_cells[node];
    if (cells.size() < column)
        cells.resize(column);
    cells[column - 1] = text;
    if (m_bulkDepth == 0) {
        const QModelIndex changed = createIndex(node->row, column, const_cast<Node *>(node));
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

QString NodeTree::cellText(int index, int column) const
{
    const Node *node = nodeAt(index);
    const auto found = node ? m_cells.constFind(node) : m_cells.cend();
    return found == m_cells.cend() || column < 1 || column > found->size() ? QString() : found->at(column - 1);
}

QVariant NodeTree::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    if (index.column() > 0) {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(m_columns[index.column()].alignment);
        return role == Qt::DisplayRole ? QVariant(cellText(node->order, index.column())) : QVariant();
    }
    switch (role) {
    case Qt::DisplayRole:
        return node->text;
    case Qt::ToolTipRole:
        // Servers' words (host names, status lines) are shown as they are: a view would render
        // anything that looks like markup.
        return QStringLiteral("<p style='white-space:pre'>") + toolTip(node->order).toHtmlEscaped() + QStringLiteral("</p>");
    case Qt::CheckStateRole:
        if (m_mode == DisplayMode::CheckBoxes)
            return node->checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::DecorationRole:
        if (m_mode == DisplayMode::Pictures && m_decoration && node->picture != Picture::None)
            return m_decoration(node->picture);
        return {};
    case KeyRole:
        return node->key;
    case TagRole:
        return node->tag;
    case PictureKeyRole:
        return pictureKey(node->picture);
    case ExpandedRole:
        return node->expanded;
    default:
        return {};
    }
}

bool NodeTree::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Node *node = nodeOf(index);
    if (!node || role != Qt::CheckStateRole || m_mode != DisplayMode::CheckBoxes)
        return false;
    setChecked(node->order, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags NodeTree::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Never editable: node texts are names and hosts that the user must not change in place.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_mode == DisplayMode::CheckBoxes)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}
