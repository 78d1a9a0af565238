#pragma once

#include "view/LocalFolderMove.h"

#include <QObject>
#include <QString>

class CMyListCtrl;
class CftpView;
class LocalPaneController;
class Prompt;
class SessionController;

// What drops on the two file lists do. Rows dragged from one pane to the other are uploaded
// or downloaded by the queue commands; rows dropped on a folder row of their own pane move into
// that folder (locally, or on the server by a rename). Files from the file manager are copied
// into the local folder, or queued for upload to the remote folder. Drops are handled after
// the drag has ended, so that questions never open inside it. Lives on the GUI thread.
class PaneDragDrop : public QObject {
    Q_OBJECT
public:
    PaneDragDrop(CftpView& view, LocalPaneController& localPane, SessionController& sessions,
                 Prompt& prompt, QObject* parent = nullptr);

    // Rows of source dropped on target over its row dropRow (-1: over no row).
    void DropBetweenLists(CMyListCtrl* source, CMyListCtrl* target, int dropRow);
    // A path from the file manager dropped on target.
    void dropPath(CMyListCtrl* target, const QString& path);

private:
    void watch(CMyListCtrl* list);
    CMyListCtrl* listWithId(int controlId) const;
    static QString nameAt(const CMyListCtrl* list, int row);
    void moveLocalRows(int dropRow);
    void moveRemoteRows(int dropRow);
    void copyIntoLocalFolder(const QString& path);
    void queueUpload(const QString& path);
    QString inRemoteFolder(const QString& name) const;

    CftpView& view_;
    LocalPaneController& localPane_;
    SessionController& sessions_;
    Prompt& prompt_;
    LocalFolderMove folderMove_;
};
