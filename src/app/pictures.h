#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

// The shared picture list: one icon per picture key ("Engine", "Working", "Path", "File", "Dead",
// "QuestionMark", "Untested", "Flag", "CheckMark"), made on first use. Unknown keys give a null
// icon. Owned by the window, so the icons go before the application does.
class Pictures final
{
public:
    QIcon icon(const QString &key);

private:
    QHash<QString, QIcon> m_icons;
};
