#include "update/update_session.h"

#include "catalogue/engine_catalogue.h"
#include "catalogue/profile.h"
#include "ftpclient/client_registry.h"
#include "platform/http_decoding.h"
#include "platform/shell.h"
#include "platform/socket_array.h"
#include "prefs/preferences.h"
#include "update/detail/logging.h"

namespace {

// The one element of the socket array.
constexpr int kUpdateSock = 0;

const QString kErrorOccured = QStringLiteral("Error occured");

} // namespace

UpdateSession::UpdateSession(Services services, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_limits(limits)
    , m_updateSock(new SocketArray(this))
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        failed(QStringLiteral("the update server sent nothing for %1 s").arg(m_limits.updateSilence.count() / 1000.0));
    });
    m_total.setSingleShot(true);
    connect(&m_total, &QTimer::timeout, this, [this] {
        failed(QStringLiteral("the update server took longer than %1 s").arg(m_limits.updateTotal.count() / 1000.0));
    });
    connect(m_updateSock, &SocketArray::connected, this, &UpdateSession::connected);
    connect(m_updateSock, &SocketArray::dataArrival, this, &UpdateSession::dataArrival);
    connect(m_updateSock, &SocketArray::closed, this, [this] {
        // Whatever is still buffered belongs to the response.
        if (takeArrived())
            ParseUpdateResponse();
    });
    connect(m_updateSock, &SocketArray::error, this,
            [this](int, const SocketFailure &failure) { failed(failure.text); });
    load();
}

UpdateSession::~UpdateSession() = default;

void UpdateSession::load()
{
    setCheckText(QStringLiteral("Contacting server..."));
    setHandPointer(false);
    m_candidates.clear();
    setListShown(false);
}

void UpdateSession::unload()
{
    closeSock();
    m_candidates.clear();
}

void UpdateSession::checkForUpdate()
{
    start(UpdateMode::Version);
}

void UpdateSession::enginesUpdate()
{
    start(UpdateMode::Engines);
}

void UpdateSession::checkForClients()
{
    start(UpdateMode::Clients);
}

void UpdateSession::start(UpdateMode mode)
{
    closeSock();
    m_updateMode = mode;
    m_receiveBuffer.clear();
    m_header.reset();
    m_headerSearched = 0;
    m_updateSock->create(kUpdateSock);
    const Preferences &preferences = m_services.preferences;
    if (preferences.useProxy)
        m_updateSock->connectTo(kUpdateSock, preferences.proxyAddress, preferences.proxyPort);
    else
        m_updateSock->connectTo(kUpdateSock, QString::fromLatin1(m_server.host), m_server.port);
    m_silence.start(m_limits.updateSilence);
    m_total.start(m_limits.updateTotal);
    qCInfo(lcUpdate).noquote() << "asking" << m_server.host << "for" << requestName(mode)
                               << (preferences.useProxy ? "through the proxy" : "directly");
}

void UpdateSession::connected()
{
    setCheckText(QStringLiteral("Requesting information..."));
    m_updateSock->send(kUpdateSock, updateRequest(m_server, m_updateMode, m_services.preferences.useProxy));
    m_silence.start(m_limits.updateSilence);
}

bool UpdateSession::takeArrived()
{
    // One byte more than the cap tells a response too large from one of exactly that size.
    m_updateSock->appendAllTo(kUpdateSock, m_receiveBuffer, m_limits.pageCap + 1);
    if (m_receiveBuffer.size() <= m_limits.pageCap)
        return true;
    failed(QStringLiteral("the response is larger than %1 bytes").arg(m_limits.pageCap));
    return false;
}

void UpdateSession::dataArrival()
{
    if (!takeArrived())
        return;
    m_silence.start(m_limits.updateSilence);
    setCheckText(QStringLiteral("Receiving info %1").arg(m_receiveBuffer.size()));
    // Each byte is searched once for the header's end, whatever the number of arrivals.
    if (!m_header) {
        if (m_receiveBuffer.indexOf("\r\n\r\n", std::max<qsizetype>(0, m_headerSearched - 3)) < 0) {
            m_headerSearched = m_receiveBuffer.size();
            return;
        }
        m_header = readResponseHeader(m_receiveBuffer);
    }
    switch (receptionState(*m_header, m_receiveBuffer.size())) {
    case Reception::Complete:
        ParseUpdateResponse();
        break;
    case Reception::BadLength:
        // The response still ends when the server closes.
        setCheckText(kErrorOccured);
        break;
    case Reception::Incomplete:
        break;
    }
}

void UpdateSession::closeSock()
{
    m_updateSock->destroy(kUpdateSock);
    m_silence.stop();
    m_total.stop();
}

void UpdateSession::failed(const QString &reason)
{
    closeSock();
    setCheckText(kErrorOccured);
    qCInfo(lcUpdate).noquote() << "the exchange failed:" << reason;
    emit exchangeEnded(reason);
}

void UpdateSession::ParseUpdateResponse()
{
    closeSock();
    setCheckText(QStringLiteral("Analysing data..."));
    if (std::optional<QByteArray> decoded = decodedResponse(m_receiveBuffer, m_limits.pageCap))
        m_receiveBuffer = std::move(*decoded);
    const QString failure = showAnswer(::ParseUpdateResponse(m_receiveBuffer, m_updateMode));
    if (!failure.isEmpty()) {
        setCheckText(kErrorOccured);
        qCInfo(lcUpdate).noquote() << "the response could not be read:" << failure;
    }
    emit exchangeEnded(failure.isEmpty() ? QString() : QStringLiteral("the response could not be read: ") + failure);
}

