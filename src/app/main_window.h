#pragma once

#include "app/detail/pictures.h"
#include "app/window_layout.h"

#include <QHash>
#include <QList>
#include <QMainWindow>

class AdsPanel;
class Core;
class Prompts;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;
class ResizeBar;
class UpdateSession;

// The program's one window: the search box and button, the engine list, the results tree, the
// selected server's files and login details, and the status line. It binds views to the lists of
// `Core` and turns clicks into calls; all the work happens in `Core`. Each part carries an object
// name ("SearchText", "FTPList", "resultsMenu", a status panel's key, ...) by which tests find it.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    MainWindow(Core &core, Prompts &prompts, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The menus' commands, by the index of the item in its menu.
    void FileMenuClick(int index);
    void EditMenuClick(int index);
    void ViewMenuClick(int index);
    void AdvancedMenuClick(int index);
    void HelpMenuClick(int index);
    // The pop-up menu's commands on the selected row of the links list.
    void reconnectClick(int index);
    void resultsMenuClick(int index);
    void copyLClick();

    void buildMenus();
    // Opens the user guide, written to the program folder when it is not this version's.
    void openDocumentation();
    // Opens the update window on the exchange that `start` begins.
    void openUpdateWindow(void (UpdateSession::*start)());
    void buildStatusBar();
    // The search box and button; the panes and the details box under them.
    void buildSearchFrame(QWidget *parent);
    void buildResultsFrame(QWidget *parent);
    void buildInfoBox();
    // Places the controls for the window's size, and the panes for the bar's place.
    void layOutWindow();
    void placePanes();
    void openSelectedEngine();
    void showSelectedServer();
    // The size and date columns show once the listed server has been verified.
    void showFactColumns();
    void showResultsMenu(const QPoint &globalPosition);
    // The key of the selected row of the links list: a file's address, a directory's path.
    QString selectedKey() const;

    Core &m_core;
    Prompts &m_prompts;
    Pictures m_pictures;
    WindowLayout m_layout;
    QGroupBox *m_searchFrame = nullptr;
    AdsPanel *m_addsFrame = nullptr;
    QGroupBox *m_resultsFrame = nullptr;
    ResizeBar *m_resizeBar = nullptr;
    QWidget *m_infoBox = nullptr;
    QLineEdit *m_searchText = nullptr;
    QPushButton *m_searchBtn = nullptr;
    QTreeView *m_enginesView = nullptr;
    QTreeView *m_ftpView = nullptr;
    QTreeView *m_linksView = nullptr;
    QLineEdit *m_info[4] = {};
    QAction *m_testResults = nullptr;
    QAction *m_viewTypes[3] = {};
    QMenu *m_resultsMenu = nullptr;
    QList<QAction *> m_fileCommands; // "Connect", "Get File" and their separator
    QHash<QString, QLabel *> m_panels;
    // The server the links list shows, and how many files it had then.
    struct ShownServer
    {
        int node = 0;
        int entries = 0;
        friend bool operator==(const ShownServer &, const ShownServer &) = default;
    };
    ShownServer shownServer() const;
    ShownServer m_shown;
};
