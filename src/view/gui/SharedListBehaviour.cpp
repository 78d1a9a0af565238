#include "view/gui/SharedListBehaviour.h"

#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/TextRowsModel.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

bool startsWithParentRow(const QAbstractItemModel& model)
{
    return model.rowCount() > 0 && model.index(0, 0).data().toString() == QLatin1String("..");
}

} // namespace

SharedListBehaviour::SharedListBehaviour(CftpView& view, QObject* parent)
    : QObject(parent), view_(view)
{
    attach(view_.localList(), CommandId::LocalSelectAll);
    attach(view_.remoteList(), CommandId::RemoteSelectAll);
    attach(view_.queueList(), CommandId::QueueSelectAll);
}

void SharedListBehaviour::attach(CMyListCtrl* list, int selectAllCommand)
{
    list->header()->setSectionsClickable(true);
    connect(list->header(), &QHeaderView::sectionClicked, this,
            [this, list](int column) { sortByColumn(*list, column); });
    view_.commands().setHandler(selectAllCommand, [list] { selectAllRows(*list); });
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

void SharedListBehaviour::sortByColumn(CMyListCtrl& list, int column)
{
    sort_.click(column);
    auto* model = qobject_cast<TextRowsModel*>(list.model());
    if (model == nullptr) {
        // A model over rows kept elsewhere (the transfer queue) sorts them itself.
        list.model()->sort(column, sort_.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
        return;
    }
    QList<QStringList> texts;
    texts.reserve(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->rowAt(row).texts);
    model->reorder(sort_.order(texts));
}

void SharedListBehaviour::selectAllRows(CMyListCtrl& list)
{
    const QAbstractItemModel* model = list.model();
    const int first = startsWithParentRow(*model) ? 1 : 0;
    const int last = model->rowCount() - 1;
    if (last < first) {
        list.clearSelection();
        return;
    }
    const QModelIndex top = model->index(first, 0);
    list.selectionModel()->select(QItemSelection(top, model->index(last, 0)),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.selectionModel()->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
}

bool SharedListBehaviour::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton || press->button() == Qt::RightButton)
            clearOtherFileList(watched);
        if (press->button() == Qt::RightButton)
            clearSelectionOnEmptySpace(watched, press->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        auto* list = qobject_cast<CMyListCtrl*>(watched);
        if (list != nullptr && handleKey(*list, *static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

bool SharedListBehaviour::handleKey(CMyListCtrl& list, const QKeyEvent& key)
{
    const bool isQueue = &list == view_.queueList();
    if (key.matches(QKeySequence::SelectAll)) {
        const int command = isQueue                      ? CommandId::QueueSelectAll
                            : &list == view_.localList() ? CommandId::LocalSelectAll
                                                         : CommandId::RemoteSelectAll;
        view_.commands().dispatch(command);
        return true;
    }
    if (key.key() == Qt::Key_Delete && (key.modifiers() & ~Qt::KeypadModifier) == 0) {
        view_.commands().dispatch(isQueue ? CommandId::QueueRemove : CommandId::Delete);
        return true;
    }
    return false;
}

// A right click beside the rows means no row: the menu's commands must not act on an old
// selection the user no longer sees as chosen.
void SharedListBehaviour::clearSelectionOnEmptySpace(const QObject* viewport, const QPoint& at)
{
    auto* list = qobject_cast<CMyListCtrl*>(viewport->parent());
    if (list == nullptr || list->viewport() != viewport || list->indexAt(at).isValid())
        return;
    list->clearSelection();
    list->selectionModel()->clearCurrentIndex();
}

// At most one file list holds a selection, so a command serving both knows which one it
// means.
void SharedListBehaviour::clearOtherFileList(const QObject* clickedViewport)
{
    if (clickedViewport == view_.localList()->viewport())
        view_.remoteList()->clearSelection();
    else if (clickedViewport == view_.remoteList()->viewport())
        view_.localList()->clearSelection();
}
