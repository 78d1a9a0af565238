#include "ftp/FtpClient.h"

#include "ftp/DataAddress.h"
#include "platform/LineReader.h"
#include "platform/Prompt.h"
#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringList>

#include <array>

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

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

quint64 sizeValue(const QString& text)
{
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? value : 0;
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

} // namespace

// The data connection of one List or TransferFile call; it never outlives the call.
struct FtpClient::DataChannel {
    bool passive = false;
    TcpListener listener;
    quint16 passivePort = 0;
    TcpSocket socket;
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
    return true;
}

void FtpClient::Disconnect()
{
    reader_.reset();
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

bool FtpClient::failConnection(const QString& fault)
{
    if (connectionFault_.isEmpty())
        connectionFault_ = fault;
    return fail(errorText(ErrorText::Network));
}

bool FtpClient::SendCommand(const QString& text)
{
    replyLine = errorText(ErrorText::Network);
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
    replyLine = codec_.decode(line);
    if (!replyLine.isEmpty())
        replyClass = replyLine.at(0).unicode() - u'0';
    return true;
}

bool FtpClient::ReadReply()
{
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
    logonLog.clear();
    codec_.setEncoding(TextCodec::Encoding::Gbk);
    const bool direct = info.logonType == 0;
    if (!Connect(direct ? info.host : info.firewallHost, direct ? info.port : info.firewallPort))
        return false;
    if (!Command(QString()))
        return false;
    if (replyText.contains(QLatin1String("Microsoft")))
        serverKind = 1;
    if (replyText.contains(QLatin1String("Serv-U")))
        serverKind = 2;
    logonLog += replyText;
    QString hostText = info.host;
    if (info.port != 21)
        hostText += QStringLiteral(":%1").arg(info.port);
    return runLogonTable(info, hostText) && negotiateEncoding();
}

bool FtpClient::runLogonTable(const LogonInfo& info, const QString& hostText)
{
    const LogonRow& row = logonTable[static_cast<std::size_t>(info.logonType)];
    int step = 0;
    // Every next step lies after the current one, so a row ends within its number of steps.
    for (int taken = 0; taken < logonStepsPerRow; ++taken) {
        const auto at = static_cast<std::size_t>(step);
        if (!exchange(logonCommand(row[at], info, hostText)))
            return false;
        if (replyClass != 2 && replyClass != 3)
            return false;
        logonLog += replyText;
        step = row[at + (replyClass == 2 ? 1 : 2)];
        if (step == LO)
            return true;
        if (step == ER)
            break;
    }
    return fail(errorText(ErrorText::LogonFailed));
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
    }
    replyLine = logonLine;
    replyText = logonText;
    replyClass = logonClass;
    return true;
}

// Reads replies until one carries the wanted code, skipping replies of earlier commands that
// are still pending. False on a 550 (the current reply is tested for it only when
// refusalEnds), on a broken connection or time-out, and after too many foreign replies.
bool FtpClient::readUntilCode(QLatin1String wanted, bool refusalEnds)
{
    for (int read = 0; read <= maxForeignReplies; ++read) {
        if (replyLine.startsWith(wanted))
            return true;
        if (refusalEnds && replyLine.startsWith(QLatin1String("550")))
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
    if (!exchange(QStringLiteral("SIZE ") + trimSpaces(name)) ||
        !readUntilCode(QLatin1String("213"), true))
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
    return Command((ipv6 ? QStringLiteral("EPRT ") : QStringLiteral("PORT ")) + argument);
}

// Only the port of the reply is used: the data connection goes to the server the control
// connection reaches. A server behind NAT announcing its private address still works, and a
// hostile reply cannot point the client at another host.
bool FtpClient::openPassiveChannel(DataChannel& channel)
{
    const bool ipv6 = controlSocket_->isIpv6();
    if (!Command(ipv6 ? QStringLiteral("EPSV") : QStringLiteral("PASV")))
        return false;
    const std::optional<DataAddress> address =
        ipv6 ? DataAddress::fromEpsvReply(replyLine) : DataAddress::fromPasvReply(replyLine);
    if (!address)
        return false;
    channel.passivePort = address->port;
    return true;
}

bool FtpClient::connectPassive(DataChannel& channel)
{
    if (!channel.socket.connect(controlSocket_->peerAddress(), channel.passivePort, timeout_))
        return fail(errorText(ErrorText::Network));
    return true;
}

// Anyone may connect to an open port: only a connection from the server's own address is
// taken; others are closed and the wait goes on until the time-out.
bool FtpClient::acceptDataConnection(DataChannel& channel)
{
    const QString server = controlSocket_->peerAddress();
    const auto deadline = steady_clock::now() + timeout_;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            return fail(errorText(ErrorText::Network));
        TcpSocket incoming = channel.listener.accept(left);
        if (!incoming.isOpen())
            return fail(errorText(ErrorText::Network));
        if (incoming.peerAddress() == server) {
            channel.socket = std::move(incoming);
            channel.listener.close();
            return true;
        }
    }
}

bool FtpClient::failDataIo(const TcpSocket& socket)
{
    return fail(errorText(socket.timedOut() ? ErrorText::Network : ErrorText::File));
}

bool FtpClient::List(const QString& argument)
{
    listBuffer.clear();
    if (!Command(QStringLiteral("TYPE I")))
        return false;
    DataChannel channel;
    const ChannelWatch watch(*this, channel);
    if (!openActiveChannel(channel))
        return false;
    if (!SendCommand(QStringLiteral("LIST ") + argument) || !ReadReply())
        return false;
    // A refused listing opens no data connection: waiting for one would only run into the
    // time-out.
    if (isRefusal(replyClass))
        return false;
    return acceptDataConnection(channel) && receiveListing(channel.socket);
}

