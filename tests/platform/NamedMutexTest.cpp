#include "platform/NamedMutex.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Locks on a thread of its own, so a test can see whether the lock is granted or still waited
// for, and releases on that thread once told to.
class LockOnOtherThread {
public:
    explicit LockOnOtherThread(NamedMutex& mutex)
        : worker_([this, &mutex] {
              mutex.lock();
              acquired_.set_value();
              release_.get_future().wait();
              mutex.unlock();
          })
    {
    }
    ~LockOnOtherThread()
    {
        releaseIfHeld();
        worker_.join();
    }

    bool acquiredWithin(std::chrono::milliseconds wait)
    {
        return acquiredFuture_.wait_for(wait) == std::future_status::ready;
    }
    void releaseIfHeld()
    {
        if (!released_) {
            released_ = true;
            release_.set_value();
        }
    }

private:
    std::promise<void> acquired_;
    std::future<void> acquiredFuture_ = acquired_.get_future();
    std::promise<void> release_;
    bool released_ = false;
    std::thread worker_;
};

// An outside process that holds the lock file with flock(1) until its standard input closes.
class OutsideHolder {
public:
    explicit OutsideHolder(const QString& lockFile)
    {
        process_.start(QStringLiteral("flock"),
                       {QStringLiteral("-o"), lockFile, QStringLiteral("-c"),
                        QStringLiteral("echo held; exec cat")});
    }
    ~OutsideHolder()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

    bool waitUntilHeld() { return process_.waitForReadyRead(10000); }
    void release() { process_.closeWriteChannel(); }
    void crash()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
};

// Whether another process could take the lock file right now (flock -n fails while held).
bool freeForOtherProcesses(const QString& lockFile)
{
    QProcess probe;
    probe.start(QStringLiteral("flock"), {QStringLiteral("-n"), lockFile, QStringLiteral("true")});
    if (!probe.waitForFinished(10000)) {
        probe.kill();
        probe.waitForFinished();
        ADD_FAILURE() << "flock probe did not finish";
        return false;
    }
    return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

class NamedMutexTest : public ::testing::Test {
protected:
    QString lockFile(const QString& name) const
    {
        return dir_.filePath(name + QStringLiteral(".lock"));
    }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

TEST_F(NamedMutexTest, IsRecursiveOnOneThread)
{
    NamedMutex mutex(QStringLiteral("mutex1"), folder());
    mutex.lock();
    mutex.lock();
    mutex.unlock();
    {
        LockOnOtherThread other(mutex);
        EXPECT_FALSE(other.acquiredWithin(100ms)) << "one unlock of two must not release it";
        mutex.unlock();
        EXPECT_TRUE(other.acquiredWithin(10s));
    }
    EXPECT_EQ(mutex.name(), QStringLiteral("mutex1"));
}

TEST_F(NamedMutexTest, TwoThreadsAreSerialised)
{
    NamedMutex first(QStringLiteral("mutex2"), folder());
    NamedMutex second(QStringLiteral("mutex2"), folder());
    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0};
    auto work = [&](NamedMutex& mutex) {
        for (int round = 0; round < 200; ++round) {
            mutex.lock();
            if (inside.exchange(true))
                ++overlaps;
            std::this_thread::yield();
            inside = false;
            mutex.unlock();
        }
    };
    std::thread a(work, std::ref(first));
    std::thread b(work, std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(overlaps, 0);
}

TEST_F(NamedMutexTest, DifferentNamesAndFoldersAreIndependent)
{
    QTemporaryDir otherFolder;
    NamedMutex held(QStringLiteral("mutex1"), folder());
    NamedMutex otherName(QStringLiteral("mutex3"), folder());
    NamedMutex otherPlace(QStringLiteral("mutex1"), otherFolder.path());
    held.lock();
    {
        LockOnOtherThread byName(otherName);
        EXPECT_TRUE(byName.acquiredWithin(10s));
    }
    {
        LockOnOtherThread byFolder(otherPlace);
        EXPECT_TRUE(byFolder.acquiredWithin(10s));
    }
    held.unlock();
}

TEST_F(NamedMutexTest, AnotherProcessIsBlockedWhileHeld)
{
    NamedMutex mutex(QStringLiteral("mutex1"), folder());
    mutex.lock();
    mutex.lock();
    EXPECT_FALSE(freeForOtherProcesses(lockFile(QStringLiteral("mutex1"))));
    mutex.unlock();
    EXPECT_FALSE(freeForOtherProcesses(lockFile(QStringLiteral("mutex1"))))
        << "still held once by this thread";
    mutex.unlock();
    EXPECT_TRUE(freeForOtherProcesses(lockFile(QStringLiteral("mutex1"))));
}

TEST_F(NamedMutexTest, WaitsForAnotherProcessToRelease)
{
    OutsideHolder holder(lockFile(QStringLiteral("mutex2")));
    ASSERT_TRUE(holder.waitUntilHeld());
    NamedMutex mutex(QStringLiteral("mutex2"), folder());
    LockOnOtherThread waiter(mutex);
    EXPECT_FALSE(waiter.acquiredWithin(200ms));
    holder.release();
    EXPECT_TRUE(waiter.acquiredWithin(10s));
}

TEST_F(NamedMutexTest, ACrashedHolderLeavesItFree)
{
    OutsideHolder holder(lockFile(QStringLiteral("mutex1")));
    ASSERT_TRUE(holder.waitUntilHeld());
    NamedMutex mutex(QStringLiteral("mutex1"), folder());
    LockOnOtherThread waiter(mutex);
    EXPECT_FALSE(waiter.acquiredWithin(200ms));
    holder.crash();
    EXPECT_TRUE(waiter.acquiredWithin(10s));
}

TEST_F(NamedMutexTest, CreatesItsFolderWhenMissing)
{
    const QString missing = QDir(folder()).filePath(QStringLiteral("not/yet"));
    NamedMutex mutex(QStringLiteral("mutex1"), missing);
    mutex.lock();
    const QString file = QDir(missing).filePath(QStringLiteral("mutex1.lock"));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(freeForOtherProcesses(file));
    mutex.unlock();
    EXPECT_TRUE(freeForOtherProcesses(file));
}

} // namespace
