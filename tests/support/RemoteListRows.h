#pragma once

#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"

#include <QItemSelectionModel>
#include <QStringList>

// The remote list as a GUI test reads and picks it: names in list order, and a selection of
// rows by name (an empty list clears it).
namespace remoterows {

inline QStringList names(const CftpView& view)
{
    QStringList result;
    for (int row = 0; row < view.remoteFiles()->rowCount(); ++row)
        result << view.remoteFiles()->rowAt(row).texts.value(0);
    return result;
}

inline void select(const CftpView& view, const QStringList& wanted)
{
    auto* selection = view.remoteList()->selectionModel();
    selection->clearSelection();
    for (int row = 0; row < view.remoteFiles()->rowCount(); ++row) {
        if (wanted.contains(view.remoteFiles()->rowAt(row).texts.value(0)))
            selection->select(view.remoteFiles()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

} // namespace remoterows
