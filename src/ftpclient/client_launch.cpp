#include "ftpclient/client_launch.h"

#include "platform/byte_text.h"

#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"
#include "ftpclient/client_template.h"
#include "ftpclient/ftp_url.h"
#include "platform/launcher.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace {

const QString kStatsPanel = QStringLiteral("Stats");

bool isAsciiAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A leading "-" would make the host an option of the client's "open" command.
bool isHostName(QByteArrayView host)
{
    if (host.isEmpty() || host.front() == '-')
        return false;
    for (const char c : host) {
        if (!isAsciiAlphanumeric(c) && c != '.' && c != '-' && c != '_')
            return false;
    }
    return true;
}

bool isPortNumber(QByteArrayView port)
{
    if (port.isEmpty() || port.size() > 5)
        return false;
    int value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

// Templates put every value inside double quotes; these bytes are the ones that could end the
// quoting, escape it, or start a new script line.
bool staysQuoted(QByteArrayView value)
{
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127 || c == '"' || c == '\\')
            return false;
    }
    return true;
}

bool isSafeToHandOff(const FtpLink &link)
{
    return isHostName(link.host) && isPortNumber(link.port) && staysQuoted(link.user)
        && staysQuoted(link.password) && staysQuoted(link.path) && staysQuoted(link.file);
}

bool writeScript(const QString &path, const QByteArray &script)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The script may carry the link's password.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(script);
    file.write("\r\n");
    return file.commit();
}

bool fail(StatusLine &status)
{
    status.setText(kStatsPanel, kClientFailureText);
    return false;
}

} // namespace

bool LaunchClient(QByteArrayView link, bool getFile, Preferences &preferences, const Profile &profile,
                  Launcher &launcher, StatusLine &status)
{
    const FtpLink parts = ParseFTPURL(link);
    if (!preferences.ftpLocal.endsWith(u'/'))
        preferences.ftpLocal.append(u'/');
    if (!isSafeToHandOff(parts))
        return fail(status);

    const IniDocument settings = profile.snapshot(kSettingsFile);
    const QString name = profileText(
        settings.value(QStringLiteral("Clients"), QStringLiteral("Client") + QString::number(preferences.ftpClient))
            .value_or(QString()));
    if (name.isEmpty())
        return fail(status);
    // settings.dat texts are its bytes, one character each.
    QByteArray arguments = profileText(settings.value(name, QStringLiteral("Args")).value_or(QString())).toLatin1();

    // Paths of our own go to the client in the file system's encoding; the link's bytes go as
    // they are.
    const QByteArray local = QFile::encodeName(preferences.ftpLocal);
    const auto expand = [&](QByteArrayView text) {
        return ExpandTemplate(text, parts.host, parts.port, parts.user, parts.password, local, parts.path,
                              parts.file, getFile);
    };

    QByteArray script;
    if (const qsizetype marker = indexOfPercentS(arguments); marker >= 0) {
        arguments.replace(marker, 2, QFile::encodeName(preferences.scriptPath));
        const std::optional<QByteArray> scriptTemplate =
            ReadTextFile(QDir(profile.programFolder()).filePath(name + QStringLiteral(".scr")));
        if (!scriptTemplate)
            return fail(status);
        script = expand(*scriptTemplate);
    }
    const QByteArray commandLine = expand(arguments);

    // Known to fail before the last script is replaced.
    if (preferences.ftpPath.isEmpty())
        return fail(status);
    if (!script.isEmpty() && !writeScript(preferences.scriptPath, script))
        return fail(status);
    // Decoded with the file system's codec because starting the process encodes with it again:
    // bytes it can decode (any UTF-8) reach the client unchanged.
    if (!launcher.start(preferences.ftpPath, QProcess::splitCommand(QFile::decodeName(commandLine))))
        return fail(status);
    return true;
}
