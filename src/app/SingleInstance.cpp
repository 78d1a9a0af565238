#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <utility>

namespace {

const QByteArray acknowledgement = QByteArrayLiteral("ok\n");
// A client that connects and then says nothing must not hold a socket for ever.
constexpr int ClientTimeoutMs = 5000;
// Between the running instance taking the lock and listening on the socket.
constexpr unsigned long ListenPollMs = 100;

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

SingleInstance::Start SingleInstance::start(const QString& request,
                                            std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    for (;;) {
        if (takeLock()) {
            listen();
            return Start::Running;
        }
        if (const std::optional<bool> taken = tryHandOver(request, deadline))
            return *taken ? Start::HandedOver : Start::Unanswered;
        if (deadline.hasExpired())
            return Start::Unanswered;
        QThread::msleep(ListenPollMs);
    }
}

bool SingleInstance::handOver(const QString& request, std::chrono::milliseconds timeout) const
{
    return tryHandOver(request, QDeadlineTimer(timeout)).value_or(false);
}

std::optional<bool> SingleInstance::tryHandOver(const QString& request,
                                                const QDeadlineTimer& deadline) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return std::nullopt;
    // Sent once only: a stopped instance reads it when it resumes.
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
    if (!takeLock())
        return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // No process holds the lock, so a socket file left there belongs to an instance that ended.
    QLocalServer::removeServer(socketPath_);
    return server_->listen(socketPath_);
}

bool SingleInstance::takeLock()
{
    if (!lock_.isOpen()) {
        const QByteArray path = QFile::encodeName(socketPath_ + QStringLiteral(".lock"));
        lock_.reset(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    }
    // Without a lock file there is no socket either: run alone rather than not at all.
    return !lock_.isOpen() || ::flock(lock_.get(), LOCK_EX | LOCK_NB) == 0;
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
