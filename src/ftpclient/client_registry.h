#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class Profile;

// One FTP client as the client editor shows it: texts as typed, the script with CR LF line ends.
struct ClientForm
{
    QString name;
    QString path;        // "Location": the client program
    QString commandLine; // "Args"
    QString script;      // the "<name>.scr" template; empty keeps the file there is
};

// The section of settings.dat that lists the clients.
inline const QString kClientsSection = QStringLiteral("Clients");

// Whether a settings.dat text can name a client: a section header's text and a file name of the
// program folder, which the profile reader hands back whole.
bool isClientName(const QString &stored);

// Replaces a client template (at clientTemplatePath(), empty when there is none) with `script`
// and one more CR LF, atomically; false, and logged, when it cannot be written.
bool WriteScriptFile(const QString &path, QByteArrayView script);

// The template file of client `name` (a settings.dat text): "<name>.scr" in `folder`, its file
// name made of the name's bytes. Empty when the name cannot be a file name of that folder.
QString clientTemplatePath(const QString &folder, const QString &name);

// The FTP clients of settings.dat as the Options dialog lists them: the names of [Clients] in
// order, kept in step with the file. Every change rewrites [Clients] whole from the list ("Count",
// then "Client1" onwards) in one atomic write; a change that cannot be written leaves the list
// as it was. Names are settings.dat texts (bytes as characters); shownText() gives them to people.
class ClientRegistry final
{
public:
    explicit ClientRegistry(Profile &profile);

    // Reads the list afresh; a number that "Count" covers but no key holds lists an empty name.
    void load();
    const QStringList &names() const { return m_names; }
    QString programFolder() const;

    // The client's "Location", as settings.dat holds it.
    QString location(const QString &name) const;
    // The client as the editor shows it: its name, Location, Args and template (empty when there
    // is no template file).
    ClientForm read(const QString &name) const;

    enum class Saved { Yes, NameRefused, NotWritten };
    // The editor's "Done". `form` as typed: blanks around each text are dropped (line breaks stay).
    // A new client (`editing` false) is appended, refused when its name is empty, cannot name a
    // section and a file, or is listed already (exactly; case counts). Then "Location" and "Args"
    // go to the client's section and a script that is not empty replaces the template with itself
    // and one more CR LF. An edited client keeps its name, whatever `form.name` says.
    Saved save(const ClientForm &form, bool editing, const QString &editedName = {});

    // Removes the client at `position` (from 0). Its section and template stay: the update
    // service and hand-written files may still refer to them.
    bool remove(int position);

private:
    bool rewrite(const QStringList &names);

    Profile &m_profile;
    QStringList m_names;
};
