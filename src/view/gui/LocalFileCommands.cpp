#include "view/gui/LocalFileCommands.h"

#include "view/FileProperties.h"
#include "view/LocalBrowser.h"
#include "view/gui/CDlg.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/PropertiesDialog.h"

#include <QDesktopServices>
#include <QFileInfo>

LocalFileCommands::LocalFileCommands(CftpView& view, LocalPaneController& pane, Prompt& prompt,
                                     QObject* parent)
    : QObject(parent), view_(view), pane_(pane),
      operations_(prompt, [&view](const QString& line) { view.AppendLog(line); }),
      dialog_(new CDlg(&view)), opener_(&QDesktopServices::openUrl)
{
    registerCommands();
    registerEnabledRules();
    allowRenamingInPlace();
}

void LocalFileCommands::registerCommands()
{
    CommandDispatcher& commands = view_.commands();
    commands.setHandler(CommandId::LocalNewFolder, [this] { newFolder(); });
    commands.setHandler(CommandId::NewLocalFolder, [this] { newFolder(); });
    commands.setHandler(CommandId::LocalRename, [this] { renameSelected(); });
    commands.setHandler(CommandId::LocalDelete, [this] { deleteSelected(); });
    commands.setHandler(CommandId::Delete, [this] { deleteSelected(); });
    commands.setHandler(CommandId::LocalProperties, [this] { showProperties(); });
    commands.setHandler(CommandId::LocalOpen, [this] { openSelected(); });
}

void LocalFileCommands::registerEnabledRules()
{
    CommandDispatcher& commands = view_.commands();
    const auto anySelected = [this] { return !pane_.selectedNames().isEmpty(); };
    for (int id : {CommandId::LocalUpload, CommandId::LocalCompressAndUpload,
                   CommandId::LocalDelete, CommandId::LocalAddToQueue, CommandId::LocalRename})
        commands.setEnabledRule(id, anySelected);
    commands.setEnabledRule(CommandId::LocalProperties,
                            [this] { return pane_.selectedNames().size() == 1; });
    commands.setEnabledRule(CommandId::LocalOpen, [this] { return isOpenable(); });
}

void LocalFileCommands::allowRenamingInPlace()
{
    view_.localFiles()->setNamesEditable(true);
    view_.localList()->allowEditingNames();
    // Queued: the rename may ask a question and relists, which must not happen while the
    // list is still closing its editor.
    connect(view_.localFiles(), &FileListModel::nameEdited, this, &LocalFileCommands::renameInPlace,
            Qt::QueuedConnection);
}

std::optional<QString> LocalFileCommands::askText(const QString& preset)
{
    dialog_->setText(preset);
    if (dialog_->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog_->text();
}

void LocalFileCommands::newFolder()
{
    const std::optional<QString> name = askText(QString());
    if (!name)
        return;
    operations_.makeFolder(pane_.currentFolder(), *name);
    pane_.RefreshLocalList();
}

void LocalFileCommands::renameSelected()
{
    const QStringList names = pane_.selectedNames();
    for (const QString& name : names) {
        const std::optional<QString> newName = askText(name);
        if (newName)
            operations_.rename(pane_.currentFolder(), name, *newName);
    }
    pane_.RefreshLocalList();
}

void LocalFileCommands::renameInPlace(const QString& oldName, const QString& newName)
{
    operations_.rename(pane_.currentFolder(), oldName, newName);
    pane_.RefreshLocalList();
}

void LocalFileCommands::deleteSelected()
{
    if (!view_.localList()->selectionModel()->hasSelection()) {
        if (remoteDelete_)
            remoteDelete_();
        return;
    }
    const QStringList names = pane_.selectedNames();
    if (names.isEmpty())
        return;
    operations_.deleteEntries(pane_.currentFolder(), names);
    pane_.RefreshLocalList();
}

void LocalFileCommands::showProperties()
{
    const QStringList names = pane_.selectedNames();
    if (names.size() != 1)
        return;
    PropertiesDialog dialog(
        FileProperties::read(LocalBrowser::join(pane_.currentFolder(), names.first())), &view_);
    dialog.exec();
}

bool LocalFileCommands::isOpenable() const
{
    const QStringList names = pane_.selectedNames();
    return names.size() == 1 &&
           !QFileInfo(LocalBrowser::join(pane_.currentFolder(), names.first())).isDir();
}

void LocalFileCommands::openSelected()
{
    if (isOpenable())
        opener_(QUrl::fromLocalFile(
            LocalBrowser::join(pane_.currentFolder(), pane_.selectedNames().first())));
}
