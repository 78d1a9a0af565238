#include "ftp/ControlChannel.h"

#include "ftp/DataChannel.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"
#include "platform/LineReader.h"
#include "platform/SocketSupport.h"
#include "platform/TcpSocket.h"
#include "platform/TlsStream.h"

#include <algorithm>

namespace {

using enginetext::errorText;
using enginetext::ErrorText;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Bound on the collected text of one reply, whatever number of lines it spans.
constexpr qsizetype maxReplyText = 1024 * 1024;
// How long a broken data connection waits for the server to say why.
constexpr milliseconds serverReasonWait{250};

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

} // namespace

ControlChannel::ControlChannel(FtpClient& client) : client_(client) {}

ControlChannel::~ControlChannel() = default;

bool ControlChannel::connect(const QString& hostName, int portNumber)
{
    disconnect();
    fault_.clear();
    auto socket = std::make_unique<TcpSocket>();
    if (!socket->connect(hostName, portNumber, timeout_)) {
        const bool created = socket->error() != TcpSocket::Error::Create;
        fault_ = enginetext::socketFault(socket->error(), timeout_);
        return fail(errorText(created ? ErrorText::CannotConnect : ErrorText::CannotCreateSocket));
    }
    // Commands go out as single lines and are often answered at once: no Nagle delay.
    socket->setNoDelay(true);
    std::lock_guard<std::mutex> hold(interruptMutex_);
    if (interrupted_)
        return fail(errorText(ErrorText::CannotConnect));
    socket_ = std::move(socket);
    reader_ = std::make_unique<LineReader>(*socket_);
    peerName_ = hostName;
    peerPort_ = portNumber;
    return true;
}

void ControlChannel::disconnect()
{
    binaryMode_ = false;
    heldReply_.reset();
    reader_.reset();
    tls_.reset();
    dataProtected_ = false;
    std::lock_guard<std::mutex> hold(interruptMutex_);
    socket_.reset();
}

bool ControlChannel::isConnected() const
{
    return socket_ && socket_->isOpen();
}

void ControlChannel::interrupt()
{
    std::lock_guard<std::mutex> hold(interruptMutex_);
    interrupted_ = true;
    client_.abortRequested = 1;
    if (socket_)
        socket_->interrupt();
    if (watchedChannel_)
        watchedChannel_->interrupt();
}

QString ControlChannel::peerAddress() const
{
    return socket_->peerAddress();
}

QString ControlChannel::localAddress() const
{
    return socket_->localAddress();
}

bool ControlChannel::isIpv6() const
{
    return socket_->isIpv6();
}

void ControlChannel::setTimeout(milliseconds timeout)
{
    timeout_ = std::max(timeout, milliseconds(0));
}

bool ControlChannel::fail(const QString& text)
{
    client_.replyLine = text;
    return false;
}

bool ControlChannel::failNetwork(const QString& text)
{
    client_.networkFailure = true;
    return fail(text);
}

bool ControlChannel::failConnection(const QString& fault)
{
    abandon(fault);
    return failNetwork(errorText(ErrorText::Network));
}

// A reply that was cut, missed or is still owed would be read as the answer to the next
// command: the connection is closed, so that nothing more is sent on it.
void ControlChannel::abandon(const QString& fault)
{
    if (fault_.isEmpty())
        fault_ = fault;
    disconnect();
}

void ControlChannel::noteBrokenDataConnection()
{
    if (enginetext::isRefusal(client_.replyClass) &&
        enginetext::namesBrokenDataConnection(client_.replyLine))
        client_.networkFailure = true;
}

bool ControlChannel::sendCommand(const QString& text)
{
    heldReply_.reset();
    client_.replyLine = errorText(ErrorText::Network);
    if (text.startsWith(QLatin1String("TYPE"), Qt::CaseInsensitive))
        binaryMode_ = false;
    if (!reader_)
        return failConnection(QStringLiteral("没有与服务器的连接"));
    if (!reader_->writeLine(codec_.encode(text), timeout_))
        return failConnection(enginetext::socketFault(socket_->error(), timeout_));
    return true;
}

bool ControlChannel::readLine()
{
    QByteArray line;
    if (!reader_)
        return failConnection(QStringLiteral("没有与服务器的连接"));
    const LineReader::Status status = reader_->readLine(line, timeout_);
    if (status != LineReader::Status::Line)
        return failConnection(enginetext::readFault(status, timeout_));
    replyEncoding_ = enginetext::lineEncoding(line);
    client_.replyLine = TextCodec(replyEncoding_).decode(line);
    if (!client_.replyLine.isEmpty())
        client_.replyClass = client_.replyLine.at(0).unicode() - u'0';
    return true;
}

bool ControlChannel::readReply()
{
    if (heldReply_) {
        client_.replyLine = heldReply_->line;
        client_.replyText = heldReply_->text;
        client_.replyClass = heldReply_->replyClass;
        heldReply_.reset();
        return true;
    }
    QString& text = client_.replyText;
    text.clear();
    if (!readLine())
        return false;
    if (opensMultiLineReply(client_.replyLine)) {
        const int code = leadingNumber(client_.replyLine);
        do {
            text += client_.replyLine + QStringLiteral("\r\n");
            if (text.size() > maxReplyText)
                return failConnection(QStringLiteral("服务器的应答过长"));
            if (!readLine())
                return false;
        } while (!closesMultiLineReply(client_.replyLine, code));
    }
    text += client_.replyLine + QStringLiteral("\r\n");
    return true;
}

