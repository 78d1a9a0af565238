#pragma once

#include "view/CListItem.h"

#include <QString>
#include <QVector>

#include <functional>

class FtpClient;
class NamedMutex;
class Prompt;
class RemoteBrowserState;

// The remote pane's work on one session's connection: listing, navigation and the commands
// that change the server's tree. Runs on the session thread only; results go out through the
// callbacks.
class RemoteOperations {
public:
    struct Output {
        std::function<void(const QVector<CListItem>&)> listReady;
        std::function<void(const QString&)> log;
        std::function<void(const QString&)> showPath;
    };

    RemoteOperations(FtpClient& client, RemoteBrowserState& remote, NamedMutex& engineLock,
                     Prompt& prompt, Output output);

    void RefreshRemoteList();
    void NavigateRemote();

private:
    bool listWithRetries(const QString& argument);
    QVector<CListItem> parseListing(const QString& namePrefix, bool stopAtFirstRejected);

    FtpClient& client_;
    RemoteBrowserState& remote_;
    NamedMutex& engineLock_;
    Prompt& prompt_;
    Output output_;
};
