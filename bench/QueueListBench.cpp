// Queue benchmark.
//   store: ROWS rows added to the queue, saved to "WFL.dat" and loaded into a fresh queue,
//          REPS rounds; every loaded queue is checked row by row against the saved one.
//   stream: the queue list showing ROWS rows while another thread changes UPDATED rows every
//          100 ms (progress and remaining time; the speed of five, as at most five run), for
//          SECONDS; the GUI thread's longest stall is the
//          longest gap between two ticks of a 5 ms timer. Rounds alternate between the queue's
//          own model (only changed rows repaint) and a baseline that re-reads every row on each
//          change, as a plain table model would. The speed meter runs as in the program.
// Usage: kevra_queue_list_bench store ROWS REPS | stream ROWS UPDATED SECONDS MODE
//        (MODE: rows or reread)
#include "platform/NamedMutex.h"
#include "queue/QueueFile.h"
#include "queue/SpeedMeter.h"
#include "queue/TransferQueue.h"
#include "queue/gui/TransferQueueModel.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/QueueListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

QueueEntry entryNumber(int number)
{
    QueueEntry entry;
    entry.source = QStringLiteral("/pub/数据/file-%1.dat").arg(number, 6, 10, QLatin1Char('0'));
    entry.target =
        QStringLiteral("/home/user/下载/file-%1.dat").arg(number, 6, 10, QLatin1Char('0'));
    entry.address = QStringLiteral("127.0.0.1");
    entry.size = QStringLiteral("1.50MB");
    entry.action = number % 2 == 0 ? QStringLiteral("Down") : QStringLiteral("UP");
    entry.state = QStringLiteral("暂停");
    return entry;
}

int store(int rows, int reps)
{
    QTemporaryDir work;
    NamedMutex lock(QStringLiteral("mutex1"), work.path());
    QueueFile file(work.path() + u'/', lock);
    for (int rep = 0; rep < reps; ++rep) {
        TransferQueue queue;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < rows; ++i)
            queue.AddQueueRow(entryNumber(i), QString());
        const double added = timer.nsecsElapsed() / 1e6;
        timer.restart();
        if (!file.SaveQueue(queue))
            return 1;
        const double saved = timer.nsecsElapsed() / 1e6;
        TransferQueue loaded;
        timer.restart();
        const int count = file.LoadQueue(loaded, QString());
        const double read = timer.nsecsElapsed() / 1e6;
        const auto before = queue.snapshot();
        const auto after = loaded.snapshot();
        for (int i = 0; i < rows; ++i) {
            if (count != rows || before[i].columns != after[i].columns) {
                std::fprintf(stderr, "row %d differs after loading\n", i);
                return 1;
            }
        }
        std::printf("add %.1f save %.1f load %.1f\n", added, saved, read);
    }
    return 0;
}

// The baseline: every change re-reads all rows into a plain table model.
void rereadOnEveryChange(TransferQueue& queue, QueueListModel& model)
{
    QObject::connect(
        &queue, &TransferQueue::changesPending, &model,
        [&queue, &model] {
            queue.takeChanges();
            QVector<TextRowsModel::Row> rows;
            for (const TransferQueue::Row& row : queue.snapshot())
                rows.append(
                    {QStringList(row.columns.cbegin(), row.columns.cend()), row.folder == 1});
            model.setRows(rows);
        },
        Qt::QueuedConnection);
}

int stream(int rows, int updated, int seconds, const QString& mode)
{
    TransferQueue queue;
    for (int i = 0; i < rows; ++i)
        queue.AddQueueRow(entryNumber(i), QString());
    CMyListCtrl list(3);
    QueueListModel plain;
    TransferQueueModel rowsModel(queue);
    if (mode == QLatin1String("reread")) {
        rereadOnEveryChange(queue, plain);
        list.setModel(&plain);
    } else {
        list.setModel(&rowsModel);
    }
    list.resize(1400, 300);
    list.show();
    QCoreApplication::processEvents();

    // As in the program, the speed meter adds up the speeds meanwhile.
    SpeedMeter meter(queue, [](const QString&) {});
    meter.start();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        int tick = 0;
        while (!stop.load()) {
            ++tick;
            for (int i = 0; i < updated; ++i) {
                const int row = (i * rows / updated + tick) % rows;
                queue.setText(row, TransferQueue::ProgressColumn,
                              QStringLiteral("%1%").arg(tick % 100));
                queue.setText(row, TransferQueue::RemainingColumn,
                              QStringLiteral("00:00:%1").arg(tick % 60));
            }
            // At most five transfers run, so five rows show a speed.
            for (int row = 0; row < 5; ++row)
                queue.setText(row, TransferQueue::SpeedColumn,
                              QStringLiteral("%1.00kb/s").arg(tick));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed();
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        list.viewport()->repaint();
    });
    tick.start(5);
    QTimer::singleShot(seconds * 1000, &QCoreApplication::quit);
    QCoreApplication::exec();
    stop.store(true);
    writer.join();
    std::printf("longest stall %lld ms\n", static_cast<long long>(longest));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("store"))
        return store(args[2].toInt(), args[3].toInt());
    if (args.size() >= 6 && args[1] == QLatin1String("stream"))
        return stream(args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5]);
    std::fprintf(stderr, "usage: %s store ROWS REPS | stream ROWS UPDATED SECONDS MODE\n", argv[0]);
    return 2;
}
