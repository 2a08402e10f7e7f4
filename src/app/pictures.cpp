#include "app/pictures.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

constexpr int kSize = 16;

QPixmap canvas()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A filled disc with a short glyph on it: readable at 16 pixels and needs no image files.
QIcon badge(const QColor &color, const QString &glyph)
{
    QPixmap pixmap = canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(color.darker(140));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0.5, 0.5, kSize - 1, kSize - 1));
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

QIcon standard(QStyle::StandardPixmap which)
{
    return QApplication::style()->standardIcon(which);
}

QIcon makeIcon(const QString &key)
{
    if (key == u"Engine")
        return standard(QStyle::SP_DriveNetIcon);
    if (key == u"Path")
        return standard(QStyle::SP_DirIcon);
    if (key == u"File")
        return standard(QStyle::SP_FileIcon);
    if (key == u"Working")
        return badge(QColor(0x2e, 0x7d, 0xd1), QStringLiteral("H"));
    if (key == u"Untested")
        return badge(QColor(0x9e, 0x9e, 0x9e), QStringLiteral("?"));
    if (key == u"QuestionMark")
        return badge(QColor(0xf0, 0xa0, 0x20), QStringLiteral("…"));
    if (key == u"CheckMark")
        return badge(QColor(0x2e, 0x9d, 0x4f), QStringLiteral("✓"));
    if (key == u"Dead")
        return badge(QColor(0xc6, 0x28, 0x28), QStringLiteral("✕"));
    if (key == u"Flag")
        return badge(QColor(0x7b, 0x1f, 0xa2), QStringLiteral("!"));
    return {};
}

} // namespace

QIcon Pictures::icon(const QString &key)
{
    auto it = m_icons.find(key);
    if (it == m_icons.end())
        it = m_icons.insert(key, makeIcon(key));
    return *it;
}
