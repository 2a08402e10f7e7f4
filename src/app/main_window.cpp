#include "app/main_window.h"

#include "app/about_box.h"
#include "app/ads_panel.h"
#include "app/core.h"
#include "app/detail/pictures.h"
#include "app/detail/resize_bar.h"
#include "catalogue/ui/engine_editor.h"
#include "catalogue/ui/shown_text_delegate.h"
#include "platform/gui/node_views.h"
#include "platform/gui/prompts.h"
#include "platform/gui/twips.h"
#include "platform/shell.h"
#include "platform/whole_file.h"
#include "prefs/ui/options_dialog.h"
#include "update/ui/update_window.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

namespace {

// Twips to pixels, edge by edge, so that neighbours stay neighbours.
QRect toPixels(const TwipRect &twips)
{
    const auto pixels = [](float t) { return qRound(t / 15); };
    const int left = pixels(twips.left);
    const int top = pixels(twips.top);
    return {left, top, pixels(twips.right()) - left, pixels(twips.bottom()) - top};
}

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

} // namespace

MainWindow::MainWindow(Core &core, Prompts &prompts, QWidget *parent)
    : QMainWindow(parent)
    , m_core(core)
    , m_prompts(prompts)
{
    setWindowTitle(QStringLiteral("Kestrune"));

    // Everything is placed in code, in twips, whenever the window's size changes (layOut).
    useDesignFont(this);
    auto *central = new QWidget(this);
    setCentralWidget(central);

    buildSearchFrame(central);
    m_addsFrame = new AdsPanel(central);
    buildResultsFrame(central);
    buildMenus();
    buildStatusBar();
    // The smallest window, and the one that opens: the design's inner area.
    const QSize design(fromTwips(int(WindowLayout::kDesignInner.width)), fromTwips(int(WindowLayout::kDesignInner.height)));
    central->setMinimumSize(design - QSize(0, statusBar()->sizeHint().height()));
    resize(minimumSizeHint());
    central->installEventFilter(this);

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
    // The menu key opens the selected row's menu by that row.
    connect(m_linksView, &QWidget::customContextMenuRequested, this, [this] {
        if (const int node = selectedNode(m_linksView, m_core.linksList()); node != 0) {
            const QRect row = m_linksView->visualRect(m_core.linksList().modelIndex(node));
            showResultsMenu(m_linksView->viewport()->mapToGlobal(row.center()));
        }
    });

    // Said once, when the window opens: otherwise every search would just find nothing. A file
    // with such a problem lists no engine, so one that does is not read a second time.
    if (const QString problem = core.enginesList().count() == 0 ? core.catalogueProblem() : QString();
        !problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            auto *box = new QMessageBox(QMessageBox::Warning, kPromptTitle,
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

void MainWindow::buildSearchFrame(QWidget *parent)
{
    m_searchFrame = new QGroupBox(QStringLiteral("Search:"), parent);
    m_searchFrame->setObjectName(QStringLiteral("SearchFrame"));
    m_searchText = new QLineEdit(m_searchFrame);
    m_searchText->setObjectName(QStringLiteral("SearchText"));
    m_searchText->setPlaceholderText(QStringLiteral("Artist, title or file name"));
    m_searchText->setGeometry(fromTwips(120, 300, 2535, 285));
    m_searchBtn = new QPushButton(QStringLiteral("Search"), m_searchFrame);
    m_searchBtn->setObjectName(QStringLiteral("SearchBtn"));
    m_searchBtn->setGeometry(fromTwips(2745, 300, 930, 315));
}

void MainWindow::buildResultsFrame(QWidget *parent)
{
    m_resultsFrame = new QGroupBox(QStringLiteral("Search Info:"), parent);
    m_resultsFrame->setObjectName(QStringLiteral("ResultsFrame"));
    m_enginesView = makeTree(m_core.enginesList(), QStringLiteral("EnginesList"), m_pictures, m_resultsFrame);
    m_enginesView->setRootIsDecorated(false);
    // Engine names are short: shown whole, with a scroll bar in a narrow list. The column is fitted
    // once per turn of the event loop after changes: fitted on every change, a search start that
    // marks each engine measured every row once per engine.
    m_enginesView->header()->setStretchLastSection(false);
    m_enginesView->setItemDelegate(new ShownTextDelegate(m_enginesView));
    auto *fit = new QTimer(m_enginesView);
    fit->setSingleShot(true);
    fit->setInterval(0);
    connect(fit, &QTimer::timeout, m_enginesView, [view = m_enginesView] { view->resizeColumnToContents(0); });
    const auto refit = [fit] { fit->start(); };
    NodeTree &engines = m_core.enginesList();
    connect(&engines, &QAbstractItemModel::dataChanged, fit, refit);
    connect(&engines, &QAbstractItemModel::rowsInserted, fit, refit);
    connect(&engines, &QAbstractItemModel::rowsRemoved, fit, refit);
    connect(&engines, &QAbstractItemModel::modelReset, fit, refit);
    connect(&engines, &QAbstractItemModel::layoutChanged, fit, refit);
    fit->start();
    m_ftpView = makeTree(m_core.ftpList(), QStringLiteral("FTPList"), m_pictures, m_resultsFrame);
    m_resizeBar = new ResizeBar(m_resultsFrame);
    connect(m_resizeBar, &ResizeBar::pressed, this, [this](float x) { m_layout.resizeBarDown(x); });
    connect(m_resizeBar, &ResizeBar::released, this, [this] { m_layout.resizeBarUp(); });
    connect(m_resizeBar, &ResizeBar::moved, this, [this](float x) {
        if (m_layout.resizeBarMove(x))
            placePanes();
    });
    m_linksView = makeTree(m_core.linksList(), QStringLiteral("LinksList"), m_pictures, m_resultsFrame);
    m_linksView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Size and date take the room their longest texts need; the name has the rest. Fixed widths:
    // measuring a hundred thousand rows would stall the window.
    QHeaderView *header = m_linksView->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    const QFontMetrics metrics = m_linksView->fontMetrics();
    const int margins = 4 * m_linksView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_linksView) + 8;
    header->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("1023.9 MB")) + margins);
    header->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("2026-12-31 23:59")) + margins);
    showFactColumns();
    connect(&m_core, &Core::fileVerified, this, [this] {
        if (m_linksView->isColumnHidden(1) && m_core.shownServerVerified())
            showFactColumns();
    });
    m_linksView->viewport()->installEventFilter(this);
    buildInfoBox();
}

