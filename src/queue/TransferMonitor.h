#pragma once

#include "platform/Mailbox.h"
#include "queue/TransferEnvironment.h"
#include "queue/TransferProgress.h"
#include "queue/TransferQueue.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

class RemoteFileSystem;
class TransferContext;
struct TransferJob;

// The thread that owns one running entry's queue row: it hands the job to the worker, writes
// the states, times and progress into the row, interrupts the transfer when the row is paused,
// removed or the queue cleared, and finishes the entry. It writes only its own row, found again
// by source and target every cycle, so rows that moved or went are never written in its place.
class TransferMonitor {
public:
    // source and target: the row's texts when the start handler accepted it.
    TransferMonitor(const TransferEnvironment& environment,
                    std::shared_ptr<TransferContext> context, QString source, QString target);
    // Tells the thread to quit and waits for it.
    ~TransferMonitor();
    TransferMonitor(const TransferMonitor&) = delete;
    TransferMonitor& operator=(const TransferMonitor&) = delete;

    void start();
    std::shared_ptr<Mailbox> mailbox() const { return mailbox_; }
    bool hasEnded() const { return ended_.load(); }

    // The date and time texts of the start and finish columns ("12/08/26 21:05:09").
    static QString timeText();

private:
    enum class Next { Wait, Watch, Done, EndEarly };

    void run();
    Next handle(Mail& mail);
    bool handOver(const std::shared_ptr<RemoteFileSystem>& client);
    void markStarted();
    void markSkipped();
    void watch();
    bool waitOneCycle();
    void interrupt(int row);
    void finish();
    void endEarly();
    void recordParts();
    int locateRow();
    bool rowIsPreparing();
    bool writeRow(int row, const QList<QPair<TransferQueue::Column, QString>>& texts);
    QString sourcePathForLog() const;

    const TransferEnvironment& env_;
    std::shared_ptr<TransferContext> context_;
    const QString source_;
    const QString target_;
    std::shared_ptr<Mailbox> mailbox_;
    // Used on the monitor's thread only.
    std::weak_ptr<Mailbox> worker_;
    int rowHint_ = -1;
    std::shared_ptr<RemoteFileSystem> client_;
    std::shared_ptr<TransferJob> job_;
    QString action_;
    TransferProgress progress_{false};
    QElapsedTimer clock_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
