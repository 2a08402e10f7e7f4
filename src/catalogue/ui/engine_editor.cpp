#include "catalogue/ui/engine_editor.h"

#include "catalogue/engine_catalogue.h"
#include "catalogue/engine_editing.h"
#include "catalogue/ui/shown_text_delegate.h"
#include "platform/gui/node_views.h"
#include "platform/gui/prompts.h"
#include "platform/gui/twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace {

QString refusal(const EngineEditResult &result, const NodeTree &engines)
{
    switch (result.outcome) {
    case EngineEdit::NoPlaceholder:
        return QStringLiteral("Error, could not find %s in query string");
    case EngineEdit::NoName:
        return QStringLiteral("Error, the engine needs a name");
    case EngineEdit::NotStorable:
        return QStringLiteral("Error, settings.dat cannot hold a text longer than 254 characters "
                              "or one with control characters");
    case EngineEdit::QueryTaken:
        return QStringLiteral("Error, %1 already uses this query string").arg(shownText(engines.text(result.node)));
    case EngineEdit::Added:
    case EngineEdit::Changed:
        break;
    }
    return {};
}

} // namespace

EngineEditor::EngineEditor(NodeTree &enginesList, Profile &profile, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , m_enginesList(enginesList)
    , m_profile(profile)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("SearchEnginesFrm"));
    setWindowTitle(QStringLiteral("Implemented Search Engines"));
    setFixedSize(fromTwips(8550), fromTwips(2865));
    useDesignFont(this);

    auto *frame = new QGroupBox(QStringLiteral("Engines:"), this);
    frame->setObjectName(QStringLiteral("Frame2"));
    frame->setGeometry(fromTwips(45, 30, 2685, 2805));
    m_tree = new QTreeView(frame);
    m_tree->setObjectName(QStringLiteral("SearchEngines"));
    m_tree->setGeometry(fromTwips(75, 195, 2520, 2535));
    m_tree->setModel(&m_searchEngines);
    m_tree->setItemDelegate(new ShownTextDelegate(m_tree));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    // Names change through the boxes only.
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->installEventFilter(this);

    const auto label = [this](const char *name, const QString &text, const QRect &at) {
        auto *shown = new QLabel(text, this);
        shown->setObjectName(QString::fromLatin1(name));
        shown->setGeometry(at);
        growToText(shown);
        return shown;
    };
    const auto box = [this](const char *name, const QRect &at) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(at);
        return edit;
    };
    const auto button = [this](const char *name, const QString &text, const QRect &at) {
        auto *pressed = new QPushButton(text, this);
        pressed->setObjectName(QString::fromLatin1(name));
        pressed->setGeometry(at);
        // Enter in a box must not save the catalogue behind the user's back.
        pressed->setAutoDefault(false);
        return pressed;
    };
    label("Label1", QStringLiteral("Engine's Name:"), fromTwips(2910, 120, 1110, 195));
    m_tName = box("tName", fromTwips(4680, 75, 3840, 300));
    label("Label2", QStringLiteral("Engine's Homepage:"), fromTwips(2895, 420, 1470, 195));
    m_tURL = box("tURL", fromTwips(4680, 390, 3840, 300));
    label("Label3", QStringLiteral("Engine's query method:"), fromTwips(2895, 750, 1650, 195));
    m_tQuery = box("tQuery", fromTwips(2880, 975, 5625, 300));
    QPushButton *newBtn = button("NewBtn", QStringLiteral("New"), fromTwips(4440, 1350, 1125, 375));
    QPushButton *updateBtn = button("UpdateBtn", QStringLiteral("Update"), fromTwips(5610, 1350, 1125, 375));
    QLabel *label4 = label("Label4", {}, fromTwips(2940, 1875, 4230, 855));
    label4->setWordWrap(true);
    label4->setText(QStringLiteral("To delete an engine from the list, select it and press DEL button on the keyboard."));
    QPushButton *doneBtn = button("DoneBtn", QStringLiteral("Done"), fromTwips(7350, 2370, 1080, 330));

    connect(newBtn, &QPushButton::clicked, this, &EngineEditor::NewBtnClick);
    connect(updateBtn, &QPushButton::clicked, this, &EngineEditor::UpdateBtnClick);
    connect(doneBtn, &QPushButton::clicked, this, &EngineEditor::DoneBtnClick);
    connect(m_tree, &QTreeView::doubleClicked, this, &EngineEditor::SearchEnginesDblClick);

    LoadEngines(m_searchEngines, profile);
}

void EngineEditor::NewBtnClick()
{
    m_tName->clear();
    m_tQuery->clear();
    m_tURL->clear();
}

void EngineEditor::SearchEnginesDblClick()
{
    const int node = selectedNode(m_tree, m_searchEngines);
    if (node == 0)
        return;
    showBoxes(engineBoxes(m_searchEngines, node));
}

void EngineEditor::showBoxes(const EngineBoxes &boxes)
{
    m_tName->setText(boxes.name);
    m_tURL->setText(boxes.url);
    m_tQuery->setText(boxes.query);
}

void EngineEditor::UpdateBtnClick()
{
    EngineBoxes boxes{m_tName->text(), m_tURL->text(), m_tQuery->text()};
    const EngineEditResult result = UpdateEngine(m_searchEngines, boxes);
    showBoxes(boxes); // trimmed
    if (const QString message = refusal(result, m_searchEngines); !message.isEmpty()) {
        m_prompts.warn(this, kPromptTitle, message);
        return;
    }
    m_tree->scrollTo(m_searchEngines.modelIndex(result.node));
}

void EngineEditor::DoneBtnClick()
{
    // Kept open on a failed write, so that the user's edits are not lost with the window.
    // The copy's check boxes are what the user saw here: they win over the main list's.
    if (!SaveEnginesOverList(m_searchEngines, SaveScope::WholeList, m_enginesList, m_profile)) {
        m_prompts.warn(this, kPromptTitle,
                       QStringLiteral("Error, %1 could not be written; the engines are not saved")
                           .arg(m_profile.pathOf(kSettingsFile)));
        return;
    }
    accept();
}

bool EngineEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::KeyRelease
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        if (const int node = selectedNode(m_tree, m_searchEngines); node != 0)
            m_searchEngines.remove(node);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
