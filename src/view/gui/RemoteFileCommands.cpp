#include "view/gui/RemoteFileCommands.h"

#include "platform/Prompt.h"
#include "session/SessionMessages.h"
#include "view/gui/CDlg.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"

#include <QItemSelectionModel>
#include <QPointer>

#include <algorithm>

namespace {
const QString deleteCaption = QStringLiteral("删除文件");

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
} // namespace

RemoteFileCommands::RemoteFileCommands(CftpView& view, SessionController& sessions, Prompt& prompt,
                                       QObject* parent)
    : QObject(parent), view_(view), sessions_(sessions), prompt_(prompt), dialog_(new CDlg(&view))
{
    registerCommands();
    allowRenamingInPlace();
    view_.remoteFiles()->setIconSource(
        // The view may outlive this object: its list then gets no icon instead of a dangling one.
        [self = QPointer<RemoteFileCommands>(this)](const QString& name, bool folder) {
            return self ? self->icons_.iconFor(name, folder) : QIcon();
        });
}

void RemoteFileCommands::allowRenamingInPlace()
{
    view_.remoteFiles()->setNamesEditable(true);
    view_.remoteList()->allowEditingNames();
    connect(view_.remoteFiles(), &FileListModel::nameEdited, this,
            &RemoteFileCommands::renameInPlace, Qt::QueuedConnection);
}

void RemoteFileCommands::registerCommands()
{
    auto& commands = view_.commands();
    commands.setHandler(CommandId::RemoteNewFolder, [this] { newFolder(); });
    commands.setHandler(CommandId::NewServerFolder, [this] { newFolder(); });
    commands.setHandler(CommandId::RemoteRename, [this] { renameSelected(); });
    commands.setHandler(CommandId::RemoteChangePath, [this] { moveSelected(); });
    commands.setHandler(CommandId::SearchFiles, [this] { search(); });
}

std::optional<QString> RemoteFileCommands::askText(const QString& preset)
{
    dialog_->setText(preset);
    if (dialog_->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog_->text();
}

QList<RemoteFileCommands::SelectedRow> RemoteFileCommands::selectedRows() const
{
    QModelIndexList indexes = view_.remoteList()->selectionModel()->selectedRows();
    std::sort(indexes.begin(), indexes.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<SelectedRow> rows;
    for (const QModelIndex& index : indexes) {
        const auto& row = view_.remoteFiles()->rowAt(index.row());
        rows.append(SelectedRow{row.texts.value(0), row.folder});
    }
    return rows;
}

QString RemoteFileCommands::inCurrentFolder(const QString& name) const
{
    return withTrailingSlash(sessions_.remote().currentFolder()) + name;
}

void RemoteFileCommands::post(int message, const QString& a, const QString& b, const QString& c)
{
    auto record = std::make_unique<ActionRecord>(a, b);
    record->c = c;
    sessions_.postToCurrent(message, std::move(record));
}

void RemoteFileCommands::newFolder()
{
    if (const auto name = askText(QString()))
        post(QM_MAKE_FOLDER, *name);
    sessions_.postToCurrent(QM_REFRESH);
}

void RemoteFileCommands::renameSelected()
{
    for (const SelectedRow& row : selectedRows()) {
        const auto newName = askText(row.name);
        if (newName)
            post(QM_RENAME, row.name, *newName, ActionRecord::askBeforeRename);
    }
    sessions_.postToCurrent(QM_REFRESH);
}

// The ".." row is never renamed and refreshes nothing; any other edit ends with a refresh,
// which shows what the server really did.
bool RemoteFileCommands::renameInPlace(const QString& oldName, const QString& newName)
{
    if (oldName == QLatin1String(".."))
        return false;
    if (!oldName.isEmpty() && !newName.isEmpty() && newName != oldName)
        post(QM_RENAME, oldName, newName);
    sessions_.postToCurrent(QM_REFRESH);
    return true;
}

void RemoteFileCommands::moveSelected()
{
    const QList<SelectedRow> rows = selectedRows();
    if (rows.size() == 1) {
        const QString source = inCurrentFolder(rows.first().name);
        const auto folder = askText(withTrailingSlash(sessions_.remote().currentFolder()));
        if (folder)
            post(QM_RENAME, source, withTrailingSlash(*folder) + rows.first().name);
    }
    sessions_.postToCurrent(QM_REFRESH);
}

void RemoteFileCommands::deleteSelected()
{
    const QList<SelectedRow> rows = selectedRows();
    const auto count = rows.size();
    if (count > 1 && !prompt_.confirm(QStringLiteral("是否删除这") + QString::number(count) +
                                          QStringLiteral("个文件"),
                                      deleteCaption))
        return;
    for (const SelectedRow& row : rows) {
        if (count == 1 && !prompt_.confirm(QStringLiteral("是否删除") + row.name, deleteCaption))
            return;
        post(row.folder ? QM_DELETE_TREE : QM_DELETE_FILE, row.name);
    }
}

void RemoteFileCommands::search()
{
    if (!sessions_.isConnected()) {
        prompt_.tell(QStringLiteral("尚未连接"));
        return;
    }
    if (const auto prefix = askText(QString()))
        post(QM_SEARCH, *prefix);
}
