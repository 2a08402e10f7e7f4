#pragma once

#include "platform/node_tree.h"
#include "platform/time_limits.h"
#include "update/update_protocol.h"
#include "update/update_response.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <optional>

class Profile;
class Shell;
class SocketArray;
struct Preferences;
struct SocketFailure;

// The update window's logic, without its widgets: one exchange at a time with the update server
// over `UpdateSock`, the candidate list it yields, and the merge into settings.dat. It lives for
// the whole run, as the window's variables do; the window binds to it while it is open, and
// load() gives the controls their first values again each time it opens.
class UpdateSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateSession)

public:
    struct Services
    {
        Profile &profile;
        const Preferences &preferences; // live: the proxy of the moment
        Shell &shell;
        NodeTree &enginesList; // the main window's, reloaded after an engine merge
    };

    explicit UpdateSession(Services services, TimeLimits limits = {}, QObject *parent = nullptr);
    ~UpdateSession() override;

    void setServer(const UpdateServer &server) { m_server = server; }
    const UpdateServer &server() const { return m_server; }

    // The window opens: "Contacting server...", no candidates, the small size.
    void load();
    // The window closes: a running exchange ends, the candidates go.
    void unload();

    // Each starts an exchange afresh (the previous one ends) and returns at once.
    void checkForUpdate();
    void enginesUpdate();
    void checkForClients();

    // What the controls show.
    QString checkText() const { return m_checkText; }
    bool handPointer() const { return m_handPointer; }
    bool listShown() const { return m_listShown; }
    NodeTree &candidates() { return m_candidates; }
    const NodeTree &candidates() const { return m_candidates; }
    // The argument template and script of client candidate row `row`.
    QString clientArgs(int row) const { return m_clientArgs.value(row); }
    QString clientScript(int row) const { return m_clientScripts.value(row); }

    // A click on the text: after a newer version was reported, its download address opens.
    void checkTextClicked();

    enum class Merged { Yes, NotWritten, Nothing };
    // "Update": the ticked candidates go into settings.dat (and the client templates). Yes: the
    // window closes. NotWritten: settings.dat or a template could not be written, no client or
    // engine was added, and the text (and mergeProblem()) says which.
    Merged UpdateBtnClick();
    QString mergeProblem() const { return m_mergeProblem; }

    UpdateMode updateMode() const { return m_updateMode; }
    const QByteArray &receiveBuffer() const { return m_receiveBuffer; }
    bool linkActive() const { return m_linkActive; }
    QString linkAddress() const { return m_linkAddress; }
    QString updateDate() const { return m_updateDate; }

signals:
    void checkTextChanged(const QString &text);
    void handPointerChanged(bool on);
    void listShownChanged(bool shown);
    // An exchange is over: `failure` says why it failed, or is empty after a response was read.
    void exchangeEnded(const QString &failure);

private:
    void start(UpdateMode mode);
    void connected();
    void dataArrival();
    // Ends the connection and its time limit; nothing of the exchange arrives after it.
    void closeSock();
    // Moves what arrived into the receive buffer; false, after failing the exchange, past the cap.
    bool takeArrived();
    void failed(const QString &reason);
    void ParseUpdateResponse();
    // Shows what the answer holds; returns why it fails, or nothing.
    QString showAnswer(const UpdateAnswer &answer);
    bool AddEngineCandidate(const EngineCandidate &engine);
    void AddClientCandidate(const ClientCandidate &client, const QStringList &known);
    bool SaveNewClients();
    void setCheckText(const QString &text);
    void setHandPointer(bool on);
    void setListShown(bool shown);

    Services m_services;
    TimeLimits m_limits;
    UpdateServer m_server;
    SocketArray *m_updateSock;
    QString m_mergeProblem;
    QTimer m_silence;
    QTimer m_total;
    NodeTree m_candidates{NodeTree::DisplayMode::CheckBoxes};
    QString m_checkText;
    bool m_handPointer = false;
    bool m_listShown = false;

    UpdateMode m_updateMode = UpdateMode::None;
    QByteArray m_receiveBuffer;
    // Read once the header has ended; until then, how far the search for its end has come.
    std::optional<ResponseHeader> m_header;
    qsizetype m_headerSearched = 0;
    bool m_linkActive = false;
    QString m_linkAddress;
    QString m_updateDate;
    // By candidate row; element 0 holds nothing.
    QVector<QString> m_clientScripts{QString()};
    QVector<QString> m_clientArgs{QString()};
};
