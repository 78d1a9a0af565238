#pragma once

#include <QTreeView>

class QMenu;

// A report-style list of the main view. Its columns share the visible width evenly (less a
// small margin) and follow every resize, until the user sizes a column himself.
class CMyListCtrl : public QTreeView {
    Q_OBJECT
public:
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool isEnterLeftByEditor(QEvent* event) const;
    void spreadColumns();
    void noticeColumnResized();

    const int widthMargin_;
    QMenu* contextMenu_ = nullptr;
    bool columnsFollowWidth_ = true;
    bool namesEditable_ = false;
    bool spreading_ = false;
};
