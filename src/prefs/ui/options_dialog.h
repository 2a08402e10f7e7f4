#pragma once

#include "ftpclient/client_registry.h"

#include <QDialog>

class PreferenceStore;
class Profile;
class Prompts;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QStackedWidget;
class QTreeWidget;
struct Preferences;

// The Options dialog "Options:": the connection limits, the proxy, the download folder, the FTP
// client program and the list of FTP clients with its editor. It has no cancel: however it closes,
// it stores every field once, into the live preferences and the store. Changes to the client list
// are written to settings.dat at once.
class OptionsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsDialog)

public:
    struct Services
    {
        Preferences &preferences;
        PreferenceStore &store;
        Profile &profile;
        Prompts &prompts;
    };

    OptionsDialog(Services services, QWidget *parent);

    // Fills the fields from the preferences and the client list from settings.dat.
    void SetUp();

    void done(int result) override;

private:
    QWidget *generalPanel();
    QWidget *proxyPanel();
    QWidget *clientPanel();
    void showPanel();
    void showClientLocation();
    void refillClients(int select, bool showLocation);
    int selectedClient() const;
    void AddBtnClick();
    void EditBtnClick();
    void DelBtnClick();

    Services m_services;
    ClientRegistry m_clients;
    bool m_stored = false;
    QTreeWidget *m_settingsOpts = nullptr;
    QStackedWidget *m_setBox = nullptr;
    QLineEdit *m_maxSearch = nullptr;
    QLineEdit *m_maxTest = nullptr;
    QCheckBox *m_proxy = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_port = nullptr;
    QListWidget *m_clientsList = nullptr;
    QLineEdit *m_cuteLocal = nullptr;
    QLineEdit *m_cutePath = nullptr;
};
