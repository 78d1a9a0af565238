#pragma once

#include "listing/CListItem.h"
#include "platform/Mailbox.h"
#include "session/LogonRecord.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

struct ActionRecord;
class CertificateJudge;
class RemoteFileSystem;
class SftpHostKeys;
class SftpPassphrases;
class NamedMutex;
class Prompt;
class RemoteBrowserState;
class RemoteNameEncodings;
class RemoteOperations;
class SessionRegistry;

// What every session shares with the others and with the view.
struct SessionEnvironment {
    SessionRegistry* registry = nullptr;
    RemoteBrowserState* remote = nullptr;
    NamedMutex* engineLock = nullptr; // "mutex1": publication and listing refreshes
    Prompt* prompt = nullptr;
    std::chrono::milliseconds keepAliveInterval{10000};
    std::chrono::milliseconds networkTimeout{30000};
    QString configPath; // ftp.ini, for the data connection mode
    // Judges the certificates that fail verification, for the session and its workers alike.
    std::shared_ptr<CertificateJudge> certificateJudge;
};

// One connection tab's worker: logs on with its own RemoteFileSystem (FTP or SFTP, as the
// server's scheme says), then serves the requests posted to its mailbox in order, sending NOOP
// when idle. All use of its connection happens on its own thread, which is what serialises it.
// Results reach the view only through the signals. Handling a request never makes a session the
// current one: that is the user's choice.
// When the control connection fails the session says why once, keeps what the pane shows,
// and logs on again with the same record at the next request.
class SessionThread : public QObject {
    Q_OBJECT
public:
    SessionThread(LogonRecord logon, SessionEnvironment environment, QObject* parent = nullptr);
    // Ends the session (QUIT) and waits for its thread; a blocked network wait is interrupted.
    ~SessionThread() override;

    // Before start: the folder to open instead of the home folder once logged on.
    void openAfterLogon(const QString& folder) { folderAfterLogon_ = folder; }
    void start();
    int id() const { return id_; }
    const LogonRecord& logon() const { return logon_; }
    void post(int message, std::unique_ptr<MailPayload> payload = {});
    bool isRunning() const { return running_; }
    // The kind of server the greeting named (2: Serv-U), known once logged on; any thread.
    int serverKind() const { return serverKind_; }

Q_SIGNALS:
    void logAppended(const QString& text);
    void loggedOn(int sessionId, const QString& host);
    void logonFailed(int sessionId);
    // The remote path box is to show this path (which starts a navigation).
    void remotePathShown(const QString& path);
    // A rebuilt remote list, in display order.
    void remoteListReady(const QVector<CListItem>& rows);
    // The session became the current one: the view takes over its connection fields.
    void activated(int sessionId, const LogonRecord& logon);
    void finished(int sessionId);

private:
    std::shared_ptr<SftpHostKeys> hostKeys() const;
    std::shared_ptr<SftpPassphrases> passphrases() const;
    void run();
    bool logOn();
    bool logOnToServer();
    bool reconnect();
    void noticeLostConnection();
    void showSessionDirectory();
    void readSessionDirectory();
    void enterFolderAfterLogon();
    void serve();
    void handle(Mail& mail);
    void handleAction(int message, const ActionRecord& action);
    void reportDeletion(const QString& name, bool deleted);
    void returnToCurrentFolder();
    void sendKeepAliveWhenDue();
    void activate();
    void answerLogonRequest(MailPayload* payload);
    void quit();

    const LogonRecord logon_;
    const std::shared_ptr<RemoteNameEncodings> encodings_;
    const SessionEnvironment env_;
    const int id_;
    std::shared_ptr<Mailbox> mailbox_;
    // Used only on the session thread, except Interrupt, which is safe from any thread.
    std::shared_ptr<RemoteFileSystem> client_;
    std::unique_ptr<RemoteOperations> remoteOps_; // likewise
    QString sessionDirectory_;                    // likewise
    QString folderAfterLogon_;                    // likewise, once started
    bool connectionLost_ = false;                 // likewise
    std::chrono::steady_clock::time_point keepAliveDue_;
    std::atomic<bool> running_{false};
    std::atomic<int> serverKind_{0};
    std::thread thread_;
};
