#include "app/main_window.h"

#include "app/pictures.h"
#include "catalogue/engine_catalogue.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTreeView>

namespace {

QTreeView *makeTree(NodeTree &model, QWidget *parent)
{
    auto *view = new QTreeView(parent);
    view->setModel(&model);
    view->setHeaderHidden(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformRowHeights(true);
    model.setDecorationProvider([](const QString &key) { return QVariant(pictureIcon(key)); });
    QObject::connect(&model, &NodeTree::expandedChanged, view,
                     [view](const QModelIndex &index, bool expanded) { view->setExpanded(index, expanded); });
    return view;
}

} // namespace

MainWindow::MainWindow(Profile &profile, Shell &shell, QWidget *parent)
    : QMainWindow(parent)
    , m_profile(profile)
    , m_shell(shell)
{
    setWindowTitle(QStringLiteral("Kestrune"));
    m_enginesView = makeTree(m_enginesList, this);
    m_enginesView->setRootIsDecorated(false);
    m_enginesView->setObjectName(QStringLiteral("EnginesList"));
    connect(m_enginesView, &QTreeView::doubleClicked, this, &MainWindow::openSelectedEngine);
    setCentralWidget(m_enginesView);
    resize(900, 600);

    LoadEngines(m_enginesList, m_profile);
}

MainWindow::~MainWindow() = default;

void MainWindow::openSelectedEngine()
{
    // The selection, not the current index: a view makes its first row current on focus alone.
    const QModelIndexList selected = m_enginesView->selectionModel()->selectedRows();
    const int node = selected.isEmpty() ? 0 : m_enginesList.nodeIndex(selected.first());
    if (node == 0)
        return;
    ShellOpen(m_shell, m_enginesList.tag(node).toString());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    SaveActiveFlags(m_enginesList, m_profile);
    event->accept();
}
