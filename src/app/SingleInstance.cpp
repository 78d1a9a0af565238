#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

namespace {

const QByteArray acknowledgement = QByteArrayLiteral("ok\n");
// A client that connects and then says nothing must not hold a socket for ever.
constexpr int ClientTimeoutMs = 5000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/kevra.socket");
}

bool SingleInstance::handOver(const QString& request, std::chrono::milliseconds timeout) const
{
    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write(request.toUtf8() + '\n');
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
        socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    while (!socket.canReadLine() && !deadline.hasExpired() &&
           socket.state() == QLocalSocket::ConnectedState)
        socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    return socket.canReadLine() && socket.readLine() == acknowledgement;
}

bool SingleInstance::listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    if (server_->listen(socketPath_))
        return true;
    // Nobody answered on the socket (handOver failed first), so a file left there belongs to
    // an instance that ended without removing it.
    QLocalServer::removeServer(socketPath_);
    return server_->listen(socketPath_);
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        QTimer::singleShot(ClientTimeoutMs, socket, [socket] { socket->abort(); });
    }
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestBytes)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestBytes + 1);
    if (!line.endsWith('\n')) {
        socket->abort();
        return;
    }
    socket->write(acknowledgement);
    socket->disconnectFromServer();
    Q_EMIT requestReceived(QString::fromUtf8(line.chopped(1)));
}
