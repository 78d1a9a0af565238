#include "queue/QueueStartHandler.h"

#include "platform/Prompt.h"
#include "queue/QueueEntry.h"
#include "queue/TransferContext.h"
#include "queue/TransferMessages.h"
#include "queue/TransferMonitor.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "queue/TransferWorker.h"

#include <algorithm>

struct QueueStartHandler::Running {
    quint64 rowId = 0;
    std::shared_ptr<TransferContext> context;
    std::unique_ptr<TransferMonitor> monitor;
    std::unique_ptr<TransferWorker> worker;
};

QueueStartHandler::QueueStartHandler(TransferEnvironment environment) : env_(std::move(environment))
{
}

QueueStartHandler::~QueueStartHandler()
{
    for (const auto& running : running_)
        running->context->requestStop();
    running_.clear();
}

// The scheduler may ask twice for a row before the first request is handled, so only a row
// that is still waiting is started.
void QueueStartHandler::OnQueueStart(int row)
{
    reapEnded();
    const std::optional<TransferQueue::Row> entry = env_.queue->row(row);
    if (!entry || entry->text(TransferQueue::StateColumn) != QueueState::Waiting)
        return;
    const QString source = entry->text(TransferQueue::SourceColumn);
    const QString target = entry->text(TransferQueue::TargetColumn);
    // A row started again while its last transfer is still running or stopping waits for that
    // one to end: two transfers of one entry would write into one temporary file.
    if (stillRunning(entry->id))
        return;
    if (!env_.slots->tryTake())
        return;
    if (!env_.queue->setTextsIfRowIs(
            row, source, target, {QueueState::Waiting},
            {{TransferQueue::StateColumn, QueueState::Preparing.toString()}})) {
        env_.slots->giveBack();
        return;
    }
    // The row's state changes before the message box, whose event loop may deliver the next
    // start request.
    if (targetBusy(row, target)) {
        env_.queue->setTextsIfRowIs(row, source, target, {QueueState::Preparing},
                                    {{TransferQueue::StateColumn, QueueState::Skipped.toString()}});
        env_.slots->giveBack();
        env_.prompt->tell(QStringLiteral("已存在任务") + target);
        return;
    }
    const int session = env_.findSession(entry->text(TransferQueue::AddressColumn));
    if (session < 0) {
        env_.slots->giveBack();
        env_.prompt->tell(QStringLiteral("无连接"));
        return;
    }
    launch(row, entry->id, source, target, session);
}

bool QueueStartHandler::targetBusy(int row, const QString& target) const
{
    const QList<TransferQueue::Row> rows = env_.queue->snapshot();
    for (int i = 0; i < rows.size(); ++i) {
        const QString& state = rows.at(i).text(TransferQueue::StateColumn);
        const bool running = state == QueueState::Downloading || state == QueueState::Uploading ||
                             (state == QueueState::Preparing && i != row);
        if (running && rows.at(i).text(TransferQueue::TargetColumn) == target)
            return true;
    }
    return false;
}

// The slot just taken belongs to the transfer from here on: its context gives it back.
void QueueStartHandler::launch(int row, quint64 rowId, const QString& source, const QString& target,
                               int session)
{
    auto running = std::make_unique<Running>();
    running->rowId = rowId;
    running->context = std::make_shared<TransferContext>(*env_.slots);
    running->monitor = std::make_unique<TransferMonitor>(env_, running->context, source, target);
    running->worker = std::make_unique<TransferWorker>(env_, running->context);
    const std::shared_ptr<Mailbox> monitorBox = running->monitor->mailbox();
    const std::shared_ptr<Mailbox> workerBox = running->worker->mailbox();
    monitorBox->post(QM_PEER, std::make_unique<PeerPayload>(workerBox));
    workerBox->post(QM_PEER, std::make_unique<PeerPayload>(monitorBox));
    monitorBox->post(QM_ROW, {}, static_cast<quintptr>(row));
    running->monitor->start();
    running->worker->start();
    if (!env_.postToSession(session, QM_LOGON_REQUEST, std::make_unique<LogonRequest>(workerBox)))
        workerBox->post(QM_QUIT);
    running_.push_back(std::move(running));
}

bool QueueStartHandler::stillRunning(quint64 rowId) const
{
    return std::any_of(running_.begin(), running_.end(),
                       [rowId](const auto& running) { return running->rowId == rowId; });
}

void QueueStartHandler::reapEnded()
{
    running_.remove_if([](const std::unique_ptr<Running>& running) {
        return running->monitor->hasEnded() && running->worker->hasEnded();
    });
}
