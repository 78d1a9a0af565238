#pragma once

#include "ftp/TransferLoop.h"
#include "ftp/TransferPhase.h"

#include <QString>

#include <functional>
#include <optional>

class ControlChannel;
class DataConnectionOpener;
class FtpClient;
class Prompt;
class QFile;
struct DataChannel;

// One file transfer: binary mode, the server's size, the data connection, the restart (REST
// before RETR) or the append (APPE), the closing reply and the checks that the file is whole.
class TransferRoutine {
public:
    TransferRoutine(FtpClient& client, ControlChannel& control, DataConnectionOpener& opener,
                    Prompt* prompt);

    bool transfer(const QString& remote, const QString& local, bool passive, bool download);

private:
    bool transferOnce(const QString& remote, const QString& local, bool passive, bool download);
    bool measure(const QString& local, bool download);
    bool askSize(const QString& name, std::optional<quint64>& size);
    bool downloadInto(const QString& remote, const QString& local, DataChannel& channel);
    bool requestDownload(const QString& remote, quint64 start);
    bool uploadFrom(const QString& remote, const QString& local, DataChannel& channel);
    TransferPhase runDataPhase(QFile& file, DataChannel& channel,
                               const std::function<TransferPhase()>& moveBytes);
    TransferPhase closeDataPhase(TransferPhase phase, DataChannel& channel);
    TransferPhase awaitClosingReply(DataChannel& channel);
    void endInterrupted(DataChannel& channel);
    bool uploadIsWhole(const QString& remote, quint64 length);
    void finish();
    void tellCannotAccess(const QString& local);

    FtpClient& client_;
    ControlChannel& control_;
    DataConnectionOpener& opener_;
    Prompt* prompt_;
    TransferLoop loop_;
    // The size the server reported for the running transfer, if it answered SIZE.
    std::optional<quint64> remoteSize_;
};
