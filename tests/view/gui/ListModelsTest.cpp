#include "view/gui/FileListModel.h"
#include "view/gui/QueueListModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct Header {
    QString title;
    Qt::Alignment alignment;
};

QList<Header> headersOf(const QAbstractItemModel& model)
{
    QList<Header> headers;
    for (int column = 0; column < model.columnCount(); ++column) {
        const auto alignment =
            model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        headers.append({model.headerData(column, Qt::Horizontal).toString(),
                        alignment & Qt::AlignHorizontal_Mask});
    }
    return headers;
}

void expectHeaders(const QAbstractItemModel& model, const QList<Header>& expected)
{
    const QList<Header> actual = headersOf(model);
    ASSERT_EQ(actual.size(), expected.size());
    for (int column = 0; column < expected.size(); ++column) {
        EXPECT_EQ(actual[column].title, expected[column].title) << "column " << column;
        EXPECT_EQ(actual[column].alignment, expected[column].alignment) << "column " << column;
    }
}

const Qt::Alignment left = Qt::AlignLeft;
const Qt::Alignment centre = Qt::AlignHCenter;

TEST(FileListModel, LocalListHasNameDateAndSize)
{
    FileListModel model(FileListModel::Side::Local);
    expectHeaders(model, {{QStringLiteral("文件名"), left},
                          {QStringLiteral("日期"), centre},
                          {QStringLiteral("字节数"), centre}});
    EXPECT_EQ(model.side(), FileListModel::Side::Local);
}

TEST(FileListModel, RemoteListAddsThePermissions)
{
    FileListModel model(FileListModel::Side::Remote);
    expectHeaders(model, {{QStringLiteral("文件名"), left},
                          {QStringLiteral("日期"), centre},
                          {QStringLiteral("字节数"), centre},
                          {QStringLiteral("权限"), centre}});
}

TEST(QueueListModel, HasTheTwelveQueueColumns)
{
    QueueListModel model;
    expectHeaders(model, {{QStringLiteral("文件名"), left},
                          {QStringLiteral("地址"), left},
                          {QStringLiteral("大小"), left},
                          {QStringLiteral("进度"), left},
                          {QStringLiteral("目标"), left},
                          {QStringLiteral("动作"), centre},
                          {QStringLiteral("开始时间"), centre},
                          {QStringLiteral("完成时间"), centre},
                          {QStringLiteral("速度"), centre},
                          {QStringLiteral("已用时"), centre},
                          {QStringLiteral("剩余时间"), centre},
                          {QStringLiteral("状态"), centre}});
    EXPECT_EQ(model.columnCount(), QueueListModel::ColumnCount);
    EXPECT_EQ(model.headerData(QueueListModel::State, Qt::Horizontal).toString(),
              QStringLiteral("状态"));
}

TEST(TextRowsModel, ShowsTextsAlignmentAndFolderFlagOfEachRow)
{
    FileListModel model(FileListModel::Side::Remote);
    model.setRows(
        {{{QStringLiteral("pub"), QStringLiteral("Mar 05 14:22"), QString(),
           QStringLiteral("rwxr-xr-x")},
          true},
         {{QStringLiteral("big.iso"), QStringLiteral("Mar 05  2013"), QStringLiteral("1.50MB")},
          false}});

    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0, 3)).toString(), QStringLiteral("rwxr-xr-x"));
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), QStringLiteral("1.50MB"));
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), QString()); // missing texts read empty
    EXPECT_TRUE(model.data(model.index(0, 0), TextRowsModel::FolderRole).toBool());
    EXPECT_FALSE(model.data(model.index(1, 0), TextRowsModel::FolderRole).toBool());
    const auto alignment =
        model.data(model.index(1, 1), Qt::TextAlignmentRole).value<Qt::Alignment>();
    EXPECT_EQ(alignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST(TextRowsModel, OutOfRangeQueriesGiveNothing)
{
    FileListModel model(FileListModel::Side::Local);
    model.setRows({{{QStringLiteral("a")}, false}});
    EXPECT_FALSE(model.data(model.index(0, 5)).isValid());
    EXPECT_FALSE(model.data(model.index(3, 0)).isValid());
    EXPECT_FALSE(model.headerData(7, Qt::Horizontal).isValid());
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid());
    model.setText(4, 0, QStringLiteral("x"));
    model.setText(0, 9, QStringLiteral("x"));
    model.removeRowAt(-1);
    model.removeRowAt(1);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.rowAt(0).texts, QStringList{QStringLiteral("a")});
}

TEST(TextRowsModel, InsertsChangesAndRemovesSingleRows)
{
    QueueListModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.insertRowAt(0, {{QStringLiteral("/pub/b")}, false});
    model.insertRowAt(0, {{QStringLiteral("/pub/a")}, true});
    model.insertRowAt(99, {{QStringLiteral("/pub/c")}, false}); // beyond the end: appended
    model.setText(2, QueueListModel::State, QStringLiteral("等待中"));

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.rowAt(0).texts.first(), QStringLiteral("/pub/a"));
    EXPECT_TRUE(model.rowAt(0).folder);
    EXPECT_EQ(model.data(model.index(2, QueueListModel::State)).toString(),
              QStringLiteral("等待中"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).toModelIndex(), model.index(2, QueueListModel::State));

    model.removeRowAt(1);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.rowAt(1).texts.first(), QStringLiteral("/pub/c"));
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(TextRowsModel, ReplacesAWholeListingInOneReset)
{
    FileListModel model(FileListModel::Side::Remote);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QVector<TextRowsModel::Row> rows;
    for (int i = 0; i < 20000; ++i)
        rows.append(
            {{QStringLiteral("file%1").arg(i), QStringLiteral("Jan 01 00:00"), QString::number(i)},
             false});
    model.setRows(std::move(rows));

    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    ASSERT_EQ(model.rowCount(), 20000);
    EXPECT_EQ(model.data(model.index(19999, 0)).toString(), QStringLiteral("file19999"));
    EXPECT_EQ(model.data(model.index(12345, 2)).toString(), QStringLiteral("12345"));
}

} // namespace
