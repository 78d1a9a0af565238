#pragma once

#include "ftp/DataConnectionMode.h"
#include "ftp/TransferPhase.h"

#include <QString>

#include <chrono>
#include <functional>

class ControlChannel;
class FtpClient;
class TlsNegotiation;
struct DataChannel;

// Opens the data connection of a listing or transfer: active (PORT/EPRT, the server connects
// to our listener) or passive (PASV/EPSV, we connect to the server), waits for it beside the
// control connection, and puts it under TLS when the server accepted PROT P. In automatic
// mode a failed active connection turns the client passive for good.
class DataConnectionOpener {
public:
    DataConnectionOpener(FtpClient& client, ControlChannel& control, TlsNegotiation& tls);

    void setMode(DataConnectionMode mode) { mode_ = mode; }
    DataConnectionMode mode() const { return mode_; }
    void setActiveWait(std::chrono::milliseconds wait) { activeWait_ = wait; }
    void setLogSink(std::function<void(const QString&)> sink) { logSink_ = std::move(sink); }
    bool passiveInUse() const;

    // Runs one attempt of a listing or transfer (given whether it goes passive) in the mode in
    // use, or passive when asked; an attempt that failed for want of an active connection
    // runs once more in passive mode.
    bool runAttempts(bool passive, const std::function<bool(bool passive)>& attempt);

    bool open(bool passive, DataChannel& channel);
    TransferPhase awaitConnection(DataChannel& channel);
    TransferPhase secure(DataChannel& channel);
    void endTls(DataChannel& channel);
    // One reply to the transfer command: a mark (1xx) or the closing reply (2xx) are taken in;
    // anything else is the server's refusal, left in replyLine.
    bool takeTransferReply(DataChannel& channel);

private:
    // Why the active data connection of the running attempt failed. A time-out leaves the
    // command unanswered on the server.
    enum class ActiveFailure { None, Refused, TimedOut };

    bool openActive(DataChannel& channel);
    bool openPassive(DataChannel& channel);
    bool startTls(DataChannel& channel);
    bool acceptFromServer(DataChannel& channel);
    std::chrono::steady_clock::time_point connectionDeadline(const DataChannel& channel) const;
    void noteActiveRefusal(const DataChannel& channel);
    TransferPhase failAwait(const DataChannel& channel);
    bool turnPassiveAfterActiveFailure();
    bool settleAbandonedCommand();

    FtpClient& client_;
    ControlChannel& control_;
    TlsNegotiation& tls_;
    DataConnectionMode mode_ = DataConnectionMode::Automatic;
    std::chrono::milliseconds activeWait_{5000};
    bool turnedPassive_ = false;
    ActiveFailure activeFailure_ = ActiveFailure::None;
    std::function<void(const QString&)> logSink_;
};
