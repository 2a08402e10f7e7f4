#include "app/main_window.h"

#include "app/core.h"
#include "app/pictures.h"
#include "catalogue/engine_catalogue.h"
#include "ftpclient/client_launch.h"
#include "ftpclient/server_details.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QTreeView *makeTree(NodeTree &model, const QString &name, Pictures &pictures, QWidget *parent)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(name);
    view->setModel(&model);
    view->setHeaderHidden(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformRowHeights(true);
    model.setDecorationProvider([&pictures](const QString &key) { return QVariant(pictures.icon(key)); });
    QObject::connect(&model, &NodeTree::expandedChanged, view,
                     [view](const QModelIndex &index, bool expanded) { view->setExpanded(index, expanded); });
    return view;
}

// The node the user picked: the selection, not the current index (a view makes its first row
// current on focus alone).
int selectedNode(const QTreeView *view, const NodeTree &model)
{
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    return selected.isEmpty() ? 0 : model.nodeIndex(selected.first());
}

} // namespace

MainWindow::MainWindow(Core &core, QWidget *parent)
    : QMainWindow(parent)
    , m_core(core)
{
    setWindowTitle(QStringLiteral("Kestrune"));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *searchRow = new QHBoxLayout;
    m_searchText = new QLineEdit(central);
    m_searchText->setObjectName(QStringLiteral("SearchText"));
    m_searchText->setPlaceholderText(QStringLiteral("Artist, title or file name"));
    m_searchBtn = new QPushButton(QStringLiteral("Search"), central);
    m_searchBtn->setObjectName(QStringLiteral("SearchBtn"));
    searchRow->addWidget(m_searchText, 1);
    searchRow->addWidget(m_searchBtn);
    layout->addLayout(searchRow);

    auto *panes = new QSplitter(Qt::Horizontal, central);
    m_enginesView = makeTree(core.enginesList, QStringLiteral("EnginesList"), m_pictures, panes);
    m_enginesView->setRootIsDecorated(false);
    m_ftpView = makeTree(core.ftpList, QStringLiteral("FTPList"), m_pictures, panes);

    auto *detailsPane = new QWidget(panes);
    auto *detailsLayout = new QVBoxLayout(detailsPane);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    m_linksView = makeTree(core.linksList, QStringLiteral("LinksList"), m_pictures, detailsPane);
    m_linksView->setContextMenuPolicy(Qt::CustomContextMenu);
    detailsLayout->addWidget(m_linksView, 1);
    auto *info = new QGroupBox(QStringLiteral("Search Info:"), detailsPane);
    auto *form = new QFormLayout(info);
    const char *labels[] = {"Address:", "Port:", "Username:", "Password:"};
    const char *names[] = {"tAddress", "tPort", "tName", "tPass"};
    for (int i = 0; i < 4; ++i) {
        m_info[i] = new QLineEdit(info);
        m_info[i]->setObjectName(QString::fromLatin1(names[i]));
        m_info[i]->setReadOnly(true);
        form->addRow(QString::fromLatin1(labels[i]), m_info[i]);
    }
    detailsLayout->addWidget(info);
    panes->setStretchFactor(0, 1);
    panes->setStretchFactor(1, 2);
    panes->setStretchFactor(2, 2);
    layout->addWidget(panes, 1);
    setCentralWidget(central);

    buildMenus();
    buildStatusBar();
    resize(1100, 680);

    connect(m_searchBtn, &QPushButton::clicked, this, [this] { m_core.search.SearchBtnClick(m_searchText->text()); });
    connect(m_searchText, &QLineEdit::returnPressed, this, [this] { m_core.search.SearchBtnClick(m_searchText->text()); });
    connect(&m_core.search, &SearchController::searchingChanged, this, [this](bool searching) {
        m_searchBtn->setText(searching ? QStringLiteral("Stop") : QStringLiteral("Search"));
    });
    connect(m_enginesView, &QTreeView::doubleClicked, this, &MainWindow::openSelectedEngine);
    // A click and a keyboard move both show the selected server. A click on the server already
    // shown lists it again only if it has found more files since: a big list is rebuilt once.
    connect(m_ftpView->selectionModel(), &QItemSelectionModel::currentChanged, this, &MainWindow::showSelectedServer);
    connect(m_ftpView, &QTreeView::clicked, this, [this] {
        if (shownServer() != m_shown)
            showSelectedServer();
    });
    connect(m_linksView, &QWidget::customContextMenuRequested, this, &MainWindow::showResultsMenu);

    // Said once, when the window opens: otherwise every search would just find nothing. A file
    // with such a problem lists no engine, so one that does is not read a second time.
    if (const QString problem = core.enginesList.count() == 0 ? CatalogueProblem(core.profile) : QString();
        !problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kestrune"),
                                        QStringLiteral("No search engine could be read.\n\n%1").arg(problem),
                                        QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("CatalogueProblem"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    }
}

MainWindow::~MainWindow()
{
    for (NodeTree *model : {&m_core.enginesList, &m_core.ftpList, &m_core.linksList})
        model->setDecorationProvider({});
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    const char *layouts[] = {"List", "Half Detailed", "Detailed"};
    auto *group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_viewTypes[i] = view->addAction(QString::fromLatin1(layouts[i]));
        m_viewTypes[i]->setCheckable(true);
        m_viewTypes[i]->setChecked(m_core.preferences.listViewType == i + 1);
        group->addAction(m_viewTypes[i]);
        connect(m_viewTypes[i], &QAction::triggered, this, [this, i] {
            m_core.preferences.listViewType = i + 1;
            showSelectedServer();
        });
    }

    QMenu *tests = menuBar()->addMenu(QStringLiteral("&Tests"));
    m_testResults = tests->addAction(QStringLiteral("Test Results"));
    m_testResults->setCheckable(true);
    m_testResults->setChecked(m_core.preferences.testingEnabled);
    connect(m_testResults, &QAction::triggered, this, [this] {
        m_core.tester.ToggleTestResults(m_core.search.searching());
    });
    tests->addAction(QStringLiteral("Re Test Results"), this, [this] {
        m_core.tester.ReTestResults(m_core.search.searching());
    });
    connect(&m_core.tester, &ServerTester::testingEnabledChanged, m_testResults, &QAction::setChecked);

    m_resultsMenu = new QMenu(this);
    m_resultsMenu->addAction(QStringLiteral("Connect"), this, [this] { resultsMenuClick(0); });
    m_resultsMenu->addAction(QStringLiteral("Get File"), this, [this] { resultsMenuClick(1); });
    m_resultsMenu->addAction(QStringLiteral("Copy Location"), this, [this] { resultsMenuClick(2); });
}

