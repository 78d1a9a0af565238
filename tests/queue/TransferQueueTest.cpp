#include "queue/TransferQueue.h"
#include "queue/QueueEntry.h"
#include "queue/TransferSlots.h"
#include "support/NamedCases.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

QueueEntry entryFor(const QString& source, const QString& target, const QString& state)
{
    QueueEntry entry;
    entry.source = source;
    entry.target = target;
    entry.action = QueueAction::Download.toString();
    entry.state = state;
    return entry;
}

struct PathCase {
    const char* name;
    const char* folder;
    const char* item;
    const char* expected;
};

class RemotePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(RemotePathTest, AddsOneSeparatorOnlyWhenMissing)
{
    const PathCase& row = GetParam();
    const QString folder = QString::fromUtf8(row.folder);
    const QString item = QString::fromUtf8(row.item);
    EXPECT_EQ(TransferQueue::remotePath(folder, item), QString::fromUtf8(row.expected));
    EXPECT_EQ(TransferQueue::localPath(folder, item), QString::fromUtf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Folders, RemotePathTest,
                         testing::Values(PathCase{"Pub", "/pub", "a.txt", "/pub/a.txt"},
                                         PathCase{"Root", "/", "a.txt", "/a.txt"},
                                         PathCase{"TrailingSlash", "/pub/", "a.txt", "/pub/a.txt"},
                                         PathCase{"Chinese", "/home/用户", "文件.txt",
                                                  "/home/用户/文件.txt"}),
                         caseName);

struct ActionCase {
    const char* name;
    const char* action;
    bool download;
};

class DownloadActionTest : public testing::TestWithParam<ActionCase> {};

TEST_P(DownloadActionTest, FirstFourCharactersDecide)
{
    EXPECT_EQ(isDownloadAction(QString::fromUtf8(GetParam().action)), GetParam().download);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, DownloadActionTest,
    testing::Values(ActionCase{"Down", "Down", true}, ActionCase{"Downop", "Downop", true},
                    ActionCase{"Up", "UP", false}, ActionCase{"LowerCase", "down", false},
                    ActionCase{"Short", "Dow", false}, ActionCase{"Empty", "", false}),
    caseName);

TEST(TransferQueueTest, EmptyFieldsTakeTheirDefaults)
{
    TransferQueue queue;
    QueueEntry entry;
    entry.source = QStringLiteral("/pub/a.txt");
    const int index = queue.AddQueueRow(entry, QStringLiteral("ftp.example.org"));
    ASSERT_EQ(index, 0);
    EXPECT_EQ(queue.text(0, TransferQueue::AddressColumn), QStringLiteral("ftp.example.org"));
    EXPECT_EQ(queue.text(0, TransferQueue::ProgressColumn), QStringLiteral("0%"));
    EXPECT_EQ(queue.text(0, TransferQueue::StateColumn), QueueState::Waiting);
}

TEST(TransferQueueTest, GivenFieldsAreKept)
{
    TransferQueue queue;
    QueueEntry entry =
        entryFor(QStringLiteral("/a"), QStringLiteral("/tmp/a"), QStringLiteral("暂停"));
    entry.address = QStringLiteral("10.0.0.1");
    entry.progress = QStringLiteral("40%");
    entry.folder = 1;
    queue.AddQueueRow(entry, QStringLiteral("ignored"));
    const std::optional<TransferQueue::Row> row = queue.row(0);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->text(TransferQueue::AddressColumn), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(row->text(TransferQueue::ProgressColumn), QStringLiteral("40%"));
    EXPECT_EQ(row->text(TransferQueue::StateColumn), QueueState::Paused);
    EXPECT_EQ(row->folder, 1);
}

TEST(TransferQueueTest, LongPathsStayWhole)
{
    TransferQueue queue;
    const QString longPath = QStringLiteral("/") + QString(1000, u'x');
    queue.AddQueueRow(entryFor(longPath, longPath, {}), {});
    EXPECT_EQ(queue.text(0, TransferQueue::SourceColumn), longPath);
}

TEST(TransferQueueTest, OutOfRangeAccessIsRefused)
{
    TransferQueue queue;
    queue.AddQueueRow(entryFor(QStringLiteral("/a"), QStringLiteral("/b"), {}), {});
    EXPECT_FALSE(queue.row(1).has_value());
    EXPECT_FALSE(queue.row(-1).has_value());
    EXPECT_TRUE(queue.text(3, TransferQueue::StateColumn).isEmpty());
    EXPECT_FALSE(queue.setText(1, TransferQueue::StateColumn, QStringLiteral("err")));
    EXPECT_FALSE(queue.setText(0, TransferQueue::ColumnCount, QStringLiteral("err")));
    EXPECT_TRUE(queue.setText(0, TransferQueue::StateColumn, QStringLiteral("err")));
    EXPECT_EQ(queue.text(0, TransferQueue::StateColumn), QStringLiteral("err"));
}

TEST(TransferQueueTest, RemoveRowsUsesTheIndicesAsTheyWere)
{
    TransferQueue queue;
    for (const char* name : {"/0", "/1", "/2", "/3"})
        queue.AddQueueRow(entryFor(QString::fromUtf8(name), QStringLiteral("/t"), {}), {});
    queue.removeRows({2, 0, 2, 9});
    ASSERT_EQ(queue.rowCount(), 2);
    EXPECT_EQ(queue.text(0, TransferQueue::SourceColumn), QStringLiteral("/1"));
    EXPECT_EQ(queue.text(1, TransferQueue::SourceColumn), QStringLiteral("/3"));
    queue.clear();
    EXPECT_EQ(queue.rowCount(), 0);
}

TEST(TransferQueueTest, EveryChangeIsSignalled)
{
    TransferQueue queue;
    QSignalSpy spy(&queue, &TransferQueue::rowsChanged);
    queue.AddQueueRow(entryFor(QStringLiteral("/a"), QStringLiteral("/b"), {}), {});
    queue.setText(0, TransferQueue::SpeedColumn, QStringLiteral("1KB/s"));
    queue.removeRows({0});
    queue.clear();
    EXPECT_EQ(spy.count(), 4);
}

struct FindCase {
    const char* name;
    const char* state;
    bool found;
};

class FindActiveRowTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindActiveRowTest, MatchesOnlyActiveStates)
{
    TransferQueue queue;
    const QString source = QStringLiteral("/pub/a.txt");
    const QString target = QStringLiteral("/home/u/a.txt");
    queue.AddQueueRow(entryFor(QStringLiteral("/other"), target, QStringLiteral("下载中")), {});
    queue.AddQueueRow(entryFor(source, QStringLiteral("/elsewhere"), QStringLiteral("下载中")), {});
    queue.AddQueueRow(entryFor(source, target, QString::fromUtf8(GetParam().state)), {});
    EXPECT_EQ(queue.findActiveRow(source, target), GetParam().found ? 2 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    States, FindActiveRowTest,
    testing::Values(FindCase{"Preparing", "准备中", true}, FindCase{"Downloading", "下载中", true},
                    FindCase{"Uploading", "上传中", true}, FindCase{"Paused", "暂停", true},
                    FindCase{"Waiting", "等待中", false}, FindCase{"Skipped", "跳过", false},
                    FindCase{"Downloaded", "下载完成", false},
                    FindCase{"Uploaded", "上传完成", false}, FindCase{"Failed", "err", false}),
    caseName);

TEST(TransferQueueTest, FindActiveRowFollowsRemovals)
{
    TransferQueue queue;
    queue.AddQueueRow(entryFor(QStringLiteral("/x"), QStringLiteral("/y"), {}), {});
    queue.AddQueueRow(
        entryFor(QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("上传中")), {});
    queue.removeRows({0});
    EXPECT_EQ(queue.findActiveRow(QStringLiteral("/a"), QStringLiteral("/b")), 0);
}

TEST(TransferQueueTest, ConcurrentWritersKeepEveryRow)
{
    TransferQueue queue;
    constexpr int Threads = 4;
    constexpr int RowsEach = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t) {
        writers.emplace_back([&queue, t] {
            for (int i = 0; i < RowsEach; ++i) {
                const int index = queue.AddQueueRow(
                    entryFor(QStringLiteral("/%1/%2").arg(t).arg(i), QStringLiteral("/t"), {}), {});
                queue.setText(index, TransferQueue::ProgressColumn, QStringLiteral("50%"));
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    const QList<TransferQueue::Row> rows = queue.snapshot();
    ASSERT_EQ(rows.size(), Threads * RowsEach);
    for (const TransferQueue::Row& row : rows)
        EXPECT_EQ(row.text(TransferQueue::ProgressColumn), QStringLiteral("50%"));
}

TEST(TransferSlotsTest, AllowsExactlyFiveAtOnce)
{
    TransferSlots slots;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(slots.tryTake()) << "start " << i;
    EXPECT_FALSE(slots.tryTake());
    EXPECT_EQ(slots.count(), -1);
    slots.giveBack();
    EXPECT_TRUE(slots.tryTake());
    EXPECT_FALSE(slots.tryTake());
}

TEST(TransferSlotsTest, ConcurrentStartsNeverExceedFive)
{
    TransferSlots slots;
    std::atomic<int> taken{0};
    std::vector<std::thread> starters;
    for (int t = 0; t < 16; ++t) {
        starters.emplace_back([&] {
            if (slots.tryTake())
                taken.fetch_add(1);
        });
    }
    for (std::thread& starter : starters)
        starter.join();
    EXPECT_EQ(taken.load(), 5);
    EXPECT_EQ(slots.count(), -1);
}

} // namespace
