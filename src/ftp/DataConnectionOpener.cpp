#include "ftp/DataConnectionOpener.h"

#include "ftp/ControlChannel.h"
#include "ftp/DataAddress.h"
#include "ftp/DataChannel.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"
#include "ftp/TlsNegotiation.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

using enginetext::errorText;
using enginetext::ErrorText;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long the end of a TLS data connection waits for the server's close_notify.
constexpr milliseconds tlsCloseWait{2000};

} // namespace

DataConnectionOpener::DataConnectionOpener(FtpClient& client, ControlChannel& control,
                                           TlsNegotiation& tls)
    : client_(client), control_(control), tls_(tls)
{
}

bool DataConnectionOpener::passiveInUse() const
{
    return mode_ == DataConnectionMode::Passive ||
           (mode_ == DataConnectionMode::Automatic && turnedPassive_);
}

bool DataConnectionOpener::runAttempts(bool passive,
                                       const std::function<bool(bool passive)>& attempt)
{
    client_.networkFailure = false;
    activeFailure_ = ActiveFailure::None;
    if (attempt(passive || passiveInUse()))
        return true;
    return turnPassiveAfterActiveFailure() && attempt(true);
}

bool DataConnectionOpener::open(bool passive, DataChannel& channel)
{
    channel.passive = passive;
    return passive ? openPassive(channel) : openActive(channel);
}

// The listener sits on the address the server already reaches us at, so it is not exposed on
// other interfaces.
bool DataConnectionOpener::openActive(DataChannel& channel)
{
    client_.replyLine = errorText(ErrorText::Network);
    const QString local = control_.localAddress();
    if (local.isEmpty() || !channel.listener.listen(local, 0, 5))
        return false;
    const DataAddress address{local, channel.listener.port()};
    const bool ipv6 = control_.isIpv6();
    const QString argument = ipv6 ? address.toEprtArgument() : address.toPortArgument();
    if (argument.isEmpty())
        return false;
    if (!control_.exchange((ipv6 ? QStringLiteral("EPRT ") : QStringLiteral("PORT ")) + argument))
        return false;
    if (enginetext::isRefusal(client_.replyClass))
        activeFailure_ = ActiveFailure::Refused;
    // Servers that connect at PORT time answer 425 when our port cannot be reached.
    control_.noteBrokenDataConnection();
    return client_.replyClass == 2 || client_.replyClass == 3;
}

// Only the port of the reply is used: the data connection goes to the server the control
// connection reaches. A server behind NAT announcing its private address still works, and a
// hostile reply cannot point the client at another host. The connection is made before the
// transfer command goes out, so a server that closes its listener on a refusal cannot turn
// the refusal into a failed connect.
bool DataConnectionOpener::openPassive(DataChannel& channel)
{
    const bool ipv6 = control_.isIpv6();
    if (!control_.command(ipv6 ? QStringLiteral("EPSV") : QStringLiteral("PASV")))
        return false;
    const std::optional<DataAddress> address = ipv6 ? DataAddress::fromEpsvReply(client_.replyLine)
                                                    : DataAddress::fromPasvReply(client_.replyLine);
    if (!address)
        return false;
    if (!channel.socket.connect(control_.peerAddress(), address->port, control_.timeout()))
        return control_.failNetwork(errorText(ErrorText::Network));
    return !control_.dataProtected() || startTls(channel);
}

// The opening of the handshake goes out at once: some servers answer the transfer command
// only after the handshake, others only before it, and the wait for the data connection then
// sees either the reply or the server's side of the handshake.
bool DataConnectionOpener::startTls(DataChannel& channel)
{
    channel.tls = std::make_unique<TlsStream>(tls_.context(), channel.socket);
    if (channel.tls->startHandshake(control_.peerName(), control_.tls()))
        return true;
    return control_.failNetwork(QStringLiteral("数据连接") + channel.tls->errorText());
}

// The data connection resumes the control connection's TLS session, which shows the server
// that both come from the same client. One that does not resume must at least present the
// certificate accepted at logon.
TransferPhase DataConnectionOpener::secure(DataChannel& channel)
{
    if (!control_.dataProtected())
        return TransferPhase::Done;
    if (!channel.tls && !startTls(channel))
        return TransferPhase::Failed;
    if (!channel.tls->finishHandshake(control_.timeout()))
        return control_.failDataTransfer(QStringLiteral("数据连接") + channel.tls->errorText());
    if (!channel.tls->sessionReused() && channel.tls->peerCertificate().sha256Fingerprint !=
                                             control_.tls()->peerCertificate().sha256Fingerprint) {
        control_.fail(QStringLiteral("数据连接的服务器证书与控制连接的不同,已中止"));
        return TransferPhase::Failed;
    }
    return TransferPhase::Done;
}

// The server takes a TLS data connection that ends without close_notify for a cut one.
void DataConnectionOpener::endTls(DataChannel& channel)
{
    if (channel.tls)
        channel.tls->shutdown(std::min(control_.timeout(), tlsCloseWait));
}

