#include "view/gui/LocalPaneFixture.h"

#include "support/ModalDialogs.h"
#include "support/NamedCases.h"
#include "view/gui/CDlg.h"
#include "view/gui/CommandIds.h"
#include "view/gui/MenuBuilder.h"
#include "view/gui/PropertiesDialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

#include <initializer_list>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeContent(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Types text into the dialog's edit and presses its OK button; remembers the preset text.
std::function<void(CDlg&)> answerDialog(const QString& text, QStringList* presets = nullptr)
{
    return [text, presets](CDlg& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ctl1002"));
        ASSERT_NE(edit, nullptr);
        if (presets != nullptr)
            *presets << edit->text();
        edit->setText(text);
        dialog.findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
    };
}

class LocalFileCommandsTest : public LocalPaneFixture {
protected:
    // Makes the entries on the desktop, each file one byte, and shows the list again; a name
    // ending in '/' is a folder.
    void show(std::initializer_list<const char*> entries)
    {
        for (const char* entry : entries) {
            const QString name = QString::fromUtf8(entry);
            if (name.endsWith(u'/'))
                makeFolder(name.chopped(1));
            else
                writeFile(name);
        }
        pane.RefreshLocalList();
    }

    bool exists(const char* name) const { return QFileInfo::exists(path(QString::fromUtf8(name))); }

    void expectAskedOnce(const QString& text, const QString& caption, PromptButtons buttons)
    {
        const auto asked = prompt.asked();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, text);
        EXPECT_EQ(asked[0].caption, caption);
        EXPECT_EQ(asked[0].buttons, buttons);
    }

    // The in-place editor of the local list, once one is open.
    QLineEdit* nameEditor() const { return view.localList()->viewport()->findChild<QLineEdit*>(); }

    void editNameInPlace(const QString& name, const QString& typed)
    {
        view.localList()->setCurrentIndex(indexOf(name));
        view.localList()->setFocus();
        QTest::keyClick(view.localList(), Qt::Key_F2);
        QLineEdit* editor = nameEditor();
        ASSERT_NE(editor, nullptr);
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        settle();
    }
};

TEST_F(LocalFileCommandsTest, NewFolderTakesItsNameFromTheDialog)
{
    for (int command : {CommandId::LocalNewFolder, CommandId::NewLocalFolder}) {
        const QString name = QStringLiteral("made%1").arg(command);
        OnNextModal<CDlg>(answerDialog(name));
        view.commands().dispatch(command);
        EXPECT_TRUE(QFileInfo(path(name)).isDir()) << command;
        EXPECT_NE(rowOf(name), -1) << command;
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(LocalFileCommandsTest, NewFolderThatExistsIsReported)
{
    makeFolder(QStringLiteral("docs"));
    OnNextModal<CDlg>(answerDialog(QStringLiteral("docs")));
    view.commands().dispatch(CommandId::LocalNewFolder);
    expectAskedOnce(QStringLiteral("文件夹") + path(QStringLiteral("docs")) +
                        QStringLiteral("已存在"),
                    QStringLiteral("发现同名文件"), PromptButtons::Ok);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("docs"))).isDir());
}

TEST_F(LocalFileCommandsTest, CancelledNewFolderCreatesNothing)
{
    OnNextModal<CDlg>([](CDlg& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("ctl1002"))->setText(QStringLiteral("x"));
        dialog.findChild<QPushButton*>(QStringLiteral("ctl8"))->click();
    });
    view.commands().dispatch(CommandId::LocalNewFolder);
    EXPECT_FALSE(exists("x"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("..")});
}

struct OverwriteCase {
    const char* name;
    PromptAnswer answer;
    QByteArray expectedTarget;
    bool sourceRemains;
};

