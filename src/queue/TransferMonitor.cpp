#include "queue/TransferMonitor.h"

#include "queue/PartRecord.h"
#include "queue/QueueEntry.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferContext.h"
#include "queue/TransferJob.h"
#include "queue/TransferMessages.h"
#include "queue/TransferQueue.h"
#include "session/RemoteFileSystem.h"

#include <QDateTime>

namespace {

using std::chrono::milliseconds;

const QList<QStringView> activeStates{QueueState::Preparing, QueueState::Downloading,
                                      QueueState::Uploading, QueueState::Paused};

QString logLine(const QString& path, const char16_t* what)
{
    return path + QString::fromUtf16(what) + QStringLiteral("\r\n");
}

} // namespace

TransferMonitor::TransferMonitor(const TransferEnvironment& environment,
                                 std::shared_ptr<TransferContext> context, QString source,
                                 QString target)
    : env_(environment), context_(std::move(context)), source_(std::move(source)),
      target_(std::move(target)), mailbox_(std::make_shared<Mailbox>())
{
}

TransferMonitor::~TransferMonitor()
{
    if (thread_.joinable()) {
        mailbox_->post(QM_QUIT);
        thread_.join();
    }
}

void TransferMonitor::start()
{
    clock_.start();
    thread_ = std::thread([this] { run(); });
}

QString TransferMonitor::timeText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yy HH:mm:ss"));
}

// Until the worker reports the start, the monitor waits for messages; once a cycle passes
// without one it checks that its row is still waiting for it, so a row paused or removed while
// its worker logs on ends the transfer.
void TransferMonitor::run()
{
    env_.stopAll->lower();
    for (;;) {
        std::optional<Mail> mail = mailbox_->take(env_.watchCycle);
        const Next next = mail ? handle(*mail) : (rowIsPreparing() ? Next::Wait : Next::EndEarly);
        if (next == Next::Wait)
            continue;
        if (next == Next::Watch)
            watch();
        else if (next == Next::EndEarly)
            endEarly();
        break;
    }
    ended_ = true;
}

TransferMonitor::Next TransferMonitor::handle(Mail& mail)
{
    switch (mail.message) {
    case QM_PEER:
        if (auto* peer = dynamic_cast<PeerPayload*>(mail.payload.get()))
            worker_ = peer->mailbox;
        return Next::Wait;
    case QM_ROW:
        rowHint_ = static_cast<int>(mail.value);
        return Next::Wait;
    case QM_ENGINE_READY:
        if (auto* engine = dynamic_cast<EnginePayload*>(mail.payload.get()))
            return handOver(engine->client) ? Next::Wait : Next::EndEarly;
        return Next::Wait;
    case QM_SKIPPED:
        markSkipped();
        return Next::Done;
    case QM_STARTED:
        markStarted();
        return Next::Watch;
    case QM_QUIT:
        return Next::EndEarly;
    case QM_WORKER_ENDED:
        return Next::Done;
    default:
        return Next::Wait;
    }
}

// Builds the job from the row as it is now; false ends the transfer (the row is no longer
// waiting for it, its action is unknown, or its server has no session any more).
bool TransferMonitor::handOver(const std::shared_ptr<RemoteFileSystem>& client)
{
    client_ = client;
    const int index = locateRow();
    const std::optional<TransferQueue::Row> row = env_.queue->row(index);
    if (!row || row->text(TransferQueue::StateColumn) != QueueState::Preparing)
        return false;
    action_ = row->text(TransferQueue::ActionColumn);
    auto job = std::make_shared<TransferJob>();
    if (isDownloadAction(action_)) {
        job->download = 1;
        job->remotePath = source_;
        job->localPath = target_;
    } else if (action_ == QueueAction::Upload) {
        job->localPath = source_;
        job->remotePath = target_;
    } else {
        env_.log(QStringLiteral("err\r\n"));
        writeRow(index, {{TransferQueue::StateColumn, QueueState::Failed.toString()}});
        env_.saveQueue();
        return false;
    }
    job->folder = row->folder == 1 ? 1 : 0;
    job->noPrompt = row->text(TransferQueue::StartedColumn).isEmpty() ? 0 : 1;
    job->parts = std::make_shared<PartRecord>(row->parts);
    job->parts->setOnAdded([queue = env_.queue, save = env_.saveQueue, source = source_,
                            target = target_](const PartRecord& parts) {
        queue->setParts(source, target, parts.stored());
        save();
    });
    if (env_.findSession(row->text(TransferQueue::AddressColumn)) < 0)
        return false;
    job_ = job;
    progress_ = TransferProgress(job->folder != 0);
    client_->totalBytes() = 0;
    client_->folderTotalBytes() = 0;
    client_->folderDoneBytes() = 0;
    progress_.restart(clock_.elapsed());
    auto worker = worker_.lock();
    if (!worker)
        return false;
    worker->post(QM_JOB, std::make_unique<JobPayload>(job_));
    return true;
}

void TransferMonitor::markStarted()
{
    const int index = locateRow();
    writeRow(index, {{TransferQueue::StartedColumn, timeText()}});
    // A pause that came first stays: the next cycle interrupts the transfer.
    const QString running =
        (job_->download ? QueueState::Downloading : QueueState::Uploading).toString();
    env_.queue->setTextsIfRowIs(index, source_, target_, {QueueState::Preparing},
                                {{TransferQueue::StateColumn, running}});
    env_.log(job_->download ? logLine(job_->remotePath, u"开始下载")
                            : logLine(job_->localPath, u"开始上传"));
}

