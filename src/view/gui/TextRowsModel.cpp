#include "view/gui/TextRowsModel.h"

#include <utility>

TextRowsModel::TextRowsModel(QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns))
{
}

int TextRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TextRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TextRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= columns_.size())
        return {};
    const Row& row = rows_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.texts.value(index.column());
    case Qt::TextAlignmentRole:
        return alignmentOf(index.column());
    case FolderRole:
        return row.folder;
    default:
        return {};
    }
}

QVariant TextRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_.at(section).title;
    if (role == Qt::TextAlignmentRole)
        return alignmentOf(section);
    return {};
}

void TextRowsModel::setRows(QVector<Row> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void TextRowsModel::insertRowAt(int position, Row row)
{
    position = qBound(0, position, static_cast<int>(rows_.size()));
    beginInsertRows(QModelIndex(), position, position);
    rows_.insert(position, std::move(row));
    endInsertRows();
}

void TextRowsModel::setText(int row, int column, const QString& text)
{
    if (row < 0 || row >= rows_.size() || column < 0 || column >= columns_.size())
        return;
    QStringList& texts = rows_[row].texts;
    while (texts.size() <= column)
        texts.append(QString());
    texts[column] = text;
    const QModelIndex changed = index(row, column);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

void TextRowsModel::removeRowAt(int row)
{
    if (row < 0 || row >= rows_.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.removeAt(row);
    endRemoveRows();
}

void TextRowsModel::clear()
{
    setRows({});
}

const TextRowsModel::Row& TextRowsModel::rowAt(int row) const
{
    return rows_.at(row);
}

void TextRowsModel::reorder(const QList<qsizetype>& order)
{
    const qsizetype count = rows_.size();
    QVector<int> newRowOf(count, -1);
    for (qsizetype position = 0; position < order.size(); ++position) {
        const qsizetype from = order[position];
        if (order.size() != count || from < 0 || from >= count || newRowOf[from] != -1)
            return;
        newRowOf[from] = static_cast<int>(position);
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<Row> sorted;
    sorted.reserve(count);
    for (qsizetype from : order)
        sorted.append(std::move(rows_[from]));
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[old.row()], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVariant TextRowsModel::alignmentOf(int column) const
{
    return QVariant::fromValue(columns_.at(column).alignment | Qt::AlignVCenter);
}
