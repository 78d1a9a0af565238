#include "view/gui/FileListModel.h"

#include <utility>

namespace {
constexpr int NameColumn = 0;

bool isParentName(const QString& name)
{
    return name == QLatin1String("..");
}
} // namespace

FileListModel::FileListModel(Side side, QObject* parent)
    : TextRowsModel(columnsOf(side), parent), side_(side)
{
}

QVector<TextRowsModel::Column> FileListModel::columnsOf(Side side)
{
    QVector<Column> columns{{QStringLiteral("文件名"), Qt::AlignLeft},
                            {QStringLiteral("日期"), Qt::AlignHCenter},
                            {QStringLiteral("字节数"), Qt::AlignHCenter}};
    if (side == Side::Remote)
        columns.append({QStringLiteral("权限"), Qt::AlignHCenter});
    return columns;
}

void FileListModel::setIconSource(IconSource source)
{
    beginResetModel();
    iconSource_ = std::move(source);
    endResetModel();
}

void FileListModel::setNamesEditable(bool editable)
{
    namesEditable_ = editable;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    const bool nameCell =
        index.isValid() && index.column() == NameColumn && index.row() < rowCount();
    if (role == Qt::DecorationRole && nameCell && iconSource_) {
        const Row& row = rowAt(index.row());
        return iconSource_(row.texts.value(NameColumn), row.folder);
    }
    if (role == Qt::EditRole && nameCell)
        return rowAt(index.row()).texts.value(NameColumn);
    return TextRowsModel::data(index, role);
}

bool FileListModel::isEditableName(const QModelIndex& index) const
{
    return namesEditable_ && index.isValid() && index.column() == NameColumn &&
           index.row() < rowCount() && !isParentName(rowAt(index.row()).texts.value(NameColumn));
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    // Rows are dragged between and within the two file lists.
    const Qt::ItemFlags base = TextRowsModel::flags(index) | Qt::ItemIsDragEnabled;
    return isEditableName(index) ? base | Qt::ItemIsEditable : base;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const QString newName = value.toString();
    if (role != Qt::EditRole || !isEditableName(index) || newName.isEmpty())
        return false;
    Q_EMIT nameEdited(rowAt(index.row()).texts.value(NameColumn), newName);
    return true;
}
