#pragma once

#include "queue/TransferEnvironment.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class CftpView;
class LocalPaneController;
class Prompt;
class QueueScheduler;
class QueueStore;
class QueueStartHandler;
class SessionController;
class StopAllTransfers;
class TransferQueue;
class TransferSlots;

// Runs the transfer queue inside the window: the scheduler's start requests are handled on the
// GUI thread, and what a transfer asks of the window — a log line, storing the queue, a pane
// refreshed, a downloaded file opened — is carried out there. Lives on the GUI thread.
class TransferController : public QObject {
    Q_OBJECT
public:
    TransferController(CftpView& view, Prompt& prompt, SessionController& sessions,
                       LocalPaneController& localPane, TransferQueue& queue, TransferSlots& slots,
                       StopAllTransfers& stopAll, QueueStore& store, QObject* parent = nullptr);
    // Stops the scheduler, interrupts the running transfers and waits for their threads.
    ~TransferController() override;

    // Before start: how folder entries are walked, and the engine's network time-out.
    void setFolderMover(TransferEnvironment::FolderMover mover);
    void setNetworkTimeout(std::chrono::milliseconds timeout);
    void setSpeedLimits(std::shared_ptr<SpeedLimits> limits) { speedLimits_ = std::move(limits); }
    // Starts the scheduler; once the stored queue has been loaded, so nothing starts twice.
    void start();

private:
    TransferEnvironment environment();
    // Runs work on the GUI thread, whichever thread asks.
    void onGuiThread(std::function<void()> work);

    CftpView& view_;
    Prompt& prompt_;
    SessionController& sessions_;
    LocalPaneController& localPane_;
    TransferQueue& queue_;
    TransferSlots& slots_;
    StopAllTransfers& stopAll_;
    TransferEnvironment::FolderMover folderMover_;
    std::chrono::milliseconds networkTimeout_{30000};
    std::shared_ptr<SpeedLimits> speedLimits_;
    QueueStore& store_;
    std::unique_ptr<QueueStartHandler> startHandler_;
    std::unique_ptr<QueueScheduler> scheduler_; // uses startHandler_: declared after it
};
