#pragma once

#include "listing/CListItem.h"
#include "platform/NamedMutex.h"
#include "session/LogonRecord.h"
#include "session/RemoteBrowserState.h"
#include "session/SessionRegistry.h"

#include <QModelIndexList>
#include <QObject>
#include <QVector>

#include <chrono>
#include <map>
#include <memory>

class CertificateTrust;
class CftpView;
class MailPayload;
class Prompt;
class SessionThread;

// Connects the main view to its sessions: connect and disconnect, the tab strip, the remote
// list and path box, and navigation in the remote pane. Lives on the GUI thread; sessions
// reach it only through their queued signals.
class SessionController : public QObject {
    Q_OBJECT
public:
    SessionController(CftpView& view, Prompt& prompt, const QString& lockFolder,
                      QObject* parent = nullptr);
    // Ends every session (QUIT) and waits for their threads.
    ~SessionController() override;

    void setKeepAliveInterval(std::chrono::milliseconds interval) { keepAlive_ = interval; }
    void setNetworkTimeout(std::chrono::milliseconds timeout) { networkTimeout_ = timeout; }

    bool isConnected() const { return connected_; }
    SessionRegistry& registry() { return registry_; }
    // The browsing state of the current session (an empty one when there is none).
    RemoteBrowserState& remote();
    NamedMutex& engineLock() { return engineLock_; }
    // The judge of the certificates that fail verification, shared by sessions and workers.
    CertificateTrust& certificateTrust() { return *certificateTrust_; }
    // The session requests go to; null when there is none.
    SessionThread* currentSession() const;
    // The address queue entries added now carry: the current session's identity text; empty
    // while no session is current or the current one is still logging on.
    QString currentAddress() const;
    // Posts a request to the current session; false when there is none.
    bool postToCurrent(int message, std::unique_ptr<MailPayload> payload = {});
    // Posts a request to the session with this id, current or not (a transfer asks the session
    // of its server for the logon); false when there is none.
    bool postToSession(int sessionId, int message, std::unique_ptr<MailPayload> payload = {});

    void OnConnect();
    // The trust file of the certificates the user trusts lives in the work path: later
    // decisions go to the one the configuration names now.
    void followWorkPath();
    // The folder the next session started by OnConnect opens once it is logged on.
    void openAfterLogon(const QString& path) { pathAfterLogon_ = path; }
    void OnDisconnect();
    void openRemoteRow();
    void remoteUp();
    void refreshRemote();

Q_SIGNALS:
    void connectedChanged(bool connected);

private:
    void startSession(const LogonRecord& logon);
    void onLoggedOn(int sessionId, const QString& host);
    void onLogonFailed(int sessionId);
    void onFinished(int sessionId);
    void onRemoteList(int sessionId, const QVector<CListItem>& rows);
    void onRemotePathShown(int sessionId, const QString& path);
    void onActivated(int sessionId, const LogonRecord& logon);
    void onTabSelected(int index);
    void onCloseTab(int index);
    void navigateTo(const QString& path);
    void relabelTabs();
    void endSession(int sessionId);
    void setConnected(bool connected);
    void showRemotePath(const QString& path);
    void registerCommands();
    QModelIndexList selectedRemoteRows() const;
    void watchRemoteKeys();
    bool eventFilter(QObject* watched, QEvent* event) override;

    CftpView& view_;
    Prompt& prompt_;
    // Shared with every session and transfer worker, which may still hold it after a tab closed.
    std::shared_ptr<CertificateTrust> certificateTrust_;
    NamedMutex engineLock_;
    SessionRegistry registry_;
    RemoteBrowserState noSession_;
    // Each session browses on its own, so a request it still runs after the user selected
    // another tab cannot move that tab's folder. Declared before sessions_, which use them.
    std::map<int, std::unique_ptr<RemoteBrowserState>> browsers_;
    std::map<int, std::unique_ptr<SessionThread>> sessions_;
    std::chrono::milliseconds keepAlive_{10000};
    std::chrono::milliseconds networkTimeout_{30000};
    bool connected_ = false;
    QString pathAfterLogon_;
};
