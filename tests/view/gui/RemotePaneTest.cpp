#include "config/Configuration.h"
#include "session/SessionMessages.h"
#include "session/SessionThread.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        QTest::qWait(50);
    return condition();
}

void makeFile(const QString& path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}

// The remote pane of a fully wired main view against a vsftpd serving a prepared tree.
class RemotePaneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        VsftpdOptions options;
        options.utf8Filesystem = true;
        options.protocolLog = true;
        server = new VsftpdServer(options);
        ASSERT_TRUE(server->start()) << server->errorText().toStdString();
        const QString root = server->rootPath();
        for (const char* folder : {"docs/inner", "中文 目录", "pub/incoming"})
            ASSERT_TRUE(QDir(root).mkpath(QString::fromUtf8(folder)));
        makeFile(root + QStringLiteral("/empty.txt"), 0);
        makeFile(root + QStringLiteral("/small.txt"), 1023);
        makeFile(root + QStringLiteral("/kilo.bin"), 1024);
        makeFile(root + QStringLiteral("/mega.bin"), 1048576);
        makeFile(root + QStringLiteral("/huge.iso"), qint64(3) * 1024 * 1024 * 1024);
        makeFile(root + QStringLiteral("/with space.txt"), 10);
        makeFile(root + QStringLiteral("/docs/inner/deep.txt"), 5);
    }

    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        view.initialUpdate(LoadConfiguration(work.path()));
        connectOnce();
    }

    void connectOnce()
    {
        view.setHost(server->host());
        view.setPort(server->port());
        view.setUser(QStringLiteral("anonymous"));
        const int tabs = view.sessionTabs()->count();
        features.sessions().OnConnect();
        ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == tabs + 1; }));
    }

    QStringList names() const
    {
        QStringList result;
        for (int row = 0; row < view.remoteFiles()->rowCount(); ++row)
            result << view.remoteFiles()->rowAt(row).texts.value(0);
        return result;
    }

    QString column(const QString& name, int index) const
    {
        const auto row = names().indexOf(name);
        return row < 0 ? QStringLiteral("<missing>")
                       : view.remoteFiles()->rowAt(static_cast<int>(row)).texts.value(index);
    }

    bool showing(const QString& name) const { return names().contains(name); }

    void selectRow(const QString& name)
    {
        const auto row = static_cast<int>(names().indexOf(name));
        ASSERT_GE(row, 0) << name.toStdString();
        auto* selection = view.remoteList()->selectionModel();
        selection->clearSelection();
        selection->select(view.remoteFiles()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void open(const QString& name)
    {
        selectRow(name);
        features.sessions().openRemoteRow();
    }

    static VsftpdServer* server;
    ProfileSandbox profile;
    QTemporaryDir work;
    CftpView view;
    ScriptedPrompt prompt;
    ViewFeatures features{view, prompt, work.path()};
};

VsftpdServer* RemotePaneTest::server = nullptr;

TEST_F(RemotePaneTest, ListsFoldersFirstInReverseServerOrderThenFilesWithSizes)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    const QStringList shown = names();
    EXPECT_EQ(shown.first(), QStringLiteral(".."));
    // vsftpd lists by name; folders come out reversed, files in the server's order.
    EXPECT_EQ(shown.mid(1, 3), (QStringList{QStringLiteral("中文 目录"), QStringLiteral("pub"),
                                            QStringLiteral("docs")}));
    EXPECT_EQ(shown.mid(4),
              (QStringList{QStringLiteral("empty.txt"), QStringLiteral("huge.iso"),
                           QStringLiteral("kilo.bin"), QStringLiteral("mega.bin"),
                           QStringLiteral("small.txt"), QStringLiteral("with space.txt")}));
    const struct {
        const char* name;
        const char* size;
    } sizes[] = {{"empty.txt", "0"},     {"small.txt", "1023"},  {"kilo.bin", "1.00KB"},
                 {"mega.bin", "1.00MB"}, {"huge.iso", "3.00GB"}, {"docs", ""}};
    for (const auto& c : sizes)
        EXPECT_EQ(column(QString::fromUtf8(c.name), 2), QString::fromUtf8(c.size)) << c.name;
    EXPECT_EQ(column(QStringLiteral("small.txt"), 3), QStringLiteral("rw-r--r--"));
    EXPECT_FALSE(column(QStringLiteral("small.txt"), 1).isEmpty());
}

TEST_F(RemotePaneTest, OpeningFoldersGoesDownAndParentRowGoesUpButNotAboveTheRoot)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("docs")); }));
    open(QStringLiteral("docs"));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/docs"));
    open(QStringLiteral("inner"));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("deep.txt")); }));
    EXPECT_EQ(features.sessions().remote().currentFolder(), QStringLiteral("/docs/inner"));
    features.sessions().remoteUp(); // Backspace
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    open(QStringLiteral(".."));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
    const int items = view.remotePathBox()->count();
    open(QStringLiteral(".."));
    QTest::qWait(200);
    EXPECT_EQ(view.remotePathBox()->count(), items);
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
}

