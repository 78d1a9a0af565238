#include "queue/gui/QueueFixture.h"

#include "support/NamedCases.h"
#include "view/gui/CommandIds.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

TextRowsModel::Row file(const char* name, const char* size)
{
    return {{QString::fromUtf8(name), QStringLiteral("Mar 05 14:22"), QString::fromUtf8(size)},
            false};
}

TextRowsModel::Row folder(const char* name)
{
    return {{QString::fromUtf8(name), QStringLiteral("Mar 05 14:22"), QString()}, true};
}

using QueueCommandsTest = QueueFixture;

struct PauseAllCase {
    const char* name;
    int command;
};

class PauseAllTest : public QueueFixture, public testing::WithParamInterface<PauseAllCase> {};

TEST_P(PauseAllTest, PausesRunningAndWaitingRowsOnly)
{
    addRows("上传中 下载中 等待中 准备中 下载完成 跳过 err");
    dispatch(GetParam().command);
    EXPECT_EQ(statesText(), QStringLiteral("暂停 暂停 暂停 暂停 下载完成 跳过 err"));
}

INSTANTIATE_TEST_SUITE_P(Commands, PauseAllTest,
                         testing::Values(PauseAllCase{"QueueMenu", CommandId::QueuePauseAll},
                                         PauseAllCase{"FileMenuStop", CommandId::Stop}),
                         caseName);

struct NeedsConnectionCase {
    const char* name;
    int command;
    const char* notice;
};

class NeedsConnectionTest : public QueueFixture,
                            public testing::WithParamInterface<NeedsConnectionCase> {};

TEST_P(NeedsConnectionTest, TellsAndChangesNothing)
{
    viewFeatures->localPane().navigateTo(home.path());
    selectAll(view.localList());
    addRow(QStringLiteral("/a"), QStringLiteral("暂停"));
    selectQueueRows({0});
    dispatch(GetParam().command);
    EXPECT_EQ(prompt.texts(), QStringList{QString::fromUtf8(GetParam().notice)});
    EXPECT_EQ(states(), QStringList{QStringLiteral("暂停")});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NeedsConnectionTest,
    testing::Values(
        NeedsConnectionCase{"StartAll", CommandId::RunQueue, "尚未连接"},
        NeedsConnectionCase{"StartAllOfTheList", CommandId::QueueStartAll, "尚未连接"},
        NeedsConnectionCase{"Start", CommandId::QueueStart, "尚未连接"},
        NeedsConnectionCase{"Resume", CommandId::QueuePause, "尚未连接"},
        NeedsConnectionCase{"UploadOfTheList", CommandId::LocalUpload, "请先连接服务器"},
        NeedsConnectionCase{"UploadOfTheMenu", CommandId::Upload, "请先连接服务器"},
        NeedsConnectionCase{"AddUploads", CommandId::LocalAddToQueue, "请先连接服务器"}),
    caseName);

TEST_F(QueueCommandsTest, UploadAdderRefusesWithoutAConnection)
{
    features->commands().AddUploadFromPath(home.path(), QStringLiteral("/pub/x"), QString());
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("尚未连接")});
    EXPECT_EQ(queue().rowCount(), 0);
}

TEST_F(QueueCommandsTest, ClearEmptiesTheListAndTheFileAndStopsTransfers)
{
    addRow(QStringLiteral("/a"), QStringLiteral("下载中"));
    addRow(QStringLiteral("/b"), QStringLiteral("等待中"));
    features->store().SaveQueue();
    ASSERT_TRUE(features->store().waitUntilStored());
    ASSERT_GT(QFileInfo(storedFile()).size(), 0);
    dispatch(CommandId::QueueClear);
    settle();
    EXPECT_EQ(view.queueList()->model()->rowCount(), 0);
    EXPECT_EQ(QFileInfo(storedFile()).size(), 0);
    EXPECT_TRUE(features->stopAll().isRaised());
}

TEST_F(QueueCommandsTest, RemoveAndDeleteCompletedStoreWhatIsLeft)
{
    addRows("下载完成 暂停 上传完成 err");
    selectQueueRows({1});
    dispatch(CommandId::QueueRemove);
    EXPECT_EQ(storedSources().join(u' '), QStringLiteral("/下载完成 /上传完成 /err"));
    dispatch(CommandId::QueueDeleteFinished);
    EXPECT_EQ(storedSources(), QStringList{QStringLiteral("/err")});
    settle();
    EXPECT_EQ(view.queueList()->model()->rowCount(), 1);
}

