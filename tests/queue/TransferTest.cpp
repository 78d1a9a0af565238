#include "TransferFixture.h"
#include "ftp/FtpClient.h"
#include "queue/TransferContext.h"
#include "queue/TransferOneFile.h"
#include "session/FtpFileSystem.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"
#include "session/SessionMessages.h"
#include "support/NamedCases.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

constexpr qint64 smallFile = 64 * 1024;
constexpr qint64 slowFile = 2 * 1024 * 1024; // four seconds at the server's rate

class TransferTest : public TransferFixture {
protected:
    using TransferFixture::TransferFixture;

    // A row that moves the named file between the server's /pub and the local folder.
    int addTransfer(bool download, const QString& name)
    {
        return download ? addDownload(name, name) : addUpload(name, name);
    }

    QString sourceFile(bool download, const QString& name) const
    {
        return download ? remoteFile(name) : localFile(name);
    }

    QString targetFile(bool download, const QString& name) const
    {
        return download ? localFile(name) : remoteFile(name);
    }

    // Waits until the transfer of row has moved some bytes into its temporary file.
    bool waitForPart(int row, const QString& temporary)
    {
        return waitForRunning(row) && waitUntil([&] { return sizeOf(temporary) > 64 * 1024; });
    }

    // True once the file has kept its size for a second.
    static bool waitForSteadySize(const QString& path)
    {
        qint64 last = -1;
        for (int round = 0; round < waitMs / 1000; ++round) {
            const qint64 now = sizeOf(path);
            if (now == last)
                return true;
            last = now;
            QTest::qWait(1000);
        }
        return false;
    }

    // Pauses a running row, as the pause command does, and waits for its monitor to let go.
    void pause(int row)
    {
        ASSERT_TRUE(queue.setText(row, TransferQueue::StateColumn, QueueState::Paused.toString()));
        ASSERT_TRUE(slotsBack(3000));
    }
};

struct DirectionCase {
    const char* name;
    bool download;
    const char16_t* done;
    const char16_t* startLine;
    const char16_t* doneLine;
};

const DirectionCase directions[] = {
    {"Download", true, u"下载完成", u"开始下载\r\n", u"下载完成\r\n"},
    {"Upload", false, u"上传完成", u"开始上传\r\n", u"上传完成\r\n"},
};

// Loopback sockets hold megabytes, which an interrupted upload still delivers to the server:
// a faster server and a larger file keep the part well short of the whole file.
class TransferDirectionTest : public TransferTest,
                              public ::testing::WithParamInterface<DirectionCase> {
protected:
    static constexpr qint64 fastRate = 4 * 1024 * 1024;
    static constexpr qint64 largeFile = 16 * 1024 * 1024;

    TransferDirectionTest() : TransferTest(VsftpdOptions{false, fastRate, true}) {}
};

