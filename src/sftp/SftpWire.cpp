#include "sftp/SftpWire.h"

namespace sftpwire {
namespace {

void putUint32(QByteArray& out, quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void putUint64(QByteArray& out, quint64 value)
{
    putUint32(out, quint32(value >> 32));
    putUint32(out, quint32(value));
}

void putString(QByteArray& out, const QByteArray& text)
{
    putUint32(out, quint32(text.size()));
    out.append(text);
}

// Writes the length in front once the packet's body is complete.
QByteArray packet(quint8 type, quint32 id, const QByteArray& body, quint32 trailingLength = 0)
{
    QByteArray out;
    out.reserve(13 + body.size());
    putUint32(out, quint32(1 + 4 + body.size()) + trailingLength);
    out.append(char(type));
    putUint32(out, id);
    out.append(body);
    return out;
}

// A string field inside body starting at offset; false when it runs past the end.
bool takeString(const QByteArray& body, qsizetype& offset, QByteArray& text)
{
    if (body.size() - offset < 4)
        return false;
    const quint32 length = readUint32(body.constData() + offset);
    offset += 4;
    if (quint64(body.size() - offset) < length)
        return false;
    text = body.mid(offset, qsizetype(length));
    offset += qsizetype(length);
    return true;
}

bool parseBody(Reply& reply, const QByteArray& body)
{
    qsizetype offset = 0;
    switch (reply.type) {
    case Status:
        if (body.size() < 4)
            return false;
        reply.status = readUint32(body.constData());
        offset = 4;
        // Version 3 servers may leave the message out.
        if (offset < body.size() && !takeString(body, offset, reply.text))
            return false;
        return true;
    case Data:
        return takeString(body, offset, reply.text);
    case ExtendedReply:
        reply.text = body;
        return true;
    default:
        return true;
    }
}

} // namespace

quint32 readUint32(const char* data)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    return (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) | (quint32(bytes[2]) << 8) |
           quint32(bytes[3]);
}

quint64 readUint64(const char* data)
{
    return (quint64(readUint32(data)) << 32) | readUint32(data + 4);
}

QByteArray readRequest(quint32 id, const QByteArray& handle, quint64 offset, quint32 length)
{
    QByteArray body;
    putString(body, handle);
    putUint64(body, offset);
    putUint32(body, length);
    return packet(Read, id, body);
}

QByteArray writeHeader(quint32 id, const QByteArray& handle, quint64 offset, quint32 length)
{
    QByteArray body;
    putString(body, handle);
    putUint64(body, offset);
    putUint32(body, length);
    return packet(Write, id, body, length);
}

QByteArray extendedRequest(quint32 id, const QByteArray& name)
{
    QByteArray body;
    putString(body, name);
    return packet(Extended, id, body);
}

std::optional<Reply> takeReply(const QByteArray& buffer, qsizetype& position, bool& malformed)
{
    malformed = false;
    if (buffer.size() - position < 4)
        return std::nullopt;
    const quint32 length = readUint32(buffer.constData() + position);
    if (length < 5 || length > maximumPacket) {
        malformed = true;
        return std::nullopt;
    }
    if (quint64(buffer.size() - position - 4) < length)
        return std::nullopt;
    const char* start = buffer.constData() + position + 4;
    Reply reply;
    reply.type = quint8(start[0]);
    reply.id = readUint32(start + 1);
    const QByteArray body(start + 5, qsizetype(length) - 5);
    position += 4 + qsizetype(length);
    if (!parseBody(reply, body))
        malformed = true;
    return malformed ? std::nullopt : std::optional<Reply>(reply);
}

} // namespace sftpwire
