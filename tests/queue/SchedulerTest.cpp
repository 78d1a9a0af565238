#include "queue/QueueEntry.h"
#include "queue/QueueScheduler.h"
#include "queue/QueueStartHandler.h"
#include "queue/SessionForAddress.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "session/LogonRecord.h"
#include "session/SessionRegistry.h"
#include "support/ScriptedPrompt.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

int addRow(TransferQueue& queue, const QString& name, QStringView state)
{
    QueueEntry entry;
    entry.source = QStringLiteral("/pub/") + name;
    entry.target = QStringLiteral("/tmp/") + name;
    entry.action = QueueAction::Download.toString();
    entry.state = state.toString();
    return queue.AddQueueRow(entry, QStringLiteral("127.0.0.1"));
}

// The requests a scheduler made, as seen from the test's thread.
class RequestLog {
public:
    void add(int row)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        rows_.push_back(row);
    }
    std::vector<int> rows() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return rows_;
    }

private:
    mutable std::mutex mutex_; // guards rows_
    std::vector<int> rows_;
};

// Rows are asked for in order, each once the handler has taken it; a row nobody takes is asked
// for again after a pause, and rows that are not waiting are left alone.
TEST(QueueScheduler, AsksForEachWaitingRowInOrderUntilItIsTaken)
{
    TransferQueue queue;
    addRow(queue, QStringLiteral("a"), QueueState::Paused);
    addRow(queue, QStringLiteral("b"), QueueState::Downloaded);
    for (int i = 0; i < 3; ++i)
        addRow(queue, QStringLiteral("w%1").arg(i), QueueState::Waiting);
    RequestLog requests;
    bool taking = false; // read and written on the scheduler's thread only
    QueueScheduler scheduler(queue, [&](int row) {
        requests.add(row);
        if (taking)
            queue.setText(row, TransferQueue::StateColumn, QueueState::Preparing.toString());
        taking = requests.rows().size() >= 2;
    });
    scheduler.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests.rows().size() == 5; }, 5000));
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    scheduler.stop();
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_EQ(requests.rows(), (std::vector<int>{2, 2, 2, 3, 4}));
}

TEST(SessionForAddress, MatchesTheWholeHostOfATabbedSession)
{
    SessionRegistry registry;
    registry.add(QStringLiteral("127.0.0.12"), 1000);
    registry.attachTab(1000);
    registry.add(QStringLiteral("127.0.0.1"), 1001); // still logging on: no tab yet
    EXPECT_EQ(SessionForAddress(registry, QStringLiteral("127.0.0.1")), -1);
    registry.attachTab(1001);
    registry.add(QStringLiteral("127.0.0.1"), 1002);
    registry.attachTab(1002);
    EXPECT_EQ(SessionForAddress(registry, QStringLiteral("127.0.0.1")), 1001);
    EXPECT_EQ(SessionForAddress(registry, QStringLiteral("127.0.0.12")), 1000);
    EXPECT_EQ(SessionForAddress(registry, QString()), -1);
}

// Two of four tabs share a host: the labels tell them apart, and an entry finds the tab of its
// own server and account; an older entry's bare server only a tab it cannot be mistaken for.
TEST(SessionForAddress, FindsTheTabOfTheEntrysServerAndAccount)
{
    SessionRegistry registry;
    const LogonRecord logons[] = {
        {QStringLiteral("127.0.0.1"), QStringLiteral("anonymous"), 2121, QString()},
        {QStringLiteral("127.0.0.1"), QStringLiteral("tester"), 2122, QString()},
        {QStringLiteral("ftpes://Example.com"), QStringLiteral("me@mail"), 21, QString()},
        {QStringLiteral("sftp://files.example.org"), QStringLiteral("me"), 21, QString()}};
    std::vector<SessionIdentity> identities;
    for (int id = 0; id < 4; ++id) {
        registry.add(logons[id], id);
        registry.attachTab(id);
        identities.push_back(SessionIdentity::of(logons[id]));
    }
    EXPECT_EQ(
        SessionIdentity::tabLabels(identities),
        (QStringList{QStringLiteral("anonymous@127.0.0.1:2121"),
                     QStringLiteral("tester@127.0.0.1:2122"), QStringLiteral("ftpes://Example.com"),
                     QStringLiteral("sftp://files.example.org")}));
    const std::pair<const char*, int> cases[] = {{"tester@127.0.0.1:2122", 1},
                                                 {"anonymous@127.0.0.1:2121", 0},
                                                 {"tester@127.0.0.1:2121", -1},
                                                 {"ftp://tester@127.0.0.1:2122", -1},
                                                 {"ftpes://me@mail@example.com:21", 2},
                                                 {"127.0.0.1", -1},
                                                 {"127.0.0.1:2122", 1},
                                                 {"EXAMPLE.com", 2},
                                                 {"ftp://example.com", -1},
                                                 {"sftp://me@files.example.org:22", 3},
                                                 {"sftp://files.example.org", 3},
                                                 {"files.example.org", -1}};
    for (const auto& [address, session] : cases)
        EXPECT_EQ(SessionForAddress(registry, QString::fromUtf8(address)), session) << address;
}

// The start handler without a free slot, or for a row that is no longer waiting, changes
// nothing: the scheduler asks again later.
TEST(QueueStartHandler, StartsOnlyAWaitingRowWhileASlotIsFree)
{
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    ScriptedPrompt prompt;
    TransferEnvironment env;
    env.queue = &queue;
    env.slots = &slots;
    env.stopAll = &stopAll;
    env.prompt = &prompt;
    env.findSession = [](const QString&) { return -1; };
    QueueStartHandler handler(env);
    const int paused = addRow(queue, QStringLiteral("p"), QueueState::Paused);
    const int waiting = addRow(queue, QStringLiteral("w"), QueueState::Waiting);

    handler.OnQueueStart(paused);
    handler.OnQueueStart(7);
    EXPECT_EQ(queue.text(paused, TransferQueue::StateColumn), QueueState::Paused);
    while (slots.tryTake()) {
    }
    handler.OnQueueStart(waiting);
    EXPECT_EQ(queue.text(waiting, TransferQueue::StateColumn), QueueState::Waiting);
    EXPECT_TRUE(prompt.asked().empty());
    slots.giveBack();
    handler.OnQueueStart(waiting);
    EXPECT_EQ(queue.text(waiting, TransferQueue::StateColumn), QueueState::Preparing);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("无连接")});
    EXPECT_EQ(slots.count(), 0);
}

} // namespace
