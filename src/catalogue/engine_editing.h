#pragma once

#include <QString>

class NodeTree;

// The three boxes of the engine editor, in the words the user sees and types.
struct EngineBoxes
{
    QString name;
    QString url;   // the engine's home page
    QString query; // the query template
};

enum class EngineEdit {
    Added,
    Changed,
    NoPlaceholder, // the template has no "%s"
    NoName,        // the name is empty once trimmed
    NotStorable,   // a box has a control character, or more than settings.dat keeps of a value
    QueryTaken,    // another engine has this template, and templates are the engines' keys
};

struct EngineEditResult
{
    EngineEdit outcome = EngineEdit::Added;
    int node = 0; // the engine added or changed, or the one whose template it is (QueryTaken)
};

// The editor's "Update": trims the spaces around each box (the caller shows the trimmed texts),
// then adds an unticked engine at the end of `engines`, or, when an engine has this name (letter
// case counts), gives it the home page and template and keeps its place and check box. Nothing
// changes unless the outcome is Added or Changed.
EngineEditResult UpdateEngine(NodeTree &engines, EngineBoxes &boxes);

// What a double click on engine node `node` puts in the boxes.
EngineBoxes engineBoxes(const NodeTree &engines, int node);
