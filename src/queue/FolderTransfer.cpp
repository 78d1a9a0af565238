#include "queue/FolderTransfer.h"

#include "queue/FileLanes.h"
#include "queue/FolderListing.h"
#include "queue/FolderProbe.h"
#include "queue/TransferJob.h"
#include "queue/TransferOneFile.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"

#include <QDir>
#include <QFileInfo>
#include <QVector>

#include <algorithm>
#include <utility>

namespace {
// A server that lists a further sub-folder in every folder is not followed deeper than this.
constexpr int deepestFolderLevel = 256;

QString withSlash(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString canonicalOf(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}
} // namespace

// A local folder's files and sub-folders, links followed; sockets, pipes, devices and broken
// links are left out, since reading them would block or fail.
struct FolderTransfer::LocalFolder {
    struct File {
        QString name;
        quint64 bytes = 0;
    };

    QVector<File> files;
    QStringList folders;
    // Names that would end a command line on the way to the server; they are not moved.
    QStringList unsafe;
    bool readable = false;

    static LocalFolder Read(const QString& folder)
    {
        LocalFolder content;
        const QDir directory(folder);
        content.readable = directory.exists() && directory.isReadable();
        const QFileInfoList found = directory.entryInfoList(
            QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& info : found) {
            const QString name = info.fileName();
            if (FolderListing::IsDotEntry(name))
                continue;
            if (!FolderListing::IsSafeName(name))
                content.unsafe.append(info.fileName());
            else if (info.isDir())
                content.folders.append(name);
            else
                content.files.append({name, static_cast<quint64>(info.size())});
        }
        return content;
    }
};

// The sub-folders of one listing still to visit: only their names are kept once the listing's
// files are done, and each counts against the walk's entry limit until it is visited.
class FolderTransfer::PendingFolders {
public:
    PendingFolders(qsizetype& held, const FolderListing& listing) : held_(held)
    {
        for (const CListItem& entry : listing.entries) {
            if (entry.isFolder)
                names_.append(entry.name);
        }
        held_ += names_.size();
    }
    ~PendingFolders() { held_ -= names_.size() - next_; }
    PendingFolders(const PendingFolders&) = delete;
    PendingFolders& operator=(const PendingFolders&) = delete;

