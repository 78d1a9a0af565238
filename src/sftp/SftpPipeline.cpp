#include "sftp/SftpPipeline.h"

#include "platform/TokenBucket.h"

#include <QFile>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <algorithm>

using namespace std::chrono;

namespace {

constexpr int pollSlice = 100;          // ms between looks at the abort flag
constexpr milliseconds settleTime{800}; // to collect replies still out after a stop
constexpr qsizetype receiveBlock = 256 * 1024;

QString statusText(const sftpwire::Reply& reply)
{
    const QString message = QString::fromUtf8(reply.text).trimmed();
    return message.isEmpty() ? QStringLiteral("服务器拒绝了请求 (状态 %1)").arg(reply.status)
                             : QStringLiteral("服务器拒绝了请求: %1").arg(message);
}

} // namespace

SftpPipeline::SftpPipeline(sftp_session_struct* sftp, QByteArray handle, Settings settings,
                           const std::atomic<int>& abortRequested, std::atomic<quint64>& bytesDone)
    : sftp_(sftp), handle_(std::move(handle)), settings_(settings), abortRequested_(abortRequested),
      bytesDone_(bytesDone)
{
}

// Ids come from the session's own counter, so that later requests of libssh never reuse one.
quint32 SftpPipeline::nextId()
{
    return ++sftp_->id_counter;
}

bool SftpPipeline::fail(const QString& text, bool network)
{
    if (!failed_) {
        errorText_ = text;
        networkFailure_ = network;
        failed_ = true;
    }
    return false;
}

bool SftpPipeline::send(const char* data, qsizetype size)
{
    while (size > 0) {
        const int sent = ssh_channel_write(sftp_->channel, data, quint32(size));
        if (sent <= 0)
            return fail(QStringLiteral("网络错误: %1")
                            .arg(QString::fromUtf8(ssh_get_error(sftp_->session))),
                        true);
        data += sent;
        size -= sent;
    }
    return true;
}

bool SftpPipeline::receiveMore()
{
    if (position_ > 0 && position_ >= buffer_.size() / 2) {
        buffer_.remove(0, position_);
        position_ = 0;
    }
    const qsizetype old = buffer_.size();
    buffer_.resize(old + receiveBlock);
    const int count = ssh_channel_read_timeout(sftp_->channel, buffer_.data() + old,
                                               quint32(receiveBlock), 0, pollSlice);
    buffer_.resize(old + std::max(count, 0));
    if (count > 0)
        return true;
    if (count < 0 || ssh_channel_is_eof(sftp_->channel) || !ssh_channel_is_open(sftp_->channel))
        return fail(QStringLiteral("网络错误: 连接已断开"), true);
    return true;
}

SftpPipeline::Wait SftpPipeline::awaitReply(sftpwire::Reply& reply, bool abortable)
{
    auto deadline = steady_clock::now() + settings_.timeout;
    for (;;) {
        bool malformed = false;
        if (auto taken = sftpwire::takeReply(buffer_, position_, malformed)) {
            reply = *taken;
            return Wait::Reply;
        }
        if (malformed) {
            fail(QStringLiteral("服务器的回复格式错误"), true);
            return Wait::Failed;
        }
        if (abortable && abortRequested_)
            return Wait::Aborted;
        if (steady_clock::now() >= deadline) {
            fail(QStringLiteral("网络错误: 服务器无响应"), true);
            return Wait::Failed;
        }
        const qsizetype before = buffer_.size() - position_;
        if (!receiveMore())
            return Wait::Failed;
        if (buffer_.size() - position_ > before)
            deadline = steady_clock::now() + settings_.timeout;
    }
}

std::deque<SftpPipeline::Request>::iterator SftpPipeline::findRequest(quint32 id)
{
    return std::find_if(pending_.begin(), pending_.end(),
                        [id](const Request& request) { return request.id == id; });
}

// Collects the replies to the requests still out; the channel can carry further requests only
// once none is left.
SftpPipeline::Result SftpPipeline::stop(Result result)
{
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [](const Request& request) { return request.arrived; }),
                   pending_.end());
    const auto saved = settings_.timeout;
    settings_.timeout = std::min(saved, settleTime);
    const auto deadline = steady_clock::now() + settleTime;
    while (!pending_.empty() && steady_clock::now() < deadline) {
        sftpwire::Reply reply;
        if (awaitReply(reply, false) != Wait::Reply)
            break;
        const auto request = findRequest(reply.id);
        if (request != pending_.end())
            pending_.erase(request);
    }
    settings_.timeout = saved;
    return result;
}

// The next request's size: a chunk, or what the speed limit lets through now; 0 once the
// transfer is to stop.
quint32 SftpPipeline::allowance(quint64 left)
{
    const qint64 wanted = qint64(std::min<quint64>(settings_.chunk, left));
    if (!settings_.limit)
        return quint32(wanted);
    return quint32(settings_.limit->take(wanted, [this] { return abortRequested_ != 0; }));
}

