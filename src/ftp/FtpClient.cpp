#include "ftp/FtpClient.h"

#include "ftp/CertificateJudge.h"
#include "ftp/DataAddress.h"
#include "platform/LineReader.h"
#include "platform/Prompt.h"
#include "platform/SocketSupport.h"
#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"
#include "platform/TlsContext.h"
#include "platform/TlsStream.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The engine's error texts, by their string resource ids.
enum class ErrorText {
    CannotOpenLocalFile = 105,
    File = 106,
    Network = 107,
    LogonFailed = 108,
    CannotCreateSocket = 109,
    CannotConnect = 110,
};

QString errorText(ErrorText id)
{
    switch (id) {
    case ErrorText::CannotOpenLocalFile:
        return QStringLiteral("不能打开本地文件");
    case ErrorText::File:
        return QStringLiteral("文件错误");
    case ErrorText::Network:
        return QStringLiteral("网络错误");
    case ErrorText::LogonFailed:
        return QStringLiteral("登录失败");
    case ErrorText::CannotCreateSocket:
        return QStringLiteral("不能创建SOCKET");
    case ErrorText::CannotConnect:
        return QStringLiteral("不能连接服务器");
    }
    return QString();
}

// File data moves through one block of this size, the only file data held in memory. Blocks of
// 4000 bytes cost a system call pair per 4000 bytes and reached about 0.6 of lftp's speed on a
// loopback download (bench/run.sh); 256 KiB blocks matched or passed it in both directions.
constexpr qint64 transferBlockSize = 256 * 1024;
// Listings arrive in steps of this size, up to maxListingBytes: a server that sends more is
// refused rather than allowed to fill memory.
constexpr qint64 listingBlockSize = 64 * 1024;
constexpr qsizetype maxListingBytes = qsizetype(256) * 1024 * 1024;
// Bound on the collected text of one reply, whatever number of lines it spans.
constexpr qsizetype maxReplyText = 1024 * 1024;
// Bound on the foreign replies a query skips while it looks for its own.
constexpr int maxForeignReplies = 100;
// Marks (1xx) a server may send before the closing reply of a transfer.
constexpr int maxPreliminaryReplies = 3;
// Every wait of a transfer is cut into slices this long, so that abortRequested, polled
// between them, stops a transfer that makes no progress.
constexpr milliseconds abortPollInterval{100};
// How long a broken data connection waits for the server to say why.
constexpr milliseconds serverReasonWait{250};
// How long an interrupted transfer waits for the server's answer to it.
constexpr milliseconds interruptedReplyWait{500};
// How long the end of a TLS data connection waits for the server's close_notify.
constexpr milliseconds tlsCloseWait{2000};

// The logon sequences, one row per logon type. A row is a list of steps of three numbers:
// command code, next step after a 2xx reply, next step after a 3xx reply. A step is addressed
// by the index of its command code in the row. The table, not the command, decides what a
// reply means: a 2xx answer to SITE in type 1 is an error, for instance.
constexpr int LO = -1; // logged on
constexpr int ER = -2; // logon failed
constexpr int logonStepsPerRow = 6;
using LogonRow = std::array<int, 3 * logonStepsPerRow>;
constexpr std::array<LogonRow, 9> logonTable{{
    {0, LO, 3, 1, LO, 6, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 5, ER, 9, 0, LO, 12, 1, LO, 15, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 6, LO, 9, 1, LO, 12, 2, LO, ER},
    {7, 3, 3, 0, LO, 6, 1, LO, 9, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 0, LO, 9, 1, LO, 12, 2, LO, ER},
    {6, LO, 3, 1, LO, 6, 2, LO, ER},
    {8, 6, 3, 4, 6, ER, 0, LO, 9, 1, LO, 12, 2, LO, ER},
    {9, ER, 3, 1, LO, 6, 2, LO, ER},
    {10, LO, 3, 11, LO, 6, 2, LO, ER},
}};

QString logonCommand(int code, const LogonInfo& info, const QString& hostText)
{
    const QString at = QStringLiteral("@");
    switch (code) {
    case 0:
        return QStringLiteral("USER ") + info.user;
    case 1:
        return QStringLiteral("PASS ") + info.password;
    case 2:
        return QStringLiteral("ACCT ") + info.account;
    case 3:
        return QStringLiteral("USER ") + info.firewallUser;
    case 4:
        return QStringLiteral("PASS ") + info.firewallPassword;
    case 5:
        return QStringLiteral("SITE ") + hostText;
    case 6:
        return QStringLiteral("USER ") + info.user + at + hostText;
    case 7:
        return QStringLiteral("OPEN ") + hostText;
    case 8:
        return QStringLiteral("USER ") + info.firewallUser + at + hostText;
    case 9:
        return QStringLiteral("USER ") + info.user + at + hostText + QLatin1Char(' ') +
               info.firewallUser;
    case 10:
        return QStringLiteral("USER ") + info.user + at + info.firewallUser + at + hostText;
    case 11:
        return QStringLiteral("PASS ") + info.password + at + info.firewallPassword;
    }
    return QString();
}

// The decimal number a reply line starts with; 0 when it starts with no digit.
int leadingNumber(const QString& line)
{
    int value = 0;
    for (qsizetype i = 0; i < line.size() && i < 9 && line.at(i).isDigit(); ++i)
        value = value * 10 + line.at(i).digitValue();
    return value;
}

bool opensMultiLineReply(const QString& line)
{
    return line.size() > 3 && line.at(3) == QLatin1Char('-');
}

bool closesMultiLineReply(const QString& line, int code)
{
    return line.size() > 3 && line.at(3) == QLatin1Char(' ') && leadingNumber(line) == code;
}

