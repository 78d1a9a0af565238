#pragma once

#include "view/gui/FileIconCache.h"

#include <QObject>
#include <QStringList>

#include <optional>

class CDlg;
class CftpView;
class Prompt;
class SessionController;

// The commands of the remote pane that change the server's tree: new folder, rename (from the
// dialog and in place), move, delete and search. They collect the user's choices here and hand
// the work to the current session as requests, in order; the view never waits for the server.
// Lives on the GUI thread.
class RemoteFileCommands : public QObject {
    Q_OBJECT
public:
    RemoteFileCommands(CftpView& view, SessionController& sessions, Prompt& prompt,
                       QObject* parent = nullptr);

    void newFolder();
    void renameSelected();
    // Answers whether the edit is accepted.
    bool renameInPlace(const QString& oldName, const QString& newName);
    void moveSelected();
    // The remote branch of the delete command.
    void deleteSelected();
    void search();

private:
    struct SelectedRow {
        QString name;
        bool folder;
    };

    std::optional<QString> askText(const QString& preset);
    QList<SelectedRow> selectedRows() const;
    QString inCurrentFolder(const QString& name) const;
    void post(int message, const QString& a = {}, const QString& b = {}, const QString& c = {});
    void registerCommands();
    void allowRenamingInPlace();

    CftpView& view_;
    SessionController& sessions_;
    Prompt& prompt_;
    CDlg* dialog_; // owned by the view
    FileIconCache icons_;
};