class RenameOntoExisting : public LocalFileCommandsTest,
                           public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(RenameOntoExisting, AsksBeforeReplacingThroughTheDialog)
{
    writeContent(path(QStringLiteral("a.txt")), "from a");
    writeContent(path(QStringLiteral("b.txt")), "from b");
    pane.RefreshLocalList();
    selectNames({QStringLiteral("a.txt")});
    prompt.answerNext(GetParam().answer);
    QStringList presets;
    OnNextModal<CDlg>(answerDialog(QStringLiteral("b.txt"), &presets));
    view.commands().dispatch(CommandId::LocalRename);

    EXPECT_EQ(presets, QStringList{QStringLiteral("a.txt")});
    expectAskedOnce(QStringLiteral("文件b.txt已存在是否覆盖"), QStringLiteral("发现同名文件"),
                    PromptButtons::YesNo);
    EXPECT_EQ(contentOf(path(QStringLiteral("b.txt"))), GetParam().expectedTarget);
    EXPECT_EQ(exists("a.txt"), GetParam().sourceRemains);
    EXPECT_EQ(rowOf(QStringLiteral("a.txt")) != -1, GetParam().sourceRemains);
}

INSTANTIATE_TEST_SUITE_P(Answers, RenameOntoExisting,
                         ::testing::Values(OverwriteCase{"Yes", PromptAnswer::Yes, "from a", false},
                                           OverwriteCase{"No", PromptAnswer::No, "from b", true}),
                         caseName);

TEST_F(LocalFileCommandsTest, RenameAsksForEverySelectedRowAndCancelMovesOn)
{
    show({"a.txt", "b.txt"});
    selectNames({QStringLiteral(".."), QStringLiteral("b.txt"), QStringLiteral("a.txt")});
    QStringList presets;
    OnNextModal<CDlg>([&presets](CDlg& first) {
        presets << first.findChild<QLineEdit*>(QStringLiteral("ctl1002"))->text();
        OnNextModal<CDlg>(answerDialog(QStringLiteral("c.txt"), &presets));
        first.reject();
    });
    view.commands().dispatch(CommandId::LocalRename);
    EXPECT_EQ(presets, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    EXPECT_TRUE(exists("a.txt"));
    EXPECT_TRUE(exists("c.txt"));
    EXPECT_FALSE(exists("b.txt"));
    EXPECT_NE(rowOf(QStringLiteral("c.txt")), -1);
}

TEST_F(LocalFileCommandsTest, InPlaceRenameRenamesTheEntry)
{
    show({"a.txt"});
    editNameInPlace(QStringLiteral("a.txt"), QStringLiteral("renamed.txt"));
    EXPECT_TRUE(exists("renamed.txt"));
    EXPECT_FALSE(exists("a.txt"));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("renamed.txt")}));
    EXPECT_TRUE(prompt.texts().isEmpty());
}

// Enter ends the edit; it must not also open the folder being renamed.
TEST_F(LocalFileCommandsTest, InPlaceRenameOfAFolderCommittedWithEnterStaysInTheFolderShown)
{
    show({"folder/", "folder/inside.txt"});
    editNameInPlace(QStringLiteral("folder"), QStringLiteral("renamed"));
    EXPECT_TRUE(exists("renamed/inside.txt"));
    EXPECT_FALSE(exists("folder"));
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("renamed")}));
    EXPECT_TRUE(view.localList()->hasFocus());
}

TEST_F(LocalFileCommandsTest, InPlaceRenameOntoAnExistingEntryAsksFirst)
{
    writeContent(path(QStringLiteral("a.txt")), "from a");
    writeContent(path(QStringLiteral("b.txt")), "from b");
    pane.RefreshLocalList();
    prompt.answerNext(PromptAnswer::No);
    editNameInPlace(QStringLiteral("a.txt"), QStringLiteral("b.txt"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("文件b.txt已存在是否覆盖")});
    EXPECT_EQ(contentOf(path(QStringLiteral("a.txt"))), "from a");
    EXPECT_EQ(contentOf(path(QStringLiteral("b.txt"))), "from b");
}

