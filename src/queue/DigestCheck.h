#pragma once

#include "ftp/RemoteHash.h"

#include <QString>

#include <functional>
#include <optional>

class FtpClient;
class RemoteFileSystem;

// Compares a moved file with the server's digest of it, where the server offers one: the
// engine computes the same digest over the local bytes while they pass, and the server is asked
// for its own once the transfer is complete.
class DigestCheck {
public:
    using Log = std::function<void(const QString&)>;
    enum class Result { Unchecked, Equal, Different };

    // Only FTP servers give a file's digest: over SFTP the size check alone decides.
    DigestCheck(RemoteFileSystem& client, Log log, bool enabled);

    // Before each transfer: tells the engine which digest to compute.
    void prepare();
    // After a complete transfer of localFile; shownName names the file in the log.
    Result check(const QString& wireName, const QString& localFile, const QString& shownName);

private:
    QString localDigest(const QString& localFile) const;

    FtpClient* client_; // nothing on a connection that is not FTP
    std::optional<RemoteHash> remote_;
    Log log_;
    bool enabled_;
    std::optional<StreamHash::Algorithm> algorithm_;
};
