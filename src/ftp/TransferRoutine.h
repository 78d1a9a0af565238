#pragma once

#include "ftp/TransferLoop.h"
#include "ftp/TransferPhase.h"
#include "platform/StreamHash.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ControlChannel;
class DataConnectionOpener;
class FtpClient;
class Prompt;
struct SpeedLimits;
class QFile;
struct DataChannel;

// One file transfer: binary mode, the server's size, the data connection, the restart (REST
// before RETR) or the append (APPE), the closing reply and the checks that the file is whole.
class TransferRoutine {
public:
    TransferRoutine(FtpClient& client, ControlChannel& control, DataConnectionOpener& opener,
                    Prompt* prompt);

    bool transfer(const QString& remote, const QString& local, bool passive, bool download);
    // The next transfer takes this as the server's size instead of asking SIZE.
    void setKnownSize(std::optional<quint64> size) { knownSize_ = size; }

    void setSpeedLimits(std::shared_ptr<SpeedLimits> limits)
    {
        loop_.setSpeedLimits(std::move(limits));
    }
    void setDigestAlgorithm(std::optional<StreamHash::Algorithm> algorithm)
    {
        digestAlgorithm_ = algorithm;
    }
    QString digest() const { return digestHex_; }

private:
    bool transferOnce(const QString& remote, const QString& local, bool passive, bool download);
    bool measure(const QString& local, bool download);
    bool askSize(const QString& name, std::optional<quint64>& size);
    bool downloadInto(const QString& remote, const QString& local, DataChannel& channel);
    bool requestDownload(const QString& remote, quint64 start);
    bool uploadFrom(const QString& remote, const QString& local, DataChannel& channel);
    // connected: the data may move without waiting for the server's mark.
    TransferPhase runDataPhase(QFile& file, DataChannel& channel,
                               const std::function<TransferPhase()>& moveBytes,
                               bool connected = false);
    TransferPhase closeDataPhase(TransferPhase phase, DataChannel& channel);
    TransferPhase awaitClosingReply(DataChannel& channel);
    void endInterrupted(DataChannel& channel);
    bool uploadIsWhole(const QString& remote, quint64 length);
    void beginDigest(const QString& local, quint64 start);
    void finish();
    void finishComplete();
    void tellCannotAccess(const QString& local);

    FtpClient& client_;
    ControlChannel& control_;
    DataConnectionOpener& opener_;
    Prompt* prompt_;
    TransferLoop loop_;
    // The size the server reported for the running transfer, if it answered SIZE.
    std::optional<quint64> remoteSize_;
    std::optional<quint64> knownSize_; // for the next transfer only
    std::optional<StreamHash::Algorithm> digestAlgorithm_;
    std::optional<StreamHash> digest_; // of the running transfer's local file
    QString digestHex_;                // of the last complete transfer's local file
};
