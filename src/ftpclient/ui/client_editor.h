#pragma once

#include "ftpclient/client_registry.h"

#include <QDialog>

class Prompts;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The client editor "Client Info:": a new client, or (after SetUp) an existing one whose name
// cannot change. "Done" stores the client through the registry and closes; closing by the frame
// stores nothing.
class ClientEditor final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClientEditor)

public:
    ClientEditor(ClientRegistry &registry, Prompts &prompts, QWidget *parent);

    // Shows client `name` (a settings.dat text) for editing.
    void SetUp(const QString &name);
    bool editMode() const { return m_editMode; }

private:
    void DoneBtnClick();

    ClientRegistry &m_registry;
    bool m_editMode = false;
    QString m_name;
    QLineEdit *m_tName = nullptr;
    QLineEdit *m_tPath = nullptr;
    QLineEdit *m_tCommandLine = nullptr;
    QPlainTextEdit *m_tScript = nullptr;
    QLabel *m_problem = nullptr;
};
