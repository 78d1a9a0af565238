#pragma once

#include "ftp/TransferPhase.h"

#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>

class ByteStream;
class ControlChannel;
class DataConnectionOpener;
class FtpClient;
class QFile;
class StreamHash;
class TokenBucket;
struct DataChannel;
struct SpeedLimits;

// Moves a file's bytes over an open data connection, one block at a time, keeping bytesDone
// current. Every wait is cut into short slices so that abortRequested stops it promptly, and
// while the data connection is idle the control connection is watched for the server's
// refusal.
class TransferLoop {
public:
    TransferLoop(FtpClient& client, ControlChannel& control, DataConnectionOpener& opener);

    // Writes what arrives to the file, which is at position start, until the data connection
    // ends, or, when the server reported the file's size, until the file has that size.
    TransferPhase receive(QFile& file, DataChannel& channel, quint64 start,
                          std::optional<quint64> size);
    // Sends the file from position start up to length.
    TransferPhase send(QFile& file, DataChannel& channel, quint64 start, quint64 length);

    // Each block waits for its share of the direction's limit.
    void setSpeedLimits(std::shared_ptr<SpeedLimits> limits) { limits_ = std::move(limits); }
    // Every block that passes is added to the digest (not owned); nullptr: none.
    void setDigest(StreamHash* digest) { digest_ = digest; }

private:
    TransferPhase receiveBlocks(QFile& file, DataChannel& channel, quint64 start,
                                std::optional<quint64> size);
    bool storeBlock(QFile& file, const char* data, qint64 size, quint64& position);
    TransferPhase sendBlock(DataChannel& channel, const char* data, qint64 size, quint64& position);
    bool watchControlWhileIdle(DataChannel& channel);
    TransferPhase failDataIo(const ByteStream& stream);
    TransferPhase failFile();
    std::chrono::milliseconds slice() const;
    // How much of wanted may pass now; 0 once the transfer is interrupted while it waits.
    qint64 allowance(TokenBucket* bucket, qint64 wanted);
    TokenBucket* bucket(bool download) const;

    FtpClient& client_;
    ControlChannel& control_;
    DataConnectionOpener& opener_;
    std::shared_ptr<SpeedLimits> limits_;
    StreamHash* digest_ = nullptr;
};
