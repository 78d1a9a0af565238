// Queue file benchmark: ROWS rows added to the queue, saved to "WFL.dat" and loaded into a
// fresh queue, REPS rounds; every loaded queue is compared row by row with the saved one. Prints
// the wall times and, since the machine may be busy, the processor time of save and load
// together. Uses only the queue's oldest interface, so the same source builds against earlier
// versions of the program for a comparison in the same run.
// Usage: kevra_queue_store_bench ROWS REPS
#include "QueueBenchRows.h"
#include "platform/NamedMutex.h"
#include "queue/QueueFile.h"
#include "queue/TransferQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

bool sameRows(const TransferQueue& saved, const TransferQueue& loaded)
{
    const auto before = saved.snapshot();
    const auto after = loaded.snapshot();
    if (before.size() != after.size())
        return false;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i].columns != after[i].columns || before[i].folder != after[i].folder)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROWS REPS\n", argv[0]);
        return 2;
    }
    const int rows = QString::fromLocal8Bit(argv[1]).toInt();
    const int reps = QString::fromLocal8Bit(argv[2]).toInt();
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
        const double cpuBefore = threadCpuMs();
        if (!file.SaveQueue(queue))
            return 1;
        const double saved = timer.nsecsElapsed() / 1e6;
        TransferQueue loaded;
        timer.restart();
        file.LoadQueue(loaded, QString());
        const double read = timer.nsecsElapsed() / 1e6;
        const double cpu = threadCpuMs() - cpuBefore;
        if (!sameRows(queue, loaded)) {
            std::fprintf(stderr, "the loaded rows differ from the saved ones\n");
            return 1;
        }
        std::printf("add %.1f save %.1f load %.1f cpu %.1f\n", added, saved, read, cpu);
    }
    return 0;
}
