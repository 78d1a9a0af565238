#include "session/RemoteBrowserState.h"

QString RemoteBrowserState::currentFolder() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return currentFolder_;
}

void RemoteBrowserState::setCurrentFolder(const QString& folder)
{
    std::lock_guard<std::mutex> hold(mutex_);
    currentFolder_ = folder;
}

QString RemoteBrowserState::lastVisited() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return lastVisited_;
}

void RemoteBrowserState::setLastVisited(const QString& folder)
{
    std::lock_guard<std::mutex> hold(mutex_);
    lastVisited_ = folder;
}

QString RemoteBrowserState::pathBoxText() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return pathBoxText_;
}

void RemoteBrowserState::setPathBoxText(const QString& text)
{
    std::lock_guard<std::mutex> hold(mutex_);
    pathBoxText_ = text;
}
