#pragma once

#include "update/DownloadLimits.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// One HTTP GET whose body goes to a file, through libcurl. The request always comes from the
// server, never from a cache, and is sent as the "HttpDownload" agent with "Accept:*/*". Only
// http and https are followed. A download counts only when the answer was 200, carried a
// Content-Length and every byte of it arrived within the limits; otherwise the file is removed.
class HttpFileDownload {
public:
    // A set cancel flag ends a running fetch within about a second.
    explicit HttpFileDownload(const std::atomic<bool>& cancelled);

    bool fetch(const QString& url, const QString& filePath, const DownloadLimits& limits);

    // After a successful fetch: the body's SHA-256 in lower-case hex.
    QByteArray sha256Hex() const { return sha256Hex_; }
    // After a failed fetch: why, in words for the user.
    QString errorText() const { return errorText_; }

private:
    const std::atomic<bool>& cancelled_;
    QByteArray sha256Hex_;
    QString errorText_;
};
