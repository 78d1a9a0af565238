#pragma once

#include <QTreeView>

#include <functional>

class QMenu;
class QMimeData;

// A report-style list of the main view. Its columns share the visible width evenly (less a
// small margin) and follow every resize, until the user sizes a column himself.
// A file list also takes part in drag and drop: its rows can be dragged onto either file list,
// and files from the file manager can be dropped on it. It only reports what was dropped where;
// the view's drag and drop feature decides what that does.
class CMyListCtrl : public QTreeView {
    Q_OBJECT
public:
    // Rows dragged by a list carry this type; the data is the control id of that list.
    static const char* const RowsMimeType;
    using Uploader = std::function<void(const QString& localPath, const QString& remoteTarget,
                                        const QString& size)>;

    explicit CMyListCtrl(int widthMargin, QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // Shown on a right click or the menu key; the list does not own it.
    void setContextMenu(QMenu* menu);
    // Names (column 0) are edited in place with F2, whichever cell of the row has the focus,
    // or with a slow second click; a double click still opens the row.
    void allowEditingNames();
    bool columnsFollowWidth() const { return columnsFollowWidth_; }
    // Selected rows from the top of the list down, whatever order they were picked in.
    QList<int> selectedRowsInOrder() const;

    // Lets rows be dragged from this list, and rows and file manager files be dropped on it.
    void takePartInDragAndDrop();
    // The row under a drag in progress, shown highlighted; -1 when none.
    int dropRow() const { return dropRow_; }
    // Queues the upload of a file dropped on the remote list; the queue installs it, since
    // the list knows nothing of the queue.
    void setDropUploader(Uploader uploader) { uploader_ = std::move(uploader); }
    void uploadDropped(const QString& localPath, const QString& remoteTarget,
                       const QString& size) const;

Q_SIGNALS:
    // Rows of the list with id sourceControlId were dropped here, on row dropRow or (-1) below
    // the rows.
    void rowsDropped(int sourceControlId, int dropRow);
    // One local path from a file manager's drop, in the order they were dropped.
    void pathDropped(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    bool wantsDrop(const QMimeData* mime) const;
    void setDropRow(int row);
    QPixmap dragImageOf(int row) const;
    bool isEnterLeftByEditor(QEvent* event) const;
    void spreadColumns();
    void noticeColumnResized();

    const int widthMargin_;
    QMenu* contextMenu_ = nullptr;
    bool columnsFollowWidth_ = true;
    bool namesEditable_ = false;
    bool spreading_ = false;
    bool dropsWanted_ = false;
    int dropRow_ = -1;
    Uploader uploader_;
};
