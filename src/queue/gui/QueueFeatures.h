#pragma once

#include <memory>

#include "platform/NamedMutex.h"
#include "queue/SpeedMeter.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "queue/gui/QueueCommands.h"
#include "queue/gui/QueueStore.h"
#include "queue/gui/TransferQueueModel.h"

#include <QString>

class CftpView;
class LocalPaneController;
class Prompt;
class SessionController;

// The transfer queue attached to one main view: the queue and its shared transfer state, the
// queue list's model, the stored queue, the queue commands and the speed meter. Built right
// after the view's own features and before the view's initial update, which loads the stored
// queue and starts the speed meter through the start-up hooks.
class TransferController;

class QueueFeatures {
public:
    QueueFeatures(CftpView& view, Prompt& prompt, const QString& workFolder,
                  SessionController& sessions, LocalPaneController& localPane);
    ~QueueFeatures();

    TransferQueue& queue() { return queue_; }
    TransferSlots& slots() { return slots_; }
    StopAllTransfers& stopAll() { return stopAll_; }
    // "mutex2": held by a transfer while it reads the row it is starting.
    NamedMutex& rowLock() { return rowLock_; }
    QueueStore& store() { return store_; }
    QueueCommands& commands() { return commands_; }
    TransferQueueModel& model() { return model_; }
    SpeedMeter& speedMeter() { return speedMeter_; }
    TransferController& transfers() { return *transfers_; }
    SpeedLimits& speedLimits() { return *speedLimits_; }
    // "限速设置": shows the dialog; after OK the limits apply at once.
    void OnSpeedLimitSettings();

private:
    void attachTransfers(CftpView& view, Prompt& prompt, SessionController& sessions,
                         LocalPaneController& localPane);
    void reportRefusals(CftpView& view);
    void addStartupSteps(CftpView& view);

    CftpView& view_;
    TransferQueue queue_;
    TransferSlots slots_;
    StopAllTransfers stopAll_;
    NamedMutex rowLock_;
    TransferQueueModel model_;
    QueueStore store_;
    QueueCommands commands_;
    // Shared with every transfer's engine; each bucket has its own lock.
    std::shared_ptr<SpeedLimits> speedLimits_;
    SpeedMeter speedMeter_; // reads queue_ and speedLimits_ from its thread
    // Its transfer threads use everything above: declared last, stopped first.
    std::unique_ptr<TransferController> transfers_;
};
