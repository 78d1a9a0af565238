#include "view/gui/CMyListCtrl.h"

#include "view/gui/ControlIds.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

const char* const CMyListCtrl::RowsMimeType = "application/x-kevra-rows";

namespace {
// Where the cursor holds the drag image.
const QPoint dragHotSpot(10, 10);
constexpr int dragImageMaxWidth = 320;
} // namespace

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

void CMyListCtrl::takePartInDragAndDrop()
{
    dropsWanted_ = true;
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

void CMyListCtrl::uploadDropped(const QString& localPath, const QString& remoteTarget,
                                const QString& size) const
{
    if (uploader_)
        uploader_(localPath, remoteTarget, size);
}

void CMyListCtrl::startDrag(Qt::DropActions)
{
    const int row = currentIndex().row();
    if (row < 0)
        return;
    auto* mime = new QMimeData;
    mime->setData(QLatin1String(RowsMimeType),
                  QByteArray::number(property(ControlId::Property).toInt()));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(dragImageOf(row));
    drag->setHotSpot(dragHotSpot);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    setDropRow(-1);
}

QPixmap CMyListCtrl::dragImageOf(int row) const
{
    const QRect cell = visualRect(model()->index(row, 0));
    const QRect strip(0, cell.top(), qMin(viewport()->width(), dragImageMaxWidth), cell.height());
    return viewport()->grab(strip);
}

bool CMyListCtrl::wantsDrop(const QMimeData* mime) const
{
    return dropsWanted_ && mime != nullptr &&
           (mime->hasFormat(QLatin1String(RowsMimeType)) || mime->hasUrls());
}

void CMyListCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    if (!wantsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CMyListCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    if (!wantsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    setDropRow(indexAt(event->position().toPoint()).row());
    event->acceptProposedAction();
}

void CMyListCtrl::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropRow(-1);
    event->accept();
}

void CMyListCtrl::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    setDropRow(-1);
    if (!wantsDrop(mime)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QByteArray rows = mime->data(QLatin1String(RowsMimeType));
    if (!rows.isEmpty()) {
        Q_EMIT rowsDropped(rows.toInt(), indexAt(event->position().toPoint()).row());
        return;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            Q_EMIT pathDropped(url.toLocalFile());
    }
}

void CMyListCtrl::setDropRow(int row)
{
    if (row == dropRow_)
        return;
    dropRow_ = row;
    viewport()->update();
}

void CMyListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    if (index.row() != dropRow_ || dropRow_ < 0) {
        QTreeView::drawRow(painter, option, index);
        return;
    }
    QStyleOptionViewItem highlighted(option);
    highlighted.state |= QStyle::State_Selected;
    QTreeView::drawRow(painter, highlighted, index);
}
