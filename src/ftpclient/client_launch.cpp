#include "ftpclient/client_launch.h"

#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"
#include "ftpclient/client_registry.h"
#include "ftpclient/detail/client_template.h"
#include "ftpclient/detail/ftp_url.h"
#include "ftpclient/detail/logging.h"
#include "platform/byte_text.h"
#include "platform/launcher.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <memory>

namespace {

const QString kStatsPanel = QStringLiteral("Stats");

bool isAsciiAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "[" hexadecimal digits, ":" and "." "]" with at least one ":": an IPv6 literal as a link writes it.
bool isBracketedAddress(QByteArrayView host)
{
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    const QByteArrayView inside = host.sliced(1, host.size() - 2);
    for (const char c : inside) {
        if (!isHexDigit(c) && c != ':' && c != '.')
            return false;
    }
    return inside.contains(':');
}

// A leading "-" would make the host an option of the client's "open" command.
bool isHostName(QByteArrayView host)
{
    if (isBracketedAddress(host))
        return true;
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
    int value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    return value >= 1;
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

// Why the link's pieces cannot go into a client's script or command line; empty when they can.
QString unsafePiece(const FtpLink &link)
{
    if (!isHostName(link.host))
        return QStringLiteral("the link's host is not a host name or an IP address");
    if (!isPortNumber(link.port))
        return QStringLiteral("the link's port is not a number from 1 to 65535");
    if (!staysQuoted(link.user) || !staysQuoted(link.password) || !staysQuoted(link.path) || !staysQuoted(link.file))
        return QStringLiteral("the link holds a double quote, a backslash or a control character");
    return {};
}

bool hasFtpScheme(QByteArrayView link)
{
    return link.size() >= 6 && QByteArrayView(link.first(6)).compare("ftp://", Qt::CaseInsensitive) == 0;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// A script that no later hand-off can overwrite: a new owner-only file beside `scriptPath`,
// "script-XXXXXX.scr" for "script.scr". Scripts of earlier hand-offs that are older than
// kScriptLifetime go first: their clients have long read them. Only files that are exactly
// such a name (six letters or digits, in that letter case) and owner-only are taken for one,
// so that a file of the user's own is not deleted.
std::unique_ptr<QTemporaryFile> newScriptFile(const QString &scriptPath)
{
    const QFileInfo base(scriptPath);
    const QString suffix = base.suffix().isEmpty() ? QString() : u'.' + base.suffix();
    const QString name = base.completeBaseName() + QStringLiteral("-XXXXXX") + suffix;
    const QDir folder = base.absoluteDir();
    const QDateTime staleBefore = QDateTime::currentDateTime().addSecs(-kScriptLifetime.count());
    const QRegularExpression ours(u'^' + QRegularExpression::escape(base.completeBaseName()) + QStringLiteral("-[A-Za-z0-9]{6}")
                                  + QRegularExpression::escape(suffix) + u'$');
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QString pattern = QString(name).replace(QStringLiteral("XXXXXX"), QStringLiteral("??????"));
    for (const QFileInfo &old : folder.entryInfoList({pattern}, QDir::Files | QDir::Hidden | QDir::CaseSensitive)) {
        if (ours.match(old.fileName()).hasMatch() && !(old.permissions() & others) && old.lastModified() < staleBefore)
            QFile::remove(old.filePath());
    }
    auto file = std::make_unique<QTemporaryFile>(folder.filePath(name));
    file->setAutoRemove(false);
    if (!file->open())
        return nullptr;
    return file;
}

} // namespace

HandOffResult LaunchClient(QByteArrayView link, HandOff kind, Preferences &preferences, const Profile &profile,
                           Launcher &launcher, StatusLine &status)
{
    using Problem = HandOffResult::Problem;
    const auto fail = [&status](Problem problem, QString reason) {
        qCInfo(lcFtpClient).noquote() << "hand-off refused:" << reason;
        status.setText(kStatsPanel, kClientFailureText);
        return HandOffResult{false, problem, std::move(reason), {}};
    };

    // Any other six characters would be skipped as if they were the scheme, and what follows
    // taken for a host.
    if (!hasFtpScheme(link))
        return fail(Problem::NotFtpLink, QStringLiteral("the link does not begin with ftp://"));
    const FtpLink parts = ParseFTPURL(link);
    if (!preferences.ftpLocal.endsWith(u'/'))
        preferences.ftpLocal.append(u'/');
    if (QString unsafe = unsafePiece(parts); !unsafe.isEmpty())
        return fail(Problem::UnsafePiece, std::move(unsafe));

    const IniDocument settings = profile.snapshot(kSettingsFile);
    const QString clientKey = QStringLiteral("Client") + QString::number(preferences.ftpClient);
    const QString name = profileText(settings.value(QStringLiteral("Clients"), clientKey).value_or(QString()));
    if (name.isEmpty())
        return fail(Problem::NoClient, QStringLiteral("no FTP client is chosen: settings.dat lists no %1").arg(clientKey));
    // settings.dat texts are its bytes, one character each.
    QByteArray arguments = profileText(settings.value(name, QStringLiteral("Args")).value_or(QString())).toLatin1();

    // Paths of our own go to the client in the file system's encoding; the link's bytes go as
    // they are.
    const QByteArray local = QFile::encodeName(preferences.ftpLocal);
    const auto expand = [&](QByteArrayView text) {
        return ExpandTemplate(text, parts.host, parts.port, parts.user, parts.password, local, parts.path,
                              parts.file, kind == HandOff::GetFile);
    };

    const qsizetype marker = indexOfPercentS(arguments);
    std::optional<QByteArray> scriptTemplate;
    if (marker >= 0) {
        const QString templatePath = clientTemplatePath(profile.programFolder(), name);
        if (templatePath.isEmpty())
            return fail(Problem::NoTemplate, QStringLiteral("the client name %1 cannot name a template file").arg(quoted(name)));
        scriptTemplate = ReadTextFile(templatePath);
        if (!scriptTemplate)
            return fail(Problem::NoTemplate, QStringLiteral("the client template %1 cannot be read").arg(quoted(templatePath)));
    }
    // Known to fail before a script is written.
    if (preferences.ftpPath.isEmpty())
        return fail(Problem::NoProgram, QStringLiteral("no client program is set (FTP_PATH)"));

    std::unique_ptr<QTemporaryFile> scriptFile;
    if (scriptTemplate) {
        scriptFile = newScriptFile(preferences.scriptPath);
        if (!scriptFile)
            return fail(Problem::ScriptFailed, QStringLiteral("no script can be written beside %1").arg(quoted(preferences.scriptPath)));
        arguments.replace(marker, 2, QFile::encodeName(scriptFile->fileName()));
        // An empty script is written too: the client must not find another hand-off's script.
        const QByteArray script = expand(*scriptTemplate);
        const bool written = script.isEmpty() || scriptFile->write(script + "\r\n") == script.size() + 2;
        scriptFile->close(); // flushes; a failure shows in error()
        if (!written || scriptFile->error() != QFileDevice::NoError) {
            scriptFile->remove();
            return fail(Problem::ScriptFailed, QStringLiteral("the script %1 cannot be written").arg(quoted(scriptFile->fileName())));
        }
    }
    const QByteArray commandLine = expand(arguments);

    // Decoded with the file system's codec because starting the process encodes with it again:
    // bytes it can decode (any UTF-8) reach the client unchanged.
    if (!launcher.start(preferences.ftpPath, QProcess::splitCommand(QFile::decodeName(commandLine)))) {
        if (scriptFile)
            scriptFile->remove();
        return fail(Problem::NotStarted, QStringLiteral("the client program %1 cannot be started").arg(quoted(preferences.ftpPath)));
    }
    // Not the arguments: they may hold the link's password.
    qCInfo(lcFtpClient).noquote() << "started" << preferences.ftpPath
                                  << (scriptFile ? QStringLiteral("with the script ") + scriptFile->fileName() : QString());
    return HandOffResult{true, Problem::None, {}, scriptFile ? scriptFile->fileName() : QString()};
}