TEST_F(LocalFileCommandsTest, InPlaceRenameToAnEmptyOrTheSameNameChangesNothing)
{
    writeContent(path(QStringLiteral("a.txt")), "same");
    pane.RefreshLocalList();
    for (const QString& typed : {QString(), QStringLiteral("a.txt")}) {
        editNameInPlace(QStringLiteral("a.txt"), typed);
        EXPECT_EQ(contentOf(path(QStringLiteral("a.txt"))), "same");
        EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("a.txt")}));
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(LocalFileCommandsTest, F2EditsTheNameWhicheverCellIsCurrent)
{
    show({"a.txt"});
    view.localList()->setCurrentIndex(indexOf(QStringLiteral("a.txt"), 2));
    view.localList()->setFocus();
    QTest::keyClick(view.localList(), Qt::Key_F2);
    QLineEdit* editor = nameEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("a.txt"));
    QTest::keyClick(editor, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(exists("a.txt"));
}

TEST_F(LocalFileCommandsTest, TheParentRowIsNeverRenamedInPlace)
{
    const QModelIndex parentRow = indexOf(QStringLiteral(".."));
    EXPECT_FALSE(view.localFiles()->flags(parentRow).testFlag(Qt::ItemIsEditable));
    view.localList()->setCurrentIndex(parentRow);
    view.localList()->setFocus();
    QTest::keyClick(view.localList(), Qt::Key_F2);
    EXPECT_EQ(nameEditor(), nullptr);
    EXPECT_FALSE(view.localFiles()->setData(parentRow, QStringLiteral("gone")));
    settle();
    EXPECT_TRUE(QFileInfo(temp.path()).isDir());
    EXPECT_EQ(shownNames().first(), QStringLiteral(".."));
}

TEST_F(LocalFileCommandsTest, OnlyTheNameColumnIsEditable)
{
    show({"a.txt"});
    EXPECT_TRUE(view.localFiles()->flags(indexOf(QStringLiteral("a.txt"))) & Qt::ItemIsEditable);
    for (int column : {1, 2})
        EXPECT_FALSE(view.localFiles()->flags(indexOf(QStringLiteral("a.txt"), column)) &
                     Qt::ItemIsEditable);
}

TEST_F(LocalFileCommandsTest, DeletingThreeEntriesAsksOnceAndLogsEach)
{
    show({"folder/inner/", "folder/inner/deep.txt", "a.txt", "b.txt"});
    selectNames({QStringLiteral("folder"), QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    view.commands().dispatch(CommandId::LocalDelete);

    expectAskedOnce(QStringLiteral("是否删除这3个文件"), QStringLiteral("删除文件"),
                    PromptButtons::YesNo);
    EXPECT_EQ(view.logText(), path(QStringLiteral("folder")) + QStringLiteral("删除成功\r\n") +
                                  path(QStringLiteral("a.txt")) + QStringLiteral("删除成功\r\n") +
                                  path(QStringLiteral("b.txt")) + QStringLiteral("删除成功\r\n"));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("..")});
    EXPECT_FALSE(exists("folder"));
}

TEST_F(LocalFileCommandsTest, AnsweringNoToTheCountDeletesNothing)
{
    show({"a.txt", "b.txt"});
    selectNames({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    prompt.answerNext(PromptAnswer::No);
    view.commands().dispatch(CommandId::Delete);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除这2个文件")});
    EXPECT_TRUE(exists("a.txt"));
    EXPECT_TRUE(view.logText().isEmpty());
}

TEST_F(LocalFileCommandsTest, ReadOnlyFileInATreeIsLoggedThenTheFolder)
{
    makeFolder(QStringLiteral("tree"));
    const QString locked = path(QStringLiteral("tree/locked.txt"));
    writeFile(QStringLiteral("tree/locked.txt"));
    writeFile(QStringLiteral("tree/free.txt"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner));
    pane.RefreshLocalList();
    selectNames({QStringLiteral("tree")});
    view.localList()->setFocus();
    QTest::keyClick(view.localList(), Qt::Key_Delete);

    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除tree")});
    EXPECT_EQ(view.logText(), QStringLiteral("locked.txt删除失败3\r\n") +
                                  path(QStringLiteral("tree")) + QStringLiteral("删除失败2\r\n"));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_FALSE(exists("tree/free.txt"));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("tree")}));
}

