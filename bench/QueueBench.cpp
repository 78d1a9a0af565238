// Queue benchmark: connects the main view to an FTP server, queues downloads of
// /pub/file-<i>.bin (i = 1..count) into a local folder and lets the transfer controller run
// them, five at once. Prints the seconds from queuing to the last "下载完成" and the GUI
// thread's longest event-loop stall meanwhile (milliseconds), or fails when an entry ends
// otherwise. With a limit (kB/s) all downloads share it, as ftp.ini's "DownloadLimit" sets it.
// Usage: kevra_queue_bench <host> <port> <local folder> <count> [limit]
#include "QueueHarness.h"
#include "config/Configuration.h"
#include "ftp/SpeedLimits.h"
#include "platform/Prompt.h"
#include "queue/QueueEntry.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "queue/gui/QueueStore.h"
#include "queue/gui/TransferController.h"
#include "view/gui/CftpView.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The longest time the event loop went without running a 1 ms timer, beyond that millisecond.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        clock_.start();
        connect(&tick_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_ - 1);
            last_ = now;
        });
        tick_.setTimerType(Qt::PreciseTimer);
        tick_.start(1);
    }
    qint64 longest() const { return longest_; }

private:
    QTimer tick_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

bool allFinished(const TransferQueue& queue)
{
    for (const TransferQueue::Row& row : queue.snapshot()) {
        const QString& state = row.text(TransferQueue::StateColumn);
        if (state != QueueState::Downloaded && state != QueueState::Failed &&
            state != QueueState::Skipped)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s host port folder count\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QString host = QString::fromLocal8Bit(argv[1]);
    const int port = QString::fromLocal8Bit(argv[2]).toInt();
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const int count = QString::fromLocal8Bit(argv[4]).toInt();
    const int limit = argc > 5 ? QString::fromLocal8Bit(argv[5]).toInt() : 0;

    QTemporaryDir work;
    SilentPrompt prompt;
    CftpView view;
    const Configuration configuration = LoadConfiguration(work.path());
    if (limit > 0 && !StoreSpeedLimits(configuration.configPath, limit, 0))
        return 1;
    view.initialUpdate(configuration);
    SessionController sessions(view, prompt, work.path());
    LocalPaneController localPane(view, prompt);
    localPane.navigateTo(folder);
    if (!connectAnonymously(view, sessions, host, port, 10000))
        return 1;
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    QueueStore store(view, queue, sessions.engineLock());
    TransferController controller(view, prompt, sessions, localPane, queue, slots, stopAll, store);
    controller.setSpeedLimits(std::make_shared<SpeedLimits>());
    controller.start();

    // A running window has listed files before: the type database is loaded on the first
    // listing that holds a file, which is not what is measured here.
    QMimeDatabase().mimeTypeForFile(QStringLiteral("warm.bin"), QMimeDatabase::MatchExtension);
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= count; ++i) {
        QueueEntry entry;
        entry.source = QStringLiteral("/pub/file-%1.bin").arg(i);
        entry.target = folder + QStringLiteral("/file-%1.bin").arg(i);
        entry.action = QueueAction::Download.toString();
        queue.AddQueueRow(entry, host);
    }
    const bool finished = runUntil([&] { return allFinished(queue); }, 600000, 5);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    for (const TransferQueue::Row& row : queue.snapshot()) {
        if (row.text(TransferQueue::StateColumn) != QueueState::Downloaded) {
            std::fprintf(stderr, "%s ended %s\n", qPrintable(row.text(TransferQueue::SourceColumn)),
                         qPrintable(row.text(TransferQueue::StateColumn)));
            return 1;
        }
    }
    if (!finished)
        return 1;
    std::printf("%.3f %lld\n", seconds, static_cast<long long>(stalls.longest()));
    return 0;
}
