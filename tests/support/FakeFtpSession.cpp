#include "support/FakeFtpSession.h"

#include <QString>
#include <QStringList>

#include <thread>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Waits are cut into slices so that a server being destroyed stops its script at once.
constexpr milliseconds slice{50};

[[noreturn]] void failScript(const QByteArray& text)
{
    throw FakeFtpSession::ScriptFailure(text.toStdString());
}

bool isLoopback(const QString& host)
{
    return host.startsWith(QLatin1String("127.")) || host == QLatin1String("::1");
}

struct Target {
    QString host;
    int port = -1;
};

// "PORT h1,h2,h3,h4,p1,p2" or "EPRT |family|host|port|".
Target parseTarget(const QByteArray& command)
{
    Target target;
    const QString text = QString::fromLatin1(command);
    if (text.startsWith(QLatin1String("PORT "))) {
        const QStringList parts = text.mid(5).split(QLatin1Char(','));
        if (parts.size() == 6) {
            target.host = parts.mid(0, 4).join(QLatin1Char('.'));
            target.port = parts.at(4).toInt() * 256 + parts.at(5).toInt();
        }
    } else if (text.startsWith(QLatin1String("EPRT "))) {
        const QString argument = text.mid(5);
        const QStringList parts = argument.split(argument.left(1));
        if (parts.size() == 5) {
            target.host = parts.at(2);
            target.port = parts.at(3).toInt();
        }
    }
    return target;
}

} // namespace

FakeFtpSession::FakeFtpSession(TcpSocket control, milliseconds timeout,
                               const std::atomic<bool>& stopping, std::mutex& recordLock,
                               QList<QByteArray>& commands)
    : control_(std::move(control)), reader_(control_), timeout_(timeout), stopping_(stopping),
      recordLock_(recordLock), commands_(commands)
{
    // Replies go out line by line; without this each line after the first waits for an ACK.
    control_.setNoDelay(true);
}

void FakeFtpSession::checkStopping() const
{
    if (stopping_)
        failScript("server stopped while the script was waiting");
}

void FakeFtpSession::send(const QByteArray& line)
{
    if (!reader_.writeLine(line, timeout_))
        failScript("cannot send reply: " + line);
}

void FakeFtpSession::sendRaw(const QByteArray& bytes)
{
    if (!control_.sendAll(bytes.constData(), bytes.size(), timeout_))
        failScript("cannot send raw reply bytes");
}

QByteArray FakeFtpSession::receive()
{
    const auto deadline = steady_clock::now() + timeout_;
    QByteArray line;
    for (;;) {
        checkStopping();
        switch (reader_.readLine(line, slice)) {
        case LineReader::Status::Line: {
            std::lock_guard<std::mutex> hold(recordLock_);
            commands_.append(line);
            return line;
        }
        case LineReader::Status::TimedOut:
            if (steady_clock::now() > deadline)
                failScript("no command arrived within the time-out");
            continue;
        case LineReader::Status::Closed:
            failScript("the client closed the control connection");
        default:
            failScript("the control connection failed");
        }
    }
}

QByteArray FakeFtpSession::receiveFor(const QByteArray& expected)
{
    QByteArray line = receive();
    while (line.startsWith("AUTH ") && !expected.startsWith("AUTH")) {
        send("530 Please login with USER and PASS.");
        line = receive();
    }
    return line;
}

void FakeFtpSession::expect(const QByteArray& command)
{
    const QByteArray line = receiveFor(command);
    if (line != command)
        failScript("expected \"" + command + "\" but received \"" + line + "\"");
}

QByteArray FakeFtpSession::expectPrefix(const QByteArray& prefix)
{
    const QByteArray line = receiveFor(prefix);
    if (!line.startsWith(prefix))
        failScript("expected a command starting with \"" + prefix + "\" but received \"" + line +
                   "\"");
    return line;
}

void FakeFtpSession::exchange(const QByteArray& command, const QByteArray& reply)
{
    expect(command);
    send(reply);
}