void MainWindow::buildStatusBar()
{
    for (const QString &key : m_core.status.keys()) {
        auto *label = new QLabel(m_core.status.text(key), this);
        label->setObjectName(key);
        statusBar()->addWidget(label, key == u"Stats" ? 1 : 0);
        m_panels.insert(key, label);
    }
    connect(&m_core.status, &StatusLine::textChanged, this, [this](const QString &key, const QString &text) {
        if (QLabel *label = m_panels.value(key))
            label->setText(text);
    });
}

QLabel *MainWindow::statusPanel(const QString &key) const
{
    return m_panels.value(key);
}

void MainWindow::openSelectedEngine()
{
    const int node = selectedNode(m_enginesView, m_core.enginesList);
    if (node != 0)
        ShellOpen(m_core.shell, m_core.enginesList.tag(node).toString());
}

void MainWindow::showSelectedServer()
{
    for (QLineEdit *field : m_info)
        field->clear();
    m_shown = shownServer();
    const int node = m_shown.node;
    if (node == 0) {
        m_core.linksList.clear();
        return;
    }
    const SearchInfo info = ShowServerDetails(m_core.ftpList, node, m_core.state.servers,
                                              m_core.preferences.listViewType, m_core.linksList);
    // Directories open at once: the files are what the user came for.
    m_linksView->expandAll();
    m_info[0]->setText(info.address);
    m_info[1]->setText(info.port);
    m_info[2]->setText(info.user);
    m_info[3]->setText(info.password);
}

MainWindow::ShownServer MainWindow::shownServer() const
{
    const int node = m_core.ftpList.nodeIndex(m_ftpView->currentIndex());
    const int record = m_core.ftpList.tag(node).toInt();
    const ServerTable &servers = m_core.state.servers;
    const int entries = record > 0 && record <= servers.upperBound() ? servers[record].entryCount() : 0;
    return {node, entries};
}

QString MainWindow::selectedLink() const
{
    const int node = m_core.linksList.nodeIndex(m_linksView->currentIndex());
    // Directory nodes carry no link: only file nodes hand anything on.
    if (node == 0 || m_core.linksList.picture(node) != u"File")
        return {};
    return m_core.linksList.key(node);
}

void MainWindow::showResultsMenu(const QPoint &position)
{
    const QModelIndex index = m_linksView->indexAt(position);
    if (!index.isValid())
        return;
    m_linksView->setCurrentIndex(index);
    if (selectedLink().isEmpty())
        return;
    m_resultsMenu->popup(m_linksView->viewport()->mapToGlobal(position));
}

void MainWindow::resultsMenuClick(int index)
{
    const QString link = selectedLink();
    if (link.isEmpty())
        return;
    switch (index) {
    case 0:
    case 1: {
        const HandOffResult result =
            LaunchClient(link.toLatin1(), index == 1, m_core.preferences, m_core.profile, m_core.launcher, m_core.status);
        // The panel keeps its short text; the reason is there for whoever points at it.
        if (QLabel *stats = m_panels.value(QStringLiteral("Stats")))
            stats->setToolTip(result.reason);
        break;
    }
    case 2:
        QGuiApplication::clipboard()->setText(link);
        break;
    default:
        break;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_core.shutDown();
    event->accept();
}
