#include "queue/gui/QueueFixture.h"

#include "accounts/AES.h"
#include "platform/TextCodec.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ControlIds.h"

#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QSignalSpy>

#include <thread>

namespace {

using QueueListTest = QueueFixture;

QStringList selectedSources(const CMyListCtrl& list)
{
    QList<int> rows;
    for (const QModelIndex& index : list.selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList sources;
    for (int row : rows)
        sources << list.model()->index(row, TransferQueue::SourceColumn).data().toString();
    return sources;
}

void clickHeader(CMyListCtrl* list, int column)
{
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST_F(QueueListTest, RowsCarryTheirIconAndFolderFlag)
{
    addRow(QStringLiteral("/pub/docs"), QString(), 1);
    addRow(QStringLiteral("/pub/a.txt"), QString(), 0);
    settle();
    const QAbstractItemModel* model = view.queueList()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 0).data(TransferQueueModel::FolderRole).toInt(), 1);
    EXPECT_EQ(model->index(1, 0).data(TransferQueueModel::FolderRole).toInt(), 0);
    EXPECT_FALSE(model->index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
}

// A progress tick from a transfer thread repaints its row and nothing else.
TEST_F(QueueListTest, ATickFromAnotherThreadRepaintsOnlyItsRow)
{
    for (int i = 0; i < 100; ++i)
        addRow(QStringLiteral("/f%1").arg(i), QStringLiteral("下载中"));
    settle();
    const QAbstractItemModel* model = view.queueList()->model();
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QSignalSpy relaid(model, &QAbstractItemModel::layoutChanged);
    std::thread([this] {
        queue().setText(42, TransferQueue::ProgressColumn, QStringLiteral("37%"));
        queue().setText(42, TransferQueue::SpeedColumn, QStringLiteral("1.00kb/s"));
    }).join();
    settle();
    EXPECT_EQ(model->index(42, TransferQueue::ProgressColumn).data().toString(),
              QStringLiteral("37%"));
    ASSERT_GE(changed.count(), 1);
    for (const QList<QVariant>& signal : changed) {
        EXPECT_EQ(signal.at(0).toModelIndex().row(), 42);
        EXPECT_EQ(signal.at(1).toModelIndex().row(), 42);
    }
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(relaid.count(), 0);
}

TEST_F(QueueListTest, SelectionStaysWithItsRowsWhenOthersGo)
{
    for (int i = 0; i < 5; ++i)
        addRow(QStringLiteral("/%1").arg(i), QStringLiteral("暂停"));
    selectQueueRows({1, 3});
    queue().removeRows({0, 2});
    addRow(QStringLiteral("/5"), QStringLiteral("暂停"));
    settle();
    EXPECT_EQ(view.queueList()->model()->rowCount(), 4);
    EXPECT_EQ(selectedSources(*view.queueList()).join(u' '), QStringLiteral("/1 /3"));
}

TEST_F(QueueListTest, HeaderClickSortsTheQueueItselfThroughTheSharedState)
{
    for (const char16_t* name : {u"/b", u"/c", u"/a"})
        addRow(QString::fromUtf16(name), QStringLiteral("暂停"));
    selectQueueRows({2});
    clickHeader(view.remoteList(), 0);
    clickHeader(view.queueList(), 0); // the same column as last time: descending
    EXPECT_EQ(column(TransferQueue::SourceColumn).join(u' '), QStringLiteral("/c /b /a"));
    clickHeader(view.queueList(), 0);
    EXPECT_EQ(column(TransferQueue::SourceColumn).join(u' '), QStringLiteral("/a /b /c"));
    EXPECT_EQ(view.queueList()->model()->index(0, 0).data().toString(), QStringLiteral("/a"));
    EXPECT_EQ(selectedSources(*view.queueList()), QStringList{QStringLiteral("/a")});
}

TEST_F(QueueListTest, KeysAndDoubleClickOnTheList)
{
    addRows("下载中 暂停 等待中");
    settle();
    const QRect first = view.queueList()->visualRect(view.queueList()->model()->index(0, 0));
    QTest::mouseClick(view.queueList()->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(view.queueList()->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(states().first(), QStringLiteral("暂停"));

    selectQueueRows({0, 2});
    view.queueList()->setFocus();
    QTest::keyClick(view.queueList(), Qt::Key_Delete);
    EXPECT_EQ(column(TransferQueue::SourceColumn), QStringList{QStringLiteral("/暂停")});
    EXPECT_EQ(storedSources(), QStringList{QStringLiteral("/暂停")});
}

TEST_F(QueueListTest, RateFieldShowsTheTotalsOnceTheMeterRuns)
{
    auto* rate = view.findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(ControlId::RateField));
    ASSERT_NE(rate, nullptr);
    EXPECT_TRUE(waitFor([rate] { return !rate->text().isEmpty(); }));
    EXPECT_EQ(rate->text(), QStringLiteral("上行：0.00b/s  下行：0.00b/s"));
    addRow(QStringLiteral("/a"), QStringLiteral("上传中"), 0, QStringLiteral("UP"));
    queue().setText(0, TransferQueue::SpeedColumn, QStringLiteral("2.00kb/s"));
    EXPECT_TRUE(waitFor([rate] {
        return rate->text().startsWith(QStringLiteral("上行：2.00kb/s"));
    })) << rate->text().toStdString();
}

// A damaged queue file: its whole records come back and the log says how many were lost.
class DamagedQueueFileTest : public QueueFixture {
protected:
    void prepareWorkFolder() override
    {
        QByteArray text;
        for (const char* field : {"/pub/kept", "host", "1KB", "0%", "/home/u/kept", "Down", "", "",
                                  "", "", "", "暂停", "F"})
            text += TextCodec::toGbk(QString::fromUtf8(field)) + '\r';
        text += "\n/cut\rshort\r\n/tail";
        QFile file(QueueFile::pathIn(config.workPath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(AES().EncryptText(text));
    }
};

TEST_F(DamagedQueueFileTest, LoadsTheWholeRecordsAndTellsTheRest)
{
    EXPECT_EQ(column(TransferQueue::SourceColumn), QStringList{QStringLiteral("/pub/kept")});
    EXPECT_TRUE(view.logText().contains(QStringLiteral("2 条记录未能载入")))
        << view.logText().toStdString();
}

} // namespace
