#include "archive/ArchiveServiceThread.h"

#include "archive/ServiceFailure.h"

#include <algorithm>

namespace {
constexpr std::chrono::milliseconds receiveSlice{100};
constexpr std::chrono::milliseconds sendTimeout{10000};
// The service sends the reason of an "F" right after it, then closes.
constexpr std::chrono::milliseconds reasonTimeout{3000};
constexpr qsizetype longestReason = 64;

QString progressLine(bool compress, const QString& name)
{
    return (compress ? QStringLiteral("正在压缩") : QStringLiteral("正在解压")) + name +
           QStringLiteral("中\r\n");
}

QString successLine(bool compress, const QString& name)
{
    return (compress ? QStringLiteral("压缩") : QStringLiteral("解压")) + name +
           QStringLiteral("成功\r\n");
}
} // namespace

ArchiveServiceThread::ArchiveServiceThread(Job job, Log log, Refresh refresh)
    : ArchiveServiceThread(std::move(job), std::move(log), std::move(refresh), Limits{})
{
}

ArchiveServiceThread::ArchiveServiceThread(Job job, Log log, Refresh refresh, Limits limits)
    : job_(std::move(job)), log_(std::move(log)), refresh_(std::move(refresh)), limits_(limits)
{
}

ArchiveServiceThread::~ArchiveServiceThread()
{
    stop();
    wait();
}

void ArchiveServiceThread::start()
{
    thread_ = std::thread([this] {
        run();
        finished_ = true;
    });
}

void ArchiveServiceThread::wait()
{
    if (thread_.joinable())
        thread_.join();
}

void ArchiveServiceThread::run()
{
    const bool compress = job_.requestText.startsWith(QLatin1Char('A'));
    if (!socket_.connect(job_.host, job_.port, limits_.connect)) {
        log_(QStringLiteral("无法创建连接\r\n"));
        return;
    }
    const QByteArray message = ArchiveRequest::message(job_.user, job_.requestText);
    if (!socket_.sendAll(message.constData(), message.size(), sendTimeout)) {
        socket_.close();
        return;
    }
    const QString name = ArchiveRequest::displayName(job_.requestText);
    QByteArray token = nextToken(limits_.firstReply);
    if (token == "C") {
        log_(progressLine(compress, name));
        refresh_();
        token = nextToken(limits_.finalReply);
    }
    act(token, name, compress);
    socket_.close();
}

void ArchiveServiceThread::act(const QByteArray& token, const QString& name, bool compress)
{
    if (token == "S") {
        log_(successLine(compress, name));
        refresh_();
    } else if (token == "UE") {
        log_(QStringLiteral("userName err!\r\n"));
    } else if (token == "PE") {
        log_(QStringLiteral("Password err!\r\n"));
    } else if (token == "F") {
        log_(QStringLiteral("false!\r\n"));
        log_(servicefailure::chineseText(servicefailure::fromTrailer(remainder())) +
             QStringLiteral("\r\n"));
    } else if (token == "O") {
        log_(QStringLiteral("系统繁忙中，请稍后重试\r\n"));
    }
}

// 0 while the pending bytes may still grow into a token ("U" before "E").
int ArchiveServiceThread::tokenLength(const QByteArray& pending)
{
    if (pending.startsWith("UE") || pending.startsWith("PE"))
        return 2;
    if (pending == "U" || pending == "P")
        return 0;
    if (QByteArrayLiteral("CSFO").contains(pending.front()))
        return 1;
    return pending.size(); // not a token: taken whole, and nothing matches it
}

QByteArray ArchiveServiceThread::nextToken(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[64];
    for (;;) {
        const int length = pending_.isEmpty() ? 0 : tokenLength(pending_);
        if (length > 0) {
            const QByteArray token = pending_.left(length);
            pending_.remove(0, length);
            return token;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (stopping_ || left.count() <= 0)
            return QByteArray();
        const qint64 count = socket_.receive(buffer, sizeof buffer, std::min(left, receiveSlice));
        if (count == 0 || (count < 0 && !socket_.timedOut()))
            return pending_; // closed: a lone "U" or "P" is no token
        if (count > 0)
            pending_.append(buffer, static_cast<int>(count));
    }
}

// What follows the last token, up to its CR, the connection's end or the reason's time-out.
QByteArray ArchiveServiceThread::remainder()
{
    const auto deadline = std::chrono::steady_clock::now() + reasonTimeout;
    char buffer[longestReason];
    while (!pending_.contains('\r') && pending_.size() < longestReason && !stopping_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        const qint64 count = socket_.receive(buffer, sizeof buffer, std::min(left, receiveSlice));
        if (count == 0 || (count < 0 && !socket_.timedOut()))
            break;
        if (count > 0)
            pending_.append(buffer, static_cast<int>(count));
    }
    return pending_;
}
