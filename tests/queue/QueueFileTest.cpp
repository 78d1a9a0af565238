#include "queue/QueueFile.h"
#include "accounts/AES.h"
#include "platform/NamedMutex.h"
#include "platform/TextCodec.h"
#include "queue/TransferQueue.h"
#include "support/NamedCases.h"
#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

// Thirteen CR-closed fields and an LF, the way the file stores one row.
QByteArray record(std::initializer_list<const char*> fields)
{
    QByteArray text;
    for (const char* field : fields)
        text += TextCodec::toGbk(QString::fromUtf8(field)) + '\r';
    return text + '\n';
}

QByteArray fileRecord(const char* source, const char* state, const char* kind)
{
    return record({source, "host", "1KB", "0%", "/tmp/t", "Down", "", "", "", "", "", state, kind});
}

QueueEntry download(const QString& source, const QString& state)
{
    QueueEntry entry;
    entry.source = source;
    entry.target = QStringLiteral("/home/u/t");
    entry.action = QStringLiteral("Down");
    entry.state = state;
    return entry;
}

class QueueFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QByteArray storedBytes() const
    {
        QFile file(queueFile_.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray storedText() const { return AES().DecryptText(storedBytes()); }
    void storeText(const QByteArray& text) const { storeBytes(AES().EncryptText(text)); }
    void storeBytes(const QByteArray& bytes) const
    {
        QFile file(queueFile_.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    int load(TransferQueue& queue) const
    {
        return queueFile_.LoadQueue(queue, QStringLiteral("box"));
    }

    TemporaryFolder folder_{QStringLiteral("queuefile")};
    NamedMutex mutex1_{QStringLiteral("mutex1"), folder_.path()};
    QueueFile queueFile_{folder_.path() + u'/', mutex1_};
};

TEST_F(QueueFileTest, PathIsWorkPathPlusName)
{
    EXPECT_EQ(QueueFile::pathIn(QStringLiteral("/w/")), QStringLiteral("/w/WFL.dat"));
    EXPECT_EQ(QueueFile::pathIn(QStringLiteral("/w")), QStringLiteral("/w/WFL.dat"));
    EXPECT_EQ(queueFile_.path(), folder_.filePath(QStringLiteral("WFL.dat")));
}

TEST_F(QueueFileTest, WaitingDownloadIsStoredPausedAsAFile)
{
    TransferQueue queue;
    ASSERT_TRUE(queue.AddDownload(QStringLiteral("/pub/a.txt"), QStringLiteral("/home/u/a.txt"), 0,
                                  QStringLiteral("12KB"), QStringLiteral("ftp.host"), queueFile_));
    EXPECT_EQ(storedBytes().size() % AES::BlockSize, 0);
    EXPECT_EQ(storedText(), record({"/pub/a.txt", "ftp.host", "12KB", "0%", "/home/u/a.txt", "Down",
                                    "", "", "", "", "", "暂停", "F"}));
}

TEST_F(QueueFileTest, StoredFileIsPrivate)
{
    TransferQueue queue;
    ASSERT_TRUE(
        queue.AddUpload(QStringLiteral("/l/a"), QStringLiteral("/r/a"), 7, {}, {}, queueFile_));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(queueFile_.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(queue.row(0)->folder, 1);
    EXPECT_EQ(queue.text(0, TransferQueue::ActionColumn), QStringLiteral("UP"));
}

struct StateCase {
    const char* name;
    const char* state;
    const char* stored;
    bool keepsSpeed = true;
};

class StoredStateTest : public QueueFileTest, public testing::WithParamInterface<StateCase> {};

TEST_P(StoredStateTest, ReloadsWithTheStoredState)
{
    TransferQueue queue;
    QueueEntry entry = download(QStringLiteral("/a"), QString::fromUtf8(GetParam().state));
    entry.speed = QStringLiteral("1.00kb/s");
    queue.AddQueueRow(entry, {});
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    TransferQueue reloaded;
    ASSERT_EQ(load(reloaded), 1);
    EXPECT_EQ(reloaded.text(0, TransferQueue::StateColumn), QString::fromUtf8(GetParam().stored));
    EXPECT_EQ(reloaded.text(0, TransferQueue::SpeedColumn),
              GetParam().keepsSpeed ? entry.speed : QString());
    EXPECT_EQ(queue.text(0, TransferQueue::StateColumn), QString::fromUtf8(GetParam().state));
}

INSTANTIATE_TEST_SUITE_P(States, StoredStateTest,
                         testing::Values(StateCase{"Waiting", "等待中", "暂停", false},
                                         StateCase{"Preparing", "准备中", "暂停", false},
                                         StateCase{"Downloading", "下载中", "暂停", false},
                                         StateCase{"Uploading", "上传中", "暂停", false},
                                         StateCase{"Paused", "暂停", "暂停"},
                                         StateCase{"Skipped", "跳过", "跳过"},
                                         StateCase{"Downloaded", "下载完成", "下载完成"},
                                         StateCase{"Failed", "err", "err"}),
                         caseName);

TEST_F(QueueFileTest, ClearedQueueLeavesAnEmptyFileAndLoadsEmpty)
{
    TransferQueue queue;
    queue.AddQueueRow(download(QStringLiteral("/a"), {}), {});
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    ASSERT_FALSE(storedBytes().isEmpty());
    queue.clear();
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    EXPECT_TRUE(QFile::exists(queueFile_.path()));
    EXPECT_EQ(QFileInfo(queueFile_.path()).size(), 0);
    TransferQueue reloaded;
    EXPECT_EQ(load(reloaded), 0);
    EXPECT_EQ(reloaded.rowCount(), 0);
}

TEST_F(QueueFileTest, MissingFileLoadsNothing)
{
    TransferQueue queue;
    EXPECT_EQ(load(queue), 0);
    EXPECT_FALSE(QFile::exists(queueFile_.path()));
}

struct KindCase {
    const char* name;
    const char* kind;
    int folder;
};

class KindFieldTest : public QueueFileTest, public testing::WithParamInterface<KindCase> {};

TEST_P(KindFieldTest, OnlyExactlyDIsAFolder)
{
    storeText(fileRecord("/a", "暂停", GetParam().kind));
    TransferQueue queue;
    ASSERT_EQ(load(queue), 1);
    EXPECT_EQ(queue.row(0)->folder, GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Kinds, KindFieldTest,
                         testing::Values(KindCase{"D", "D", 1}, KindCase{"F", "F", 0},
                                         KindCase{"DD", "DD", 0}, KindCase{"LowerD", "d", 0},
                                         KindCase{"Empty", "", 0}),
                         caseName);

TEST_F(QueueFileTest, ThreeRecordsLoadInOrderWithoutStrayLineFeeds)
{
    storeText(fileRecord("/one", "暂停", "F") + fileRecord("/two", "err", "D") +
              fileRecord("/three", "下载完成", "F"));
    TransferQueue queue;
    ASSERT_EQ(load(queue), 3);
    EXPECT_EQ(queue.text(0, TransferQueue::SourceColumn), QStringLiteral("/one"));
    EXPECT_EQ(queue.text(1, TransferQueue::SourceColumn), QStringLiteral("/two"));
    EXPECT_EQ(queue.text(2, TransferQueue::SourceColumn), QStringLiteral("/three"));
    EXPECT_EQ(queue.text(1, TransferQueue::AddressColumn), QStringLiteral("host"));
}

TEST_F(QueueFileTest, ShortRecordRunsOnIntoTheNext)
{
    const QByteArray shortRecord = record({"/lost", "host"});
    const QList<QueueEntry> entries =
        QueueFile::parseText(shortRecord + fileRecord("/b", "暂停", "F"));
    // The two stray fields shift the next record's fields by two; its last two fall off.
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].source, QStringLiteral("/lost"));
    EXPECT_EQ(entries[0].address, QStringLiteral("host"));
    EXPECT_EQ(entries[0].size, QStringLiteral("/b"));
    EXPECT_EQ(entries[0].state, QStringLiteral(""));
    EXPECT_EQ(entries[0].folder, 0);
}

TEST_F(QueueFileTest, ExtraFieldsAreDroppedAndTrailingTextIgnored)
{
    QByteArray text = fileRecord("/a", "暂停", "D");
    text.insert(text.size() - 1, QByteArray("extra\rmore\r"));
    text += "/unfinished\rhost\r";
    const QList<QueueEntry> entries = QueueFile::parseText(text);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].source, QStringLiteral("/a"));
    EXPECT_EQ(entries[0].folder, 1);
}

// A paused download comes back showing how much its part holds, and still owns that part.
TEST_F(QueueFileTest, RestoredDownloadShowsItsPartAndKeepsIt)
{
    const QByteArray target = QFile::encodeName(folder_.path() + QStringLiteral("/big.bin"));
    const QByteArray part = target + ".1.td";
    QFile partFile(QString::fromUtf8(part));
    ASSERT_TRUE(partFile.open(QIODevice::WriteOnly) && partFile.write(QByteArray(58368, 'x')));
    partFile.close();
    storeText(record({"/big.bin", "host", "100.00KB", "0%", target.constData(), "Down", "", "", "",
                      "", "", "暂停", "F", part.constData()}));
    TransferQueue queue;
    ASSERT_EQ(load(queue), 1);
    EXPECT_EQ(queue.text(0, TransferQueue::ProgressColumn), QStringLiteral("57%"));
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    EXPECT_TRUE(storedText().endsWith("\rF\r" + part + "\r\n"));
}

struct DamageCase {
    const char* name;
    qsizetype keptBytes; // -1 keeps all and appends junk instead
    int rows;
    int dropped;
};

class DamagedFileTest : public QueueFileTest, public testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedFileTest, LoadsTheWholeRecordsItStillHolds)
{
    const QByteArray records = fileRecord("/a", "暂停", "F") + fileRecord("/b", "暂停", "F");
    QByteArray bytes = AES().EncryptText(records);
    if (GetParam().keptBytes < 0)
        bytes += QByteArray(7, '\x5a');
    else
        bytes.truncate(GetParam().keptBytes);
    storeBytes(bytes);
    TransferQueue queue;
    int dropped = -1;
    EXPECT_EQ(queueFile_.LoadQueue(queue, QStringLiteral("box"), &dropped), GetParam().rows);
    EXPECT_EQ(dropped, GetParam().dropped);
    for (int i = 0; i < queue.rowCount(); ++i)
        EXPECT_FALSE(queue.text(i, TransferQueue::SourceColumn).contains(u'\n'));
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedFileTest,
                         testing::Values(DamageCase{"Whole", -1, 2, 0},
                                         DamageCase{"Empty", 0, 0, 0},
                                         DamageCase{"PartialBlock", 9, 0, 0},
                                         // The first record ends at byte 43, inside block 3.
                                         DamageCase{"FirstRecordOnly", 48, 1, 1},
                                         DamageCase{"FirstRecordPlusPartial", 53, 1, 1}),
                         caseName);

