#pragma once

#include "platform/picture.h"

#include <QIcon>

#include <array>

// The shared image list: one icon per picture, loaded on first use; None gives a null icon. Owned
// by the window, so the icons go before the application does.
class Pictures final
{
public:
    QIcon icon(Picture picture);

private:
    std::array<QIcon, static_cast<std::size_t>(Picture::CheckMark) + 1> m_icons;
};
