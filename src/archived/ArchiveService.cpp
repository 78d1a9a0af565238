#include "archived/ArchiveService.h"

#include "archived/ConfinedPacker.h"
#include "archived/LogText.h"
#include "archived/ServiceRequest.h"
#include "archived/ZipExtractor.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {
constexpr std::chrono::milliseconds acceptSlice{100};
constexpr std::chrono::milliseconds sendTimeout{10000};
constexpr std::chrono::milliseconds refusalTimeout{100};
// Between "F" and its reason, so that a client reading one bare token per receive sees "F" alone.
constexpr std::chrono::milliseconds reasonPause{100};
constexpr qint64 receiveSlice = 4096;

bool sendToken(TcpSocket& socket, const QByteArray& token,
               std::chrono::milliseconds timeout = sendTimeout)
{
    return socket.sendAll(token.constData(), token.size(), timeout);
}
} // namespace

ArchiveService::ArchiveService(ArchivedSettings settings)
    : settings_(std::move(settings)), root_(settings_.root), budget_(settings_.diskMarginPercent)
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
    return root_.isValid() && listener_.listen(settings_.address, settings_.port, 128);
}

void ArchiveService::run()
{
    while (!stopping_) {
        TcpSocket socket = listener_.accept(acceptSlice);
        reapFinished();
        if (!socket.isOpen())
            continue;
        const QString peer = socket.peerAddress();
        if (!admits(peer)) {
            sendToken(socket, QByteArrayLiteral("O"), refusalTimeout);
            log(LogText::escaped(peer) + QStringLiteral(" too many connections -> O"));
            continue;
        }
        Client& client = clients_.emplace_back();
        client.peer = peer;
        client.thread = std::thread([this, &client, s = std::move(socket)]() mutable {
            serve(std::move(s));
            client.done = true;
        });
    }
}

bool ArchiveService::admits(const QString& peer) const
{
    const auto fromPeer = std::count_if(clients_.begin(), clients_.end(),
                                        [&peer](const Client& c) { return c.peer == peer; });
    return clients_.size() < static_cast<size_t>(settings_.maxConnections) &&
           fromPeer < settings_.maxPerPeer;
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

void ArchiveService::serve(TcpSocket socket)
{
    const QString peer = socket.peerAddress();
    const QByteArray bytes = readRequest(socket);
    const auto request = ServiceRequest::parse(bytes);
    Outcome outcome;
    if (!request) {
        outcome.tokens = bytes.isEmpty() ? QByteArray() : QByteArrayLiteral("F");
    } else if (working_++ >= settings_.maxClients) {
        outcome.tokens = QByteArrayLiteral("O");
    } else {
        outcome = answer(*request, socket);
    }
    if (request)
        --working_;
    if (!outcome.tokens.isEmpty() && !outcome.tokens.startsWith('C'))
        sendToken(socket, outcome.tokens);
    logRequest(peer, bytes, outcome);
    socket.close();
}

// "C" has gone out already when the work starts; "S" or "F" and its reason are sent here.
ArchiveService::Outcome ArchiveService::answer(const ServiceRequest& request, TcpSocket& socket)
{
    if (!settings_.users.contains(request.user))
        return {QByteArrayLiteral("UE")};
    if (request.password != settings_.password)
        return {QByteArrayLiteral("PE")};
    if (!sendToken(socket, QByteArrayLiteral("C")))
        return {QByteArrayLiteral("C")};
    Outcome outcome;
    outcome.failure = request.mode == ServiceRequest::Mode::Compress
                          ? compress(request.paths)
                          : extract(request.paths.first());
    const bool done = outcome.failure == ServiceFailure::None;
    outcome.tokens = done ? QByteArrayLiteral("CS") : QByteArrayLiteral("CF");
    if (sendToken(socket, outcome.tokens.mid(1)) && !done) {
        std::this_thread::sleep_for(reasonPause);
        sendToken(socket, servicefailure::trailer(outcome.failure));
    }
    return outcome;
}

// Every item must live in the folder of the first: entries are named relative to it.
ServiceFailure ArchiveService::compress(const QStringList& paths)
{
    std::optional<ConfinedRoot::Place> first;
    struct stat firstFolder {};
    QList<QByteArray> names;
    for (const QString& path : paths) {
        std::optional<ConfinedRoot::Place> place = root_.locate(path);
        struct stat folder {};
        if (!place || !place->parent.status(folder))
            return ServiceFailure::NotFound;
        names.append(place->name);
        if (!first) {
            firstFolder = folder;
            first = std::move(place);
        } else if (folder.st_dev != firstFolder.st_dev || folder.st_ino != firstFolder.st_ino) {
            return ServiceFailure::Folders;
        }
    }
    return ConfinedPacker(budget_).pack(first->parent, names);
}

ServiceFailure ArchiveService::extract(const QString& path)
{
    const std::optional<ConfinedRoot::Place> place = root_.locate(path);
    if (!place)
        return ServiceFailure::NotFound;
    return ZipExtractor(budget_).extract(place->parent, place->name);
}

void ArchiveService::logRequest(const QString& peer, const QByteArray& bytes,
                                const Outcome& outcome)
{
    const auto request = ServiceRequest::parse(bytes);
    QString what = QStringLiteral("malformed request (%1 bytes)").arg(bytes.size());
    if (request) {
        const QChar mode = request->mode == ServiceRequest::Mode::Compress ? u'A' : u'X';
        what = QStringLiteral("user=%1 %2 %3 (%4 paths)")
                   .arg(LogText::escaped(request->user), mode,
                        LogText::escaped(request->paths.first()))
                   .arg(request->paths.size());
    }
    QString result =
        outcome.tokens.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(outcome.tokens);
    if (outcome.failure != ServiceFailure::None)
        result += QLatin1Char(' ') + QString::fromLatin1(servicefailure::code(outcome.failure));
    log(LogText::escaped(peer) + QLatin1Char(' ') + what + QStringLiteral(" -> ") + result);
}

void ArchiveService::log(const QString& line)
{
    const QString stamped =
        QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + line;
    std::lock_guard<std::mutex> hold(logLock_);
    if (settings_.log) {
        settings_.log(stamped);
        return;
    }
    std::fputs((stamped + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}
