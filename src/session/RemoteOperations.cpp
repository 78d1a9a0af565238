#include "session/RemoteOperations.h"

#include "platform/NamedMutex.h"
#include "platform/Prompt.h"
#include "session/FolderLink.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"

#include <QStringList>

#include <algorithm>
#include <mutex>

namespace {
constexpr int listAttempts = 5;
// A tree delete descends no deeper than this, so a server that lists a further sub-folder in
// every folder cannot run the session out of stack.
constexpr int deepestTreeLevel = 256;

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

bool isTotalLine(const QString& line)
{
    return line.startsWith(QLatin1String("total"));
}

// A link is never entered: deleting a tree through it would empty the folder it points to.
bool isRealFolder(const CListItem& item)
{
    return item.isFolder && !item.isLink;
}

// An empty name stands for the current folder itself and ".." for its parent: neither is an
// entry the user chose from the list.
bool namesAnEntry(const QString& name)
{
    return !name.isEmpty() && !isDotEntry(name);
}

QString withSlash(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// Folders go on top in the reverse of the server's order, files below in the server's order.
QVector<CListItem> inDisplayOrder(const QVector<CListItem>& entries, const QString& namePrefix)
{
    QVector<CListItem> folders;
    QVector<CListItem> files;
    for (const CListItem& item : entries) {
        if (item.name.startsWith(namePrefix))
            (item.isFolder ? folders : files).append(item);
    }
    QVector<CListItem> rows;
    rows.reserve(folders.size() + files.size() + 1);
    std::copy(folders.rbegin(), folders.rend(), std::back_inserter(rows));
    rows.append(files);
    return rows;
}

// Two spellings of one path become the same text: empty and "." steps go, ".." steps are
// applied. Applied without asking the server, ".." can only make two different paths look the
// same (through a link), which leaves a rename undone instead of deleting its source.
QString lexicalPath(const QString& absolute)
{
    QStringList steps;
    const QStringList written = absolute.split(u'/', Qt::SkipEmptyParts);
    for (const QString& step : written) {
        if (step == QLatin1String("..")) {
            if (!steps.isEmpty())
                steps.removeLast();
        } else if (step != QLatin1String(".")) {
            steps.append(step);
        }
    }
    return QStringLiteral("/") + steps.join(u'/');
}

struct PathParts {
    QString parent; // empty: the server's current folder
    QString name;
};

PathParts splitPath(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return {QString(), path};
    return {slash == 0 ? QStringLiteral("/") : path.left(slash), path.mid(slash + 1)};
}
} // namespace

RemoteOperations::RemoteOperations(RemoteFileSystem& client, RemoteBrowserState& remote,
                                   RemoteNameEncodings& encodings, NamedMutex& engineLock,
                                   Prompt& prompt, Output output)
    : client_(client), remote_(remote), encodings_(encodings), engineLock_(engineLock),
      prompt_(prompt), output_(std::move(output))
{
}

// A refusal (450/550 to a missing path) is an answer, and a connection that lost its place
// answers nothing more: only a listing cut on the network is asked for again.
bool RemoteOperations::listWithRetries(const QString& argument, bool wholeFolder)
{
    for (int attempt = 0; attempt < listAttempts; ++attempt) {
        if (wholeFolder ? client_.ListFolder(argument) : client_.List(argument))
            return true;
        if (!client_.networkFailure() || connectionLost())
            return false;
    }
    return false;
}

// Lists and reads the listing's final reply; a failed listing leaves no reply to wait for.
void RemoteOperations::fetchListing(const QString& argument, bool wholeFolder)
{
    const QString wire = argument.isEmpty()
                             ? QString()
                             : encodings_.onWire(client_, argument, remote_.currentFolder());
    if (listWithRetries(wire, wholeFolder))
        client_.Command(QString());
}

// Lists a folder ("" for the current one) and answers its path, under which its names are
// remembered as they are read.
QString RemoteOperations::fetchFolder(const QString& folder)
{
    fetchListing(folder, true);
    const QString path = folder.isEmpty() ? remote_.currentFolder() : remotePath(folder);
    encodings_.startListing(path);
    return path;
}

// A name goes back to the server in the bytes it was listed with.
bool RemoteOperations::commandAbout(const QString& verb, const QString& name)
{
    return client_.Command(verb + u' ' + encodings_.onWire(client_, name, remote_.currentFolder()));
}

// A refusal leaves the tree as it was; the server's own words tell the user why.
bool RemoteOperations::changeTree(const QString& verb, const QString& name)
{
    if (commandAbout(verb, name))
        return true;
    if (!connectionLost())
        output_.log(QStringLiteral("服务器拒绝了 ") + verb + u' ' + name + QStringLiteral(":") +
                    client_.replyLine() + QStringLiteral("\r\n"));
    return false;
}

// A typed path may hold names never listed: UTF-8 first, GBK when the server refuses those.
bool RemoteOperations::enterTypedFolder(const QString& folder, const QString& base)
{
    const QByteArray utf8 = encodings_.bytesOf(folder, base, TextCodec::Encoding::Utf8);
    if (client_.Command(QStringLiteral("CWD ") + RemoteNameEncodings::onWire(client_, utf8)))
        return true;
    const QByteArray gbk = encodings_.bytesOf(folder, base, TextCodec::Encoding::Gbk);
    return gbk != utf8 && !connectionLost() &&
           client_.Command(QStringLiteral("CWD ") + RemoteNameEncodings::onWire(client_, gbk));
}

// A link the session can enter is shown, entered and transferred as a folder; the probes leave
// the server's current folder back where the listing was made.
void RemoteOperations::markFolderLinks(QVector<CListItem>& entries, const QString& folder)
{
    bool probed = false;
    for (CListItem& entry : entries) {
        if (!entry.isLink || connectionLost())
            continue;
        probed = true;
        if (FolderLink::Classify(client_, encodings_, withSlash(folder) + entry.name) ==
            FolderLink::Kind::NotAFolder)
            continue;
        entry.isFolder = true;
        entry.size.clear();
        entry.bytes = 0;
    }
    if (probed)
        commandAbout(QStringLiteral("CWD"), folder);
}

bool RemoteOperations::connectionLost() const
{
    return !client_.connectionFault().isEmpty();
}

// The entries in the engine's list buffer in the server's order, without "total" lines and
// without the "." and ".." entries.
QVector<CListItem> RemoteOperations::listedEntries(AtUnreadableLine rule, const QString& folder)
{
    QVector<CListItem> entries;
    qsizetype position = 0;
    while (client_.NextListLine(position)) {
        if (isTotalLine(client_.listLine()))
            continue;
        CListItem item;
        if (!item.Parse(client_.listLine())) {
            if (rule == AtUnreadableLine::Stop)
                break;
            continue;
        }
        if (isDotEntry(item.name))
            continue;
        encodings_.noteName(folder, item.name, client_.listLineEncoding());
        entries.append(item);
    }
    return entries;
}

QString RemoteOperations::remotePath(const QString& name) const
{
    return name.startsWith(u'/') ? name : withSlash(remote_.currentFolder()) + name;
}

bool RemoteOperations::EnterFolder(const QString& folder)
{
    return commandAbout(QStringLiteral("CWD"), folder);
}

QString RemoteOperations::QueryFolder()
{
    const QString folder = client_.QueryPwd();
    if (folder == QLatin1String("0"))
        return QString();
    return encodings_.readPath(TextCodec(client_.replyLineEncoding()).encode(folder));
}

void RemoteOperations::RefreshRemoteList()
{
    std::lock_guard<NamedMutex> hold(engineLock_);
    client_.Command(QStringLiteral("PWD"));
    const QString folder = fetchFolder(QString());
    // Without a connection the pane keeps what it shows; the session reports the loss.
    if (connectionLost())
        return;
    QVector<CListItem> entries = listedEntries(AtUnreadableLine::Skip, folder);
    markFolderLinks(entries, folder);
    QVector<CListItem> rows = inDisplayOrder(entries, QString());
    rows.prepend(parentRow());
    output_.listReady(rows);
}

void RemoteOperations::NavigateRemote()
{
    const QString target = remote_.pathBoxText();
    const QString lastVisited = remote_.lastVisited();
    if (target == lastVisited)
        return;
    const QString before = remote_.currentFolder();
    remote_.setCurrentFolder(target);
    if (!enterTypedFolder(target, before)) {
        // Later steps are built on the current folder: it must stay one the server accepted.
        remote_.setCurrentFolder(lastVisited.isEmpty() ? before : lastVisited);
        if (!connectionLost())
            output_.log(QStringLiteral("打开文件夹") + target + QStringLiteral("失败:") +
                        client_.replyLine() + QStringLiteral("\r\n"));
        return;
    }
    client_.Command(QStringLiteral("PWD"));
    remote_.setLastVisited(target);
    RefreshRemoteList();
}

int RemoteOperations::ProbeRemote(const QString& name)
{
    fetchListing(remotePath(name));
    int result = 0;
    qsizetype position = 0;
    CListItem item;
    while (client_.NextListLine(position)) {
        result = isTotalLine(client_.listLine()) ? 2 : 1;
        if (!item.Parse(client_.listLine()))
            break;
    }
    return result != 0 ? result : probeInParent(name);
}

// An empty folder lists as nothing on servers that print no "total" line; its parent's
// listing still names it.
int RemoteOperations::probeInParent(const QString& name)
{
    const std::optional<CListItem> entry = entryInParent(remotePath(name));
    if (!entry)
        return 0;
    return entry->isFolder ? 2 : 1;
}

void RemoteOperations::MakeRemoteFolder(const QString& name)
{
    if (ProbeRemote(name) == 0)
        changeTree(QStringLiteral("MKD"), name);
    else
        prompt_.tell(QStringLiteral("文件夹") + name + QStringLiteral("已存在"),
                     QStringLiteral("发现同名文件"));
}

bool RemoteOperations::confirmOverwrite(const QString& question)
{
    return prompt_.confirm(question, QStringLiteral("发现同名文件"));
}

bool RemoteOperations::RenameRemote(const QString& from, const QString& to, RenameOrigin origin)
{
    if (!namesAnEntry(from) || !namesAnEntry(to))
        return false;
    const QString source = lexicalPath(remotePath(from));
    const QString target = lexicalPath(remotePath(to));
    // Onto itself the rename would first delete its own source as the existing target.
    if (source == target)
        return true;
    const bool targetFound = origin != RenameOrigin::CheckedTarget && ProbeRemote(to) > 0;
    const RenameTarget kind =
        targetFound ? renameTargetKind(source, target) : RenameTarget::SourceItself;
    if (kind != RenameTarget::SourceItself) {
        if (origin == RenameOrigin::Dialog &&
            !confirmOverwrite(QStringLiteral("文件") + to + QStringLiteral("已存在是否覆盖")))
            return false;
        if (!confirmOverwrite(to + QStringLiteral("已存在是否覆盖"))) {
            RefreshRemoteList();
            return false;
        }
        if (kind == RenameTarget::OtherEntry)
            removeRenameTarget(to);
    }
    if (origin == RenameOrigin::CheckedTarget)
        return renameInOneTrip(from, to);
    return changeTree(QStringLiteral("RNFR"), from) && changeTree(QStringLiteral("RNTO"), to);
}

// Both halves go out together where the protocol allows, sparing a round trip per file.
bool RemoteOperations::renameInOneTrip(const QString& from, const QString& to)
{
    const QString base = remote_.currentFolder();
    const QString source = encodings_.onWire(client_, from, base);
    if (client_.Rename(source, encodings_.onWire(client_, to, base)))
        return true;
    if (!connectionLost())
        output_.log(QStringLiteral("服务器拒绝了重命名 ") + from + QStringLiteral(" → ") + to +
                    QStringLiteral(":") + client_.replyLine() + QStringLiteral("\r\n"));
    return false;
}

// A server that ignores letter case finds the source itself under a new spelling of its name;
// one that heeds it lists that spelling as an entry of its own. Where only the folders'
// spelling differs the listing cannot tell, so the target is asked about but left in place.
RemoteOperations::RenameTarget RemoteOperations::renameTargetKind(const QString& source,
                                                                  const QString& target)
{
    if (source.compare(target, Qt::CaseInsensitive) != 0)
        return RenameTarget::OtherEntry;
    if (splitPath(source).name == splitPath(target).name)
        return RenameTarget::Undecided;
    return entryInParent(target) ? RenameTarget::OtherEntry : RenameTarget::SourceItself;
}

// The target's own line in its folder's listing tells a folder from a file or a link; listing
// the target itself would show what a link points to. DELE is the choice when the line is not
// found: it removes neither a folder nor what a link points to.
void RemoteOperations::removeRenameTarget(const QString& target)
{
    const std::optional<CListItem> entry = entryInParent(remotePath(target));
    if (entry && isRealFolder(*entry))
        DeleteRemoteTree(target);
    else
        DeleteRemoteFile(target);
}

std::optional<CListItem> RemoteOperations::entryInParent(const QString& path)
{
    const PathParts parts = splitPath(path);
    if (parts.name.isEmpty())
        return std::nullopt;
    const QString folder =
        fetchFolder(parts.parent.isEmpty() ? QString() : withSlash(parts.parent));
    const QVector<CListItem> entries = listedEntries(AtUnreadableLine::Skip, folder);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&parts](const CListItem& e) { return e.name == parts.name; });
    if (found == entries.end())
        return std::nullopt;
    return *found;
}

