#include "ftp/TransferLoop.h"

#include "ftp/ControlChannel.h"
#include "ftp/DataChannel.h"
#include "ftp/DataConnectionOpener.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"
#include "ftp/SpeedLimits.h"
#include "platform/StreamHash.h"

#include <QFile>

#include <algorithm>
#include <memory>

namespace {

using enginetext::errorText;
using enginetext::ErrorText;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// File data moves through one block of this size, the only file data held in memory. Blocks of
// 4000 bytes cost a system call pair per 4000 bytes and reached about 0.6 of lftp's speed on a
// loopback download (bench/run.sh); 256 KiB blocks matched or passed it in both directions.
constexpr qint64 transferBlockSize = 256 * 1024;

// Bytes already waiting once the announced size has arrived: the server's file is not the
// size it reported.
bool sendsBeyondSize(ByteStream& stream)
{
    char extra = 0;
    return stream.receive(&extra, 1, milliseconds(0)) > 0;
}

} // namespace

TransferLoop::TransferLoop(FtpClient& client, ControlChannel& control, DataConnectionOpener& opener)
    : client_(client), control_(control), opener_(opener)
{
}

TokenBucket* TransferLoop::bucket(bool download) const
{
    return limits_ ? &limits_->forDirection(download) : nullptr;
}

qint64 TransferLoop::allowance(TokenBucket* bucket, qint64 wanted)
{
    if (!bucket)
        return wanted;
    return bucket->take(wanted, [this] { return client_.abortRequested != 0; });
}

milliseconds TransferLoop::slice() const
{
    return std::min(ControlChannel::abortPollInterval, control_.timeout());
}

TransferPhase TransferLoop::receive(QFile& file, DataChannel& channel, quint64 start,
                                    std::optional<quint64> size)
{
    const TransferPhase phase = receiveBlocks(file, channel, start, size);
    if (phase == TransferPhase::Failed)
        return phase;
    if (!file.flush())
        return failFile();
    if (phase == TransferPhase::Done && size && sendsBeyondSize(channel.stream())) {
        control_.fail(QStringLiteral("服务器发来的数据多于它报告的文件大小"));
        return TransferPhase::Failed;
    }
    return phase;
}

TransferPhase TransferLoop::receiveBlocks(QFile& file, DataChannel& channel, quint64 start,
                                          std::optional<quint64> size)
{
    ByteStream& stream = channel.stream();
    const auto block = std::make_unique<char[]>(transferBlockSize);
    TokenBucket* const limit = bucket(true);
    quint64 position = start;
    auto lastData = steady_clock::now();
    while (!(size && position == *size)) {
        if (client_.abortRequested)
            return TransferPhase::Aborted;
        // Never more than the server announced: the part cannot grow past the file. The wait
        // for the limit is not the server's silence.
        const auto waitStart = steady_clock::now();
        const qint64 wanted =
            allowance(limit, size ? std::min<qint64>(transferBlockSize, qint64(*size - position))
                                  : transferBlockSize);
        if (wanted == 0)
            return TransferPhase::Aborted;
        lastData += steady_clock::now() - waitStart;
        const qint64 count = stream.receive(block.get(), wanted, slice());
        if (limit)
            limit->giveBack(wanted - std::max<qint64>(count, 0));
        if (count == 0)
            return size ? control_.failDataTransfer(errorText(ErrorText::Network))
                        : TransferPhase::Done;
        if (count < 0) {
            if (!stream.timedOut() || steady_clock::now() - lastData >= control_.timeout())
                return failDataIo(stream);
            if (!watchControlWhileIdle(channel))
                return TransferPhase::Failed;
            continue;
        }
        lastData = steady_clock::now();
        if (!storeBlock(file, block.get(), count, position))
            return failFile();
    }
    return TransferPhase::Done;
}

// Every block that arrives passes here on its way into the file.
bool TransferLoop::storeBlock(QFile& file, const char* data, qint64 size, quint64& position)
{
    if (file.write(data, size) != size)
        return false;
    if (digest_)
        digest_->addData(data, size);
    position += static_cast<quint64>(size);
    client_.bytesDone = position;
    return true;
}

TransferPhase TransferLoop::send(QFile& file, DataChannel& channel, quint64 start, quint64 length)
{
    const auto block = std::make_unique<char[]>(transferBlockSize);
    TokenBucket* const limit = bucket(false);
    quint64 position = start;
    while (position < length) {
        if (client_.abortRequested)
            return TransferPhase::Aborted;
        const qint64 wanted =
            allowance(limit, std::min<qint64>(transferBlockSize, qint64(length - position)));
        if (wanted == 0)
            return TransferPhase::Aborted;
        const qint64 count = file.read(block.get(), wanted);
        if (count <= 0)
            return failFile();
        if (digest_)
            digest_->addData(block.get(), count);
        const TransferPhase sent = sendBlock(channel, block.get(), count, position);
        if (sent != TransferPhase::Done)
            return sent;
    }
    return TransferPhase::Done;
}

// Every block read from the file passes here on its way out. It goes in short slices, so
// that an abort is seen while the server is not reading.
TransferPhase TransferLoop::sendBlock(DataChannel& channel, const char* data, qint64 size,
                                      quint64& position)
{
    ByteStream& stream = channel.stream();
    auto lastProgress = steady_clock::now();
    for (qint64 offset = 0; offset < size;) {
        const qint64 sent = stream.sendSome(data + offset, size - offset, slice());
        if (sent < 0)
            return control_.failDataTransfer(errorText(ErrorText::Network));
        if (sent > 0) {
            offset += sent;
            position += static_cast<quint64>(sent);
            client_.bytesDone = position;
            lastProgress = steady_clock::now();
            continue;
        }
        if (client_.abortRequested)
            return TransferPhase::Aborted;
        if (steady_clock::now() - lastProgress >= control_.timeout())
            return control_.failDataTransfer(errorText(ErrorText::Network));
        if (!watchControlWhileIdle(channel))
            return TransferPhase::Failed;
    }
    return TransferPhase::Done;
}

// While the data connection is idle the control connection may bring the server's refusal: a
// server that opened the data connection before it looked at the file (active mode) leaves
// it open after refusing.
bool TransferLoop::watchControlWhileIdle(DataChannel& channel)
{
    if (channel.closingSeen ||
        control_.waitForControl(steady_clock::now(), false) != ControlChannel::Wakeup::Control)
        return true;
    return opener_.takeTransferReply(channel);
}

TransferPhase TransferLoop::failDataIo(const ByteStream& stream)
{
    return control_.failDataTransfer(enginetext::dataIoError(stream));
}

TransferPhase TransferLoop::failFile()
{
    control_.fail(errorText(ErrorText::File));
    return TransferPhase::Failed;
}