void FakeFtpSession::expectClosed()
{
    const auto deadline = steady_clock::now() + timeout_;
    QByteArray line;
    for (;;) {
        checkStopping();
        switch (reader_.readLine(line, slice)) {
        case LineReader::Status::Closed:
            return;
        case LineReader::Status::TimedOut:
            if (steady_clock::now() > deadline)
                failScript("the client did not close the control connection");
            continue;
        case LineReader::Status::Line: {
            std::lock_guard<std::mutex> hold(recordLock_);
            commands_.append(line);
        }
            failScript("expected the connection to close but received \"" + line + "\"");
        default:
            return; // a reset is a close too
        }
    }
}

void FakeFtpSession::answerFeat(bool utf8, const QByteArray& optsReply)
{
    expect("FEAT");
    send("211-Features:");
    send(" EPRT");
    send(" MDTM");
    if (utf8)
        send(" UTF8");
    send(" SIZE");
    send("211 End");
    if (utf8)
        exchange("OPTS UTF8 ON", optsReply);
}

TcpSocket FakeFtpSession::connectTo(const QByteArray& portCommand, const QString& sourceAddress,
                                    milliseconds timeout)
{
    const Target target = parseTarget(portCommand);
    if (target.port <= 0 || target.port > 65535 || !isLoopback(target.host))
        failScript("refusing data connection target of \"" + portCommand + "\"");
    TcpSocket socket;
    if (!socket.connect(target.host, target.port, timeout, sourceAddress))
        failScript("cannot connect to the client's data port: " + portCommand);
    return socket;
}

void FakeFtpSession::connectActive(const QByteArray& portCommand, const QString& sourceAddress)
{
    data_ = connectTo(portCommand, sourceAddress, timeout_);
}

TcpSocket FakeFtpSession::connectStranger(const QByteArray& portCommand,
                                          const QString& sourceAddress)
{
    return connectTo(portCommand, sourceAddress, timeout_);
}

QByteArray FakeFtpSession::offerPassive()
{
    const QString local = control_.localAddress();
    if (!passiveListener_.listen(local, 0, 5))
        failScript("cannot open the passive data listener");
    const quint16 port = passiveListener_.port();
    return "227 Entering Passive Mode (" +
           QString(local).replace(QLatin1Char('.'), QLatin1Char(',')).toLatin1() + ',' +
           QByteArray::number(port / 256) + ',' + QByteArray::number(port % 256) + ").";
}

QByteArray FakeFtpSession::offerExtendedPassive()
{
    if (!passiveListener_.listen(control_.localAddress(), 0, 5))
        failScript("cannot open the passive data listener");
    return "229 Entering Extended Passive Mode (|||" + QByteArray::number(passiveListener_.port()) +
           "|)";
}

void FakeFtpSession::acceptPassive()
{
    const auto deadline = steady_clock::now() + timeout_;
    while (steady_clock::now() < deadline) {
        checkStopping();
        TcpSocket incoming = passiveListener_.accept(slice);
        if (incoming.isOpen()) {
            data_ = std::move(incoming);
            passiveListener_.close();
            return;
        }
        if (passiveListener_.error() != TcpSocket::Error::TimedOut)
            break;
    }
    failScript("the client did not open the passive data connection");
}

void FakeFtpSession::sendData(const QByteArray& bytes)
{
    if (!data_.sendAll(bytes.constData(), bytes.size(), timeout_))
        failScript("cannot send on the data connection");
}

bool FakeFtpSession::trySendData(const QByteArray& bytes)
{
    return data_.sendAll(bytes.constData(), bytes.size(), timeout_);
}

QByteArray FakeFtpSession::receiveData()
{
    const auto deadline = steady_clock::now() + timeout_;
    QByteArray received;
    char block[65536];
    for (;;) {
        checkStopping();
        const qint64 count = data_.receive(block, sizeof block, slice);
        if (count > 0) {
            received.append(block, count);
            continue;
        }
        if (count == 0 || !data_.timedOut())
            return received;
        if (steady_clock::now() > deadline)
            failScript("the client did not close the data connection");
    }
}

void FakeFtpSession::closeData()
{
    data_.close();
}

void FakeFtpSession::resetData()
{
    data_.closeWithReset();
}

void FakeFtpSession::waitUntil(const std::function<bool()>& condition, const char* what)
{
    const auto deadline = steady_clock::now() + timeout_;
    while (!condition()) {
        checkStopping();
        if (steady_clock::now() > deadline)
            failScript(QByteArray("timed out waiting until ") + what);
        std::this_thread::sleep_for(milliseconds(2));
    }
}
