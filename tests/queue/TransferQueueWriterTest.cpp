#include "platform/NamedMutex.h"
#include "queue/QueueEntry.h"
#include "queue/QueueFile.h"
#include "queue/QueueFileWriter.h"
#include "queue/TransferQueue.h"
#include "support/TemporaryFolder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

// Saves requested in a burst are folded, and the file always ends up holding the rows as they
// were at the last request, written before the writer is gone.
TEST(QueueFileWriter, StoresTheLatestRowsBeforeItStops)
{
    TemporaryFolder folder(QStringLiteral("writer"));
    const QString workPath = folder.path() + u'/';
    NamedMutex lock(QStringLiteral("mutex1"), folder.path());
    TransferQueue queue;
    {
        QueueFileWriter writer(queue, lock);
        for (int i = 0; i < 50; ++i) {
            QueueEntry entry;
            entry.source = QStringLiteral("/pub/f%1").arg(i);
            entry.target = QStringLiteral("/tmp/f%1").arg(i);
            entry.action = QueueAction::Download.toString();
            queue.AddQueueRow(entry, QStringLiteral("127.0.0.1"));
            writer.requestSave(workPath);
        }
    }
    TransferQueue loaded;
    ASSERT_EQ(QueueFile(workPath, lock).LoadQueue(loaded, QString()), 50);
    EXPECT_EQ(loaded.text(49, TransferQueue::SourceColumn), QStringLiteral("/pub/f49"));
    EXPECT_EQ(loaded.text(49, TransferQueue::StateColumn), QueueState::Paused);
}

} // namespace
