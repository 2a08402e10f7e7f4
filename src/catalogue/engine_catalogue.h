#pragma once

#include "catalogue/profile.h"

#include <QList>
#include <QString>
#include <QVector>

class NodeTree;
class Shell;

inline const QString kSettingsFile = QStringLiteral("settings.dat");

// One web search engine of the catalogue. In a tree node: Name is the text, URL the tag, Query
// the key and Active the check state.
struct EngineRecord
{
    QString Name;
    QString URL;
    QString Query; // the query template, "%s" where the search text goes
    bool Active = false;

    friend bool operator==(const EngineRecord &, const EngineRecord &) = default;
};

// The engines of settings.dat in file order. Entries that cannot make a node are skipped: a
// missing or empty name, and a query template that an earlier engine already uses (it is the
// node's key). A "Count" that is not a number lists every numbered name the file holds.
QList<EngineRecord> ReadEngines(const Profile &profile);

// Replaces the nodes of `tree` with the catalogue; returns the number of engines listed.
int LoadEngines(NodeTree &tree, const Profile &profile);

enum class SaveScope {
    WholeList,   // the list is replaced by every node, with its check box as "Active"
    TickedMerge, // each ticked node goes to its position; other entries and "Active" stay
};

// Writes the engines of `tree` into settings.dat; false when the file could not be written.
bool SaveEngines(const NodeTree &tree, SaveScope scope, Profile &profile);

// Writes `source` into the catalogue over the main list: the main list's check boxes are stored
// first, then `source` is saved with `scope` (so its values win), and the main list is reloaded
// from the file. False when settings.dat could not be written; the main list is then as it was.
bool SaveEnginesOverList(const NodeTree &source, SaveScope scope, NodeTree &enginesList, Profile &profile);

// The check box of each node by node index (element 0 unused).
QVector<bool> ActiveFlags(const NodeTree &enginesList);

// Stores each node's check box as its engine's "Active" and returns the flags by node index
// (element 0 unused), the search's engineActive. The flags come back even when they could not be
// stored: the search goes on with them.
QVector<bool> SaveActiveFlags(const NodeTree &enginesList, Profile &profile, bool *stored = nullptr);

// Why settings.dat cannot give the catalogue, in words for the user: missing, a folder, unreadable,
// or lines that end in CR alone. Empty when the file can be read (it may still list no engine).
QString CatalogueProblem(const Profile &profile);

void ShellOpen(Shell &shell, const QString &target);
