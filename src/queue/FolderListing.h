#pragma once

#include "listing/CListItem.h"

#include <QString>
#include <QStringList>
#include <QVector>

class RemoteFileSystem;

// One remote folder's entries as the folder transfers read them: listed with up to five
// attempts, "total" lines skipped, names exactly as listed, "." and ".." left out, links to
// folders taken for folders.
// Reading stops at the first line that does not describe an entry or whose name is not safe
// to use; the entries read so far are kept and the listing counts as incomplete.
class RemoteNameEncodings;

class FolderListing {
public:
    // The folder's path goes out as the bytes its names were listed with; the bytes of the names
    // read are remembered.
    // A listing of more than limit entries is refused whole: none of its entries is kept and
    // overLimit is set, so a hostile server cannot fill the memory with names.
    static FolderListing Read(RemoteFileSystem& client, const QString& folder,
                              RemoteNameEncodings& encodings, qsizetype limit);

    // The size a file of this listing counts with: the listing's own figure, except for a link,
    // whose line gives the length of the link rather than of the file it leads to.
    static quint64 FileSize(RemoteFileSystem& client, const QString& path, const CListItem& entry,
                            const RemoteNameEncodings& encodings);
    // "." and "..", also followed by blanks, which some servers drop and would take for the
    // folder itself or its parent: a walk never goes there.
    static bool IsDotEntry(const QString& name);
    // A name that can be joined to a folder on either side and sent in a command: nothing that
    // leads out of the folder ("/"), ends a command line (CR, LF) or no file system stores (NUL).
    static bool IsSafeName(const QString& name);

    QVector<CListItem> entries;
    // The folder was listed and every line of the listing was read.
    bool complete = false;
    // Links left out because they lead back to their own folder or above.
    QStringList loops;
    bool overLimit = false;

private:
    static bool list(RemoteFileSystem& client, const QString& folder);
    void readLines(RemoteFileSystem& client, const QString& folder, RemoteNameEncodings& encodings,
                   qsizetype limit);
    void followLinks(RemoteFileSystem& client, const QString& folder,
                     const RemoteNameEncodings& encodings);
};
