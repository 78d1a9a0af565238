#include "queue/gui/TransferController.h"

#include "queue/QueueScheduler.h"
#include "queue/QueueStartHandler.h"
#include "queue/SessionForAddress.h"
#include "queue/gui/QueueStore.h"
#include "session/SessionMessages.h"
#include "view/gui/CftpView.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"

#include <QDesktopServices>
#include <QUrl>

TransferController::TransferController(CftpView& view, Prompt& prompt, SessionController& sessions,
                                       LocalPaneController& localPane, TransferQueue& queue,
                                       TransferSlots& slots, StopAllTransfers& stopAll,
                                       QueueStore& store, QObject* parent)
    : QObject(parent), view_(view), prompt_(prompt), sessions_(sessions), localPane_(localPane),
      queue_(queue), slots_(slots), stopAll_(stopAll), store_(store)
{
}

TransferController::~TransferController()
{
    scheduler_.reset();
    startHandler_.reset();
}

void TransferController::setFolderMover(TransferEnvironment::FolderMover mover)
{
    folderMover_ = std::move(mover);
}

void TransferController::setNetworkTimeout(std::chrono::milliseconds timeout)
{
    networkTimeout_ = timeout;
}

void TransferController::start()
{
    if (scheduler_)
        return;
    startHandler_ = std::make_unique<QueueStartHandler>(environment());
    scheduler_ = std::make_unique<QueueScheduler>(queue_, [this](int row) {
        onGuiThread([this, row] { startHandler_->OnQueueStart(row); });
    });
    scheduler_->start();
}

// Transfer threads call these from their own threads; the remote folder and the session
// registry are safe to read from any thread.
TransferEnvironment TransferController::environment()
{
    TransferEnvironment env;
    env.queue = &queue_;
    env.slots = &slots_;
    env.stopAll = &stopAll_;
    env.prompt = &prompt_;
    env.engineLock = &sessions_.engineLock();
    env.configPath = view_.configuration().configPath;
    env.networkTimeout = networkTimeout_;
    env.speedLimits = speedLimits_;
    env.moveFolder = folderMover_;
    env.log = [this](const QString& text) { view_.AppendLog(text); };
    env.saveQueue = [this] { store_.SaveQueue(); };
    env.currentRemoteFolder = [this] { return sessions_.remote().currentFolder(); };
    env.refreshLocalPane = [this] { onGuiThread([this] { localPane_.RefreshLocalList(); }); };
    env.refreshRemotePane = [this] {
        onGuiThread([this] { sessions_.postToCurrent(QM_REFRESH); });
    };
    env.openFile = [this](const QString& path) {
        onGuiThread([path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    };
    env.findSession = [this](const QString& address) {
        return SessionForAddress(sessions_.registry(), address);
    };
    // Asked by the start handler only, which runs on the GUI thread like the sessions' owner.
    env.postToSession = [this](int id, int message, std::unique_ptr<MailPayload> payload) {
        return sessions_.postToSession(id, message, std::move(payload));
    };
    return env;
}

void TransferController::onGuiThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}