bool announcesUtf8(const QString& featReply)
{
    const QStringList lines = featReply.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        if (line.trimmed().compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Each line on its own: a server may keep names in both encodings, even in one folder.
TextCodec::Encoding lineEncoding(const QByteArray& line)
{
    return TextCodec::isValidUtf8(line) ? TextCodec::Encoding::Utf8 : TextCodec::Encoding::Gbk;
}

std::optional<quint64> parseSize(const QString& text)
{
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

quint64 sizeValue(const QString& text)
{
    return parseSize(text).value_or(0);
}

bool isAscii(const QString& text)
{
    for (const QChar character : text) {
        if (character.unicode() > 0x7f)
            return false;
    }
    return true;
}

bool hasNonAsciiCredentials(const LogonInfo& info)
{
    for (const QString* text :
         {&info.user, &info.password, &info.account, &info.firewallUser, &info.firewallPassword}) {
        if (!isAscii(*text))
            return true;
    }
    return false;
}

// A data connection that went quiet is the network's fault; one that broke is reported as a
// file error.
QString dataIoError(const ByteStream& stream)
{
    return errorText(stream.timedOut() ? ErrorText::Network : ErrorText::File);
}

QString socketFault(TcpSocket::Error error, milliseconds timeout)
{
    switch (error) {
    case TcpSocket::Error::Resolve:
        return QStringLiteral("找不到服务器(主机名无法解析)");
    case TcpSocket::Error::Create:
        return QStringLiteral("不能创建SOCKET");
    case TcpSocket::Error::Connect:
        return QStringLiteral("服务器拒绝连接或无法到达");
    case TcpSocket::Error::TimedOut:
        return QStringLiteral("服务器%1秒内没有应答").arg(timeout.count() / 1000.0);
    case TcpSocket::Error::Closed:
        return QStringLiteral("服务器关闭了连接");
    default:
        return QStringLiteral("网络读写失败");
    }
}

QString readFault(LineReader::Status status, milliseconds timeout)
{
    switch (status) {
    case LineReader::Status::Closed:
        return socketFault(TcpSocket::Error::Closed, timeout);
    case LineReader::Status::TimedOut:
        return socketFault(TcpSocket::Error::TimedOut, timeout);
    case LineReader::Status::TooLong:
        return QStringLiteral("服务器的应答行过长");
    default:
        return socketFault(TcpSocket::Error::Io, timeout);
    }
}

bool isRefusal(int replyClass)
{
    return replyClass == 4 || replyClass == 5;
}

// The server's word that the data connection failed or broke, not that it refuses the request.
bool namesBrokenDataConnection(const QString& reply)
{
    return reply.startsWith(QLatin1String("425")) || reply.startsWith(QLatin1String("426")) ||
           reply.startsWith(QLatin1String("451"));
}

} // namespace

// The data connection of one List or TransferFile call; it never outlives the call.
struct FtpClient::DataChannel {
    bool passive = false;
    TcpListener listener;
    TcpSocket socket;
    std::unique_ptr<TlsStream> tls; // over socket, released before it
    bool replySeen = false;         // a reply to the transfer command has been read
    bool closingSeen = false;       // the server's closing reply has been read
    QString closingReply;

    ByteStream& stream() { return tls ? static_cast<ByteStream&>(*tls) : socket; }
    void close()
    {
        tls.reset();
        socket.close();
        listener.close();
    }
};

// Makes a data channel reachable by Interrupt for as long as the call that owns it runs.
class FtpClient::ChannelWatch {
public:
    ChannelWatch(FtpClient& client, DataChannel& channel) : client_(client)
    {
        std::lock_guard<std::mutex> hold(client_.interruptMutex_);
        client_.activeChannel_ = &channel;
        if (client_.interrupted_)
            interruptChannel(channel);
    }
    ~ChannelWatch()
    {
        std::lock_guard<std::mutex> hold(client_.interruptMutex_);
        client_.activeChannel_ = nullptr;
    }
    ChannelWatch(const ChannelWatch&) = delete;
    ChannelWatch& operator=(const ChannelWatch&) = delete;

    static void interruptChannel(DataChannel& channel)
    {
        channel.listener.interrupt();
        channel.socket.interrupt();
    }

private:
    FtpClient& client_;
};

FtpClient::FtpClient(Prompt* prompt) : prompt_(prompt) {}

FtpClient::~FtpClient()
{
    Disconnect();
}

bool FtpClient::Connect(const QString& hostName, int portNumber)
{
    Disconnect();
    connectionFault_.clear();
    auto socket = std::make_unique<TcpSocket>();
    if (!socket->connect(hostName, portNumber, timeout_)) {
        const bool created = socket->error() != TcpSocket::Error::Create;
        connectionFault_ = socketFault(socket->error(), timeout_);
        return fail(errorText(created ? ErrorText::CannotConnect : ErrorText::CannotCreateSocket));
    }
    // Commands go out as single lines and are often answered at once: no Nagle delay.
    socket->setNoDelay(true);
    std::lock_guard<std::mutex> hold(interruptMutex_);
    if (interrupted_)
        return fail(errorText(ErrorText::CannotConnect));
    controlSocket_ = std::move(socket);
    reader_ = std::make_unique<LineReader>(*controlSocket_);
    peerName_ = hostName;
    peerPort_ = portNumber;
    return true;
}

void FtpClient::Disconnect()
{
    binaryMode_ = false;
    heldReply_.reset();
    reader_.reset();
    controlTls_.reset();
    dataProtected_ = false;
    std::lock_guard<std::mutex> hold(interruptMutex_);
    controlSocket_.reset();
}

void FtpClient::Interrupt()
{
    std::lock_guard<std::mutex> hold(interruptMutex_);
    interrupted_ = true;
    abortRequested = 1;
    if (controlSocket_)
        controlSocket_->interrupt();
    if (activeChannel_)
        ChannelWatch::interruptChannel(*activeChannel_);
}

bool FtpClient::isConnected() const
{
    return controlSocket_ && controlSocket_->isOpen();
}

void FtpClient::setTimeout(std::chrono::milliseconds timeout)
{
    timeout_ = std::max(timeout, milliseconds(0));
}

bool FtpClient::fail(const QString& text)
{
    replyLine = text;
    return false;
}

bool FtpClient::failNetwork(const QString& text)
{
    networkFailure = true;
    return fail(text);
}

bool FtpClient::failConnection(const QString& fault)
{
    abandonControl(fault);
    return failNetwork(errorText(ErrorText::Network));
}

// A reply that was cut, missed or is still owed would be read as the answer to the next
// command: the connection is closed, so that nothing more is sent on it.
void FtpClient::abandonControl(const QString& fault)
{
    if (connectionFault_.isEmpty())
        connectionFault_ = fault;
    Disconnect();
}

void FtpClient::noteBrokenDataConnection()
{
    if (isRefusal(replyClass) && namesBrokenDataConnection(replyLine))
        networkFailure = true;
}

bool FtpClient::SendCommand(const QString& text)
{
    heldReply_.reset();
    replyLine = errorText(ErrorText::Network);
    if (text.startsWith(QLatin1String("TYPE"), Qt::CaseInsensitive))
        binaryMode_ = false;
    if (!reader_)
        return failConnection(QStringLiteral("没有与服务器的连接"));
    if (!reader_->writeLine(codec_.encode(text), timeout_))
        return failConnection(socketFault(controlSocket_->error(), timeout_));
    return true;
}

bool FtpClient::ReadLine()
{
    QByteArray line;
    if (!reader_)
        return failConnection(QStringLiteral("没有与服务器的连接"));
    const LineReader::Status status = reader_->readLine(line, timeout_);
    if (status != LineReader::Status::Line)
        return failConnection(readFault(status, timeout_));
    replyEncoding_ = lineEncoding(line);
    replyLine = TextCodec(replyEncoding_).decode(line);
    if (!replyLine.isEmpty())
        replyClass = replyLine.at(0).unicode() - u'0';
    return true;
}

bool FtpClient::ReadReply()
{
    if (heldReply_) {
        replyLine = heldReply_->line;
        replyText = heldReply_->text;
        replyClass = heldReply_->replyClass;
        heldReply_.reset();
        return true;
    }
    replyText.clear();
    if (!ReadLine())
        return false;
    if (opensMultiLineReply(replyLine)) {
        const int code = leadingNumber(replyLine);
        do {
            replyText += replyLine + QStringLiteral("\r\n");
            if (replyText.size() > maxReplyText)
                return failConnection(QStringLiteral("服务器的应答过长"));
            if (!ReadLine())
                return false;
        } while (!closesMultiLineReply(replyLine, code));
    }
    replyText += replyLine + QStringLiteral("\r\n");
    return true;
}

// Sends the text unless it is empty, then reads one reply. False only when the connection
// failed; the reply's class is for the caller to judge.
bool FtpClient::exchange(const QString& text)
{
    if (!text.isEmpty() && !SendCommand(text))
        return false;
    return ReadReply();
}

bool FtpClient::Command(const QString& text)
{
    return exchange(text) && (replyClass == 2 || replyClass == 3);
}

bool FtpClient::Logon(const LogonInfo& info)
{
    host = info.host;
    port = info.port;
    user = info.user;
    password = info.password;
    if (static_cast<unsigned>(info.logonType) > 8)
        return false;
    const LogonResult result = logOnOnce(info, TextCodec::Encoding::Gbk);
    if (result != LogonResult::Refused || !hasNonAsciiCredentials(info))
        return result == LogonResult::LoggedOn;
    // The names' encoding is only learnt from FEAT after the logon, so non-ASCII credentials
    // first go out as GBK; a server that keeps UTF-8 refuses those bytes. One more try over
    // a new connection speaks UTF-8 from the start.
    Disconnect();
    return logOnOnce(info, TextCodec::Encoding::Utf8) == LogonResult::LoggedOn;
}

FtpClient::LogonResult FtpClient::logOnOnce(const LogonInfo& info, TextCodec::Encoding encoding)
{
    logonLog.clear();
    codec_.setEncoding(encoding);
    serverEncoding_ = encoding;
    const bool direct = info.logonType == 0;
    if (!Connect(direct ? info.host : info.firewallHost, direct ? info.port : info.firewallPort))
        return LogonResult::Failed;
    if (!Command(QString()))
        return LogonResult::Failed;
    if (replyText.contains(QLatin1String("Microsoft")))
        serverKind = 1;
    if (replyText.contains(QLatin1String("Serv-U")))
        serverKind = 2;
    logonLog += replyText;
    if (info.tlsMode != TlsMode::Plain && !negotiateTls(tlsModeFor(info)))
        return LogonResult::Failed;
    QString hostText = info.host;
    if (info.port != 21)
        hostText += QStringLiteral(":%1").arg(info.port);
    const LogonResult result = runLogonTable(info, hostText);
    if (result == LogonResult::LoggedOn && !negotiateEncoding())
        return LogonResult::Failed;
    return result;
}

FtpClient::LogonResult FtpClient::runLogonTable(const LogonInfo& info, const QString& hostText)
{
    const LogonRow& row = logonTable[static_cast<std::size_t>(info.logonType)];
    int step = 0;
    // Every next step lies after the current one, so a row ends within its number of steps.
    for (int taken = 0; taken < logonStepsPerRow; ++taken) {
        const auto at = static_cast<std::size_t>(step);
        if (!exchange(logonCommand(row[at], info, hostText)))
            return LogonResult::Failed;
        if (replyClass != 2 && replyClass != 3)
            return LogonResult::Refused;
        logonLog += replyText;
        step = row[at + (replyClass == 2 ? 1 : 2)];
        if (step == LO)
            return LogonResult::LoggedOn;
        if (step == ER)
            break;
    }
    fail(errorText(ErrorText::LogonFailed));
    return LogonResult::Refused;
}

// Servers that keep UTF-8 names say so in FEAT; the connection then speaks UTF-8 whatever
// the answer to OPTS (some servers refuse the command and use UTF-8 all the same). The reply
// fields are restored so that a caller sees the logon's last reply.
bool FtpClient::negotiateEncoding()
{
    const QString logonLine = replyLine;
    const QString logonText = replyText;
    const int logonClass = replyClass;
    if (!exchange(QStringLiteral("FEAT")))
        return false;
    if (replyClass == 2 && announcesUtf8(replyText)) {
        if (!exchange(QStringLiteral("OPTS UTF8 ON")))
            return false;
        codec_.setEncoding(TextCodec::Encoding::Utf8);
        serverEncoding_ = TextCodec::Encoding::Utf8;
    }
    replyLine = logonLine;
    replyText = logonText;
    replyClass = logonClass;
    return true;
}

QString FtpClient::tlsDescription() const
{
    return controlTls_ ? controlTls_->description() : QString();
}

// A server whose certificate the user chose to trust spoke TLS before: one that now refuses it
// may be an impostor on the way, so it gets no password in clear.
TlsMode FtpClient::tlsModeFor(const LogonInfo& info)
{
    trustedServer_ = info.tlsMode == TlsMode::Opportunistic && judge_ &&
                     judge_->remembersCertificate(peerName_, peerPort_);
    return trustedServer_ ? TlsMode::Required : info.tlsMode;
}

// AUTH TLS comes before the logon, so that no password crosses in clear. In opportunistic
// mode a server that refuses it is used in clear; in required mode there is no logon.
bool FtpClient::negotiateTls(TlsMode mode)
{
    if (!exchange(QStringLiteral("AUTH TLS")))
        return false;
    if (!replyLine.startsWith(QLatin1String("234"))) {
        if (trustedServer_)
            return fail(QStringLiteral("服务器拒绝了 TLS 加密(") + replyLine +
                        QStringLiteral("),但它的证书已被信任(trust.dat),为保护密码未登录"));
        if (mode == TlsMode::Required)
            return fail(QStringLiteral("服务器不支持 TLS 加密,未登录"));
        logonLog += QStringLiteral("未加密连接(服务器不支持 TLS)\r\n");
        return true;
    }
    if (!startControlTls())
        return false;
    logonLog +=
        QStringLiteral("已启用 TLS 加密:") + controlTls_->description() + QStringLiteral("\r\n");
    return protectData(mode);
}

bool FtpClient::startControlTls()
{
    // Bytes that came after the 234 were sent in clear by anyone on the way: read later, they
    // would pass for the server's protected replies.
    if (reader_->hasBufferedData())
        return failConnection(QStringLiteral("服务器在 TLS 握手之前发来了多余的数据"));
    if (!tlsContext_)
        tlsContext_ = std::make_unique<TlsContext>();
    auto stream = std::make_unique<TlsStream>(*tlsContext_, *controlSocket_);
    if (!stream->handshake(peerName_, nullptr, timeout_))
        return failConnection(stream->errorText());
    if (!acceptPeerCertificate(*stream))
        return false;
    controlTls_ = std::move(stream);
    reader_ = std::make_unique<LineReader>(*controlTls_);
    return true;
}

// A certificate the system does not vouch for is the judge's call. The judge may ask the user
// and wait; the handshake is over by then, so its time-out does not run meanwhile.
bool FtpClient::acceptPeerCertificate(const TlsStream& stream)
{
    if (stream.verified())
        return true;
    const TlsCertificate certificate = stream.peerCertificate();
    // A reconnection (or the logon's second try) to the same server is not asked about again.
    const QString judged =
        QStringLiteral("%1:%2 %3").arg(peerName_).arg(peerPort_).arg(certificate.sha256Fingerprint);
    if (judged == acceptedCertificate_)
        return true;
    if (judge_ && judge_->acceptCertificate(peerName_, peerPort_, certificate)) {
        acceptedCertificate_ = judged;
        return true;
    }
    return fail(QStringLiteral("服务器证书未通过验证,已拒绝连接:") + certificate.verifyError);
}

// A server that keeps the data connections in clear is refused in required mode; in
// opportunistic mode the logon at least stays protected.
bool FtpClient::protectData(TlsMode mode)
{
    if (!exchange(QStringLiteral("PBSZ 0")) || !exchange(QStringLiteral("PROT P")))
        return false;
    if (replyClass == 2) {
        dataProtected_ = true;
        return true;
    }
    if (mode == TlsMode::Required)
        return fail(QStringLiteral("服务器拒绝加密数据连接(PROT P),未登录"));
    logonLog += QStringLiteral("数据连接未加密(服务器拒绝 PROT P)\r\n");
    return true;
}

// The data connection resumes the control connection's TLS session, which shows the server
// that both come from the same client. One that does not resume must at least present the
// certificate accepted at logon.
FtpClient::Phase FtpClient::secureDataChannel(DataChannel& channel)
{
    if (!dataProtected_)
        return Phase::Done;
    if (!channel.tls && !startDataTls(channel))
        return Phase::Failed;
    if (!channel.tls->finishHandshake(timeout_))
        return failDataTransfer(QStringLiteral("数据连接") + channel.tls->errorText());
    if (!channel.tls->sessionReused() && channel.tls->peerCertificate().sha256Fingerprint !=
                                             controlTls_->peerCertificate().sha256Fingerprint) {
        fail(QStringLiteral("数据连接的服务器证书与控制连接的不同,已中止"));
        return Phase::Failed;
    }
    return Phase::Done;
}

// The server takes a TLS data connection that ends without close_notify for a cut one.
void FtpClient::endDataTls(DataChannel& channel)
{
    if (channel.tls)
        channel.tls->shutdown(std::min(timeout_, tlsCloseWait));
}

// Reads replies until one carries the wanted code, skipping replies of earlier commands that
// are still pending. False on a 550 (the current reply is tested for it only when
// refusalEnds), on a broken connection or time-out, and after too many foreign replies.
bool FtpClient::readUntilCode(QLatin1String wanted, bool refusalEnds)
{
    for (int read = 0; read <= maxForeignReplies; ++read) {
        if (replyLine.startsWith(wanted))
            return true;
        // 500-504: a server without the command answers so; waiting on would cost the
        // time-out and, with it, the connection.
        if (refusalEnds && (replyLine.startsWith(QLatin1String("550")) ||
                            replyLine.startsWith(QLatin1String("50"))))
            return false;
        refusalEnds = true;
        if (!exchange(QString()))
            return false;
    }
    return false;
}

// The first reply after PWD may be a stale one of an earlier command, so it is never taken
// for a refusal.
QString FtpClient::QueryPwd()
{
    if (!exchange(QStringLiteral("PWD")) || !readUntilCode(QLatin1String("257"), false))
        return QStringLiteral("0");
    const QString path = replyLine.mid(5);
    return path.left(path.indexOf(QLatin1Char('"')));
}

QString FtpClient::QuerySize(const QString& name)
{
    if (!exchange(QStringLiteral("SIZE ") + name) || !readUntilCode(QLatin1String("213"), true))
        return QStringLiteral("0");
    return replyLine.mid(3).trimmed();
}

bool FtpClient::openDataChannel(bool passive, DataChannel& channel)
{
    channel.passive = passive;
    return passive ? openPassiveChannel(channel) : openActiveChannel(channel);
}

// The listener sits on the address the server already reaches us at, so it is not exposed on
// other interfaces.
bool FtpClient::openActiveChannel(DataChannel& channel)
{
    replyLine = errorText(ErrorText::Network);
    const QString local = controlSocket_->localAddress();
    if (local.isEmpty() || !channel.listener.listen(local, 0, 5))
        return false;
    const DataAddress address{local, channel.listener.port()};
    const bool ipv6 = controlSocket_->isIpv6();
    const QString argument = ipv6 ? address.toEprtArgument() : address.toPortArgument();
    if (argument.isEmpty())
        return false;
    if (!exchange((ipv6 ? QStringLiteral("EPRT ") : QStringLiteral("PORT ")) + argument))
        return false;
    if (isRefusal(replyClass))
        activeFailure_ = ActiveFailure::Refused;
    // Servers that connect at PORT time answer 425 when our port cannot be reached.
    noteBrokenDataConnection();
    return replyClass == 2 || replyClass == 3;
}

// Only the port of the reply is used: the data connection goes to the server the control
// connection reaches. A server behind NAT announcing its private address still works, and a
// hostile reply cannot point the client at another host. The connection is made before the
// transfer command goes out, so a server that closes its listener on a refusal cannot turn
// the refusal into a failed connect.
bool FtpClient::openPassiveChannel(DataChannel& channel)
{
    const bool ipv6 = controlSocket_->isIpv6();
    if (!Command(ipv6 ? QStringLiteral("EPSV") : QStringLiteral("PASV")))
        return false;
    const std::optional<DataAddress> address =
        ipv6 ? DataAddress::fromEpsvReply(replyLine) : DataAddress::fromPasvReply(replyLine);
    if (!address)
        return false;
    if (!channel.socket.connect(controlSocket_->peerAddress(), address->port, timeout_))
        return failNetwork(errorText(ErrorText::Network));
    return !dataProtected_ || startDataTls(channel);
}

// The opening of the handshake goes out at once: some servers answer the transfer command
// only after the handshake, others only before it, and the wait for the data connection then
// sees either the reply or the server's side of the handshake.
bool FtpClient::startDataTls(DataChannel& channel)
{
    channel.tls = std::make_unique<TlsStream>(*tlsContext_, channel.socket);
    if (channel.tls->startHandshake(peerName_, controlTls_.get()))
        return true;
    return failNetwork(QStringLiteral("数据连接") + channel.tls->errorText());
}

// Anyone may connect to an open port: only a connection from the server's own address is
// kept; others are closed.
bool FtpClient::acceptFromServer(DataChannel& channel)
{
    TcpSocket incoming = channel.listener.accept(milliseconds(0));
    if (!incoming.isOpen() || incoming.peerAddress() != controlSocket_->peerAddress())
        return false;
    channel.socket = std::move(incoming);
    channel.listener.close();
    return true;
}

bool FtpClient::passiveInUse() const
{
    return dataMode_ == DataConnectionMode::Passive ||
           (dataMode_ == DataConnectionMode::Automatic && turnedPassive_);
}

std::chrono::steady_clock::time_point
FtpClient::dataConnectionDeadline(const DataChannel& channel) const
{
    const bool mayTurnPassive = !channel.passive && dataMode_ == DataConnectionMode::Automatic;
    return steady_clock::now() + (mayTurnPassive ? std::min(timeout_, activeWait_) : timeout_);
}

void FtpClient::noteActiveRefusal(const DataChannel& channel)
{
    if (!channel.passive &&
        (replyLine.startsWith(QLatin1String("425")) || replyLine.startsWith(QLatin1String("426"))))
        activeFailure_ = ActiveFailure::Refused;
}

// Behind NAT the server cannot reach our listener; passive mode is the way out. The client
// stays passive, so the failed attempt and its wait are paid only once.
bool FtpClient::turnPassiveAfterActiveFailure()
{
    const ActiveFailure failure = std::exchange(activeFailure_, ActiveFailure::None);
    if (failure == ActiveFailure::None || dataMode_ != DataConnectionMode::Automatic)
        return false;
    if (failure == ActiveFailure::TimedOut && !settleAbandonedCommand())
        return false;
    turnedPassive_ = true;
    networkFailure = false;
    if (logSink_)
        logSink_(QStringLiteral("主动模式数据连接失败,改用被动模式\r\n"));
    return true;
}

// The server may still be trying to reach the closed listener: ABOR ends that, and the answers
// to the abandoned command and to ABOR are read so that neither is taken for a later reply.
bool FtpClient::settleAbandonedCommand()
{
    if (!SendCommand(QStringLiteral("ABOR")))
        return false;
    const auto deadline = steady_clock::now() + timeout_;
    for (int read = 0; read < maxForeignReplies; ++read) {
        if (waitForControl(deadline, false) != Wakeup::Control)
            return failNetwork(errorText(ErrorText::Network));
        if (!ReadReply())
            return false;
        if (replyLine.startsWith(QLatin1String("225")) ||
            replyLine.startsWith(QLatin1String("226")) || replyClass == 5)
            return true;
    }
    return failNetwork(errorText(ErrorText::Network));
}

bool FtpClient::List(const QString& argument)
{
    networkFailure = false;
    if (listOnce(argument, passiveInUse()))
        return true;
    return turnPassiveAfterActiveFailure() && listOnce(argument, true);
}

// The first reply to LIST is read here; the closing one is left to the caller.
bool FtpClient::listOnce(const QString& argument, bool passive)
{
    listBuffer.clear();
    activeFailure_ = ActiveFailure::None;
    discardStaleReplies();
    if (!enterBinaryMode())
        return false;
    DataChannel channel;
    const ChannelWatch watch(*this, channel);
    if (!openDataChannel(passive, channel) || !SendCommand(QStringLiteral("LIST ") + argument))
        return false;
    Phase phase = awaitDataConnection(channel);
    if (phase == Phase::Aborted)
        return fail(errorText(ErrorText::Network));
    if (phase == Phase::Done)
        phase = secureDataChannel(channel);
    if (phase != Phase::Done || (!channel.replySeen && !ReadReply()))
        return false;
    noteBrokenDataConnection();
    if (isRefusal(replyClass) || !receiveListing(channel.stream()))
        return false;
    endDataTls(channel);
    if (channel.closingSeen)
        heldReply_ = HeldReply{replyLine, replyText, replyClass};
    return true;
}

bool FtpClient::receiveListing(ByteStream& stream)
{
    for (;;) {
        const qsizetype received = listBuffer.size();
        if (received > maxListingBytes) {
            listBuffer.clear();
            return fail(errorText(ErrorText::File));
        }
        const qint64 room = std::min<qint64>(listingBlockSize, maxListingBytes + 1 - received);
        listBuffer.resize(received + room);
        const qint64 count = stream.receive(listBuffer.data() + received, room, timeout_);
        listBuffer.resize(received + std::max<qint64>(count, 0));
        if (count == 0)
            return true;
        if (count < 0)
            return failNetwork(dataIoError(stream));
    }
}

bool FtpClient::NextListLine(qsizetype& position)
{
    listLine.clear();
    if (position < 0 || position >= listBuffer.size())
        return false;
    const qsizetype feed = listBuffer.indexOf('\n', position);
    const qsizetype end = feed < 0 ? listBuffer.size() : feed;
    QByteArrayView line(listBuffer.constData() + position, end - position);
    if (line.endsWith('\r'))
        line.chop(1);
    // Most lines are plain ASCII, which reads the same in every encoding: only the others pay
    // for a conversion, which costs far more than the line itself.
    const bool ascii = std::all_of(line.begin(), line.end(),
                                   [](char byte) { return static_cast<uchar>(byte) < 0x80; });
    listEncoding_ = ascii ? TextCodec::Encoding::Utf8 : lineEncoding(line.toByteArray());
    listLine =
        ascii ? QString::fromLatin1(line) : TextCodec(listEncoding_).decode(line.toByteArray());
    position = end + 1;
    return true;
}

bool FtpClient::TransferFile(const QString& remote, const QString& local, bool passive,
                             bool download, const QString& extra)
{
    bytesDone = 0;
    lastRemote = remote;
    lastLocal = local;
    lastPassive = passive;
    lastDownload = download;
    lastExtra = extra;
    abortRequested = 0;
    transferDone = 0;
    transferActive = 1;
    networkFailure = false;
    if (transferOnce(remote, local, passive || passiveInUse(), download))
        return true;
    return turnPassiveAfterActiveFailure() && transferOnce(remote, local, true, download);
}

bool FtpClient::transferOnce(const QString& remote, const QString& local, bool passive,
                             bool download)
{
    activeFailure_ = ActiveFailure::None;
    discardStaleReplies();
    // Binary mode first: several servers answer SIZE only in binary mode, and without the size
    // neither a resume nor a completeness check is possible.
    if (!enterBinaryMode())
        return false;
    std::optional<quint64> remoteSize;
    if (!askSize(remote, remoteSize))
        return false;
    remoteSizeKnown_ = remoteSize.has_value();
    remoteSizeText = QString::number(remoteSize.value_or(0));
    if (download) {
        totalBytes = remoteSize.value_or(0);
    } else {
        QFile source(local);
        if (!source.open(QIODevice::ReadOnly)) {
            tellCannotAccess(local);
            return false;
        }
        totalBytes = static_cast<quint64>(source.size());
    }
    DataChannel channel;
    const ChannelWatch watch(*this, channel);
    if (!openDataChannel(passive, channel))
        return false;
    return download ? downloadInto(remote, local, channel) : uploadFrom(remote, local, channel);
}

// SIZE inside a transfer, where no foreign reply is pending: its first reply is its answer,
// and any refusal (550, or 502 from a server without the command) means no size. False only
// when the connection failed.
// The mode lasts as long as the connection, so it is asked for once; any TYPE command sent
// meanwhile makes it unknown again.
bool FtpClient::enterBinaryMode()
{
    if (!binaryMode_ && Command(QStringLiteral("TYPE I")))
        binaryMode_ = true;
    return binaryMode_;
}

bool FtpClient::askSize(const QString& name, std::optional<quint64>& size)
{
    if (!exchange(QStringLiteral("SIZE ") + name))
        return false;
    size = replyLine.startsWith(QLatin1String("213")) ? parseSize(replyLine.mid(3).trimmed())
                                                      : std::nullopt;
    return true;
}

void FtpClient::tellCannotAccess(const QString& local)
{
    replyLine = errorText(ErrorText::CannotOpenLocalFile);
    if (prompt_)
        prompt_->tell(QStringLiteral("无法访问文件") + local);
}

// Replies that an earlier call left unread (an interrupted transfer, a listing whose closing
// reply was not collected) would otherwise be taken for the answers to this transfer.
void FtpClient::discardStaleReplies()
{
    for (int read = 0; read < maxForeignReplies; ++read) {
        if (waitForControl(steady_clock::now(), false) != Wakeup::Control || !ReadReply())
            return;
    }
}

// Waits in short slices, so that an abort is seen promptly, until the control connection (when
// watched) or the data descriptor (-1: none) has something to read. Data comes first: a server
// connects and sends before it replies, so its closing reply must not hide a data connection
// that is already waiting.
FtpClient::Wakeup FtpClient::waitForReadable(bool watchControl, int dataDescriptor,
                                             steady_clock::time_point deadline, bool abortable)
{
    for (;;) {
        if (abortable && abortRequested)
            return Wakeup::Aborted;
        // Without a connection the next read fails at once, which is what the caller must learn.
        if (watchControl && (!controlSocket_ || !reader_))
            return Wakeup::Control;
        const bool buffered = watchControl && reader_->hasBufferedData();
        const int control = watchControl ? controlSocket_->descriptor() : -1;
        pollfd sides[2]{{control, POLLIN, 0}, {dataDescriptor, POLLIN, 0}};
        const auto now = steady_clock::now();
        const auto sliceEnd = buffered ? now : std::min(deadline, now + abortPollInterval);
        const socketsupport::WaitResult waited = socketsupport::waitForAny(sides, 2, sliceEnd);
        if (waited == socketsupport::WaitResult::Ready && sides[1].revents != 0)
            return Wakeup::Data;
        if (buffered || waited == socketsupport::WaitResult::Ready)
            return Wakeup::Control;
        if (waited == socketsupport::WaitResult::Failed || steady_clock::now() >= deadline)
            return Wakeup::TimedOut;
    }
}

FtpClient::Wakeup FtpClient::waitForControl(steady_clock::time_point deadline, bool abortable)
{
    return waitForReadable(true, -1, deadline, abortable);
}

// One reply to RETR or APPE: a mark (1xx) or the closing reply (2xx) are taken in; anything
// else is the server's refusal, left in replyLine.
bool FtpClient::takeTransferReply(DataChannel& channel)
{
    if (!ReadReply())
        return false;
    channel.replySeen = true;
    if (replyClass == 1)
        return true;
    if (replyClass != 2) {
        noteBrokenDataConnection();
        return false;
    }
    channel.closingReply = replyLine;
    channel.closingSeen = true;
    return true;
}

// Waits for the data connection while listening to the control connection, so that a refused
// transfer fails at once with the server's reply instead of running into the time-out.
FtpClient::Phase FtpClient::awaitDataConnection(DataChannel& channel)
{
    const auto deadline = dataConnectionDeadline(channel);
    for (;;) {
        const int data =
            channel.passive ? channel.socket.descriptor() : channel.listener.descriptor();
        // Once the closing reply is in, the server may close the control connection too.
        switch (waitForReadable(!channel.closingSeen, data, deadline, true)) {
        case Wakeup::Aborted:
            return Phase::Aborted;
        case Wakeup::TimedOut:
            // In automatic mode ABOR settles the command before the passive attempt.
            if (!channel.passive && dataMode_ == DataConnectionMode::Automatic)
                activeFailure_ = ActiveFailure::TimedOut;
            else
                abandonControl(QStringLiteral("服务器没有建立数据连接"));
            failNetwork(errorText(ErrorText::Network));
            return Phase::Failed;
        case Wakeup::Control:
            if (!takeTransferReply(channel)) {
                noteActiveRefusal(channel);
                return Phase::Failed;
            }
            if (channel.passive)
                return Phase::Done;
            break;
        case Wakeup::Data:
            if (channel.passive || acceptFromServer(channel))
                return Phase::Done;
            if (channel.listener.error() == TcpSocket::Error::Io) {
                failNetwork(errorText(ErrorText::Network));
                return Phase::Failed;
            }
            break;
        }
    }
}

// While the data connection is idle the control connection may bring the server's refusal: a
// server that opened the data connection before it looked at the file (active mode) leaves
// it open after refusing.
bool FtpClient::watchControlWhileIdle(DataChannel& channel)
{
    if (channel.closingSeen || waitForControl(steady_clock::now(), false) != Wakeup::Control)
        return true;
    return takeTransferReply(channel);
}

// The end of the data connection is the end of an upload, so it is closed before the
// closing reply is awaited.
FtpClient::Phase FtpClient::closeDataPhase(Phase phase, DataChannel& channel)
{
    if (phase == Phase::Done)
        endDataTls(channel);
    channel.close();
    return phase == Phase::Done ? awaitClosingReply(channel) : phase;
}

FtpClient::Phase FtpClient::awaitClosingReply(DataChannel& channel)
{
    const auto deadline = steady_clock::now() + timeout_;
    for (int read = 0; !channel.closingSeen; ++read) {
        const Wakeup wakeup = waitForControl(deadline, true);
        if (wakeup == Wakeup::Aborted)
            return Phase::Aborted;
        if (wakeup == Wakeup::TimedOut || read > maxPreliminaryReplies) {
            failConnection(QStringLiteral("服务器没有发来传输结束的应答"));
            return Phase::Failed;
        }
        if (!takeTransferReply(channel))
            return Phase::Failed;
    }
    replyLine = channel.closingReply;
    return Phase::Done;
}

// A broken data connection is often the server giving up on the transfer; its reply names
// the reason better than the broken connection does.
FtpClient::Phase FtpClient::failDataTransfer(const QString& text)
{
    const auto deadline = steady_clock::now() + serverReasonWait;
    bool answered = false;
    for (int read = 0; read <= maxPreliminaryReplies && !answered; ++read) {
        if (waitForControl(deadline, false) != Wakeup::Control || !ReadReply())
            break;
        if (isRefusal(replyClass)) {
            noteBrokenDataConnection();
            return Phase::Failed;
        }
        answered = replyClass != 1;
    }
    if (!answered)
        abandonControl(QStringLiteral("服务器没有说明数据连接中断的原因"));
    failNetwork(text);
    return Phase::Failed;
}

FtpClient::Phase FtpClient::failDataIo(const ByteStream& stream)
{
    return failDataTransfer(dataIoError(stream));
}

// The server still answers an interrupted transfer (426, or 226 for an upload). Collecting
// that answer keeps it from being taken for the reply to the next command; the wait is short
// so that the interruption stays prompt.
bool FtpClient::endInterrupted(DataChannel& channel)
{
    channel.close();
    const auto deadline = steady_clock::now() + interruptedReplyWait;
    for (int read = 0; !channel.closingSeen && read <= maxPreliminaryReplies; ++read) {
        if (waitForControl(deadline, false) != Wakeup::Control || !ReadReply() || replyClass != 1)
            break;
    }
    finishTransfer(bytesDone);
    return true;
}

// The restart request and the retrieval go out together; the first reply is the answer to
// REST.
bool FtpClient::downloadInto(const QString& remote, const QString& local, DataChannel& channel)
{
    QFile file(local);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        tellCannotAccess(local);
        return false;
    }
    const auto start = static_cast<quint64>(file.size());
    bytesDone = start;
    // A local part longer than the server's file is not a part of it.
    if (remoteSizeKnown_ && start > totalBytes)
        return fail(errorText(ErrorText::File));
    if (!SendCommand(QStringLiteral("REST ") + QString::number(start)) ||
        !SendCommand(QStringLiteral("RETR ") + remote) || !ReadReply())
        return false;
    // Without the restart the server sends the whole file, which would land after the part
    // already here.
    if (start > 0 && replyClass != 3)
        return false;
    Phase phase = awaitDataConnection(channel);
    if (phase == Phase::Done)
        phase = secureDataChannel(channel);
    if (phase == Phase::Done)
        phase = receiveFile(file, channel, start);
    file.close();
    phase = closeDataPhase(phase, channel);
    if (phase == Phase::Aborted)
        return endInterrupted(channel);
    if (phase == Phase::Failed)
        return false;
    // A server that dies mid-file may still close the data connection in order; the size it
    // reported tells.
    if (remoteSizeKnown_ && bytesDone != totalBytes)
        return failNetwork(errorText(ErrorText::Network));
    finishTransfer(bytesDone);
    return true;
}

FtpClient::Phase FtpClient::receiveFile(QFile& file, DataChannel& channel, quint64 start)
{
    ByteStream& stream = channel.stream();
    const auto block = std::make_unique<char[]>(transferBlockSize);
    const milliseconds slice = std::min(abortPollInterval, timeout_);
    quint64 position = start;
    auto lastData = steady_clock::now();
    Phase phase = Phase::Done;
    while (!(remoteSizeKnown_ && position == totalBytes)) {
        if (abortRequested) {
            phase = Phase::Aborted;
            break;
        }
        // Never more than the server announced: the part cannot grow past the file.
        const qint64 wanted =
            remoteSizeKnown_ ? std::min<qint64>(transferBlockSize, qint64(totalBytes - position))
                             : transferBlockSize;
        const qint64 count = stream.receive(block.get(), wanted, slice);
        if (count == 0 && remoteSizeKnown_)
            return failDataTransfer(errorText(ErrorText::Network));
        if (count == 0)
            break;
        if (count < 0 && !stream.timedOut())
            return failDataIo(stream);
        if (count < 0) {
            if (steady_clock::now() - lastData >= timeout_)
                return failDataIo(stream);
            if (!watchControlWhileIdle(channel))
                return Phase::Failed;
            continue;
        }
        lastData = steady_clock::now();
        if (file.write(block.get(), count) != count) {
            fail(errorText(ErrorText::File));
            return Phase::Failed;
        }
        position += static_cast<quint64>(count);
        bytesDone = position;
    }
    if (!file.flush()) {
        fail(errorText(ErrorText::File));
        return Phase::Failed;
    }
    if (phase == Phase::Done && remoteSizeKnown_ && sendsBeyondSize(stream)) {
        fail(QStringLiteral("服务器发来的数据多于它报告的文件大小"));
        return Phase::Failed;
    }
    return phase;
}

// Bytes already waiting once the announced size has arrived: the server's file is not the
// size it reported.
bool FtpClient::sendsBeyondSize(ByteStream& stream)
{
    char extra = 0;
    return stream.receive(&extra, 1, milliseconds(0)) > 0;
}

// Uploads always append: the server's size says where to continue.
bool FtpClient::uploadFrom(const QString& remote, const QString& local, DataChannel& channel)
{
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly))
        return fail(errorText(ErrorText::CannotOpenLocalFile));
    const auto length = static_cast<quint64>(file.size());
    const quint64 start = remoteSizeKnown_ ? sizeValue(remoteSizeText) : 0;
    bytesDone = start;
    // The server's file is longer than ours, so it is not a part of it.
    if (start > length || !file.seek(static_cast<qint64>(start)))
        return fail(errorText(ErrorText::File));
    if (!SendCommand(QStringLiteral("APPE ") + remote))
        return false;
    Phase phase = awaitDataConnection(channel);
    if (phase == Phase::Done)
        phase = secureDataChannel(channel);
    if (phase == Phase::Done)
        phase = sendFile(file, channel, start, length);
    file.close();
    phase = closeDataPhase(phase, channel);
    if (phase == Phase::Aborted)
        return endInterrupted(channel);
    if (phase == Phase::Failed || !uploadIsWhole(remote, length))
        return false;
    finishTransfer(bytesDone);
    return true;
}

