#pragma once

#include "catalogue/profile.h"

#include <QStyledItemDelegate>

// Shows a settings.dat text (bytes as characters) as the user typed it: engine names in UTF-8.
class ShownTextDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return shownText(value.toString());
    }
};
