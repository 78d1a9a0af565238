// Chaos soak driver: connects the main view to an FTP server (usually through
// bench/chaos-relay.py), queues every transfer of a manifest and lets the transfer controller
// run them, five at once, with the given data connection mode and retries one second apart.
// Prints one line per entry, "<state>\t<source>\t<target>", once every entry has ended.
// Manifest lines: "D <remote path> <local path>" or "U <local path> <remote path>".
// Usage: kevra_chaos_soak <host> <port> <manifest> <auto|active|passive> [timeout seconds]
#include "QueueHarness.h"
#include "config/Configuration.h"
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
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

bool hasEnded(const QString& state)
{
    return state == QueueState::Downloaded || state == QueueState::Uploaded ||
           state == QueueState::Failed || state == QueueState::Skipped;
}

bool allEnded(const TransferQueue& queue)
{
    for (const TransferQueue::Row& row : queue.snapshot()) {
        if (!hasEnded(row.text(TransferQueue::StateColumn)))
            return false;
    }
    return true;
}

QList<QueueEntry> readManifest(const QString& path)
{
    QList<QueueEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(u' ');
        if (fields.size() != 3)
            continue;
        QueueEntry entry;
        entry.source = fields[1];
        entry.target = fields[2];
        entry.action =
            (fields[0] == QLatin1String("D") ? QueueAction::Download : QueueAction::Upload)
                .toString();
        entries.append(entry);
    }
    return entries;
}

bool writeTransferSettings(const QString& documents, const QString& mode)
{
    if (!QDir().mkpath(documents + QStringLiteral("/ftpwork")))
        return false;
    QFile ini(documents + QStringLiteral("/ftpwork/ftp.ini"));
    const QByteArray text =
        "[Transfer]\r\nDataMode=" + mode.toLatin1() + "\r\nRetries=10\r\nRetryDelays=1\r\n";
    return ini.open(QIODevice::WriteOnly) && ini.write(text) == text.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s host port manifest auto|active|passive [seconds]\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QString host = QString::fromLocal8Bit(argv[1]);
    const int port = QString::fromLocal8Bit(argv[2]).toInt();
    const QList<QueueEntry> entries = readManifest(QString::fromLocal8Bit(argv[3]));
    const int seconds = argc > 5 ? QString::fromLocal8Bit(argv[5]).toInt() : 3600;

    QTemporaryDir documents;
    SilentPrompt prompt;
    if (!writeTransferSettings(documents.path(), QString::fromLocal8Bit(argv[4])))
        return 1;
    CftpView view;
    view.initialUpdate(LoadConfiguration(documents.path()));
    SessionController sessions(view, prompt, documents.path());
    LocalPaneController localPane(view, prompt);
    if (!connectAnonymously(view, sessions, host, port, 30000))
        return 1;
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    QueueStore store(view, queue, sessions.engineLock());
    TransferController controller(view, prompt, sessions, localPane, queue, slots, stopAll, store);
    // Short enough that a held reply or a stalled connection is given up and retried.
    controller.setNetworkTimeout(std::chrono::seconds(10));
    controller.start();
    for (const QueueEntry& entry : entries)
        queue.AddQueueRow(entry, host);
    const bool ended = runUntil([&] { return allEnded(queue); }, seconds * 1000);
    for (const TransferQueue::Row& row : queue.snapshot())
        std::printf("%s\t%s\t%s\n", qPrintable(row.text(TransferQueue::StateColumn)),
                    qPrintable(row.text(TransferQueue::SourceColumn)),
                    qPrintable(row.text(TransferQueue::TargetColumn)));
    return ended ? 0 : 3;
}
