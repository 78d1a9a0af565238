#include "view/gui/PaneDragDrop.h"

#include "LocalPaneFixture.h"
#include "support/DropEvents.h"
#include "view/gui/ControlIds.h"
#include "view/gui/SessionController.h"

#include <QFileInfo>

namespace {

using namespace dropevents;

class PaneDragDropTest : public LocalPaneFixture {
protected:
    // Drags the named local rows onto the row of onto.
    bool dragLocalRows(const QStringList& names, const QString& onto)
    {
        pane.RefreshLocalList();
        settle();
        selectNames(names);
        return drop(view.localList(), *rowsOf(ControlId::LocalList), centreOf(onto));
    }

    qint64 sizeOf(const char* relative) const
    {
        const QFileInfo info(path(QString::fromUtf8(relative)));
        return info.exists() ? info.size() : -1;
    }

    SessionController sessions{view, prompt, temp.path()};
    PaneDragDrop drops{view, pane, sessions, prompt};
};

TEST_F(PaneDragDropTest, LocalRowsMoveIntoAFolderRowButNotOntoAFileRow)
{
    makeFolder(QStringLiteral("box"));
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        writeFile(QString::fromUtf8(name));
    const QStringList two{QStringLiteral("one.txt"), QStringLiteral("two.txt")};

    ASSERT_TRUE(dragLocalRows(two, QStringLiteral("three.txt")));
    EXPECT_EQ(sizeOf("one.txt") + sizeOf("two.txt"), 2);

    ASSERT_TRUE(drop(view.localList(), *rowsOf(ControlId::LocalList),
                     centreOf(QStringLiteral("box")), false));
    EXPECT_EQ(view.localList()->dropRow(), rowOf(QStringLiteral("box")));
    ASSERT_TRUE(dragLocalRows(two, QStringLiteral("box")));
    EXPECT_EQ(view.localList()->dropRow(), -1);
    EXPECT_EQ(sizeOf("box/one.txt") + sizeOf("box/two.txt"), 2);
    EXPECT_FALSE(shownNames().contains(QStringLiteral("one.txt")));
}

TEST_F(PaneDragDropTest, ADropOnARowThatALaterListingReplacedMovesNothing)
{
    makeFolder(QStringLiteral("box"));
    writeFile(QStringLiteral("one.txt"));
    QObject::connect(view.localList(), &CMyListCtrl::rowsDropped, view.localFiles(),
                     [this] { view.localFiles()->setRows({}); });

    ASSERT_TRUE(dragLocalRows({QStringLiteral("one.txt")}, QStringLiteral("box")));

    EXPECT_EQ(sizeOf("one.txt"), 1);
}

TEST_F(PaneDragDropTest, AnEntryInTheFolderIsReplacedOnlyWhenTheUserAgrees)
{
    makeFolder(QStringLiteral("box"));
    writeFile(QStringLiteral("box/same.txt"), 5);
    writeFile(QStringLiteral("same.txt"), 9);
    prompt.answerNext(PromptAnswer::No);
    prompt.answerNext(PromptAnswer::Yes);

    ASSERT_TRUE(dragLocalRows({QStringLiteral("same.txt")}, QStringLiteral("box")));
    EXPECT_EQ(sizeOf("box/same.txt") * 10 + sizeOf("same.txt"), 59);
    ASSERT_TRUE(dragLocalRows({QStringLiteral("same.txt")}, QStringLiteral("box")));
    EXPECT_EQ(sizeOf("box/same.txt") * 10 + sizeOf("same.txt"), 89);
    EXPECT_EQ(prompt.asked().at(0).text,
              path(QStringLiteral("box/same.txt")) + QStringLiteral("已存在是否覆盖"));
    EXPECT_EQ(prompt.asked().at(0).caption, QStringLiteral("发现同名文件"));
}

TEST_F(PaneDragDropTest, AFolderIsNotMovedBelowItself)
{
    makeFolder(QStringLiteral("tree/inner"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("tree/inner")), path(QStringLiteral("shortcut"))));

    ASSERT_TRUE(dragLocalRows({QStringLiteral("tree")}, QStringLiteral("shortcut")));

    EXPECT_TRUE(QFileInfo(path(QStringLiteral("tree/inner"))).isDir());
    EXPECT_EQ(prompt.texts(),
              QStringList{QStringLiteral("不能将文件夹tree移动到它自己的子文件夹中")});
}

// Dropped onto a link to its own folder, a file would meet itself as the entry already there.
TEST_F(PaneDragDropTest, ADropOntoALinkToTheSameFolderLeavesTheFile)
{
    writeFile(QStringLiteral("mine.txt"), 4);
    ASSERT_TRUE(QFile::link(QStringLiteral("."), path(QStringLiteral("here"))));

    ASSERT_TRUE(dragLocalRows({QStringLiteral("mine.txt")}, QStringLiteral("here")));

    EXPECT_EQ(sizeOf("mine.txt"), 4);
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(PaneDragDropTest, AFileFromTheFileManagerIsCopiedOnceAndTheCopyKept)
{
    QTemporaryDir outside;
    const QString dropped = outside.filePath(QStringLiteral("note.txt"));
    for (const qint64 size : {3, 7}) {
        QFile file(dropped);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        file.close();
        ASSERT_TRUE(drop(view.localList(), *filesFromFileManager({dropped}), QPoint(5, 5)));
        EXPECT_EQ(sizeOf("note.txt"), 3);
    }
    EXPECT_TRUE(shownNames().contains(QStringLiteral("note.txt")));
}

TEST_F(PaneDragDropTest, OnlyTheFileListsTakeDropsAndTheRemoteOneWantsAConnection)
{
    const QString dropped = path(QStringLiteral("x.txt"));
    writeFile(QStringLiteral("x.txt"));

    EXPECT_FALSE(drop(view.queueList(), *filesFromFileManager({dropped}), QPoint(5, 5)));
    EXPECT_FALSE(drop(view.queueList(), *rowsOf(ControlId::LocalList), QPoint(5, 5)));
    EXPECT_TRUE(drop(view.remoteList(), *filesFromFileManager({dropped}), QPoint(5, 5)));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("尚未连接")});
}

} // namespace
