#include "queue/FolderListing.h"

#include "ftp/FtpClient.h"
#include "view/RemoteNameEncodings.h"

namespace {
constexpr int listAttempts = 5;
} // namespace

FolderListing FolderListing::Read(FtpClient& client, const QString& folder,
                                  RemoteNameEncodings& encodings, qsizetype limit)
{
    FolderListing listing;
    client.setNameEncoding(encodings.ofEntry(folder));
    if (list(client, folder)) {
        client.setNameEncoding(encodings.settleListing(folder, client.listBuffer));
        listing.complete = true;
        listing.readLines(client, limit);
    }
    return listing;
}

// A listing whose opening reply was preliminary still owes its closing reply, which is read
// even after a failed attempt so that the next command gets its own answer; a negative closing
// reply means the data may be cut short, so the attempt counts as failed.
bool FolderListing::list(FtpClient& client, const QString& folder)
{
    for (int attempt = 0; attempt < listAttempts; ++attempt) {
        bool listed = client.List(folder);
        if (client.replyClass == 1)
            listed = client.Command(QString()) && listed;
        if (listed)
            return true;
    }
    return false;
}

void FolderListing::readLines(FtpClient& client, qsizetype limit)
{
    qsizetype position = 0;
    while (client.NextListLine(position)) {
        if (client.listLine.startsWith(QLatin1String("total")))
            continue;
        CListItem entry;
        const bool parsed = entry.Parse(client.listLine);
        entry.name = EntryName(entry.name);
        if (!parsed || !IsSafeName(entry.name)) {
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
        entries.append(entry);
    }
}

quint64 FolderListing::FileSize(FtpClient& client, const QString& path, const CListItem& entry,
                                const RemoteNameEncodings& encodings)
{
    if (!entry.isLink)
        return entry.bytes;
    client.setNameEncoding(encodings.ofEntry(path));
    return client.QuerySize(path).toULongLong();
}

QString FolderListing::EntryName(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1).isSpace())
        --end;
    return name.left(end);
}

bool FolderListing::IsDotEntry(const QString& name)
{
    return name == QLatin1String(".") || name == QLatin1String("..");
}

bool FolderListing::IsSafeName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\r') &&
           !name.contains(u'\n') && !name.contains(QChar(u'\0'));
}
