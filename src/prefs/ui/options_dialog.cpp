#include "prefs/ui/options_dialog.h"

#include "catalogue/profile.h"
#include "ftpclient/ui/client_editor.h"
#include "platform/gui/prompts.h"
#include "prefs/options.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QLineEdit *numberField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    // Digits only; a number out of range still reaches the closing, which keeps the old value.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), field));
    field->setMaximumWidth(90);
    return field;
}

QGroupBox *panel(const char *caption, int index)
{
    auto *box = new QGroupBox(QString::fromLatin1(caption));
    box->setObjectName(QStringLiteral("SetBox%1").arg(index));
    return box;
}

} // namespace

OptionsDialog::OptionsDialog(Services services, QWidget *parent)
    : QDialog(parent)
    , m_services(services)
    , m_clients(services.profile)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Options:"));

    m_settingsOpts = new QTreeWidget(this);
    m_settingsOpts->setObjectName(QStringLiteral("SettingsOpts"));
    m_settingsOpts->setHeaderHidden(true);
    m_settingsOpts->setRootIsDecorated(false);
    m_settingsOpts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_settingsOpts->setFixedWidth(120);
    m_setBox = new QStackedWidget(this);
    m_setBox->addWidget(generalPanel());
    m_setBox->addWidget(proxyPanel());
    m_setBox->addWidget(clientPanel());

    auto *save = new QPushButton(QStringLiteral("Close"), this);
    save->setObjectName(QStringLiteral("SaveBttn"));
    connect(save, &QPushButton::clicked, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(m_settingsOpts);
    top->addWidget(m_setBox, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    connect(m_settingsOpts, &QTreeWidget::currentItemChanged, this, &OptionsDialog::showPanel);
    resize(560, 340);
}

QWidget *OptionsDialog::generalPanel()
{
    QGroupBox *box = panel("General Settings:", 1);
    auto *form = new QFormLayout(box);
    m_maxSearch = numberField("MaxSearch", box);
    m_maxTest = numberField("MaxTest", box);
    form->addRow(QStringLiteral("Max Search Sockets At a Time:"), m_maxSearch);
    form->addRow(QStringLiteral("Max Test Sockets At a Time:"), m_maxTest);
    return box;
}

QWidget *OptionsDialog::proxyPanel()
{
    QGroupBox *box = panel("Proxy Settings:", 2);
    auto *form = new QFormLayout(box);
    m_proxy = new QCheckBox(QStringLiteral("Use Proxy Server:"), box);
    m_proxy->setObjectName(QStringLiteral("Proxy"));
    m_address = new QLineEdit(box);
    m_address->setObjectName(QStringLiteral("Address"));
    m_port = numberField("Port", box);
    form->addRow(m_proxy);
    form->addRow(QStringLiteral("Address:"), m_address);
    form->addRow(QStringLiteral("Port:"), m_port);
    return box;
}

QWidget *OptionsDialog::clientPanel()
{
    QGroupBox *box = panel("FTP Client Settings:", 3);
    m_clientsList = new QListWidget(box);
    m_clientsList->setObjectName(QStringLiteral("ClientsList"));
    auto *buttons = new QVBoxLayout;
    const struct { const char *caption, *name; void (OptionsDialog::*click)(); } actions[] = {
        {"Add", "AddBtn", &OptionsDialog::AddBtnClick},
        {"Edit", "EditBtn", &OptionsDialog::EditBtnClick},
        {"Delete", "DelBtn", &OptionsDialog::DelBtnClick},
    };
    for (const auto &action : actions) {
        auto *button = new QPushButton(QString::fromLatin1(action.caption), box);
        button->setObjectName(QString::fromLatin1(action.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action.click);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto *list = new QHBoxLayout;
    list->addWidget(m_clientsList, 1);
    list->addLayout(buttons);

    m_cuteLocal = new QLineEdit(box);
    m_cuteLocal->setObjectName(QStringLiteral("CuteLocal"));
    m_cutePath = new QLineEdit(box);
    m_cutePath->setObjectName(QStringLiteral("CutePath"));
    Prompts &prompts = m_services.prompts;
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Local Directory:"), withChooser(m_cuteLocal, [this, &prompts](const QString &start) {
                     return prompts.chooseFolder(this, QStringLiteral("Local Directory"), start);
                 }));
    form->addRow(QStringLiteral("Client Location:"), withChooser(m_cutePath, [this, &prompts](const QString &start) {
                     return prompts.chooseFile(this, QStringLiteral("Client Location"), start);
                 }));
    auto *layout = new QVBoxLayout(box);
    layout->addLayout(list, 1);
    layout->addLayout(form);

    // A click, also on the entry already selected, and a move by keys show that client's program.
    connect(m_clientsList, &QListWidget::itemClicked, this, &OptionsDialog::showClientLocation);
    connect(m_clientsList, &QListWidget::currentRowChanged, this, &OptionsDialog::showClientLocation);
    return box;
}

