#pragma once

#include "queue/TransferEnvironment.h"

#include <QString>

#include <list>
#include <memory>

class TransferContext;
class TransferMonitor;
class TransferWorker;

// Starts the row the scheduler asks for: takes a transfer slot, marks the row "准备中", refuses
// a second transfer to a target that is already being transferred, and starts the entry's
// monitor and worker, asking the session of the row's server to lend its logon. Runs on one
// thread (the window's); owns the threads it starts and waits for them when destroyed.
class QueueStartHandler {
public:
    explicit QueueStartHandler(TransferEnvironment environment);
    // Interrupts every running transfer and waits for its threads.
    ~QueueStartHandler();
    QueueStartHandler(const QueueStartHandler&) = delete;
    QueueStartHandler& operator=(const QueueStartHandler&) = delete;

    void OnQueueStart(int row);
    const TransferEnvironment& environment() const { return env_; }

private:
    struct Running;

    bool targetBusy(int row, const QString& target) const;
    bool stillRunning(quint64 rowId) const;
    void launch(int row, quint64 rowId, const QString& source, const QString& target, int session);
    void reapEnded();

    TransferEnvironment env_;
    std::list<std::unique_ptr<Running>> running_;
};
