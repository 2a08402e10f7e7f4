#include "ftpclient/ui/client_editor.h"

#include "platform/gui/prompts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

ClientEditor::ClientEditor(ClientRegistry &registry, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , m_registry(registry)
{
    setObjectName(QStringLiteral("newClientForm"));
    setWindowTitle(QStringLiteral("Client Info:"));
    const auto field = [this](const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    m_tName = field("tName");
    m_tPath = field("tPath");
    m_tCommandLine = field("tCommandLine");
    m_tScript = new QPlainTextEdit(this);
    m_tScript->setObjectName(QStringLiteral("tScript"));
    m_tScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tScript->setFont(QFont(QStringLiteral("monospace")));
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("Problem"));
    m_problem->setWordWrap(true);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Name:"), m_tName);
    form->addRow(QStringLiteral("Path:"), withChooser(m_tPath, [this, &prompts](const QString &start) {
                     return prompts.chooseFile(this, QStringLiteral("Client program"), start);
                 }));
    form->addRow(QStringLiteral("Command Line Arguments:"), m_tCommandLine);
    form->addRow(QStringLiteral("Script File:"), m_tScript);
    form->addRow(m_problem);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *done = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    done->setObjectName(QStringLiteral("DoneBtn"));
    // Enter in a field must not store the client behind the user's back.
    done->setAutoDefault(false);
    form->addRow(buttons);
    connect(done, &QPushButton::clicked, this, &ClientEditor::DoneBtnClick);
    resize(520, 420);
}

void ClientEditor::SetUp(const QString &name)
{
    m_editMode = true;
    m_name = name;
    m_tName->setReadOnly(true);
    const ClientForm client = m_registry.read(name);
    m_tName->setText(client.name);
    m_tPath->setText(client.path);
    m_tCommandLine->setText(client.commandLine);
    m_tScript->setPlainText(client.script);
}

void ClientEditor::DoneBtnClick()
{
    // The box gives its lines with LF; a template's lines end in CR LF.
    QString script = m_tScript->toPlainText();
    script.replace(u'\n', QStringLiteral("\r\n"));
    const ClientForm form{m_tName->text(), m_tPath->text(), m_tCommandLine->text(), script};
    switch (m_registry.save(form, m_editMode, m_name)) {
    case ClientRegistry::Saved::Yes:
        accept();
        return;
    case ClientRegistry::Saved::NameRefused:
        m_problem->setText(QStringLiteral("Give the client a name of its own that is not listed yet "
                                          "(without \"/\", \"[\" or \"]\")."));
        m_tName->setFocus();
        m_tName->selectAll();
        return;
    case ClientRegistry::Saved::NotWritten:
        m_problem->setText(QStringLiteral("settings.dat or the client's template in %1 cannot be written.")
                               .arg(m_registry.programFolder()));
        return;
    }
}
