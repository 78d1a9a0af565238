#include "view/gui/RemoteFileCommands.h"

#include "config/Configuration.h"
#include "support/ModalDialogs.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CDlg.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
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

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    ASSERT_TRUE(VsftpdServer::giveToServerUser(path));
}

void answerDialog(const QString& text)
{
    OnNextModal<CDlg>([text](CDlg& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        dialog.accept();
    });
}

class RemoteFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        VsftpdOptions options;
        options.protocolLog = true;
        server = std::make_unique<VsftpdServer>(options);
        ASSERT_TRUE(server->start()) << server->errorText().toStdString();
        pub = server->pubPath();
        for (const char* name : {"ab1.txt", "abc.txt", "xyz.txt"})
            touch(pub + QLatin1Char('/') + QString::fromLatin1(name));
        ASSERT_TRUE(QDir(pub).mkpath(QStringLiteral("tree/inner")));
        ASSERT_TRUE(QDir(pub).mkpath(QStringLiteral("incoming")));
        touch(pub + QStringLiteral("/tree/inner/deep.txt"));
        for (const char* folder : {"tree", "tree/inner", "incoming"})
            ASSERT_TRUE(VsftpdServer::giveToServerUser(pub + QLatin1Char('/') +
                                                       QString::fromLatin1(folder)));

        view.initialUpdate(LoadConfiguration(work.path()));
        view.setHost(server->host());
        view.setPort(server->port());
        view.setUser(QStringLiteral("anonymous"));
        sessions.OnConnect();
        ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
        view.remotePathBox()->setEditText(QStringLiteral("/pub"));
        QTest::keyClick(view.remotePathBox()->lineEdit(), Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("xyz.txt")); }));
    }

    QStringList names() const
    {
        QStringList result;
        for (int row = 0; row < view.remoteFiles()->rowCount(); ++row)
            result << view.remoteFiles()->rowAt(row).texts.value(0);
        return result;
    }

    void select(const QStringList& wanted)
    {
        auto* selection = view.remoteList()->selectionModel();
        selection->clearSelection();
        for (int row = 0; row < view.remoteFiles()->rowCount(); ++row) {
            if (wanted.contains(view.remoteFiles()->rowAt(row).texts.value(0)))
                selection->select(view.remoteFiles()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    ProfileSandbox profile;
    QTemporaryDir work;
    std::unique_ptr<VsftpdServer> server;
    QString pub;
    CftpView view;
    ScriptedPrompt prompt;
    SessionController sessions{view, prompt, work.path()};
    RemoteFileCommands commands{view, sessions, prompt};
};

// Enter ends the edit; opening the folder as well would send RNFR from inside it.
TEST_F(RemoteFileCommandsTest, InPlaceRenameOfAFolderCommittedWithEnterRenamesItWhereItIs)
{
    view.resize(1000, 700);
    view.show();
    select({QStringLiteral("tree")});
    view.remoteList()->setCurrentIndex(
        view.remoteFiles()->index(static_cast<int>(names().indexOf(QStringLiteral("tree"))), 0));
    view.remoteList()->setFocus();
    QTest::keyClick(view.remoteList(), Qt::Key_F2);
    auto* editor = view.remoteList()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("grove"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("grove")); }));
    EXPECT_TRUE(QFileInfo::exists(pub + QStringLiteral("/grove/inner/deep.txt")));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/pub"));
    EXPECT_FALSE(names().contains(QStringLiteral("inner")));
}

TEST_F(RemoteFileCommandsTest, DeletingThreeEntriesAsksOnceAndRemovesFilesAndTrees)
{
    select({QStringLiteral("ab1.txt"), QStringLiteral("abc.txt"), QStringLiteral("tree")});
    commands.deleteSelected();
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除这3个文件")});
    ASSERT_TRUE(waitFor([&] { return !QFileInfo::exists(pub + QStringLiteral("/tree")); }));
    EXPECT_TRUE(waitFor([&] { return !names().contains(QStringLiteral("abc.txt")); }));
    EXPECT_FALSE(QFileInfo::exists(pub + QStringLiteral("/ab1.txt")));
    EXPECT_TRUE(QFileInfo::exists(pub + QStringLiteral("/xyz.txt")));
    EXPECT_TRUE(view.logText().contains(QStringLiteral("删除tree成功\r\n")));
}

TEST_F(RemoteFileCommandsTest, OneEntryIsAskedByNameAndNoKeepsIt)
{
    select({QStringLiteral("xyz.txt")});
    prompt.answerNext(PromptAnswer::No);
    commands.deleteSelected();
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除xyz.txt")});
    EXPECT_EQ(prompt.asked().front().caption, QStringLiteral("删除文件"));
    QTest::qWait(300);
    EXPECT_TRUE(QFileInfo::exists(pub + QStringLiteral("/xyz.txt")));
}

