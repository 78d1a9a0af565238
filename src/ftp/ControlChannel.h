#pragma once

#include "ftp/TransferPhase.h"
#include "platform/TextCodec.h"

#include <QString>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

class FtpClient;
class LineReader;
class TcpSocket;
class TlsContext;
class TlsStream;
struct DataChannel;

// The control connection of an FtpClient: the socket (plain, then perhaps TLS), commands out
// and replies in, the bound on every network wait, and the wake-up of those waits by
// interrupt(). Replies and failures land in the client's replyLine, replyText, replyClass and
// networkFailure, the one record of the last reply that every part of the engine reads.
class ControlChannel {
public:
    enum class Wakeup { Control, Data, TimedOut, Aborted };
    class DataWatch;

    // Bound on the foreign replies a query skips while it looks for its own.
    static constexpr int maxForeignReplies = 100;
    // Marks (1xx) a server may send before the closing reply of a transfer.
    static constexpr int maxPreliminaryReplies = 3;
    // Every wait of a transfer is cut into slices this long, so that abortRequested, polled
    // between them, stops a transfer that makes no progress.
    static constexpr std::chrono::milliseconds abortPollInterval{100};

    explicit ControlChannel(FtpClient& client);
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    bool connect(const QString& hostName, int portNumber);
    void disconnect();
    bool isConnected() const;
    // From any thread: ends the running call's network waits at once and makes every later
    // call fail.
    void interrupt();

    bool sendCommand(const QString& text);
    bool readLine();
    bool readReply();
    // Sends the text unless it is empty, then reads one reply. False only when the connection
    // failed; the reply's class is for the caller to judge.
    bool exchange(const QString& text);
    bool command(const QString& text);
    bool readUntilCode(QLatin1String wanted, bool refusalEnds);
    void discardStaleReplies();
    // Keeps the current reply for the next readReply; the next command sent drops it.
    void holdReply();
    bool enterBinaryMode();

    Wakeup waitForReadable(bool watchControl, int dataDescriptor,
                           std::chrono::steady_clock::time_point deadline, bool abortable);
    Wakeup waitForControl(std::chrono::steady_clock::time_point deadline, bool abortable);

    bool fail(const QString& text);
    bool failNetwork(const QString& text);
    bool failConnection(const QString& fault);
    void abandon(const QString& fault);
    void noteBrokenDataConnection();
    TransferPhase failDataTransfer(const QString& text);

    // The TLS handshake over the connection; null (with the connection closed) on failure.
    std::unique_ptr<TlsStream> startTls(const TlsContext& context);
    // From now on commands and replies pass through the stream.
    void adoptTls(std::unique_ptr<TlsStream> stream);
    const TlsStream* tls() const { return tls_.get(); }
    bool dataProtected() const { return dataProtected_; }
    void setDataProtected(bool on) { dataProtected_ = on; }

    // The host and port as given to connect.
    QString peerName() const { return peerName_; }
    int peerPort() const { return peerPort_; }
    QString peerAddress() const;
    QString localAddress() const;
    bool isIpv6() const;

    std::chrono::milliseconds timeout() const { return timeout_; }
    void setTimeout(std::chrono::milliseconds timeout);
    const TextCodec& codec() const { return codec_; }
    void setEncoding(TextCodec::Encoding encoding) { codec_.setEncoding(encoding); }
    TextCodec::Encoding replyEncoding() const { return replyEncoding_; }
    QString fault() const { return fault_; }

private:
    struct HeldReply {
        QString line;
        QString text;
        int replyClass = 0;
    };

    FtpClient& client_;
    std::chrono::milliseconds timeout_{30000};
    TextCodec codec_;
    TextCodec::Encoding replyEncoding_ = TextCodec::Encoding::Utf8;
    QString fault_;
    bool binaryMode_ = false;    // the server accepted TYPE I on this connection
    bool dataProtected_ = false; // PROT P accepted: data connections run over TLS
    QString peerName_;
    int peerPort_ = 0;
    std::mutex interruptMutex_; // guards socket_'s release, watchedChannel_, interrupted_
    std::unique_ptr<TcpSocket> socket_;
    DataChannel* watchedChannel_ = nullptr;
    bool interrupted_ = false;
    std::unique_ptr<TlsStream> tls_; // over socket_, released before it
    std::unique_ptr<LineReader> reader_;
    // The closing reply of a listing, read while it waited for the data connection: the caller
    // who collects that reply gets it from here.
    std::optional<HeldReply> heldReply_;
};

// Makes a data channel reachable by interrupt() for as long as the call that owns it runs.
class ControlChannel::DataWatch {
public:
    DataWatch(ControlChannel& control, DataChannel& channel);
    ~DataWatch();
    DataWatch(const DataWatch&) = delete;
    DataWatch& operator=(const DataWatch&) = delete;

private:
    ControlChannel& control_;
};