FtpClient::Phase FtpClient::sendFile(QFile& file, DataChannel& channel, quint64 start,
                                     quint64 length)
{
    const auto block = std::make_unique<char[]>(transferBlockSize);
    quint64 position = start;
    while (position < length) {
        if (abortRequested)
            return Phase::Aborted;
        const qint64 wanted = std::min<qint64>(transferBlockSize, qint64(length - position));
        const qint64 count = file.read(block.get(), wanted);
        if (count <= 0) {
            fail(errorText(ErrorText::File));
            return Phase::Failed;
        }
        const Phase sent = sendBlock(channel, block.get(), count, position);
        if (sent != Phase::Done)
            return sent;
    }
    return Phase::Done;
}

// Sends in short slices, so that an abort is seen while the server is not reading.
FtpClient::Phase FtpClient::sendBlock(DataChannel& channel, const char* data, qint64 size,
                                      quint64& position)
{
    ByteStream& stream = channel.stream();
    const milliseconds slice = std::min(abortPollInterval, timeout_);
    auto lastProgress = steady_clock::now();
    for (qint64 offset = 0; offset < size;) {
        const qint64 sent = stream.sendSome(data + offset, size - offset, slice);
        if (sent < 0)
            return failDataTransfer(errorText(ErrorText::Network));
        if (sent > 0) {
            offset += sent;
            position += static_cast<quint64>(sent);
            bytesDone = position;
            lastProgress = steady_clock::now();
            continue;
        }
        if (abortRequested)
            return Phase::Aborted;
        if (steady_clock::now() - lastProgress >= timeout_)
            return failDataTransfer(errorText(ErrorText::Network));
        if (!watchControlWhileIdle(channel))
            return Phase::Failed;
    }
    return Phase::Done;
}

// Some servers answer 226 to an upload whose data connection was cut and keep what arrived:
// the size the server reports afterwards is the proof. A server that answers no size is
// taken at its word.
bool FtpClient::uploadIsWhole(const QString& remote, quint64 length)
{
    const QString closing = replyLine;
    const int closingClass = replyClass;
    std::optional<quint64> size;
    if (!askSize(remote, size))
        return false;
    if (size && *size != length)
        return failNetwork(errorText(ErrorText::Network));
    replyLine = closing;
    replyClass = closingClass;
    return true;
}

void FtpClient::finishTransfer(quint64 position)
{
    transferDone = 1;
    transferActive = 0;
    bytesDone = position;
}
