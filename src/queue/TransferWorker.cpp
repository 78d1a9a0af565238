#include "queue/TransferWorker.h"

#include "config/Configuration.h"
#include "ftp/FtpClient.h"
#include "ftp/SpeedLimits.h"
#include "platform/Prompt.h"
#include "queue/FileLanes.h"
#include "queue/LaneConnection.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferContext.h"
#include "queue/TransferJob.h"
#include "queue/TransferMessages.h"
#include "queue/TransferOneFile.h"
#include "queue/TransferSlots.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"
#include "sftp/SftpClient.h"

#include <QFileInfo>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr milliseconds mailWait{100};
// How often a retry's wait looks for a pause or a removal of its entry.
constexpr milliseconds stopPollInterval{50};
// The extra connections of one folder entry: the queue's other slots at the most.
constexpr int maxLanes = TransferSlots::InitialCount;

QString overwriteQuestion(const QString& path)
{
    return path + QStringLiteral("已存在是否覆盖");
}

QString retryLine(const TransferJob& job, bool mismatch, int retry, int retries, milliseconds delay)
{
    const QString& source = job.download ? job.remotePath : job.localPath;
    const QString reason = mismatch ? QStringLiteral("校验不符,%1秒后从头重试(%2/%3)\r\n")
                                    : QStringLiteral("网络中断,%1秒后重试(%2/%3)\r\n");
    return source + reason.arg(QString::number(delay.count() / 1000.0)).arg(retry).arg(retries);
}

} // namespace

TransferWorker::TransferWorker(const TransferEnvironment& environment,
                               std::shared_ptr<TransferContext> context)
    : env_(environment), context_(std::move(context)), mailbox_(std::make_shared<Mailbox>())
{
}

TransferWorker::~TransferWorker()
{
    if (thread_.joinable()) {
        mailbox_->post(QM_QUIT);
        context_->requestStop();
        thread_.join();
    }
}

void TransferWorker::start()
{
    useEngine(RemoteProtocol::Ftp);
    thread_ = std::thread([this] { run(); });
}

// The engine speaks the protocol of the session's logon; until that arrives it is an FTP one.
void TransferWorker::useEngine(RemoteProtocol protocol)
{
    if (client_ && client_->protocol() == protocol)
        return;
    client_ = newEngine(protocol);
    client_->workerFinished() = 0;
    const TransferSettings settings = ReadTransferSettings(env_.configPath);
    // An edit of ftp.ini reaches the running transfers too, from their next slice on.
    if (env_.speedLimits)
        env_.speedLimits->apply(settings.downloadLimit, settings.uploadLimit);
    context_->attachClient(client_);
}

// An engine set up as the worker's: for the worker itself and for the lanes of a folder entry,
// which also get the session's certificate and host-key decisions.
std::shared_ptr<RemoteFileSystem> TransferWorker::newEngine(RemoteProtocol protocol) const
{
    std::shared_ptr<RemoteFileSystem> engine = RemoteFileSystem::create(protocol, env_.prompt);
    engine->setTimeout(env_.networkTimeout);
    engine->setDataMode(ReadTransferSettings(env_.configPath).dataMode);
    if (FtpClient* ftp = engine->ftp()) {
        ftp->setLogSink(env_.log);
        ftp->setSpeedLimits(env_.speedLimits);
        ftp->setCertificateJudge(judge_);
    }
    if (SftpClient* sftp = engine->sftp()) {
        sftp->setSpeedLimits(env_.speedLimits);
        if (hostKeys_) {
            sftp->setHostKeys(hostKeys_);
            sftp->setPassphrases(passphrases_);
        }
    }
    return engine;
}

// A session that has gone never answers the logon request: after the network time-out the
// worker goes on as after a failed logon, so its monitor finishes the entry with "err".
void TransferWorker::run()
{
    const auto logonDeadline = steady_clock::now() + env_.networkTimeout;
    for (;;) {
        reportEngineWhenPossible();
        std::optional<Mail> mail = mailbox_->take(mailWait);
        if (mail) {
            if (!handle(*mail))
                break;
        } else if (!logonArrived_ && steady_clock::now() > logonDeadline) {
            logonArrived_ = true;
            engineReportPending_ = true;
        }
    }
    end();
}

