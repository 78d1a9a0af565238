#pragma once

#include "sftp/SftpWire.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>

class QFile;
class TokenBucket;
struct sftp_session_struct;

// Moves the bytes of one open remote file with many read or write requests in flight, as
// OpenSSH's sftp does, so that the round trip does not set the speed. The requests go out and
// their replies come in on the SFTP channel directly; every request is answered before a call
// returns, except when the connection failed or stayed silent (then settled() is false and the
// session must not be used for SFTP any more).
// A download writes strictly in order, so the local file always ends at the last byte that
// arrived without a gap. An upload stops at the first refused write and names its offset.
class SftpPipeline {
public:
    enum class Result { Done, Failed, Aborted };
    struct Settings {
        quint32 chunk = 32 * 1024;
        int inFlight = 64;
        std::chrono::milliseconds timeout{30000};
        // The speed limit of the direction; each request waits for its bytes.
        TokenBucket* limit = nullptr;
    };

    SftpPipeline(sftp_session_struct* sftp, QByteArray handle, Settings settings,
                 const std::atomic<int>& abortRequested, std::atomic<quint64>& bytesDone);

    // From start up to end; abortRequested is polled at least every 100 ms.
    Result download(QFile& local, quint64 start, quint64 end);
    Result upload(QFile& local, quint64 start, quint64 end);

    QString errorText() const { return errorText_; }
    bool networkFailure() const { return networkFailure_; }
    bool settled() const { return pending_.empty(); }
    // The first offset the server refused to write; the file is whole only below it.
    quint64 firstRefusedOffset() const { return firstRefused_; }

private:
    struct Request {
        quint32 id = 0;
        quint64 offset = 0;
        quint32 length = 0;
        bool arrived = false;
        QByteArray data;
    };
    enum class Wait { Reply, Aborted, Failed };

    quint32 nextId();
    bool send(const char* data, qsizetype size);
    bool requestRead(quint64 offset, quint32 length, bool atFront);
    Wait awaitReply(sftpwire::Reply& reply, bool abortable);
    bool receiveMore();
    std::deque<Request>::iterator findRequest(quint32 id);
    bool takeDownloadReply(const sftpwire::Reply& reply);
    bool writeArrived(QFile& local, quint64& position);
    bool takeUploadReply(const sftpwire::Reply& reply, quint64& acknowledged);
    bool sendNextWrite(QFile& local, quint64& next, quint64 end);
    quint32 allowance(quint64 left);
    Result stop(Result result);
    bool fail(const QString& text, bool network);

    sftp_session_struct* sftp_;
    QByteArray handle_;
    Settings settings_;
    const std::atomic<int>& abortRequested_;
    std::atomic<quint64>& bytesDone_;
    std::deque<Request> pending_; // in the order of their offsets
    QByteArray buffer_;           // bytes read from the channel, unparsed from position_ on
    qsizetype position_ = 0;
    QString errorText_;
    bool networkFailure_ = false;
    bool failed_ = false;
    quint64 firstRefused_ = ~quint64(0);
};
