#pragma once

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>

class RemoteFileSystem;

// The bytes of every remote name listed on one server connection and every connection lent its
// logon record (the transfer workers). Each name is read on its own (valid UTF-8 as UTF-8,
// anything else as GBK), since one folder may hold both, and goes back to the server as the
// very bytes it was listed with: a path is built from the bytes of each of its components.
// A name never listed (a new folder, a rename or upload target, a typed path) is sent in UTF-8
// when the server announced UTF8 or its folder holds non-ASCII UTF-8 names, in GBK when the
// folder holds only GBK names; a folder of plain ASCII names follows its nearest ancestor that
// decided, else the connection (GBK unless the server announced UTF8).
//
//     client.TransferFile(encodings.onWire(client, remotePath), ...);
//
// Folders are absolute remote paths as shown in the remote pane. Thread-safe.
class RemoteNameEncodings {
public:
    using Encoding = TextCodec::Encoding;

    // How a name on the wire reads: valid UTF-8 as UTF-8, anything else as GBK.
    static QString decodeName(const QByteArray& bytes);

    void setFallback(Encoding encoding);
    // A new listing of the folder replaces what the last one said about it.
    void startListing(const QString& folder);
    // A name of the folder's listing, read in the given encoding from its line.
    void noteName(const QString& folder, const QString& name, Encoding readIn);
    // Reads a path the server gave (PWD) component by component and remembers each one.
    QString readPath(const QByteArray& bytes);

    Encoding forNewNames(const QString& folder) const;
    // The bytes of the path; a relative path is taken inside base. Components never listed go
    // out in the given encoding, or the one for new names in their folder.
    QByteArray bytesOf(const QString& path, const QString& base = QString()) const;
    QByteArray bytesOf(const QString& path, const QString& base, Encoding unlisted) const;
    // Makes the client send the next command's text as raw UTF-8 and answers the text that
    // carries the path's bytes.
    QString onWire(RemoteFileSystem& client, const QString& path,
                   const QString& base = QString()) const;
    static QString onWire(RemoteFileSystem& client, const QByteArray& bytes);

private:
    struct Folder {
        QHash<QString, QByteArray> names;
        bool holdsUtf8 = false; // non-ASCII names that are valid UTF-8
        bool holdsGbk = false;  // non-ASCII names that are not
    };

    void noteBytesLocked(const QString& folder, const QString& name, const QByteArray& bytes);
    Encoding forNewNamesLocked(QString folder) const;
    QByteArray bytesLocked(const QString& path, const QString& base,
                           const Encoding* unlisted) const;

    mutable std::mutex mutex_; // guards folders_ and fallback_
    QHash<QString, Folder> folders_;
    Encoding fallback_ = Encoding::Gbk;
};