QString UpdateSession::showAnswer(const UpdateAnswer &answer)
{
    if (answer.date)
        m_updateDate = *answer.date;
    switch (m_updateMode) {
    case UpdateMode::Version: {
        if (!answer.ok)
            return answer.failure;
        const ProgramVersion &v = answer.version;
        if (!isNewerVersion(v)) {
            setCheckText(QStringLiteral("No newer version available yet."));
            return {};
        }
        setCheckText(QStringLiteral("new Version %1.%2 Build %3 Available").arg(v.major).arg(v.minor).arg(v.build));
        setHandPointer(true);
        m_linkActive = true;
        m_linkAddress = answer.linkAddress;
        return {};
    }
    case UpdateMode::Engines:
        for (const EngineCandidate &engine : answer.engines) {
            if (!AddEngineCandidate(engine))
                return QStringLiteral("an engine's query template is listed already");
        }
        if (!answer.ok)
            return answer.failure;
        setCheckText(QStringLiteral("Engines were last updated on ") + m_updateDate);
        setListShown(true);
        return {};
    case UpdateMode::Clients: {
        ClientRegistry registry(m_services.profile);
        registry.load();
        for (const ClientCandidate &client : answer.clients)
            AddClientCandidate(client, registry.names());
        if (!answer.ok)
            return answer.failure;
        if (m_candidates.count() == 0) {
            setCheckText(QStringLiteral("No new clients added..."));
            return {};
        }
        setCheckText(QStringLiteral("Clients were last updated on ") + m_updateDate);
        setListShown(true);
        return {};
    }
    case UpdateMode::None:
        break;
    }
    return QStringLiteral("no exchange was asked for");
}

bool UpdateSession::AddEngineCandidate(const EngineCandidate &engine)
{
    // The query template is the row's key: a second row with it fails the list.
    const int row = m_candidates.add(engine.query, engine.name);
    if (row == 0)
        return false;
    m_candidates.setTag(row, engine.url);
    m_candidates.setChecked(row, true);
    return true;
}

void UpdateSession::AddClientCandidate(const ClientCandidate &client, const QStringList &known)
{
    // A client listed already is not offered again; the name must match exactly, case and all.
    if (known.contains(client.name))
        return;
    const int row = m_candidates.add({}, client.name);
    m_candidates.setChecked(row, true);
    const int n = m_candidates.count();
    m_clientScripts.resize(n + 1);
    m_clientArgs.resize(n + 1);
    m_clientScripts[n] = client.script;
    m_clientArgs[n] = client.args;
}

void UpdateSession::checkTextClicked()
{
    if (!m_linkActive)
        return;
    // The address comes from the network: only a web address is handed to the desktop, never a
    // local file or a program.
    const QString address = m_linkAddress.trimmed();
    if (address.startsWith(u"http://", Qt::CaseInsensitive) || address.startsWith(u"https://", Qt::CaseInsensitive))
        ShellOpen(m_services.shell, address);
    else
        qCInfo(lcUpdate).noquote() << "not a web address, not opened:" << address;
}

UpdateSession::Merged UpdateSession::UpdateBtnClick()
{
    bool written = false;
    m_mergeProblem.clear();
    switch (m_updateMode) {
    case UpdateMode::Engines:
        // The merge makes the candidates' number the catalogue's: with none it would hide every engine.
        written = m_candidates.count() == 0
            || SaveEnginesOverList(m_candidates, SaveScope::TickedMerge, m_services.enginesList, m_services.profile);
        break;
    case UpdateMode::Clients:
        written = SaveNewClients();
        if (written) {
            m_clientScripts = {QString()};
            m_clientArgs = {QString()};
        }
        break;
    case UpdateMode::Version:
    case UpdateMode::None:
        return Merged::Nothing;
    }
    if (!written) {
        if (m_mergeProblem.isEmpty())
            m_mergeProblem = QStringLiteral("%1 could not be written").arg(m_services.profile.pathOf(kSettingsFile));
        setCheckText(kErrorOccured + QStringLiteral(": ") + m_mergeProblem);
        return Merged::NotWritten;
    }
    return Merged::Yes;
}

bool UpdateSession::SaveNewClients()
{
    const int rows = m_candidates.count();
    // The templates first, and all of them: a client listed without its template could not run.
    for (int i = 1; i <= rows; ++i) {
        if (!m_candidates.checked(i))
            continue;
        const QString path = clientTemplatePath(m_services.profile.programFolder(), m_candidates.text(i));
        if (!WriteScriptFile(path, m_clientScripts.value(i).toLatin1())) {
            m_mergeProblem = QStringLiteral("%1 could not be written").arg(path);
            return false;
        }
    }
    const bool stored = m_services.profile.edit(kSettingsFile, [&](IniDocument &settings) {
        const int c = profileText(settings.value(kClientsSection, QStringLiteral("Count")).value_or(QString())).toInt();
        // Rows go to their own numbers: an unticked row leaves its number unwritten.
        for (int i = 1; i <= rows; ++i) {
            if (!m_candidates.checked(i))
                continue;
            settings.setValue(kClientsSection, QStringLiteral("Client%1").arg(c + i), m_candidates.text(i));
            settings.setValue(m_candidates.text(i), QStringLiteral("Args"), m_clientArgs.value(i));
        }
        settings.setValue(kClientsSection, QStringLiteral("Count"), QString::number(c + rows));
    });
    return stored;
}

void UpdateSession::setCheckText(const QString &text)
{
    if (text == m_checkText)
        return;
    m_checkText = text;
    emit checkTextChanged(text);
}

void UpdateSession::setHandPointer(bool on)
{
    if (on == m_handPointer)
        return;
    m_handPointer = on;
    emit handPointerChanged(on);
}

void UpdateSession::setListShown(bool shown)
{
    if (shown == m_listShown)
        return;
    m_listShown = shown;
    emit listShownChanged(shown);
}