TEST_F(QueueFileTest, ForeignBytesLoadNothing)
{
    storeBytes(QByteArray(64, '\x11'));
    TransferQueue queue;
    EXPECT_EQ(load(queue), 0);
}

TEST_F(QueueFileTest, ChinesePathsRoundTripAsGbk)
{
    const QString source = QStringLiteral("/公共/中文文件.txt");
    const QString target = QStringLiteral("/home/用户/下载/中文文件.txt");
    TransferQueue queue;
    ASSERT_TRUE(queue.AddDownload(source, target, 0, QStringLiteral("1.5MB"),
                                  QStringLiteral("主机"), queueFile_));
    EXPECT_TRUE(storedText().startsWith(TextCodec::toGbk(source) + '\r'));
    TransferQueue reloaded;
    ASSERT_EQ(load(reloaded), 1);
    EXPECT_EQ(reloaded.text(0, TransferQueue::SourceColumn), source);
    EXPECT_EQ(reloaded.text(0, TransferQueue::TargetColumn), target);
    EXPECT_EQ(reloaded.text(0, TransferQueue::AddressColumn), QStringLiteral("主机"));
}

TEST_F(QueueFileTest, RowWithLineBreakIsLeftOutRatherThanBreakingTheFile)
{
    TransferQueue queue;
    queue.AddQueueRow(download(QStringLiteral("/a"), {}), {});
    queue.AddQueueRow(download(QStringLiteral("/bad\nname"), {}), {});
    queue.AddQueueRow(download(QStringLiteral("/nul") + QChar(0), {}), {});
    queue.AddQueueRow(download(QStringLiteral("/c"), {}), {});
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    TransferQueue reloaded;
    ASSERT_EQ(load(reloaded), 2);
    EXPECT_EQ(reloaded.text(0, TransferQueue::SourceColumn), QStringLiteral("/a"));
    EXPECT_EQ(reloaded.text(1, TransferQueue::SourceColumn), QStringLiteral("/c"));
}

