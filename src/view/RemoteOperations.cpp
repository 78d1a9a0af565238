#include "view/RemoteOperations.h"

#include "ftp/FtpClient.h"
#include "platform/NamedMutex.h"
#include "view/RemoteBrowserState.h"

#include <mutex>

namespace {
constexpr int listAttempts = 5;

CListItem parentRow()
{
    CListItem row;
    row.name = QStringLiteral("..");
    row.isFolder = 1;
    return row;
}

bool isDotEntry(const QString& name)
{
    return name == QLatin1String(".") || name == QLatin1String("..");
}
} // namespace

RemoteOperations::RemoteOperations(FtpClient& client, RemoteBrowserState& remote,
                                   NamedMutex& engineLock, Prompt& prompt, Output output)
    : client_(client), remote_(remote), engineLock_(engineLock), prompt_(prompt),
      output_(std::move(output))
{
}

bool RemoteOperations::listWithRetries(const QString& argument)
{
    for (int attempt = 0; attempt < listAttempts; ++attempt) {
        if (client_.List(argument))
            return true;
    }
    return false;
}

// Folders go on top in the reverse of the server's order, files below in the server's order.
QVector<CListItem> RemoteOperations::parseListing(const QString& namePrefix,
                                                  bool stopAtFirstRejected)
{
    QVector<CListItem> folders;
    QVector<CListItem> files;
    qsizetype position = 0;
    while (client_.NextListLine(position)) {
        CListItem item;
        if (!item.Parse(client_.listLine)) {
            if (stopAtFirstRejected)
                break;
            continue;
        }
        if (isDotEntry(item.name) || !item.name.startsWith(namePrefix))
            continue;
        (item.isFolder ? folders : files).append(item);
    }
    QVector<CListItem> rows;
    rows.reserve(folders.size() + files.size() + 1);
    std::copy(folders.rbegin(), folders.rend(), std::back_inserter(rows));
    rows.append(files);
    return rows;
}

void RemoteOperations::RefreshRemoteList()
{
    std::lock_guard<NamedMutex> hold(engineLock_);
    client_.Command(QStringLiteral("PWD"));
    const bool listed = listWithRetries(QString());
    QVector<CListItem> rows = parseListing(QString(), false);
    rows.prepend(parentRow());
    output_.listReady(rows);
    // The final reply of the listing; after a failed listing there may be none to wait for.
    if (listed)
        client_.Command(QString());
}

void RemoteOperations::NavigateRemote()
{
    const QString target = remote_.pathBoxText();
    if (target == remote_.lastVisited())
        return;
    remote_.setCurrentFolder(target);
    if (!client_.Command(QStringLiteral("CWD ") + target))
        return;
    client_.Command(QStringLiteral("PWD"));
    remote_.setLastVisited(target);
    RefreshRemoteList();
}
