#pragma once

class NodeTree;
class QTreeView;

// The node the user picked in a view of `model`: the selection, not the current index (a view
// makes its first row current on focus alone). 0 when nothing is selected.
int selectedNode(const QTreeView *view, const NodeTree &model);
