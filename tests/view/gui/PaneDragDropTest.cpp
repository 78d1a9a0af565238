#include "view/gui/PaneDragDrop.h"

#include "LocalPaneFixture.h"
#include "support/DropEvents.h"
#include "view/gui/ControlIds.h"
#include "view/gui/SessionController.h"

#include <QFileInfo>

namespace {

using namespace dropevents;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class PaneDragDropTest : public LocalPaneFixture {
protected:
    void SetUp() override
    {
        LocalPaneFixture::SetUp();
        ASSERT_TRUE(outside.isValid());
    }

    void showAgain()
    {
        pane.RefreshLocalList();
        settle();
    }

    // Drags the named local rows onto the row of onto.
    bool dragLocalRows(const QStringList& names, const QString& onto)
    {
        showAgain();
        selectNames(names);
        return drop(view.localList(), *rowsOf(ControlId::LocalList), centreOf(onto));
    }

    QString outsideFile(const QString& name, const QByteArray& data) const
    {
        const QString file = outside.path() + u'/' + name;
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(data);
        return file;
    }

    QTemporaryDir outside;
    SessionController sessions{view, prompt, temp.path()};
    PaneDragDrop drops{view, pane, sessions, prompt};
};

TEST_F(PaneDragDropTest, LocalRowsMoveIntoTheFolderRowTheyAreDroppedOn)
{
    makeFolder(QStringLiteral("box"));
    writeFile(QStringLiteral("one.txt"));
    writeFile(QStringLiteral("two.txt"));
    showAgain();
    selectNames({QStringLiteral("one.txt"), QStringLiteral("two.txt")});
    ASSERT_TRUE(
        hover(view.localList(), *rowsOf(ControlId::LocalList), centreOf(QStringLiteral("box"))));
    EXPECT_EQ(view.localList()->dropRow(), rowOf(QStringLiteral("box")));

    ASSERT_TRUE(dragLocalRows({QStringLiteral("one.txt"), QStringLiteral("two.txt")},
                              QStringLiteral("box")));

    EXPECT_EQ(view.localList()->dropRow(), -1);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("box/one.txt"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("box/two.txt"))));
    EXPECT_EQ(shownNames().filter(QStringLiteral(".txt")), QStringList());
}

TEST_F(PaneDragDropTest, LocalRowsDroppedOnAFileRowStayWhereTheyAre)
{
    writeFile(QStringLiteral("one.txt"));
    writeFile(QStringLiteral("two.txt"));
    writeFile(QStringLiteral("three.txt"));

    ASSERT_TRUE(dragLocalRows({QStringLiteral("one.txt"), QStringLiteral("two.txt")},
                              QStringLiteral("three.txt")));

    EXPECT_TRUE(QFile::exists(path(QStringLiteral("one.txt"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("two.txt"))));
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(PaneDragDropTest, AnEntryAlreadyInTheFolderIsReplacedOnlyWhenTheUserAgrees)
{
    makeFolder(QStringLiteral("box"));
    writeFile(QStringLiteral("box/same.txt"), 5);
    writeFile(QStringLiteral("same.txt"), 9);

    prompt.answerNext(PromptAnswer::No);
    ASSERT_TRUE(dragLocalRows({QStringLiteral("same.txt")}, QStringLiteral("box")));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("box/same.txt"))).size(), 5);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("same.txt"))));

    prompt.answerNext(PromptAnswer::Yes);
    ASSERT_TRUE(dragLocalRows({QStringLiteral("same.txt")}, QStringLiteral("box")));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("box/same.txt"))).size(), 9);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("same.txt"))));
    ASSERT_EQ(prompt.asked().size(), 2u);
    EXPECT_EQ(prompt.asked()[0].text,
              path(QStringLiteral("box/same.txt")) + QStringLiteral("已存在是否覆盖"));
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("发现同名文件"));
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

TEST_F(PaneDragDropTest, AFileFromTheFileManagerIsCopiedOnceAndTheCopyKept)
{
    const QString dropped = outsideFile(QStringLiteral("note.txt"), "original");
    const auto data = filesFromFileManager({dropped});

    ASSERT_TRUE(drop(view.localList(), *data, QPoint(5, 5)));
    EXPECT_EQ(contentOf(path(QStringLiteral("note.txt"))), "original");
    EXPECT_TRUE(shownNames().contains(QStringLiteral("note.txt")));

    outsideFile(QStringLiteral("note.txt"), "changed outside");
    ASSERT_TRUE(drop(view.localList(), *data, QPoint(5, 5)));
    EXPECT_EQ(contentOf(path(QStringLiteral("note.txt"))), "original");
}

TEST_F(PaneDragDropTest, AFolderFromTheFileManagerIsCopiedWithItsTree)
{
    ASSERT_TRUE(QDir().mkpath(outside.path() + QStringLiteral("/album/2024")));
    outsideFile(QStringLiteral("album/2024/pic.jpg"), QByteArray(4096, 'p'));

    ASSERT_TRUE(drop(view.localList(),
                     *filesFromFileManager({outside.path() + QStringLiteral("/album")}),
                     QPoint(5, 5)));

    EXPECT_EQ(contentOf(path(QStringLiteral("album/2024/pic.jpg"))), QByteArray(4096, 'p'));
}

TEST_F(PaneDragDropTest, OnlyTheFileListsTakeDrops)
{
    const QString dropped = outsideFile(QStringLiteral("note.txt"), "x");

    EXPECT_FALSE(drop(view.queueList(), *filesFromFileManager({dropped}), QPoint(5, 5)));
    EXPECT_FALSE(drop(view.queueList(), *rowsOf(ControlId::LocalList), QPoint(5, 5)));
    EXPECT_TRUE(drop(view.remoteList(), *filesFromFileManager({dropped}), QPoint(5, 5)));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("尚未连接")});
}

} // namespace
