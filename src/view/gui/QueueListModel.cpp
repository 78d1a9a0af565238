#include "view/gui/QueueListModel.h"

QueueListModel::QueueListModel(QObject* parent) : TextRowsModel(columns(), parent) {}

QVector<TextRowsModel::Column> QueueListModel::columns()
{
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment centre = Qt::AlignHCenter;
    return {{QStringLiteral("文件名"), left},     {QStringLiteral("地址"), left},
            {QStringLiteral("大小"), left},       {QStringLiteral("进度"), left},
            {QStringLiteral("目标"), left},       {QStringLiteral("动作"), centre},
            {QStringLiteral("开始时间"), centre}, {QStringLiteral("完成时间"), centre},
            {QStringLiteral("速度"), centre},     {QStringLiteral("已用时"), centre},
            {QStringLiteral("剩余时间"), centre}, {QStringLiteral("状态"), centre}};
}