// Saves as a user without write access to the folder: root ignores the folder's mode, so then
// the save runs in a child that has given up root.
bool saveWithoutWriteAccess(QueueFile& file, const TransferQueue& queue, const QString& folder)
{
    const QByteArray folderName = QFile::encodeName(folder);
    if (::geteuid() != 0) {
        ::chmod(folderName.constData(), 0500);
        const bool saved = file.SaveQueue(queue);
        ::chmod(folderName.constData(), 0700);
        return saved;
    }
    ::chmod(folderName.constData(), 0755);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(file.SaveQueue(queue) ? 0 : 1);
    }
    int status = 0;
    const bool waited = child > 0 && ::waitpid(child, &status, 0) == child;
    ::chmod(folderName.constData(), 0700);
    // Only a save that ran and reported failure counts as not saved.
    return !(waited && WIFEXITED(status) && WEXITSTATUS(status) == 1);
}

TEST_F(QueueFileTest, WriteFailureReportsFalseAndKeepsTheOldFile)
{
    TransferQueue queue;
    queue.AddQueueRow(download(QStringLiteral("/kept"), {}), {});
    ASSERT_TRUE(queueFile_.SaveQueue(queue));
    const QByteArray before = storedBytes();
    queue.AddQueueRow(download(QStringLiteral("/new"), {}), {});
    EXPECT_FALSE(saveWithoutWriteAccess(queueFile_, queue, folder_.path()));
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(queue.rowCount(), 2);
    EXPECT_EQ(QDir(folder_.path()).entryList(QDir::Files).size(), 2); // WFL.dat and mutex1.lock
}