// A pause leaves the part under the temporary name; the next start continues it from there
// (REST with the part's length, or APPE after the server's SIZE of its part) to an identical
// file under the final name.
TEST_P(TransferDirectionTest, PausedTransferResumesFromItsPartAndEndsIdentical)
{
    const DirectionCase& c = GetParam();
    const QString name = QStringLiteral("slow.bin");
    // vsftpd sends a download well above its rate limit at first, so a download needs more.
    const qint64 size = c.download ? 3 * largeFile : largeFile;
    makeFile(sourceFile(c.download, name), size);
    const QString temporary = TransferOneFile::temporaryName(targetFile(c.download, name));
    const int row = addTransfer(c.download, name);
    ASSERT_TRUE(waitForPart(row, temporary));
    ASSERT_TRUE(waitUntil([&] { return !queue.text(row, TransferQueue::SpeedColumn).isEmpty(); }));
    EXPECT_NE(queue.text(row, TransferQueue::ProgressColumn), QStringLiteral("0%"));

    pause(row);
    EXPECT_EQ(state(row), QueueState::Paused);
    EXPECT_TRUE(queue.text(row, TransferQueue::SpeedColumn).isEmpty());
    const QString source = c.download ? QStringLiteral("/pub/slow.bin") : localFile(name);
    EXPECT_EQ(log(), (QStringList{source + QString::fromUtf16(c.startLine),
                                  source + QStringLiteral("中断...\r\n")}));
    // The server goes on storing what was already on its way; the user restarts later.
    ASSERT_TRUE(waitForSteadySize(temporary));
    const qint64 part = sizeOf(temporary);
    ASSERT_GT(part, 0);
    ASSERT_LT(part, size);

    restart(row);
    ASSERT_TRUE(waitForState(row, QString::fromUtf16(c.done))) << state(row).toStdString();
    EXPECT_EQ(sizeOf(targetFile(c.download, name)), size) << part;
    EXPECT_EQ(sha256(targetFile(c.download, name)), sha256(sourceFile(c.download, name)));
    const QString resumedAt = c.download ? QStringLiteral("\"REST %1\"").arg(part)
                                         : QStringLiteral("\"213 %1\"").arg(part);
    EXPECT_TRUE(server.protocolLog().contains(resumedAt)) << resumedAt.toStdString();
    EXPECT_FALSE(QFile::exists(temporary));
    EXPECT_EQ(log().last(), source + QString::fromUtf16(c.doneLine));
    EXPECT_EQ(queue.text(row, TransferQueue::ProgressColumn), QStringLiteral("100%"));
    ASSERT_TRUE(slotsBack());
    EXPECT_TRUE(waitUntil([this] { return sizeOf(QueueFile::pathIn(workPath())) > 0; }));
}

INSTANTIATE_TEST_SUITE_P(Directions, TransferDirectionTest, ::testing::ValuesIn(directions),
                         caseName);

TEST_F(TransferTest, SixRowsRunFiveAtOnceAndGiveEverySlotBack)
{
    for (int i = 0; i < 6; ++i)
        makeFile(remoteFile(QStringLiteral("six%1.bin").arg(i)), 768 * 1024);
    for (int i = 0; i < 6; ++i)
        addDownload(QStringLiteral("six%1.bin").arg(i), QStringLiteral("six%1.bin").arg(i));

    auto countIn = [this](QStringView wanted) {
        int n = 0;
        for (int i = 0; i < queue.rowCount(); ++i)
            n += state(i) == wanted ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(waitUntil([&] { return countIn(QueueState::Downloading) == 5; }));
    EXPECT_EQ(state(5), QueueState::Waiting);
    EXPECT_EQ(slots.count(), -1);
    ASSERT_TRUE(waitUntil([&] { return countIn(QueueState::Downloaded) == 6; }));
    ASSERT_TRUE(slotsBack());
    for (int i = 0; i < 6; ++i) {
        const QString name = QStringLiteral("six%1.bin").arg(i);
        EXPECT_EQ(sha256(localFile(name)), sha256(remoteFile(name))) << i;
    }
}

TEST_F(TransferTest, SecondRowToTheSameTargetIsSkippedWithTheMessage)
{
    const QString name = QStringLiteral("same.bin");
    makeFile(remoteFile(name), slowFile);
    const int first = addDownload(name, name);
    ASSERT_TRUE(waitForRunning(first));
    const int second = addDownload(name, name);

    ASSERT_TRUE(waitForState(second, QueueState::Skipped));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("已存在任务") + localFile(name)});
    EXPECT_EQ(slots.count(), TransferSlots::InitialCount - 1);
    pause(first);
}

struct OverwriteCase {
    const char* name;
    bool download;
    PromptAnswer answer;
    const char16_t* endState;
};

const OverwriteCase overwriteCases[] = {
    {"DownloadYes", true, PromptAnswer::Yes, u"下载完成"},
    {"DownloadNo", true, PromptAnswer::No, u"跳过"},
    {"UploadYes", false, PromptAnswer::Yes, u"上传完成"},
    {"UploadNo", false, PromptAnswer::No, u"跳过"},
};