// Anyone may connect to an open port: only a connection from the server's own address is
// kept; others are closed.
bool DataConnectionOpener::acceptFromServer(DataChannel& channel)
{
    TcpSocket incoming = channel.listener.accept(milliseconds(0));
    if (!incoming.isOpen() || incoming.peerAddress() != control_.peerAddress())
        return false;
    channel.socket = std::move(incoming);
    channel.listener.close();
    return true;
}

bool DataConnectionOpener::takeTransferReply(DataChannel& channel)
{
    if (!control_.readReply())
        return false;
    channel.replySeen = true;
    if (client_.replyClass == 1)
        return true;
    if (client_.replyClass != 2) {
        control_.noteBrokenDataConnection();
        return false;
    }
    channel.closingReply = client_.replyLine;
    channel.closingSeen = true;
    return true;
}

steady_clock::time_point DataConnectionOpener::connectionDeadline(const DataChannel& channel) const
{
    const bool mayTurnPassive = !channel.passive && mode_ == DataConnectionMode::Automatic;
    const milliseconds timeout = control_.timeout();
    return steady_clock::now() + (mayTurnPassive ? std::min(timeout, activeWait_) : timeout);
}

// Waits for the data connection while listening to the control connection, so that a refused
// transfer fails at once with the server's reply instead of running into the time-out.
TransferPhase DataConnectionOpener::awaitConnection(DataChannel& channel)
{
    const auto deadline = connectionDeadline(channel);
    for (;;) {
        const int data =
            channel.passive ? channel.socket.descriptor() : channel.listener.descriptor();
        // Once the closing reply is in, the server may close the control connection too.
        switch (control_.waitForReadable(!channel.closingSeen, data, deadline, true)) {
        case ControlChannel::Wakeup::Aborted:
            return TransferPhase::Aborted;
        case ControlChannel::Wakeup::TimedOut:
            return failAwait(channel);
        case ControlChannel::Wakeup::Control:
            if (!takeTransferReply(channel)) {
                noteActiveRefusal(channel);
                return TransferPhase::Failed;
            }
            if (channel.passive)
                return TransferPhase::Done;
            break;
        case ControlChannel::Wakeup::Data:
            if (channel.passive || acceptFromServer(channel))
                return TransferPhase::Done;
            if (channel.listener.error() == TcpSocket::Error::Io) {
                control_.failNetwork(errorText(ErrorText::Network));
                return TransferPhase::Failed;
            }
            break;
        }
    }
}

// In automatic mode ABOR settles the unanswered command before the passive attempt.
TransferPhase DataConnectionOpener::failAwait(const DataChannel& channel)
{
    if (!channel.passive && mode_ == DataConnectionMode::Automatic)
        activeFailure_ = ActiveFailure::TimedOut;
    else
        control_.abandon(QStringLiteral("服务器没有建立数据连接"));
    control_.failNetwork(errorText(ErrorText::Network));
    return TransferPhase::Failed;
}

void DataConnectionOpener::noteActiveRefusal(const DataChannel& channel)
{
    const QString& reply = client_.replyLine;
    if (!channel.passive &&
        (reply.startsWith(QLatin1String("425")) || reply.startsWith(QLatin1String("426"))))
        activeFailure_ = ActiveFailure::Refused;
}

// Behind NAT the server cannot reach our listener; passive mode is the way out. The client
// stays passive, so the failed attempt and its wait are paid only once.
bool DataConnectionOpener::turnPassiveAfterActiveFailure()
{
    const ActiveFailure failure = std::exchange(activeFailure_, ActiveFailure::None);
    if (failure == ActiveFailure::None || mode_ != DataConnectionMode::Automatic)
        return false;
    if (failure == ActiveFailure::TimedOut && !settleAbandonedCommand())
        return false;
    turnedPassive_ = true;
    client_.networkFailure = false;
    if (logSink_)
        logSink_(QStringLiteral("主动模式数据连接失败,改用被动模式\r\n"));
    return true;
}

// The server may still be trying to reach the closed listener: ABOR ends that, and the answers
// to the abandoned command and to ABOR are read so that neither is taken for a later reply.
bool DataConnectionOpener::settleAbandonedCommand()
{
    if (!control_.sendCommand(QStringLiteral("ABOR")))
        return false;
    const auto deadline = steady_clock::now() + control_.timeout();
    for (int read = 0; read < ControlChannel::maxForeignReplies; ++read) {
        if (control_.waitForControl(deadline, false) != ControlChannel::Wakeup::Control)
            return control_.failNetwork(errorText(ErrorText::Network));
        if (!control_.readReply())
            return false;
        const QString& reply = client_.replyLine;
        if (reply.startsWith(QLatin1String("225")) || reply.startsWith(QLatin1String("226")) ||
            client_.replyClass == 5)
            return true;
    }
    return control_.failNetwork(errorText(ErrorText::Network));
}