void MainWindow::buildInfoBox()
{
    m_infoBox = new QWidget(m_resultsFrame);
    m_infoBox->setObjectName(QStringLiteral("InfoBox"));
    const struct
    {
        const char *label, *name;
        QRect place;
    } fields[] = {{"Address:", "tAddress", fromTwips(750, 30, 2715, 285)},
                  {"Port:", "tPort", fromTwips(3960, 30, 960, 285)},
                  {"Username:", "tName", fromTwips(885, 350, 1575, 285)},
                  {"Password:", "tPass", fromTwips(3315, 350, 1620, 285)}};
    // Each label ends just before its box. Where a label's text is wider than the design left
    // room for, it starts after the box before it, and its box moves right to make room.
    int rowEnd[2] = {-3, -3};
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(QString::fromLatin1(fields[i].label), m_infoBox);
        m_info[i] = new QLineEdit(m_infoBox);
        m_info[i]->setObjectName(QString::fromLatin1(fields[i].name));
        m_info[i]->setReadOnly(true);
        label->setBuddy(m_info[i]);
        QRect box = fields[i].place;
        int &end = rowEnd[i / 2];
        const int textWidth = label->sizeHint().width();
        const int labelLeft = std::max(end + 6, box.left() - 3 - textWidth);
        label->setGeometry(labelLeft, box.top(), textWidth, box.height());
        box.moveLeft(std::max(box.left(), labelLeft + textWidth + 3));
        m_info[i]->setGeometry(box);
        end = box.right() + 1;
    }
}

void MainWindow::layOutWindow()
{
    const QSize inner = centralWidget()->size() + QSize(0, statusBar()->height());
    m_layout.layOut({inner.width() * 15.0f, inner.height() * 15.0f}, statusBar()->height() * 15.0f);
    m_searchFrame->setGeometry(toPixels(m_layout.SearchFrame));
    m_addsFrame->setGeometry(toPixels(m_layout.AddsFrame));
    m_resultsFrame->setGeometry(toPixels(m_layout.ResultsFrame));
    m_enginesView->setGeometry(toPixels(m_layout.EnginesList));
    placePanes();
}

void MainWindow::placePanes()
{
    m_ftpView->setGeometry(toPixels(m_layout.FTPList));
    m_resizeBar->setGeometry(toPixels(m_layout.ResizeBar));
    m_linksView->setGeometry(toPixels(m_layout.LinksList));
    m_infoBox->setGeometry(toPixels(m_layout.InfoBox));
}

