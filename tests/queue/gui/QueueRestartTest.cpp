#include "queue/gui/QueueFixture.h"

#include "support/ChildProcess.h"

#include <QFile>

#include <chrono>
#include <thread>

namespace {

constexpr const char* SavingHome = "KEVRA_QUEUE_SAVING_HOME";

struct StoredRow {
    const char* state;
    const char* reloadedState;
    int folder;
};

// One row in every state; the unfinished ones come back paused and without their speed.
const StoredRow Rows[] = {
    {"等待中", "暂停", 0},       {"准备中", "暂停", 1},       {"下载中", "暂停", 0},
    {"上传中", "暂停", 0},       {"暂停", "暂停", 1},         {"跳过", "跳过", 0},
    {"下载完成", "下载完成", 0}, {"上传完成", "上传完成", 1}, {"err", "err", 0}};

QueueEntry entryFor(int number, const StoredRow& row)
{
    QueueEntry entry;
    const bool upload = QString::fromUtf8(row.state).startsWith(QStringLiteral("上传"));
    entry.source = QStringLiteral("/pub/目录/文件%1.dat").arg(number);
    entry.target = QStringLiteral("/home/用户/文件%1.dat").arg(number);
    if (upload)
        std::swap(entry.source, entry.target);
    entry.address = QStringLiteral("10.0.0.%1").arg(number);
    entry.size = QStringLiteral("%1.50MB").arg(number);
    entry.progress = QStringLiteral("%1%").arg(number * 10);
    entry.action = upload ? QStringLiteral("UP") : QStringLiteral("Down");
    entry.started = QStringLiteral("12/08/26 20:0%1:00").arg(number);
    entry.finished = number % 2 == 0 ? QStringLiteral("12/08/26 21:00:00") : QString();
    entry.speed = QStringLiteral("%1.00kb/s").arg(number);
    entry.elapsed = QStringLiteral("00:00:0%1").arg(number);
    entry.remaining = QStringLiteral("00:01:0%1").arg(number);
    entry.state = QString::fromUtf8(row.state);
    entry.folder = row.folder;
    return entry;
}

// Run only as the first process of the restart test, which names its work folder.
class QueueSavingProcess : public QueueFixture {
protected:
    QString homeFolder() const override { return qEnvironmentVariable(SavingHome); }
};

TEST_F(QueueSavingProcess, StoresARowInEveryState)
{
    if (homeFolder().isEmpty())
        GTEST_SKIP() << "runs as the saving process of QueueRestartTest";
    int number = 0;
    for (const StoredRow& row : Rows)
        ASSERT_GE(queue().AddQueueRow(entryFor(number++, row), QString()), 0);
    features->store().SaveQueue();
    ASSERT_TRUE(features->store().waitUntilStored());
}

class QueueRestartTest : public QueueFixture {
protected:
    // The queue is stored by another process before this one's view starts up.
    void prepareWorkFolder() override
    {
        ScopedEnvironment childEnvironment;
        childEnvironment.set(SavingHome, QFile::encodeName(homeFolder()));
        const QString log = home.path() + QStringLiteral("/saving.log");
        ChildProcess saver;
        ASSERT_TRUE(saver.start(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--gtest_filter=QueueSavingProcess.*")}, log));
        for (int i = 0; i < 600 && saver.isRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_FALSE(saver.isRunning());
        QFile output(log);
        ASSERT_TRUE(output.open(QIODevice::ReadOnly));
        const QByteArray text = output.readAll();
        ASSERT_TRUE(text.contains("[  PASSED  ] 1 test") && !text.contains("SKIPPED"))
            << text.toStdString();
    }
};

TEST_F(QueueRestartTest, ANewProcessLoadsIdenticalRowsWithUnfinishedOnesPaused)
{
    const QList<TransferQueue::Row> loaded = queue().snapshot();
    ASSERT_EQ(loaded.size(), static_cast<qsizetype>(std::size(Rows)));
    TransferQueue expected;
    int number = 0;
    for (const StoredRow& row : Rows) {
        QueueEntry entry = entryFor(number++, row);
        if (entry.state != QString::fromUtf8(row.reloadedState))
            entry.speed.clear();
        entry.state = QString::fromUtf8(row.reloadedState);
        expected.AddQueueRow(entry, QString());
    }
    for (int i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i].columns, expected.snapshot()[i].columns) << i;
        EXPECT_EQ(loaded[i].folder, expected.snapshot()[i].folder) << i;
    }
    settle();
    EXPECT_EQ(view.queueList()->model()->rowCount(), loaded.size());
}

} // namespace
