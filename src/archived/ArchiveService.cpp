#include "archived/ArchiveService.h"

#include "archive/ZipPacker.h"
#include "archived/ServiceRequest.h"
#include "archived/ZipExtractor.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {
constexpr std::chrono::milliseconds acceptSlice{100};
constexpr std::chrono::milliseconds sendTimeout{10000};
constexpr qint64 receiveSlice = 4096;

bool sendToken(TcpSocket& socket, const QByteArray& token)
{
    return socket.sendAll(token.constData(), token.size(), sendTimeout);
}
} // namespace

ArchiveService::ArchiveService(ArchivedSettings settings)
    : settings_(std::move(settings)), root_(settings_.root)
{
}

ArchiveService::~ArchiveService()
{
    stopping_ = true;
    for (Client& client : clients_)
        client.thread.join();
}

bool ArchiveService::listen()
{
    return root_.isValid() && listener_.listen(settings_.address, settings_.port, 16);
}

void ArchiveService::run()
{
    while (!stopping_) {
        TcpSocket socket = listener_.accept(acceptSlice);
        reapFinished();
        if (!socket.isOpen())
            continue;
        // Counted here, in the order of connection, so that the latest comers are the busy ones.
        const int running = ++active_;
        Client& client = clients_.emplace_back();
        client.thread = std::thread([this, &client, running, s = std::move(socket)]() mutable {
            serve(std::move(s), running);
            client.done = true;
        });
    }
}

void ArchiveService::reapFinished()
{
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->done) {
            it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

// The client sends its request in one piece and then waits for the answer without closing, so
// the request is complete once it ends with a path and nothing more arrives for a short while.
QByteArray ArchiveService::readRequest(TcpSocket& socket) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + settings_.requestTimeout;
    QByteArray bytes;
    char buffer[receiveSlice];
    while (bytes.size() < settings_.maxRequestBytes && !stopping_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        const bool complete = !ServiceRequest::mayBeIncomplete(bytes);
        const auto wait = std::min(left, complete ? settings_.quietGap : acceptSlice);
        const qint64 room =
            std::min<qint64>(receiveSlice, settings_.maxRequestBytes - bytes.size());
        const qint64 count = socket.receive(buffer, room, wait);
        if (count > 0)
            bytes.append(buffer, static_cast<int>(count));
        else if (count == 0 || !socket.timedOut() || complete)
            break;
    }
    return bytes;
}

void ArchiveService::serve(TcpSocket socket, int running)
{
    const QString peer = socket.peerAddress();
    const QByteArray bytes = readRequest(socket);
    const auto request = ServiceRequest::parse(bytes);
    QByteArray result;
    if (!request)
        result = bytes.isEmpty() ? QByteArray() : QByteArrayLiteral("F");
    else if (running > settings_.maxClients)
        result = QByteArrayLiteral("O");
    else
        result = answer(*request, socket);
    if (!result.isEmpty() && !result.startsWith('C'))
        sendToken(socket, result);
    log(peer, bytes, result.isEmpty() ? QByteArrayLiteral("-") : result);
    --active_; // before the close, which the client may take as leave to come again
    socket.close();
}

// Returns the tokens sent or to be sent: "C" has gone out already when the work starts.
QByteArray ArchiveService::answer(const ServiceRequest& request, TcpSocket& socket)
{
    if (!settings_.users.contains(request.user))
        return QByteArrayLiteral("UE");
    if (request.password != settings_.password)
        return QByteArrayLiteral("PE");
    if (!sendToken(socket, QByteArrayLiteral("C")))
        return QByteArrayLiteral("C");
    const bool done = request.mode == ServiceRequest::Mode::Compress
                          ? compress(request.paths)
                          : extract(request.paths.first());
    const QByteArray last = done ? QByteArrayLiteral("S") : QByteArrayLiteral("F");
    sendToken(socket, last);
    return QByteArrayLiteral("C") + last;
}

// The archive is named after the first item and written beside it; every item must live in
// that same folder, since entries are named relative to it.
bool ArchiveService::compress(const QStringList& paths)
{
    QStringList names;
    QString folder;
    for (const QString& path : paths) {
        const auto local = root_.existing(path);
        if (!local)
            return false;
        const QFileInfo item(*local);
        if (folder.isEmpty())
            folder = item.absolutePath();
        if (item.absolutePath() != folder)
            return false;
        names.append(item.fileName());
    }
    const QString archive = folder + QLatin1Char('/') + names.first() + QStringLiteral(".zip");
    if (!root_.mayWrite(archive))
        return false;
    ZipPacker packer(folder, ZipPacker::Links::Skip);
    return packer.pack(names, archive) == ZipPacker::Result::Packed;
}

bool ArchiveService::extract(const QString& path)
{
    const auto local = root_.existing(path);
    if (!local || !QFileInfo(*local).isFile())
        return false;
    return ZipExtractor(root_).extract(*local);
}

void ArchiveService::log(const QString& peer, const QByteArray& bytes, const QByteArray& result)
{
    const auto request = ServiceRequest::parse(bytes);
    QString what = QStringLiteral("malformed request (%1 bytes)").arg(bytes.size());
    if (request) {
        const QChar mode = request->mode == ServiceRequest::Mode::Compress ? u'A' : u'X';
        what = QStringLiteral("user=%1 %2 %3 (%4 paths)")
                   .arg(request->user, mode, request->paths.first())
                   .arg(request->paths.size());
    }
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') +
                         peer + QLatin1Char(' ') + what + QStringLiteral(" -> ") +
                         QString::fromLatin1(result) + QLatin1Char('\n');
    std::lock_guard<std::mutex> hold(logLock_);
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}
