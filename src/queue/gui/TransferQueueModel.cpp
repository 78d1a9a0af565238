#include "queue/gui/TransferQueueModel.h"

#include "listing/ColumnSort.h"
#include "view/gui/QueueListModel.h"

#include <QHash>
#include <QSet>

namespace {

const QVector<TextRowsModel::Column>& columnTable()
{
    static const QVector<TextRowsModel::Column> columns = QueueListModel::columns();
    return columns;
}

// The list's shared sort state, as Qt hands it to a model: the column and its direction.
ColumnSort sortState(int column, Qt::SortOrder order)
{
    ColumnSort sort;
    sort.click(column); // a first click sorts ascending
    if (order == Qt::DescendingOrder)
        sort.click(column);
    return sort;
}

QSet<quint64> idsOf(const QList<TransferQueue::Row>& rows)
{
    QSet<quint64> ids;
    ids.reserve(rows.size());
    for (const TransferQueue::Row& row : rows)
        ids.insert(row.id);
    return ids;
}

} // namespace

TransferQueueModel::TransferQueueModel(TransferQueue& queue, QObject* parent)
    : QAbstractTableModel(parent), queue_(queue)
{
    connect(&queue_, &TransferQueue::changesPending, this, &TransferQueueModel::sync,
            Qt::QueuedConnection);
    sync();
}

int TransferQueueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TransferQueueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : TransferQueue::ColumnCount;
}

QVariant TransferQueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_.size() || index.column() >= columnCount())
        return {};
    const TransferQueue::Row& row = shown_.at(index.row());
    const auto column = static_cast<TransferQueue::Column>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.text(column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columnTable().at(column).alignment | Qt::AlignVCenter);
    case Qt::DecorationRole:
        return column == TransferQueue::SourceColumn ? QVariant(iconOf(row)) : QVariant();
    case FolderRole:
        return row.folder;
    default:
        return {};
    }
}

QVariant TransferQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnTable().size())
        return {};
    if (role == Qt::DisplayRole)
        return columnTable().at(section).title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columnTable().at(section).alignment | Qt::AlignVCenter);
    return {};
}

void TransferQueueModel::sort(int column, Qt::SortOrder order)
{
    queue_.sortRows(sortState(column, order));
    sync();
}

void TransferQueueModel::sync()
{
    const TransferQueue::Changes changes = queue_.takeChanges();
    switch (changes.shape) {
    case TransferQueue::Changes::Shape::Same:
        showChangedRows(changes);
        break;
    case TransferQueue::Changes::Shape::Appended:
        showAppendedRows(changes);
        break;
    case TransferQueue::Changes::Shape::Rearranged:
        showRearrangedRows(changes.rows);
        break;
    }
}

void TransferQueueModel::showChangedRows(const TransferQueue::Changes& changes)
{
    for (int i = 0; i < changes.indices.size(); ++i) {
        const int row = changes.indices.at(i);
        if (row < shown_.size()) {
            shown_[row] = changes.rows.at(i);
            repaintRow(row);
        }
    }
}

void TransferQueueModel::showAppendedRows(const TransferQueue::Changes& changes)
{
    const int before = static_cast<int>(shown_.size());
    const int after = static_cast<int>(changes.rows.size());
    if (after < before) {
        showRearrangedRows(changes.rows);
        return;
    }
    if (after > before)
        beginInsertRows(QModelIndex(), before, after - 1);
    shown_ = changes.rows;
    if (after > before)
        endInsertRows();
    for (int row : changes.indices) {
        if (row < before)
            repaintRow(row);
    }
}

// Rows were removed, sorted or added in any mix: removals first, then the new order of the
// rows that stayed (the selection moves with them), then the rows that are new.
void TransferQueueModel::showRearrangedRows(const QList<TransferQueue::Row>& rows)
{
    removeVanishedRows(rows);
    followNewOrder(rows);
    insertNewRows(rows);
    shown_ = rows;
    if (!shown_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void TransferQueueModel::removeVanishedRows(const QList<TransferQueue::Row>& rows)
{
    const QSet<quint64> kept = idsOf(rows);
    int last = static_cast<int>(shown_.size()) - 1;
    while (last >= 0) {
        if (kept.contains(shown_.at(last).id)) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !kept.contains(shown_.at(first - 1).id))
            --first;
        beginRemoveRows(QModelIndex(), first, last);
        shown_.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
}

void TransferQueueModel::followNewOrder(const QList<TransferQueue::Row>& rows)
{
    QHash<quint64, int> oldRowOf;
    for (int row = 0; row < shown_.size(); ++row)
        oldRowOf.insert(shown_.at(row).id, row);
    QList<TransferQueue::Row> reordered;
    QList<int> newRowOf(shown_.size());
    for (const TransferQueue::Row& row : rows) {
        const auto old = oldRowOf.constFind(row.id);
        if (old == oldRowOf.constEnd())
            continue;
        newRowOf[*old] = static_cast<int>(reordered.size());
        reordered.append(row);
    }
    bool moved = false;
    for (int row = 0; row < newRowOf.size() && !moved; ++row)
        moved = newRowOf.at(row) != row;
    if (!moved)
        return;
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf.at(old.row()), old.column()));
    shown_ = reordered;
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

void TransferQueueModel::insertNewRows(const QList<TransferQueue::Row>& rows)
{
    int at = 0;
    while (at < rows.size()) {
        if (at < shown_.size() && shown_.at(at).id == rows.at(at).id) {
            ++at;
            continue;
        }
        // shown_ is now a subsequence of rows: everything up to its next row is new.
        const bool keptAhead = at < shown_.size();
        int end = at;
        while (end < rows.size() && !(keptAhead && rows.at(end).id == shown_.at(at).id))
            ++end;
        beginInsertRows(QModelIndex(), at, end - 1);
        for (int row = at; row < end; ++row)
            shown_.insert(row, rows.at(row));
        endInsertRows();
        at = end;
    }
}

void TransferQueueModel::repaintRow(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// The entry's name chooses its icon: the part of the path after its last "/".
QIcon TransferQueueModel::iconOf(const TransferQueue::Row& row) const
{
    const QString& path = row.text(TransferQueue::SourceColumn);
    return icons_.iconFor(path.mid(path.lastIndexOf(u'/') + 1), row.folder == 1);
}