TEST_F(RemotePaneTest, ChineseFolderWithASpaceOpens)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("中文 目录")); }));
    open(QStringLiteral("中文 目录"));
    ASSERT_TRUE(waitFor([&] { return names() == QStringList{QStringLiteral("..")}; }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/中文 目录"));
}

// Typing sends nothing: each intermediate text would be a CWD and, most often, a failure.
TEST_F(RemotePaneTest, TypedPathNavigatesOnEnterAndTheShownFolderSendsNothing)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("pub")); }));
    QLineEdit* edit = view.remotePathBox()->lineEdit();
    const auto cwds = [] { return server->protocolLog().count(QStringLiteral("\"CWD /p")); };
    const auto before = cwds();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("/pub"));
    QTest::qWait(300);
    EXPECT_EQ(cwds(), before);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("incoming")); }));
    view.remotePathBox()->setEditText(QStringLiteral("/nowhere"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::qWait(300);
    EXPECT_TRUE(showing(QStringLiteral("incoming")));
}

// A new tab whose first folder the server refuses shows its own home folder, never the listing
// the previous tab left in the pane.
TEST_F(RemotePaneTest, NewTabWhoseFolderIsRefusedShowsItsHomeFolder)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("docs")); }));
    open(QStringLiteral("docs"));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    features.sessions().openAfterLogon(QStringLiteral("/nowhere"));
    connectOnce();
    EXPECT_FALSE(showing(QStringLiteral("inner")));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    EXPECT_TRUE(view.logText().contains(QStringLiteral("打开文件夹/nowhere失败:550")));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
}

TEST_F(RemotePaneTest, SortBySizeKeepsParentAndFoldersOnTopInBothDirections)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    auto* header = view.remoteList()->header();
    Q_EMIT header->sectionClicked(2);
    QStringList shown = names();
    EXPECT_EQ(shown.first(), QStringLiteral(".."));
    EXPECT_EQ(shown.mid(4, 6),
              (QStringList{QStringLiteral("empty.txt"), QStringLiteral("with space.txt"),
                           QStringLiteral("small.txt"), QStringLiteral("kilo.bin"),
                           QStringLiteral("mega.bin"), QStringLiteral("huge.iso")}));
    Q_EMIT header->sectionClicked(2);
    shown = names();
    EXPECT_EQ(shown.first(), QStringLiteral(".."));
    EXPECT_TRUE(view.remoteFiles()->rowAt(1).folder);
    EXPECT_EQ(shown.last(), QStringLiteral("empty.txt"));
    EXPECT_EQ(shown[4], QStringLiteral("huge.iso"));
}

TEST_F(RemotePaneTest, SelectAllSkipsTheParentRow)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    view.commands().dispatch(CommandId::RemoteSelectAll);
    const auto selected = view.remoteList()->selectionModel()->selectedRows();
    EXPECT_EQ(selected.size(), view.remoteFiles()->rowCount() - 1);
    for (const QModelIndex& index : selected)
        EXPECT_NE(index.row(), 0);
}

TEST_F(RemotePaneTest, SwitchingTabsShowsEachSessionsFolder)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("docs")); }));
    open(QStringLiteral("docs"));
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    connectOnce();
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    view.sessionTabs()->setCurrentIndex(0);
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/docs"));
    view.sessionTabs()->setCurrentIndex(1);
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
}

TEST_F(RemotePaneTest, LogonAddsTheHomeFolderTwiceToThePathBoxAndListsItOnce)
{
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    features.sessions().OnDisconnect();
    const auto lists = [] {
        static const QRegularExpression list(
            QStringLiteral("FTP command: Client \"[^\"]*\", \"LIST"));
        return server->protocolLog().count(list);
    };
    const auto before = lists();
    connectOnce();
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    QTest::qWait(300); // time for a second listing, were one started
    QComboBox* box = view.remotePathBox();
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), QStringLiteral("/"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("/"));
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(lists(), before + 1);
}

// Requests run in posting order: once a later logon request is answered, the session has
// carried out every earlier one.
void finishPending(SessionThread& session)
{
    auto mailbox = std::make_shared<Mailbox>();
    session.post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(mailbox));
    ASSERT_TRUE(mailbox->take(std::chrono::milliseconds(10000)).has_value());
    QTest::qWait(50);
}

// Tab 0 shows /docs, tab 1 the root, and tab 1 is selected.
class TwoTabsTest : public RemotePaneTest {
protected:
    void SetUp() override
    {
        RemotePaneTest::SetUp();
        ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("docs")); }));
        open(QStringLiteral("docs"));
        ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
        connectOnce();
        ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("huge.iso")); }));
    }

    SessionThread* current() { return features.sessions().currentSession(); }
};

TEST_F(TwoTabsTest, TheSelectedTabStaysCurrentWhileAnotherTabFinishesItsRequests)
{
    view.sessionTabs()->setCurrentIndex(0);
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    SessionThread* first = current();
    for (int request = 0; request < 20; ++request)
        features.sessions().refreshRemote();
    view.sessionTabs()->setCurrentIndex(1);
    SessionThread* second = current();
    ASSERT_NE(first, second);
    finishPending(*first);
    finishPending(*second);

    EXPECT_EQ(current(), second);
    EXPECT_TRUE(showing(QStringLiteral("huge.iso")));
    EXPECT_FALSE(showing(QStringLiteral("inner")));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
    features.sessions().refreshRemote();
    finishPending(*second);
    EXPECT_TRUE(showing(QStringLiteral("huge.iso")));
}

TEST_F(TwoTabsTest, DisconnectingTheSelectedTabShowsTheRemainingTabsFolderAtOnce)
{
    features.sessions().OnDisconnect();
    ASSERT_EQ(view.sessionTabs()->count(), 1);
    EXPECT_EQ(view.sessionTabs()->currentIndex(), 0);
    ASSERT_TRUE(waitFor([&] { return showing(QStringLiteral("inner")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/docs"));
    EXPECT_EQ(features.sessions().remote().currentFolder(), QStringLiteral("/docs"));
}

} // namespace
