#pragma once

#include "queue/TransferQueue.h"
#include "view/gui/FileIconCache.h"

#include <QAbstractTableModel>
#include <QList>

// The queue list's view of the transfer queue. It keeps a copy of the rows as last shown and
// takes only what changed from the queue, so a busy queue repaints the rows that moved on
// rather than being read again whole. Sorting reorders the queue itself: its order is the
// order the scheduler starts and the file stores. Lives on the GUI thread.
class TransferQueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Item data of column 0: the folder flag, 1 for a folder entry.
    static constexpr int FolderRole = Qt::UserRole;

    explicit TransferQueueModel(TransferQueue& queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Shows the queue's changes now rather than when the queued notice arrives; commands call
    // it before they read the selection, so that row numbers mean the queue's rows.
    void sync();

private:
    void showChangedRows(const TransferQueue::Changes& changes);
    void showAppendedRows(const TransferQueue::Changes& changes);
    void showRearrangedRows(const QList<TransferQueue::Row>& rows);
    void removeVanishedRows(const QList<TransferQueue::Row>& rows);
    void followNewOrder(const QList<TransferQueue::Row>& rows);
    void insertNewRows(const QList<TransferQueue::Row>& rows);
    void repaintRow(int row);
    QIcon iconOf(const TransferQueue::Row& row) const;

    TransferQueue& queue_;
    QList<TransferQueue::Row> shown_;
    mutable FileIconCache icons_;
};
