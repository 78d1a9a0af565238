#include "session/SessionThread.h"

#include "config/Configuration.h"
#include "ftp/FtpClient.h"
#include "platform/NamedMutex.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteOperations.h"
#include "session/SessionMessages.h"
#include "session/SessionRegistry.h"
#include "sftp/SftpClient.h"

#include <algorithm>
#include <mutex>

namespace {
std::atomic<int> nextSessionId{1000};
} // namespace

SessionThread::SessionThread(LogonRecord logon, SessionEnvironment environment, QObject* parent)
    : QObject(parent), logon_(std::move(logon)),
      encodings_(std::make_shared<RemoteNameEncodings>()), env_(environment), id_(nextSessionId++),
      mailbox_(std::make_shared<Mailbox>()),
      client_(RemoteFileSystem::create(logon_.logonInfo().protocol, environment.prompt))
{
    client_->setTimeout(env_.networkTimeout);
    client_->setDataMode(ReadTransferSettings(env_.configPath).dataMode);
    if (FtpClient* ftp = client_->ftp()) {
        ftp->setLogSink([this](const QString& text) { Q_EMIT logAppended(text); });
        ftp->setCertificateJudge(env_.certificateJudge);
    }
    remoteOps_ = std::make_unique<RemoteOperations>(
        *client_, *env_.remote, *encodings_, *env_.engineLock, *env_.prompt,
        RemoteOperations::Output{
            [this](const QVector<CListItem>& rows) { Q_EMIT remoteListReady(rows); },
            [this](const QString& text) { Q_EMIT logAppended(text); },
            [this](const QString& path) { Q_EMIT remotePathShown(path); }});
}

SessionThread::~SessionThread()
{
    if (thread_.joinable()) {
        post(QM_QUIT);
        client_->Interrupt();
        thread_.join();
    }
}