TEST_F(QueueCommandsTest, QueueInformationCountsTheRows)
{
    addRow(QStringLiteral("/a"), QString());
    addRow(QStringLiteral("/b"), QString());
    dispatch(CommandId::QueueInformation);
    ASSERT_EQ(prompt.asked().size(), 1U);
    EXPECT_EQ(prompt.asked().front().text, QStringLiteral("队列中文件数:2\r\n"));
    EXPECT_EQ(prompt.asked().front().caption, QStringLiteral("队列信息"));
}

struct DownloadCase {
    const char* name;
    int command;
    const char* remoteFolder;
    const char* expectedSource;
};

class DownloadTest : public QueueFixture, public testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadTest, QueuesTheRemoteSelectionIntoTheLocalFolder)
{
    viewFeatures->localPane().navigateTo(home.path());
    showRemoteRows(QString::fromUtf8(GetParam().remoteFolder),
                   {folder(".."), folder("docs"), file("a.txt", "1.00KB")});
    selectAll(view.remoteList());
    dispatch(GetParam().command);
    const QString from = QString::fromUtf8(GetParam().expectedSource);
    EXPECT_EQ(rowsAsText(),
              (QStringList{QStringLiteral("%1docs > %2/docs Down 1").arg(from, home.path()),
                           QStringLiteral("%1a.txt > %2/a.txt Down 0").arg(from, home.path())}));
    EXPECT_EQ(column(TransferQueue::SizeColumn),
              (QStringList{QString(), QStringLiteral("1.00KB")}));
    EXPECT_EQ(storedSources(), column(TransferQueue::SourceColumn));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DownloadTest,
    testing::Values(DownloadCase{"DownloadInPub", CommandId::RemoteDownload, "/pub", "/pub/"},
                    DownloadCase{"DownloadAtTheRoot", CommandId::Download, "/", "/"},
                    DownloadCase{"AddDownloads", CommandId::RemoteAddToQueue, "/pub/", "/pub/"},
                    DownloadCase{"AddToQueue", CommandId::AddToQueue, "/pub", "/pub/"}),
    caseName);

TEST_F(QueueCommandsTest, SaveAsPutsEachFileIntoTheChosenFolder)
{
    const QString chosen = home.path() + QStringLiteral("/保存");
    features->commands().setFolderChooser([&chosen] { return chosen; });
    showRemoteRows(QStringLiteral("/pub"),
                   {file("a.txt", "1"), file("b.bin", "2.00MB"), file("c", "3.00KB")});
    selectAll(view.remoteList());
    dispatch(CommandId::RemoteSaveAs);
    EXPECT_EQ(rowsAsText(), (QStringList{QStringLiteral("/pub/a.txt > %1/a.txt Down 0").arg(chosen),
                                         QStringLiteral("/pub/b.bin > %1/b.bin Down 0").arg(chosen),
                                         QStringLiteral("/pub/c > %1/c Down 0").arg(chosen)}));
    features->commands().setFolderChooser([] { return QString(); });
    dispatch(CommandId::RemoteSaveAs);
    EXPECT_EQ(queue().rowCount(), 3);
}