void MainWindow::buildMenus()
{
    // Each menu's items form an array, found by the array's name and the index ("EditMenuClick(1)");
    // one handler per array dispatches on the index. "-" is a separator.
    using Items = std::initializer_list<std::pair<int, const char *>>;
    const auto addItems = [this](QMenu *menu, const char *array, Items items, void (MainWindow::*handler)(int)) {
        QList<QAction *> added;
        for (const auto &[index, caption] : items) {
            const QString text = QString::fromLatin1(caption);
            QAction *action = text == u"-" ? menu->addSeparator() : menu->addAction(text);
            action->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(index));
            connect(action, &QAction::triggered, this, [this, handler, index = index] { (this->*handler)(index); });
            added << action;
        }
        return added;
    };
    const auto menu = [this](const char *name, const char *caption) {
        QMenu *made = menuBar()->addMenu(QString::fromLatin1(caption));
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };

    addItems(menu("FileMenu", "File"), "FileMenuClick", {{0, "Exit"}}, &MainWindow::FileMenuClick);
    QMenu *edit = menu("EditMenu", "Edit");
    addItems(edit, "EditMenuClick", {{0, "Settings"}, {1, "Engines List"}}, &MainWindow::EditMenuClick);
    const QList<QAction *> views = addItems(menu("ViewMenu", "View"), "ViewMenuClick",
                                            {{1, "List"}, {2, "Half Detailed"}, {3, "Detailed"}}, &MainWindow::ViewMenuClick);
    const QList<QAction *> tests = addItems(menu("AdvancedMenu", "Tests"), "AdvancedMenuClick",
                                            {{0, "Test Results"}, {1, "Re Test Results"}, {2, "Verify Results"}},
                                            &MainWindow::AdvancedMenuClick);
    const QList<QAction *> help = addItems(menu("HelpMenu", "Help"), "HelpMenuClick",
                                           {{0, "Documentation"}, {1, "-"}, {2, "Check for Upgrade"}, {3, "Update Engines"},
                                            {4, "Update Clients"}, {5, "-"}, {6, "About"}},
                                           &MainWindow::HelpMenuClick);

    // Check marks, not a radio group: ViewMenuClick places them.
    for (int i = 0; i < 3; ++i) {
        m_viewTypes[i] = views.at(i);
        m_viewTypes[i]->setCheckable(true);
        m_viewTypes[i]->setChecked(static_cast<int>(m_core.preferences().listViewType) == i + 1);
    }
    m_testResults = tests.at(0);
    m_testResults->setCheckable(true);
    m_testResults->setChecked(m_core.testingEnabled());
    connect(&m_core, &Core::testingEnabledChanged, m_testResults, &QAction::setChecked);
    // Ticked while a verify runs or waits for the search; clicking it then stops the verify.
    QAction *verify = tests.at(2);
    verify->setCheckable(true);
    connect(&m_core, &Core::verifyingChanged, verify, &QAction::setChecked);

    // The dialogs change what a running search reads, and an engine merge reloads its engine list.
    QAction *updateEngines = help.at(3);
    connect(&m_core, &Core::searchingChanged, this, [edit, updateEngines](bool searching) {
        edit->menuAction()->setEnabled(!searching);
        updateEngines->setEnabled(!searching);
    });

    m_resultsMenu = new QMenu(QStringLiteral("&resultsMenu"), this);
    m_resultsMenu->setObjectName(QStringLiteral("resultsMenu"));
    // "Get Next Page" has no command here: it never shows.
    for (QAction *hidden : addItems(m_resultsMenu, "reconnectClick", {{0, "Get Next Page"}, {1, "-"}}, &MainWindow::reconnectClick))
        hidden->setVisible(false);
    m_fileCommands = addItems(m_resultsMenu, "resultsMenuClick", {{0, "Connect"}, {1, "Get File"}, {2, "-"}},
                              &MainWindow::resultsMenuClick);
    m_resultsMenu->addAction(QStringLiteral("Copy Location"), this, &MainWindow::copyLClick)
        ->setObjectName(QStringLiteral("copyLClick"));
}

void MainWindow::FileMenuClick(int index)
{
    if (index == 0)
        close();
}

void MainWindow::EditMenuClick(int index)
{
    if (index == 0) {
        OptionsDialog options({m_core.preferences(), m_core.preferenceStore(), m_core.profile(), m_prompts}, this);
        options.SetUp();
        m_prompts.showModal(options);
    } else if (index == 1) {
        EngineEditor editor(m_core.enginesList(), m_core.profile(), m_prompts, this);
        m_prompts.showModal(editor);
    }
}

void MainWindow::ViewMenuClick(int index)
{
    if (index < 1 || index > 3)
        return;
    // The click has toggled the item's mark; the marks follow the view, which changes only when
    // the item was not the checked one.
    const bool changed = static_cast<int>(m_core.preferences().listViewType) != index;
    if (changed)
        m_core.preferences().listViewType = static_cast<ListLayout>(index);
    for (int i = 0; i < 3; ++i)
        m_viewTypes[i]->setChecked(static_cast<int>(m_core.preferences().listViewType) == i + 1);
    if (changed)
        showSelectedServer();
}

void MainWindow::AdvancedMenuClick(int index)
{
    if (index == 0)
        m_core.toggleTestResults();
    else if (index == 1)
        m_core.retestResults();
    else if (index == 2 && m_core.verifying())
        m_core.stopVerify();
    else if (index == 2 && !m_core.verifyResults())
        findChild<QAction *>(QStringLiteral("AdvancedMenuClick(2)"))->setChecked(false);
}

