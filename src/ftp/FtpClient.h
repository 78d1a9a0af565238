#pragma once

#include "ftp/ControlChannel.h"
#include "ftp/DataConnectionMode.h"
#include "ftp/DataConnectionOpener.h"
#include "ftp/ListingReceiver.h"
#include "ftp/LogonInfo.h"
#include "ftp/LogonSequence.h"
#include "ftp/TlsNegotiation.h"
#include "ftp/TransferRoutine.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CertificateJudge;
class Prompt;

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
    // RNFR and RNTO sent together, answered in one round trip: after a refused RNFR the server
    // refuses the RNTO too (503), so a half never renames anything. True when renamed;
    // otherwise replyLine holds the first refusal.
    bool Rename(const QString& from, const QString& to);
    bool Logon(const LogonInfo& info);
    QString QueryPwd();
    QString QuerySize(const QString& name);

    bool List(const QString& argument);
    // The entries of a folder: a machine listing (MLSD, exact sizes and UTC times) where the
    // server announced one, else LIST; a refused MLSD is followed by LIST at once, and one the
    // server does not know is not sent again on this connection. The lines read as List's do.
    bool ListFolder(const QString& folder);
    bool NextListLine(qsizetype& position);
    // The next TransferFile takes this as the server's size of the file (from an exact listing)
    // and asks no SIZE. The checks that the file is whole still hold against it.
    void setKnownRemoteSize(std::optional<quint64> size) { transfers_.setKnownSize(size); }
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
    void setDataMode(DataConnectionMode mode) { opener_.setMode(mode); }
    DataConnectionMode dataMode() const { return opener_.mode(); }
    void setActiveWait(std::chrono::milliseconds wait) { opener_.setActiveWait(wait); }
    bool passiveInUse() const { return opener_.passiveInUse(); }
    // Receives the engine's own log lines (the turn to passive mode), on the calling thread.
    void setLogSink(std::function<void(const QString&)> sink)
    {
        opener_.setLogSink(std::move(sink));
    }

    // Asked about a server certificate that fails verification; without a judge such a
    // certificate is refused. Shared with the other connections of the same logon.
    void setCertificateJudge(std::shared_ptr<CertificateJudge> judge)
    {
        tls_.setJudge(std::move(judge));
    }
    // The control connection runs over TLS (and so do the data connections, unless the server
    // refused PROT P).
    bool tlsInUse() const { return control_.tls() != nullptr; }
    bool dataProtected() const { return control_.dataProtected(); }
    // Protocol and cipher of the control connection, e.g. "TLSv1.3, TLS_AES_256_GCM_SHA384";
    // "" without TLS.
    QString tlsDescription() const;

    bool isConnected() const;
    // From any thread: ends the running call's network waits at once and makes every later
    // call fail, so the owner can be stopped without waiting out a time-out.
    void Interrupt();
    // Bound for every wait on the network: connect, reply lines, accept and data blocks.
    void setTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds timeout() const { return control_.timeout(); }
    // How commands go out: GBK until the server announces UTF8 in FEAT after logon.
    const TextCodec& codec() const { return control_.codec(); }
    // The encoding of the next commands, for names that must reach the server as given bytes.
    void setNameEncoding(TextCodec::Encoding encoding) { control_.setEncoding(encoding); }
    // Each reply line and listing line is read on its own: UTF-8 when its bytes are valid
    // UTF-8, else GBK. Encoding replyLine (listLine) again in its encoding gives its exact bytes.
    TextCodec::Encoding replyLineEncoding() const { return control_.replyEncoding(); }
    TextCodec::Encoding listLineEncoding() const { return listing_.lineEncoding(); }
    // The encoding the server announced for names at logon (UTF8 in FEAT), else GBK.
    TextCodec::Encoding serverEncoding() const { return logon_.serverEncoding(); }
    // Why the control connection failed ("" while it works); stays set until the next Connect,
    // because a connection that lost its place in the reply stream cannot be trusted again.
    QString connectionFault() const { return control_.fault(); }
    // What the server announced in FEAT at the last logon, and how many logons succeeded.
    const ServerFeatures& features() const { return logon_.features(); }
    int logonCount() const { return logon_.count(); }

    // Limits shared with the program's other transfers; without them the bytes move freely.
    void setSpeedLimits(std::shared_ptr<SpeedLimits> limits)
    {
        transfers_.setSpeedLimits(std::move(limits));
    }
    // The digest to compute over the local file while the next transfers move it, the part
    // already there included; nothing: none.
    void setTransferDigest(std::optional<StreamHash::Algorithm> algorithm)
    {
        transfers_.setDigestAlgorithm(algorithm);
    }
    // The digest of the local file after the last complete TransferFile; "" when none was
    // asked for or the file could not be read.
    QString transferDigest() const { return transfers_.digest(); }

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
    // The parts below write the public fields above, the one record of the last reply and of
    // the running transfer's progress.
    ControlChannel control_{*this};
    TlsNegotiation tls_{*this, control_};
    DataConnectionOpener opener_{*this, control_, tls_};
    LogonSequence logon_{*this, control_, tls_};
    ListingReceiver listing_{*this, control_, opener_};
    TransferRoutine transfers_;
    bool machineListingRefused_ = false; // the server does not know MLSD after all
};
