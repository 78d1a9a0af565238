#include "queue/QueueEntry.h"
#include "queue/TransferQueue.h"
#include "support/NamedCases.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

QueueEntry entryWith(const QString& source)
{
    QueueEntry entry;
    entry.source = source;
    entry.target = QStringLiteral("/home/u") + source;
    entry.action = QueueAction::Download.toString();
    return entry;
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

} // namespace