TEST_F(LocalFileCommandsTest, DeletingATreeLeavesWhatItsLinksPointAt)
{
    const QString outside = temp.path() + QStringLiteral("/outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    writeContent(outside + QStringLiteral("/keep.txt"), "keep");
    makeFolder(QStringLiteral("tree/sub"));
    ASSERT_TRUE(QFile::link(outside, path(QStringLiteral("tree/sub/to-outside"))));
    ASSERT_TRUE(
        QFile::link(outside + QStringLiteral("/keep.txt"), path(QStringLiteral("tree/file-link"))));
    pane.RefreshLocalList();
    selectNames({QStringLiteral("tree")});
    view.commands().dispatch(CommandId::Delete);

    EXPECT_FALSE(exists("tree"));
    EXPECT_EQ(contentOf(outside + QStringLiteral("/keep.txt")), "keep");
    EXPECT_EQ(view.logText(), path(QStringLiteral("tree")) + QStringLiteral("删除成功\r\n"));
}

TEST_F(LocalFileCommandsTest, TheParentRowIsNeverDeleted)
{
    show({"a.txt"});
    selectNames({QStringLiteral(".."), QStringLiteral("a.txt")});
    view.commands().dispatch(CommandId::Delete);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除a.txt")});
    EXPECT_TRUE(QFileInfo(desktop).isDir());
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("..")});

    selectNames({QStringLiteral("..")});
    view.commands().dispatch(CommandId::Delete);
    EXPECT_EQ(prompt.texts().size(), 1);
    EXPECT_TRUE(QFileInfo(desktop).isDir());
}

TEST_F(LocalFileCommandsTest, WithoutALocalSelectionDeleteGoesToTheRemoteBranch)
{
    show({"a.txt"});
    int remoteDeletes = 0;
    commands.setRemoteDelete([&remoteDeletes] { ++remoteDeletes; });
    view.remoteFiles()->setRows({{{QStringLiteral("r.txt"), QString(), QStringLiteral("1")}}});
    view.remoteList()->selectionModel()->select(
        view.remoteFiles()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.remoteList()->setFocus();
    QTest::keyClick(view.remoteList(), Qt::Key_Delete);
    EXPECT_EQ(remoteDeletes, 1);
    EXPECT_TRUE(prompt.texts().isEmpty());

    selectNames({QStringLiteral("a.txt")});
    view.commands().dispatch(CommandId::Delete);
    EXPECT_EQ(remoteDeletes, 1);
    EXPECT_FALSE(exists("a.txt"));
}

struct EnabledCase {
    const char* name;
    QStringList selection;
    bool anySelected;
    bool exactlyOne;
    bool openable;
};

class LocalMenuRules : public LocalFileCommandsTest,
                       public ::testing::WithParamInterface<EnabledCase> {};

TEST_P(LocalMenuRules, FollowTheSelection)
{
    makeFolder(QStringLiteral("folder"));
    writeFile(QStringLiteral("a.txt"));
    writeFile(QStringLiteral("b.txt"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("folder")), path(QStringLiteral("folder-link"))));
    pane.RefreshLocalList();
    selectNames(GetParam().selection);
    const CommandDispatcher& rules = view.commands();
    for (int id : {CommandId::LocalUpload, CommandId::LocalCompressAndUpload,
                   CommandId::LocalDelete, CommandId::LocalAddToQueue, CommandId::LocalRename})
        EXPECT_EQ(rules.isEnabled(id), GetParam().anySelected) << id;
    EXPECT_EQ(rules.isEnabled(CommandId::LocalProperties), GetParam().exactlyOne);
    EXPECT_EQ(rules.isEnabled(CommandId::LocalOpen), GetParam().openable);
    for (int id : {CommandId::LocalSelectAll, CommandId::LocalRefresh, CommandId::LocalNewFolder})
        EXPECT_TRUE(rules.isEnabled(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    Selections, LocalMenuRules,
    ::testing::Values(
        EnabledCase{"Nothing", {}, false, false, false},
        EnabledCase{"ParentOnly", {QStringLiteral("..")}, false, false, false},
        EnabledCase{"OneFile", {QStringLiteral("a.txt")}, true, true, true},
        EnabledCase{"OneFolder", {QStringLiteral("folder")}, true, true, false},
        EnabledCase{"LinkToFolder", {QStringLiteral("folder-link")}, true, true, false},
        EnabledCase{
            "TwoFiles", {QStringLiteral("a.txt"), QStringLiteral("b.txt")}, true, false, false},
        EnabledCase{
            "ParentAndFile", {QStringLiteral(".."), QStringLiteral("a.txt")}, true, true, true}),
    caseName);

TEST_F(LocalFileCommandsTest, TheOpenedContextMenuDisablesOpenForAFolder)
{
    show({"folder/"});
    selectNames({QStringLiteral("folder")});
    const QPoint at = centreOf(QStringLiteral("folder"));
    QContextMenuEvent click(QContextMenuEvent::Mouse, at,
                            view.localList()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.localList()->viewport(), &click);
    settle();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(MenuBuilder::findCommand(menu, CommandId::LocalOpen)->isEnabled());
    EXPECT_TRUE(MenuBuilder::findCommand(menu, CommandId::LocalProperties)->isEnabled());
    EXPECT_TRUE(MenuBuilder::findCommand(menu, CommandId::LocalDelete)->isEnabled());
    menu->close();
}

TEST_F(LocalFileCommandsTest, OpenHandsTheFileToTheDesktop)
{
    show({"folder/", "a.txt"});
    QList<QUrl> opened;
    commands.setOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    selectNames({QStringLiteral("folder")});
    view.commands().dispatch(CommandId::LocalOpen);
    EXPECT_TRUE(opened.isEmpty());
    selectNames({QStringLiteral("a.txt")});
    view.commands().dispatch(CommandId::LocalOpen);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(path(QStringLiteral("a.txt")))});
}

