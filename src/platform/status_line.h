#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The panels of the program's status line, in the order they stand: "Results", "Sockets" and
// "Queued" belong to the search, "TSockets" to the tester, "Stats" to the hand-off.
QStringList statusPanelKeys();

// The status line as keyed panel texts; the window binds one label to each panel.
class StatusLine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLine)

public:
    explicit StatusLine(QStringList keys, QObject *parent = nullptr);

    const QStringList &keys() const { return m_keys; }
    QString text(const QString &key) const;
    // Unknown keys are ignored, as the status bar ignores a panel it does not have.
    void setText(const QString &key, const QString &text);

signals:
    void textChanged(const QString &key, const QString &text);

private:
    QStringList m_keys;
    QStringList m_texts;
};