class TransferOverwriteTest : public TransferTest,
                              public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(TransferOverwriteTest, ExistingTargetIsReplacedOnlyAfterYes)
{
    const OverwriteCase& c = GetParam();
    const QString name = QStringLiteral("old.bin");
    const QByteArray fresh = makeFile(sourceFile(c.download, name), smallFile);
    const QString target = targetFile(c.download, name);
    makeFile(target, 1000);
    const QByteArray before = sha256(target);
    prompt.answerNext(c.answer);
    const int row = addTransfer(c.download, name);

    ASSERT_TRUE(waitForState(row, QString::fromUtf16(c.endState)));
    const QString shownPath = c.download ? target : QStringLiteral("/pub/old.bin");
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].text, shownPath + QStringLiteral("已存在是否覆盖"));
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("发现同名文件"));
    EXPECT_EQ(sha256(target),
              c.answer == PromptAnswer::Yes
                  ? QCryptographicHash::hash(fresh, QCryptographicHash::Sha256).toHex()
                  : before);
    ASSERT_TRUE(slotsBack());
}

INSTANTIATE_TEST_SUITE_P(Answers, TransferOverwriteTest, ::testing::ValuesIn(overwriteCases),
                         caseName);

// Clearing raises the stop flag and empties the queue: every running transfer ends within about
// one monitor cycle and the stored queue is empty.
TEST_F(TransferTest, ClearWhileThreeRunInterruptsAllAndEmptiesTheQueueFile)
{
    for (int i = 0; i < 3; ++i) {
        makeFile(remoteFile(QStringLiteral("c%1.bin").arg(i)), slowFile);
        addDownload(QStringLiteral("c%1.bin").arg(i), QStringLiteral("c%1.bin").arg(i));
    }
    // A transfer stopped while still preparing logs nothing: wait until all three move bytes.
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(waitForRunning(row));

    QElapsedTimer clock;
    clock.start();
    stopAll.raise();
    queue.clear();
    QueueFile(workPath(), engineLock).SaveQueue(queue);
    ASSERT_TRUE(slotsBack(5000));
    EXPECT_LT(clock.elapsed(), 2500);
    ASSERT_TRUE(waitUntil([this] { return log().filter(QStringLiteral("中断...")).size() == 3; }));
    EXPECT_EQ(sizeOf(QueueFile::pathIn(workPath())), 0);
    EXPECT_TRUE(log().filter(QStringLiteral("err")).isEmpty());
}

// The row of a running transfer is removed: the transfer stops and the row that took its index
// is never written.
TEST_F(TransferTest, RemovedRowInterruptsItsTransferAndLeavesTheNextRowAlone)
{
    makeFile(remoteFile(QStringLiteral("gone.bin")), slowFile);
    const int running = addDownload(QStringLiteral("gone.bin"), QStringLiteral("gone.bin"));
    ASSERT_TRUE(waitForRunning(running));
    QueueEntry bystander = entry(QStringLiteral("/pub/other.bin"),
                                 localFile(QStringLiteral("other.bin")), QueueAction::Download, 0);
    bystander.state = QueueState::Paused.toString();
    queue.AddQueueRow(bystander, server.host());
    const TransferQueue::Row before = *queue.row(1);

    queue.removeRows({running});
    ASSERT_TRUE(slotsBack(3000));
    QTest::qWait(1200);
    EXPECT_EQ(queue.row(0)->columns, before.columns);
    EXPECT_EQ(logCount(QStringLiteral("/pub/gone.bin中断...\r\n")), 1);
}

