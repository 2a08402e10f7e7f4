#pragma once

#include "platform/node_tree.h"

#include <QDialog>

struct EngineBoxes;
class Profile;
class Prompts;
class QLineEdit;
class QTreeView;

// The engine editor "Implemented Search Engines": a copy of the catalogue that the user changes
// through the three boxes, "Update" and the Delete key. "Done" makes the file's catalogue exactly
// this copy and reloads the main window's list; the close box discards every change.
class EngineEditor final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EngineEditor)

public:
    // Fills the copy from settings.dat.
    EngineEditor(NodeTree &enginesList, Profile &profile, Prompts &prompts, QWidget *parent);

    const NodeTree &searchEngines() const { return m_searchEngines; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void NewBtnClick();
    void UpdateBtnClick();
    void DoneBtnClick();
    void SearchEnginesDblClick();
    void showBoxes(const EngineBoxes &boxes);

    NodeTree &m_enginesList;
    Profile &m_profile;
    Prompts &m_prompts;
    NodeTree m_searchEngines{NodeTree::DisplayMode::CheckBoxes};
    QTreeView *m_tree = nullptr;
    QLineEdit *m_tName = nullptr;
    QLineEdit *m_tURL = nullptr;
    QLineEdit *m_tQuery = nullptr;
};
