#include "platform/status_line.h"

QStringList statusPanelKeys()
{
    return {QStringLiteral("Results"), QStringLiteral("Sockets"), QStringLiteral("TSockets"),
            QStringLiteral("Queued"), QStringLiteral("Stats")};
}

StatusLine::StatusLine(QStringList keys, QObject *parent)
    : QObject(parent)
    , m_keys(std::move(keys))
{
    m_texts.resize(m_keys.size());
}

QString StatusLine::text(const QString &key) const
{
    const qsizetype i = m_keys.indexOf(key);
    return i < 0 ? QString() : m_texts[i];
}

void StatusLine::setText(const QString &key, const QString &text)
{
    const qsizetype i = m_keys.indexOf(key);
    if (i < 0 || m_texts[i] == text)
        return;
    m_texts[i] = text;
    emit textChanged(key, text);
}
