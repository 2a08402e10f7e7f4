#include "catalogue/engine_editing.h"

#include "catalogue/profile.h"
#include "platform/byte_text.h"
#include "platform/node_tree.h"

namespace {

// A value the profile reader gives back whole, on one line.
bool storable(const QString &stored)
{
    return stored.size() <= 254 && !hasControlByte(stored.toLatin1());
}

// The first engine from the top with this name, letter case counting; 0 when none.
int engineNamed(const NodeTree &engines, const QString &name)
{
    for (int i = 1; i <= engines.count(); ++i) {
        if (engines.text(i) == name)
            return i;
    }
    return 0;
}

} // namespace

EngineEditResult UpdateEngine(NodeTree &engines, EngineBoxes &boxes)
{
    boxes.name = withoutSpaces(boxes.name);
    boxes.url = withoutSpaces(boxes.url);
    boxes.query = withoutSpaces(boxes.query);
    const QString name = storedText(boxes.name);
    const QString url = storedText(boxes.url);
    const QString query = storedText(boxes.query);
    if (indexOfPercentS(query.toLatin1()) < 0)
        return {EngineEdit::NoPlaceholder};
    // A nameless engine would be written without a section of its own and dropped on reading.
    if (name.isEmpty())
        return {EngineEdit::NoName};
    if (!storable(name) || !storable(url) || !storable(query))
        return {EngineEdit::NotStorable};

    int node = engineNamed(engines, name);
    if (const int holder = engines.indexOf(query); holder != 0 && holder != node)
        return {EngineEdit::QueryTaken, holder};
    if (node == 0) {
        node = engines.add(query, name);
        engines.setTag(node, url);
        return {EngineEdit::Added, node};
    }
    engines.setKey(node, query);
    engines.setTag(node, url);
    return {EngineEdit::Changed, node};
}

EngineBoxes engineBoxes(const NodeTree &engines, int node)
{
    return {shownText(engines.text(node)), shownText(engines.tag(node).toString()), shownText(engines.key(node))};
}
