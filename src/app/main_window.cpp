#include "app/main_window.h"

#include "app/core.h"
#include "app/detail/pictures.h"
#include "platform/gui/prompts.h"
#include "prefs/ui/options_dialog.h"
#include "update/ui/update_window.h"

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
    model.setDecorationProvider([&pictures](Picture picture) { return QVariant(pictures.icon(picture)); });
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

MainWindow::MainWindow(Core &core, Prompts &prompts, QWidget *parent)
    : QMainWindow(parent)
    , m_core(core)
    , m_prompts(prompts)
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
    m_enginesView = makeTree(core.enginesList(), QStringLiteral("EnginesList"), m_pictures, panes);
    m_enginesView->setRootIsDecorated(false);
    m_ftpView = makeTree(core.ftpList(), QStringLiteral("FTPList"), m_pictures, panes);

    auto *detailsPane = new QWidget(panes);
    auto *detailsLayout = new QVBoxLayout(detailsPane);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    m_linksView = makeTree(core.linksList(), QStringLiteral("LinksList"), m_pictures, detailsPane);
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

    // The one button starts a search or stops the running one.
    const auto searchOrStop = [this] {
        if (m_core.searching())
            m_core.stopSearch();
        else
            m_core.startSearch(m_searchText->text());
    };
    connect(m_searchBtn, &QPushButton::clicked, this, searchOrStop);
    connect(m_searchText, &QLineEdit::returnPressed, this, searchOrStop);
    connect(&m_core, &Core::searchingChanged, this, [this](bool searching) {
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
    if (const QString problem = core.enginesList().count() == 0 ? core.catalogueProblem() : QString();
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
    for (NodeTree *model : {&m_core.enginesList(), &m_core.ftpList(), &m_core.linksList()})
        model->setDecorationProvider({});
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    edit->addAction(QStringLiteral("Settings"), this, &MainWindow::openSettings)->setObjectName(QStringLiteral("Settings"));
    // The engine editor comes with a later version of this window.
    edit->addAction(QStringLiteral("Engines List"))->setEnabled(false);
    // The dialogs change what a running search reads.
    connect(&m_core, &Core::searchingChanged, edit->menuAction(), [edit](bool searching) {
        edit->menuAction()->setEnabled(!searching);
    });

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    const std::pair<const char *, ListLayout> layouts[] = {
        {"List", ListLayout::List}, {"Half Detailed", ListLayout::HalfDetailed}, {"Detailed", ListLayout::Detailed}};
    auto *group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        const ListLayout layout = layouts[i].second;
        m_viewTypes[i] = view->addAction(QString::fromLatin1(layouts[i].first));
        m_viewTypes[i]->setCheckable(true);
        m_viewTypes[i]->setChecked(m_core.preferences().listViewType == layout);
        group->addAction(m_viewTypes[i]);
        connect(m_viewTypes[i], &QAction::triggered, this, [this, layout] {
            m_core.preferences().listViewType = layout;
            showSelectedServer();
        });
    }

    QMenu *tests = menuBar()->addMenu(QStringLiteral("&Tests"));
    m_testResults = tests->addAction(QStringLiteral("Test Results"));
    m_testResults->setObjectName(QStringLiteral("TestResults"));
    m_testResults->setCheckable(true);
    m_testResults->setChecked(m_core.testingEnabled());
    connect(m_testResults, &QAction::triggered, &m_core, &Core::toggleTestResults);
    tests->addAction(QStringLiteral("Re Test Results"), &m_core, &Core::retestResults);
    connect(&m_core, &Core::testingEnabledChanged, m_testResults, &QAction::setChecked);

    // The three exchanges with the update server; the rest of this menu comes with a later
    // version of this window.
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    const std::pair<const char *, void (UpdateSession::*)()> exchanges[] = {
        {"Check for Upgrade", &UpdateSession::checkForUpdate},
        {"Update Engines", &UpdateSession::enginesUpdate},
        {"Update Clients", &UpdateSession::checkForClients}};
    for (const auto &[caption, start] : exchanges) {
        QAction *action = help->addAction(QString::fromLatin1(caption), this, [this, start] { openUpdateWindow(start); });
        action->setObjectName(QString::fromLatin1(caption).remove(u' '));
    }
    // An engine merge reloads the engine list, which a running search reads.
    QAction *updateEngines = help->actions().at(1);
    connect(&m_core, &Core::searchingChanged, updateEngines, [updateEngines](bool searching) {
        updateEngines->setEnabled(!searching);
    });

    m_resultsMenu = new QMenu(this);
    m_resultsMenu->setObjectName(QStringLiteral("resultsMenu"));
    m_resultsMenu->addAction(QStringLiteral("Connect"), this, [this] { resultsMenuClick(ResultsCommand::Connect); });
    m_resultsMenu->addAction(QStringLiteral("Get File"), this, [this] { resultsMenuClick(ResultsCommand::GetFile); });
    m_resultsMenu->addAction(QStringLiteral("Copy Location"), this,
                             [this] { resultsMenuClick(ResultsCommand::CopyLocation); });
}

void MainWindow::openSettings()
{
    OptionsDialog options({m_core.preferences(), m_core.preferenceStore(), m_core.profile(), m_prompts}, this);
    options.SetUp();
    m_prompts.showModal(options);
}

void MainWindow::openUpdateWindow(void (UpdateSession::*start)())
{
    // The exchange starts before the window shows: a fast server may have answered already.
    UpdateWindow window(m_core.update(), this);
    (m_core.update().*start)();
    m_prompts.showModal(window);
}

void MainWindow::buildStatusBar()
{
    StatusLine &status = m_core.status();
    for (const QString &key : status.keys()) {
        auto *label = new QLabel(status.text(key), this);
        label->setObjectName(key);
        statusBar()->addWidget(label, key == u"Stats" ? 1 : 0);
        m_panels.insert(key, label);
    }
    connect(&status, &StatusLine::textChanged, this, [this](const QString &key, const QString &text) {
        if (QLabel *label = m_panels.value(key))
            label->setText(text);
    });
}

void MainWindow::openSelectedEngine()
{
    m_core.openEngineHome(selectedNode(m_enginesView, m_core.enginesList()));
}

void MainWindow::showSelectedServer()
{
    for (QLineEdit *field : m_info)
        field->clear();
    m_shown = shownServer();
    const SearchInfo info = m_core.showServer(m_shown.node);
    // Directories open at once: the files are what the user came for.
    m_linksView->expandAll();
    m_info[0]->setText(info.address);
    m_info[1]->setText(info.port);
    m_info[2]->setText(info.user);
    m_info[3]->setText(info.password);
}

MainWindow::ShownServer MainWindow::shownServer() const
{
    const int node = m_core.ftpList().nodeIndex(m_ftpView->currentIndex());
    return {node, m_core.fileCount(node)};
}

QString MainWindow::selectedLink() const
{
    const NodeTree &links = m_core.linksList();
    const int node = links.nodeIndex(m_linksView->currentIndex());
    // Directory nodes carry no link: only file nodes hand anything on.
    if (node == 0 || links.picture(node) != Picture::File)
        return {};
    return links.key(node);
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

void MainWindow::resultsMenuClick(ResultsCommand command)
{
    const QString link = selectedLink();
    if (link.isEmpty())
        return;
    if (command == ResultsCommand::CopyLocation) {
        QGuiApplication::clipboard()->setText(link);
        return;
    }
    const HandOffResult result =
        m_core.handOff(link.toLatin1(), command == ResultsCommand::GetFile ? HandOff::GetFile : HandOff::Connect);
    // The panel keeps its short text; the reason is there for whoever points at it.
    if (QLabel *stats = m_panels.value(QStringLiteral("Stats")))
        stats->setToolTip(result.reason);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_core.shutDown();
    event->accept();
}
