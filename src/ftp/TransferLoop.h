#pragma once

#include "ftp/TransferPhase.h"

#include <QtGlobal>

#include <chrono>
#include <optional>

class ByteStream;
class ControlChannel;
class DataConnectionOpener;
class FtpClient;
class QFile;
struct DataChannel;

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

private:
    TransferPhase receiveBlocks(QFile& file, DataChannel& channel, quint64 start,
                                std::optional<quint64> size);
    bool storeBlock(QFile& file, const char* data, qint64 size, quint64& position);
    TransferPhase sendBlock(DataChannel& channel, const char* data, qint64 size, quint64& position);
    bool watchControlWhileIdle(DataChannel& channel);
    TransferPhase failDataIo(const ByteStream& stream);
    TransferPhase failFile();
    std::chrono::milliseconds slice() const;

    FtpClient& client_;
    ControlChannel& control_;
    DataConnectionOpener& opener_;
};
