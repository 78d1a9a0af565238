#pragma once

#include <QString>

class RemoteFileSystem;
class RemoteNameEncodings;

// What a listed link leads to, found by entering it: the listing line only tells its own
// length. The connection's current folder is left inside the link when it is a folder.
class FolderLink {
public:
    enum class Kind { NotAFolder, Folder, LoopBack };

    // LoopBack: the link leads to the folder that holds it or to one above, so a walk that
    // followed it would never end.
    static Kind Classify(RemoteFileSystem& client, const RemoteNameEncodings& encodings,
                         const QString& path);
};
