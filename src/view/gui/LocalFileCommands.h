#pragma once

#include "view/LocalOperations.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class CDlg;
class CftpView;
class LocalPaneController;
class Prompt;

// The commands of the local pane that change or open local entries: new folder and rename
// through CDlg, rename in place, delete, properties and open, with the enabled rules of the
// local list's menu. Each change ends with a fresh listing. Lives on the GUI thread.
//
// The delete command (its menu entries and the Delete key on either file list) serves both
// panes: it deletes the local selection when there is one and otherwise runs the remote
// branch, which the remote pane's feature installs with setRemoteDelete.
class LocalFileCommands : public QObject {
    Q_OBJECT
public:
    using Opener = std::function<bool(const QUrl&)>;

    LocalFileCommands(CftpView& view, LocalPaneController& pane, Prompt& prompt,
                      QObject* parent = nullptr);

    // Replaces the desktop's default application (tests watch what would be opened).
    void setOpener(Opener opener) { opener_ = std::move(opener); }
    // Runs when the delete command finds no local selection.
    void setRemoteDelete(std::function<void()> remoteDelete)
    {
        remoteDelete_ = std::move(remoteDelete);
    }

    void newFolder();
    void renameSelected();
    void deleteSelected();
    void showProperties();
    void openSelected();

private:
    std::optional<QString> askText(const QString& preset);
    void renameInPlace(const QString& oldName, const QString& newName);
    bool isOpenable() const;
    void registerCommands();
    void registerEnabledRules();
    void allowRenamingInPlace();

    CftpView& view_;
    LocalPaneController& pane_;
    LocalOperations operations_;
    CDlg* dialog_; // owned by the view
    Opener opener_;
    std::function<void()> remoteDelete_;
};
