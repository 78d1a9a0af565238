#pragma once

#include "view/gui/TextRowsModel.h"

// The rows of the local or the remote file list: name, date, size text and, for the server's
// entries, the permission characters.
class FileListModel : public TextRowsModel {
    Q_OBJECT
public:
    enum class Side { Local, Remote };

    explicit FileListModel(Side side, QObject* parent = nullptr);

    Side side() const { return side_; }

private:
    static QVector<Column> columnsOf(Side side);

    const Side side_;
};
