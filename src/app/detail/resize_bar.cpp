#include "app/detail/resize_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace {

float twipsX(const QMouseEvent *event)
{
    return static_cast<float>(event->position().x() * 15);
}

} // namespace

ResizeBar::ResizeBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ResizeBar"));
    setCursor(Qt::SizeHorCursor);
}

// Any button starts a drag. While a button is held the bar keeps receiving the moves, even
// outside itself, until the release.
void ResizeBar::mousePressEvent(QMouseEvent *event)
{
    emit pressed(twipsX(event));
}

void ResizeBar::mouseMoveEvent(QMouseEvent *event)
{
    emit moved(twipsX(event));
}

void ResizeBar::mouseReleaseEvent(QMouseEvent *)
{
    emit released();
}

// Drawn as the style draws a splitter's handle, so it looks like one wherever it runs.
void ResizeBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
}