// The server dies mid-file: the entry fails and keeps its part; once the server is back, a
// new start completes the file from that part.
TEST_F(TransferTest, ServerKilledMidTransferFailsKeepsThePartAndResumesLater)
{
    const QString name = QStringLiteral("cut.bin");
    makeFile(remoteFile(name), slowFile);
    const QString temporary = TransferOneFile::temporaryName(localFile(name));
    const int row = addDownload(name, name);
    ASSERT_TRUE(waitForPart(row, temporary));

    server.kill();
    ASSERT_TRUE(waitForState(row, QueueState::Failed, 10000)) << state(row).toStdString();
    EXPECT_EQ(logCount(QStringLiteral("err.....\r\n")), 1);
    EXPECT_GT(sizeOf(temporary), 0);
    EXPECT_FALSE(QFile::exists(localFile(name)));
    ASSERT_TRUE(slotsBack());

    ASSERT_TRUE(server.revive()) << server.errorText().toStdString();
    connectSession();
    restart(row);
    ASSERT_TRUE(waitForState(row, QueueState::Downloaded)) << state(row).toStdString();
    EXPECT_EQ(sha256(localFile(name)), sha256(remoteFile(name)));
}

// The engine forgets an abort when its next transfer call begins; the transfer's own stop
// request is kept, so a file the walk reaches after the stop is not started at all.
TEST_F(TransferTest, StopRequestedBeforeTheNextFileIsNotLost)
{
    makeFile(remoteFile(QStringLiteral("next.bin")), smallFile);
    auto connection = std::make_shared<FtpFileSystem>(&prompt);
    FtpClient* client = connection->ftp();
    LogonInfo info;
    info.host = server.host();
    info.port = server.port();
    info.user = QStringLiteral("anonymous");
    ASSERT_TRUE(client->Logon(info));
    TransferContext context(slots);
    context.attachClient(connection);
    context.requestStop();
    RemoteBrowserState browser;
    RemoteNameEncodings encodings;
    RemoteOperations remoteOps(*connection, browser, encodings, engineLock, prompt, {});
    TransferOneFile moveFile(
        *connection, remoteOps, [&] { return context.stopRequested(); },
        [this](const QString& text) { logLines << text; }, QString());

    EXPECT_FALSE(
        moveFile(true, QStringLiteral("/pub/next.bin"), localFile(QStringLiteral("next.bin"))));
    EXPECT_TRUE(log().isEmpty());
    EXPECT_FALSE(QFile::exists(localFile(QStringLiteral("next.bin.td"))));
    EXPECT_FALSE(server.protocolLog().contains(QStringLiteral("RETR")));
}

// A session that never lends its logon: the start handler's request is lost on the way.
class TransferWithoutLogonTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        TransferEnvironment env = environment();
        env.postToSession = [](int, int, std::unique_ptr<MailPayload>) { return true; };
        env.networkTimeout = std::chrono::milliseconds(1500);
        handler = std::make_unique<QueueStartHandler>(env);
    }
};

// Pausing a row whose worker still waits for its logon ends both threads and frees the slot.
TEST_F(TransferWithoutLogonTest, RowPausedWhilePreparingEndsTheTransfer)
{
    makeFile(remoteFile(QStringLiteral("wait.bin")), smallFile);
    const int row = addDownload(QStringLiteral("wait.bin"), QStringLiteral("wait.bin"));
    ASSERT_TRUE(waitForState(row, QueueState::Preparing));
    EXPECT_EQ(slots.count(), TransferSlots::InitialCount - 1);

    queue.setText(row, TransferQueue::StateColumn, QueueState::Paused.toString());
    ASSERT_TRUE(slotsBack(3000));
    QTest::qWait(200);
    EXPECT_EQ(state(row), QueueState::Paused);
    EXPECT_TRUE(log().isEmpty());
}

// Without a logon the worker gives up after the network time-out and the entry fails.
TEST_F(TransferWithoutLogonTest, LogonThatNeverComesEndsInErr)
{
    makeFile(remoteFile(QStringLiteral("never.bin")), smallFile);
    const int row = addDownload(QStringLiteral("never.bin"), QStringLiteral("never.bin"));
    ASSERT_TRUE(waitForState(row, QueueState::Failed, 10000)) << state(row).toStdString();
    EXPECT_EQ(logCount(QStringLiteral("err.....\r\n")), 1);
    ASSERT_TRUE(slotsBack());
}

