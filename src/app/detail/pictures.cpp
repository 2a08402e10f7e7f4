#include "app/detail/pictures.h"

QIcon Pictures::icon(Picture picture)
{
    QIcon &icon = m_icons[static_cast<std::size_t>(picture)];
    // Drawings, so they stay sharp at any size and pixel density.
    if (icon.isNull() && picture != Picture::None)
        icon = QIcon(QStringLiteral(":/icons/%1.svg").arg(pictureKey(picture).toLower()));
    return icon;
}