void MainWindow::HelpMenuClick(int index)
{
    switch (index) {
    case 0:
        openDocumentation();
        return;
    case 2:
        openUpdateWindow(&UpdateSession::checkForUpdate);
        return;
    case 3:
        openUpdateWindow(&UpdateSession::enginesUpdate);
        return;
    case 4:
        openUpdateWindow(&UpdateSession::checkForClients);
        return;
    case 6: {
        AboutBox about(m_core.shell(), this);
        m_prompts.showModal(about);
        return;
    }
    default:
        return;
    }
}

void MainWindow::openDocumentation()
{
    // The guide is built in; the program folder gets this version's copy, which the browser opens.
    const QString path = QDir(m_core.profile().programFolder()).filePath(QStringLiteral("documentation.html"));
    QFile built(QStringLiteral(":/documentation.html"));
    built.open(QIODevice::ReadOnly);
    const QByteArray guide = built.readAll();
    QFile placed(path);
    const bool current = placed.open(QIODevice::ReadOnly) && placed.readAll() == guide;
    QString reason;
    if (!current && !writeWholeFile(path, guide, &reason) && !placed.exists()) {
        m_prompts.warn(this, kPromptTitle, QStringLiteral("Error, %1 could not be written: %2").arg(path, reason));
        return;
    }
    m_core.shell().open(path);
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
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
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
    // Directories open at once: the files are what the user came for. (expandAll() would note every
    // file as expanded too: a hundred thousand indexes to keep, and to drop at the next reset.)
    const NodeTree &links = m_core.linksList();
    for (int row = 0, roots = links.childCount(0); row < roots; ++row) {
        if (const int node = links.childAt(0, row); links.childCount(node) > 0)
            m_linksView->setExpanded(links.modelIndex(node), true);
    }
    showFactColumns();
    for (int i = 0; const QString &text : {info.address, info.port, info.user, info.password}) {
        m_info[i]->setText(text);
        m_info[i++]->setCursorPosition(0); // a long value shows its start
    }
}

void MainWindow::showFactColumns()
{
    // Until its server is verified a file has no size or date to show: the list keeps its one column.
    const bool shown = m_core.shownServerVerified();
    m_linksView->setHeaderHidden(!shown);
    m_linksView->setColumnHidden(1, !shown);
    m_linksView->setColumnHidden(2, !shown);
}

MainWindow::ShownServer MainWindow::shownServer() const
{
    const int node = m_core.ftpList().nodeIndex(m_ftpView->currentIndex());
    return {node, m_core.fileCount(node)};
}

QString MainWindow::selectedKey() const
{
    return m_core.linksList().key(selectedNode(m_linksView, m_core.linksList()));
}

void MainWindow::showResultsMenu(const QPoint &globalPosition)
{
    const QString scheme = selectedKey().left(4).toLower();
    // Only an FTP link can go to the FTP client; an http:// one can only be copied. Directory
    // rows carry their path, and no row no key: neither shows a menu.
    const bool ftp = scheme == u"ftp:";
    if (!ftp && scheme != u"http")
        return;
    for (QAction *command : std::as_const(m_fileCommands))
        command->setEnabled(ftp);
    m_resultsMenu->popup(globalPosition);
}

void MainWindow::reconnectClick(int)
{
}

void MainWindow::resultsMenuClick(int index)
{
    const QString link = selectedKey();
    if ((index != 0 && index != 1) || !link.startsWith(u"ftp:", Qt::CaseInsensitive))
        return;
    const HandOffResult result = m_core.handOff(link.toLatin1(), index == 1 ? HandOff::GetFile : HandOff::Connect);
    // The panel keeps its short text; the reason is there for whoever points at it.
    if (QLabel *stats = m_panels.value(QStringLiteral("Stats")))
        stats->setToolTip(result.reason);
}

void MainWindow::copyLClick()
{
    if (const QString link = selectedKey(); !link.isEmpty())
        QGuiApplication::clipboard()->setText(link);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        layOutWindow();
    if (watched != m_linksView->viewport())
        return QMainWindow::eventFilter(watched, event);
    // The right button acts on the selected row, so its press must not select the row under it.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent *>(event)->button() == Qt::RightButton;
    case QEvent::ContextMenu: // the one a right press makes; the menu comes on the release
        return static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Mouse;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton)
            return false;
        showResultsMenu(mouse->globalPosition().toPoint());
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (const QStringList unstored = m_core.shutDown(); !unstored.isEmpty())
        m_prompts.warn(this, kPromptTitle, QStringLiteral("Error, ") + unstored.join(QStringLiteral("; ")));
    event->accept();
}