bool SftpPipeline::requestRead(quint64 offset, quint32 length, bool atFront)
{
    Request request;
    request.id = nextId();
    request.offset = offset;
    request.length = length;
    const QByteArray packet = sftpwire::readRequest(request.id, handle_, offset, length);
    if (!send(packet.constData(), packet.size()))
        return false;
    if (atFront)
        pending_.push_front(std::move(request));
    else
        pending_.push_back(std::move(request));
    return true;
}

bool SftpPipeline::takeDownloadReply(const sftpwire::Reply& reply)
{
    const auto request = findRequest(reply.id);
    if (request == pending_.end())
        return fail(QStringLiteral("服务器回复了未发出的请求"), true);
    request->arrived = true;
    if (reply.type == sftpwire::Data && quint64(reply.text.size()) <= request->length) {
        request->data = reply.text;
    } else if (reply.type == sftpwire::Status && reply.status == sftpwire::EndOfFile) {
        request->data.clear();
    } else if (reply.type == sftpwire::Status) {
        return fail(statusText(reply), false);
    } else {
        return fail(QStringLiteral("服务器的回复格式错误"), true);
    }
    return true;
}

// Writes the replies that continue the file without a gap. A short reply asks again for the
// rest of its range before anything later is written; an empty one means the file ended early.
bool SftpPipeline::writeArrived(QFile& local, quint64& position)
{
    while (!pending_.empty() && pending_.front().arrived) {
        Request done = std::move(pending_.front());
        pending_.pop_front();
        if (done.data.isEmpty())
            return fail(QStringLiteral("远程文件在传输中变短了"), false);
        if (local.write(done.data) != done.data.size())
            return fail(QStringLiteral("文件错误: 无法写入 %1").arg(local.fileName()), false);
        position += quint64(done.data.size());
        bytesDone_ = position;
        const quint32 got = quint32(done.data.size());
        if (got < done.length && !requestRead(done.offset + got, done.length - got, true))
            return false;
    }
    return true;
}

SftpPipeline::Result SftpPipeline::download(QFile& local, quint64 start, quint64 end)
{
    quint64 next = start;
    quint64 position = start;
    bytesDone_ = start;
    for (;;) {
        while (!abortRequested_ && int(pending_.size()) < settings_.inFlight && next < end) {
            const quint32 length = allowance(end - next);
            if (length == 0)
                break;
            if (!requestRead(next, length, false))
                return stop(Result::Failed);
            next += length;
        }
        if (pending_.empty())
            return position == end ? Result::Done : Result::Aborted;
        sftpwire::Reply reply;
        const Wait wait = awaitReply(reply, true);
        if (wait == Wait::Aborted)
            return stop(Result::Aborted);
        if (wait == Wait::Failed || !takeDownloadReply(reply) || !writeArrived(local, position))
            return stop(Result::Failed);
    }
}

bool SftpPipeline::sendNextWrite(QFile& local, quint64& next, quint64 end)
{
    const quint32 length = allowance(end - next);
    if (length == 0)
        return true;
    const QByteArray data = local.read(length);
    if (data.size() != qsizetype(length))
        return fail(QStringLiteral("文件错误: 无法读取 %1").arg(local.fileName()), false);
    Request request;
    request.id = nextId();
    request.offset = next;
    request.length = length;
    const QByteArray header = sftpwire::writeHeader(request.id, handle_, next, length);
    if (!send(header.constData(), header.size()) || !send(data.constData(), data.size()))
        return false;
    pending_.push_back(std::move(request));
    next += length;
    return true;
}

bool SftpPipeline::takeUploadReply(const sftpwire::Reply& reply, quint64& acknowledged)
{
    const auto request = findRequest(reply.id);
    if (request == pending_.end())
        return fail(QStringLiteral("服务器回复了未发出的请求"), true);
    const quint64 offset = request->offset;
    const quint32 length = request->length;
    pending_.erase(request);
    if (reply.type != sftpwire::Status) {
        firstRefused_ = std::min(firstRefused_, offset);
        return fail(QStringLiteral("服务器的回复格式错误"), true);
    }
    if (reply.status != sftpwire::Ok) {
        firstRefused_ = std::min(firstRefused_, offset);
        return fail(statusText(reply), false);
    }
    acknowledged += length;
    bytesDone_ = acknowledged;
    return true;
}

SftpPipeline::Result SftpPipeline::upload(QFile& local, quint64 start, quint64 end)
{
    quint64 next = start;
    quint64 acknowledged = start;
    bytesDone_ = start;
    for (;;) {
        while (!abortRequested_ && int(pending_.size()) < settings_.inFlight && next < end) {
            if (!sendNextWrite(local, next, end))
                return stop(Result::Failed);
        }
        if (pending_.empty())
            return acknowledged == end ? Result::Done : Result::Aborted;
        sftpwire::Reply reply;
        const Wait wait = awaitReply(reply, true);
        if (wait == Wait::Aborted)
            return stop(Result::Aborted);
        if (wait == Wait::Failed || !takeUploadReply(reply, acknowledged))
            return stop(Result::Failed);
    }
}
