#include "queue/QueueEntry.h"
#include "queue/TransferQueue.h"
#include "support/NamedCases.h"
#include "view/ColumnSort.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;
using Shape = TransferQueue::Changes::Shape;

QueueEntry entryWith(const QString& source, const QString& size = QString(),
                     const QString& state = QString())
{
    QueueEntry entry;
    entry.source = source;
    entry.target = QStringLiteral("/home/u") + source;
    entry.size = size;
    entry.action = QueueAction::Download.toString();
    entry.state = state;
    return entry;
}

QStringList sourcesOf(const QList<TransferQueue::Row>& rows)
{
    QStringList sources;
    for (const TransferQueue::Row& row : rows)
        sources << row.text(TransferQueue::SourceColumn);
    return sources;
}

// A queue of rows "/0" … "/count-1" whose adds have been taken already.
void fill(TransferQueue& queue, int count)
{
    for (int i = 0; i < count; ++i)
        queue.AddQueueRow(entryWith(QStringLiteral("/%1").arg(i)), QStringLiteral("host"));
    queue.takeChanges();
}

struct RefusedCase {
    const char* name;
    QString QueueEntry::*field;
    QString text;
};

class RefusedEntryTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedEntryTest, IsNotAddedAndIsReported)
{
    TransferQueue queue;
    QSignalSpy refused(&queue, &TransferQueue::entryRefused);
    QueueEntry entry = entryWith(QStringLiteral("/pub/a"));
    entry.*GetParam().field = GetParam().text;
    EXPECT_EQ(queue.AddQueueRow(entry, QStringLiteral("host")), -1);
    EXPECT_EQ(queue.rowCount(), 0);
    ASSERT_EQ(refused.count(), 1);
    EXPECT_EQ(refused.first().first().toString(), entry.source);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedEntryTest,
    testing::Values(
        RefusedCase{"CarriageReturnInSource", &QueueEntry::source, QStringLiteral("/pub/a\rb")},
        RefusedCase{"LineFeedInTarget", &QueueEntry::target, QStringLiteral("/a\nb")},
        RefusedCase{"NulInAddress", &QueueEntry::address, QStringLiteral("h") + QChar(0)},
        RefusedCase{"LineFeedInSize", &QueueEntry::size, QStringLiteral("1\n")}),
    caseName);

TEST(TransferQueueChangesTest, AppendsComeAsAppendedWithEveryRow)
{
    TransferQueue queue;
    fill(queue, 2);
    queue.AddQueueRow(entryWith(QStringLiteral("/new")), {});
    const TransferQueue::Changes changes = queue.takeChanges();
    EXPECT_EQ(changes.shape, Shape::Appended);
    EXPECT_EQ(sourcesOf(changes.rows),
              (QStringList{QStringLiteral("/0"), QStringLiteral("/1"), QStringLiteral("/new")}));
}

TEST(TransferQueueChangesTest, TextChangesHandOverOnlyTheChangedRows)
{
    TransferQueue queue;
    fill(queue, 5);
    queue.setText(3, TransferQueue::ProgressColumn, QStringLiteral("37%"));
    const TransferQueue::Changes changes = queue.takeChanges();
    EXPECT_EQ(changes.shape, Shape::Same);
    EXPECT_EQ(changes.indices, QList<int>{3});
    ASSERT_EQ(changes.rows.size(), 1);
    EXPECT_EQ(changes.rows.first().text(TransferQueue::ProgressColumn), QStringLiteral("37%"));
    EXPECT_TRUE(queue.takeChanges().indices.isEmpty());
}

TEST(TransferQueueChangesTest, ABurstOfChangesIsAnnouncedOnce)
{
    TransferQueue queue;
    fill(queue, 3);
    QSignalSpy pending(&queue, &TransferQueue::changesPending);
    for (int i = 0; i < 100; ++i)
        queue.setText(i % 3, TransferQueue::SpeedColumn, QStringLiteral("%1.00b/s").arg(i));
    EXPECT_EQ(pending.count(), 1);
    queue.takeChanges();
    queue.setText(0, TransferQueue::SpeedColumn, QString());
    EXPECT_EQ(pending.count(), 2);
}

// With nobody taking the changes (no queue list), collecting them must not grow without end.
TEST(TransferQueueChangesTest, UntakenChangesStayBounded)
{
    TransferQueue queue;
    fill(queue, 4);
    for (int i = 0; i < 1000; ++i)
        queue.setText(i % 4, TransferQueue::ElapsedColumn, QString::number(i));
    const TransferQueue::Changes changes = queue.takeChanges();
    EXPECT_LE(changes.indices.size(), 4);
    EXPECT_EQ(changes.rows.size(), 4);
}

TEST(TransferQueueChangesTest, RemovalsAndSortsRearrangeAndKeepRowIds)
{
    TransferQueue queue;
    queue.AddQueueRow(entryWith(QStringLiteral("/big"), QStringLiteral("2.00GB")), {});
    queue.AddQueueRow(entryWith(QStringLiteral("/dir")), {});
    queue.AddQueueRow(entryWith(QStringLiteral("/small"), QStringLiteral("1.00KB")), {});
    const QList<TransferQueue::Row> before = queue.snapshot();
    ColumnSort bySize;
    bySize.click(ColumnSort::sizeColumn);
    queue.sortRows(bySize);
    const TransferQueue::Changes changes = queue.takeChanges();
    EXPECT_EQ(changes.shape, Shape::Rearranged);
    EXPECT_EQ(
        sourcesOf(changes.rows),
        (QStringList{QStringLiteral("/dir"), QStringLiteral("/small"), QStringLiteral("/big")}));
    EXPECT_EQ(changes.rows.at(2).id, before.at(0).id);
    EXPECT_NE(changes.rows.at(0).id, changes.rows.at(1).id);

    queue.removeRows({1});
    EXPECT_EQ(queue.takeChanges().shape, Shape::Rearranged);
}

} // namespace