bool TransferWorker::handle(Mail& mail)
{
    switch (mail.message) {
    case QM_LOGON:
        if (auto* logon = dynamic_cast<LogonPayload*>(mail.payload.get());
            logon && !logonArrived_) {
            encodings_ = logon->encodings;
            judge_ = logon->judge;
            hostKeys_ = logon->hostKeys;
            passphrases_ = logon->passphrases;
            useEngine(logon->record.logonInfo().protocol);
            if (FtpClient* ftp = client_->ftp())
                ftp->setCertificateJudge(judge_);
            if (SftpClient* sftp = client_->sftp(); sftp && hostKeys_) {
                sftp->setHostKeys(hostKeys_);
                sftp->setPassphrases(passphrases_);
            }
            logOn(logon->record);
        }
        return true;
    case QM_PEER:
        if (auto* peer = dynamic_cast<PeerPayload*>(mail.payload.get()))
            monitor_ = peer->mailbox;
        return true;
    case QM_JOB:
        if (auto* job = dynamic_cast<JobPayload*>(mail.payload.get()); job && job->job)
            carryOut(*job->job);
        return false;
    case QM_QUIT:
        return false;
    default:
        return true;
    }
}

// Whatever the logon's result, the engine is reported: a job on an engine that is not logged
// on fails at its first command and ends "err".
void TransferWorker::logOn(const LogonRecord& logon)
{
    logonArrived_ = true;
    logon_ = logon;
    if (!context_->stopRequested())
        client_->Logon(logon.logonInfo());
    if (!encodings_) {
        encodings_ = std::make_shared<RemoteNameEncodings>();
        encodings_->setFallback(client_->serverEncoding());
    }
    engineReportPending_ = true;
}

void TransferWorker::reportEngineWhenPossible()
{
    if (!engineReportPending_ || monitor_.expired())
        return;
    engineReportPending_ = false;
    postToMonitor(QM_ENGINE_READY, std::make_unique<EnginePayload>(client_));
}

void TransferWorker::carryOut(const TransferJob& job)
{
    const QString remoteFolder = env_.currentRemoteFolder ? env_.currentRemoteFolder() : QString();
    if (!encodings_)
        encodings_ = std::make_shared<RemoteNameEncodings>();
    client_->Command(QStringLiteral("CWD ") + encodings_->onWire(*client_, remoteFolder));
    client_->folderDoneBytes() = 0;
    RemoteBrowserState browser;
    browser.setCurrentFolder(remoteFolder);
    RemoteOperations remote(*client_, browser, *encodings_, *env_.engineLock, *env_.prompt,
                            RemoteOperations::Output{[](const QVector<CListItem>&) {}, env_.log,
                                                     [](const QString&) {}});
    TransferJob answered = job;
    if (!overwriteAllowed(answered, remote)) {
        postToMonitor(QM_SKIPPED);
        return;
    }
    postToMonitor(QM_STARTED);
    context_->transferOk = moveWithRetries(answered, remote, remoteFolder);
    if (!env_.stopAll->isRaised())
        client_->workerFinished() = 1;
}

// The question of an entry whose target exists. Yes removes nothing: each file replaces the
// old one only once it is complete, so a transfer that fails leaves the user's file as it was.
bool TransferWorker::overwriteAllowed(TransferJob& job, RemoteOperations& remote)
{
    if (job.folder && job.noPrompt)
        return true;
    const QString& target = job.download ? job.localPath : job.remotePath;
    const bool exists =
        job.download ? QFileInfo::exists(job.localPath) : remote.ProbeRemote(job.remotePath) > 0;
    if (!exists)
        return true;
    if (!env_.prompt->confirm(overwriteQuestion(target), QStringLiteral("发现同名文件")))
        return false;
    job.replace = 1;
    return true;
}

