#pragma once

#include "ftp/DataConnectionMode.h"
#include "ftp/LogonInfo.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class ByteStream;
class CertificateJudge;
class Prompt;
class QFile;
class TcpSocket;
class TlsContext;
class TlsStream;
class LineReader;

// The FTP engine: one object per control connection. Calls block the calling thread and are
// not synchronised: one thread at a time uses an object. Failures are a false result with the
// error text in replyLine. Only the atomic fields below are meant to be read (and
// abortRequested written) from another thread while the owner runs a transfer.
class FtpClient {
public:
    explicit FtpClient(Prompt* prompt = nullptr);
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    bool Connect(const QString& hostName, int portNumber);
    void Disconnect();
    bool SendCommand(const QString& text);
    bool ReadLine();
    bool ReadReply();
    bool Command(const QString& text);
    bool Logon(const LogonInfo& info);
    QString QueryPwd();
    QString QuerySize(const QString& name);

    bool List(const QString& argument);
    bool NextListLine(qsizetype& position);
    // Moves one file: a download continues the local file from its size (REST), an upload
    // appends to the remote file from the size the server reports (APPE). The result is
    //  - true and abortRequested still 0: the file is complete. The server's closing reply to
    //    RETR or APPE was positive (it is in replyLine), the byte count equals the size the
    //    server reported for a download, and after an upload the server reports the local
    //    file's size (where it answers SIZE at all);
    //  - true and abortRequested 1: interrupted; abortRequested is polled at least every
    //    100 ms during every wait of the transfer, so the call returns within about a second;
    //  - false: failed, with the server's refusal or the error text in replyLine.
    // Whatever arrived stays in the local file (or on the server) for a later resume.
    // No reply of the transfer is left pending on the control connection.
    bool TransferFile(const QString& remote, const QString& local, bool passive, bool download,
                      const QString& extra);

    // A passive flag given to TransferFile always wins; otherwise listings and transfers follow
    // the mode. In automatic mode an active connection that fails (PORT/EPRT refused, 425/426,
    // or the server's connection not arriving within activeWait) is followed by the same
    // command once more in passive mode, and the client stays passive from then on.
    void setDataMode(DataConnectionMode mode) { dataMode_ = mode; }
    DataConnectionMode dataMode() const { return dataMode_; }
    void setActiveWait(std::chrono::milliseconds wait) { activeWait_ = wait; }
    bool passiveInUse() const;
    // Receives the engine's own log lines (the turn to passive mode), on the calling thread.
    void setLogSink(std::function<void(const QString&)> sink) { logSink_ = std::move(sink); }

    // Asked about a server certificate that fails verification; without a judge such a
    // certificate is refused. Shared with the other connections of the same logon.
    void setCertificateJudge(std::shared_ptr<CertificateJudge> judge) { judge_ = std::move(judge); }
    // The control connection runs over TLS (and so do the data connections, unless the server
    // refused PROT P).
    bool tlsInUse() const { return controlTls_ != nullptr; }
    bool dataProtected() const { return dataProtected_; }
    // Protocol and cipher of the control connection, e.g. "TLSv1.3, TLS_AES_256_GCM_SHA384";
    // "" without TLS.
    QString tlsDescription() const;

    bool isConnected() const;
    // From any thread: ends the running call's network waits at once and makes every later
    // call fail, so the owner can be stopped without waiting out a time-out.
    void Interrupt();
    // Bound for every wait on the network: connect, reply lines, accept and data blocks.
    void setTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds timeout() const { return timeout_; }
    // How commands go out: GBK until the server announces UTF8 in FEAT after logon.
    const TextCodec& codec() const { return codec_; }
    // The encoding of the next commands, for names that must reach the server as given bytes.
    void setNameEncoding(TextCodec::Encoding encoding) { codec_.setEncoding(encoding); }
    // Each reply line and listing line is read on its own: UTF-8 when its bytes are valid
    // UTF-8, else GBK. Encoding replyLine (listLine) again in its encoding gives its exact bytes.
    TextCodec::Encoding replyLineEncoding() const { return replyEncoding_; }
    TextCodec::Encoding listLineEncoding() const { return listEncoding_; }
    // The encoding the server announced for names at logon (UTF8 in FEAT), else GBK.
    TextCodec::Encoding serverEncoding() const { return serverEncoding_; }
    // Why the control connection failed ("" while it works); stays set until the next Connect,
    // because a connection that lost its place in the reply stream cannot be trusted again.
    QString connectionFault() const { return connectionFault_; }

    QString replyLine;
    // Set when the last List or TransferFile failed on the network (reset, refused, time-out,
    // end of stream without the closing reply) rather than on the server's refusal or a local
    // file: only such a failure is worth trying again on a new connection.
    bool networkFailure = false;
    QString replyText;
    QString logonLog;
    QByteArray listBuffer;
    QString listLine;
    std::atomic<int> abortRequested{0};
    std::atomic<int> transferDone{0};
    std::atomic<int> transferActive{0};
    std::atomic<quint64> bytesDone{0};
    QString remoteSizeText;
    QString host;
    int port = 0;
    QString user;
    QString password;
    std::atomic<int> workerFinished{0};
    std::atomic<quint64> totalBytes{0};
    std::atomic<quint64> folderTotalBytes{0};
    std::atomic<quint64> folderDoneBytes{0};
    int serverKind = 0;
    int replyClass = 0;
    QString lastRemote;
    QString lastLocal;
    bool lastPassive = false;
    bool lastDownload = false;
    QString lastExtra;

private:
    struct DataChannel;
    class ChannelWatch;
    enum class LogonResult { LoggedOn, Refused, Failed };
    // How a stage of a transfer ended; a failure has its text in replyLine.
    enum class Phase { Done, Failed, Aborted };
    enum class Wakeup { Control, Data, TimedOut, Aborted };
    // Why the active data connection of the running attempt failed. A time-out leaves the
    // command unanswered on the server.
    enum class ActiveFailure { None, Refused, TimedOut };

