#pragma once

#include <QString>

#include <functional>

class RemoteFileSystem;

// Carries a file's modification time across its transfer when ftp.ini asks for it: a download
// takes the server's (MDTM), an upload gives the server the local one (MFMT, where the server
// announces it). A time that cannot be carried is logged; the file stays complete.
class ModificationTimes {
public:
    using Log = std::function<void(const QString&)>;

    ModificationTimes(RemoteFileSystem& client, Log log, bool enabled);

    void afterDownload(const QString& wireRemote, const QString& localPath);
    void afterUpload(const QString& localPath, const QString& wireRemote);

private:
    void report(const QString& path, const QString& reason);

    RemoteFileSystem& client_;
    Log log_;
    bool enabled_;
};
