#include "view/gui/FileIconCache.h"
#include "view/gui/FileListModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class FileListModelEditing : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.setRows(
            {{{QStringLiteral("..")}, true},
             {{QStringLiteral("docs")}, true},
             {{QStringLiteral("a.txt"), QStringLiteral("01/02/24"), QStringLiteral("1")}, false}});
    }

    FileListModel model{FileListModel::Side::Local};
};

TEST_F(FileListModelEditing, NothingIsEditableUntilAllowed)
{
    for (int row = 0; row < model.rowCount(); ++row)
        EXPECT_FALSE(model.flags(model.index(row, 0)) & Qt::ItemIsEditable) << row;
    QSignalSpy edited(&model, &FileListModel::nameEdited);
    EXPECT_FALSE(model.setData(model.index(2, 0), QStringLiteral("b.txt")));
    EXPECT_EQ(edited.count(), 0);
}

TEST_F(FileListModelEditing, AnEditedNameIsAnnouncedWithTheOldOneAndTheRowKeepsItsText)
{
    model.setNamesEditable(true);
    const QModelIndex name = model.index(2, 0);
    EXPECT_EQ(model.data(name, Qt::EditRole).toString(), QStringLiteral("a.txt"));
    QSignalSpy edited(&model, &FileListModel::nameEdited);
    EXPECT_TRUE(model.setData(name, QStringLiteral("b.txt")));
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][0].toString(), QStringLiteral("a.txt"));
    EXPECT_EQ(edited[0][1].toString(), QStringLiteral("b.txt"));
    EXPECT_EQ(model.data(name).toString(), QStringLiteral("a.txt"));
}

TEST_F(FileListModelEditing, ParentRowOtherColumnsAndEmptyNamesAreRefused)
{
    model.setNamesEditable(true);
    QSignalSpy edited(&model, &FileListModel::nameEdited);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("up")));
    EXPECT_FALSE(model.flags(model.index(2, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(2, 1), QStringLiteral("12/12/12")));
    EXPECT_FALSE(model.setData(model.index(2, 0), QString()));
    EXPECT_FALSE(model.setData(model.index(2, 0), QStringLiteral("x"), Qt::DisplayRole));
    EXPECT_FALSE(model.setData(QModelIndex(), QStringLiteral("x")));
    EXPECT_EQ(edited.count(), 0);
}

TEST_F(FileListModelEditing, IconsComeFromTheSourceForNamesOnly)
{
    EXPECT_FALSE(model.data(model.index(2, 0), Qt::DecorationRole).isValid());
    QStringList asked;
    FileIconCache icons;
    model.setIconSource([&asked, &icons](const QString& name, bool folder) {
        asked << name + (folder ? QStringLiteral("/") : QString());
        return icons.iconFor(name, folder);
    });
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.data(model.index(2, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.data(model.index(2, 2), Qt::DecorationRole).isValid());
    EXPECT_EQ(asked, (QStringList{QStringLiteral("docs/"), QStringLiteral("a.txt")}));
}

TEST(FileIconCache, FoldersShareOneIconAndEachSuffixIsLookedUpOnce)
{
    FileIconCache icons;
    EXPECT_FALSE(icons.folderIcon().isNull());
    EXPECT_FALSE(icons.driveIcon().isNull());
    EXPECT_EQ(icons.iconFor(QStringLiteral("any"), true).cacheKey(), icons.folderIcon().cacheKey());
    const QIcon first = icons.iconFor(QStringLiteral("one.PDF"), false);
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(icons.iconFor(QStringLiteral("two.pdf"), false).cacheKey(), first.cacheKey());
    for (const QString& odd : {QString(), QStringLiteral("noextension"), QStringLiteral(".x.y.z"),
                               QStringLiteral("名字.未知后缀")})
        EXPECT_FALSE(icons.iconFor(odd, false).isNull()) << odd.toStdString();
}

} // namespace
