#pragma once

#include "view/gui/TextRowsModel.h"

// The rows of the transfer queue list: the twelve column texts of each entry and its folder
// flag.
class QueueListModel : public TextRowsModel {
    Q_OBJECT
public:
    enum ColumnIndex {
        FileName,
        Address,
        Size,
        Progress,
        Target,
        Action,
        StartTime,
        FinishTime,
        Speed,
        Elapsed,
        Remaining,
        State,
        ColumnCount
    };

    explicit QueueListModel(QObject* parent = nullptr);

private:
    static QVector<Column> columns();
};
