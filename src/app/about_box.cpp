#include "app/about_box.h"

#include "platform/gui/twips.h"
#include "platform/shell.h"
#include "update/update_response.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

AboutBox::AboutBox(Shell &shell, QWidget *parent)
    : QDialog(parent)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About Kestrune"));
    setFixedSize(fromTwips(6030), fromTwips(3330));
    useDesignFont(this);

    auto *text1 = new QPlainTextEdit(this);
    text1->setObjectName(QStringLiteral("Text1"));
    text1->setGeometry(fromTwips(60, 15, 5925, 2535));
    text1->setReadOnly(true);
    QFont bold = text1->font();
    bold.setBold(true);
    text1->setFont(bold);
    // The box shows each CR LF as one line break.
    text1->setPlainText(usageGuide().remove(u'\r'));

    m_nameLbl = new QLabel(nameLine(), this);
    m_nameLbl->setObjectName(QStringLiteral("NameLbl"));
    m_nameLbl->setGeometry(fromTwips(30, 2580, 5955, 345));
    m_nameLbl->setAlignment(Qt::AlignCenter);
    m_nameLbl->setFont(QFont(QStringLiteral("Comic Sans MS"), 12));
    QPalette blue = m_nameLbl->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    m_nameLbl->setPalette(blue);
    // The hand says the name can be clicked: it opens the home page.
    m_nameLbl->setCursor(Qt::PointingHandCursor);
    m_nameLbl->setToolTip(kHomePage);
    m_nameLbl->installEventFilter(this);

    auto *label1 = new QLabel(QStringLiteral("Free software: pass it on freely."), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(fromTwips(1515, 3060, 3000, 195));
    growToText(label1);

    auto *doneBtn = new QPushButton(QStringLiteral("Done"), this);
    doneBtn->setObjectName(QStringLiteral("DoneBtn"));
    doneBtn->setGeometry(fromTwips(4890, 2925, 1080, 345));
    connect(doneBtn, &QPushButton::clicked, this, &QDialog::accept);
    doneBtn->setFocus();
}

QString AboutBox::usageGuide()
{
    const QString lines[] = {
        QStringLiteral("-Press DEL to delete found results"),
        QStringLiteral("-Right click for a menu of options"),
        QStringLiteral("-Checked Test socks will let the program test found ftp sites and mark those that are dead"),
        QStringLiteral("-Get queued pages can be toggled on and off to fetch queued pages"),
        QStringLiteral("-Tick/Untick the checkbox near a search engine to Enable/Disable it"),
        QStringLiteral("-Double click a search engine to visit it's Official Homepage (please support the search "
                       "engines embeded so that they keep on prospering and giving you more results by visiting "
                       "their page)"),
        QStringLiteral("-If you own one of the included search engine and object to it being linked from this "
                       "software, please email me and i shall remove it, sorry for any inconvenience."),
        QStringLiteral("*Visit ") + kHomePage + QStringLiteral(" for updates"),
    };
    QString guide;
    for (const QString &line : lines)
        guide += line + QStringLiteral("\r\n");
    return guide;
}

QString AboutBox::nameLine()
{
    return QStringLiteral("Kestrune v%1.%2 Build %3")
        .arg(kProgramVersion.major)
        .arg(kProgramVersion.minor)
        .arg(kProgramVersion.build);
}

void AboutBox::OpenHomePage()
{
    m_shell.open(kHomePage);
}

bool AboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_nameLbl && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        OpenHomePage();
    return QDialog::eventFilter(watched, event);
}