void SessionThread::start()
{
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void SessionThread::post(int message, std::unique_ptr<MailPayload> payload)
{
    mailbox_->post(message, std::move(payload));
}

void SessionThread::run()
{
    if (logOn())
        serve();
    running_ = false;
    Q_EMIT finished(id_);
}

bool SessionThread::logOn()
{
    {
        std::lock_guard<NamedMutex> hold(*env_.engineLock);
        env_.registry->add(logon_, id_);
        env_.registry->setCurrent(id_);
    }
    if (!logOnToServer()) {
        {
            std::lock_guard<NamedMutex> hold(*env_.engineLock);
            env_.registry->remove(id_);
        }
        Q_EMIT logonFailed(id_);
        return false;
    }
    readSessionDirectory();
    enterFolderAfterLogon();
    showSessionDirectory();
    // The home folder goes into the path box once more, as the item left selected. Its text is
    // already the box's text, so this second showing starts no second listing.
    if (!sessionDirectory_.isEmpty())
        Q_EMIT remotePathShown(sessionDirectory_);
    Q_EMIT loggedOn(id_, logon_.host);
    return true;
}

// What really went wrong comes first: the socket's trouble, or the server's own reply. Only a
// server that answered 530 has said that the user or the password is wrong.
bool SessionThread::logOnToServer()
{
    const LogonInfo info = logon_.logonInfo();
    if (!client_->Logon(info)) {
        const QString fault = client_->connectionFault();
        const bool refusedUser = fault.isEmpty() && client_->replyLine().startsWith(u"530");
        Q_EMIT logAppended(QStringLiteral("原因:") +
                           (fault.isEmpty() ? client_->replyLine() : fault) +
                           QStringLiteral("\r\n"));
        Q_EMIT logAppended(refusedUser ? QStringLiteral("连接失败,请检查用户/密码是否正确\r\n")
                                       : QStringLiteral("连接失败\r\n"));
        client_->Disconnect();
        return false;
    }
    encodings_->setFallback(client_->serverEncoding());
    serverKind_ = client_->serverKind();
    Q_EMIT logAppended(QStringLiteral("连接成功\r\n"));
    Q_EMIT logAppended(client_->logonLog());
    // The engine says how TLS went; in clear by the user's choice it was never tried.
    if (info.protocol == RemoteProtocol::Ftp && info.tlsMode == TlsMode::Plain)
        Q_EMIT logAppended(QStringLiteral("未加密连接(地址以 ftp:// 开头)\r\n"));
    return true;
}

bool SessionThread::reconnect()
{
    Q_EMIT logAppended(QStringLiteral("重新连接服务器:") + logon_.host + QStringLiteral("\r\n"));
    connectionLost_ = !logOnToServer();
    return !connectionLost_;
}

void SessionThread::noticeLostConnection()
{
    const QString fault = client_->connectionFault();
    if (connectionLost_ || fault.isEmpty())
        return;
    connectionLost_ = true;
    client_->Disconnect();
    Q_EMIT logAppended(QStringLiteral("与服务器的连接已断开:") + fault +
                       QStringLiteral(",下次操作时重新连接\r\n"));
}

// A failed PWD keeps the directory the session had.
void SessionThread::readSessionDirectory()
{
    const QString folder = remoteOps_->QueryFolder();
    if (!folder.isEmpty())
        sessionDirectory_ = folder;
}

// A folder the server refuses leaves the session in its home folder: the new tab shows that,
// never what another tab listed last.
void SessionThread::enterFolderAfterLogon()
{
    if (folderAfterLogon_.isEmpty())
        return;
    if (remoteOps_->EnterFolder(folderAfterLogon_))
        readSessionDirectory();
    else
        Q_EMIT logAppended(QStringLiteral("打开文件夹") + folderAfterLogon_ +
                           QStringLiteral("失败:") + client_->replyLine() + QStringLiteral("\r\n"));
}

void SessionThread::showSessionDirectory()
{
    if (sessionDirectory_ == env_.remote->currentFolder())
        remoteOps_->RefreshRemoteList();
    if (sessionDirectory_.isEmpty())
        return;
    env_.remote->setCurrentFolder(sessionDirectory_);
    Q_EMIT remotePathShown(sessionDirectory_);
}

void SessionThread::serve()
{
    keepAliveDue_ = std::chrono::steady_clock::now() + env_.keepAliveInterval;
    for (;;) {
        const auto untilKeepAlive = std::chrono::duration_cast<std::chrono::milliseconds>(
            keepAliveDue_ - std::chrono::steady_clock::now());
        // A request, the stop request included, wakes the wait at once; otherwise the thread
        // sleeps until the keep-alive is due.
        const auto wait = std::max(untilKeepAlive, std::chrono::milliseconds(0));
        std::optional<Mail> mail = mailbox_->take(wait);
        sendKeepAliveWhenDue();
        if (!mail)
            continue;
        if (mail->message == QM_QUIT) {
            quit();
            return;
        }
        if (mail->message < QM_RENAME || mail->message > 0x488)
            continue;
        // A worker's question needs no server; answering it must not wait for a reconnect.
        if (mail->message == QM_LOGON_REQUEST) {
            answerLogonRequest(mail->payload.get());
            continue;
        }
        if (connectionLost_ && !reconnect())
            continue;
        if (!sessionDirectory_.isEmpty())
            remoteOps_->EnterFolder(sessionDirectory_);
        handle(*mail);
        noticeLostConnection();
        if (!connectionLost_)
            readSessionDirectory();
    }
}

// The keep-alive counts from the last NOOP, not from the last request, so a steady stream of
// requests still lets it through between them.
void SessionThread::sendKeepAliveWhenDue()
{
    if (std::chrono::steady_clock::now() < keepAliveDue_)
        return;
    if (!connectionLost_) {
        client_->Command(QStringLiteral("NOOP"));
        noticeLostConnection();
    }
    keepAliveDue_ = std::chrono::steady_clock::now() + env_.keepAliveInterval;
}

void SessionThread::handle(Mail& mail)
{
    switch (mail.message) {
    case QM_REFRESH:
        remoteOps_->RefreshRemoteList();
        break;
    case QM_NAVIGATE:
        remoteOps_->NavigateRemote();
        break;
    case QM_ACTIVATE:
        activate();
        break;
    case QM_RENAME:
    case QM_MAKE_FOLDER:
    case QM_DELETE_FILE:
    case QM_DELETE_TREE:
    case QM_SEARCH:
        if (const auto* action = dynamic_cast<const ActionRecord*>(mail.payload.get()))
            handleAction(mail.message, *action);
        break;
    default:
        break;
    }
}

void SessionThread::handleAction(int message, const ActionRecord& action)
{
    switch (message) {
    case QM_RENAME:
        remoteOps_->RenameRemote(action.a, action.b,
                                 action.c == ActionRecord::askBeforeRename
                                     ? RemoteOperations::RenameOrigin::Dialog
                                     : RemoteOperations::RenameOrigin::InPlaceOrMove);
        returnToCurrentFolder();
        break;
    case QM_MAKE_FOLDER:
        remoteOps_->MakeRemoteFolder(action.a);
        remoteOps_->RefreshRemoteList();
        break;
    case QM_DELETE_FILE:
        reportDeletion(action.a, remoteOps_->DeleteRemoteFile(action.a));
        break;
    case QM_DELETE_TREE:
        reportDeletion(action.a, remoteOps_->DeleteRemoteTree(action.a));
        returnToCurrentFolder();
        break;
    case QM_SEARCH:
        remoteOps_->SearchRemote(action.a);
        returnToCurrentFolder();
        break;
    default:
        break;
    }
}

// A refused delete is reported too: the refreshed list alone would not tell the user that the
// entry is still there because the server said no.
void SessionThread::reportDeletion(const QString& name, bool deleted)
{
    const QString outcome = deleted ? QStringLiteral("成功") : QStringLiteral("失败");
    Q_EMIT logAppended(QStringLiteral("删除") + name + outcome + QStringLiteral("\r\n"));
    remoteOps_->RefreshRemoteList();
}

// Puts the server back into the folder the remote pane shows; the PWD that ends every request
// then makes it this session's folder again.
void SessionThread::returnToCurrentFolder()
{
    remoteOps_->EnterFolder(env_.remote->currentFolder());
}

void SessionThread::activate()
{
    readSessionDirectory();
    showSessionDirectory();
    Q_EMIT activated(id_, logon_);
}

void SessionThread::answerLogonRequest(MailPayload* payload)
{
    auto* request = dynamic_cast<LogonRequest*>(payload);
    if (!request)
        return;
    if (auto worker = request->replyTo.lock())
        worker->post(QM_LOGON,
                     std::make_unique<LogonPayload>(logon_, encodings_, env_.certificateJudge,
                                                    hostKeys(), passphrases()));
}

void SessionThread::quit()
{
    if (!connectionLost_)
        client_->Quit();
    client_->Disconnect();
}

std::shared_ptr<SftpHostKeys> SessionThread::hostKeys() const
{
    return client_->sftp() ? client_->sftp()->hostKeys() : nullptr;
}

std::shared_ptr<SftpPassphrases> SessionThread::passphrases() const
{
    return client_->sftp() ? client_->sftp()->passphrases() : nullptr;
}