    bool exchange(const QString& text);
    bool fail(const QString& text);
    bool failNetwork(const QString& text);
    bool listOnce(const QString& argument, bool passive);
    bool transferOnce(const QString& remote, const QString& local, bool passive, bool download);
    bool turnPassiveAfterActiveFailure();
    bool settleAbandonedCommand();
    void noteActiveRefusal(const DataChannel& channel);
    std::chrono::steady_clock::time_point dataConnectionDeadline(const DataChannel& channel) const;
    bool failConnection(const QString& fault);
    void abandonControl(const QString& fault);
    void noteBrokenDataConnection();
    LogonResult logOnOnce(const LogonInfo& info, TextCodec::Encoding encoding);
    LogonResult runLogonTable(const LogonInfo& info, const QString& hostText);
    bool negotiateEncoding();
    TlsMode tlsModeFor(const LogonInfo& info);
    bool negotiateTls(TlsMode mode);
    bool startControlTls();
    bool acceptPeerCertificate(const TlsStream& stream);
    bool protectData(TlsMode mode);
    bool startDataTls(DataChannel& channel);
    Phase secureDataChannel(DataChannel& channel);
    void endDataTls(DataChannel& channel);
    bool readUntilCode(QLatin1String wanted, bool refusalEnds);

    bool openDataChannel(bool passive, DataChannel& channel);
    bool openActiveChannel(DataChannel& channel);
    bool openPassiveChannel(DataChannel& channel);
    bool receiveListing(ByteStream& stream);

    Wakeup waitForReadable(bool watchControl, int dataDescriptor,
                           std::chrono::steady_clock::time_point deadline, bool abortable);
    Wakeup waitForControl(std::chrono::steady_clock::time_point deadline, bool abortable);
    void discardStaleReplies();
    bool takeTransferReply(DataChannel& channel);
    Phase awaitDataConnection(DataChannel& channel);
    bool watchControlWhileIdle(DataChannel& channel);
    bool acceptFromServer(DataChannel& channel);
    Phase awaitClosingReply(DataChannel& channel);
    Phase failDataTransfer(const QString& text);
    bool endInterrupted(DataChannel& channel);
    Phase closeDataPhase(Phase phase, DataChannel& channel);

    bool downloadInto(const QString& remote, const QString& local, DataChannel& channel);
    bool uploadFrom(const QString& remote, const QString& local, DataChannel& channel);
    Phase receiveFile(QFile& file, DataChannel& channel, quint64 start);
    Phase sendFile(QFile& file, DataChannel& channel, quint64 start, quint64 length);
    Phase sendBlock(DataChannel& channel, const char* data, qint64 size, quint64& position);
    bool enterBinaryMode();
    bool askSize(const QString& name, std::optional<quint64>& size);
    bool uploadIsWhole(const QString& remote, quint64 length);
    void finishTransfer(quint64 position);
    Phase failDataIo(const ByteStream& stream);
    bool sendsBeyondSize(ByteStream& stream);
    void tellCannotAccess(const QString& local);

    Prompt* prompt_;
    std::chrono::milliseconds timeout_{30000};
    TextCodec codec_;
    TextCodec::Encoding replyEncoding_ = TextCodec::Encoding::Utf8;
    TextCodec::Encoding listEncoding_ = TextCodec::Encoding::Utf8;
    TextCodec::Encoding serverEncoding_ = TextCodec::Encoding::Gbk;
    QString connectionFault_;
    bool remoteSizeKnown_ = false; // the server answered SIZE for the running transfer
    bool binaryMode_ = false;      // the server accepted TYPE I on this connection
    DataConnectionMode dataMode_ = DataConnectionMode::Automatic;
    std::chrono::milliseconds activeWait_{5000};
    bool turnedPassive_ = false;
    ActiveFailure activeFailure_ = ActiveFailure::None;
    std::function<void(const QString&)> logSink_;
    std::shared_ptr<CertificateJudge> judge_;
    QString peerName_; // the host the control connection went to, as given to Connect
    int peerPort_ = 0;
    // "host:port fingerprint" of the certificate the judge accepted last.
    QString acceptedCertificate_;
    std::unique_ptr<TlsContext> tlsContext_;
    bool dataProtected_ = false; // PROT P accepted: data connections run over TLS
    bool trustedServer_ = false; // the judge remembers this server's certificate
    std::mutex interruptMutex_;  // guards controlSocket_'s release, activeChannel_, interrupted_
    std::unique_ptr<TcpSocket> controlSocket_;
    DataChannel* activeChannel_ = nullptr;
    bool interrupted_ = false;
    std::unique_ptr<TlsStream> controlTls_; // over controlSocket_, released before it
    std::unique_ptr<LineReader> reader_;
    // The closing reply of a listing, read while it waited for the data connection: the caller
    // who collects that reply gets it from here; the next command sent drops it.
    struct HeldReply {
        QString line;
        QString text;
        int replyClass = 0;
    };
    std::optional<HeldReply> heldReply_;
};
