#pragma once

#include <QString>

#include <mutex>

// What the remote pane shows, shared by the GUI thread (navigation by double click, the path
// box) and the session threads (navigation requests, tab activation).
class RemoteBrowserState {
public:
    QString currentFolder() const;
    void setCurrentFolder(const QString& folder);

    // The folder the last successful navigation reached; a request for it again does nothing.
    QString lastVisited() const;
    void setLastVisited(const QString& folder);

    // The remote path box's edit text, read when a navigation request is handled.
    QString pathBoxText() const;
    void setPathBoxText(const QString& text);

private:
    mutable std::mutex mutex_; // guards the three texts
    QString currentFolder_;
    QString lastVisited_;
    QString pathBoxText_;
};
