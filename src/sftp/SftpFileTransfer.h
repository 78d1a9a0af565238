#pragma once

#include "sftp/SftpPipeline.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>

class QFile;
struct SpeedLimits;
struct sftp_session_struct;

// One file moved over an open SFTP channel, continuing where an earlier attempt stopped: a
// download from the local file's size, an upload from the remote file's size. The counters
// belong to the engine that runs it, so that a monitor can read them meanwhile.
class SftpFileTransfer {
public:
    enum class Outcome { Complete, Interrupted, Failed };
    struct Counters {
        const std::atomic<int>& abortRequested;
        std::atomic<quint64>& bytesDone;
        std::atomic<quint64>& totalBytes;
    };

    SftpFileTransfer(sftp_session_struct* sftp, Counters counters,
                     std::chrono::milliseconds timeout, SpeedLimits* limits);

    Outcome download(const QByteArray& remote, const QString& local);
    Outcome upload(const QByteArray& remote, const QString& local);

    QString errorText() const { return errorText_; }
    bool networkFailure() const { return networkFailure_; }
    // False when requests may still be out: the connection must not carry SFTP any more.
    bool channelUsable() const { return channelUsable_; }

private:
    SftpPipeline::Settings settings(bool download) const;
    Outcome fail(const QString& text, bool network = false);
    Outcome failRemote(const QString& what, const QByteArray& path);
    bool remoteSize(const QByteArray& path, quint64& size);
    Outcome afterUpload(const QByteArray& remote, quint64 length);
    void cutBack(const QByteArray& remote, quint64 size);

    sftp_session_struct* sftp_;
    Counters counters_;
    std::chrono::milliseconds timeout_;
    SpeedLimits* limits_;
    QString errorText_;
    bool networkFailure_ = false;
    bool channelUsable_ = true;
};
