#include "ftp/ListingReceiver.h"

#include "ftp/ControlChannel.h"
#include "ftp/DataChannel.h"
#include "ftp/DataConnectionOpener.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"

#include <QByteArrayView>

#include <algorithm>

namespace {

using enginetext::errorText;
using enginetext::ErrorText;

// Listings arrive in steps of this size, up to maxListingBytes: a server that sends more is
// refused rather than allowed to fill memory.
constexpr qint64 listingBlockSize = 64 * 1024;
constexpr qsizetype maxListingBytes = qsizetype(256) * 1024 * 1024;

} // namespace

ListingReceiver::ListingReceiver(FtpClient& client, ControlChannel& control,
                                 DataConnectionOpener& opener)
    : client_(client), control_(control), opener_(opener)
{
}

bool ListingReceiver::receive(const QString& command)
{
    return opener_.runAttempts(
        false, [this, &command](bool passive) { return receiveOnce(command, passive); });
}

bool ListingReceiver::receiveOnce(const QString& command, bool passive)
{
    client_.listBuffer.clear();
    control_.discardStaleReplies();
    if (!control_.enterBinaryMode())
        return false;
    DataChannel channel;
    const ControlChannel::DataWatch watch(control_, channel);
    if (!opener_.open(passive, channel) || !control_.sendCommand(command))
        return false;
    TransferPhase phase = opener_.awaitConnection(channel);
    if (phase == TransferPhase::Aborted)
        return control_.fail(errorText(ErrorText::Network));
    if (phase == TransferPhase::Done)
        phase = opener_.secure(channel);
    if (phase != TransferPhase::Done || (!channel.replySeen && !control_.readReply()))
        return false;
    control_.noteBrokenDataConnection();
    if (enginetext::isRefusal(client_.replyClass) || !receiveData(channel.stream()))
        return false;
    opener_.endTls(channel);
    if (channel.closingSeen)
        control_.holdReply();
    return true;
}

bool ListingReceiver::receiveData(ByteStream& stream)
{
    QByteArray& buffer = client_.listBuffer;
    for (;;) {
        const qsizetype received = buffer.size();
        if (received > maxListingBytes) {
            buffer.clear();
            return control_.fail(errorText(ErrorText::File));
        }
        const qint64 room = std::min<qint64>(listingBlockSize, maxListingBytes + 1 - received);
        buffer.resize(received + room);
        const qint64 count = stream.receive(buffer.data() + received, room, control_.timeout());
        buffer.resize(received + std::max<qint64>(count, 0));
        if (count == 0)
            return true;
        if (count < 0)
            return control_.failNetwork(enginetext::dataIoError(stream));
    }
}

bool ListingReceiver::nextLine(qsizetype& position)
{
    const QByteArray& buffer = client_.listBuffer;
    client_.listLine.clear();
    if (position < 0 || position >= buffer.size())
        return false;
    const qsizetype feed = buffer.indexOf('\n', position);
    const qsizetype end = feed < 0 ? buffer.size() : feed;
    QByteArrayView line(buffer.constData() + position, end - position);
    if (line.endsWith('\r'))
        line.chop(1);
    // Most lines are plain ASCII, which reads the same in every encoding: only the others pay
    // for a conversion, which costs far more than the line itself.
    const bool ascii = std::all_of(line.begin(), line.end(),
                                   [](char byte) { return static_cast<uchar>(byte) < 0x80; });
    lineEncoding_ =
        ascii ? TextCodec::Encoding::Utf8 : enginetext::lineEncoding(line.toByteArray());
    client_.listLine =
        ascii ? QString::fromLatin1(line) : TextCodec(lineEncoding_).decode(line.toByteArray());
    position = end + 1;
    return true;
}