void TransferMonitor::markSkipped()
{
    writeRow(locateRow(), {{TransferQueue::StateColumn, QueueState::Skipped.toString()},
                           {TransferQueue::RemainingColumn, QString()},
                           {TransferQueue::SpeedColumn, QString()}});
    env_.saveQueue();
}

// A finished worker is finished even when a pause arrived in the same cycle: the file is
// complete, and calling it paused would leave it to be fetched once more.
void TransferMonitor::watch()
{
    for (;;) {
        if (!waitOneCycle()) {
            context_->requestStop();
            return;
        }
        if (client_->workerFinished() == 1) {
            finish();
            return;
        }
        const int index = locateRow();
        const QString state = env_.queue->text(index, TransferQueue::StateColumn);
        if (index < 0 || state == QueueState::Paused || env_.stopAll->isRaised() ||
            context_->workerEnded) {
            interrupt(index);
            return;
        }
        EngineCounters counters = EngineCounters::of(*client_);
        counters.folderDoneBytes += context_->helperBytesInFlight();
        if (const auto texts = progress_.step(counters, clock_.elapsed())) {
            QList<QPair<TransferQueue::Column, QString>> columns{
                {TransferQueue::ElapsedColumn, texts->elapsed},
                {TransferQueue::RemainingColumn, texts->remaining}};
            if (!texts->progress.isEmpty())
                columns.append({TransferQueue::ProgressColumn, texts->progress});
            if (!texts->speed.isEmpty())
                columns.append({TransferQueue::SpeedColumn, texts->speed});
            writeRow(index, columns);
        }
    }
}

// One watch cycle; the worker's end cuts it short. False when the monitor is told to quit.
bool TransferMonitor::waitOneCycle()
{
    QElapsedTimer cycle;
    cycle.start();
    for (;;) {
        const qint64 left = env_.watchCycle.count() - cycle.elapsed();
        if (left <= 0)
            return true;
        std::optional<Mail> mail = mailbox_->take(milliseconds(left));
        if (!mail)
            return true;
        if (mail->message == QM_QUIT)
            return false;
        if (mail->message == QM_WORKER_ENDED)
            return true;
    }
}

void TransferMonitor::interrupt(int row)
{
    context_->requestStop();
    env_.log(logLine(sourcePathForLog(), u"中断..."));
    recordParts();
    writeRow(row, {{TransferQueue::SpeedColumn, QString()}});
    env_.saveQueue();
}

void TransferMonitor::finish()
{
    QList<QPair<TransferQueue::Column, QString>> texts{{TransferQueue::FinishedColumn, timeText()},
                                                       {TransferQueue::SpeedColumn, QString()}};
    if (!context_->transferOk) {
        texts.append({TransferQueue::StateColumn, QueueState::Failed.toString()});
    } else {
        const QStringView state = job_->download ? QueueState::Downloaded : QueueState::Uploaded;
        texts.append({TransferQueue::StateColumn, state.toString()});
        texts.append({TransferQueue::ProgressColumn, QStringLiteral("100%")});
    }
    recordParts();
    writeRow(locateRow(), texts);
    if (context_->transferOk) {
        env_.log(job_->download ? logLine(job_->remotePath, u"下载完成")
                                : logLine(job_->localPath, u"上传完成"));
        if (!job_->download)
            env_.refreshRemotePane();
        else if (action_ == QueueAction::DownloadAndOpen)
            env_.openFile(job_->localPath);
        else
            env_.refreshLocalPane();
    }
    env_.saveQueue();
}

// The worker of a transfer that ends before its job ran is told to end too, so it gives its
// slot back and closes its connection.
void TransferMonitor::endEarly()
{
    if (auto worker = worker_.lock())
        worker->post(QM_QUIT);
    context_->requestStop();
}

// The row keeps the temporary files its transfer left, so that the next start continues them
// and no other ".td" file.
void TransferMonitor::recordParts()
{
    if (job_ && job_->parts)
        env_.queue->setParts(source_, target_, job_->parts->stored());
}

int TransferMonitor::locateRow()
{
    const std::optional<TransferQueue::Row> hinted = env_.queue->row(rowHint_);
    const bool hintHolds =
        hinted && hinted->text(TransferQueue::SourceColumn) == source_ &&
        hinted->text(TransferQueue::TargetColumn) == target_ &&
        activeStates.contains(QStringView(hinted->text(TransferQueue::StateColumn)));
    if (!hintHolds)
        rowHint_ = env_.queue->findActiveRow(source_, target_);
    return rowHint_;
}

bool TransferMonitor::rowIsPreparing()
{
    return !env_.stopAll->isRaised() &&
           env_.queue->text(locateRow(), TransferQueue::StateColumn) == QueueState::Preparing;
}

bool TransferMonitor::writeRow(int row, const QList<QPair<TransferQueue::Column, QString>>& texts)
{
    return env_.queue->setTextsIfRowIs(row, source_, target_, activeStates, texts);
}

QString TransferMonitor::sourcePathForLog() const
{
    if (!job_)
        return source_;
    return job_->download ? job_->remotePath : job_->localPath;
}
