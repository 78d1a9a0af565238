#include "ftp/TransferRoutine.h"

#include "ftp/ControlChannel.h"
#include "ftp/DataChannel.h"
#include "ftp/DataConnectionOpener.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"
#include "platform/Prompt.h"

#include <QFile>

#include <utility>

namespace {

using enginetext::errorText;
using enginetext::ErrorText;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long an interrupted transfer waits for the server's answer to it.
constexpr milliseconds interruptedReplyWait{500};

std::optional<quint64> parseSize(const QString& text)
{
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

} // namespace

TransferRoutine::TransferRoutine(FtpClient& client, ControlChannel& control,
                                 DataConnectionOpener& opener, Prompt* prompt)
    : client_(client), control_(control), opener_(opener), prompt_(prompt),
      loop_(client, control, opener)
{
}

bool TransferRoutine::transfer(const QString& remote, const QString& local, bool passive,
                               bool download)
{
    const std::optional<quint64> known = std::exchange(knownSize_, std::nullopt);
    return opener_.runAttempts(passive, [&](bool passiveAttempt) {
        remoteSize_ = known;
        return transferOnce(remote, local, passiveAttempt, download);
    });
}

bool TransferRoutine::transferOnce(const QString& remote, const QString& local, bool passive,
                                   bool download)
{
    control_.discardStaleReplies();
    digestHex_.clear();
    loop_.setDigest(nullptr);
    digest_.reset();
    // Binary mode first: several servers answer SIZE only in binary mode, and without the size
    // neither a resume nor a completeness check is possible.
    if (!control_.enterBinaryMode() || (!remoteSize_ && !askSize(remote, remoteSize_)))
        return false;
    client_.remoteSizeText = QString::number(remoteSize_.value_or(0));
    if (!measure(local, download))
        return false;
    DataChannel channel;
    const ControlChannel::DataWatch watch(control_, channel);
    if (!opener_.open(passive, channel))
        return false;
    return download ? downloadInto(remote, local, channel) : uploadFrom(remote, local, channel);
}

bool TransferRoutine::measure(const QString& local, bool download)
{
    if (download) {
        client_.totalBytes = remoteSize_.value_or(0);
        return true;
    }
    QFile source(local);
    if (!source.open(QIODevice::ReadOnly)) {
        tellCannotAccess(local);
        return false;
    }
    client_.totalBytes = static_cast<quint64>(source.size());
    return true;
}

// SIZE inside a transfer, where no foreign reply is pending: its first reply is its answer,
// and any refusal (550, or 502 from a server without the command) means no size. False only
// when the connection failed.
bool TransferRoutine::askSize(const QString& name, std::optional<quint64>& size)
{
    if (!control_.exchange(QStringLiteral("SIZE ") + name))
        return false;
    const QString& reply = client_.replyLine;
    size =
        reply.startsWith(QLatin1String("213")) ? parseSize(reply.mid(3).trimmed()) : std::nullopt;
    return true;
}

void TransferRoutine::tellCannotAccess(const QString& local)
{
    client_.replyLine = errorText(ErrorText::CannotOpenLocalFile);
    if (prompt_)
        prompt_->tell(QStringLiteral("无法访问文件") + local);
}

bool TransferRoutine::downloadInto(const QString& remote, const QString& local,
                                   DataChannel& channel)
{
    QFile file(local);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        tellCannotAccess(local);
        return false;
    }
    const auto start = static_cast<quint64>(file.size());
    client_.bytesDone = start;
    // A local part longer than the server's file is not a part of it.
    if (remoteSize_ && start > *remoteSize_)
        return control_.fail(errorText(ErrorText::File));
    if (!requestDownload(remote, start))
        return false;
    beginDigest(local, start);
    const TransferPhase phase = runDataPhase(
        file, channel, [&] { return loop_.receive(file, channel, start, remoteSize_); });
    if (phase != TransferPhase::Done)
        return phase == TransferPhase::Aborted;
    // A server that dies mid-file may still close the data connection in order; the size it
    // reported tells.
    if (remoteSize_ && client_.bytesDone != *remoteSize_)
        return control_.failNetwork(errorText(ErrorText::Network));
    finishComplete();
    return true;
}

// The restart request and the retrieval go out together; the first reply is the answer to
// REST. Without the restart the server sends the whole file, which would land after the part
// already here.
bool TransferRoutine::requestDownload(const QString& remote, quint64 start)
{
    if (!control_.sendCommand(QStringLiteral("REST ") + QString::number(start)) ||
        !control_.sendCommand(QStringLiteral("RETR ") + remote) || !control_.readReply())
        return false;
    return start == 0 || client_.replyClass == 3;
}

