#pragma once

#include "view/LocalBrowser.h"
#include "view/gui/FileIconCache.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CftpView;
class Prompt;

// Drives the local pane: the path box with the drives, the desktop and every folder visited,
// and the local list showing one folder. A change of the path box text (typed or picked)
// enters that folder; opening a row, Backspace and ".." move down and up, each move adding its
// folder to the path box. A folder that cannot be entered keeps the previous one listed.
// Lives on the GUI thread.
class LocalPaneController : public QObject {
    Q_OBJECT
public:
    LocalPaneController(CftpView& view, Prompt& prompt, QObject* parent = nullptr);

    // Start-up steps: "/", the mounted volumes and the desktop folder into the path box (an
    // empty desktopFolder is reported as "获取路径失败" and leaves "/" in its place); then the
    // desktop becomes the shown folder.
    void fillLocalDrives(const QString& desktopFolder);
    void enterDesktopFolder();

    // The folder the local list shows; local names of the commands are relative to it.
    QString currentFolder() const { return browser_.currentFolder(); }
    // Names of the selected rows in list order, the ".." row left out: it stands for the
    // parent, which no command may rename, delete or open as an entry of this folder.
    QStringList selectedNames() const;

    // Lists the current folder again.
    void RefreshLocalList();
    // Enters path, adds it to the path box and lists it (the previous folder when it cannot be
    // entered).
    void navigateTo(const QString& path);
    // Double click or Enter: ".." goes up, a folder down, a file is uploaded.
    void openSelectedRow();
    // Backspace: up one folder; the root lists itself again.
    void goUp();

private:
    void onPathEdited(const QString& text);
    void addPathItem(const QString& path);
    void registerCommands();
    bool eventFilter(QObject* watched, QEvent* event) override;

    CftpView& view_;
    Prompt& prompt_;
    LocalBrowser browser_;
    FileIconCache icons_;
    QStringList drives_;
    bool desktopFound_ = false;
};