TEST_F(QueueFileTest, WriteFailureInAMissingFolderReportsFalse)
{
    NamedMutex lock(QStringLiteral("mutex1"), folder_.path());
    QueueFile missing(folder_.filePath(QStringLiteral("absent/")), lock);
    TransferQueue queue;
    queue.AddQueueRow(download(QStringLiteral("/a"), {}), {});
    EXPECT_FALSE(missing.SaveQueue(queue));
    EXPECT_EQ(queue.rowCount(), 1);
}

TEST_F(QueueFileTest, ConcurrentAddsAndSavesNeverCorruptTheFile)
{
    TransferQueue queue;
    constexpr int RowsEach = 40;
    auto writer = [this, &queue](const QString& prefix) {
        NamedMutex lock(QStringLiteral("mutex1"), folder_.path());
        QueueFile file(folder_.path() + u'/', lock);
        for (int i = 0; i < RowsEach; ++i) {
            EXPECT_TRUE(queue.AddDownload(prefix + QString::number(i), QStringLiteral("/t"), 0, {},
                                          QStringLiteral("box"), file));
        }
    };
    std::thread first(writer, QStringLiteral("/first/"));
    std::thread second(writer, QStringLiteral("/second/"));
    first.join();
    second.join();
    TransferQueue reloaded;
    ASSERT_EQ(load(reloaded), 2 * RowsEach);
    EXPECT_EQ(QueueFile::plainText(reloaded.snapshot()), QueueFile::plainText(queue.snapshot()));
    EXPECT_EQ(storedBytes().size() % AES::BlockSize, 0);
}

} // namespace
