#include "prefs/options.h"

namespace {

int numberOr(const QString &text, int lowest, int highest, int previous)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? value : previous;
}

} // namespace

OptionsFields optionsFields(const Preferences &p)
{
    return {QString::number(p.maxSearch), QString::number(p.maxTest), p.useProxy, p.proxyAddress,
            QString::number(p.proxyPort), p.ftpLocal, p.ftpPath, p.ftpClient == 0 ? 1 : p.ftpClient};
}

bool storeOptions(const OptionsFields &fields, Preferences &p, PreferenceStore &store)
{
    bool stored = true;
    p.maxTest = numberOr(fields.maxTest, 1, kMostSockets, p.maxTest);
    p.maxSearch = numberOr(fields.maxSearch, 1, kMostSockets, p.maxSearch);
    stored &= store.write(QStringLiteral("max_test"), QString::number(p.maxTest));
    stored &= store.write(QStringLiteral("max_search"), QString::number(p.maxSearch));
    p.useProxy = fields.useProxy;
    p.proxyAddress = fields.address;
    p.proxyPort = numberOr(fields.port, 1, kHighestPort, p.proxyPort);
    stored &= store.write(QStringLiteral("UseProxy"), preferenceBoolText(p.useProxy));
    stored &= store.write(QStringLiteral("ProxyAddress"), p.proxyAddress);
    stored &= store.write(QStringLiteral("ProxyPort"), QString::number(p.proxyPort));
    p.ftpLocal = fields.local;
    p.ftpPath = fields.clientPath;
    stored &= store.write(QStringLiteral("FTP_LOCAL"), p.ftpLocal);
    stored &= store.write(QStringLiteral("FTP_PATH"), p.ftpPath);
    p.ftpClient = fields.client;
    stored &= store.write(QStringLiteral("FTP_CLIENT"), QString::number(p.ftpClient));
    return stored;
}
