#include "update/ui/update_window.h"

#include "platform/gui/twips.h"
#include "update/update_session.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>

namespace {

constexpr QRect kCheckText = fromTwips(255, 165, 3870, 330);
constexpr QRect kList = fromTwips(1020, 765, 2070, 2490);
constexpr QRect kUpdateBtn = fromTwips(1515, 3330, 1125, 330);
constexpr int kWidth = fromTwips(4305);
// At first only the text shows.
constexpr int kSmallHeight = fromTwips(630);
// With the list: the button's bottom and 450 twips, less the 360 that a dialog's caption and
// frame take of the outer height.
constexpr int kListHeight = fromTwips(3330 + 330 + 450 - 360);

} // namespace

UpdateWindow::UpdateWindow(UpdateSession &session, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_tCheck(new QLineEdit(this))
    , m_enginesList(new QTreeView(this))
    , m_updateBtn(new QPushButton(QStringLiteral("Update"), this))
{
    setObjectName(QStringLiteral("updateCheckForm"));
    setWindowTitle(QStringLiteral("Kestrune Web Update Check"));

    m_tCheck->setObjectName(QStringLiteral("tCheck"));
    m_tCheck->setGeometry(kCheckText);
    m_tCheck->setReadOnly(true);
    m_tCheck->installEventFilter(this);

    m_enginesList->setObjectName(QStringLiteral("EnginesList"));
    m_enginesList->setGeometry(kList);
    m_enginesList->setModel(&session.candidates());
    m_enginesList->setHeaderHidden(true);
    m_enginesList->setRootIsDecorated(false);
    m_enginesList->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_updateBtn->setObjectName(QStringLiteral("UpdateBtn"));
    m_updateBtn->setGeometry(kUpdateBtn);
    m_updateBtn->setAutoDefault(false);

    session.load();
    m_tCheck->setText(session.checkText());
    showList(session.listShown());

    connect(&session, &UpdateSession::checkTextChanged, m_tCheck, &QLineEdit::setText);
    connect(&session, &UpdateSession::handPointerChanged, this, [this](bool on) {
        if (on)
            m_tCheck->setCursor(Qt::PointingHandCursor);
        else
            m_tCheck->unsetCursor();
    });
    connect(&session, &UpdateSession::listShownChanged, this, &UpdateWindow::showList);
    connect(m_updateBtn, &QPushButton::clicked, this, [this] {
        if (m_session.UpdateBtnClick() == UpdateSession::Merged::Yes)
            accept();
    });
}

UpdateWindow::~UpdateWindow()
{
    m_session.unload();
}

bool UpdateWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tCheck && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        m_session.checkTextClicked();
    return QDialog::eventFilter(watched, event);
}

void UpdateWindow::showList(bool shown)
{
    setFixedSize(kWidth, shown ? kListHeight : kSmallHeight);
}