bool RemoteOperations::DeleteRemoteFile(const QString& name)
{
    return namesAnEntry(name) && changeTree(QStringLiteral("DELE"), remotePath(name));
}

// A link shown as a folder goes alone: its target's content is not the user's choice.
bool RemoteOperations::DeleteRemoteTree(const QString& folder)
{
    if (!namesAnEntry(folder))
        return false;
    const std::optional<CListItem> entry = entryInParent(remotePath(folder));
    if (entry && entry->isLink)
        return DeleteRemoteFile(folder);
    return deleteTree(remotePath(folder), 0);
}

// The whole listing is read before the first sub-folder is entered, because every listing
// replaces the engine's list buffer. Folders go deepest first, so each is empty at its RMD.
bool RemoteOperations::deleteTree(const QString& path, int depth)
{
    const QString folder = withSlash(path);
    fetchFolder(folder);
    const QVector<CListItem> entries = listedEntries(AtUnreadableLine::Stop, folder);
    for (const CListItem& entry : entries) {
        if (!isRealFolder(entry))
            DeleteRemoteFile(folder + entry.name);
    }
    if (depth < deepestTreeLevel) {
        for (const CListItem& entry : entries) {
            if (isRealFolder(entry))
                deleteTree(folder + entry.name, depth + 1);
        }
    }
    client_.Command(QStringLiteral("PWD"));
    return changeTree(QStringLiteral("RMD"), path);
}

void RemoteOperations::SearchRemote(const QString& prefix)
{
    const QString folder = fetchFolder(QString());
    if (connectionLost())
        return;
    QVector<CListItem> entries = listedEntries(AtUnreadableLine::Stop, folder);
    markFolderLinks(entries, folder);
    output_.listReady(inDisplayOrder(entries, prefix));
}
