#include "queue/FolderListing.h"

#include "session/FolderLink.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"

namespace {
constexpr int listAttempts = 5;
} // namespace

FolderListing FolderListing::Read(RemoteFileSystem& client, const QString& folder,
                                  RemoteNameEncodings& encodings, qsizetype limit)
{
    FolderListing listing;
    if (list(client, encodings.onWire(client, folder))) {
        encodings.startListing(folder);
        listing.complete = true;
        listing.readLines(client, folder, encodings, limit);
        if (!listing.overLimit)
            listing.followLinks(client, folder, encodings);
    }
    return listing;
}

// A listing whose opening reply was preliminary still owes its closing reply, which is read
// even after a failed attempt so that the next command gets its own answer; a negative closing
// reply means the data may be cut short, so the attempt counts as failed.
bool FolderListing::list(RemoteFileSystem& client, const QString& folder)
{
    for (int attempt = 0; attempt < listAttempts; ++attempt) {
        bool listed = client.ListFolder(folder);
        if (client.replyClass() == 1)
            listed = client.Command(QString()) && listed;
        if (listed)
            return true;
        // A refusal is the server's answer, and a lost connection gives no other.
        if (!client.networkFailure() || !client.connectionFault().isEmpty())
            return false;
    }
    return false;
}

void FolderListing::readLines(RemoteFileSystem& client, const QString& folder,
                              RemoteNameEncodings& encodings, qsizetype limit)
{
    qsizetype position = 0;
    while (client.NextListLine(position)) {
        if (client.listLine().startsWith(QLatin1String("total")))
            continue;
        CListItem entry;
        if (!entry.Parse(client.listLine()) || !IsSafeName(entry.name)) {
            complete = false;
            return;
        }
        if (IsDotEntry(entry.name))
            continue;
        if (entries.size() >= limit) {
            entries = QVector<CListItem>();
            complete = false;
            overLimit = true;
            return;
        }
        encodings.noteName(folder, entry.name, client.listLineEncoding());
        entries.append(entry);
    }
}

// A link that leads to a folder is walked as one; one that leads back to where it lies would
// make the walk endless and is left out.
void FolderListing::followLinks(RemoteFileSystem& client, const QString& folder,
                                const RemoteNameEncodings& encodings)
{
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        CListItem& entry = entries[i];
        if (!entry.isLink)
            continue;
        const QString path =
            folder.endsWith(u'/') ? folder + entry.name : folder + u'/' + entry.name;
        const FolderLink::Kind kind = FolderLink::Classify(client, encodings, path);
        if (kind == FolderLink::Kind::LoopBack) {
            loops.prepend(path);
            entries.remove(i);
        } else if (kind == FolderLink::Kind::Folder) {
            entry.isFolder = true;
            entry.bytes = 0;
            entry.size.clear();
        }
    }
}

quint64 FolderListing::FileSize(RemoteFileSystem& client, const QString& path,
                                const CListItem& entry, const RemoteNameEncodings& encodings)
{
    if (!entry.isLink)
        return entry.bytes;
    return client.QuerySize(encodings.onWire(client, path)).toULongLong();
}

bool FolderListing::IsDotEntry(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1).isSpace())
        --end;
    const QStringView kept = QStringView(name).left(end);
    return kept == QLatin1String(".") || kept == QLatin1String("..");
}

bool FolderListing::IsSafeName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\r') &&
           !name.contains(u'\n') && !name.contains(QChar(u'\0'));
}
