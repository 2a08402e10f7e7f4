#include "ftpclient/client_registry.h"

#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"
#include "ftpclient/detail/client_template.h"
#include "ftpclient/detail/logging.h"
#include "platform/byte_text.h"
#include "platform/whole_file.h"

#include <QDir>
#include <QFile>

#include <algorithm>

bool isClientName(const QString &stored)
{
    if (stored.isEmpty() || stored.size() > 254 || stored == u"." || stored == u"..")
        return false;
    for (const QChar c : stored) {
        if (c == u'/' || c == u'[' || c == u']' || isControlByte(char(c.unicode())))
            return false;
    }
    return true;
}

bool WriteScriptFile(const QString &path, QByteArrayView script)
{
    QString reason = QStringLiteral("the client's name cannot name a file");
    if (!path.isEmpty() && writeWholeFile(path, script.toByteArray() + "\r\n", &reason))
        return true;
    qCWarning(lcFtpClient).noquote() << "cannot write the client template" << path << ':' << reason;
    return false;
}

QString clientTemplatePath(const QString &folder, const QString &name)
{
    const QString fileName = QFile::decodeName(name.toLatin1());
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName == u"." || fileName == u"..")
        return {};
    return QDir(folder).filePath(fileName + QStringLiteral(".scr"));
}

ClientRegistry::ClientRegistry(Profile &profile)
    : m_profile(profile)
{
}

void ClientRegistry::load()
{
    m_names.clear();
    const IniDocument settings = m_profile.snapshot(kSettingsFile);
    // Numbers past the last "Client" key would only list empty names: a "Count" that is far too
    // large (edited by hand, or by a faulty update) must not fill memory.
    int last = 0;
    for (const QString &key : settings.keys(kClientsSection)) {
        if (key.startsWith(u"client", Qt::CaseInsensitive))
            last = std::max(last, QStringView(key).sliced(6).toInt());
    }
    const int count = std::min(profileText(settings.value(kClientsSection, QStringLiteral("Count")).value_or(QString())).toInt(), last);
    for (int i = 1; i <= count; ++i)
        m_names.append(profileText(settings.value(kClientsSection, QStringLiteral("Client%1").arg(i)).value_or(QString())));
}

QString ClientRegistry::programFolder() const
{
    return m_profile.programFolder();
}

QString ClientRegistry::location(const QString &name) const
{
    return m_profile.ReadProfile(kSettingsFile, name, QStringLiteral("Location"), {});
}

ClientForm ClientRegistry::read(const QString &name) const
{
    const IniDocument settings = m_profile.snapshot(kSettingsFile);
    const auto value = [&](const QString &key) { return shownText(profileText(settings.value(name, key).value_or(QString()))); };
    ClientForm form{shownText(name), value(QStringLiteral("Location")), value(QStringLiteral("Args")), {}};
    if (const auto script = ReadTextFile(clientTemplatePath(m_profile.programFolder(), name)))
        form.script = shownText(QString::fromLatin1(*script));
    return form;
}

ClientRegistry::Saved ClientRegistry::save(const ClientForm &form, bool editing, const QString &editedName)
{
    QString name = editedName;
    if (!editing) {
        name = storedText(withoutSpaces(form.name));
        if (!isClientName(name) || m_names.contains(name))
            return Saved::NameRefused;
        if (!rewrite(m_names + QStringList{name}))
            return Saved::NotWritten;
        m_names.append(name);
    }
    const bool stored = m_profile.edit(kSettingsFile, [&](IniDocument &settings) {
        settings.setValue(name, QStringLiteral("Location"), storedText(withoutSpaces(form.path)));
        settings.setValue(name, QStringLiteral("Args"), storedText(withoutSpaces(form.commandLine)));
    });
    if (!stored)
        return Saved::NotWritten;
    const QString script = withoutSpaces(form.script);
    if (script.isEmpty())
        return Saved::Yes;
    const QString path = clientTemplatePath(m_profile.programFolder(), name);
    return WriteScriptFile(path, script.toUtf8()) ? Saved::Yes : Saved::NotWritten;
}

bool ClientRegistry::remove(int position)
{
    if (position < 0 || position >= m_names.size())
        return false;
    QStringList names = m_names;
    names.removeAt(position);
    if (!rewrite(names))
        return false;
    m_names = names;
    return true;
}

bool ClientRegistry::rewrite(const QStringList &names)
{
    return m_profile.edit(kSettingsFile, [&names](IniDocument &settings) {
        settings.removeSection(kClientsSection);
        settings.setValue(kClientsSection, QStringLiteral("Count"), QString::number(names.size()));
        for (int i = 0; i < names.size(); ++i)
            settings.setValue(kClientsSection, QStringLiteral("Client%1").arg(i + 1), names[i]);
    });
}
