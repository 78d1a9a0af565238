#include "view/gui/CMyListCtrl.h"

#include <QKeyEvent>

#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

CMyListCtrl::CMyListCtrl(int widthMargin, QWidget* parent)
    : QTreeView(parent), widthMargin_(widthMargin)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionResized, this, &CMyListCtrl::noticeColumnResized);
}

void CMyListCtrl::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    spreadColumns();
}

void CMyListCtrl::setContextMenu(QMenu* menu)
{
    contextMenu_ = menu;
}

bool CMyListCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && event->type() == QEvent::Resize)
        spreadColumns();
    if (watched == viewport() && isEnterLeftByEditor(event)) {
        event->accept();
        return true;
    }
    return QTreeView::eventFilter(watched, event);
}

// The name editor commits on Enter but leaves the key unhandled, so it travels up to the
// list, where it would open the row being renamed. It stops here, at the viewport.
bool CMyListCtrl::isEnterLeftByEditor(QEvent* event) const
{
    if (event->type() != QEvent::KeyPress || state() != QAbstractItemView::EditingState)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

void CMyListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    if (contextMenu_ == nullptr)
        return;
    contextMenu_->popup(event->globalPos());
    event->accept();
}

void CMyListCtrl::spreadColumns()
{
    const int columns = header()->count();
    if (!columnsFollowWidth_ || columns == 0)
        return;
    const int width = qMax(0, (viewport()->width() - widthMargin_) / columns);
    spreading_ = true;
    for (int column = 0; column < columns; ++column)
        header()->resizeSection(column, width);
    spreading_ = false;
}

void CMyListCtrl::noticeColumnResized()
{
    if (!spreading_)
        columnsFollowWidth_ = false;
}

QList<int> CMyListCtrl::selectedRowsInOrder() const
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CMyListCtrl::allowEditingNames()
{
    namesEditable_ = true;
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}

void CMyListCtrl::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (namesEditable_ && event->key() == Qt::Key_F2 && current.isValid()) {
        edit(current.siblingAtColumn(0));
        return;
    }
    QTreeView::keyPressEvent(event);
}