// Uploads always append: the server's size says where to continue.
bool TransferRoutine::uploadFrom(const QString& remote, const QString& local, DataChannel& channel)
{
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly))
        return control_.fail(errorText(ErrorText::CannotOpenLocalFile));
    const auto length = static_cast<quint64>(file.size());
    const quint64 start = remoteSize_.value_or(0);
    client_.bytesDone = start;
    // The server's file is longer than ours, so it is not a part of it.
    if (start > length || !file.seek(static_cast<qint64>(start)))
        return control_.fail(errorText(ErrorText::File));
    if (!control_.sendCommand(QStringLiteral("APPE ") + remote))
        return false;
    beginDigest(local, start);
    // A passive connection is already open: the data follows the command at once instead of
    // after the server's mark, which spares a round trip per file. A refusal still ends the
    // transfer, read while the data waits or after it.
    const bool sendAtOnce = channel.passive && !control_.dataProtected();
    const TransferPhase phase = runDataPhase(
        file, channel, [&] { return loop_.send(file, channel, start, length); }, sendAtOnce);
    if (phase != TransferPhase::Done)
        return phase == TransferPhase::Aborted;
    if (!uploadIsWhole(remote, length))
        return false;
    finishComplete();
    return true;
}

// From the server's connection to its closing reply, with the bytes moved in between. An
// interrupted transfer is settled here.
TransferPhase TransferRoutine::runDataPhase(QFile& file, DataChannel& channel,
                                            const std::function<TransferPhase()>& moveBytes,
                                            bool connected)
{
    TransferPhase phase = connected ? TransferPhase::Done : opener_.awaitConnection(channel);
    if (phase == TransferPhase::Done)
        phase = opener_.secure(channel);
    if (phase == TransferPhase::Done)
        phase = moveBytes();
    file.close();
    phase = closeDataPhase(phase, channel);
    if (phase == TransferPhase::Aborted)
        endInterrupted(channel);
    return phase;
}

// The end of the data connection is the end of an upload, so it is closed before the
// closing reply is awaited.
TransferPhase TransferRoutine::closeDataPhase(TransferPhase phase, DataChannel& channel)
{
    if (phase == TransferPhase::Done)
        opener_.endTls(channel);
    channel.close();
    return phase == TransferPhase::Done ? awaitClosingReply(channel) : phase;
}

TransferPhase TransferRoutine::awaitClosingReply(DataChannel& channel)
{
    const auto deadline = steady_clock::now() + control_.timeout();
    for (int read = 0; !channel.closingSeen; ++read) {
        const ControlChannel::Wakeup wakeup = control_.waitForControl(deadline, true);
        if (wakeup == ControlChannel::Wakeup::Aborted)
            return TransferPhase::Aborted;
        if (wakeup == ControlChannel::Wakeup::TimedOut ||
            read > ControlChannel::maxPreliminaryReplies) {
            control_.failConnection(QStringLiteral("服务器没有发来传输结束的应答"));
            return TransferPhase::Failed;
        }
        if (!opener_.takeTransferReply(channel))
            return TransferPhase::Failed;
    }
    client_.replyLine = channel.closingReply;
    return TransferPhase::Done;
}

// The server still answers an interrupted transfer (426, or 226 for an upload). Collecting
// that answer keeps it from being taken for the reply to the next command; the wait is short
// so that the interruption stays prompt.
void TransferRoutine::endInterrupted(DataChannel& channel)
{
    channel.close();
    const auto deadline = steady_clock::now() + interruptedReplyWait;
    for (int read = 0; !channel.closingSeen && read <= ControlChannel::maxPreliminaryReplies;
         ++read) {
        if (control_.waitForControl(deadline, false) != ControlChannel::Wakeup::Control ||
            !control_.readReply() || client_.replyClass != 1)
            break;
    }
    finish();
}

// Some servers answer 226 to an upload whose data connection was cut and keep what arrived:
// the size the server reports afterwards is the proof. A server that answers no size is
// taken at its word.
bool TransferRoutine::uploadIsWhole(const QString& remote, quint64 length)
{
    const QString closing = client_.replyLine;
    const int closingClass = client_.replyClass;
    std::optional<quint64> size;
    if (!askSize(remote, size))
        return false;
    if (size && *size != length)
        return control_.failNetwork(errorText(ErrorText::Network));
    client_.replyLine = closing;
    client_.replyClass = closingClass;
    return true;
}

// The part already in place is read once before the rest passes by the loop; a part that
// cannot be read leaves the transfer without a digest.
void TransferRoutine::beginDigest(const QString& local, quint64 start)
{
    if (digestAlgorithm_)
        digest_.emplace(*digestAlgorithm_);
    if (digest_ && !digest_->addFile(local, static_cast<qint64>(start)))
        digest_.reset();
    loop_.setDigest(digest_ ? &*digest_ : nullptr);
}

void TransferRoutine::finishComplete()
{
    if (digest_)
        digestHex_ = digest_->hex();
    finish();
}

void TransferRoutine::finish()
{
    loop_.setDigest(nullptr);
    client_.transferDone = 1;
    client_.transferActive = 0;
}
