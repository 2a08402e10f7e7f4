#pragma once

#include "platform/node_tree.h"

#include <QMainWindow>

class Profile;
class QTreeView;
class Shell;

// The program's one window: the engine list, and (as the program grows) the search box, the
// results and the status line.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    MainWindow(Profile &profile, Shell &shell, QWidget *parent = nullptr);
    ~MainWindow() override;

    NodeTree &enginesList() { return m_enginesList; }
    QTreeView *enginesView() const { return m_enginesView; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void openSelectedEngine();

    Profile &m_profile;
    Shell &m_shell;
    NodeTree m_enginesList{NodeTree::DisplayMode::CheckBoxes};
    QTreeView *m_enginesView = nullptr;
};
