#pragma once

#include "listing/ColumnSort.h"

#include <QObject>

class CMyListCtrl;
class CftpView;
class QKeyEvent;
class QPoint;

// What the local, remote and queue lists do alike: a column click sorts through the one sort
// state they share, Ctrl+A and "全选(&A)" select every row but a ".." first row, a click on one
// file list clears the other's selection, a right click beside the rows clears the list's own,
// and Delete runs the delete command of the list
// (the file delete command on either file list, removal from the queue on the queue list).
// Lives on the GUI thread.
class SharedListBehaviour : public QObject {
    Q_OBJECT
public:
    explicit SharedListBehaviour(CftpView& view, QObject* parent = nullptr);

    void sortByColumn(CMyListCtrl& list, int column);
    static void selectAllRows(CMyListCtrl& list);

private:
    void attach(CMyListCtrl* list, int selectAllCommand);
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool handleKey(CMyListCtrl& list, const QKeyEvent& key);
    void clearOtherFileList(const QObject* clickedViewport);
    void clearSelectionOnEmptySpace(const QObject* viewport, const QPoint& at);

    CftpView& view_;
    ColumnSort sort_;
};
