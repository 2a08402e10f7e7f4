#include "app/ads_panel.h"

#include "platform/gui/twips.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QTimer>

namespace {

// The banner of a slot, drawn at the slot's size for the screen's pixel density; null for the
// empty slots 4 and 5.
QPixmap banner(int slot, QSize size, qreal pixelRatio)
{
    // Asked only for a banner that is there: the renderer warns on the terminal about a missing one.
    const QString file = QStringLiteral(":/banners/banner%1.svg").arg(slot, 2, 10, QLatin1Char('0'));
    if (!QFile::exists(file))
        return {};
    QSvgRenderer svg(file);
    if (!svg.isValid())
        return {};
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace

AdsPanel::AdsPanel(QWidget *parent)
    : QGroupBox(QStringLiteral("Ads:"), parent)
{
    setObjectName(QStringLiteral("AddsFrame"));
    const QRect place = fromTwips(90, 240, 5700, 675);
    for (int slot = 0; slot < kSlots; ++slot) {
        auto *image = new QLabel(this);
        image->setObjectName(QStringLiteral("AddImage(%1)").arg(slot));
        image->setGeometry(place);
        image->setScaledContents(true);
        // The hand promises a click that does nothing: the banners only announce.
        image->setCursor(Qt::PointingHandCursor);
        image->setPixmap(banner(slot, place.size(), devicePixelRatioF()));
        image->setVisible(slot == 0);
        m_AddImage[slot] = image;
    }
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("AddsTimer"));
    connect(timer, &QTimer::timeout, this, &AdsPanel::AddsTimerTimer);
    timer->start(kInterval);
}

void AdsPanel::AddsTimerTimer()
{
    m_AddImage[m_adIndex]->hide();
    if (m_adAlternate) {
        m_AddImage[kFixedSlot]->show();
        m_adAlternate = false;
        return;
    }
    m_adAlternate = true;
    m_AddImage[kFixedSlot]->hide();
    m_adIndex = (m_adIndex + 1) % kSlots;
    m_AddImage[m_adIndex]->show();
}
