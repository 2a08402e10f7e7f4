#include "platform/gui/node_views.h"

#include "platform/node_tree.h"

#include <QTreeView>

int selectedNode(const QTreeView *view, const NodeTree &model)
{
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : model.nodeIndex(selected.first());
}
