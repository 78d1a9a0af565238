// Queue list benchmark: the queue list showing ROWS rows while another thread changes UPDATED
// rows every 100 ms (progress and remaining time; the speed of five, as at most five run), for
// SECONDS; the GUI thread's longest stall is the longest gap between two ticks of a 5 ms timer.
// MODE "rows" shows the queue through its own model (only changed rows repaint), "reread" through
// a baseline that re-reads every row on each change, as a plain table model would. The speed
// meter runs as in the program.
// Usage: kevra_queue_list_bench ROWS UPDATED SECONDS MODE
#include "QueueBenchRows.h"
#include "queue/SpeedMeter.h"
#include "queue/TransferQueue.h"
#include "queue/gui/TransferQueueModel.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/QueueListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

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
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: %s ROWS UPDATED SECONDS MODE\n", argv[0]);
        return 2;
    }
    return stream(args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4]);
}