    bool next(QString& name)
    {
        if (next_ >= names_.size())
            return false;
        name = std::exchange(names_[next_++], QString());
        --held_;
        return true;
    }

private:
    qsizetype& held_;
    QStringList names_;
    qsizetype next_ = 0;
};

FolderTransfer::FolderTransfer(RemoteFileSystem& client, FileMover moveFile, StopTest stopRequested,
                               std::function<void(const QString&)> log,
                               std::shared_ptr<RemoteNameEncodings> encodings)
    : client_(client), clientMode_(client.dataMode()), moveFile_(std::move(moveFile)),
      stopRequested_(std::move(stopRequested)), log_(std::move(log)),
      encodings_(std::move(encodings))
{
    if (clientMode_ == DataConnectionMode::Automatic)
        client_.setDataMode(DataConnectionMode::Passive);
    if (!encodings_) {
        encodings_ = std::make_shared<RemoteNameEncodings>();
        encodings_->setFallback(client_.serverEncoding());
    }
}

FolderTransfer::~FolderTransfer()
{
    client_.setDataMode(clientMode_);
}

bool FolderTransfer::stopNow()
{
    if (!stopped_ && stopRequested_())
        stopped_ = true;
    return stopped_;
}

bool FolderTransfer::MoveJob(RemoteFileSystem& client, const TransferJob& job, FileMover moveFile,
                             StopTest stopRequested, std::function<void(const QString&)> log,
                             std::shared_ptr<RemoteNameEncodings> encodings, FileLanes* lanes)
{
    FolderTransfer walk(client, std::move(moveFile), std::move(stopRequested), std::move(log),
                        std::move(encodings));
    walk.setReplaceExisting(job.replace != 0);
    walk.setLanes(lanes);
    if (job.download) {
        walk.RemoteFolderSize(job.remotePath);
        return walk.DownloadFolder(job.remotePath, job.localPath);
    }
    walk.LocalFolderSize(job.localPath);
    return walk.UploadFolder(job.remotePath, job.localPath);
}

void FolderTransfer::LocalFolderSize(const QString& localFolder)
{
    QStringList ancestors{canonicalOf(localFolder)};
    measureLocal(localFolder, ancestors);
}

void FolderTransfer::RemoteFolderSize(const QString& remoteFolder)
{
    measureRemote(remoteFolder, 0);
}

bool FolderTransfer::UploadFolder(const QString& remoteFolder, const QString& localFolder)
{
    QStringList ancestors{canonicalOf(localFolder)};
    const bool walked = uploadTree(remoteFolder, localFolder, ancestors);
    return lanes_ ? lanes_->finish() && walked : walked;
}

bool FolderTransfer::DownloadFolder(const QString& remoteFolder, const QString& localFolder)
{
    const bool walked = downloadTree(remoteFolder, localFolder, 0);
    return lanes_ ? lanes_->finish() && walked : walked;
}

// With lanes the file is only handed over: its result counts when the lanes finish.
bool FolderTransfer::sendFile(bool download, const QString& remote, const QString& local,
                              quint64 bytes, std::optional<quint64> listedSize)
{
    if (lanes_) {
        lanes_->send({download, remote, local, bytes, listedSize});
        return true;
    }
    const bool moved = moveFile_(download, remote, local, listedSize);
    if (!stopNow())
        client_.folderDoneBytes() += bytes;
    return moved;
}

// A link back to a folder the walk is already inside would lead round in a circle; every other
// folder, link or not, is entered. The caller removes the entry after the visit.
bool FolderTransfer::enterLocal(const QString& folder, QStringList& ancestors)
{
    const QString canonical = canonicalOf(folder);
    if (!canonical.isEmpty() && ancestors.contains(canonical))
        return false;
    ancestors.append(canonical);
    return true;
}

void FolderTransfer::measureLocal(const QString& folder, QStringList& ancestors)
{
    if (stopNow())
        return;
    const LocalFolder content = LocalFolder::Read(folder);
    for (const LocalFolder::File& file : content.files)
        client_.folderTotalBytes() += file.bytes;
    for (const QString& name : content.folders) {
        const QString sub = withSlash(folder) + name;
        if (!enterLocal(sub, ancestors))
            continue;
        measureLocal(sub, ancestors);
        ancestors.removeLast();
    }
}

void FolderTransfer::measureRemote(const QString& folder, int depth)
{
    if (stopNow())
        return;
    std::unique_ptr<PendingFolders> folders;
    {
        // The walk that follows reports a refused listing.
        const FolderListing listing = readListing(folder, false);
        for (const CListItem& entry : listing.entries) {
            if (!entry.isFolder)
                client_.folderTotalBytes() += FolderListing::FileSize(
                    client_, withSlash(folder) + entry.name, entry, *encodings_);
        }
        if (!listing.complete || depth >= deepestFolderLevel)
            return;
        folders = std::make_unique<PendingFolders>(heldNames_, listing);
    }
    QString name;
    while (folders->next(name) && !stopped_)
        measureRemote(withSlash(folder) + name, depth + 1);
}

// The walk's names still to visit leave less room for the next listing.
FolderListing FolderTransfer::readListing(const QString& remote, bool reportRefusal)
{
    const qsizetype room = std::max<qsizetype>(0, entryLimit_ - heldNames_);
    FolderListing listing = FolderListing::Read(client_, remote, *encodings_, room);
    if (listing.overLimit && reportRefusal)
        log_(QStringLiteral("文件夹条目超过%1项，未传输：").arg(entryLimit_) + remote +
             QStringLiteral("\r\n"));
    return listing;
}

// A successful MKD means the folder is new, so none of its files is there yet.
bool FolderTransfer::uploadTree(const QString& remote, const QString& local, QStringList& ancestors)
{
    if (stopNow())
        return false;
    const bool folderIsNew =
        client_.Command(QStringLiteral("MKD ") + encodings_->onWire(client_, remote));
    const LocalFolder content = LocalFolder::Read(local);
    bool complete = content.readable && content.unsafe.isEmpty();
    if (!content.readable)
        log_(QStringLiteral("无法读取本地文件夹：") + local + QStringLiteral("\r\n"));
    for (const QString& name : content.unsafe)
        log_(QStringLiteral("名称无法发送，未传输：") + withSlash(local) + name.simplified() +
             QStringLiteral("\r\n"));
    complete = uploadFiles(remote, local, content, folderIsNew) && complete;
    if (stopped_)
        return false;
    for (const QString& name : content.folders) {
        const QString sub = withSlash(local) + name;
        if (!enterLocal(sub, ancestors)) {
            log_(QStringLiteral("跳过指向上级文件夹的链接：") + sub + QStringLiteral("\r\n"));
            continue;
        }
        complete = uploadTree(withSlash(remote) + name, sub, ancestors) && complete;
        ancestors.removeLast();
        if (stopped_)
            return false;
    }
    return complete;
}

bool FolderTransfer::uploadFiles(const QString& remote, const QString& local,
                                 const LocalFolder& content, bool folderIsNew)
{
    bool listingComplete = true;
    QSet<QString> listed;
    const bool moveAll = folderIsNew || replaceExisting_;
    if (!moveAll && !content.files.isEmpty())
        listed = remoteNames(remote, listingComplete);
    // Where the folder is new, or was listed in full, its parts are known too.
    const bool partsKnown = folderIsNew || (!moveAll && listingComplete);
    bool complete = true;
    for (const LocalFolder::File& file : content.files) {
        const QString target = withSlash(remote) + file.name;
        const QString part = TransferOneFile::temporaryName(file.name);
        const bool partAbsent =
            partsKnown && !listed.contains(part) && (folderIsNew || !part.startsWith(u'.'));
        if (moveAll || !existsRemotely(target, file.name, listed, listingComplete))
            complete = sendFile(false, target, withSlash(local) + file.name, file.bytes,
                                partAbsent ? std::optional<quint64>(0) : std::nullopt) &&
                       complete;
        else
            client_.folderDoneBytes() += file.bytes;
        if (stopNow())
            return false;
    }
    return complete;
}

QSet<QString> FolderTransfer::remoteNames(const QString& remote, bool& complete)
{
    const FolderListing listing = readListing(remote);
    complete = listing.complete;
    QSet<QString> names;
    for (const CListItem& entry : listing.entries)
        names.insert(entry.name);
    return names;
}

// One listing of the folder answers for all its files. Servers leave dot files out of folder
// listings, and a listing read only in part may miss any name: those files are asked about one
// by one.
bool FolderTransfer::existsRemotely(const QString& path, const QString& name,
                                    const QSet<QString>& listed, bool listingComplete)
{
    if (listed.contains(name))
        return true;
    if (listingComplete && !name.startsWith(u'.'))
        return false;
    if (!probe_)
        probe_ = std::make_unique<FolderProbe>(client_, *encodings_);
    return probe_->ProbeRemote(path) > 0;
}

bool FolderTransfer::downloadTree(const QString& remote, const QString& local, int depth)
{
    if (stopNow())
        return false;
    QDir().mkdir(local);
    bool complete = false;
    std::unique_ptr<PendingFolders> folders;
    {
        const FolderListing listing = readListing(remote);
        if (listing.overLimit)
            return false;
        if (!listing.complete)
            log_(QStringLiteral("文件夹列表读取不完整：") + remote + QStringLiteral("\r\n"));
        for (const QString& loop : listing.loops)
            log_(QStringLiteral("跳过指向上级文件夹的链接：") + loop + QStringLiteral("\r\n"));
        complete = downloadFiles(remote, local, listing);
        // The sub-folders of a listing read only in part are not entered.
        if (stopped_ || !listing.complete)
            return false;
        folders = std::make_unique<PendingFolders>(heldNames_, listing);
    }
    QString name;
    while (folders->next(name)) {
        const QString sub = withSlash(remote) + name;
        if (!mayDescend(sub, depth + 1)) {
            complete = false;
            continue;
        }
        complete = downloadTree(sub, withSlash(local) + name, depth + 1) && complete;
        if (stopped_)
            return false;
    }
    return complete;
}

bool FolderTransfer::downloadFiles(const QString& remote, const QString& local,
                                   const FolderListing& listing)
{
    bool complete = true;
    for (const CListItem& entry : listing.entries) {
        if (entry.isFolder)
            continue;
        const QString source = withSlash(remote) + entry.name;
        const QString target = withSlash(local) + entry.name;
        const quint64 bytes = FolderListing::FileSize(client_, source, entry, *encodings_);
        const auto listed = entry.exactSize ? std::optional<quint64>(entry.bytes) : std::nullopt;
        if (replaceExisting_ || !QFileInfo::exists(target))
            complete = sendFile(true, source, target, bytes, listed) && complete;
        else
            client_.folderDoneBytes() += bytes;
        if (stopNow())
            return false;
    }
    return complete;
}

bool FolderTransfer::mayDescend(const QString& remote, int depth)
{
    if (depth <= deepestFolderLevel)
        return true;
    log_(QStringLiteral("文件夹层次过深，未传输：") + remote + QStringLiteral("\r\n"));
    return false;
}