bool TransferWorker::move(const TransferJob& job, TransferOneFile& moveFile)
{
    const std::shared_ptr<TransferContext> context = context_;
    auto stopRequested = [context] { return context->stopRequested(); };
    if (!job.folder)
        return moveFile(job.download != 0, job.remotePath, job.localPath);
    moveFile.setTargetsChecked(true);
    if (!env_.moveFolder) {
        env_.log(QStringLiteral("err\r\n"));
        return false;
    }
    auto moveHere = [&moveFile](bool download, const QString& remotePath, const QString& localPath,
                                std::optional<quint64> listedSize) {
        return moveFile(download, remotePath, localPath, listedSize);
    };
    FileLanes lanes(moveHere, stopRequested, client_->folderDoneBytes());
    openLanes(lanes, job);
    return env_.moveFolder(*client_, job, moveHere, stopRequested, env_.log, encodings_, &lanes);
}

// One more connection for every transfer slot that is free now; each gives its slot back when
// its lane ends.
void TransferWorker::openLanes(FileLanes& lanes, const TransferJob& job)
{
    if (!logon_ || !env_.slots)
        return;
    for (int lane = 0; lane < maxLanes && env_.slots->tryTake(); ++lane) {
        lanes.addLane(
            [this, job] {
                auto connection = std::make_shared<LaneConnection>(
                    env_, context_, newEngine(logon_->logonInfo().protocol), encodings_);
                if (!connection->logOn(*logon_))
                    return FileLanes::FileMover();
                connection->prepare(job);
                return FileLanes::FileMover([connection](bool download, const QString& remote,
                                                         const QString& local,
                                                         std::optional<quint64> listedSize) {
                    return connection->move(download, remote, local, listedSize);
                });
            },
            [slots = env_.slots] { slots->giveBack(); });
    }
}

// Each retry resumes from the temporary file. A folder is not walked again: its files that
// arrived would be met as existing targets.
bool TransferWorker::moveWithRetries(const TransferJob& job, RemoteOperations& remote,
                                     const QString& remoteFolder)
{
    const TransferSettings settings = ReadTransferSettings(env_.configPath);
    const std::shared_ptr<TransferContext> context = context_;
    TransferOneFile moveFile(
        *client_, remote, [context] { return context->stopRequested(); }, env_.log,
        env_.configPath);
    moveFile.setParts(job.parts);
    moveFile.setReplaceAgreed(job.replace != 0);
    bool moved = move(job, moveFile);
    for (int retry = 0; !moved && !job.folder && retry < settings.retries &&
                        (moveFile.digestMismatched() || failedOnTheNetwork());
         ++retry) {
        const bool mismatch = moveFile.digestMismatched() && !context_->stopRequested();
        const milliseconds delay = settings.retryDelay(retry);
        env_.log(retryLine(job, mismatch, retry + 1, settings.retries, delay));
        if (!waitUnlessStopped(delay))
            return false;
        if (mismatch || reconnect(remoteFolder))
            moved = move(job, moveFile);
    }
    return moved;
}

// The server's refusals (4xx/5xx to the transfer, 530 at logon) and local file errors are final.
bool TransferWorker::failedOnTheNetwork() const
{
    return !context_->stopRequested() &&
           (client_->networkFailure() || !client_->connectionFault().isEmpty());
}

bool TransferWorker::waitUnlessStopped(milliseconds delay) const
{
    const auto end = steady_clock::now() + delay;
    while (!context_->stopRequested() && steady_clock::now() < end)
        std::this_thread::sleep_for(std::min(stopPollInterval, delay));
    return !context_->stopRequested();
}

bool TransferWorker::reconnect(const QString& remoteFolder)
{
    client_->Disconnect();
    client_->clearNetworkFailure();
    if (!logon_ || !client_->Logon(logon_->logonInfo()))
        return false;
    client_->Command(QStringLiteral("CWD ") + encodings_->onWire(*client_, remoteFolder));
    return true;
}

void TransferWorker::postToMonitor(int message, std::unique_ptr<MailPayload> payload)
{
    if (auto monitor = monitor_.lock())
        monitor->post(message, std::move(payload));
}

void TransferWorker::end()
{
    context_->giveSlotBack();
    if (client_->isConnected() && !context_->stopRequested())
        client_->Quit();
    client_->Disconnect();
    context_->workerEnded = true;
    ended_ = true;
    postToMonitor(QM_WORKER_ENDED);
}