TEST_F(RemoteFileCommandsTest, NewFolderThroughTheDialogIsMadeOnTheServer)
{
    answerDialog(QStringLiteral("fresh"));
    commands.newFolder();
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("fresh")); }));
    EXPECT_TRUE(QFileInfo(pub + QStringLiteral("/fresh")).isDir());
}

TEST_F(RemoteFileCommandsTest, NewFolderThatExistsShowsTheBoxAndSendsNoMkd)
{
    answerDialog(QStringLiteral("incoming"));
    commands.newFolder();
    ASSERT_TRUE(waitFor([&] { return !prompt.texts().isEmpty(); }));
    EXPECT_EQ(prompt.texts().first(), QStringLiteral("文件夹incoming已存在"));
    QTest::qWait(200);
    EXPECT_FALSE(server->protocolLog().contains(QStringLiteral("MKD incoming")));
}

TEST_F(RemoteFileCommandsTest, MoveSendsFullPathsIntoTheTypedFolder)
{
    select({QStringLiteral("xyz.txt")});
    answerDialog(QStringLiteral("/pub/incoming"));
    commands.moveSelected();
    ASSERT_TRUE(
        waitFor([&] { return QFileInfo::exists(pub + QStringLiteral("/incoming/xyz.txt")); }));
    const QString log = server->protocolLog();
    EXPECT_TRUE(log.contains(QStringLiteral("RNFR /pub/xyz.txt")));
    EXPECT_TRUE(log.contains(QStringLiteral("RNTO /pub/incoming/xyz.txt")));
}

TEST_F(RemoteFileCommandsTest, SearchShowsOnlyMatchingNamesWithoutTheParentRow)
{
    answerDialog(QStringLiteral("ab"));
    commands.search();
    ASSERT_TRUE(waitFor([&] { return view.remoteFiles()->rowCount() == 2; }));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("ab1.txt"), QStringLiteral("abc.txt")}));
}

TEST_F(RemoteFileCommandsTest, DialogRenameOntoAnExistingFileReplacesItOnYes)
{
    select({QStringLiteral("ab1.txt")});
    answerDialog(QStringLiteral("xyz.txt"));
    commands.renameSelected();
    ASSERT_TRUE(waitFor([&] { return !QFileInfo::exists(pub + QStringLiteral("/ab1.txt")); }));
    EXPECT_TRUE(QFileInfo::exists(pub + QStringLiteral("/xyz.txt")));
    EXPECT_EQ(prompt.texts().first(), QStringLiteral("文件xyz.txt已存在是否覆盖"));
}

TEST_F(RemoteFileCommandsTest, InPlaceRenameOfTheParentRowIsRefused)
{
    ASSERT_EQ(view.remoteFiles()->rowAt(0).texts.value(0), QStringLiteral(".."));
    EXPECT_FALSE(view.remoteFiles()->flags(view.remoteFiles()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(commands.renameInPlace(QStringLiteral(".."), QStringLiteral("up")));
    const int xyz = static_cast<int>(names().indexOf(QStringLiteral("xyz.txt")));
    ASSERT_TRUE(view.remoteFiles()->setData(view.remoteFiles()->index(xyz, 0),
                                            QStringLiteral("renamed.txt")));
    EXPECT_TRUE(waitFor([&] { return QFileInfo::exists(pub + QStringLiteral("/renamed.txt")); }));
}

TEST_F(RemoteFileCommandsTest, MenuRulesFollowTheSelection)
{
    auto& rules = view.commands();
    view.remoteList()->selectionModel()->clearSelection();
    EXPECT_FALSE(rules.isEnabled(CommandId::RemoteDelete));
    EXPECT_FALSE(rules.isEnabled(CommandId::RemoteOpen));
    EXPECT_TRUE(rules.isEnabled(CommandId::RemoteRefresh));
    select({QStringLiteral("xyz.txt")});
    EXPECT_TRUE(rules.isEnabled(CommandId::RemoteOpen));
    EXPECT_TRUE(rules.isEnabled(CommandId::RemoteChangePath));
    select({QStringLiteral("tree")});
    EXPECT_FALSE(rules.isEnabled(CommandId::RemoteOpen));
    select({QStringLiteral("xyz.txt"), QStringLiteral("abc.txt")});
    EXPECT_FALSE(rules.isEnabled(CommandId::RemoteOpen));
    EXPECT_FALSE(rules.isEnabled(CommandId::RemoteChangePath));
    EXPECT_TRUE(rules.isEnabled(CommandId::RemoteDelete));
}

TEST_F(RemoteFileCommandsTest, SearchWithoutAConnectionSaysSo)
{
    sessions.OnDisconnect();
    commands.search();
    EXPECT_EQ(prompt.texts().last(), QStringLiteral("尚未连接"));
}

} // namespace