// The file to open goes to a new folder under the cache folder, never over the work path's.
TEST_F(QueueCommandsTest, OpenLeavesTheFileInTheWorkPathAlone)
{
    const QString target = config.workPath + QStringLiteral("readme.txt");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old copy") > 0);
    old.close();
    showRemoteRows(QStringLiteral("/pub"), {file("readme.txt", "12")});
    selectAll(view.remoteList());
    ASSERT_TRUE(view.commands().isEnabled(CommandId::RemoteOpen));
    dispatch(CommandId::RemoteOpen);
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_TRUE(prompt.texts().isEmpty());
    const QString queued = queue().text(0, TransferQueue::TargetColumn);
    EXPECT_TRUE(
        queued.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/kevra/open/")));
    EXPECT_EQ(rowsAsText(),
              QStringList{QStringLiteral("/pub/readme.txt > %1 Downop 0").arg(queued)});
    EXPECT_EQ(storedSources(), QStringList{QStringLiteral("/pub/readme.txt")});
}

// A double click on one file of a wider selection downloads that file only.
TEST_F(QueueCommandsTest, DoubleClickDownloadsTheClickedFileOnly)
{
    showRemoteRows(QStringLiteral("/pub"), {file("a.txt", "1"), file("b.txt", "2")});
    selectAll(view.remoteList());
    Q_EMIT view.remoteList()->doubleClicked(view.remoteList()->model()->index(1, 0));
    EXPECT_EQ(column(TransferQueue::SourceColumn), QStringList{QStringLiteral("/pub/b.txt")});
}

struct EnabledCase {
    const char* name;
    int command;
    bool withoutSelection;
};

class List3EnabledTest : public QueueFixture, public testing::WithParamInterface<EnabledCase> {};

TEST_P(List3EnabledTest, FollowsTheQueueSelection)
{
    addRow(QStringLiteral("/a"), QStringLiteral("暂停"));
    settle();
    EXPECT_EQ(view.commands().isEnabled(GetParam().command), GetParam().withoutSelection);
    selectQueueRows({0});
    EXPECT_TRUE(view.commands().isEnabled(GetParam().command));
}

INSTANTIATE_TEST_SUITE_P(Commands, List3EnabledTest,
                         testing::Values(EnabledCase{"SelectAll", CommandId::QueueSelectAll, true},
                                         EnabledCase{"Start", CommandId::QueueStart, false},
                                         EnabledCase{"Pause", CommandId::QueuePause, false},
                                         EnabledCase{"Remove", CommandId::QueueRemove, false},
                                         EnabledCase{"Clear", CommandId::QueueClear, true},
                                         EnabledCase{"StartAll", CommandId::QueueStartAll, true},
                                         EnabledCase{"PauseAll", CommandId::QueuePauseAll, true},
                                         EnabledCase{"DeleteCompleted",
                                                     CommandId::QueueDeleteFinished, true}),
                         caseName);

TEST_F(QueueCommandsTest, APathWithALineBreakIsRefusedWithALogLine)
{
    EXPECT_EQ(addRow(QStringLiteral("/pub/bad\nname"), QString()), -1);
    settle();
    EXPECT_EQ(queue().rowCount(), 0);
    EXPECT_TRUE(view.logText().contains(QStringLiteral("/pub/bad\\nname")))
        << view.logText().toStdString();
    EXPECT_TRUE(view.logText().endsWith(QStringLiteral("\r\n")));
}

using ConnectedQueueTest = ConnectedQueueFixture;

// The pause/resume and start commands on the selected rows (or on all, for start all).
struct SelectionCase {
    const char* name;
    int command;
    const char* before;
    int selectedRows; // the first ones
    const char* after;
};

class SelectionCommandTest : public ConnectedQueueTest,
                             public testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionCommandTest, ChangesTheStatesOfTheSelection)
{
    const SelectionCase& c = GetParam();
    addRows(c.before);
    QList<int> selected;
    for (int row = 0; row < c.selectedRows; ++row)
        selected << row;
    selectQueueRows(selected);
    dispatch(c.command);
    EXPECT_EQ(statesText(), QString::fromUtf8(c.after));
    // The scheduler may already have tried a waiting row of the made-up server: "无连接".
    EXPECT_FALSE(prompt.texts().contains(QStringLiteral("尚未连接")));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SelectionCommandTest,
    testing::Values(SelectionCase{"ResumeWaitingAndPaused", CommandId::QueuePause,
                                  "等待中 暂停 下载中", 2, "等待中 等待中 下载中"},
                    SelectionCase{"ResumePausedAndWaiting", CommandId::QueuePause,
                                  "暂停 等待中 下载中", 2, "等待中 等待中 下载中"},
                    SelectionCase{"ResumeRunningAndSkipped", CommandId::QueuePause,
                                  "上传中 跳过 下载中", 2, "等待中 等待中 下载中"},
                    SelectionCase{"PauseWithoutAPausedRow", CommandId::QueuePause,
                                  "下载中 下载完成 等待中", 3, "暂停 下载完成 暂停"},
                    SelectionCase{"StartACompletedRow", CommandId::QueueStart, "下载完成 暂停", 1,
                                  "等待中 暂停"},
                    SelectionCase{"StartAll", CommandId::RunQueue, "下载完成 暂停 跳过", 0,
                                  "下载完成 等待中 跳过"}),
    caseName);

TEST_F(ConnectedQueueTest, UploadsQueueTheLocalSelectionIntoTheRemoteFolder)
{
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/up/sub")));
    QFile data(home.path() + QStringLiteral("/up/data.bin"));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.close();
    viewFeatures->localPane().navigateTo(home.path() + QStringLiteral("/up"));
    viewFeatures->sessions().remote().setCurrentFolder(QStringLiteral("/pub"));
    settle();
    selectAll(view.localList());
    dispatch(CommandId::LocalUpload);
    dispatch(CommandId::LocalAddToQueue);
    const QString local = home.path() + QStringLiteral("/up/");
    const QStringList once{QStringLiteral("%1sub > /pub/sub UP 1").arg(local),
                           QStringLiteral("%1data.bin > /pub/data.bin UP 0").arg(local)};
    EXPECT_EQ(rowsAsText(), once + once);
    const QString address = QStringLiteral("anonymous@%1:%2").arg(server.host()).arg(server.port());
    EXPECT_EQ(column(TransferQueue::AddressColumn), QStringList(4, address));
    EXPECT_EQ(storedSources().size(), 4);
}

} // namespace