void OptionsDialog::SetUp()
{
    m_settingsOpts->clear();
    for (const char *node : {"General", "Proxy", "FTP Client"})
        m_settingsOpts->addTopLevelItem(new QTreeWidgetItem({QString::fromLatin1(node)}));
    m_settingsOpts->setCurrentItem(m_settingsOpts->topLevelItem(0));

    Preferences &p = m_services.preferences;
    const OptionsFields fields = optionsFields(p);
    m_maxTest->setText(fields.maxTest);
    m_maxSearch->setText(fields.maxSearch);
    m_proxy->setChecked(fields.useProxy);
    m_address->setText(fields.address);
    m_port->setText(fields.port);
    m_cuteLocal->setText(fields.local);
    m_cutePath->setText(fields.clientPath);
    p.ftpClient = fields.client;
    m_clients.load();
    // A number past the list selects nothing: "Client Location:" then keeps the program set.
    refillClients(fields.client - 1, true);
}

void OptionsDialog::showPanel()
{
    const int node = m_settingsOpts->indexOfTopLevelItem(m_settingsOpts->currentItem());
    if (node >= 0)
        m_setBox->setCurrentIndex(node);
}

int OptionsDialog::selectedClient() const
{
    const QList<QListWidgetItem *> selected = m_clientsList->selectedItems();
    return selected.isEmpty() ? -1 : m_clientsList->row(selected.first());
}

void OptionsDialog::showClientLocation()
{
    const int row = selectedClient();
    if (row >= 0)
        m_cutePath->setText(shownText(m_clients.location(m_clients.names().at(row))));
}

void OptionsDialog::refillClients(int select, bool showLocation)
{
    const QSignalBlocker quiet(m_clientsList);
    m_clientsList->clear();
    for (const QString &name : m_clients.names())
        m_clientsList->addItem(shownText(name));
    if (select < 0 || select >= m_clientsList->count())
        return;
    m_clientsList->setCurrentRow(select);
    if (showLocation)
        showClientLocation();
}

void OptionsDialog::AddBtnClick()
{
    ClientEditor editor(m_clients, m_services.prompts, this);
    m_services.prompts.showModal(editor);
    if (editor.result() != QDialog::Accepted)
        return;
    // The first client of a list where none was chosen is the one the hand-off will use.
    const int selected = selectedClient();
    if (selected >= 0)
        refillClients(selected, false);
    else
        refillClients(int(m_clients.names().size()) - 1, true);
}

void OptionsDialog::EditBtnClick()
{
    const int row = selectedClient();
    if (row < 0)
        return;
    ClientEditor editor(m_clients, m_services.prompts, this);
    editor.SetUp(m_clients.names().at(row));
    m_services.prompts.showModal(editor);
    // The edited client is the selected one: its program as now stored.
    if (editor.result() == QDialog::Accepted)
        showClientLocation();
}

void OptionsDialog::DelBtnClick()
{
    const int row = selectedClient();
    if (m_clients.names().size() <= 1 || row < 0)
        return;
    if (!m_services.prompts.askYesNo(this, kPromptTitle, QStringLiteral("Are you sure you want to delete?")))
        return;
    if (m_clients.remove(row))
        refillClients(0, true);
}

void OptionsDialog::done(int result)
{
    // The close box, Escape and "Close" all end here; the fields are stored once.
    if (!m_stored) {
        m_stored = true;
        if (!storeOptions({m_maxSearch->text(), m_maxTest->text(), m_proxy->isChecked(), m_address->text(), m_port->text(),
                           m_cuteLocal->text(), m_cutePath->text(), selectedClient() + 1},
                          m_services.preferences, m_services.store))
            m_services.prompts.warn(this, kPromptTitle,
                                    QStringLiteral("Error, the options could not be stored in %1; they apply until Kestrune closes")
                                        .arg(m_services.store.location()));
    }
    QDialog::done(result);
}
