#include "view/gui/LocalPaneController.h"

#include "platform/Prompt.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>

namespace {

bool isParentRow(const QString& name)
{
    QString trimmed = name;
    while (trimmed.endsWith(QLatin1Char(' ')))
        trimmed.chop(1);
    return trimmed == QLatin1String("..");
}

} // namespace

LocalPaneController::LocalPaneController(CftpView& view, Prompt& prompt, QObject* parent)
    : QObject(parent), view_(view), prompt_(prompt)
{
    view_.localFiles()->setIconSource(
        // The view may outlive this object: its list then gets no icon instead of a dangling one.
        [self = QPointer<LocalPaneController>(this)](const QString& name, bool folder) {
            return self ? self->icons_.iconFor(name, folder) : QIcon();
        });
    // Completing a typed path inline would enter folders the user never typed.
    view_.localPathBox()->setCompleter(nullptr);
    connect(view_.localPathBox(), &QComboBox::editTextChanged, this,
            &LocalPaneController::onPathEdited);
    // A double click means the row clicked, even inside a wider selection.
    connect(view_.localList(), &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) {
                view_.localList()->selectionModel()->select(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                openSelectedRow();
            });
    view_.localList()->installEventFilter(this);
    registerCommands();
}

void LocalPaneController::registerCommands()
{
    view_.commands().setHandler(CommandId::LocalRefresh, [this] { RefreshLocalList(); });
}

// Many Linux homes have no Desktop folder although the system names one; the home folder
// stands in for it rather than a path box item that cannot be entered.
void LocalPaneController::fillLocalDrives(const QString& desktopFolder)
{
    desktopFound_ = !desktopFolder.isEmpty();
    if (!desktopFound_)
        prompt_.tell(QStringLiteral("获取路径失败"));
    const QString desktop =
        !desktopFound_ || QFileInfo(desktopFolder).isDir() ? desktopFolder : QDir::homePath();
    const QStringList places = LocalBrowser::drives(desktop);
    QComboBox* box = view_.localPathBox();
    const QSignalBlocker quiet(box);
    for (qsizetype index = 0; index < places.size(); ++index) {
        const bool isDesktop = index == places.size() - 1;
        box->addItem(isDesktop ? icons_.folderIcon() : icons_.driveIcon(), places[index]);
    }
}

void LocalPaneController::enterDesktopFolder()
{
    QComboBox* box = view_.localPathBox();
    if (desktopFound_) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(box->count() - 1);
    }
    onPathEdited(box->currentText());
}

void LocalPaneController::onPathEdited(const QString& text)
{
    browser_.enter(text);
    RefreshLocalList();
}

void LocalPaneController::RefreshLocalList()
{
    const QVector<CListItem> items = browser_.list();
    QVector<TextRowsModel::Row> rows;
    rows.reserve(items.size());
    for (const CListItem& item : items)
        rows.append(TextRowsModel::Row{{item.name, item.date, item.size}, item.isFolder});
    view_.localFiles()->setRows(std::move(rows));
}

// Selecting the new item would enter the folder through the text change as well; the signal
// is held back so that the folder is read once.
void LocalPaneController::addPathItem(const QString& path)
{
    QComboBox* box = view_.localPathBox();
    const QSignalBlocker quiet(box);
    box->addItem(icons_.folderIcon(), path);
    box->setCurrentIndex(box->count() - 1);
}

void LocalPaneController::navigateTo(const QString& path)
{
    browser_.enter(path);
    addPathItem(path);
    RefreshLocalList();
}

void LocalPaneController::openSelectedRow()
{
    const QList<int> selected = view_.localList()->selectedRowsInOrder();
    if (selected.isEmpty())
        return;
    const TextRowsModel::Row& row = view_.localFiles()->rowAt(selected.first());
    if (!row.folder) {
        view_.commands().dispatch(CommandId::LocalUpload);
        return;
    }
    const QString name = row.texts.value(0);
    const QString current = browser_.currentFolder();
    navigateTo(isParentRow(name) ? LocalBrowser::parentOf(current)
                                 : LocalBrowser::join(current, name));
}

void LocalPaneController::goUp()
{
    navigateTo(LocalBrowser::parentOf(browser_.currentFolder()));
}

QStringList LocalPaneController::selectedNames() const
{
    QStringList names;
    for (int row : view_.localList()->selectedRowsInOrder()) {
        const QString name = view_.localFiles()->rowAt(row).texts.value(0);
        if (!isParentRow(name))
            names << name;
    }
    return names;
}

bool LocalPaneController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_.localList() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        openSelectedRow();
        return true;
    }
    if (key == Qt::Key_Backspace) {
        goUp();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
