// Folder-entry benchmark: connects the main view to an FTP server, queues one folder entry as a
// user does (download of a remote folder, or upload of a local one) and lets the transfer
// controller run it with the queue's slots. Prints the seconds from queuing to "下载完成" or
// "上传完成", or fails when the entry ends otherwise.
// With "one" as the last argument the other four slots are held by the benchmark, so the entry
// has its own connection only.
// Usage: kevra_queue_folder_bench download|upload HOST PORT REMOTE_FOLDER LOCAL_FOLDER [one]
#include "QueueHarness.h"
#include "config/Configuration.h"
#include "platform/NamedMutex.h"
#include "queue/FolderTransfer.h"
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
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString entryState(const TransferQueue& queue)
{
    const QList<TransferQueue::Row> rows = queue.snapshot();
    return rows.isEmpty() ? QString() : rows.first().text(TransferQueue::StateColumn);
}

bool ended(const QString& state)
{
    return state == QueueState::Downloaded || state == QueueState::Uploaded ||
           state == QueueState::Failed || state == QueueState::Skipped;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 6 || (arguments.at(1) != QStringLiteral("download") &&
                                 arguments.at(1) != QStringLiteral("upload"))) {
        std::fprintf(stderr, "usage: kevra_queue_folder_bench download|upload HOST PORT REMOTE "
                             "LOCAL [one]\n");
        return 2;
    }
    const bool download = arguments.at(1) == QStringLiteral("download");
    const QString host = arguments.at(2);
    const int port = arguments.at(3).toInt();
    const QString remote = arguments.at(4);
    const QString local = arguments.at(5);
    const bool oneConnection = arguments.size() > 6 && arguments.at(6) == QStringLiteral("one");

    QTemporaryDir work;
    SilentPrompt prompt;
    CftpView view;
    view.initialUpdate(LoadConfiguration(work.path()));
    SessionController sessions(view, prompt, work.path());
    LocalPaneController localPane(view, prompt);
    if (!connectAnonymously(view, sessions, host, port, 10000))
        return 1;
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    NamedMutex writeLock(QStringLiteral("mutex1"), work.path());
    QueueStore store(view, queue, writeLock);
    TransferController controller(view, prompt, sessions, localPane, queue, slots, stopAll, store);
    controller.setFolderMover(&FolderTransfer::MoveJob);
    controller.start();
    for (int held = 0; oneConnection && held < TransferSlots::InitialCount; ++held)
        slots.tryTake();

    QElapsedTimer clock;
    clock.start();
    QueueEntry entry;
    entry.source = download ? remote : local;
    entry.target = download ? local : remote;
    entry.action = (download ? QueueAction::Download : QueueAction::Upload).toString();
    entry.folder = 1;
    queue.AddQueueRow(entry, host);
    runUntil([&] { return ended(entryState(queue)); }, 600000, 5);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const QString state = entryState(queue);
    if (state != (download ? QueueState::Downloaded : QueueState::Uploaded)) {
        std::fprintf(stderr, "the folder entry ended %s\n", qPrintable(state));
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}
