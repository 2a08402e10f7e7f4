#include "app/detail/pictures.h"

#include <QApplication>
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

QIcon makeIcon(Picture picture)
{
    switch (picture) {
    case Picture::Engine:
        return standard(QStyle::SP_DriveNetIcon);
    case Picture::Path:
        return standard(QStyle::SP_DirIcon);
    case Picture::File:
        return standard(QStyle::SP_FileIcon);
    case Picture::Working:
        return badge(QColor(0x2e, 0x7d, 0xd1), QStringLiteral("H"));
    case Picture::Untested:
        return badge(QColor(0x9e, 0x9e, 0x9e), QStringLiteral("?"));
    case Picture::QuestionMark:
        return badge(QColor(0xf0, 0xa0, 0x20), QStringLiteral("…"));
    case Picture::CheckMark:
        return badge(QColor(0x2e, 0x9d, 0x4f), QStringLiteral("✓"));
    case Picture::Dead:
        return badge(QColor(0xc6, 0x28, 0x28), QStringLiteral("✕"));
    case Picture::Flag:
        return badge(QColor(0x7b, 0x1f, 0xa2), QStringLiteral("!"));
    case Picture::None:
        break;
    }
    return {};
}

} // namespace

QIcon Pictures::icon(Picture picture)
{
    QIcon &icon = m_icons[static_cast<std::size_t>(picture)];
    if (icon.isNull() && picture != Picture::None)
        icon = makeIcon(picture);
    return icon;
}
