#pragma once

#include "view/gui/TextRowsModel.h"

// The twelve columns of the transfer queue list, and the rows a bare view shows until the queue
// itself is attached to the list.
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

    static QVector<Column> columns();
};