bool ControlChannel::exchange(const QString& text)
{
    if (!text.isEmpty() && !sendCommand(text))
        return false;
    return readReply();
}

bool ControlChannel::command(const QString& text)
{
    return exchange(text) && (client_.replyClass == 2 || client_.replyClass == 3);
}

void ControlChannel::holdReply()
{
    heldReply_ = HeldReply{client_.replyLine, client_.replyText, client_.replyClass};
}

// Reads replies until one carries the wanted code, skipping replies of earlier commands that
// are still pending. False on a 550 (the current reply is tested for it only when
// refusalEnds), on a broken connection or time-out, and after too many foreign replies.
bool ControlChannel::readUntilCode(QLatin1String wanted, bool refusalEnds)
{
    for (int read = 0; read <= maxForeignReplies; ++read) {
        const QString& line = client_.replyLine;
        if (line.startsWith(wanted))
            return true;
        // 500-504: a server without the command answers so; waiting on would cost the
        // time-out and, with it, the connection.
        if (refusalEnds &&
            (line.startsWith(QLatin1String("550")) || line.startsWith(QLatin1String("50"))))
            return false;
        refusalEnds = true;
        if (!exchange(QString()))
            return false;
    }
    return false;
}

// Replies that an earlier call left unread (an interrupted transfer, a listing whose closing
// reply was not collected) would otherwise be taken for the answers to this call.
void ControlChannel::discardStaleReplies()
{
    for (int read = 0; read < maxForeignReplies; ++read) {
        if (waitForControl(steady_clock::now(), false) != Wakeup::Control || !readReply())
            return;
    }
}

// The mode lasts as long as the connection, so it is asked for once; any TYPE command sent
// meanwhile makes it unknown again.
bool ControlChannel::enterBinaryMode()
{
    if (!binaryMode_ && command(QStringLiteral("TYPE I")))
        binaryMode_ = true;
    return binaryMode_;
}

// Waits in short slices, so that an abort is seen promptly, until the control connection (when
// watched) or the data descriptor (-1: none) has something to read. Data comes first: a server
// connects and sends before it replies, so its closing reply must not hide a data connection
// that is already waiting.
ControlChannel::Wakeup ControlChannel::waitForReadable(bool watchControl, int dataDescriptor,
                                                       steady_clock::time_point deadline,
                                                       bool abortable)
{
    for (;;) {
        if (abortable && client_.abortRequested)
            return Wakeup::Aborted;
        // Without a connection the next read fails at once, which is what the caller must learn.
        if (watchControl && (!socket_ || !reader_))
            return Wakeup::Control;
        const bool buffered = watchControl && reader_->hasBufferedData();
        const int control = watchControl ? socket_->descriptor() : -1;
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

ControlChannel::Wakeup ControlChannel::waitForControl(steady_clock::time_point deadline,
                                                      bool abortable)
{
    return waitForReadable(true, -1, deadline, abortable);
}

// A broken data connection is often the server giving up on the transfer; its reply names
// the reason better than the broken connection does.
TransferPhase ControlChannel::failDataTransfer(const QString& text)
{
    const auto deadline = steady_clock::now() + serverReasonWait;
    bool answered = false;
    for (int read = 0; read <= maxPreliminaryReplies && !answered; ++read) {
        if (waitForControl(deadline, false) != Wakeup::Control || !readReply())
            break;
        if (enginetext::isRefusal(client_.replyClass)) {
            noteBrokenDataConnection();
            return TransferPhase::Failed;
        }
        answered = client_.replyClass != 1;
    }
    if (!answered)
        abandon(QStringLiteral("服务器没有说明数据连接中断的原因"));
    failNetwork(text);
    return TransferPhase::Failed;
}

// Bytes that came after the 234 were sent in clear by anyone on the way: read later, they
// would pass for the server's protected replies.
std::unique_ptr<TlsStream> ControlChannel::startTls(const TlsContext& context)
{
    if (reader_->hasBufferedData()) {
        failConnection(QStringLiteral("服务器在 TLS 握手之前发来了多余的数据"));
        return nullptr;
    }
    auto stream = std::make_unique<TlsStream>(context, *socket_);
    if (stream->handshake(peerName_, nullptr, timeout_))
        return stream;
    const QString fault = stream->errorText();
    stream.reset();
    failConnection(fault);
    return nullptr;
}

void ControlChannel::adoptTls(std::unique_ptr<TlsStream> stream)
{
    tls_ = std::move(stream);
    reader_ = std::make_unique<LineReader>(*tls_);
}

ControlChannel::DataWatch::DataWatch(ControlChannel& control, DataChannel& channel)
    : control_(control)
{
    std::lock_guard<std::mutex> hold(control_.interruptMutex_);
    control_.watchedChannel_ = &channel;
    if (control_.interrupted_)
        channel.interrupt();
}

ControlChannel::DataWatch::~DataWatch()
{
    std::lock_guard<std::mutex> hold(control_.interruptMutex_);
    control_.watchedChannel_ = nullptr;
}