// A temporary file of the entry's longer than the whole file cannot be a part of it: the entry
// fails once, the part goes, and the next start moves the whole file.
TEST_P(TransferDirectionTest, OverlongPartIsDroppedSoTheNextStartCompletes)
{
    const DirectionCase& c = GetParam();
    const QString name = QStringLiteral("over.bin");
    makeFile(sourceFile(c.download, name), smallFile);
    const QString temporary = TransferOneFile::temporaryName(targetFile(c.download, name));
    makeFile(temporary, 2 * smallFile);
    const int row = addTransfer(c.download, name);
    // The part is the entry's own, left by an earlier start.
    const QString target = queue.text(row, TransferQueue::TargetColumn);
    queue.setParts(queue.text(row, TransferQueue::SourceColumn), target,
                   TransferOneFile::temporaryName(target));

    ASSERT_TRUE(waitForState(row, QueueState::Failed)) << state(row).toStdString();
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(temporary); }));
    ASSERT_TRUE(slotsBack());
    restart(row);
    ASSERT_TRUE(waitForState(row, QString::fromUtf16(c.done))) << state(row).toStdString();
    EXPECT_EQ(sha256(targetFile(c.download, name)), sha256(sourceFile(c.download, name)));
}

// Each transfer has its own result: one that fails while another runs does not mark the other.
TEST_F(TransferTest, FailureOfOneTransferLeavesTheOtherComplete)
{
    makeFile(remoteFile(QStringLiteral("good.bin")), slowFile);
    const int good = addDownload(QStringLiteral("good.bin"), QStringLiteral("good.bin"));
    ASSERT_TRUE(waitForRunning(good));
    const int bad = addUpload(QStringLiteral("missing.bin"), QStringLiteral("missing.bin"));

    ASSERT_TRUE(waitForState(bad, QueueState::Failed));
    EXPECT_EQ(state(good), QueueState::Downloading);
    ASSERT_TRUE(waitForState(good, QueueState::Downloaded)) << state(good).toStdString();
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("无法访问文件") +
                                          localFile(QStringLiteral("missing.bin"))});
}

TEST_F(TransferTest, UnknownActionEndsInErrWithoutMovingAnything)
{
    makeFile(remoteFile(QStringLiteral("odd.bin")), smallFile);
    const int row = queue.AddQueueRow(
        entry(QStringLiteral("/pub/odd.bin"), localFile(QStringLiteral("odd.bin")), u"Move", 0),
        server.host());
    ASSERT_TRUE(waitForState(row, QueueState::Failed));
    ASSERT_TRUE(slotsBack());
    EXPECT_EQ(log(), QStringList{QStringLiteral("err\r\n")});
    EXPECT_FALSE(server.protocolLog().contains(QStringLiteral("RETR")));
}

// The session has listed a folder holding UTF-8 names and one GBK name; the queue fetches
// what the pane shows, names ending in a blank included.
TEST_F(TransferTest, NamesOfAMixedFolderArriveUnderTheNamesShown)
{
    const QByteArray gbkName = TextCodec::toGbk(QStringLiteral("旧.txt"));
    const QByteArray gbkPath = QFile::encodeName(server.pubPath()) + '/' + gbkName;
    const int descriptor = ::open(gbkPath.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(descriptor, 0);
    ::close(descriptor);
    const QStringList names{QStringLiteral("资料.txt"), QStringLiteral("notes ")};
    for (const QString& name : names)
        makeFile(remoteFile(name), smallFile);
    browserState.setPathBoxText(QStringLiteral("/pub"));
    session->post(QM_NAVIGATE);
    auto listed = std::make_shared<Mailbox>();
    session->post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(listed));
    ASSERT_TRUE(listed->take(std::chrono::milliseconds(waitMs)).has_value());

    for (const QString& name : names) {
        const int row = addDownload(name, name);
        ASSERT_TRUE(waitForState(row, QueueState::Downloaded)) << name.toStdString();
        EXPECT_EQ(sha256(localFile(name)), sha256(remoteFile(name))) << name.toStdString();
    }
}

} // namespace
