#pragma once

#include "listing/CListItem.h"

#include <QString>
#include <QVector>

#include <functional>
#include <optional>

class NamedMutex;
class Prompt;
class RemoteBrowserState;
class RemoteFileSystem;
class RemoteNameEncodings;

// The remote pane's work on one session's connection: listing, navigation and the commands
// that change the server's tree. Runs on the session thread only; results go out through the
// callbacks. Names without a leading "/" are taken relative to the current remote folder.
class RemoteOperations {
public:
    struct Output {
        std::function<void(const QVector<CListItem>&)> listReady;
        std::function<void(const QString&)> log;
        std::function<void(const QString&)> showPath;
    };

    // The rename dialog asks a question of its own before the one every rename asks.
    // CheckedTarget: the caller has just found the final name missing (a folder walk), so the
    // server is not asked again.
    enum class RenameOrigin { InPlaceOrMove, Dialog, CheckedTarget };

    RemoteOperations(RemoteFileSystem& client, RemoteBrowserState& remote,
                     RemoteNameEncodings& encodings, NamedMutex& engineLock, Prompt& prompt,
                     Output output);

    // CWD into a folder, its name sent as the bytes it was listed with.
    bool EnterFolder(const QString& folder);
    // The server's current folder, each of its names read on its own; empty when PWD failed,
    // so that a failure never becomes a path.
    QString QueryFolder();

    void RefreshRemoteList();
    void NavigateRemote();

    // 0: no such entry; 2: its listing began with a "total" line (a folder on servers that
    // print one), or an empty folder its parent names; 1: anything else (a file, or a folder
    // listed without "total").
    int ProbeRemote(const QString& name);
    void MakeRemoteFolder(const QString& name);
    // True when the entry has the new name: the server accepted RNTO.
    bool RenameRemote(const QString& from, const QString& to, RenameOrigin origin);
    // Both answer whether the server accepted the last command (DELE, or the folder's RMD).
    bool DeleteRemoteFile(const QString& name);
    bool DeleteRemoteTree(const QString& folder);
    // Shows the entries of the current folder whose names begin with the prefix.
    void SearchRemote(const QString& prefix);
    // The bytes of the names listed, for other commands on the same connection.
    RemoteNameEncodings& encodings() const { return encodings_; }

private:
    enum class AtUnreadableLine { Skip, Stop };
    // What an existing rename target is, when it may be the source spelt in other letter case.
    enum class RenameTarget { OtherEntry, SourceItself, Undecided };

    bool listWithRetries(const QString& argument, bool wholeFolder);
    // wholeFolder: the argument names a folder, whose machine listing is asked for where the
    // server offers one.
    void fetchListing(const QString& argument, bool wholeFolder = false);
    QString fetchFolder(const QString& folder);
    bool commandAbout(const QString& verb, const QString& name);
    bool changeTree(const QString& verb, const QString& name);
    bool renameInOneTrip(const QString& from, const QString& to);
    bool enterTypedFolder(const QString& folder, const QString& base);
    void markFolderLinks(QVector<CListItem>& entries, const QString& folder);
    bool connectionLost() const;
    QVector<CListItem> listedEntries(AtUnreadableLine rule, const QString& folder);
    QString remotePath(const QString& name) const;
    bool confirmOverwrite(const QString& question);
    RenameTarget renameTargetKind(const QString& source, const QString& target);
    void removeRenameTarget(const QString& target);
    std::optional<CListItem> entryInParent(const QString& path);
    int probeInParent(const QString& name);
    bool deleteTree(const QString& path, int depth);

    RemoteFileSystem& client_;
    RemoteBrowserState& remote_;
    RemoteNameEncodings& encodings_;
    NamedMutex& engineLock_;
    Prompt& prompt_;
    Output output_;
};
