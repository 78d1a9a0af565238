#include "view/gui/FileListModel.h"

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
