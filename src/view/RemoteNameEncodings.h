#pragma once

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>

// The encoding each remote folder's names were read in, for one server connection and every
// connection lent its logon record (the transfer workers). A listing whose names hold non-ASCII
// bytes decides its folder: all valid UTF-8 reads as UTF-8, anything else as GBK. A folder
// whose names are plain ASCII takes the encoding of its nearest decided ancestor, else the
// connection's own (GBK, or UTF-8 when the server announced it). Every command about an entry
// must send the entry's name in the encoding of the folder that holds it:
//
//     client.setNameEncoding(encodings.ofEntry(remotePath));
//     client.TransferFile(remotePath, ...);
//
// Paths are absolute remote paths as shown in the remote pane. Thread-safe.
class RemoteNameEncodings {
public:
    using Encoding = TextCodec::Encoding;

    void setFallback(Encoding encoding);
    // Decides the folder's encoding from its listing's raw bytes, remembers it and answers it.
    Encoding settleListing(const QString& folder, const QByteArray& listing);
    Encoding ofFolder(const QString& folder) const;
    // The encoding of the folder that holds the entry.
    Encoding ofEntry(const QString& path) const;

private:
    static QString withoutTrailingSlash(QString path);
    Encoding ofFolderLocked(QString folder) const;

    mutable std::mutex mutex_; // guards folders_ and fallback_
    QHash<QString, Encoding> folders_;
    Encoding fallback_ = Encoding::Gbk;
};