TEST_F(LocalFileCommandsTest, PropertiesShowTheSelectedFile)
{
    writeFile(QStringLiteral("doc.txt"), 1024);
    const QString file = path(QStringLiteral("doc.txt"));
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup));
    pane.RefreshLocalList();
    selectNames({QStringLiteral("doc.txt")});
    QMap<QString, QString> shown;
    QString caption;
    OnNextModal<PropertiesDialog>([&shown, &caption](PropertiesDialog& dialog) {
        caption = dialog.windowTitle();
        auto* form = dialog.findChild<QFormLayout*>();
        ASSERT_NE(form, nullptr);
        for (int row = 0; row < form->rowCount(); ++row) {
            auto* label =
                qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            auto* value =
                qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::FieldRole)->widget());
            shown.insert(label->text(), value->text());
        }
        dialog.accept();
    });
    view.commands().dispatch(CommandId::LocalProperties);

    const QFileInfo info(file);
    EXPECT_EQ(caption, QStringLiteral("doc.txt 属性"));
    EXPECT_EQ(shown.value(QStringLiteral("名称:")), QStringLiteral("doc.txt"));
    EXPECT_EQ(shown.value(QStringLiteral("位置:")), desktop);
    EXPECT_EQ(shown.value(QStringLiteral("大小:")), QStringLiteral("1.00KB (1024 字节)"));
    EXPECT_EQ(shown.value(QStringLiteral("权限:")), QStringLiteral("rw-r----- (640)"));
    EXPECT_EQ(shown.value(QStringLiteral("所有者:")), info.owner());
    EXPECT_EQ(shown.value(QStringLiteral("组:")), info.group());
    EXPECT_EQ(shown.value(QStringLiteral("修改时间:")),
              info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    EXPECT_FALSE(shown.value(QStringLiteral("类型:")).isEmpty());
    EXPECT_TRUE(shown.contains(QStringLiteral("创建时间:")));
    EXPECT_TRUE(shown.contains(QStringLiteral("访问时间:")));
    EXPECT_FALSE(shown.contains(QStringLiteral("链接目标:")));
}

} // namespace