bool FtpClient::receiveListing(TcpSocket& socket)
{
    for (;;) {
        const qsizetype received = listBuffer.size();
        if (received > maxListingBytes) {
            listBuffer.clear();
            return fail(errorText(ErrorText::File));
        }
        const qint64 room = std::min<qint64>(listingBlockSize, maxListingBytes + 1 - received);
        listBuffer.resize(received + room);
        const qint64 count = socket.receive(listBuffer.data() + received, room, timeout_);
        listBuffer.resize(received + std::max<qint64>(count, 0));
        if (count == 0)
            return true;
        if (count < 0)
            return failDataIo(socket);
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
    listLine = codec_.decode(line.toByteArray());
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
    remoteSizeText = QuerySize(remote);
    if (download) {
        totalBytes = sizeValue(remoteSizeText);
    } else {
        QFile source(local);
        if (!source.open(QIODevice::ReadOnly)) {
            tellCannotAccess(local);
            return false;
        }
        totalBytes = static_cast<quint64>(source.size());
    }
    if (!Command(QStringLiteral("TYPE I")))
        return false;
    DataChannel channel;
    const ChannelWatch watch(*this, channel);
    if (!openDataChannel(passive, channel))
        return false;
    return download ? downloadInto(remote, local, channel) : uploadFrom(remote, local, channel);
}

void FtpClient::tellCannotAccess(const QString& local)
{
    replyLine = errorText(ErrorText::CannotOpenLocalFile);
    if (prompt_)
        prompt_->tell(QStringLiteral("无法访问文件") + local);
}

// The restart request and the retrieval go out together; the one reply read here is the
// answer to REST, the replies to RETR stay pending for the caller.
bool FtpClient::downloadInto(const QString& remote, const QString& local, DataChannel& channel)
{
    QFile file(local);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        tellCannotAccess(local);
        return false;
    }
    const auto start = static_cast<quint64>(file.size());
    // A local part longer than the server's file is not a part of it.
    if (start > totalBytes)
        return fail(errorText(ErrorText::File));
    if (!SendCommand(QStringLiteral("REST ") + QString::number(start)) ||
        !SendCommand(QStringLiteral("RETR ") + remote))
        return false;
    if (channel.passive && !connectPassive(channel))
        return false;
    if (!ReadReply())
        return false;
    // Without the restart the server sends the whole file, which would land after the part
    // already here.
    if (start > 0 && replyClass != 3)
        return false;
    if (!channel.passive && !acceptDataConnection(channel))
        return false;
    return receiveFile(file, channel.socket, start);
}

bool FtpClient::receiveFile(QFile& file, TcpSocket& socket, quint64 start)
{
    const quint64 expected = totalBytes;
    const auto block = std::make_unique<char[]>(transferBlockSize);
    quint64 position = start;
    for (;;) {
        const qint64 count = socket.receive(block.get(), transferBlockSize, timeout_);
        if (count == 0)
            break;
        if (count < 0)
            return failDataIo(socket);
        if (file.write(block.get(), count) != count)
            return fail(errorText(ErrorText::File));
        position += static_cast<quint64>(count);
        bytesDone = position;
        if (position == expected || abortRequested)
            break;
    }
    if (!file.flush())
        return fail(errorText(ErrorText::File));
    file.close();
    socket.close();
    // The server closed the connection before the size it announced: not a complete file.
    if (!abortRequested && position < expected)
        return fail(errorText(ErrorText::Network));
    finishTransfer(position);
    return true;
}

// Uploads always append: the server's size says where to continue.
bool FtpClient::uploadFrom(const QString& remote, const QString& local, DataChannel& channel)
{
    if (!SendCommand(QStringLiteral("APPE ") + remote))
        return false;
    if (channel.passive && !connectPassive(channel))
        return false;
    if (!ReadReply())
        return false;
    if (isRefusal(replyClass))
        return false;
    if (!channel.passive && !acceptDataConnection(channel))
        return false;
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly))
        return fail(errorText(ErrorText::CannotOpenLocalFile));
    const auto length = static_cast<quint64>(file.size());
    const quint64 start = sizeValue(remoteSizeText);
    if (start == length) {
        finishTransfer(start);
        return true;
    }
    // The server's file is longer than ours, so it is not a part of it.
    if (start > length)
        return fail(errorText(ErrorText::File));
    if (!file.seek(static_cast<qint64>(start)))
        return fail(errorText(ErrorText::File));
    return sendFile(file, channel.socket, start, length);
}

bool FtpClient::sendFile(QFile& file, TcpSocket& socket, quint64 start, quint64 length)
{
    const auto block = std::make_unique<char[]>(transferBlockSize);
    quint64 position = start;
    while (position < length) {
        const qint64 count = file.read(block.get(), transferBlockSize);
        if (count < 0)
            return fail(errorText(ErrorText::File));
        if (count == 0)
            break;
        if (!socket.sendAll(block.get(), count, timeout_))
            return fail(errorText(ErrorText::Network));
        position += static_cast<quint64>(count);
        bytesDone = position;
        if (abortRequested)
            break;
    }
    file.close();
    socket.close();
    finishTransfer(position);
    return true;
}

void FtpClient::finishTransfer(quint64 position)
{
    transferDone = 1;
    transferActive = 0;
    bytesDone = position;
}
